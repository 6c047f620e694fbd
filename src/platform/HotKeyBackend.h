#pragma once

#include "platform/Key.h"

#include <functional>
#include <optional>

// System-wide hot keys: a key combination that reaches Quenvil whatever application is
// in front, and is taken away from that application.
//
// Each registration gets the next id, counting from 1 for the life of the backend; a
// failed registration consumes its id too, and yields no hot key. A combination that
// another program already holds is a failure. The handler runs on the main thread,
// after the key event has been dealt with, once per press: a held key's auto-repeat
// does not fire it again. Lock keys (Caps Lock, Num Lock) held or not make no
// difference to a combination. Only Shift, Control, Alt and Super are meaningful
// modifiers for a registration.
class HotKeyBackend
{
  public:
    virtual ~HotKeyBackend() = default;

    virtual std::optional<int> registerHotKey(Key key, Modifiers modifiers,
                                              std::function<void()> handler) = 0;
    // Unregistering an unknown or already released id does nothing. A press already on
    // its way to the handler of an id released meanwhile runs nothing.
    virtual void unregisterHotKey(int id) = 0;
};
