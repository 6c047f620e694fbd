#pragma once

#include "platform/Key.h"

#include <QtGlobal>

// The logical keys and the window system's key symbols, both ways.
namespace KeySymbols {

// The logical key a key symbol stands for: Shift+Tab (ISO_Left_Tab) is Tab, the keypad's
// navigation keys are the navigation keys, letters of either case are their letter.
Key keyFromKeysym(quint32 keysym);
// The key symbol that presses a logical key (the unshifted one for letters); 0 for Other.
quint32 keysymForKey(Key key);
// Shift, Control, the lock keys, AltGr and the like: keys that type nothing by themselves
// and are no key press to the engine.
bool isModifierKeysym(quint32 keysym);
// The key symbol for one Unicode character: the legacy symbol when there is one, else the
// Unicode range symbol.
quint32 keysymForCodePoint(char32_t codePoint);

} // namespace KeySymbols
