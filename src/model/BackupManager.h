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

// Today's backup when it is missing.
void backupIfNeeded();
// Makes (or refreshes) today's backup, prunes, and returns the newest backup's date.
std::optional<QDate> backupNow();
std::optional<QDate> lastBackupDate();

// The folder-name rule, exposed for tests: exactly four, two and two ASCII digits.
bool isBackupName(const QString& name);
QString folderName(const QDate& date);

constexpr int kKeep = 14;

} // namespace BackupManager
