#include "platform/Key.h"

QString keyName(Key key)
{
    switch (key) {
    case Key::Other:
        return QStringLiteral("Other");
    case Key::Tab:
        return QStringLiteral("Tab");
    case Key::Return:
        return QStringLiteral("Return");
    case Key::KeypadEnter:
        return QStringLiteral("KeypadEnter");
    case Key::Escape:
        return QStringLiteral("Escape");
    case Key::Left:
        return QStringLiteral("Left");
    case Key::Right:
        return QStringLiteral("Right");
    case Key::Up:
        return QStringLiteral("Up");
    case Key::Down:
        return QStringLiteral("Down");
    case Key::Home:
        return QStringLiteral("Home");
    case Key::End:
        return QStringLiteral("End");
    case Key::PageUp:
        return QStringLiteral("PageUp");
    case Key::PageDown:
        return QStringLiteral("PageDown");
    case Key::Backspace:
        return QStringLiteral("Backspace");
    case Key::ForwardDelete:
        return QStringLiteral("ForwardDelete");
    case Key::Space:
        return QStringLiteral("Space");
    default:
        break;
    }
    const int k = int(key);
    if (k >= int(Key::A) && k <= int(Key::Z))
        return QString(QChar(u'A' + (k - int(Key::A))));
    if (k >= int(Key::Digit0) && k <= int(Key::Digit9))
        return QString(QChar(u'0' + (k - int(Key::Digit0))));
    if (k >= int(Key::F1) && k <= int(Key::F12))
        return QStringLiteral("F%1").arg(k - int(Key::F1) + 1);
    return QStringLiteral("Other");
}

Key keyForCharacter(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'a' && u <= u'z')
        return Key(int(Key::A) + (u - u'a'));
    if (u >= u'A' && u <= u'Z')
        return Key(int(Key::A) + (u - u'A'));
    if (u >= u'0' && u <= u'9')
        return Key(int(Key::Digit0) + (u - u'0'));
    return Key::Other;
}
