#include "FakeNotificationServer.h"

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

} // namespace

FakeNotificationServer::FakeNotificationServer(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), m_bus(bus)
{
}

FakeNotificationServer::~FakeNotificationServer()
{
    m_bus.unregisterObject(kPath);
    m_bus.unregisterService(kService);
}

bool FakeNotificationServer::start()
{
    return m_bus.registerObject(kPath, this,
                                QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals) &&
           m_bus.registerService(kService);
}

uint FakeNotificationServer::Notify(const QString& appName, uint replacesId, const QString&,
                                    const QString& summary, const QString& body, const QStringList& actions,
                                    const QVariantMap& hints, int expireTimeout)
{
    const uint id = replacesId != 0 && shown.contains(replacesId) ? replacesId : ++m_lastId;
    shown.insert(id);
    received.append({id, appName, replacesId, summary, body, actions, hints, expireTimeout});
    return id;
}

void FakeNotificationServer::CloseNotification(uint id)
{
    if (shown.remove(id))
        emit NotificationClosed(id, 3);
}

QStringList FakeNotificationServer::GetCapabilities()
{
    return {QStringLiteral("actions"), QStringLiteral("body"), QStringLiteral("sound")};
}

QString FakeNotificationServer::GetServerInformation(QString& vendor, QString& version, QString& specVersion)
{
    vendor = QStringLiteral("Quenvil tests");
    version = QStringLiteral("1");
    specVersion = QStringLiteral("1.2");
    return QStringLiteral("fake");
}

void FakeNotificationServer::click(uint id, const QString& actionKey)
{
    emit ActionInvoked(id, actionKey);
    dismiss(id);
}

void FakeNotificationServer::dismiss(uint id, uint reason)
{
    if (shown.remove(id))
        emit NotificationClosed(id, reason);
}
