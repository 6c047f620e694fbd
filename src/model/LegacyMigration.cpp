#include "model/LegacyMigration.h"

#include "model/AtomicFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <sys/stat.h>

namespace LegacyMigration {

namespace {

bool isLink(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool exists(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

// Copies a file or a folder tree; links inside are skipped. False when any copy failed.
bool copyItem(const QString& from, const QString& to)
{
    const QFileInfo info(from);
    if (info.isSymLink())
        return true;
    if (info.isDir()) {
        if (!AtomicFile::ensurePrivateDir(to))
            return false;
        bool ok = true;
        const QStringList entries =
            QDir(from).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QString& name : entries)
            ok = copyItem(from + QLatin1Char('/') + name, to + QLatin1Char('/') + name) && ok;
        return ok;
    }
    if (!info.isFile())
        return true;
    // The copies hold the user's data and key: private, whatever the old folder allowed.
    return QFile::copy(from, to) && AtomicFile::makePrivate(to);
}

} // namespace

void runOnce(const QString& dataHome)
{
    static QSet<QString> done;
    const QString key = QDir::cleanPath(dataHome);
    if (done.contains(key))
        return;
    done.insert(key);
    migrate(key);
}

void migrate(const QString& dataHome)
{
    const QString former = dataHome + QStringLiteral("/Vornt");
    const QString target = dataHome + QStringLiteral("/Quenvil");
    const QString marker = target + QStringLiteral("/.migrated-from-vornt");
    if (!QFileInfo::exists(former) || exists(marker))
        return;
    QDir().mkpath(target);

    static const char* const items[] = {"snippets.json", "groups.json",    "corrections.json", "stats.json",
                                        "learning.json", "openai_api_key", "Backups"};
    bool allCopied = true;
    for (const char* item : items) {
        const QString from = former + QLatin1Char('/') + QLatin1String(item);
        const QString to = target + QLatin1Char('/') + QLatin1String(item);
        if (!QFileInfo::exists(from) || isLink(from) || exists(to))
            continue;
        allCopied = copyItem(from, to) && allCopied;
    }
    if (!allCopied)
        return;

    const QString now = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    const QString text = QStringLiteral("Migrated from ") + former + QStringLiteral(" on ") + now +
                         QStringLiteral(".\nThe original Vornt folder is left untouched as a backup.\n");
    AtomicFile::write(marker, text.toUtf8());
}

} // namespace LegacyMigration
