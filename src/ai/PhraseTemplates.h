#pragma once

#include "ai/AIAccess.h"
#include "ai/LearnedCandidates.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUuid>

#include <functional>
#include <optional>

class AIReply;
class AppState;
class LearningEngine;

// Turns learned phrases into fill-in templates: the parts that change from one use to the
// next become {field:label} tokens. Runs by itself a few seconds after new phrases while
// the learning back end is on-device, and for one candidate on the user's request with
// whichever learning back end is chosen. Silent on every failure. Main thread only.
class PhraseTemplates : public QObject
{
    Q_OBJECT

  public:
    static constexpr int kPhrasesPerRun = 6;
    static constexpr int kMaxTemplateLength = 400;

    // Starts a run whenever the learning back end is switched to on-device.
    PhraseTemplates(AppState& state, LearningEngine& engine, AIAccess ai, QObject* parent = nullptr);
    ~PhraseTemplates() override;

    static PhraseTemplates* shared();
    static void setShared(PhraseTemplates* instance);

    // Up to 6 suggested phrases without a template, one request at a time.
    void autoTemplateOnDevice();
    // Asks for the template of one candidate and stores it when the reply is usable;
    // `done` (optional) runs once the request is over, whatever came of it.
    void makeTemplate(const PhraseCandidate& candidate, std::function<void()> done = {});

    // The model's reply, trimmed, when it is a template of `phrase`: it holds at least one
    // fill-in field, every brace token in it is a {field:…} token, it is at most 400
    // characters and it is not the phrase itself.
    static std::optional<QString> acceptedTemplate(const QString& reply, const QString& phrase);
    static QString systemPrompt();

  private:
    void runNext();
    void dropStaleWork();

    AppState& m_state;
    LearningEngine& m_engine;
    AIAccess m_ai;

    QList<PhraseCandidate> m_run;
    int m_runIndex = 0;
    quint64 m_runGeneration = 0;
    // Every request in flight (the automatic run's and the user's), for stopping them
    // when the learned data are cleared.
    struct InFlight
    {
        QPointer<AIReply> reply;
        quint64 generation;
    };
    QList<InFlight> m_replies;
    bool m_runActive = false;
};
