#include "platform/x11/X11SecureInput.h"

#include <QDBusConnection>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusMessage>

namespace {

struct ScreenSaverService
{
    const char* service;
    const char* path;
    const char* interface;
};

constexpr ScreenSaverService kScreenSavers[] = {
    {"org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver", "org.freedesktop.ScreenSaver"},
    {"org.freedesktop.ScreenSaver", "/ScreenSaver", "org.freedesktop.ScreenSaver"},
    {"org.gnome.ScreenSaver", "/org/gnome/ScreenSaver", "org.gnome.ScreenSaver"},
};

} // namespace

X11SecureInput::X11SecureInput(bool watchScreenSaver, QObject* parent) : SecureInput(parent)
{
    if (!watchScreenSaver)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    for (const ScreenSaverService& s : kScreenSavers) {
        bus.connect(QString(), QString::fromLatin1(s.path), QString::fromLatin1(s.interface),
                    QStringLiteral("ActiveChanged"), this, SLOT(onScreenSaverActiveChanged(bool)));
        // The state at start-up, asked once and answered asynchronously; a service that
        // is not there answers with an error, which changes nothing.
        QDBusMessage call =
            QDBusMessage::createMethodCall(QString::fromLatin1(s.service), QString::fromLatin1(s.path),
                                           QString::fromLatin1(s.interface), QStringLiteral("GetActive"));
        auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 2000), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
            QDBusPendingReply<bool> reply = *w;
            if (reply.isValid() && reply.value())
                setScreenLocked(true);
            w->deleteLater();
        });
    }
}

void X11SecureInput::setOwnSecureFieldFocused(bool focused)
{
    m_ownField = focused;
    update();
}

void X11SecureInput::setFocusedAccessibleIsPassword(bool password)
{
    m_accessiblePassword = password;
    update();
}

void X11SecureInput::setForeignKeyboardGrab(bool grabbed)
{
    m_foreignGrab = grabbed;
    update();
}

void X11SecureInput::setScreenLocked(bool locked)
{
    m_screenLocked = locked;
    update();
}

void X11SecureInput::onScreenSaverActiveChanged(bool active)
{
    setScreenLocked(active);
}

void X11SecureInput::update()
{
    const bool active = m_ownField || m_accessiblePassword || m_foreignGrab || m_screenLocked;
    if (active == m_active)
        return;
    m_active = active;
    emit changed(active);
}
