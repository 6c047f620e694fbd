#pragma once

#include "platform/HotKeyBackend.h"
#include "platform/Key.h"

#include <functional>
#include <memory>

// One system-wide hot key, held by whoever owns the feature it opens: while the object
// lives the combination is registered, and its handler runs on the main thread at each
// press; destroying it unregisters the combination and forgets the handler.
//
// The backend must outlive every hot key made on it.
class HotKey
{
  public:
    // The rewrite panel's combination: Control-Alt-R.
    static constexpr Key rewriteKey = Key::R;
    static Modifiers rewriteModifiers() { return Modifier::Control | Modifier::Alt; }

    // Nothing when the backend refuses the combination (another program holds it); there
    // is no message, the feature stays reachable from the menu.
    static std::unique_ptr<HotKey> create(HotKeyBackend& backend, Key key, Modifiers modifiers,
                                          std::function<void()> handler);
    ~HotKey();

    HotKey(const HotKey&) = delete;
    HotKey& operator=(const HotKey&) = delete;

    // The backend's number for this registration, counting from 1 in the process.
    int id() const { return m_id; }
    Key key() const { return m_key; }
    Modifiers modifiers() const { return m_modifiers; }

  private:
    HotKey(HotKeyBackend& backend, int id, Key key, Modifiers modifiers);

    HotKeyBackend& m_backend;
    int m_id = 0;
    Key m_key = Key::Other;
    Modifiers m_modifiers;
};
