#pragma once

#include <QString>
#include <QTemporaryDir>

// A D-Bus session bus of the test's own: a dbus-daemon with a configuration that offers
// no activatable services, so nothing the test does starts a desktop service or reaches
// the user's session. Stopped (by its process id) when the object goes.
class PrivateSessionBus
{
  public:
    PrivateSessionBus();
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    bool start();
    void stop();
    QString address() const { return m_address; }

  private:
    QTemporaryDir m_dir;
    qint64 m_pid = 0;
    QString m_address;
};
