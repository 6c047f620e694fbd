#include "library/SnippetEditorLogic.h"

#include "model/AppState.h"

namespace SnippetEditorLogic {

Snippet blankSnippet()
{
    // A new record's defaults are those of a plain text snippet with a fresh id.
    return Snippet{};
}

bool triggerConflict(const Snippet& working, const QList<Snippet>& snippets,
                     const QList<SnippetGroup>& groups)
{
    const QString mine = effectiveTrigger(working, groups);
    for (const Snippet& s : snippets) {
        if (s.id == working.id)
            continue;
        if (effectiveTrigger(s, groups) == mine)
            return true;
    }
    return false;
}

bool isValid(const Snippet& working, const QList<Snippet>& snippets, const QList<SnippetGroup>& groups)
{
    if (working.trigger.isEmpty() || working.content.isEmpty())
        return false;
    return !triggerConflict(working, snippets, groups);
}

std::optional<QString> shadowWarning(const Snippet& working, const QList<Snippet>& snippets,
                                     ExpansionMode mode)
{
    if (mode != ExpansionMode::instant || working.trigger.isEmpty())
        return std::nullopt;
    const QString& mine = working.trigger;
    const auto counts = [&](const Snippet& s) {
        return s.enabled && s.id != working.id && !s.trigger.isEmpty();
    };
    for (const Snippet& s : snippets) {
        if (counts(s) && s.trigger != mine && mine.startsWith(s.trigger))
            return QStringLiteral("This will never expand in instant mode — “%1” fires first.")
                .arg(s.trigger);
    }
    for (const Snippet& s : snippets) {
        if (counts(s) && s.trigger != mine && s.trigger.startsWith(mine))
            return QStringLiteral("This will shadow “%1” in instant mode — that snippet will never expand.")
                .arg(s.trigger);
    }
    return std::nullopt;
}

TriggerLine triggerLine(const Snippet& working, const QList<Snippet>& snippets,
                        const QList<SnippetGroup>& groups, ExpansionMode mode)
{
    if (triggerConflict(working, snippets, groups))
        return {TriggerLineKind::conflict, conflictText};
    if (const auto warning = shadowWarning(working, snippets, mode))
        return {TriggerLineKind::shadow, *warning};
    return {TriggerLineKind::tip, tipText};
}

std::optional<QString> groupPrefixLine(const Snippet& working, const QList<SnippetGroup>& groups)
{
    if (!working.groupID)
        return std::nullopt;
    for (const SnippetGroup& g : groups) {
        if (g.id != *working.groupID)
            continue;
        if (g.triggerPrefix.isEmpty())
            return std::nullopt;
        return QStringLiteral("Group prefix “") + g.triggerPrefix + QStringLiteral("” — you'll type ") +
               g.triggerPrefix + working.trigger;
    }
    return std::nullopt;
}

QString scriptNote(bool scriptSnippetsEnabled, const QString& shell)
{
    if (!scriptSnippetsEnabled)
        return QStringLiteral("Script snippets are disabled — enable them in General first.");
    return QStringLiteral("Runs with %1 -c; stdout is inserted (3s timeout).").arg(shell);
}

SaveOutcome save(AppState& state, const Snippet& working, bool isNew)
{
    if (!isValid(working, state.snippets(), state.groups()))
        return SaveOutcome::invalid;
    if (isNew) {
        state.addSnippets({working});
        return SaveOutcome::added;
    }
    QList<Snippet> list = state.snippets();
    for (Snippet& s : list) {
        if (s.id == working.id) {
            s = working;
            state.setSnippets(list);
            return SaveOutcome::replaced;
        }
    }
    return SaveOutcome::vanished;
}

} // namespace SnippetEditorLogic
