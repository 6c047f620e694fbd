#pragma once

#include <QDateTime>
#include <QObject>
#include <QTimer>

// Keeps the daily backup going while Quenvil stays up: makes today's backup when it is
// missing at start(), then again each time the local date changes. One single-shot timer
// aimed at the next local midnight (re-aimed from the wall clock every time it fires, so
// a clock change or a suspend costs at most one late backup), not a periodic poll.
//
// The dates come from BackupManager's clock (BackupManager::setClock), the one the backups
// themselves use. The composition root makes one and starts it instead of calling
// BackupManager::backupIfNeeded() at launch:
//     auto* backups = new DailyBackup(&app);   // or a member of Application
//     backups->start();
class DailyBackup : public QObject
{
    Q_OBJECT

  public:
    explicit DailyBackup(QObject* parent = nullptr);

    // Today's backup if missing, and the timer for the next date change.
    void start();
    void stop() { m_timer.stop(); }
    bool isActive() const { return m_timer.isActive(); }
    // Time left until the timer fires (for tests), -1 when stopped.
    int remainingMs() const { return m_timer.isActive() ? m_timer.remainingTime() : -1; }
    // The wait from `now` until just after the next local midnight.
    static qint64 msecsToNextDay(const QDateTime& now);

  Q_SIGNALS:
    // After each look at the day's backup (made or already there).
    void checked();

  private:
    void fire();
    void arm();
    QTimer m_timer;
};
