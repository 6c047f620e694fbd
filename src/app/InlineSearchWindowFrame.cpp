#include "app/InlineSearchWindowFrame.h"

#include "platform/x11/X11Connection.h"

#include <X11/Xlib.h>

#include <memory>

std::optional<QRect> x11WindowFrame(quint64 window)
{
    static std::unique_ptr<X11Connection> connection;
    if (!window)
        return std::nullopt;
    if (!connection || connection->isLost())
        connection = X11Connection::open({});
    if (!connection)
        return std::nullopt;
    X11Connection::installHandlers();
    Display* display = connection->display();
    XWindowAttributes attributes{};
    int x = 0;
    int y = 0;
    Window child = 0;
    // The window may close at any moment: its errors are trapped, not fatal.
    connection->beginErrorTrap();
    const Status got = XGetWindowAttributes(display, Window(window), &attributes);
    const Bool translated =
        got ? XTranslateCoordinates(display, Window(window), DefaultRootWindow(display), 0, 0, &x, &y, &child) : False;
    if (connection->endErrorTrap() != 0 || !got || !translated)
        return std::nullopt;
    return QRect(x, y, attributes.width, attributes.height);
}
