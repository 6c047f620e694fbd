#include "model/TriggerIndex.h"

#include "model/SpellData.h"
#include "model/Text.h"

#include <QSet>

#include <algorithm>

TriggerIndex TriggerIndex::build(const QList<Snippet>& snippets, const QList<SnippetGroup>& groups)
{
    TriggerIndex t;
    QHash<QUuid, const SnippetGroup*> byId;
    byId.reserve(groups.size());
    for (const SnippetGroup& g : groups)
        byId.insert(g.id, &g); // a later duplicate id replaces the earlier one

    t.triggerIndex.reserve(snippets.size());
    for (const Snippet& s : snippets) {
        if (!s.enabled || s.trigger.isEmpty())
            continue;
        const SnippetGroup* g = s.groupID ? byId.value(*s.groupID, nullptr) : nullptr;
        if (g && !g->enabled)
            continue;
        const QString key = g ? g->triggerPrefix + s.trigger : s.trigger;
        ResolvedSnippet r{s, g ? g->appMode : AppScopeMode::all, g ? g->appList : QStringList()};
        if (s.ignoreCase)
            t.insensitiveTriggerIndex.insert(Text::lower(key), r);
        // The prefixes go through the cluster boundaries once per key.
        const QStringList clusters = Text::graphemes(key);
        if (clusters.size() >= 2) {
            const SuggestionEntry entry{key, s.content, r.appMode, r.appList};
            qsizetype end = clusters.at(0).size();
            for (qsizetype n = 1; n < clusters.size(); ++n) {
                end += clusters.at(n).size();
                t.triggerPrefixIndex[key.left(end)].append(entry);
            }
        }
        t.triggerIndex.insert(key, std::move(r));
    }

    QSet<int> lengths;
    QHash<QString, int> lengthOf;
    lengthOf.reserve(t.triggerIndex.size());
    for (auto it = t.triggerIndex.cbegin(); it != t.triggerIndex.cend(); ++it) {
        const int n = Text::graphemeCount(it.key());
        lengthOf.insert(it.key(), n);
        lengths.insert(n);
    }
    for (auto it = t.insensitiveTriggerIndex.cbegin(); it != t.insensitiveTriggerIndex.cend(); ++it)
        lengths.insert(Text::graphemeCount(it.key()));
    if (!lengths.isEmpty()) {
        t.triggerLengths = QList<int>(lengths.begin(), lengths.end());
        std::sort(t.triggerLengths.begin(), t.triggerLengths.end(), std::greater<int>());
        t.maxTriggerLength = t.triggerLengths.first();
        t.minTriggerLength = t.triggerLengths.last();
    }

    // Only keys that begin with something other than a letter or number can be shadowed,
    // since every prefix shares that first character.
    for (auto it = lengthOf.cbegin(); it != lengthOf.cend(); ++it) {
        const QString& key = it.key();
        if (it.value() <= t.minTriggerLength || Text::isLetterOrNumber(key))
            continue;
        for (int len = t.minTriggerLength; len < it.value(); ++len) {
            const QString prefix = Text::leftGraphemes(key, len);
            if (t.triggerIndex.contains(prefix)) {
                t.shadowedTriggers.insert(key, prefix);
                break;
            }
        }
    }
    return t;
}

QHash<QString, QString> buildCorrectionIndex(const QSet<QString>& disabledBuiltins,
                                             const QList<CustomCorrection>& custom)
{
    QHash<QString, QString> index = SpellData::safeCorrections();
    for (const QString& key : disabledBuiltins)
        index.remove(key);
    for (const CustomCorrection& c : custom) {
        const QString wrong = Text::trimSpacesAndTabs(Text::lower(c.wrong));
        const QString right = Text::trimSpacesAndTabs(c.right);
        if (wrong.isEmpty() || right.isEmpty() || SpellData::protectedWords().contains(wrong) ||
            wrong == Text::lower(right))
            continue;
        index.insert(wrong, right);
    }
    return index;
}

QString effectiveTrigger(const Snippet& s, const QList<SnippetGroup>& groups)
{
    if (!s.groupID)
        return s.trigger;
    for (const SnippetGroup& g : groups)
        if (g.id == *s.groupID)
            return g.triggerPrefix + s.trigger;
    return s.trigger;
}
