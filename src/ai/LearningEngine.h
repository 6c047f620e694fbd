#pragma once

#include "ai/LearnedCandidates.h"
#include "engine/TypedBuffer.h"
#include "engine/TypingLearner.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <optional>

class AppState;
class SecureInput;
class SpellChecker;

// Everything Quenvil learns from the user's typing: typo fixes made by hand, phrases typed
// again and again, the keys of suggestions already accepted or dismissed, writing samples
// and the tone profile. Fed by the typing engine through the TypingLearner hooks (inside
// the keystroke callback, so the hooks touch no file and no network: saving and AI work
// wait on timers), read and driven by the Suggestions page and the menu. Main thread only.
class LearningEngine : public QObject, public TypingLearner
{
    Q_OBJECT

  public:
    static constexpr int kCorrectionCap = 200;
    static constexpr int kPhraseCap = 300;
    static constexpr int kDismissalCap = 500;
    static constexpr int kSampleCap = 25;
    static constexpr int kBufferCap = 240;

    struct Collaborators
    {
        // Asked about a hand-fixed word only after every cheaper test passed. Without one
        // no fix is learned.
        const SpellChecker* spellChecker = nullptr;
        // While it is set nothing is learned, and the segment typed so far is dropped.
        SecureInput* secureInput = nullptr;
        // The application the typing goes to: the typing engine's front application, which
        // at a switch still names the previous one while that one's segment is evaluated.
        std::function<QString()> frontApp;
    };

    struct Options
    {
        // Empty: learning.json in the data folder.
        QString filePath;
        int saveDelayMs = 3000;
        int autoVetDelayMs = 4000;
        int autoTemplateDelayMs = 5000;
        int toneRefreshDelayMs = 6000;
        // A bigger file is not read (and is set aside before the first save).
        qint64 maxFileBytes = 16 * 1024 * 1024;
    };

    // The AI work the timers start once typing has gone quiet; installed by the AI vetter
    // and the template and tone code. Absent work is simply not started.
    struct AIWork
    {
        std::function<void()> autoVetOnDevice;
        std::function<void()> autoTemplateOnDevice;
        std::function<void()> refreshToneProfile;
    };

    // Loads learning.json.
    LearningEngine(AppState& state, Collaborators collaborators, Options options, QObject* parent = nullptr);
    LearningEngine(AppState& state, Collaborators collaborators, QObject* parent = nullptr);
    // Writes a save that is still waiting for its timer.
    ~LearningEngine() override;

    static LearningEngine* shared();
    static void setShared(LearningEngine* engine);

    void setAIWork(AIWork work) { m_aiWork = std::move(work); }

    // Stored data.
    const QList<CorrectionCandidate>& correctionCandidates() const { return m_correctionCandidates; }
    const QList<PhraseCandidate>& phraseCandidates() const { return m_phraseCandidates; }
    const QSet<QString>& dismissedKeys() const { return m_dismissedKeys; }
    const QStringList& dismissedOrder() const { return m_dismissedOrder; }
    const QStringList& writingSamples() const { return m_writingSamples; }
    std::optional<QString> toneProfile() const { return m_toneProfile; }

    // Views, computed afresh on every read. Suggestions are candidates seen at least
    // twice, most seen first and, among equals, the longest waiting first; candidates
    // still being watched come newest first.
    QList<CorrectionCandidate> suggestedCorrections() const;
    QList<PhraseCandidate> suggestedPhrases() const;
    QList<CorrectionCandidate> inProgressCorrections() const;
    QList<PhraseCandidate> inProgressPhrases() const;
    int suggestionCount() const;

    // The user's decisions; each is remembered for good and saved at once.
    void acceptCorrection(const CorrectionCandidate& c);
    void dismissCorrection(const CorrectionCandidate& c);
    // `content` replaces the phrase's text when given and not empty (the template). A
    // blank trigger does nothing.
    void acceptPhrase(const PhraseCandidate& p, const QString& trigger,
                      const std::optional<QString>& content = std::nullopt);
    void dismissPhrase(const PhraseCandidate& p);
    // Forgets every candidate, dismissal, sample and the tone profile, stops the pending
    // timers and starts a new generation, then saves. Custom corrections and snippets
    // already made from suggestions stay.
    void clearAllLearnedData();
    // The trigger offered for a phrase: the AI's when it is free, else the first letters
    // of its first word with the first free number ("than1").
    QString suggestedTrigger(const PhraseCandidate& p) const;

    void saveNow();
    void scheduleSave();
    bool savePending() const { return m_saveTimer.isActive(); }

    // AI work runs while the user goes on typing and may answer after the data it was
    // about is gone. It notes the generation when it starts and writes back only through
    // these, which refuse a reply from an earlier generation (false) as well as one for a
    // candidate that is no longer there.
    quint64 generation() const { return m_generation; }
    bool updateCorrection(quint64 generation, const QUuid& id,
                          const std::function<void(CorrectionCandidate&)>& edit);
    bool updatePhrase(quint64 generation, const QUuid& id, const std::function<void(PhraseCandidate&)>& edit);
    bool setToneProfile(quint64 generation, const std::optional<QString>& profile);
    bool isAutoVetting() const { return m_isAutoVetting; }
    void setAutoVetting(bool v);
    bool isAutoTemplating() const { return m_isAutoTemplating; }
    void setAutoTemplating(bool v) { m_isAutoTemplating = v; }
    bool isBuildingTone() const { return m_isBuildingTone; }
    void setBuildingTone(bool v);

    // A hand fix seen once more; the rules it must pass are in the source.
    void recordCorrection(const QString& wrong, const QString& right);
    void rememberDismissal(const QString& key);

    // TypingLearner: the hooks the typing engine calls, in its order.
    bool isLearningActive() const override;
    void appendToBuffer(const QString& character) override;
    void noteBackspace() override;
    void noteWordBackspace() override;
    void evaluatePendingFix() override;
    void finalizeSegment() override;
    void resetTransientState() override;
    void setTypedSinceBackspace(bool v) override { m_typedSinceBackspace = v; }

    // The segment state, for the tests and the settings window's diagnostics.
    QString typedBufferText() const { return m_typedBuffer.text(); }
    bool segmentOverflowed() const { return m_segmentOverflowed; }
    bool hasPendingEdit() const { return m_editPending; }
    bool typedSinceBackspace() const { return m_typedSinceBackspace; }

    // Removes trailing spaces and the punctuation . ! ? , ; : … ; other white space stops it.
    static QString strippingTrailingPunctuation(const QString& s);
    // Optimal string alignment distance over user-perceived characters.
    static int editDistance(const QString& a, const QString& b);

    // Keeps the `cap` most-seen candidates (newest first among equals), leaving the list
    // in that order. Only for a list that just grew.
    template <LearnedCandidate T> static void evictIfNeeded(QList<T>& list, int cap)
    {
        if (list.size() <= cap)
            return;
        std::stable_sort(list.begin(), list.end(), [](const T& a, const T& b) {
            if (a.count != b.count)
                return a.count > b.count;
            return a.lastSeen > b.lastSeen;
        });
        list.erase(list.begin() + cap, list.end());
    }

  Q_SIGNALS:
    void correctionCandidatesChanged();
    void phraseCandidatesChanged();
    void suggestionCountChanged(int);
    void toneProfileChanged();
    void isAutoVettingChanged(bool);
    void isBuildingToneChanged(bool);

  private:
    void load();
    QString filePath() const;
    void collectWritingSample(const QString& text, int wordCount);
    void beginEditSessionIfNeeded();
    void closeEdit();
    void scheduleAutoVet();
    void scheduleAutoTemplate();
    void scheduleToneRefresh();
    void stopTimers();
    static std::optional<QString> word(const TypedBuffer& buffer, int index);

    AppState& m_state;
    Collaborators m_collaborators;
    Options m_options;
    AIWork m_aiWork;
    QString m_filePath;

    QList<CorrectionCandidate> m_correctionCandidates;
    QList<PhraseCandidate> m_phraseCandidates;
    QSet<QString> m_dismissedKeys;
    QStringList m_dismissedOrder;
    QStringList m_writingSamples;
    std::optional<QString> m_toneProfile;
    bool m_isAutoVetting = false;
    bool m_isAutoTemplating = false;
    bool m_isBuildingTone = false;

    TypedBuffer m_typedBuffer{kBufferCap};
    bool m_segmentOverflowed = false;
    // The open edit: the buffer as it was at the first erase, kept in its own storage so
    // that opening an edit copies without allocating.
    bool m_editPending = false;
    TypedBuffer m_editOriginal{kBufferCap};
    int m_editCut = 0;
    bool m_editErasedLetter = false;
    bool m_typedSinceBackspace = false;

    QTimer m_saveTimer;
    QTimer m_autoVetTimer;
    QTimer m_autoTemplateTimer;
    QTimer m_toneTimer;

    mutable QString m_appVerdictFor;
    mutable bool m_appVerdictValid = false;
    mutable bool m_appAllowed = false;

    quint64 m_generation = 0;
    int m_lastSuggestionCount = -1;
    // learning.json exists but could not be used: it goes aside before anything replaces it.
    bool m_setAsideBeforeSave = false;
};
