#pragma once

#include "ai/LearnedCandidates.h"
#include "model/Models.h"

#include <QColor>
#include <QList>
#include <QString>

#include <optional>

class AppState;

// What the Suggestions page decides, apart from drawing it.
namespace SuggestionsLogic {

// The vet button of the header.
struct VetButtonInput
{
    AIBackend backend = AIBackend::off;
    bool hasKey = false;        // an OpenAI key is stored
    bool isVetting = false;     // an OpenAI batch is under way
    bool isAutoVetting = false; // an on-device pass is under way
    bool onDeviceReady = false; // the on-device model can answer now
};

struct VetButton
{
    enum class Kind
    {
        none,
        openAI,
        onDevice,
    };
    Kind kind = Kind::none;
    QString title;
    bool enabled = false;
    qreal opacity = 1;

    bool operator==(const VetButton&) const = default;
};

VetButton vetButton(const VetButtonInput& in);

QString footerSentence(AIBackend vettingBackend);
QString emptyStateTitle();
QString emptyStateSentence();

struct Badge
{
    QString symbol;
    QString label;
    QColor colour;
};
Badge badge(AIVerdict verdict);
// A rejected candidate stays usable but is drawn dimmed.
qreal rowOpacity(const std::optional<AIVerdict>& verdict);

QString countChipText(int count);
// "seen ×1 · needs 2"
QString watchingDetail(int count);

// The first ten of an in-progress list, in the engine's order.
constexpr int kWatchingCap = 10;
template <typename T> QList<T> firstWatching(const QList<T>& list)
{
    return list.mid(0, kWatchingCap);
}

// What a phrase row offers next to its count.
enum class TemplateControl
{
    none,
    button, // "Make template"
    picker, // "Literal" / "Template"
};
TemplateControl templateControl(const PhraseCandidate& candidate, bool canTemplate);

// The text a phrase row shows and hands to "Add snippet": the template when chosen and not
// empty, else the phrase as typed.
QString chosenContent(const PhraseCandidate& candidate, bool useTemplate);

// Why "Add snippet" does not add: nothing, a blank trigger (silently), or a trigger an
// active snippet already fires on (which the new snippet would take over).
enum class TriggerProblem
{
    none,
    blank,
    taken,
};
TriggerProblem triggerProblem(const AppState& state, const QString& trigger);
QString takenTriggerMessage(const QString& trigger);
// Whether an active snippet already fires on `trigger` exactly.
bool isTriggerTaken(const AppState& state, const QString& trigger);

} // namespace SuggestionsLogic

// The trigger field of a phrase row and who put its text there. The row fills it with its
// default when it comes into view empty, and with the AI's proposal when one arrives; both
// only while the field still holds what the row itself put there, so text the user typed
// is never replaced by a late reply.
class TriggerField
{
  public:
    QString text() const { return m_text; }
    // Whether the text is the row's own (the default or an AI proposal), not the user's.
    bool holdsRowText() const { return m_placed && *m_placed == m_text; }

    // The user typed or pasted into the field.
    void userEdited(const QString& text) { m_text = text; }
    // The row came into view. True when the text changed.
    bool cameIntoView(const QString& defaultTrigger);
    // The candidate's proposed trigger changed to `proposal`. A blank proposal, one an
    // active snippet already uses, or a field holding the user's text is left alone. True
    // when the text changed.
    bool proposalArrived(const std::optional<QString>& proposal, bool taken);

  private:
    QString m_text;
    std::optional<QString> m_placed;
};
