#pragma once

// Whether Quenvil starts by itself when the user logs in. The desktop decides what that
// takes; asking it is cheap and synchronous, so a settings page reads the real state
// whenever it shows it. Main thread.
class LaunchAtLogin
{
  public:
    virtual ~LaunchAtLogin() = default;

    virtual bool isEnabled() const = 0;
    // True when the desktop now does what was asked; on false the state is whatever
    // isEnabled() reports.
    virtual bool setEnabled(bool enabled) = 0;
};
