#pragma once

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QVariantMap>

// A desktop notification server (org.freedesktop.Notifications) on the bus the test
// gives it: records every notification, replaces one when asked to, and clicks and
// closes them as the user would.
class FakeNotificationServer : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

  public:
    struct Received
    {
        uint id = 0;
        QString appName;
        uint replacesId = 0;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
        int expireTimeout = 0;
    };

    explicit FakeNotificationServer(const QDBusConnection& bus, QObject* parent = nullptr);
    ~FakeNotificationServer() override;

    // Takes the service name; false when the bus refused it.
    bool start();

    QList<Received> received;
    // The notifications on screen.
    QSet<uint> shown;

    // The user clicks notification `id` (the "default" action is the notification itself).
    void click(uint id, const QString& actionKey = QStringLiteral("default"));
    // It goes away (reason 2: dismissed by the user).
    void dismiss(uint id, uint reason = 2);

  public slots:
    uint Notify(const QString& appName, uint replacesId, const QString& appIcon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int expireTimeout);
    void CloseNotification(uint id);
    QStringList GetCapabilities();
    QString GetServerInformation(QString& vendor, QString& version, QString& specVersion);

  signals:
    void ActionInvoked(uint id, const QString& action_key);
    void NotificationClosed(uint id, uint reason);

  private:
    QDBusConnection m_bus;
    uint m_lastId = 0;
};
