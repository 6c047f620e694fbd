#pragma once

#include "model/Models.h"

#include <QList>
#include <QString>

#include <optional>

class AppState;

// What a row of the snippet list shows and does, apart from its widgets. Every write finds the
// stored snippet by id and assigns the store's list once; a snippet no longer stored is skipped.
namespace SnippetRowLogic {

constexpr int previewLength = 80;

// The content on one line: each line feed as " ⏎ ", then the first 80 user-perceived
// characters, without an ellipsis.
QString preview(const QString& content);

// "×N" for a snippet used N > 0 times; none otherwise.
std::optional<QString> useCount(int uses);

// The tooltip of the shadowing mark, naming the trigger that fires first; none in delimiter mode.
std::optional<QString> shadowTooltip(ExpansionMode mode, const QHash<QString, QString>& shadowedTriggers,
                                     const QString& effectiveTrigger);

// base2, base3, ...: the first that no stored snippet's own trigger equals exactly.
QString duplicateTrigger(const QString& base, const QList<Snippet>& snippets);

// The copy a duplicate inserts: new id, the next free trigger, the source's content and enabled
// flag, every other field at its default for a new snippet.
Snippet duplicateOf(const Snippet& source, const QList<Snippet>& snippets);

bool isEnabled(const AppState& state, const QUuid& id);
void setEnabled(AppState& state, const QUuid& id, bool enabled);
void remove(AppState& state, const QUuid& id);
// Inserts the copy right after the source (at the end when the source is gone); returns it.
Snippet duplicate(AppState& state, const Snippet& source);

inline const QString learnedTooltip = QStringLiteral("Learned from your typing");
inline const QString duplicateTooltip = QStringLiteral("Duplicate snippet");

} // namespace SnippetRowLogic
