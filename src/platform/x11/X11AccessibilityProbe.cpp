#include "platform/x11/X11AccessibilityProbe.h"

#include <X11/Xlib.h>

X11AccessibilityProbe::X11AccessibilityProbe(QByteArray displayName,
                                             std::function<QByteArray(const char*)> environment)
    : m_displayName(std::move(displayName)), m_environment(std::move(environment))
{
    if (!m_environment)
        m_environment = [](const char* name) { return qgetenv(name); };
}

X11AccessibilityProbe::~X11AccessibilityProbe() = default;

bool X11AccessibilityProbe::isWaylandSession() const
{
    return m_environment("XDG_SESSION_TYPE") == "wayland" || !m_environment("WAYLAND_DISPLAY").isEmpty();
}

bool X11AccessibilityProbe::isTrusted()
{
    if (isWaylandSession()) {
        m_reason =
            QStringLiteral("Quenvil needs an X11 session: under Wayland it could only see programs that "
                           "run on XWayland. Log in with an X11 session to use it.");
        return false;
    }
    if (m_connection) {
        X11Connection::installHandlers();
        XSync(m_connection->display(), False);
        if (m_connection->isLost())
            m_connection.reset();
    }
    if (!m_connection) {
        m_connection =
            X11Connection::open(m_displayName.isEmpty() ? m_environment("DISPLAY") : m_displayName);
        if (!m_connection) {
            m_reason = QStringLiteral("No X display can be reached (DISPLAY is not set, or the X server does "
                                      "not answer).");
            return false;
        }
        if (!checkExtensions()) {
            m_connection.reset();
            return false;
        }
    }
    m_reason.clear();
    return true;
}

bool X11AccessibilityProbe::checkExtensions()
{
    Display* display = m_connection->display();
    for (const char* name : {"RECORD", "XTEST", "XKEYBOARD"}) {
        int opcode = 0, event = 0, error = 0;
        if (!XQueryExtension(display, name, &opcode, &event, &error)) {
            m_reason = QStringLiteral("The X server lacks the %1 extension, which Quenvil needs to see and "
                                      "type keystrokes.")
                           .arg(QString::fromLatin1(name));
            return false;
        }
    }
    return true;
}
