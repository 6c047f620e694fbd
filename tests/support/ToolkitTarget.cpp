#include "ToolkitTarget.h"

#include "UserInput.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTest>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Debian's own interpreter: the toolkits' bindings are Debian packages.
const char* const kPython = "/usr/bin/python3";

int ignoreXErrors(Display*, XErrorEvent*)
{
    return 0;
}

bool hasProperty(Display* display, Window window, Atom property)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const bool read = XGetWindowProperty(display, window, property, 0, 0, False, AnyPropertyType, &type,
                                         &format, &count, &after, &data) == Success;
    if (data)
        XFree(data);
    return read && type != None;
}

// The window at or below `window` that the window manager manages (the one carrying
// WM_STATE), 0 while there is none yet. Tk tells the frame the manager put around its
// window, while _NET_ACTIVE_WINDOW names the managed window itself.
quint64 managedWindow(quint64 window)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return 0;
    // A window of the frame may go away while the tree is walked.
    const auto previous = XSetErrorHandler(ignoreXErrors);
    const Atom wmState = XInternAtom(display, "WM_STATE", False);
    QList<Window> pending{Window(window)};
    quint64 found = 0;
    while (!pending.isEmpty() && found == 0) {
        const Window w = pending.takeFirst();
        if (hasProperty(display, w, wmState)) {
            found = w;
            break;
        }
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (XQueryTree(display, w, &root, &parent, &children, &count)) {
            for (unsigned int i = 0; i < count; ++i)
                pending.append(children[i]);
        }
        if (children)
            XFree(children);
    }
    XSync(display, False);
    XSetErrorHandler(previous);
    XCloseDisplay(display);
    return found;
}

quint64 activeWindow(Display* display)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    quint64 active = 0;
    if (XGetWindowProperty(display, DefaultRootWindow(display),
                           XInternAtom(display, "_NET_ACTIVE_WINDOW", False), 0, 1, False, XA_WINDOW, &type,
                           &format, &count, &after, &data) == Success &&
        data && type == XA_WINDOW && format == 32 && count == 1)
        active = *reinterpret_cast<unsigned long*>(data);
    if (data)
        XFree(data);
    return active;
}

} // namespace

ToolkitTarget::~ToolkitTarget()
{
    stop();
}

bool ToolkitTarget::available(Toolkit toolkit)
{
    QProcess probe;
    const QString check =
        toolkit == Toolkit::Tk
            ? QStringLiteral("import tkinter")
            : QStringLiteral("import gi; gi.require_version('Gtk', '3.0'); from gi.repository import Gtk");
    probe.start(QString::fromLatin1(kPython), {QStringLiteral("-c"), check});
    return probe.waitForFinished(20000) && probe.exitStatus() == QProcess::NormalExit &&
           probe.exitCode() == 0;
}

bool ToolkitTarget::start(Toolkit toolkit)
{
    const QString out = m_dir.filePath(QStringLiteral("text"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    // GTK's own input handling (compose included), no input-method daemon, no
    // accessibility bus to wait for.
    env.insert(QStringLiteral("GTK_IM_MODULE"), QStringLiteral("gtk-im-context-simple"));
    env.insert(QStringLiteral("GDK_BACKEND"), QStringLiteral("x11"));
    env.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("1"));
    m_process.setProcessEnvironment(env);
    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
    m_process.start(QString::fromLatin1(kPython),
                    {QStringLiteral(QUENVIL_TEST_SUPPORT_DIR "/toolkit-target"),
                     toolkit == Toolkit::Tk ? QStringLiteral("tk") : QStringLiteral("gtk"), out});
    if (!m_process.waitForStarted(5000))
        return false;
    QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
        const QByteArray id = readAll(out + QStringLiteral(".window")).trimmed();
        if (!id.isEmpty())
            m_window = managedWindow(id.toULongLong());
        if (m_window != 0)
            return activate();
        QTest::qWait(20);
    }
    return false;
}

void ToolkitTarget::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

QString ToolkitTarget::text() const
{
    return QString::fromUtf8(readAll(m_dir.filePath(QStringLiteral("text"))));
}

bool ToolkitTarget::waitForText(const QString& expected, int timeoutMs) const
{
    QDeadlineTimer deadline(timeoutMs);
    do {
        if (text() == expected)
            return true;
        QTest::qWait(10);
    } while (!deadline.hasExpired());
    return text() == expected;
}

bool ToolkitTarget::clear()
{
    QFile request(m_dir.filePath(QStringLiteral("text.clear")));
    if (!request.open(QIODevice::WriteOnly))
        return false;
    request.close();
    return QTest::qWaitFor([&] { return !request.exists(); }, 5000) && waitForText(QString(), 5000);
}

bool ToolkitTarget::activate() const
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    const QString focus = m_dir.filePath(QStringLiteral("text.focus"));
    // The window manager may let the request pass unheard; then it is asked again.
    bool active = false;
    QDeadlineTimer deadline(15000);
    while (!active && !deadline.hasExpired()) {
        UserInput::xdotool({QStringLiteral("windowactivate"), QString::number(m_window)}, 5000);
        // Active for the window manager (what Quenvil watches) and the text widget focused.
        active =
            QTest::qWaitFor([&] { return activeWindow(display) == m_window && QFile::exists(focus); }, 1500);
    }
    XCloseDisplay(display);
    return active;
}
