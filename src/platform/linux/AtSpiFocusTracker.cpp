#include "platform/linux/AtSpiFocusTracker.h"

#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include <atomic>

AtSpiFocusTracker::AtSpiFocusTracker(QObject* parent) : QObject(parent)
{
    findBus();
}

AtSpiFocusTracker::AtSpiFocusTracker(const QString& busAddress, QObject* parent) : QObject(parent)
{
    connectTo(busAddress);
}

AtSpiFocusTracker::~AtSpiFocusTracker()
{
    if (m_bus) {
        m_bus.reset();
        QDBusConnection::disconnectFromBus(m_connectionName);
    }
}

void AtSpiFocusTracker::findBus()
{
    QDBusConnection session = QDBusConnection::sessionBus();
    if (!session.isConnected())
        return;
    // Asking may start the accessibility bus (D-Bus activation), which takes a moment:
    // never wait for it.
    QDBusMessage call =
        QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                       QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress"));
    auto* watcher = new QDBusPendingCallWatcher(session.asyncCall(call, 10000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        const QDBusPendingReply<QString> reply = *watcher;
        if (reply.isValid() && !reply.value().isEmpty())
            connectTo(reply.value());
    });
}

void AtSpiFocusTracker::connectTo(const QString& address)
{
    static std::atomic<int> counter{0};
    m_connectionName = QStringLiteral("quenvil-atspi-focus-%1").arg(++counter);
    QDBusConnection bus = QDBusConnection::connectToBus(address, m_connectionName);
    if (!bus.isConnected()) {
        QDBusConnection::disconnectFromBus(m_connectionName);
        return;
    }
    m_bus = bus;
    m_bus->connect(QString(), QString(), QStringLiteral("org.a11y.atspi.Event.Object"),
                   QStringLiteral("StateChanged"), {QStringLiteral("focused")}, QString(), this,
                   SLOT(onStateChanged(QDBusMessage)));
    m_bus->connect(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                   QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameOwnerChanged"), this,
                   SLOT(onNameOwnerChanged(QString, QString, QString)));
    // Programs send only the events some listener registered for.
    QDBusMessage reg = QDBusMessage::createMethodCall(
        QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("/org/a11y/atspi/registry"),
        QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("RegisterEvent"));
    reg << QStringLiteral("object:state-changed:focused") << QStringList() << QString();
    m_bus->asyncCall(reg);
    emit connected();
}

void AtSpiFocusTracker::onStateChanged(const QDBusMessage& message)
{
    const QList<QVariant> args = message.arguments();
    if (args.size() < 2 || args.at(0).toString() != QLatin1String("focused"))
        return;
    if (args.at(1).toInt() != 0) {
        if (message.service() == m_service && message.path() == m_path)
            return;
        m_service = message.service();
        m_path = message.path();
    } else if (message.service() == m_service && message.path() == m_path) {
        m_service.clear();
        m_path.clear();
    } else {
        return;
    }
    emit focusChanged(m_service, m_path);
}

void AtSpiFocusTracker::onNameOwnerChanged(const QString& name, const QString&, const QString& newOwner)
{
    if (newOwner.isEmpty() && !m_service.isEmpty() && name == m_service) {
        m_service.clear();
        m_path.clear();
        emit focusChanged(m_service, m_path);
    }
}
