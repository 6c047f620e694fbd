#pragma once

#include "platform/Key.h"

#include <QMetaType>
#include <QString>

// One key press as the keystroke monitor saw it: the logical key, the modifiers held,
// the text the press produced on the active layout (after Shift, Caps Lock, AltGr and
// dead-key composition; empty for keys that type nothing, such as a dead key itself),
// and the server time in milliseconds. A held key's auto-repeat arrives as more presses.
//
// Modifier-only presses (Shift, Control, …) are not key downs. Shift+Tab arrives as
// Tab with Shift set; Ctrl+BackSpace and Alt+BackSpace arrive as Backspace with those
// modifiers: what they mean is the engine's business, the monitor reports faithfully.
struct KeyDown
{
    Key key = Key::Other;
    Modifiers modifiers;
    QString text;
    quint32 time = 0;

    // Control, Super, Alt or Meta held: the press is a command, not typing. AltGr,
    // Shift and the lock keys are part of typing and do not count.
    bool isShortcut() const
    {
        return modifiers & (Modifier::Control | Modifier::Super | Modifier::Alt | Modifier::Meta);
    }

    bool operator==(const KeyDown&) const = default;
};

Q_DECLARE_METATYPE(KeyDown)
