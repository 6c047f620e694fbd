#include "ai/ToneProfile.h"

#include "ai/AIReply.h"
#include "ai/LearningEngine.h"
#include "model/AppState.h"
#include "model/Text.h"

namespace {

ToneProfile* g_sharedToneProfile = nullptr;

} // namespace

ToneProfile* ToneProfile::shared()
{
    return g_sharedToneProfile;
}

void ToneProfile::setShared(ToneProfile* instance)
{
    g_sharedToneProfile = instance;
}

ToneProfile::ToneProfile(AppState& state, LearningEngine& engine, AIAccess ai, QObject* parent)
    : QObject(parent), m_state(state), m_engine(engine), m_ai(std::move(ai))
{
    // Clearing the learned data drops the profile and announces it; a build for the old
    // samples must not bring one back.
    connect(&m_engine, &LearningEngine::toneProfileChanged, this, &ToneProfile::dropStaleWork);
}

ToneProfile::~ToneProfile()
{
    if (g_sharedToneProfile == this)
        g_sharedToneProfile = nullptr;
    if (m_reply)
        m_reply->abort();
}

void ToneProfile::refreshToneProfile()
{
    const AIBackend backend = m_state.aiWritingBackend();
    if (!m_state.useToneProfile() || backend == AIBackend::off || !m_ai.isReady || !m_ai.complete ||
        !m_ai.isReady(backend))
        return;
    const QStringList samples = m_engine.writingSamples();
    if (samples.size() < kMinSamples || m_engine.isBuildingTone())
        return;
    m_engine.setBuildingTone(true);
    m_generation = m_engine.generation();
    AIReply* reply = m_ai.complete(backend, systemPrompt(), userMessage(samples));
    m_reply = reply;
    connect(reply, &AIReply::finished, this, [this](const AIResult& r) {
        m_reply = nullptr;
        if (r.ok()) {
            const QString guide = Text::trimWhitespace(r.text);
            if (!guide.isEmpty() && Text::graphemeCount(guide) <= kMaxProfileLength &&
                m_engine.setToneProfile(m_generation, guide))
                m_engine.saveNow();
        }
        m_engine.setBuildingTone(false);
    });
}

void ToneProfile::dropStaleWork()
{
    if (m_reply && m_generation != m_engine.generation()) {
        m_reply->abort();
        m_reply = nullptr;
        m_engine.setBuildingTone(false);
    }
}

QString ToneProfile::userMessage(const QStringList& samples)
{
    const qsizetype from = std::max<qsizetype>(0, samples.size() - kSamplesInRequest);
    QStringList lines;
    for (qsizetype i = from; i < samples.size(); ++i)
        lines.append(QString::number(i - from + 1) + QStringLiteral(". ") + samples.at(i));
    return lines.join(QLatin1Char('\n'));
}

QString ToneProfile::systemPrompt()
{
    return QStringLiteral(
        "You analyze writing samples and produce a concise style guide describing how this person writes, so "
        "another model can imitate their voice. Cover tone (formal/casual, warm/terse), typical sentence "
        "length, "
        "punctuation and capitalization habits, favorite words or sign-offs, and any quirks. Write 2 to 4 "
        "sentences in the second person (\"You tend to\u2026\"). Reply with ONLY the guide.");
}
