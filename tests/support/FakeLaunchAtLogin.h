#pragma once

#include "platform/LaunchAtLogin.h"

#include <QList>

// Launch at login the test controls: it remembers every request, and can refuse them.
class FakeLaunchAtLogin : public LaunchAtLogin
{
  public:
    bool isEnabled() const override { return enabled; }
    bool setEnabled(bool on) override
    {
        requests.append(on);
        if (refuse)
            return false;
        enabled = on;
        return true;
    }

    bool enabled = false;
    // While true every request fails and the state stays as it is.
    bool refuse = false;
    QList<bool> requests;
};
