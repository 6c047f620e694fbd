#include "engine/HotKey.h"

std::unique_ptr<HotKey> HotKey::create(HotKeyBackend& backend, Key key, Modifiers modifiers,
                                       std::function<void()> handler)
{
    if (!handler)
        return nullptr;
    const std::optional<int> id = backend.registerHotKey(key, modifiers, std::move(handler));
    if (!id)
        return nullptr;
    return std::unique_ptr<HotKey>(new HotKey(backend, *id, key, modifiers));
}

HotKey::HotKey(HotKeyBackend& backend, int id, Key key, Modifiers modifiers)
    : m_backend(backend), m_id(id), m_key(key), m_modifiers(modifiers)
{
}

HotKey::~HotKey()
{
    m_backend.unregisterHotKey(m_id);
}
