// The program scripts/soak kills: it saves every data file and makes backups in a loop, as
// fast as it can, so that a kill -9 lands in the middle of writes; and it checks a data
// folder afterwards.
//
//   quenvil_soak_writer write HOME    saves generation after generation until killed
//   quenvil_soak_writer check HOME    every file reads as one whole generation (old or
//                                     new, never a mix or a part); then a start-up
//                                     leaves no temporary file or backup work folder
//
// HOME holds data/ and config/ (the XDG folders). Exit status 0 when all is well.

#include "model/AppState.h"
#include "model/BackupManager.h"
#include "model/DataFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QJsonDocument>
#include <QRegularExpression>

#include <cstdio>

namespace {

constexpr int kSnippets = 40;

int failures = 0;

void fail(const QString& what)
{
    std::fprintf(stderr, "soak: %s\n", qPrintable(what));
    ++failures;
}

QUuid idOf(int i) { return QUuid::fromString(QStringLiteral("00000000-0000-4000-8000-%1").arg(i, 12, 10, QLatin1Char('0'))); }

QList<Snippet> generation(qint64 g)
{
    QList<Snippet> list;
    for (int i = 0; i < kSnippets; ++i) {
        Snippet s;
        s.id = idOf(i);
        s.trigger = QStringLiteral(";t%1").arg(i);
        // Long enough that a write takes more than one block.
        s.content = QStringLiteral("generation %1 item %2 ").arg(g).arg(i) + QString(200, QChar(char16_t(u'x' + g % 3)));
        list.append(s);
    }
    return list;
}

// The generation a snippet list belongs to; -1 when it is not one whole generation.
qint64 generationOf(const QList<Snippet>& list)
{
    if (list.size() != kSnippets)
        return -1;
    static const QRegularExpression re(QStringLiteral("^generation (\\d+) item (\\d+) "));
    qint64 g = -1;
    for (int i = 0; i < list.size(); ++i) {
        const auto m = re.match(list.at(i).content);
        if (!m.hasMatch() || m.captured(2).toInt() != i)
            return -1;
        const qint64 gi = m.captured(1).toLongLong();
        if (g >= 0 && gi != g)
            return -1;
        g = gi;
        if (list.at(i) != generation(g).at(i))
            return -1;
    }
    return g;
}

void checkFolder(const QString& dir, bool needAll)
{
    const auto bytes = [&](const char* name) -> std::optional<QByteArray> {
        QFile f(dir + QLatin1Char('/') + QLatin1String(name));
        if (!f.exists())
            return std::nullopt;
        if (!f.open(QIODevice::ReadOnly)) {
            fail(QStringLiteral("%1/%2 cannot be read").arg(dir, QLatin1String(name)));
            return std::nullopt;
        }
        return f.readAll();
    };
    if (const auto b = bytes("snippets.json")) {
        const auto list = decodeSnippetsFile(*b);
        if (!list || list->skipped || generationOf(list->records) < 0)
            fail(dir + QStringLiteral("/snippets.json is not one whole generation"));
    } else if (needAll) {
        fail(dir + QStringLiteral("/snippets.json is missing"));
    }
    if (const auto b = bytes("groups.json")) {
        const auto list = decodeGroupsFile(*b);
        if (!list || list->skipped || list->records.size() != 1)
            fail(dir + QStringLiteral("/groups.json is not whole"));
    }
    if (const auto b = bytes("corrections.json")) {
        const auto file = decodeCorrectionsFile(*b);
        if (!file || file->skipped || file->custom.size() != 1)
            fail(dir + QStringLiteral("/corrections.json is not whole"));
    }
    if (const auto b = bytes("stats.json")) {
        const auto file = decodeStatsFile(*b);
        if (!file || file->skipped)
            fail(dir + QStringLiteral("/stats.json is not whole"));
    }
}

int check(const QString& home)
{
    const QString data = home + QStringLiteral("/data/Quenvil");
    checkFolder(data, false);
    const QString settings = home + QStringLiteral("/config/Quenvil/settings.json");
    QFile sf(settings);
    if (sf.exists() && (!sf.open(QIODevice::ReadOnly) || !QJsonDocument::fromJson(sf.readAll()).isObject()))
        fail(QStringLiteral("settings.json is not whole"));
    const QStringList days = QDir(data + QStringLiteral("/Backups")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& day : days)
        checkFolder(data + QStringLiteral("/Backups/") + day, false);

    // A start-up clears what the kills left behind (no waiting a minute here).
    AppState::Options o;
    o.staleTemporaryAgeSecs = 0;
    {
        AppState state(o);
        if (!state.notices().isEmpty())
            fail(QStringLiteral("start-up found a damaged file: ") + state.notices().first().message);
    }
    QDirIterator it(home, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString name = it.fileName();
        if (name.contains(QLatin1String(".tmp-")) || name.startsWith(QLatin1String(".staging-")) ||
            name.startsWith(QLatin1String(".retired-")) || name.contains(QLatin1String(".unreadable-")))
            fail(QStringLiteral("left behind: ") + path);
    }
    return failures ? 1 : 0;
}

int write()
{
    AppState::Options o;
    o.deferSettingsWrites = false;
    AppState state(o);
    qint64 g = state.statExpansions() + 1;
    const QDate base(2026, 1, 1);
    for (;; ++g) {
        BackupManager::setClock([&] { return QDateTime(base.addDays(g / 4), QTime(12, 0)); });
        state.setSnippets(generation(g));
        SnippetGroup group;
        group.id = idOf(1000);
        group.name = QStringLiteral("generation %1").arg(g);
        state.setGroups({group});
        CustomCorrection c;
        c.id = idOf(2000);
        c.wrong = QStringLiteral("teh%1").arg(g);
        c.right = QStringLiteral("the");
        state.setCustomCorrections({c});
        state.recordUsage(idOf(int(g % kSnippets)), QStringLiteral("XTerm"));
        state.flushPendingStats();
        state.setStatExpansions(g);
        if (g % 3 == 0)
            BackupManager::backupNow();
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s write|check HOME\n", argv[0]);
        return 2;
    }
    const QString home = QFile::decodeName(argv[2]);
    qputenv("XDG_DATA_HOME", QFile::encodeName(home + QStringLiteral("/data")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + QStringLiteral("/config")));
    const QByteArray mode = argv[1];
    if (mode == "write")
        return write();
    if (mode == "check")
        return check(home);
    return 2;
}
