#pragma once

#include <QObject>
#include <QString>

// Desktop notifications. Each notification carries an identifier of ours; posting one
// with the identifier of a notification still on screen replaces it, so a repeated
// notice never stacks up. Posting fails silently (no notification server, notifications
// turned off). Main thread.
class NotificationService : public QObject
{
    Q_OBJECT
  public:
    struct Notification
    {
        QString identifier;
        QString title;
        QString body;
        // With the desktop's usual notification sound.
        bool sound = true;
    };

    using QObject::QObject;
    ~NotificationService() override = default;

    virtual void post(const Notification& notification) = 0;

  signals:
    // The user clicked the notification with this identifier.
    void activated(const QString& identifier);
};
