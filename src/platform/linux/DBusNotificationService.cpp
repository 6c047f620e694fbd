#include "platform/linux/DBusNotificationService.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
// The action a server invokes when the notification itself is clicked.
const QString kDefaultAction = QStringLiteral("default");

} // namespace

DBusNotificationService::DBusNotificationService(const QDBusConnection& bus, const QString& appName,
                                                 const QString& appId, QObject* parent)
    : NotificationService(parent), m_bus(bus), m_appName(appName), m_appId(appId)
{
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                  SLOT(onActionInvoked(uint, QString)));
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                  SLOT(onNotificationClosed(uint, uint)));
}

DBusNotificationService::~DBusNotificationService() = default;

void DBusNotificationService::post(const Notification& notification)
{
    if (!m_bus.isConnected() || notification.identifier.isEmpty())
        return;
    uint replaces = 0;
    for (auto it = m_identifiers.cbegin(); it != m_identifiers.cend(); ++it)
        if (it.value() == notification.identifier) {
            replaces = it.key();
            break;
        }
    QVariantMap hints;
    if (!m_appId.isEmpty())
        hints.insert(QStringLiteral("desktop-entry"), m_appId);
    if (notification.sound)
        hints.insert(QStringLiteral("sound-name"), QStringLiteral("message"));
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    call << m_appName << replaces << QString() << notification.title << notification.body
         << QStringList{kDefaultAction, QStringLiteral("Open help")} << hints << int(-1);
    // No server (or a stuck one) leaves the notice unposted, silently.
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, 5000), this);
    const QString identifier = notification.identifier;
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, identifier] {
        watcher->deleteLater();
        const QDBusPendingReply<uint> reply = *watcher;
        if (reply.isValid() && reply.value() != 0)
            m_identifiers.insert(reply.value(), identifier);
    });
}

void DBusNotificationService::onActionInvoked(uint id, const QString& actionKey)
{
    const auto it = m_identifiers.constFind(id);
    if (it == m_identifiers.cend())
        return;
    if (actionKey == kDefaultAction)
        emit activated(it.value());
}

void DBusNotificationService::onNotificationClosed(uint id, uint)
{
    m_identifiers.remove(id);
}
