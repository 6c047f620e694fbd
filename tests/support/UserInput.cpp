#include "UserInput.h"

#include <QRegularExpression>
#include <QTest>

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>

namespace UserInput {

bool xdotool(const QStringList& args, int timeoutMs)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(QStringLiteral("xdotool"), args);
    return process.waitForFinished(timeoutMs) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
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
    return xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QString::number(delayMs),
                    QStringLiteral("--"), text});
}

bool key(const QStringList& specs)
{
    return xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("12")} +
                   specs);
}

bool click(int button)
{
    return xdotool({QStringLiteral("click"), QString::number(button)});
}

bool activateWindow(quint64 window)
{
    return xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(window)},
                   15000);
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

namespace {

QString xdotoolOutput(const QStringList& args, const QString& display)
{
    QProcess p;
    if (!display.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display);
        p.setProcessEnvironment(env);
    }
    p.start(QStringLiteral("xdotool"), args);
    if (!p.waitForFinished(10000))
        return {};
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

} // namespace

QStringList visibleWindows(const QString& titlePattern, const QString& display)
{
    return xdotoolOutput({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                          titlePattern},
                         display)
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString activeWindowName(const QString& display)
{
    return xdotoolOutput({QStringLiteral("getactivewindow"), QStringLiteral("getwindowname")}, display);
}

QSize windowSize(const QString& window, const QString& display)
{
    const QString geometry = xdotoolOutput({QStringLiteral("getwindowgeometry"), window}, display);
    const auto m = QRegularExpression(QStringLiteral("Geometry: (\\d+)x(\\d+)")).match(geometry);
    return m.hasMatch() ? QSize(m.captured(1).toInt(), m.captured(2).toInt()) : QSize();
}

QStringList visibleMainWindows(const QString& display)
{
    QStringList found;
    for (const QString& id : visibleWindows(QStringLiteral("^Quenvil$"), display)) {
        if (windowSize(id, display).width() >= 400)
            found << id;
    }
    return found;
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
    XTestFakeKeyEvent(m_display, XKeysymToKeycode(m_display, XStringToKeysym(keysymName)), False,
                      CurrentTime);
    XSync(m_display, False);
}

XI2KeyboardGrab::XI2KeyboardGrab() : m_display(XOpenDisplay(nullptr)) {}

XI2KeyboardGrab::~XI2KeyboardGrab()
{
    if (!m_display)
        return;
    release();
    if (m_window)
        XDestroyWindow(m_display, m_window);
    XCloseDisplay(m_display);
}

bool XI2KeyboardGrab::grab()
{
    if (!m_display)
        return false;
    int major = 2, minor = 0;
    if (XIQueryVersion(m_display, &major, &minor) != Success)
        return false;
    int count = 0;
    XIDeviceInfo* devices = XIQueryDevice(m_display, XIAllMasterDevices, &count);
    for (int i = 0; i < count; ++i) {
        if (devices[i].use == XIMasterKeyboard) {
            m_keyboard = devices[i].deviceid;
            break;
        }
    }
    XIFreeDeviceInfo(devices);
    if (!m_keyboard)
        return false;
    m_window = XCreateSimpleWindow(m_display, DefaultRootWindow(m_display), 10, 10, 120, 60, 0, 0, 0);
    XMapRaised(m_display, m_window);
    XSync(m_display, False);
    for (int i = 0; i < 1000; ++i) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(m_display, m_window, &attributes) && attributes.map_state == IsViewable)
            break;
        QTest::qWait(10);
    }
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_KeyPress);
    XISetMask(bits, XI_KeyRelease);
    XIEventMask mask{m_keyboard, int(sizeof bits), bits};
    const Status status = XIGrabDevice(m_display, m_keyboard, m_window, CurrentTime, None, XIGrabModeAsync,
                                       XIGrabModeAsync, False, &mask);
    XSync(m_display, False);
    return status == Success;
}

void XI2KeyboardGrab::release()
{
    if (!m_display || !m_keyboard)
        return;
    XIUngrabDevice(m_display, m_keyboard, CurrentTime);
    XSync(m_display, False);
}
