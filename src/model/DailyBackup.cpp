#include "model/DailyBackup.h"

#include "model/BackupManager.h"

#include <QTimeZone>

#include <algorithm>

namespace {
// Just past midnight, so a timer that fires a little early still lands on the new day.
constexpr qint64 kPastMidnightMs = 1000;
// QTimer counts in int milliseconds; a longer wait is taken in steps.
constexpr qint64 kLongestWaitMs = 6LL * 3600 * 1000;
} // namespace

DailyBackup::DailyBackup(QObject* parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::CoarseTimer);
    connect(&m_timer, &QTimer::timeout, this, &DailyBackup::fire);
}

qint64 DailyBackup::msecsToNextDay(const QDateTime& now)
{
    const QDate date = now.date();
    if (!date.isValid())
        return kLongestWaitMs;
    const QDateTime next = date.addDays(1).startOfDay(now.timeZone());
    const qint64 ms = now.msecsTo(next);
    return std::clamp<qint64>(ms + kPastMidnightMs, kPastMidnightMs, kLongestWaitMs);
}

void DailyBackup::start()
{
    fire();
}

void DailyBackup::fire()
{
    BackupManager::backupIfNeeded();
    Q_EMIT checked();
    arm();
}

void DailyBackup::arm()
{
    m_timer.start(int(msecsToNextDay(BackupManager::now())));
}
