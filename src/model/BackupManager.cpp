#include "model/BackupManager.h"

#include "model/AppState.h"
#include "model/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

namespace BackupManager {

namespace {

std::function<QDateTime()>& clock()
{
    static std::function<QDateTime()> c = [] { return QDateTime::currentDateTime(); };
    return c;
}

const char* const kFiles[] = {"snippets.json", "groups.json", "corrections.json", "learning.json", "stats.json"};

QString backupsDir() { return AppState::supportDir() + QStringLiteral("/Backups"); }

QStringList folderNames()
{
    QStringList out;
    const QDir dir(backupsDir());
    if (!dir.exists())
        return out;
    const QFileInfoList entries = dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QFileInfo& e : entries)
        if (isBackupName(e.fileName()) && e.isDir() && !e.isSymLink())
            out.append(e.fileName());
    return out;
}

QDate dateOf(const QString& name)
{
    return QDate(name.left(4).toInt(), name.mid(5, 2).toInt(), name.mid(8, 2).toInt());
}

// A date the backups can use: a real day in the years 1 to 9999.
bool usable(const QDate& d) { return d.isValid() && d.year() >= 1 && d.year() <= 9999; }

void prune(const QDate& today)
{
    const QStringList names = folderNames();
    const QStringList keep = namesToKeep(names, today);
    for (const QString& name : names)
        if (!keep.contains(name))
            QDir(backupsDir() + QLatin1Char('/') + name).removeRecursively();
}

bool copyPrivate(const QString& from, const QString& to)
{
    QFile::remove(to);
    return QFile::copy(from, to) && AtomicFile::makePrivate(to);
}

} // namespace

void setClock(std::function<QDateTime()> c) { clock() = std::move(c); }
QDateTime now() { return clock()(); }

bool isBackupName(const QString& name)
{
    if (name.size() != 10)
        return false;
    for (int i = 0; i < 10; ++i) {
        const ushort c = name.at(i).unicode();
        const bool ok = (i == 4 || i == 7) ? c == '-' : (c >= '0' && c <= '9');
        if (!ok)
            return false;
    }
    return true;
}

QString folderName(const QDate& date)
{
    // Built from the numbers themselves: no locale can bring other digits or calendars in.
    return QStringLiteral("%1-%2-%3")
        .arg(date.year(), 4, 10, QLatin1Char('0'))
        .arg(date.month(), 2, 10, QLatin1Char('0'))
        .arg(date.day(), 2, 10, QLatin1Char('0'));
}

QStringList namesToKeep(const QStringList& names, const QDate& today)
{
    // Sorted newest first: real past dates by date, then the rest (future or no date).
    QStringList sorted = names;
    std::sort(sorted.begin(), sorted.end(), [&today](const QString& a, const QString& b) {
        const QDate da = dateOf(a), db = dateOf(b);
        const bool ra = da.isValid() && da <= today, rb = db.isValid() && db <= today;
        if (ra != rb)
            return ra;
        if (ra)
            return da > db;
        return a < b; // among the doubtful ones, nearer names stay longer
    });
    return sorted.mid(0, kKeep);
}

int removeStaleWork(qint64 minAgeSecs)
{
    int removed = 0;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QFileInfoList entries = QDir(backupsDir()).entryInfoList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    const QString own = QLatin1Char('-') + QString::number(::getpid());
    for (const QFileInfo& e : entries) {
        const QString name = e.fileName();
        if (e.isSymLink() || !(name.startsWith(QLatin1String(".staging-")) || name.startsWith(QLatin1String(".retired-"))))
            continue;
        if (name.endsWith(own) || e.lastModified().toUTC().secsTo(now) < minAgeSecs)
            continue;
        if (QDir(e.absoluteFilePath()).removeRecursively())
            ++removed;
    }
    return removed;
}

void backupIfNeeded()
{
    const QDate date = clock()().date();
    if (!usable(date))
        return;
    const QString today = folderName(date);
    if (!QFileInfo::exists(backupsDir() + QLatin1Char('/') + today))
        backupNow();
}

std::optional<QDate> backupNow()
{
    const QDate date = clock()().date();
    if (!usable(date))
        return lastBackupDate();
    const QString today = folderName(date);
    const QString data = AppState::supportDir();
    const QString backups = backupsDir();
    AtomicFile::ensurePrivateDir(backups);
    const QString final = backups + QLatin1Char('/') + today;

    // The day's copy is built beside the old one and swapped in whole, so a failed copy
    // never leaves the day without a backup.
    const QString staging = backups + QStringLiteral("/.staging-") + today + QLatin1Char('-') +
                            QString::number(::getpid());
    QDir(staging).removeRecursively();
    bool ok = AtomicFile::ensurePrivateDir(staging);
    if (ok && QFileInfo(final).isDir() && !QFileInfo(final).isSymLink()) {
        // Files that have since left the data folder keep their earlier copies.
        const QStringList old = QDir(final).entryList(QDir::Files | QDir::Hidden);
        for (const QString& name : old)
            ok = copyPrivate(final + QLatin1Char('/') + name, staging + QLatin1Char('/') + name) && ok;
    }
    for (const char* file : kFiles) {
        if (!ok)
            break;
        const QString from = data + QLatin1Char('/') + QLatin1String(file);
        if (!QFileInfo(from).isFile())
            continue;
        ok = copyPrivate(from, staging + QLatin1Char('/') + QLatin1String(file));
    }
    if (ok) {
        const QString retired = backups + QStringLiteral("/.retired-") + today + QLatin1Char('-') +
                                QString::number(::getpid());
        const bool hadOld = QFileInfo::exists(final);
        if (hadOld)
            ok = QDir().rename(final, retired);
        if (ok && QDir().rename(staging, final)) {
            QDir(retired).removeRecursively();
        } else if (hadOld && ok) {
            QDir().rename(retired, final);
        }
    }
    QDir(staging).removeRecursively();
    ::chmod(QFile::encodeName(final).constData(), 0700);
    prune(date);
    return lastBackupDate();
}

std::optional<QDate> lastBackupDate()
{
    const QDate today = clock()().date();
    std::optional<QDate> latest;
    for (const QString& name : folderNames()) {
        const QDate d = dateOf(name);
        if (d.isValid() && (!usable(today) || d <= today) && (!latest || d > *latest))
            latest = d;
    }
    return latest;
}

} // namespace BackupManager
