#pragma once

#include "platform/HotKeyBackend.h"

#include <QObject>

#include <map>
#include <set>

// Hot keys the test presses itself. Ids count from 1 and are never reused, a failed
// registration consuming its id, like the real backend; `taken` lists combinations
// that "another program" holds. press() runs the handler on the main thread after the
// event, as the real one does (so a test waits for it with QTRY_*).
class FakeHotKeyBackend : public QObject, public HotKeyBackend
{
    Q_OBJECT
  public:
    struct Combination
    {
        Key key;
        Modifiers modifiers;
        bool operator<(const Combination& o) const
        {
            return std::pair(int(key), int(modifiers)) < std::pair(int(o.key), int(o.modifiers));
        }
    };

    std::optional<int> registerHotKey(Key key, Modifiers modifiers, std::function<void()> handler) override;
    void unregisterHotKey(int id) override;

    // Presses the combination; false when nothing is registered for it.
    bool press(Key key, Modifiers modifiers);
    bool isRegistered(int id) const { return m_registered.count(id) > 0; }
    int registeredCount() const { return int(m_registered.size()); }

    std::set<Combination> taken;

  private:
    struct Entry
    {
        Combination combination;
        std::function<void()> handler;
    };
    std::map<int, Entry> m_registered;
    int m_nextId = 1;
};
