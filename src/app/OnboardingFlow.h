#pragma once

#include <QString>

class AppState;

// The first-run tour's rules, apart from its widgets: which page is shown, when a page may
// be left, whether an expansion was seen on the try-it page, and the first snippet's
// validation. Everything lasting goes through the store; the rest lives as long as one
// presentation of the tour.
class OnboardingFlow
{
  public:
    static constexpr int stepCount = 4;
    enum Step
    {
        welcome = 0,
        permission = 1,
        tryIt = 2,
        makeItYours = 3,
    };

    explicit OnboardingFlow(AppState& state);

    int step() const { return m_step; }

    // "Get started": welcome → permission.
    void getStarted();
    // "Continue" on the permission page: moves on only while the store reports the
    // permission; false when nothing happened.
    bool continueFromPermission();
    // "Skip for now" / "Continue" on the try-it page.
    void leaveTryIt();

    // The try-it page counts expansions from the counter's value when it was entered.
    qint64 expansionBaseline() const { return m_expansionBaseline; }
    bool sawExpansion() const { return m_sawExpansion; }
    // The store's expansion counter changed to `value`.
    void expansionsChanged(qint64 value);

    QString newTrigger() const { return m_newTrigger; }
    void setNewTrigger(const QString& trigger) { m_newTrigger = trigger; }
    QString newContent() const { return m_newContent; }
    void setNewContent(const QString& content) { m_newContent = content; }

    // The trigger without leading and trailing spaces and tabs: what is checked and stored.
    // A trigger of blanks would otherwise fire on every space the user types anywhere.
    static QString trimmedTrigger(const QString& trigger);
    // Another snippet already fires on the trimmed trigger (disabled ones and other groups
    // included, group prefixes applied).
    bool triggerConflict() const;
    // Trimmed trigger and content non-empty, and no conflict.
    bool snippetValid() const;

    // "Create snippet & finish": adds the snippet and finishes; nothing happens (false)
    // while the snippet is not valid.
    bool createSnippetAndFinish();

    // Ends the tour: records "didCompleteOnboarding", then clears the store's request to
    // show it (which closes the sheet).
    void finish();

  private:
    void setStep(int step);

    AppState& m_state;
    int m_step = welcome;
    qint64 m_expansionBaseline = 0;
    bool m_sawExpansion = false;
    QString m_newTrigger = QStringLiteral(";sig");
    QString m_newContent;
};
