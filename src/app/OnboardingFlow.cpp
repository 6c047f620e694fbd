#include "app/OnboardingFlow.h"

#include "library/SnippetEditorLogic.h"
#include "model/AppState.h"
#include "model/Text.h"

OnboardingFlow::OnboardingFlow(AppState& state) : m_state(state)
{
}

void OnboardingFlow::setStep(int step)
{
    if (step == m_step)
        return;
    m_step = step;
    if (step == tryIt) {
        m_expansionBaseline = m_state.statExpansions();
        m_sawExpansion = false;
    }
}

void OnboardingFlow::getStarted()
{
    if (m_step == welcome)
        setStep(permission);
}

bool OnboardingFlow::continueFromPermission()
{
    if (m_step != permission || !m_state.accessibilityGranted())
        return false;
    setStep(tryIt);
    return true;
}

void OnboardingFlow::leaveTryIt()
{
    if (m_step == tryIt)
        setStep(makeItYours);
}

void OnboardingFlow::expansionsChanged(qint64 value)
{
    // Only what is completed while the try-it page is shown counts; a later fall of the
    // counter (statistics reset) does not take the success back.
    if (m_step == tryIt && m_expansionBaseline < value)
        m_sawExpansion = true;
}

QString OnboardingFlow::trimmedTrigger(const QString& trigger)
{
    return Text::trimSpacesAndTabs(trigger);
}

bool OnboardingFlow::triggerConflict() const
{
    Snippet working;
    working.trigger = trimmedTrigger(m_newTrigger);
    return SnippetEditorLogic::triggerConflict(working, m_state.snippets(), m_state.groups());
}

bool OnboardingFlow::snippetValid() const
{
    return !trimmedTrigger(m_newTrigger).isEmpty() && !m_newContent.isEmpty() && !triggerConflict();
}

bool OnboardingFlow::createSnippetAndFinish()
{
    if (!snippetValid())
        return false;
    // A new record's defaults are those of a plain text snippet: enabled, keeps its
    // delimiter, no group.
    Snippet s;
    s.trigger = trimmedTrigger(m_newTrigger);
    s.content = m_newContent;
    m_state.addSnippets({s});
    finish();
    return true;
}

void OnboardingFlow::finish()
{
    m_state.settings().setBool(QStringLiteral("didCompleteOnboarding"), true);
    m_state.setShowOnboarding(false);
}
