#pragma once

#include "model/Models.h"

#include <QList>
#include <QString>

#include <optional>

// A snippet's own trigger and content, lower-cased once, for searching the library.
struct LoweredSnippetText
{
    QString trigger;
    QString content;
    QString lowerTrigger;
    QString lowerContent;

    static LoweredSnippetText of(const Snippet& s);
};

// The group the filter really applies: the chosen one while the store still holds it, none
// once it was deleted (a filter naming no group filters nothing).
std::optional<QUuid> effectiveGroupFilter(const std::optional<QUuid>& filterGroupID,
                                          const QList<SnippetGroup>& groups);

// Positions in `snippets` (store order) of the snippets to list: those of the effective group
// filter, then, for a non-empty search (not trimmed), those whose lower-cased own trigger or
// content contains the lower-cased search. `lowered` runs parallel to `snippets`.
QList<int> filterSnippets(const QList<Snippet>& snippets, const QList<LoweredSnippetText>& lowered,
                          const std::optional<QUuid>& groupFilter, const QString& search);

// One chip of the group filter row.
struct GroupChipInfo
{
    std::optional<QUuid> groupID; // none: the "All" chip
    QString label;
    bool selected = false;
    bool dimmed = false;

    bool operator==(const GroupChipInfo&) const = default;
};

// The chips, "All (N)" first, then one per group in store order with its member count.
QList<GroupChipInfo> groupFilterChips(const QList<Snippet>& snippets, const QList<SnippetGroup>& groups,
                                      const std::optional<QUuid>& filterGroupID);
