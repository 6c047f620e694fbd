#include "library/SnippetFilter.h"

#include "model/Text.h"

#include <QHash>

LoweredSnippetText LoweredSnippetText::of(const Snippet& s)
{
    return {s.trigger, s.content, Text::lower(s.trigger), Text::lower(s.content)};
}

std::optional<QUuid> effectiveGroupFilter(const std::optional<QUuid>& filterGroupID,
                                          const QList<SnippetGroup>& groups)
{
    if (!filterGroupID)
        return std::nullopt;
    for (const SnippetGroup& g : groups) {
        if (g.id == *filterGroupID)
            return filterGroupID;
    }
    return std::nullopt;
}

QList<int> filterSnippets(const QList<Snippet>& snippets, const QList<LoweredSnippetText>& lowered,
                          const std::optional<QUuid>& groupFilter, const QString& search)
{
    QList<int> rows;
    rows.reserve(snippets.size());
    const QString q = search.isEmpty() ? QString() : Text::lower(search);
    for (int i = 0; i < snippets.size(); ++i) {
        if (groupFilter && snippets.at(i).groupID != groupFilter)
            continue;
        if (!q.isEmpty()) {
            const LoweredSnippetText& t = lowered.at(i);
            if (!t.lowerTrigger.contains(q) && !t.lowerContent.contains(q))
                continue;
        }
        rows.append(i);
    }
    return rows;
}

QList<GroupChipInfo> groupFilterChips(const QList<Snippet>& snippets, const QList<SnippetGroup>& groups,
                                      const std::optional<QUuid>& filterGroupID)
{
    QHash<QUuid, int> counts;
    for (const Snippet& s : snippets) {
        if (s.groupID)
            ++counts[*s.groupID];
    }
    QList<GroupChipInfo> chips;
    chips.append({std::nullopt, QStringLiteral("All (%1)").arg(snippets.size()), !filterGroupID, false});
    for (const SnippetGroup& g : groups) {
        chips.append({g.id, g.name + QStringLiteral(" (%1)").arg(counts.value(g.id)), filterGroupID == g.id,
                      !g.enabled});
    }
    return chips;
}
