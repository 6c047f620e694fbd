#include "UserInput.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace UserInput {

bool xdotool(const QStringList& args, int timeoutMs)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(QStringLiteral("xdotool"), args);
    return process.waitForFinished(timeoutMs) && process.exitStatus() == QProcess::NormalExit
           && process.exitCode() == 0;
}

std::unique_ptr<QProcess> xdotoolAsync(const QStringList& args)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->start(QStringLiteral("xdotool"), args);
    process->waitForStarted(5000);
    return process;
}

bool type(const QString& text, int delayMs)
{
    return xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QString::number(delayMs), QStringLiteral("--"), text});
}

bool key(const QStringList& specs)
{
    return xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("12")} + specs);
}

bool click(int button)
{
    return xdotool({QStringLiteral("click"), QString::number(button)});
}

bool activateWindow(quint64 window)
{
    return xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(window)});
}

QByteArray keyboardMapping()
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return {};
    int minCode = 0, maxCode = 0, per = 0;
    XDisplayKeycodes(display, &minCode, &maxCode);
    KeySym* map = XGetKeyboardMapping(display, KeyCode(minCode), maxCode - minCode + 1, &per);
    QByteArray dump;
    for (int keycode = minCode; keycode <= maxCode && map; ++keycode) {
        dump += QByteArray::number(keycode) + ':';
        for (int i = 0; i < per; ++i)
            dump += ' ' + QByteArray::number(qulonglong(map[(keycode - minCode) * per + i]), 16);
        dump += '\n';
    }
    if (map)
        XFree(map);
    XCloseDisplay(display);
    return dump;
}

} // namespace UserInput

XTestKeyboard::XTestKeyboard() : m_display(XOpenDisplay(nullptr)) {}

XTestKeyboard::~XTestKeyboard()
{
    if (m_display)
        XCloseDisplay(m_display);
}

void XTestKeyboard::press(const char* keysymName)
{
    if (!m_display)
        return;
    XTestFakeKeyEvent(m_display, XKeysymToKeycode(m_display, XStringToKeysym(keysymName)), True, CurrentTime);
    XSync(m_display, False);
}

void XTestKeyboard::release(const char* keysymName)
{
    if (!m_display)
        return;
    XTestFakeKeyEvent(m_display, XKeysymToKeycode(m_display, XStringToKeysym(keysymName)), False, CurrentTime);
    XSync(m_display, False);
}
