#include "ai/PhraseTemplates.h"

#include "ai/AIReply.h"
#include "ai/LearningEngine.h"
#include "model/AppState.h"
#include "model/Text.h"

namespace {

PhraseTemplates* g_sharedPhraseTemplates = nullptr;

} // namespace

PhraseTemplates* PhraseTemplates::shared()
{
    return g_sharedPhraseTemplates;
}

void PhraseTemplates::setShared(PhraseTemplates* instance)
{
    g_sharedPhraseTemplates = instance;
}

PhraseTemplates::PhraseTemplates(AppState& state, LearningEngine& engine, AIAccess ai, QObject* parent)
    : QObject(parent), m_state(state), m_engine(engine), m_ai(std::move(ai))
{
    connect(&m_state, &AppState::aiLearningBackendChanged, this, [this](AIBackend b) {
        if (b == AIBackend::onDevice)
            autoTemplateOnDevice();
    });
    connect(&m_engine, &LearningEngine::phraseCandidatesChanged, this, &PhraseTemplates::dropStaleWork);
}

PhraseTemplates::~PhraseTemplates()
{
    if (g_sharedPhraseTemplates == this)
        g_sharedPhraseTemplates = nullptr;
    for (const InFlight& f : m_replies)
        if (f.reply)
            f.reply->abort();
}

void PhraseTemplates::autoTemplateOnDevice()
{
    if (m_state.aiLearningBackend() != AIBackend::onDevice || !m_ai.isReady || !m_ai.complete ||
        !m_ai.isReady(AIBackend::onDevice) || m_engine.isAutoTemplating() || m_runActive)
        return;
    QList<PhraseCandidate> run;
    for (const PhraseCandidate& p : m_engine.suggestedPhrases()) {
        if (run.size() == kPhrasesPerRun)
            break;
        if (!p.templateText)
            run.append(p);
    }
    if (run.isEmpty())
        return;
    m_run = std::move(run);
    m_runIndex = 0;
    m_runGeneration = m_engine.generation();
    m_runActive = true;
    m_engine.setAutoTemplating(true);
    runNext();
}

void PhraseTemplates::runNext()
{
    if (!m_runActive)
        return;
    if (m_runIndex >= m_run.size() || m_engine.generation() != m_runGeneration) {
        m_runActive = false;
        m_run.clear();
        m_engine.setAutoTemplating(false);
        return;
    }
    const PhraseCandidate candidate = m_run.at(m_runIndex++);
    makeTemplate(candidate, [this] { runNext(); });
}

void PhraseTemplates::makeTemplate(const PhraseCandidate& candidate, std::function<void()> done)
{
    const auto finish = [done] {
        if (done)
            done();
    };
    const AIBackend backend = m_state.aiLearningBackend();
    if (backend == AIBackend::off || !m_ai.isReady || !m_ai.complete || !m_ai.isReady(backend)) {
        finish();
        return;
    }
    const quint64 generation = m_engine.generation();
    AIReply* reply = m_ai.complete(backend, systemPrompt(), candidate.text);
    m_replies.append({reply, generation});
    connect(reply, &AIReply::finished, this,
            [this, finish, generation, id = candidate.id, phrase = candidate.text](const AIResult& r) {
                m_replies.removeIf([](const InFlight& f) { return !f.reply || f.reply->isFinished(); });
                if (r.ok()) {
                    if (const std::optional<QString> t = acceptedTemplate(r.text, phrase)) {
                        if (m_engine.updatePhrase(generation, id,
                                                  [&t](PhraseCandidate& p) { p.templateText = *t; }))
                            m_engine.scheduleSave();
                    }
                }
                finish();
            });
}

void PhraseTemplates::dropStaleWork()
{
    const quint64 now = m_engine.generation();
    for (const InFlight& f : m_replies)
        if (f.reply && f.generation != now)
            f.reply->abort();
    m_replies.removeIf([](const InFlight& f) { return !f.reply || f.reply->isFinished(); });
    if (m_runActive && m_runGeneration != now) {
        m_runActive = false;
        m_run.clear();
        m_engine.setAutoTemplating(false);
    }
}

std::optional<QString> PhraseTemplates::acceptedTemplate(const QString& reply, const QString& phrase)
{
    const QString t = Text::trimWhitespace(reply);
    if (!t.contains(QLatin1String("{field:")) || Text::graphemeCount(t) > kMaxTemplateLength ||
        t.compare(phrase, Qt::CaseInsensitive) == 0)
        return std::nullopt;
    // A template becomes a snippet's content, where other brace tokens run: the clipboard,
    // key presses, other snippets. Only fill-in fields may come from the model.
    const QLatin1String field("{field:");
    qsizetype i = 0;
    while (i < t.size()) {
        const QChar c = t.at(i);
        if (c == QLatin1Char('}'))
            return std::nullopt;
        if (c != QLatin1Char('{')) {
            ++i;
            continue;
        }
        if (!QStringView(t).mid(i).startsWith(field))
            return std::nullopt;
        const qsizetype close = t.indexOf(QLatin1Char('}'), i);
        if (close < 0)
            return std::nullopt;
        const QStringView inner = QStringView(t).mid(i + field.size(), close - i - field.size());
        if (inner.contains(QLatin1Char('{')))
            return std::nullopt;
        const qsizetype bar = inner.indexOf(QLatin1Char('|'));
        if ((bar < 0 ? inner : inner.left(bar)).trimmed().isEmpty())
            return std::nullopt;
        i = close + 1;
    }
    return t;
}

QString PhraseTemplates::systemPrompt()
{
    return QStringLiteral(
        "You turn a phrase a user types repeatedly into a reusable template. Replace ONLY the parts that "
        "would "
        "change from one use to the next \u2014 names, dates, companies, numbers, specific nouns \u2014 with "
        "a "
        "placeholder written as {field:label}, where label is a short lowercase word for that part (e.g. "
        "{field:name}, {field:date}, {field:company}). Leave all fixed wording exactly as written, including "
        "punctuation. If nothing would change, return the phrase unchanged. Reply with ONLY the template "
        "\u2014 "
        "no quotes, no explanation.");
}
