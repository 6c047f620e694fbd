#include "platform/x11/X11FrontApp.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <unistd.h>

namespace {

std::optional<unsigned long> cardinalProperty(Display* display, Window window, Atom property, Atom type)
{
    Atom actualType = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, property, 0, 1, False, type, &actualType, &format, &count, &after,
                           &data) != Success ||
        !data) {
        return std::nullopt;
    }
    std::optional<unsigned long> value;
    if (actualType == type && format == 32 && count == 1)
        value = reinterpret_cast<unsigned long*>(data)[0];
    XFree(data);
    return value;
}

} // namespace

X11FrontApp::X11FrontApp(QByteArray displayName, QObject* parent)
    : FrontApp(parent), m_displayName(std::move(displayName))
{
    connectDisplay();
    refresh(false);
}

X11FrontApp::~X11FrontApp() = default;

bool X11FrontApp::connectDisplay() const
{
    if (m_connection && !m_connection->isLost())
        return true;
    delete m_notifier;
    m_notifier = nullptr;
    m_connection = X11Connection::open(m_displayName);
    if (!m_connection)
        return false;
    Display* display = m_connection->display();
    m_activeAtom = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    m_pidAtom = XInternAtom(display, "_NET_WM_PID", False);
    XSelectInput(display, DefaultRootWindow(display), PropertyChangeMask);
    XFlush(display);
    auto* self = const_cast<X11FrontApp*>(this);
    m_notifier = new QSocketNotifier(m_connection->fd(), QSocketNotifier::Read, self);
    QObject::connect(m_notifier, &QSocketNotifier::activated, self, &X11FrontApp::readEvents);
    return true;
}

void X11FrontApp::readEvents()
{
    if (!m_connection || m_connection->isLost())
        return;
    Display* display = m_connection->display();
    m_reading = true;
    // The look-up after a change waits for replies, and a later change can come meanwhile:
    // read until nothing is left, on the socket or in Xlib's queue.
    bool changed = true;
    while (changed && !m_connection->isLost()) {
        changed = false;
        while (!m_connection->isLost() && XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == PropertyNotify && event.xproperty.atom == m_activeAtom)
                changed = true;
        }
        if (changed)
            refresh(true);
    }
    m_reading = false;
}

void X11FrontApp::readQueuedLater() const
{
    if (m_reading || !m_connection || m_connection->isLost() || XQLength(m_connection->display()) == 0)
        return;
    QMetaObject::invokeMethod(const_cast<X11FrontApp*>(this), &X11FrontApp::readEvents, Qt::QueuedConnection);
}

quint64 X11FrontApp::activeWindow() const
{
    Display* display = m_connection->display();
    const auto active = cardinalProperty(display, DefaultRootWindow(display), m_activeAtom, XA_WINDOW);
    m_ewmh = active.has_value();
    if (active)
        return *active;
    return focusedTopLevel();
}

// Without a window manager's word: the focus window, or its nearest ancestor that
// names its class.
quint64 X11FrontApp::focusedTopLevel() const
{
    Display* display = m_connection->display();
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    const Window root = DefaultRootWindow(display);
    m_connection->beginErrorTrap();
    while (focus && focus != PointerRoot && focus != root) {
        XClassHint hint{};
        if (XGetClassHint(display, focus, &hint)) {
            XFree(hint.res_name);
            XFree(hint.res_class);
            break;
        }
        Window rootReturn = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display, focus, &rootReturn, &parent, &children, &count)) {
            focus = 0;
            break;
        }
        if (children)
            XFree(children);
        focus = parent;
    }
    m_connection->endErrorTrap();
    return (focus == PointerRoot || focus == root) ? 0 : focus;
}

void X11FrontApp::refresh(bool announce) const
{
    if (!connectDisplay())
        return;
    Display* display = m_connection->display();
    const quint64 window = activeWindow();
    QString appKey;
    qint64 pid = 0;
    if (window) {
        m_connection->beginErrorTrap();
        XClassHint hint{};
        if (XGetClassHint(display, Window(window), &hint)) {
            appKey = QString::fromUtf8(hint.res_class ? hint.res_class : "");
            XFree(hint.res_name);
            XFree(hint.res_class);
        }
        pid = qint64(cardinalProperty(display, Window(window), m_pidAtom, XA_CARDINAL).value_or(0));
        m_connection->endErrorTrap();
    }
    const bool windowChanged = window != m_window;
    m_window = window;
    m_appKey = appKey;
    m_pid = pid;
    if (announce && windowChanged)
        emit const_cast<X11FrontApp*>(this)->frontChanged(appKey);
    readQueuedLater();
}

QString X11FrontApp::appKey() const
{
    if (!m_ewmh)
        refresh(false);
    return m_appKey;
}

quint64 X11FrontApp::window() const
{
    if (!m_ewmh)
        refresh(false);
    return m_window;
}

bool X11FrontApp::isOwnProcess() const
{
    if (!m_ewmh)
        refresh(false);
    // Asked on every key press: the process id is read once.
    static const qint64 own = qint64(getpid());
    return m_window != 0 && m_pid == own;
}

bool X11FrontApp::activate(quint64 window, quint32 time)
{
    if (!window || !connectDisplay())
        return false;
    Display* display = m_connection->display();
    m_connection->beginErrorTrap();
    XWindowAttributes attributes;
    const bool exists = XGetWindowAttributes(display, Window(window), &attributes);
    if (m_connection->endErrorTrap() != 0 || !exists) {
        readQueuedLater();
        return false;
    }
    const Window root = DefaultRootWindow(display);
    if (m_ewmh) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = Window(window);
        event.xclient.message_type = m_activeAtom;
        event.xclient.format = 32;
        event.xclient.data.l[0] = 2; // source: a pager, which window managers always obey
        event.xclient.data.l[1] = long(time);
        event.xclient.data.l[2] = 0;
        XSendEvent(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    } else {
        XRaiseWindow(display, Window(window));
        XSetInputFocus(display, Window(window), RevertToParent, time ? Time(time) : CurrentTime);
    }
    m_connection->beginErrorTrap();
    const bool ok = m_connection->endErrorTrap() == 0;
    readQueuedLater();
    return ok;
}
