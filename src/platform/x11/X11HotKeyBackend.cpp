#include "platform/x11/X11HotKeyBackend.h"

#include "platform/x11/KeySymbols.h"

#include <QPointer>
#include <QSocketNotifier>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace {

// The core modifier bit a modifier key is on, from the server's modifier mapping.
unsigned maskOf(Display* display, XModifierKeymap* map, KeySym keysym, unsigned fallback)
{
    const KeyCode keycode = XKeysymToKeycode(display, keysym);
    if (!keycode || !map)
        return fallback;
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int i = 0; i < map->max_keypermod; ++i) {
            if (map->modifiermap[modifier * map->max_keypermod + i] == keycode)
                return 1u << modifier;
        }
    }
    return fallback;
}

} // namespace

X11HotKeyBackend::X11HotKeyBackend(QByteArray displayName, QObject* parent)
    : QObject(parent), m_displayName(std::move(displayName))
{
}

X11HotKeyBackend::~X11HotKeyBackend()
{
    if (m_connection && !m_connection->isLost()) {
        for (const auto& [id, registration] : m_registrations)
            ungrab(registration);
        XSync(m_connection->display(), False);
    }
}

bool X11HotKeyBackend::connectDisplay()
{
    if (m_connection && !m_connection->isLost())
        return true;
    delete m_notifier;
    m_notifier = nullptr;
    m_connection = X11Connection::open(m_displayName);
    if (!m_connection)
        return false;
    Display* display = m_connection->display();
    Bool supported = False;
    XkbSetDetectableAutoRepeat(display, True, &supported);
    XModifierKeymap* map = XGetModifierMapping(display);
    m_altMask = maskOf(display, map, XK_Alt_L, Mod1Mask);
    m_superMask = maskOf(display, map, XK_Super_L, Mod4Mask);
    m_numLockMask = maskOf(display, map, XK_Num_Lock, Mod2Mask);
    if (map)
        XFreeModifiermap(map);
    m_notifier = new QSocketNotifier(m_connection->fd(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &X11HotKeyBackend::readEvents);
    return true;
}

unsigned X11HotKeyBackend::lockVariant(int index) const
{
    const unsigned variants[4] = {0, LockMask, m_numLockMask, LockMask | m_numLockMask};
    return variants[index];
}

std::optional<int> X11HotKeyBackend::registerHotKey(Key key, Modifiers modifiers,
                                                    std::function<void()> handler)
{
    const int id = m_nextId++;
    if (!handler || !connectDisplay())
        return std::nullopt;
    Display* display = m_connection->display();
    const quint32 keysym = KeySymbols::keysymForKey(key);
    const KeyCode keycode = keysym ? XKeysymToKeycode(display, keysym) : 0;
    if (!keycode)
        return std::nullopt;
    Registration registration;
    registration.keycode = keycode;
    if (modifiers & Modifier::Shift)
        registration.mask |= ShiftMask;
    if (modifiers & Modifier::Control)
        registration.mask |= ControlMask;
    if (modifiers & Modifier::Alt)
        registration.mask |= m_altMask;
    if (modifiers & Modifier::Super)
        registration.mask |= m_superMask;
    registration.handler = std::move(handler);

    const Window root = DefaultRootWindow(display);
    m_connection->beginErrorTrap();
    for (int i = 0; i < 4; ++i)
        XGrabKey(display, keycode, registration.mask | lockVariant(i), root, False, GrabModeAsync,
                 GrabModeAsync);
    if (m_connection->endErrorTrap() != 0) {
        // Some variants may have been granted before one was refused: give them back.
        ungrab(registration);
        XSync(display, False);
        return std::nullopt;
    }
    m_registrations.emplace(id, std::move(registration));
    readEvents();
    return id;
}

void X11HotKeyBackend::ungrab(const Registration& registration)
{
    Display* display = m_connection->display();
    const Window root = DefaultRootWindow(display);
    for (int i = 0; i < 4; ++i)
        XUngrabKey(display, registration.keycode, registration.mask | lockVariant(i), root);
}

void X11HotKeyBackend::unregisterHotKey(int id)
{
    const auto it = m_registrations.find(id);
    if (it == m_registrations.end())
        return;
    if (m_connection && !m_connection->isLost()) {
        ungrab(it->second);
        XFlush(m_connection->display());
    }
    m_registrations.erase(it);
}

void X11HotKeyBackend::readEvents()
{
    if (!m_connection || m_connection->isLost())
        return;
    Display* display = m_connection->display();
    const unsigned relevant = ShiftMask | ControlMask | m_altMask | m_superMask;
    while (!m_connection->isLost() && XPending(display)) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type != KeyPress && event.type != KeyRelease)
            continue;
        const unsigned state = event.xkey.state & relevant;
        for (auto& [id, registration] : m_registrations) {
            if (registration.keycode != event.xkey.keycode)
                continue;
            if (event.type == KeyRelease) {
                registration.down = false;
                continue;
            }
            if (state != registration.mask || registration.down)
                continue;
            registration.down = true;
            // Run after this event is dealt with, and only if the hot key still exists then.
            QMetaObject::invokeMethod(
                this,
                [this, id = id] {
                    const auto it = m_registrations.find(id);
                    if (it != m_registrations.end() && it->second.handler)
                        it->second.handler();
                },
                Qt::QueuedConnection);
        }
    }
}
