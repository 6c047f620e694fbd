#include "app/OnboardingFlow.h"

#include "library/SnippetEditorLogic.h"
#include "model/AppState.h"

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
    qsizetype start = 0;
    qsizetype end = trigger.size();
    const auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    while (start < end && blank(trigger[start]))
        ++start;
    while (end > start && blank(trigger[end - 1]))
        --end;
    return trigger.mid(start, end - start);
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
    Snippet s;
    s.id = QUuid::createUuid();
    s.trigger = trimmedTrigger(m_newTrigger);
    s.content = m_newContent;
    s.enabled = true;
    s.ignoreCase = false;
    s.adaptCase = false;
    s.wholeWord = false;
    s.keepDelimiter = true;
    s.learned = false;
    s.kind = SnippetKind::text;
    s.groupID.reset();
    m_state.addSnippets({s});
    finish();
    return true;
}

void OnboardingFlow::finish()
{
    m_state.settings().setBool(QStringLiteral("didCompleteOnboarding"), true);
    m_state.setShowOnboarding(false);
}
