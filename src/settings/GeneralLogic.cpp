#include "settings/GeneralLogic.h"

#include "model/BackupManager.h"
#include "model/Text.h"

#include <QDir>
#include <QLocale>

#include <algorithm>
#include <cmath>

namespace GeneralLogic {

QString timingSubtitle(ExpansionMode mode)
{
    if (mode == ExpansionMode::delimiter)
        return QStringLiteral("Expands after a space, tab, or punctuation follows the trigger.");
    return QStringLiteral("Expands the moment the last character of a trigger is typed.");
}

int shownWPM(double stored)
{
    if (std::isnan(stored))
        return int(kDefaultWPM);
    const double bounded = std::clamp(stored, double(kMinWPM), double(kMaxWPM));
    return int(std::trunc(bounded));
}

QString wpmText(double stored)
{
    return QString::number(shownWPM(stored)) + QStringLiteral(" WPM");
}

double steppedWPM(double stored, int direction)
{
    // From a stored value with a fraction the step keeps it, as long as it stays in range.
    const double from = std::isfinite(stored) ? std::clamp(stored, double(kMinWPM), double(kMaxWPM))
                                              : kDefaultWPM;
    return std::clamp(from + direction * kWPMStep, double(kMinWPM), double(kMaxWPM));
}

namespace {

template <typename Key>
QList<std::pair<Key, qint64>> ranked(const QHash<Key, qint64>& usage, auto keyText)
{
    QList<std::pair<Key, qint64>> pairs;
    pairs.reserve(usage.size());
    for (auto it = usage.cbegin(); it != usage.cend(); ++it)
        pairs.append({it.key(), it.value()});
    std::sort(pairs.begin(), pairs.end(), [&](const auto& a, const auto& b) {
        if (a.second != b.second)
            return a.second > b.second;
        return keyText(a.first) < keyText(b.first);
    });
    if (pairs.size() > kTopCount)
        pairs.resize(kTopCount);
    return pairs;
}

} // namespace

QList<TopRow> topSnippets(const QHash<QUuid, qint64>& usage, const QList<Snippet>& snippets)
{
    QList<TopRow> rows;
    for (const auto& [id, count] : ranked(usage, [](const QUuid& id) { return id.toString(); })) {
        QString label = QStringLiteral("(deleted)");
        for (const Snippet& s : snippets) {
            if (s.id == id) {
                label = s.trigger;
                break;
            }
        }
        rows.append({label, count});
    }
    return rows;
}

QList<TopRow> topApps(const QHash<QString, qint64>& usage)
{
    QList<TopRow> rows;
    for (const auto& [app, count] : ranked(usage, [](const QString& s) { return s; }))
        rows.append({app, count});
    return rows;
}

QString countText(qint64 count)
{
    return QStringLiteral("\u00D7") + QString::number(count);
}

std::optional<QStringList> addingApp(const QStringList& list, const QString& typed)
{
    const QString app = Text::trimSpacesAndTabs(typed);
    if (app.isEmpty() || list.contains(app))
        return std::nullopt;
    QStringList next = list;
    next.append(app);
    return next;
}

QStringList removingApp(const QStringList& list, const QString& app)
{
    QStringList next = list;
    next.removeAll(app);
    return next;
}

QString homeRelative(const QString& path)
{
    const QString home = QDir::cleanPath(QDir::homePath());
    const QString clean = QDir::cleanPath(path);
    if (home.isEmpty() || home == QLatin1String("/"))
        return clean;
    if (clean == home)
        return QStringLiteral("~");
    if (clean.startsWith(home + QLatin1Char('/')))
        return QStringLiteral("~") + clean.mid(home.size());
    return clean;
}

QString lastBackupLabel(const std::optional<QDate>& date)
{
    if (!date || !date->isValid())
        return QStringLiteral("never");
    return QLocale().toString(*date, QLocale::ShortFormat);
}

QString backupSubtitle(const QString& backupsFolder, const QString& lastBackup)
{
    return QStringLiteral("Snippets, corrections, and learning data are copied once a day into ") + backupsFolder +
           QStringLiteral(" (newest ") + QString::number(BackupManager::kKeep) + QStringLiteral(" kept). Last backup: ") + lastBackup +
           QStringLiteral(".");
}

bool backupSucceeded(const std::optional<QDate>& newest, const QDate& today)
{
    return newest && today.isValid() && *newest == today;
}

} // namespace GeneralLogic
