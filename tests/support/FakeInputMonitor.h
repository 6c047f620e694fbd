#pragma once

#include "platform/InputMonitor.h"

// A keystroke monitor the test drives: start() succeeds unless told otherwise, and the
// test sends key downs and mouse presses itself.
class FakeInputMonitor : public InputMonitor
{
    Q_OBJECT
  public:
    using InputMonitor::InputMonitor;

    bool start() override
    {
        ++startCalls;
        m_running = startSucceeds;
        return m_running;
    }
    void stop() override
    {
        ++stopCalls;
        m_running = false;
    }
    bool isRunning() const override { return m_running; }

    // Delivers only while running, like the real one.
    void press(const KeyDown& event)
    {
        if (m_running)
            emit keyDown(event);
    }
    void typeText(const QString& text);
    void click()
    {
        if (m_running)
            emit mouseDown();
    }
    // The connection went away: the monitor stops by itself.
    void loseConnection() { m_running = false; }

    bool startSucceeds = true;
    int startCalls = 0;
    int stopCalls = 0;

  private:
    bool m_running = false;
};
