#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

class AccessibilityProbe;
class AppState;
class ExpansionEngine;
class InputMonitor;

// Owns the system-wide keystroke monitor and keeps it alive across loss and return of
// the capability to watch input (on X11: a reachable display with the needed
// extensions). While it is missing, it retries every 2 s; while the monitor runs, a 5 s
// watchdog re-checks it and, when it is gone, stops the monitor, tells the user once,
// and goes back to retrying.
class EventTap : public QObject
{
    Q_OBJECT

public:
    struct Options
    {
        int retryIntervalMs = 2000;
        int watchdogIntervalMs = 5000;
    };

    EventTap(InputMonitor& monitor, AccessibilityProbe& probe, AppState& state, ExpansionEngine& engine,
             Options options, QObject* parent = nullptr);
    EventTap(InputMonitor& monitor, AccessibilityProbe& probe, AppState& state, ExpansionEngine& engine,
             QObject* parent = nullptr);

    // Called once per loss of the capability.
    void setPermissionLostHandler(std::function<void()> handler) { m_onPermissionLost = std::move(handler); }

    void start();
    void stop();
    bool isInstalled() const { return m_installed; }
    bool isRetrying() const { return m_retryTimer.isActive(); }
    bool isWatching() const { return m_watchdogTimer.isActive(); }

private:
    void scheduleRetry();
    void retryTick();
    void watchdogTick();

    InputMonitor& m_monitor;
    AccessibilityProbe& m_probe;
    AppState& m_state;
    ExpansionEngine& m_engine;
    Options m_options;
    bool m_installed = false;
    QTimer m_retryTimer;
    QTimer m_watchdogTimer;
    std::function<void()> m_onPermissionLost;
};
