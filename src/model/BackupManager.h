#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// Daily copies of the data files in dated folders "Backups/yyyy-MM-dd" inside the data
// folder; the newest 14 are kept. Folder names always use the Gregorian calendar and ASCII
// digits, whatever the locale, so that they sort and parse the same everywhere.
namespace BackupManager {

// The clock the backups read; tests pin it.
void setClock(std::function<QDateTime()> clock);
QDateTime now();

// Today's backup when it is missing.
void backupIfNeeded();
// Makes (or refreshes) today's backup, prunes, and returns the newest backup's date. A clock
// that gives no valid date in the years 1 to 9999 makes no backup (and prunes nothing).
std::optional<QDate> backupNow();
// The newest backup not dated after today (a folder made while the clock was ahead is no
// evidence of a recent copy); absent when there is none.
std::optional<QDate> lastBackupDate();

// Removes the work folders ".staging-*" and ".retired-*" in Backups that a backup cut short
// (a crash, a kill) left behind, once unmodified for `minAgeSecs`. Returns how many.
int removeStaleWork(qint64 minAgeSecs = 60);

// The names that prune() keeps: the newest kKeep by date, where folders dated after today
// (made while the clock was ahead) and names that are no real date count as the oldest.
// Exposed for tests.
QStringList namesToKeep(const QStringList& names, const QDate& today);

// The folder-name rule, exposed for tests: exactly four, two and two ASCII digits.
bool isBackupName(const QString& name);
QString folderName(const QDate& date);

constexpr int kKeep = 14;

} // namespace BackupManager
