#pragma once

#include <QObject>

// Checks for a newer Quenvil. Without a configured feed, checks are unavailable.
class UpdaterController : public QObject
{
    Q_OBJECT

  public:
    explicit UpdaterController(QObject* parent = nullptr);

    static UpdaterController* shared();
    static void setShared(UpdaterController* controller);

    bool canCheckForUpdates() const { return m_canCheck; }
    void checkForUpdates();

  Q_SIGNALS:
    void canCheckForUpdatesChanged(bool);

  private:
    bool m_canCheck = false;
};
