#include "settings/SuggestionsLogic.h"

#include "model/AppState.h"
#include "model/Text.h"
#include "ui/Theme.h"

namespace SuggestionsLogic {

namespace {
// Sightings before a candidate becomes a suggestion; the learning engine's threshold.
constexpr int kNeeded = 2;
const QString kVetting = QStringLiteral("Vetting\u2026");
} // namespace

VetButton vetButton(const VetButtonInput& in)
{
    VetButton b;
    if (in.backend == AIBackend::openAI && in.hasKey) {
        b.kind = VetButton::Kind::openAI;
        b.title = in.isVetting ? kVetting : QStringLiteral("Vet with AI");
        b.enabled = !in.isVetting;
        b.opacity = in.isVetting ? 0.5 : 1.0;
    } else if (in.backend == AIBackend::onDevice) {
        b.kind = VetButton::Kind::onDevice;
        b.title = in.isAutoVetting ? kVetting : QStringLiteral("Vet on-device");
        // A model that cannot answer disables the button without dimming it.
        b.enabled = !in.isAutoVetting && in.onDeviceReady;
        b.opacity = in.isAutoVetting ? 0.5 : 1.0;
    }
    return b;
}

QString footerSentence(AIBackend vettingBackend)
{
    switch (vettingBackend) {
    case AIBackend::off:
        return QStringLiteral("Learning is on-device. Turn on vetting under General \u2192 AI to have suggestions "
                              "judged automatically.");
    case AIBackend::onDevice:
        return QStringLiteral("Learning is on-device. Suggestions are vetted by the on-device model \u2014 nothing "
                              "leaves this computer.");
    case AIBackend::openAI:
        return QStringLiteral("Learning is on-device. Candidates are sent to OpenAI only when you press \u201CVet "
                              "with AI\u201D.");
    }
    return {};
}

QString emptyStateTitle()
{
    return QStringLiteral("Nothing yet \u2014 keep typing");
}

QString emptyStateSentence()
{
    return QStringLiteral("A typo you fix by hand %1 times becomes a correction suggestion. A phrase of three or "
                          "more words you retype %2 times becomes a snippet suggestion.")
        .arg(kNeeded)
        .arg(kNeeded);
}

Badge badge(AIVerdict verdict)
{
    if (verdict == AIVerdict::approved)
        return {QStringLiteral("checkmark.seal.fill"), QStringLiteral("AI: looks right"), Theme::green()};
    return {QStringLiteral("xmark.seal.fill"), QStringLiteral("AI: skip"), Theme::red()};
}

qreal rowOpacity(const std::optional<AIVerdict>& verdict)
{
    return verdict == AIVerdict::rejected ? 0.55 : 1.0;
}

QString countChipText(int count)
{
    return QStringLiteral("seen \u00D7%1").arg(count);
}

QString watchingDetail(int count)
{
    return countChipText(count) + QStringLiteral(" \u00B7 needs %1").arg(kNeeded);
}

TemplateControl templateControl(const PhraseCandidate& candidate, bool canTemplate)
{
    if (candidate.templateText)
        return TemplateControl::picker;
    return canTemplate ? TemplateControl::button : TemplateControl::none;
}

QString chosenContent(const PhraseCandidate& candidate, bool useTemplate)
{
    if (useTemplate && candidate.templateText && !candidate.templateText->isEmpty())
        return *candidate.templateText;
    return candidate.text;
}

bool isTriggerTaken(const AppState& state, const QString& trigger)
{
    return state.triggerIndex().contains(trigger);
}

TriggerProblem triggerProblem(const AppState& state, const QString& trigger)
{
    // Trimmed the way the learning engine trims it when it makes the snippet.
    const QString t = Text::trimSpacesAndTabs(trigger);
    if (t.isEmpty())
        return TriggerProblem::blank;
    return isTriggerTaken(state, t) ? TriggerProblem::taken : TriggerProblem::none;
}

QString takenTriggerMessage(const QString& trigger)
{
    return QStringLiteral("\u201C%1\u201D is already the trigger of another snippet.")
        .arg(Text::trimSpacesAndTabs(trigger));
}

} // namespace SuggestionsLogic

bool TriggerField::cameIntoView(const QString& defaultTrigger)
{
    if (!m_text.isEmpty())
        return false;
    m_text = defaultTrigger;
    m_placed = defaultTrigger;
    return !defaultTrigger.isEmpty();
}

bool TriggerField::proposalArrived(const std::optional<QString>& proposal, bool taken)
{
    if (!proposal || proposal->isEmpty() || taken || !holdsRowText() || *proposal == m_text)
        return false;
    m_text = *proposal;
    m_placed = *proposal;
    return true;
}
