#pragma once

#include "model/Models.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class AppState;

// The rules of the snippet editor, apart from its widgets: what the trigger line says, when
// the snippet may be saved, and how it is written.
namespace SnippetEditorLogic {

// A blank snippet for "New snippet": fresh id, everything else at its defaults.
Snippet blankSnippet();

// Another stored snippet (by id) already fires on the working copy's effective trigger, with the
// working copy's own group choice. Disabled snippets and disabled groups count.
bool triggerConflict(const Snippet& working, const QList<Snippet>& snippets,
                     const QList<SnippetGroup>& groups);

// Trigger and content both non-empty (not trimmed), and no conflict.
bool isValid(const Snippet& working, const QList<Snippet>& snippets, const QList<SnippetGroup>& groups);

// In instant mode, the warning that an enabled other snippet's own trigger is a proper prefix of
// the working trigger (checked first) or starts with it; none otherwise.
std::optional<QString> shadowWarning(const Snippet& working, const QList<Snippet>& snippets,
                                     ExpansionMode mode);

enum class TriggerLineKind
{
    conflict,
    shadow,
    tip
};
struct TriggerLine
{
    TriggerLineKind kind;
    QString text;
};

// The one line under the trigger field: a conflict before a shadowing warning before the tip.
TriggerLine triggerLine(const Snippet& working, const QList<Snippet>& snippets,
                        const QList<SnippetGroup>& groups, ExpansionMode mode);

// The line under the group chooser when the chosen group (first with that id) has a prefix.
std::optional<QString> groupPrefixLine(const Snippet& working, const QList<SnippetGroup>& groups);

// The note under the kind picker for shell snippets, naming the shell that really runs them.
QString scriptNote(bool scriptSnippetsEnabled, const QString& shell);

enum class SaveOutcome
{
    invalid,  // nothing written; the sheet stays open
    added,    // appended at the end of the library
    replaced, // the stored snippet with that id was replaced in one assignment
    vanished, // the edited snippet is no longer stored; nothing written
};
SaveOutcome save(AppState& state, const Snippet& working, bool isNew);

inline const QString conflictText = QStringLiteral("Another snippet already uses this trigger.");
inline const QString tipText = QStringLiteral("Tip: start triggers with “;” so they never fire mid-word.");
inline const QStringList placeholderHelp = {
    QStringLiteral("Placeholders: {date}  {time}  {datetime}  {date:yyyy-MM-dd}  {date+30d}  {time+1h}  "
                   "{clipboard}  {clipboard:upper}  {cursor}  {key:tab}  {snippet:;trigger}  {ai:…}"),
    QStringLiteral("{cursor} puts the caret there after expanding; {clipboard} inserts the clipboard text "
                   "({clipboard:upper|lower|title|capitalize|trim} transforms it); {date±N}/{time±N} shift "
                   "the date/time; {key:tab} presses a key (tab, return, esc, arrows, delete); {snippet:…} "
                   "embeds another snippet."),
    QStringLiteral("{field:Name} and {menu:Tone|formal|casual} pop a small form before inserting; same label "
                   "= same value everywhere."),
};

} // namespace SnippetEditorLogic
