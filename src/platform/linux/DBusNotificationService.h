#pragma once

#include "platform/NotificationService.h"

#include <QDBusConnection>
#include <QHash>

// Notifications through the desktop's notification server (org.freedesktop.Notifications).
// The server numbers its notifications; ours carry identifiers, so the service keeps the
// identifier of every notification still on screen under the server's number: a click
// reports the identifier, and posting an identifier again replaces its notification.
class DBusNotificationService : public NotificationService
{
    Q_OBJECT

  public:
    // `appName` is shown by the server; `appId` names the application's desktop entry
    // (for its icon), empty when there is none.
    DBusNotificationService(const QDBusConnection& bus, const QString& appName, const QString& appId,
                            QObject* parent = nullptr);
    ~DBusNotificationService() override;

    void post(const Notification& notification) override;

    // The identifiers of the notifications on screen, under the server's numbers.
    QHash<uint, QString> identifiers() const { return m_identifiers; }

  private slots:
    void onActionInvoked(uint id, const QString& actionKey);
    void onNotificationClosed(uint id, uint reason);

  private:
    QDBusConnection m_bus;
    QString m_appName;
    QString m_appId;
    QHash<uint, QString> m_identifiers;
};
