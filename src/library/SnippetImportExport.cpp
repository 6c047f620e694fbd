#include "library/SnippetImportExport.h"

#include "library/FileChooser.h"
#include "model/AppState.h"
#include "model/AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString tooLargeMessage()
{
    return QStringLiteral("That file is too large to import (20 MB maximum).");
}

QString unreadableMessage()
{
    return QStringLiteral("Couldn’t read that file.");
}

QString counted(qsizetype n, const QString& noun)
{
    return QString::number(n) + QLatin1Char(' ') + noun + (n == 1 ? QString() : QStringLiteral("s"));
}

// "*.[jJ][sS][oO][nN]": a pattern that matches the extension in any letter case, also in
// dialogs that compare case-sensitively.
QString anyCasePattern(const QString& extension)
{
    QString pattern = QStringLiteral("*.");
    for (QChar c : extension)
        pattern += QLatin1Char('[') + c.toLower() + c.toUpper() + QLatin1Char(']');
    return pattern;
}

} // namespace

SnippetImportExport::SnippetImportExport(AppState& state, FileChooser& chooser)
    : m_state(state)
    , m_chooser(chooser)
{
}

QString SnippetImportExport::openMessage()
{
    return QStringLiteral("Choose a Quenvil export (.json), a Text Substitutions export (.plist), or a CSV file.");
}

QString SnippetImportExport::proposedExportName()
{
    return QStringLiteral("Quenvil Snippets.json");
}

QStringList SnippetImportExport::importNameFilters()
{
    const QString json = anyCasePattern(QStringLiteral("json"));
    const QString plist = anyCasePattern(QStringLiteral("plist"));
    const QString csv = anyCasePattern(QStringLiteral("csv"));
    return {
        QStringLiteral("JSON, property lists and CSV (%1 %2 %3)").arg(json, plist, csv),
        QStringLiteral("JSON (%1)").arg(json),
        QStringLiteral("Property lists (%1)").arg(plist),
        QStringLiteral("CSV (%1)").arg(csv),
    };
}

QStringList SnippetImportExport::exportNameFilters()
{
    return {QStringLiteral("JSON (%1)").arg(anyCasePattern(QStringLiteral("json")))};
}

std::optional<QString> SnippetImportExport::importSnippets(QWidget* parent)
{
    const QString path = m_chooser.chooseFileToOpen(parent, openMessage(), importNameFilters());
    if (path.isEmpty())
        return std::nullopt;
    return importFile(m_state, path);
}

std::optional<QString> SnippetImportExport::exportSnippets(QWidget* parent)
{
    const QString path = m_chooser.chooseFileToSave(parent, proposedExportName(), exportNameFilters());
    if (path.isEmpty())
        return std::nullopt;
    return exportTo(m_state, path);
}

QString SnippetImportExport::fileExtension(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return QString();
    return name.mid(dot + 1).toLower();
}

SnippetImportExport::FileRead SnippetImportExport::readImportFile(const QString& path, qint64 limit)
{
    // Non-blocking, so that a FIFO or a device chosen by mistake cannot hang the window
    // before fstat has said what it is. Plain reads, never a mapping: a file truncated by
    // someone else meanwhile would kill the process through a mapping.
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {{}, unreadableMessage()};
    const auto fail = [fd](const QString& message) {
        ::close(fd);
        return FileRead{{}, message};
    };
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return fail(unreadableMessage());
    if (st.st_size > limit)
        return fail(tooLargeMessage());
    QByteArray bytes;
    bytes.resize(qsizetype(st.st_size) + 1);
    qsizetype filled = 0;
    // One byte more than the limit tells a file that grew since fstat.
    for (;;) {
        if (filled == bytes.size()) {
            if (bytes.size() > limit)
                break;
            bytes.resize(qMin<qint64>(limit + 1, bytes.size() * 2));
        }
        const ssize_t n = ::read(fd, bytes.data() + filled, size_t(bytes.size() - filled));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail(unreadableMessage());
        }
        if (n == 0)
            break;
        filled += n;
    }
    ::close(fd);
    if (filled > limit)
        return {{}, tooLargeMessage()};
    bytes.truncate(filled);
    return {bytes, std::nullopt};
}

QString SnippetImportExport::importFile(AppState& state, const QString& path)
{
    const FileRead file = readImportFile(path);
    if (file.failure)
        return *file.failure;
    const SnippetImport::Outcome outcome = SnippetImport::parse(file.bytes, fileExtension(path));
    if (!outcome.ok())
        return SnippetImport::description(*outcome.error);
    return merge(state, outcome.result);
}

QString SnippetImportExport::merge(AppState& state, const SnippetImport::Result& result)
{
    const QList<SnippetGroup>& storeGroups = state.groups();
    // The first group with an id lends its prefix, as in the store's own lookup.
    QHash<QUuid, QString> prefixOf;
    for (const SnippetGroup& g : storeGroups) {
        if (!prefixOf.contains(g.id))
            prefixOf.insert(g.id, g.triggerPrefix);
    }
    const auto effectiveTrigger = [&prefixOf](const Snippet& s) {
        if (s.groupID) {
            const auto it = prefixOf.constFind(*s.groupID);
            if (it != prefixOf.cend())
                return *it + s.trigger;
        }
        return s.trigger;
    };

    QSet<QString> seen;
    seen.reserve(state.snippets().size() + result.snippets.size());
    for (const Snippet& s : state.snippets())
        seen.insert(effectiveTrigger(s));

    QList<Snippet> toAdd;
    QList<SnippetGroup> newGroups;
    qsizetype duplicates = 0;
    const auto consider = [&](Snippet s) {
        if (s.trigger.isEmpty() || s.content.isEmpty())
            return;
        const QString trigger = effectiveTrigger(s);
        if (seen.contains(trigger)) {
            ++duplicates;
            return;
        }
        seen.insert(trigger);
        s.id = QUuid::createUuid();
        // A file from elsewhere must not run commands on a keystroke before its owner has
        // read them.
        if (s.kind == SnippetKind::shell)
            s.enabled = false;
        toAdd.append(std::move(s));
    };

    // Only a group without a prefix is reused: its members keep the triggers they had.
    QHash<QString, QUuid> reusable;
    for (const SnippetGroup& g : storeGroups) {
        if (g.triggerPrefix.isEmpty() && !reusable.contains(g.name))
            reusable.insert(g.name, g.id);
    }

    for (const Snippet& s : result.snippets)
        consider(s);
    for (const SnippetImport::ImportedGroup& imported : result.groups) {
        QUuid targetID;
        if (const auto target = reusable.constFind(imported.name); target != reusable.cend()) {
            targetID = *target;
        } else {
            SnippetGroup group;
            group.id = QUuid::createUuid();
            group.name = imported.name;
            group.enabled = true;
            group.triggerPrefix.clear();
            group.appMode = AppScopeMode::all;
            group.appList.clear();
            targetID = group.id;
            newGroups.append(group);
        }
        for (Snippet s : imported.snippets) {
            s.groupID = targetID;
            consider(std::move(s));
        }
    }

    QSet<QUuid> used;
    for (const Snippet& s : toAdd) {
        if (s.groupID)
            used.insert(*s.groupID);
    }
    newGroups.removeIf([&used](const SnippetGroup& g) { return !used.contains(g.id); });

    // Groups first, so that no stored snippet ever points to a group not yet stored.
    if (!newGroups.isEmpty())
        state.setGroups(state.groups() + newGroups);
    const qsizetype added = toAdd.size();
    if (!toAdd.isEmpty())
        state.addSnippets(toAdd);

    QStringList parts{QStringLiteral("Imported ") + counted(added, QStringLiteral("snippet"))};
    if (!newGroups.isEmpty())
        parts.append(counted(newGroups.size(), QStringLiteral("new group")));
    if (duplicates > 0)
        parts.append(QStringLiteral("skipped ") + counted(duplicates, QStringLiteral("duplicate")));
    if (result.skipped > 0)
        parts.append(QString::number(result.skipped) + QStringLiteral(" unsupported"));
    return parts.join(QStringLiteral(", ")) + QLatin1Char('.');
}

QString SnippetImportExport::exportTo(AppState& state, const QString& path)
{
    const QByteArray bytes = encodeSnippets(state.snippets());
    errno = 0;
    if (!AtomicFile::write(path, bytes)) {
        const int error = errno;
        return QStringLiteral("Export failed: ") +
               (error != 0 ? qt_error_string(error) : QStringLiteral("The file could not be written."));
    }
    return QStringLiteral("Exported ") + counted(state.snippets().size(), QStringLiteral("snippet")) +
           QLatin1Char('.');
}
