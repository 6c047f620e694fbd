#pragma once

#include "model/Models.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <optional>

// The rules the General page applies; the page only wires them to its controls.
namespace GeneralLogic {

QString timingSubtitle(ExpansionMode mode);

// The typing-speed stepper's range and step.
constexpr int kMinWPM = 10;
constexpr int kMaxWPM = 200;
constexpr int kWPMStep = 5;
constexpr double kDefaultWPM = 40.0;
// The stored speed as the page shows it: bounded to the stepper's range (a value that is
// not a number shows as the default), so no out-of-range double is ever made an integer.
int shownWPM(double stored);
// "40 WPM".
QString wpmText(double stored);
// The speed one step up (+1) or down (-1) from what is shown, within the range.
double steppedWPM(double stored, int direction);

struct TopRow
{
    QString label;
    qint64 count = 0;
    bool operator==(const TopRow&) const = default;
};
constexpr int kTopCount = 5;
// The five most used, most first. Equal counts are ordered by their key, so the list does
// not reshuffle between redraws.
QList<TopRow> topSnippets(const QHash<QUuid, qint64>& usage, const QList<Snippet>& snippets);
QList<TopRow> topApps(const QHash<QString, qint64>& usage);
// "×12".
QString countText(qint64 count);

// The shared list rule: the typed identifier with spaces and tabs trimmed is appended
// unless it is empty or already listed (exact). None: nothing to add, the field keeps its text.
std::optional<QStringList> addingApp(const QStringList& list, const QString& typed);
QStringList removingApp(const QStringList& list, const QString& app);

// `path` with the home folder written as "~".
QString homeRelative(const QString& path);
// The date of the last backup in the locale's short style, or "never".
QString lastBackupLabel(const std::optional<QDate>& date);
QString backupSubtitle(const QString& backupsFolder, const QString& lastBackup);
// Whether "Back up now" made today's copy: the backups report the newest date they hold,
// which is an older one when the copy failed.
bool backupSucceeded(const std::optional<QDate>& newest, const QDate& today);

} // namespace GeneralLogic
