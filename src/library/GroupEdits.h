#pragma once

#include "model/Models.h"

#include <QString>

#include <functional>
#include <optional>

class AppState;

// The groups sheet's writes. Each one is a single assignment of the store's group list (which
// saves the groups file and rebuilds the trigger index); a group no longer stored is skipped.
namespace GroupEdits {

// Appends "New group": enabled, no prefix, everywhere, no apps. Returns its id.
QUuid addGroup(AppState& state);

// The first stored group with that id, or none.
std::optional<SnippetGroup> find(const AppState& state, const QUuid& id);

// Applies `change` to the first group with that id and stores the list, unless nothing changed.
bool update(AppState& state, const QUuid& id, const std::function<void(SnippetGroup&)>& change);

// Adds `typed` (spaces and tabs trimmed) to the group's app list. False, and nothing stored, for
// an empty identifier, one already listed (exact) or a group that is gone: the field keeps its text.
bool addApp(AppState& state, const QUuid& id, const QString& typed);
// Removes every entry equal to `bundleID`.
void removeApp(AppState& state, const QUuid& id, const QString& bundleID);

int memberCount(const QList<Snippet>& snippets, const QUuid& id);

// "Members expand on <prefix>trigger — …"; none without a prefix.
std::optional<QString> prefixSentence(const QString& prefix);
// The sentence above the app list; none for "Everywhere".
std::optional<QString> scopeSentence(AppScopeMode mode);
QString scopeTitle(AppScopeMode mode);

inline const QString deleteTooltip = QStringLiteral("Delete group (snippets are kept, just ungrouped)");

} // namespace GroupEdits
