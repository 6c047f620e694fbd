#include "platform/linux/X11PrimarySelection.h"

#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

struct X11PrimarySelection::Waiter
{
    QPointer<QObject> context;
    Answer done;
};

namespace {

// Larger selections come in pieces (INCR); a rewrite of that much text is not sensible.
constexpr quint32 kMaxLongs = 1 << 18;

} // namespace

X11PrimarySelection::X11PrimarySelection(QByteArray displayName, QObject* parent) : QObject(parent)
{
    int screenNumber = 0;
    xcb_connection_t* c =
        xcb_connect(displayName.isEmpty() ? nullptr : displayName.constData(), &screenNumber);
    if (!c || xcb_connection_has_error(c)) {
        if (c)
            xcb_disconnect(c);
        return;
    }
    const xcb_setup_t* setup = xcb_get_setup(c);
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(setup);
    for (int i = 0; i < screenNumber && it.rem; ++i)
        xcb_screen_next(&it);
    if (!it.rem) {
        xcb_disconnect(c);
        return;
    }
    m_connection = c;
    m_root = it.data->root;
    // The server hands every client ids from one range of this shape: two windows with the
    // same bits outside the mask were made by the same client.
    m_idMask = setup->resource_id_mask;
    m_utf8 = atom("UTF8_STRING");
    m_incr = atom("INCR");
    m_property = atom("QUENVIL_PRIMARY");
    m_activeAtom = atom("_NET_ACTIVE_WINDOW");
    m_pidAtom = atom("_NET_WM_PID");
    m_requestor = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, m_requestor, m_root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_flush(c);
    m_notifier = new QSocketNotifier(xcb_get_file_descriptor(c), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &X11PrimarySelection::readEvents);
    m_timeout = new QTimer(this);
    m_timeout->setSingleShot(true);
    connect(m_timeout, &QTimer::timeout, this, [this] { finishAll(std::nullopt); });
}

X11PrimarySelection::~X11PrimarySelection()
{
    if (m_connection) {
        delete m_notifier;
        xcb_disconnect(m_connection);
    }
}

quint32 X11PrimarySelection::atom(const char* name)
{
    xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 0, quint16(std::strlen(name)), name), nullptr);
    const quint32 a = r ? r->atom : 0;
    std::free(r);
    return a;
}

quint32 X11PrimarySelection::frontWindow()
{
    if (!m_connection)
        return 0;
    quint32 window = 0;
    xcb_get_property_reply_t* r = xcb_get_property_reply(
        m_connection, xcb_get_property(m_connection, 0, m_root, m_activeAtom, XCB_ATOM_WINDOW, 0, 1),
        nullptr);
    if (r && r->type == XCB_ATOM_WINDOW && r->format == 32 && xcb_get_property_value_length(r) >= 4)
        window = *static_cast<const quint32*>(xcb_get_property_value(r));
    std::free(r);
    if (window)
        return window;
    // No window manager keeping the EWMH property: the input focus is the front window.
    xcb_get_input_focus_reply_t* f =
        xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr);
    if (f && f->focus > XCB_INPUT_FOCUS_POINTER_ROOT && f->focus != m_root)
        window = f->focus;
    std::free(f);
    return window;
}

std::optional<quint32> X11PrimarySelection::windowPid(quint32 window)
{
    if (!m_connection || !window)
        return std::nullopt;
    std::optional<quint32> pid;
    xcb_get_property_reply_t* r = xcb_get_property_reply(
        m_connection, xcb_get_property(m_connection, 0, window, m_pidAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr);
    if (r && r->type == XCB_ATOM_CARDINAL && r->format == 32 && xcb_get_property_value_length(r) >= 4)
        pid = *static_cast<const quint32*>(xcb_get_property_value(r));
    std::free(r);
    return pid;
}

std::optional<quint32> X11PrimarySelection::frontWindowPid()
{
    return windowPid(frontWindow());
}

bool X11PrimarySelection::ownedByFrontProcess()
{
    if (!m_connection)
        return false;
    xcb_get_selection_owner_reply_t* r = xcb_get_selection_owner_reply(
        m_connection, xcb_get_selection_owner(m_connection, XCB_ATOM_PRIMARY), nullptr);
    const quint32 owner = r ? r->owner : 0;
    std::free(r);
    const quint32 front = frontWindow();
    if (!owner || !front)
        return false;
    // Toolkits own selections with a hidden window of their own, on the connection their
    // windows use.
    if ((owner & ~m_idMask) == (front & ~m_idMask))
        return true;
    const std::optional<quint32> ownerPid = windowPid(owner);
    return ownerPid && ownerPid == windowPid(front);
}

void X11PrimarySelection::requestText(QObject* context, int timeoutMs, Answer done)
{
    const bool first = m_waiters.isEmpty();
    m_waiters.append(Waiter{context, std::move(done)});
    if (!first)
        return; // the conversion in flight answers this one too
    if (!ownedByFrontProcess()) {
        QTimer::singleShot(0, this, [this] { finishAll(std::nullopt); });
        return;
    }
    xcb_delete_property(m_connection, m_requestor, m_property);
    xcb_convert_selection(m_connection, m_requestor, XCB_ATOM_PRIMARY, m_utf8, m_property, XCB_CURRENT_TIME);
    xcb_flush(m_connection);
    m_timeout->start(timeoutMs);
    // Replies to the calls above may already sit in the connection's queue.
    QTimer::singleShot(0, this, &X11PrimarySelection::readEvents);
}

void X11PrimarySelection::readEvents()
{
    if (!m_connection)
        return;
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
        const bool notify = (event->response_type & 0x7f) == XCB_SELECTION_NOTIFY;
        if (notify) {
            auto* n = reinterpret_cast<xcb_selection_notify_event_t*>(event);
            if (n->requestor == m_requestor && n->selection == XCB_ATOM_PRIMARY && !m_waiters.isEmpty()) {
                std::optional<QString> text;
                if (n->property != XCB_NONE) {
                    xcb_get_property_reply_t* r =
                        xcb_get_property_reply(m_connection,
                                               xcb_get_property(m_connection, 1, m_requestor, m_property,
                                                                XCB_GET_PROPERTY_TYPE_ANY, 0, kMaxLongs),
                                               nullptr);
                    if (r && r->format == 8 && r->type != m_incr && r->bytes_after == 0) {
                        const auto* data = static_cast<const char*>(xcb_get_property_value(r));
                        const int length = xcb_get_property_value_length(r);
                        if (r->type == m_utf8)
                            text = QString::fromUtf8(data, length);
                        else if (r->type == XCB_ATOM_STRING)
                            text = QString::fromLatin1(data, length);
                    }
                    std::free(r);
                }
                std::free(event);
                finishAll(text && !text->isEmpty() ? text : std::nullopt);
                continue;
            }
        }
        std::free(event);
    }
}

void X11PrimarySelection::finishAll(const std::optional<QString>& text)
{
    if (m_timeout)
        m_timeout->stop();
    const QList<Waiter> waiters = std::exchange(m_waiters, {});
    for (const Waiter& w : waiters) {
        if (w.context && w.done)
            w.done(text);
    }
}
