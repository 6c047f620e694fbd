#pragma once

#include "platform/KeyDown.h"

#include <QObject>

// The system-wide, listen-only keystroke monitor: every key press and mouse-button
// press the user makes in any application, delivered on the main thread.
//
// Own input: the events Quenvil's own typing produces never arrive here. Input from
// every other source does, including other programs that fake input (on-screen
// keyboards, automation tools): to Quenvil that is the user typing.
//
// Secure input: while SecureInput is active (another program holds the keyboard, the
// screen is locked, a password field has focus) no key downs are delivered at all.
// Mouse presses still are; they only ever clear state.
//
// Scroll-wheel "buttons" are not presses.
class InputMonitor : public QObject
{
    Q_OBJECT
  public:
    using QObject::QObject;
    ~InputMonitor() override = default;

    // Starts listening; true when the monitor is running afterwards. Starting a running
    // monitor does nothing. A failure (no display, a missing extension) is quiet: the
    // caller polls the AccessibilityProbe and tries again.
    virtual bool start() = 0;
    virtual void stop() = 0;
    // False after stop(), and also once the connection to the display was lost.
    virtual bool isRunning() const = 0;

  signals:
    void keyDown(const KeyDown& event);
    void mouseDown();
};
