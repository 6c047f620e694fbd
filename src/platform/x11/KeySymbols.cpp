#include "platform/x11/KeySymbols.h"

#include <xkbcommon/xkbcommon-keysyms.h>
#include <xkbcommon/xkbcommon.h>

namespace KeySymbols {

Key keyFromKeysym(quint32 keysym)
{
    switch (keysym) {
    case XKB_KEY_Tab:
    case XKB_KEY_ISO_Left_Tab:
    case XKB_KEY_KP_Tab:
        return Key::Tab;
    case XKB_KEY_Return:
        return Key::Return;
    case XKB_KEY_KP_Enter:
        return Key::KeypadEnter;
    case XKB_KEY_Escape:
        return Key::Escape;
    case XKB_KEY_Left:
    case XKB_KEY_KP_Left:
        return Key::Left;
    case XKB_KEY_Right:
    case XKB_KEY_KP_Right:
        return Key::Right;
    case XKB_KEY_Up:
    case XKB_KEY_KP_Up:
        return Key::Up;
    case XKB_KEY_Down:
    case XKB_KEY_KP_Down:
        return Key::Down;
    case XKB_KEY_Home:
    case XKB_KEY_KP_Home:
        return Key::Home;
    case XKB_KEY_End:
    case XKB_KEY_KP_End:
        return Key::End;
    case XKB_KEY_Prior:
    case XKB_KEY_KP_Prior:
        return Key::PageUp;
    case XKB_KEY_Next:
    case XKB_KEY_KP_Next:
        return Key::PageDown;
    case XKB_KEY_BackSpace:
        return Key::Backspace;
    case XKB_KEY_Delete:
    case XKB_KEY_KP_Delete:
        return Key::ForwardDelete;
    case XKB_KEY_space:
    case XKB_KEY_KP_Space:
        return Key::Space;
    default:
        break;
    }
    if (keysym >= XKB_KEY_a && keysym <= XKB_KEY_z)
        return Key(int(Key::A) + int(keysym - XKB_KEY_a));
    if (keysym >= XKB_KEY_A && keysym <= XKB_KEY_Z)
        return Key(int(Key::A) + int(keysym - XKB_KEY_A));
    if (keysym >= XKB_KEY_0 && keysym <= XKB_KEY_9)
        return Key(int(Key::Digit0) + int(keysym - XKB_KEY_0));
    if (keysym >= XKB_KEY_F1 && keysym <= XKB_KEY_F12)
        return Key(int(Key::F1) + int(keysym - XKB_KEY_F1));
    return Key::Other;
}

quint32 keysymForKey(Key key)
{
    switch (key) {
    case Key::Other:
        return 0;
    case Key::Tab:
        return XKB_KEY_Tab;
    case Key::Return:
        return XKB_KEY_Return;
    case Key::KeypadEnter:
        return XKB_KEY_KP_Enter;
    case Key::Escape:
        return XKB_KEY_Escape;
    case Key::Left:
        return XKB_KEY_Left;
    case Key::Right:
        return XKB_KEY_Right;
    case Key::Up:
        return XKB_KEY_Up;
    case Key::Down:
        return XKB_KEY_Down;
    case Key::Home:
        return XKB_KEY_Home;
    case Key::End:
        return XKB_KEY_End;
    case Key::PageUp:
        return XKB_KEY_Prior;
    case Key::PageDown:
        return XKB_KEY_Next;
    case Key::Backspace:
        return XKB_KEY_BackSpace;
    case Key::ForwardDelete:
        return XKB_KEY_Delete;
    case Key::Space:
        return XKB_KEY_space;
    default:
        break;
    }
    const int k = int(key);
    if (k >= int(Key::A) && k <= int(Key::Z))
        return XKB_KEY_a + quint32(k - int(Key::A));
    if (k >= int(Key::Digit0) && k <= int(Key::Digit9))
        return XKB_KEY_0 + quint32(k - int(Key::Digit0));
    if (k >= int(Key::F1) && k <= int(Key::F12))
        return XKB_KEY_F1 + quint32(k - int(Key::F1));
    return 0;
}

bool isModifierKeysym(quint32 keysym)
{
    return (keysym >= XKB_KEY_Shift_L && keysym <= XKB_KEY_Hyper_R) // Shift … Hyper, Caps Lock
           || (keysym >= XKB_KEY_ISO_Lock && keysym <= XKB_KEY_ISO_Last_Group_Lock) // AltGr, groups
           || keysym == XKB_KEY_Mode_switch || keysym == XKB_KEY_Num_Lock || keysym == XKB_KEY_Scroll_Lock;
}

quint32 keysymForCodePoint(char32_t codePoint)
{
    return xkb_utf32_to_keysym(codePoint);
}

} // namespace KeySymbols
