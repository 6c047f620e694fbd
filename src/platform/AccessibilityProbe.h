#pragma once

#include <QString>

// Whether Quenvil can watch and synthesise keystrokes at all: the counterpart of the
// permission a desktop grants to assistive programs. On X11 that takes a reachable
// display with the RECORD, XTEST and XKEYBOARD extensions; a Wayland-native session
// never qualifies, because there Quenvil would only see the programs that run on
// XWayland.
//
// Cheap enough to call every few seconds: it keeps one connection open and checks it.
class AccessibilityProbe
{
  public:
    virtual ~AccessibilityProbe() = default;

    virtual bool isTrusted() = 0;
    // A short English sentence saying why the last check failed; empty while trusted.
    virtual QString reason() const = 0;
};
