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

void prune()
{
    QStringList names = folderNames();
    std::sort(names.begin(), names.end());
    for (qsizetype i = 0; i + kKeep < names.size(); ++i)
        QDir(backupsDir() + QLatin1Char('/') + names.at(i)).removeRecursively();
}

bool copyPrivate(const QString& from, const QString& to)
{
    QFile::remove(to);
    return QFile::copy(from, to) && AtomicFile::makePrivate(to);
}

} // namespace

void setClock(std::function<QDateTime()> c) { clock() = std::move(c); }

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

void backupIfNeeded()
{
    const QString today = folderName(clock()().date());
    if (!QFileInfo::exists(backupsDir() + QLatin1Char('/') + today))
        backupNow();
}

std::optional<QDate> backupNow()
{
    const QString today = folderName(clock()().date());
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
    prune();
    return lastBackupDate();
}

std::optional<QDate> lastBackupDate()
{
    std::optional<QDate> latest;
    for (const QString& name : folderNames()) {
        const QDate d(name.left(4).toInt(), name.mid(5, 2).toInt(), name.mid(8, 2).toInt());
        if (d.isValid() && (!latest || d > *latest))
            latest = d;
    }
    return latest;
}

} // namespace BackupManager
