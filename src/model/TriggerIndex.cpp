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

    // Qt's hash rehashes slowly as it grows: size everything up front.
    t.triggerIndex.reserve(snippets.size());
    t.insensitiveTriggerIndex.reserve(snippets.size() / 4 + 1);
    QList<SuggestionEntry> entries;
    entries.reserve(snippets.size());
    QList<std::pair<QString, int>> keyLengths;
    keyLengths.reserve(snippets.size());
    std::vector<bool> lengths; // lengths[n]: some key has n characters
    const auto noteLength = [&lengths](int n) {
        if (size_t(n) >= lengths.size())
            lengths.resize(size_t(n) + 1);
        lengths[size_t(n)] = true;
    };
    for (const Snippet& s : snippets) {
        if (!s.enabled || s.trigger.isEmpty())
            continue;
        const SnippetGroup* g = s.groupID ? byId.value(*s.groupID, nullptr) : nullptr;
        // A group whose scope this version cannot read fires nowhere until it is understood.
        if (g && (!g->enabled || !g->scopeUnderstood()))
            continue;
        const QString key = g ? g->triggerPrefix + s.trigger : s.trigger;
        ResolvedSnippet r{s, g ? g->appMode : AppScopeMode::all, g ? g->appList : QStringList()};
        if (s.ignoreCase) {
            const QString folded = Text::lower(key);
            noteLength(Text::graphemeCount(folded));
            t.insensitiveTriggerIndex.insert(folded, r);
        }
        const int length = Text::graphemeCount(key);
        noteLength(length);
        keyLengths.append({key, length});
        entries.append(SuggestionEntry{key, s.content, r.appMode, r.appList});
        t.triggerIndex.insert(key, std::move(r));
    }
    t.triggerPrefixIndex = PrefixIndex::build(std::move(entries));

    for (int n = int(lengths.size()) - 1; n >= 0; --n)
        if (lengths[size_t(n)])
            t.triggerLengths.append(n);
    if (!t.triggerLengths.isEmpty()) {
        t.maxTriggerLength = t.triggerLengths.first();
        t.minTriggerLength = t.triggerLengths.last();
    }

    // Only keys that begin with something other than a letter or number can be shadowed,
    // since every prefix shares that first character. Keys filed twice give the same answer.
    for (const auto& [key, length] : keyLengths) {
        if (length <= t.minTriggerLength || Text::isLetterOrNumber(key) || t.shadowedTriggers.contains(key))
            continue;
        const auto ends = Text::clusterEnds(key);
        for (int len = std::max(t.minTriggerLength, 1); len < length; ++len) {
            // Probed without copying; copied only when it shadows.
            const QString prefix = QString::fromRawData(key.constData(), ends[len - 1]);
            if (t.triggerIndex.contains(prefix)) {
                t.shadowedTriggers.insert(key, QString(prefix.constData(), prefix.size()));
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
