#include "ai/CandidateVetting.h"

#include "ai/AIReply.h"
#include "ai/AIVetter.h"
#include "ai/LearningEngine.h"
#include "model/AppState.h"
#include "model/Text.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QStringDecoder>

namespace {

// The batch request's user message: a JSON object whose members come out sorted, so
// "right" precedes "wrong" in every pair.
QString compactJson(const QJsonObject& o)
{
    const QByteArray bytes = QJsonDocument(o).toJson(QJsonDocument::Compact);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    return decoder.hasError() ? QStringLiteral("{}") : text;
}

bool isVerdictSeparator(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\n') || c == QLatin1Char('.');
}

// A phrase verdict's text in the form of a phrase key.
QString phraseKeyOf(const QString& text)
{
    QStringList words;
    QString current;
    for (const QString& g : Text::graphemes(text)) {
        if (Text::trimWhitespace(g).isEmpty()) {
            if (!current.isEmpty())
                words.append(std::exchange(current, {}));
        } else {
            current += g;
        }
    }
    if (!current.isEmpty())
        words.append(current);
    return Text::lower(LearningEngine::strippingTrailingPunctuation(words.join(QLatin1Char(' '))));
}

AIVerdict verdictOf(const QString& verdict)
{
    return verdict == QLatin1String("approve") ? AIVerdict::approved : AIVerdict::rejected;
}

// Member readers with the decoder's rules: a required member must be there with its type,
// an optional one may be absent or null.
bool requiredString(const QJsonObject& o, const char* name, QString& out)
{
    const QJsonValue v = o.value(QLatin1String(name));
    if (!v.isString())
        return false;
    out = v.toString();
    return true;
}

bool optionalString(const QJsonObject& o, const char* name, std::optional<QString>& out)
{
    const QJsonValue v = o.value(QLatin1String(name));
    if (v.isUndefined() || v.isNull())
        return true;
    if (!v.isString())
        return false;
    out = v.toString();
    return true;
}

bool optionalArray(const QJsonObject& o, const char* name, QJsonArray& out)
{
    const QJsonValue v = o.value(QLatin1String(name));
    if (v.isUndefined() || v.isNull())
        return true;
    if (!v.isArray())
        return false;
    out = v.toArray();
    return true;
}

} // namespace

namespace {

CandidateVetting* g_sharedCandidateVetting = nullptr;

} // namespace

CandidateVetting* CandidateVetting::shared()
{
    return g_sharedCandidateVetting;
}

void CandidateVetting::setShared(CandidateVetting* instance)
{
    g_sharedCandidateVetting = instance;
}

CandidateVetting::CandidateVetting(AppState& state, LearningEngine& engine, AIVetter& vetter, AIAccess ai,
                                   QObject* parent)
    : QObject(parent), m_state(state), m_engine(engine), m_vetter(vetter), m_ai(std::move(ai))
{
    connect(&m_state, &AppState::aiVettingBackendChanged, this, [this](AIBackend b) {
        if (b == AIBackend::onDevice)
            autoVetOnDevice();
    });
    // Clearing the learned data announces itself through these; work for the old data
    // stops at once instead of waiting for its answer.
    connect(&m_engine, &LearningEngine::correctionCandidatesChanged, this, &CandidateVetting::dropStaleWork);
    connect(&m_engine, &LearningEngine::phraseCandidatesChanged, this, &CandidateVetting::dropStaleWork);
}

CandidateVetting::~CandidateVetting()
{
    if (g_sharedCandidateVetting == this)
        g_sharedCandidateVetting = nullptr;
    if (m_passReply)
        m_passReply->abort();
    if (m_batchReply)
        m_batchReply->abort();
}

// The on-device pass ---------------------------------------------------------------------

void CandidateVetting::autoVetOnDevice()
{
    if (m_state.aiVettingBackend() != AIBackend::onDevice || !m_ai.isReady || !m_ai.complete ||
        !m_ai.isReady(AIBackend::onDevice) || m_engine.isAutoVetting() || m_passRunning)
        return;
    QList<CorrectionCandidate> corrections;
    for (const CorrectionCandidate& c : m_engine.suggestedCorrections()) {
        if (corrections.size() == kCorrectionsPerPass)
            break;
        if (!c.aiVerdict)
            corrections.append(c);
    }
    QList<PhraseCandidate> phrases;
    for (const PhraseCandidate& p : m_engine.suggestedPhrases()) {
        if (phrases.size() == kPhrasesPerPass)
            break;
        if (!p.aiVerdict)
            phrases.append(p);
    }
    if (corrections.isEmpty() && phrases.isEmpty())
        return;
    m_passCorrections = std::move(corrections);
    m_passPhrases = std::move(phrases);
    m_passIndex = 0;
    m_passGeneration = m_engine.generation();
    m_passRunning = true;
    m_engine.setAutoVetting(true);
    askNext();
}

void CandidateVetting::askNext()
{
    if (!m_passRunning)
        return;
    if (m_engine.generation() != m_passGeneration) {
        endPass(false);
        return;
    }
    const qsizetype nc = m_passCorrections.size();
    if (m_passIndex >= nc + m_passPhrases.size()) {
        endPass(true);
        return;
    }
    const int index = m_passIndex++;
    AIReply* reply = nullptr;
    if (index < nc) {
        const CorrectionCandidate c = m_passCorrections.at(index);
        reply = m_ai.complete(AIBackend::onDevice, correctionInstructions(), correctionPrompt(c));
        connect(reply, &AIReply::finished, this, [this, id = c.id](const AIResult& r) {
            m_passReply = nullptr;
            if (r.ok() && m_engine.generation() == m_passGeneration) {
                if (const auto verdict = correctionVerdictFromReply(r.text))
                    m_engine.updateCorrection(m_passGeneration, id,
                                              [v = *verdict](CorrectionCandidate& c) { c.aiVerdict = v; });
            }
            askNext();
        });
    } else {
        const PhraseCandidate p = m_passPhrases.at(index - nc);
        reply = m_ai.complete(AIBackend::onDevice, phraseInstructions(), p.text);
        connect(reply, &AIReply::finished, this, [this, id = p.id](const AIResult& r) {
            m_passReply = nullptr;
            if (r.ok() && m_engine.generation() == m_passGeneration) {
                if (const auto result = phraseVerdictFromReply(r.text))
                    m_engine.updatePhrase(m_passGeneration, id, [&result](PhraseCandidate& p) {
                        p.aiVerdict = result->first;
                        if (result->second && !result->second->isEmpty())
                            p.aiTrigger = *result->second;
                    });
            }
            askNext();
        });
    }
    m_passReply = reply;
}

void CandidateVetting::endPass(bool save)
{
    if (m_passReply)
        m_passReply->abort();
    m_passReply = nullptr;
    m_passRunning = false;
    m_passCorrections.clear();
    m_passPhrases.clear();
    if (save)
        m_engine.scheduleSave();
    m_engine.setAutoVetting(false);
}

void CandidateVetting::dropStaleWork()
{
    if (m_passRunning && m_engine.generation() != m_passGeneration)
        endPass(false);
    if (m_batchReply && m_engine.generation() != m_batchGeneration) {
        m_batchReply->abort();
        endBatch();
    }
}

// The OpenAI batch -----------------------------------------------------------------------

void CandidateVetting::vetPendingSuggestions()
{
    if (m_vetter.isVetting())
        return;
    const std::optional<QString> key = AIVetter::loadKey();
    if (!key)
        return;
    QList<CorrectionCandidate> corrections;
    for (const CorrectionCandidate& c : m_engine.suggestedCorrections())
        if (!c.aiVerdict)
            corrections.append(c);
    QList<PhraseCandidate> phrases;
    for (const PhraseCandidate& p : m_engine.suggestedPhrases())
        if (!p.aiVerdict)
            phrases.append(p);
    if (corrections.isEmpty() && phrases.isEmpty())
        return;
    m_vetter.setIsVetting(true);
    m_vetter.setLastError(std::nullopt);
    m_batchGeneration = m_engine.generation();
    AIReply* reply = m_vetter.chatCompletion(*key, verdictRequestBody(corrections, phrases));
    m_batchReply = reply;
    connect(reply, &AIReply::finished, this, [this](const AIResult& r) {
        m_batchReply = nullptr;
        if (m_engine.generation() != m_batchGeneration) {
            // The data it was about are gone; neither verdicts nor an error belong to
            // what the user sees now.
            endBatch();
            return;
        }
        if (!r.ok()) {
            m_vetter.setLastError(r.error->description());
            endBatch();
            return;
        }
        const Decoded d = decodeVerdicts(r.text);
        if (!d.payload) {
            m_vetter.setLastError(d.error);
            endBatch();
            return;
        }
        applyAIVerdicts(m_engine, m_batchGeneration, d.payload->corrections, d.payload->phrases);
        endBatch();
    });
}

void CandidateVetting::endBatch()
{
    m_batchReply = nullptr;
    m_vetter.setIsVetting(false);
}

void CandidateVetting::applyAIVerdicts(LearningEngine& engine, quint64 generation,
                                       const QList<CorrectionVerdict>& corrections,
                                       const QList<PhraseVerdict>& phrases)
{
    if (engine.generation() != generation)
        return;
    for (const CorrectionVerdict& v : corrections) {
        const QString wrong = Text::lower(v.wrong);
        const QString right = Text::lower(v.right);
        for (const CorrectionCandidate& c : engine.correctionCandidates()) {
            if (c.wrong == wrong && c.right == right) {
                engine.updateCorrection(generation, c.id, [a = verdictOf(v.verdict)](CorrectionCandidate& c) {
                    c.aiVerdict = a;
                });
                break;
            }
        }
    }
    for (const PhraseVerdict& v : phrases) {
        const QString key = phraseKeyOf(v.text);
        for (const PhraseCandidate& p : engine.phraseCandidates()) {
            if (p.key != key)
                continue;
            // The model's trigger is kept only in the form a trigger is offered in: a few
            // letters and a digit, nothing that could fire inside ordinary words or carry
            // odd characters into a snippet.
            std::optional<QString> trigger;
            if (v.trigger && looksLikeTrigger(*v.trigger))
                trigger = triggerForm(*v.trigger);
            engine.updatePhrase(generation, p.id, [&](PhraseCandidate& p) {
                p.aiVerdict = verdictOf(v.verdict);
                if (trigger)
                    p.aiTrigger = *trigger;
            });
            break;
        }
    }
    engine.scheduleSave();
}

QJsonObject CandidateVetting::verdictRequestBody(const QList<CorrectionCandidate>& corrections,
                                                 const QList<PhraseCandidate>& phrases)
{
    QJsonArray cs;
    for (const CorrectionCandidate& c : corrections)
        cs.append(QJsonObject{{QStringLiteral("wrong"), c.wrong}, {QStringLiteral("right"), c.right}});
    QJsonArray ps;
    for (const PhraseCandidate& p : phrases)
        ps.append(QJsonObject{{QStringLiteral("text"), p.text}});
    const QString user =
        compactJson(QJsonObject{{QStringLiteral("corrections"), cs}, {QStringLiteral("phrases"), ps}});
    return QJsonObject{
        {QStringLiteral("model"), QStringLiteral("gpt-5.4-mini")},
        {QStringLiteral("response_format"),
         QJsonObject{{QStringLiteral("type"), QStringLiteral("json_object")}}},
        {QStringLiteral("messages"),
         QJsonArray{QJsonObject{{QStringLiteral("role"), QStringLiteral("system")},
                                {QStringLiteral("content"), vettingSystemPrompt()}},
                    QJsonObject{{QStringLiteral("role"), QStringLiteral("user")},
                                {QStringLiteral("content"), user}}}},
    };
}

CandidateVetting::Decoded CandidateVetting::decodeVerdicts(const QString& content)
{
    const QString shape =
        AIServiceError::badResponse(QStringLiteral("unexpected response shape")).description();
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(content.toUtf8(), &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return {std::nullopt, AIServiceError::invalidJSON(parseError.errorString()).description()};
    if (!doc.isObject())
        return {std::nullopt, shape};
    const QJsonObject root = doc.object();
    QJsonArray cs;
    QJsonArray ps;
    if (!optionalArray(root, "corrections", cs) || !optionalArray(root, "phrases", ps))
        return {std::nullopt, shape};
    VerdictPayload payload;
    for (const QJsonValue& v : cs) {
        if (!v.isObject())
            return {std::nullopt, shape};
        const QJsonObject o = v.toObject();
        CorrectionVerdict c;
        if (!requiredString(o, "wrong", c.wrong) || !requiredString(o, "right", c.right) ||
            !requiredString(o, "verdict", c.verdict))
            return {std::nullopt, shape};
        payload.corrections.append(c);
    }
    for (const QJsonValue& v : ps) {
        if (!v.isObject())
            return {std::nullopt, shape};
        const QJsonObject o = v.toObject();
        PhraseVerdict p;
        if (!requiredString(o, "text", p.text) || !requiredString(o, "verdict", p.verdict) ||
            !optionalString(o, "trigger", p.trigger))
            return {std::nullopt, shape};
        payload.phrases.append(p);
    }
    return {payload, QString()};
}

// Reply rules and fixed texts -------------------------------------------------------------

bool CandidateVetting::looksLikeTrigger(const QString& word)
{
    const QStringList chars = Text::graphemes(triggerForm(word));
    if (chars.size() < 2 || chars.size() > 8)
        return false;
    if (!Text::isNumber(chars.last()))
        return false;
    for (qsizetype i = 0; i + 1 < chars.size(); ++i)
        if (!Text::isLetter(chars.at(i)))
            return false;
    return true;
}

QString CandidateVetting::triggerForm(const QString& word)
{
    QString out;
    for (const QString& g : Text::graphemes(Text::lower(word)))
        if (Text::isLetterOrNumber(g))
            out += g;
    return out;
}

std::optional<AIVerdict> CandidateVetting::correctionVerdictFromReply(const QString& reply)
{
    const QString lower = Text::lower(reply);
    if (lower.contains(QLatin1String("approve")))
        return AIVerdict::approved;
    if (lower.contains(QLatin1String("reject")))
        return AIVerdict::rejected;
    return std::nullopt;
}

std::optional<std::pair<AIVerdict, std::optional<QString>>>
CandidateVetting::phraseVerdictFromReply(const QString& reply)
{
    const QString lower = Text::lower(reply);
    if (!lower.contains(QLatin1String("approve"))) {
        if (lower.contains(QLatin1String("reject")))
            return std::pair{AIVerdict::rejected, std::optional<QString>()};
        return std::nullopt;
    }
    QString word;
    const auto consider = [&word]() -> std::optional<QString> {
        if (!word.isEmpty() && looksLikeTrigger(word))
            return triggerForm(word);
        word.clear();
        return std::nullopt;
    };
    for (const QChar c : reply) {
        if (isVerdictSeparator(c)) {
            if (auto t = consider())
                return std::pair{AIVerdict::approved, t};
        } else {
            word += c;
        }
    }
    if (auto t = consider())
        return std::pair{AIVerdict::approved, t};
    return std::pair{AIVerdict::approved, std::optional<QString>()};
}

QString CandidateVetting::correctionPrompt(const CorrectionCandidate& c)
{
    return QStringLiteral("Replace \"") + c.wrong + QStringLiteral("\" with \"") + c.right +
           QStringLiteral("\"?");
}

QString CandidateVetting::correctionInstructions()
{
    return QStringLiteral(
        "You vet autocorrect pairs for a text expander. The user fixed one word into another by hand. Decide "
        "whether auto-replacing every future occurrence is safe. Reply with exactly one word: approve or "
        "reject. "
        "approve only when the first word is a clear misspelling of the second. reject when the first word "
        "is "
        "itself a valid word, a name, slang, shorthand, or the edit looks like a rewording.");
}

QString CandidateVetting::phraseInstructions()
{
    return QStringLiteral(
        "You decide whether a repeated phrase is worth saving as a reusable text-expander snippet "
        "(greetings, "
        "sign-offs, addresses, canned replies). Reply with one word, approve or reject. If approve, follow "
        "it "
        "with a space and a short trigger: 2 to 6 lowercase letters ending in a digit, like rais1. reject "
        "ordinary sentences that merely happened to repeat.");
}

QString CandidateVetting::vettingSystemPrompt()
{
    const QStringList lines{
        QStringLiteral(
            "You vet suggestions for Quenvil, a Linux desktop autocorrect and text-expander app. Reply with "
            "JSON only."),
        QString(),
        QStringLiteral("For each correction pair {wrong, right}, decide whether auto-replacing every future "
                       "occurrence of \"wrong\" with \"right\" is safe:"),
        QStringLiteral(
            "- \"approve\" only when \"wrong\" is a clear misspelling and \"right\" is its standard fix "
            "(e.g. recieve -> receive)."),
        QStringLiteral(
            "- \"reject\" when \"wrong\" is itself a valid English word, a name, slang, or shorthand, "
            "when the pair looks like an intentional rewording, or when anything else makes blanket "
            "replacement risky."),
        QString(),
        QStringLiteral(
            "For each phrase, decide whether it is boilerplate worth a reusable snippet (greetings, "
            "sign-offs, addresses, canned replies):"),
        QStringLiteral(
            "- \"approve\" and propose a short memorable trigger: 2-6 lowercase letters ending in a "
            "digit, like \"rais1\" (the digit prevents accidental expansion while typing normal "
            "words)."),
        QStringLiteral("- \"reject\" for ordinary sentences that merely happened to repeat."),
        QString(),
        QStringLiteral("Respond exactly in this shape:"),
        QStringLiteral(
            "{\"corrections\":[{\"wrong\":\"\",\"right\":\"\",\"verdict\":\"approve\"}],\"phrases\":[{"
            "\"text\":\"\",\"verdict\":\"approve\",\"trigger\":\"xx1\"}]}"),
    };
    return lines.join(QLatin1Char('\n'));
}
