#include "platform/linux/X11CompositorProbe.h"

#include <QByteArray>
#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>

X11CompositorProbe::X11CompositorProbe()
{
    // The screen number of DISPLAY (":0.1" is screen 1), which Qt connected to.
    const QByteArray display = qgetenv("DISPLAY");
    const int colon = display.lastIndexOf(':');
    const int dot = display.indexOf('.', colon < 0 ? 0 : colon);
    if (dot > 0)
        m_screen = std::atoi(display.constData() + dot + 1);
}

bool X11CompositorProbe::isCompositing() const
{
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c)
        return false;
    // A compositing manager owns the selection _NET_WM_CM_S<screen>. The atom is made
    // once (an atom is only a name), so later checks take one round trip.
    if (!m_selection) {
        const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(m_screen);
        xcb_intern_atom_reply_t* atom =
            xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(name.size()), name.constData()), nullptr);
        if (!atom)
            return false;
        m_selection = atom->atom;
        std::free(atom);
    }
    const xcb_atom_t selection = m_selection;
    xcb_get_selection_owner_reply_t* owner =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr);
    if (!owner)
        return false;
    const bool owned = owner->owner != XCB_WINDOW_NONE;
    std::free(owner);
    return owned;
}
