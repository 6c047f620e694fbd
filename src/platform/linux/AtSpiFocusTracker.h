#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>

#include <optional>

// The focused accessible object of the desktop, followed over AT-SPI. The bus has no
// "what has the focus now" question, so the tracker listens for focus changes
// (object:state-changed:focused) from the moment it connects and keeps the latest focused
// object. A program that quits while one of its objects has the focus sends no focus-out:
// its name leaving the bus clears the focus too.
class AtSpiFocusTracker : public QObject
{
    Q_OBJECT

  public:
    // Finds the accessibility bus through the session bus; until then (or when there is
    // none) nothing has the focus.
    explicit AtSpiFocusTracker(QObject* parent = nullptr);
    // On a known accessibility bus.
    explicit AtSpiFocusTracker(const QString& busAddress, QObject* parent = nullptr);
    ~AtSpiFocusTracker() override;

    bool isConnected() const { return m_bus.has_value(); }
    // The bus, for questions to the focused object; only while connected.
    const std::optional<QDBusConnection>& bus() const { return m_bus; }

    // Bus name and object path of the focused accessible; empty when none.
    QString focusedService() const { return m_service; }
    QString focusedPath() const { return m_path; }

  signals:
    void connected();
    // The focus moved to another object, or away from every object (both empty).
    void focusChanged(const QString& service, const QString& path);

  private slots:
    void onStateChanged(const QDBusMessage& message);
    void onNameOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);

  private:
    void findBus();
    void connectTo(const QString& address);

    std::optional<QDBusConnection> m_bus;
    QString m_connectionName;
    QString m_service;
    QString m_path;
};
