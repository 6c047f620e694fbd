#pragma once

#include <QtGlobal>

#include <atomic>

// Who Quenvil's own typing is, as the X server sees it: the resource-id base of the
// injector's connection. The injector publishes it when it connects (before it posts
// anything); the monitor reads it to tell its own events from the user's.
class InjectorIdentity
{
  public:
    quint32 idBase() const { return m_idBase.load(std::memory_order_acquire); }
    void setIdBase(quint32 idBase) { m_idBase.store(idBase, std::memory_order_release); }

  private:
    std::atomic<quint32> m_idBase{0};
};
