#pragma once

#include "ai/AIAccess.h"
#include "ai/LearnedCandidates.h"

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>
#include <utility>

class AIReply;
class AIVetter;
class AppState;
class LearningEngine;

// Asks a language model for its opinion of the learning engine's suggestions and writes
// the answers (a verdict, for phrases also a proposed trigger) into the candidates. The
// on-device pass runs by itself once typing has gone quiet, one candidate at a time; the
// OpenAI batch sends every pending suggestion in one request when the user asks. Nothing
// else about a candidate changes. Main thread only.
//
// Every request notes the learning engine's generation when it starts: once the learned
// data were cleared, its answer is dropped and the rest of the pass is not asked.
class CandidateVetting : public QObject
{
    Q_OBJECT

  public:
    static constexpr int kCorrectionsPerPass = 8;
    static constexpr int kPhrasesPerPass = 6;

    struct CorrectionVerdict
    {
        QString wrong;
        QString right;
        QString verdict;
    };
    struct PhraseVerdict
    {
        QString text;
        QString verdict;
        std::optional<QString> trigger;
    };
    struct VerdictPayload
    {
        QList<CorrectionVerdict> corrections;
        QList<PhraseVerdict> phrases;
    };

    // Starts a pass whenever the vetting back end is switched to on-device.
    CandidateVetting(AppState& state, LearningEngine& engine, AIVetter& vetter, AIAccess ai,
                     QObject* parent = nullptr);
    ~CandidateVetting() override;

    static CandidateVetting* shared();
    static void setShared(CandidateVetting* instance);

    // Up to 8 pending corrections and 6 pending phrases, in suggestion order, to the
    // on-device model. Returns at once when that is not the vetting back end, the model
    // cannot answer, a pass is running or nothing is pending.
    void autoVetOnDevice();
    // Every pending suggestion to OpenAI in one request; the verdicts land when it
    // answers, a failure ends in the vetter's lastError. Nothing happens without a key or
    // while a batch is under way.
    void vetPendingSuggestions();

    // Writes the verdicts of a batch reply into the candidates they name (by content),
    // unless the learned data were cleared since `generation`.
    static void applyAIVerdicts(LearningEngine& engine, quint64 generation,
                                const QList<CorrectionVerdict>& corrections,
                                const QList<PhraseVerdict>& phrases);

    // One to seven letters followed by one digit, counting only the letters and numbers
    // of the lower-cased word.
    static bool looksLikeTrigger(const QString& word);
    // The word's letters and numbers, lower-cased: the form in which a trigger is offered.
    static QString triggerForm(const QString& word);

    static QString correctionPrompt(const CorrectionCandidate& c);
    static QString correctionInstructions();
    static QString phraseInstructions();
    static QString vettingSystemPrompt();

    // The reply rules of the on-device model.
    static std::optional<AIVerdict> correctionVerdictFromReply(const QString& reply);
    static std::optional<std::pair<AIVerdict, std::optional<QString>>>
    phraseVerdictFromReply(const QString& reply);

    // The batch request: the body of the chat completion, and the verdicts read from its
    // content (none, with the error's text, when the reply is not of the fixed shape).
    static QJsonObject verdictRequestBody(const QList<CorrectionCandidate>& corrections,
                                          const QList<PhraseCandidate>& phrases);
    struct Decoded
    {
        std::optional<VerdictPayload> payload;
        QString error;
    };
    static Decoded decodeVerdicts(const QString& content);

  private:
    void askNext();
    void endPass(bool save);
    void endBatch();
    void dropStaleWork();

    AppState& m_state;
    LearningEngine& m_engine;
    AIVetter& m_vetter;
    AIAccess m_ai;

    // The on-device pass.
    bool m_passRunning = false;
    quint64 m_passGeneration = 0;
    QList<CorrectionCandidate> m_passCorrections;
    QList<PhraseCandidate> m_passPhrases;
    int m_passIndex = 0;
    QPointer<AIReply> m_passReply;

    // The OpenAI batch.
    quint64 m_batchGeneration = 0;
    QPointer<AIReply> m_batchReply;
};
