#pragma once

#include "ai/AIAccess.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class AIReply;
class AppState;
class LearningEngine;

// Builds the tone profile: a short second-person guide to how the user writes, made by
// the writing back end from the latest writing samples, which the rewrite can add to its
// instructions. Built once by itself when enough samples are there, afterwards only on
// the user's request. Silent on every failure. Main thread only.
class ToneProfile : public QObject
{
    Q_OBJECT

  public:
    static constexpr int kMinSamples = 5;
    static constexpr int kSamplesInRequest = 25;
    static constexpr int kMaxProfileLength = 800;

    ToneProfile(AppState& state, LearningEngine& engine, AIAccess ai, QObject* parent = nullptr);
    ~ToneProfile() override;

    static ToneProfile* shared();
    static void setShared(ToneProfile* instance);

    void refreshToneProfile();

    // The numbered lines of the last 25 samples, oldest first.
    static QString userMessage(const QStringList& samples);
    static QString systemPrompt();

  private:
    void dropStaleWork();

    AppState& m_state;
    LearningEngine& m_engine;
    AIAccess m_ai;
    quint64 m_generation = 0;
    QPointer<AIReply> m_reply;
};
