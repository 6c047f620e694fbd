#include "platform/x11/X11Connection.h"

#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>
#include <xcb/xcb.h>

#include <mutex>
#include <unordered_map>

namespace {

std::mutex g_mutex;
std::unordered_map<Display*, X11Connection*>& connections()
{
    static std::unordered_map<Display*, X11Connection*> map;
    return map;
}
XErrorHandler g_previousError = nullptr;
XIOErrorHandler g_previousIOError = nullptr;

X11Connection* ours(Display* display)
{
    std::lock_guard lock(g_mutex);
    const auto it = connections().find(display);
    return it == connections().end() ? nullptr : it->second;
}

int onError(Display* display, XErrorEvent* event)
{
    if (X11Connection* connection = ours(display)) {
        connection->noteError(event->serial, event->error_code);
        return 0;
    }
    return g_previousError ? g_previousError(display, event) : 0;
}

// Xlib's own I/O error handler never returns (it exits); returning from ours lets Xlib
// carry on to the per-connection exit handler below, which returns too, and every later
// call on the dead connection fails quietly.
int onIOError(Display* display)
{
    if (X11Connection* connection = ours(display)) {
        connection->noteLost();
        return 0;
    }
    return g_previousIOError ? g_previousIOError(display) : 0;
}

void onIOErrorExit(Display*, void* data)
{
    static_cast<X11Connection*>(data)->noteLost();
}

} // namespace

void X11Connection::installHandlers()
{
    std::lock_guard lock(g_mutex);
    XErrorHandler previous = XSetErrorHandler(onError);
    if (previous != onError)
        g_previousError = previous;
    XIOErrorHandler previousIO = XSetIOErrorHandler(onIOError);
    if (previousIO != onIOError)
        g_previousIOError = previousIO;
}

std::unique_ptr<X11Connection> X11Connection::open(const QByteArray& displayName)
{
    static std::once_flag threads;
    std::call_once(threads, [] { XInitThreads(); });
    installHandlers();
    Display* display = XOpenDisplay(displayName.isEmpty() ? nullptr : displayName.constData());
    if (!display)
        return nullptr;
    std::unique_ptr<X11Connection> connection(new X11Connection(display));
    return connection;
}

X11Connection::X11Connection(_XDisplay* display) : m_display(display)
{
    m_idBase = xcb_get_setup(XGetXCBConnection(display))->resource_id_base;
    XSetIOErrorExitHandler(display, onIOErrorExit, this);
    std::lock_guard lock(g_mutex);
    connections()[display] = this;
}

X11Connection::~X11Connection()
{
    // Still registered while closing: an I/O error on the way out is ours to swallow.
    XCloseDisplay(m_display);
    std::lock_guard lock(g_mutex);
    connections().erase(m_display);
}

int X11Connection::fd() const
{
    return ConnectionNumber(m_display);
}

void X11Connection::beginErrorTrap()
{
    installHandlers();
    m_trapSerial = NextRequest(m_display);
    m_trapping = true;
    m_trapError = 0;
}

int X11Connection::endErrorTrap()
{
    XSync(m_display, False);
    m_trapping = false;
    if (m_lost.load())
        return BadImplementation;
    return m_trapError;
}

void X11Connection::noteError(unsigned long serial, int code)
{
    if (m_trapping && serial >= m_trapSerial && m_trapError == 0)
        m_trapError = code;
}
