#pragma once

#include <QtGlobal>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

// Who Quenvil's own typing is, as the X server sees it: the resource-id base of the
// injector's connection. The injector publishes it when it connects (before it posts
// anything); the monitor reads it to tell its own events from the user's.
//
// The monitor records FakeInput requests of this connection only (those of every other
// client would wake it once more for each key they type), so a new connection must be
// recorded before its first FakeInput: publish() asks the watching monitor and waits for
// its answer.
class InjectorIdentity
{
  public:
    quint32 idBase() const { return m_idBase.load(std::memory_order_acquire); }
    void setIdBase(quint32 idBase) { m_idBase.store(idBase, std::memory_order_release); }

    // The injector's side: sets the id base, and when a monitor watches, waits until it
    // records the connection. False when it did not within `timeout`: what the connection
    // typed then would come back to the monitor as the user's typing.
    bool publish(quint32 idBase, std::chrono::milliseconds timeout)
    {
        setIdBase(idBase);
        std::unique_lock lock(m_mutex);
        m_recorded = 0;
        if (!m_watcher)
            return true;
        m_watcher(idBase);
        return m_changed.wait_for(lock, timeout, [&] { return !m_watcher || m_recorded == idBase; });
    }

    // The monitor's side. `watcher` is called, from the injector's thread and with the
    // identity locked (so it must not wait for another thread), for every id base
    // published while it is set; the monitor answers with recorded(), from inside it or
    // later. Clearing it waits for a call under way, and releases a waiting injector:
    // without a monitor there is nothing to wait for.
    void setWatcher(std::function<void(quint32)> watcher) const
    {
        std::lock_guard lock(m_mutex);
        m_watcher = std::move(watcher);
        m_recorded = 0;
        m_changed.notify_all();
    }
    void recorded(quint32 idBase) const
    {
        std::lock_guard lock(m_mutex);
        m_recorded = idBase;
        m_changed.notify_all();
    }

  private:
    std::atomic<quint32> m_idBase{0};
    // Recursive: the monitor answers from inside its watcher.
    mutable std::recursive_mutex m_mutex;
    mutable std::condition_variable_any m_changed;
    mutable std::function<void(quint32)> m_watcher;
    mutable quint32 m_recorded = 0;
};
