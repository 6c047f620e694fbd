#pragma once

#include "model/Models.h"
#include "model/PrefixIndex.h"

#include <QHash>
#include <QList>
#include <QString>

// A key of the trigger maps. Qt 6.4 hashes strings with a per-process random seed, which
// picks its slowest string hash; these maps hold the user's own triggers, so flooding them
// with colliding keys is no concern, and the unseeded hash makes rebuilding them and every
// lookup on the key path several times cheaper. Converts from and to QString implicitly.
struct TriggerKey
{
    QString text;
    TriggerKey() = default;
    TriggerKey(const QString& s) : text(s) {}
    operator const QString&() const { return text; }
    bool operator==(const TriggerKey& o) const { return text == o.text; }
};
inline size_t qHash(const TriggerKey& k, size_t = 0) { return qHash(k.text, size_t(0)); }

using TriggerMap = QHash<TriggerKey, ResolvedSnippet>;

// The lookup tables the typing engine reads on every key, derived from the snippet and
// group lists. Never saved or edited in place: rebuilt whole and swapped in.
struct TriggerIndex
{
    // Effective trigger (group prefix + trigger) → the last active snippet filed under it.
    TriggerMap triggerIndex;
    // Lower-cased effective trigger → the last active ignore-case snippet under it.
    TriggerMap insensitiveTriggerIndex;
    // Every prefix of two or more characters of every effective trigger → the entries that
    // begin with it, in list order.
    PrefixIndex triggerPrefixIndex;
    int maxTriggerLength = 0;
    int minTriggerLength = 0;
    // Distinct key lengths of both trigger maps, longest first.
    QList<int> triggerLengths;
    // Trigger → the shortest trigger that fires before it can be completed in instant mode.
    QHash<QString, QString> shadowedTriggers;

    static TriggerIndex build(const QList<Snippet>& snippets, const QList<SnippetGroup>& groups);
};

// Misspelling (lower case, trimmed) → replacement: the safe built-ins less the disabled
// ones, then the user's own corrections in list order.
QHash<QString, QString> buildCorrectionIndex(const QSet<QString>& disabledBuiltins,
                                             const QList<CustomCorrection>& custom);

// The effective trigger: the first group with the snippet's groupID lends its prefix.
QString effectiveTrigger(const Snippet& s, const QList<SnippetGroup>& groups);
