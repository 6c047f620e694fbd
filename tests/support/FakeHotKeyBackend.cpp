#include "FakeHotKeyBackend.h"

std::optional<int> FakeHotKeyBackend::registerHotKey(Key key, Modifiers modifiers,
                                                     std::function<void()> handler)
{
    const int id = m_nextId++;
    const Combination combination{key, modifiers};
    if (!handler || taken.count(combination))
        return std::nullopt;
    for (const auto& [other, entry] : m_registered) {
        if (!(entry.combination < combination) && !(combination < entry.combination))
            return std::nullopt;
    }
    m_registered.emplace(id, Entry{combination, std::move(handler)});
    return id;
}

void FakeHotKeyBackend::unregisterHotKey(int id)
{
    m_registered.erase(id);
}

bool FakeHotKeyBackend::press(Key key, Modifiers modifiers)
{
    const Combination combination{key, modifiers};
    for (const auto& [id, entry] : m_registered) {
        if (!(entry.combination < combination) && !(combination < entry.combination)) {
            QMetaObject::invokeMethod(
                this,
                [this, id = id] {
                    const auto it = m_registered.find(id);
                    if (it != m_registered.end())
                        it->second.handler();
                },
                Qt::QueuedConnection);
            return true;
        }
    }
    return false;
}
