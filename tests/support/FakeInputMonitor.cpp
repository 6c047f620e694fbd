#include "FakeInputMonitor.h"

void FakeInputMonitor::typeText(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        KeyDown down;
        const qsizetype length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        down.text = text.mid(i, length);
        down.key = down.text == QStringLiteral(" ") ? Key::Space : keyForCharacter(text.at(i));
        if (text.at(i).isUpper())
            down.modifiers |= Modifier::Shift;
        press(down);
        i += length - 1;
    }
}
