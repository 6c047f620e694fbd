#include "engine/EventTap.h"

#include "engine/ExpansionEngine.h"
#include "model/AppState.h"
#include "platform/AccessibilityProbe.h"
#include "platform/InputMonitor.h"

EventTap::EventTap(InputMonitor& monitor, AccessibilityProbe& probe, AppState& state, ExpansionEngine& engine,
                   QObject* parent)
    : EventTap(monitor, probe, state, engine, Options{}, parent)
{
}

EventTap::EventTap(InputMonitor& monitor, AccessibilityProbe& probe, AppState& state, ExpansionEngine& engine,
                   Options options, QObject* parent)
    : QObject(parent), m_monitor(monitor), m_probe(probe), m_state(state), m_engine(engine), m_options(options)
{
    m_retryTimer.setInterval(m_options.retryIntervalMs);
    connect(&m_retryTimer, &QTimer::timeout, this, &EventTap::retryTick);
    m_watchdogTimer.setInterval(m_options.watchdogIntervalMs);
    connect(&m_watchdogTimer, &QTimer::timeout, this, &EventTap::watchdogTick);
    connect(&m_monitor, &InputMonitor::keyDown, this, [this](const KeyDown& e) {
        if (m_installed)
            m_engine.handleKeyDown(e);
    });
    connect(&m_monitor, &InputMonitor::mouseDown, this, [this] {
        if (m_installed)
            m_engine.handleMouseDown();
    });
}

void EventTap::start()
{
    if (m_installed)
        return;
    if (!m_probe.isTrusted() || !m_monitor.start()) {
        scheduleRetry();
        return;
    }
    m_installed = true;
    m_retryTimer.stop();
    m_state.setAccessibilityGranted(true);
    m_watchdogTimer.start();
}

void EventTap::stop()
{
    m_watchdogTimer.stop();
    if (m_installed)
        m_monitor.stop();
    m_installed = false;
}

void EventTap::scheduleRetry()
{
    if (!m_retryTimer.isActive())
        m_retryTimer.start();
}

void EventTap::retryTick()
{
    const bool trusted = m_probe.isTrusted();
    m_state.setAccessibilityGranted(trusted);
    if (trusted)
        start();
}

void EventTap::watchdogTick()
{
    // A monitor whose connection died counts as lost too.
    if (m_installed && (!m_probe.isTrusted() || !m_monitor.isRunning())) {
        stop();
        m_state.setAccessibilityGranted(false);
        if (m_onPermissionLost)
            m_onPermissionLost();
        scheduleRetry();
    }
}
