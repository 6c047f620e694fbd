#include "library/SnippetRowLogic.h"

#include "model/AppState.h"
#include "model/Text.h"

#include <QSet>

namespace SnippetRowLogic {

QString preview(const QString& content)
{
    QString line = content;
    line.replace(QLatin1Char('\n'), QStringLiteral(" \u23CE "));
    return Text::leftGraphemes(line, previewLength);
}

std::optional<QString> useCount(int uses)
{
    if (uses <= 0)
        return std::nullopt;
    return QStringLiteral("×%1").arg(uses);
}

std::optional<QString> shadowTooltip(ExpansionMode mode, const QHash<QString, QString>& shadowedTriggers,
                                     const QString& effectiveTrigger)
{
    if (mode != ExpansionMode::instant)
        return std::nullopt;
    const auto it = shadowedTriggers.constFind(effectiveTrigger);
    if (it == shadowedTriggers.constEnd())
        return std::nullopt;
    return QStringLiteral("Never expands in instant mode — “%1” fires first. Rename one of them or switch "
                          "to delimiter mode.")
        .arg(*it);
}

QString duplicateTrigger(const QString& base, const QList<Snippet>& snippets)
{
    QSet<QString> taken;
    taken.reserve(snippets.size());
    for (const Snippet& s : snippets)
        taken.insert(s.trigger);
    for (qint64 n = 2;; ++n) {
        const QString candidate = base + QString::number(n);
        if (!taken.contains(candidate))
            return candidate;
    }
}

Snippet duplicateOf(const Snippet& source, const QList<Snippet>& snippets)
{
    Snippet copy;
    copy.id = QUuid::createUuid();
    copy.trigger = duplicateTrigger(source.trigger, snippets);
    copy.content = source.content;
    copy.enabled = source.enabled;
    return copy;
}

bool isEnabled(const AppState& state, const QUuid& id)
{
    for (const Snippet& s : state.snippets()) {
        if (s.id == id)
            return s.enabled;
    }
    return false;
}

void setEnabled(AppState& state, const QUuid& id, bool enabled)
{
    QList<Snippet> list = state.snippets();
    for (Snippet& s : list) {
        if (s.id == id) {
            s.enabled = enabled;
            state.setSnippets(list);
            return;
        }
    }
}

void remove(AppState& state, const QUuid& id)
{
    QList<Snippet> list = state.snippets();
    const qsizetype removed = list.removeIf([&](const Snippet& s) { return s.id == id; });
    if (removed > 0)
        state.setSnippets(list);
}

Snippet duplicate(AppState& state, const Snippet& source)
{
    const Snippet copy = duplicateOf(source, state.snippets());
    state.addSnippets({copy}, source.id);
    return copy;
}

} // namespace SnippetRowLogic
