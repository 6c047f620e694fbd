#pragma once

#include <QFlags>
#include <QString>

// The keys the rest of Quenvil talks about. The backend maps them to and from the
// window system's own key symbols, so no engine code ever sees a hardware key code.
// Letters and digits exist for hot keys; any other key a user presses is `Other` and
// carries its meaning in the text it produced.
enum class Key
{
    Other,
    Tab,
    Return,
    KeypadEnter,
    Escape,
    Left,
    Right,
    Up,
    Down,
    Home,
    End,
    PageUp,
    PageDown,
    Backspace,
    ForwardDelete,
    Space,
    A,
    B,
    C,
    D,
    E,
    F,
    G,
    H,
    I,
    J,
    K,
    L,
    M,
    N,
    O,
    P,
    Q,
    R,
    S,
    T,
    U,
    V,
    W,
    X,
    Y,
    Z,
    Digit0,
    Digit1,
    Digit2,
    Digit3,
    Digit4,
    Digit5,
    Digit6,
    Digit7,
    Digit8,
    Digit9,
    F1,
    F2,
    F3,
    F4,
    F5,
    F6,
    F7,
    F8,
    F9,
    F10,
    F11,
    F12,
};

// Modifier state of a key press. Control, Super, Alt and Meta are shortcut modifiers
// (a key pressed with one of them is a command, not text); AltGr selects the third or
// fifth level of a key and so is part of typing, like Shift.
enum class Modifier
{
    Shift = 0x01,
    Control = 0x02,
    Alt = 0x04,
    Super = 0x08,
    Meta = 0x10,
    AltGr = 0x20,
    CapsLock = 0x40,
    NumLock = 0x80,
};
Q_DECLARE_FLAGS(Modifiers, Modifier)
Q_DECLARE_OPERATORS_FOR_FLAGS(Modifiers)

// A stable English name for a key ("Return", "A", "F5"), for test output and diagnostics.
QString keyName(Key key);

// The letter key for 'a'..'z' (either case) and the digit key for '0'..'9'; Other otherwise.
Key keyForCharacter(QChar c);
