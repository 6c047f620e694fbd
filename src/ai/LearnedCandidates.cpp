#include "ai/LearnedCandidates.h"

#include "model/Models.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTimeZone>

#include <cmath>

QString toRaw(AIVerdict v)
{
    return v == AIVerdict::approved ? QStringLiteral("approved") : QStringLiteral("rejected");
}

std::optional<AIVerdict> aiVerdictFromRaw(const QString& raw)
{
    if (raw == QLatin1String("approved"))
        return AIVerdict::approved;
    if (raw == QLatin1String("rejected"))
        return AIVerdict::rejected;
    return std::nullopt;
}

// Equal candidates have equal ids, which is all a hash needs.
size_t qHash(const CorrectionCandidate& c, size_t seed)
{
    return qHash(c.id, seed);
}
size_t qHash(const PhraseCandidate& p, size_t seed)
{
    return qHash(p.id, seed);
}

QString learningDateText(const QDateTime& t)
{
    return t.toUTC().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'"));
}

std::optional<QDateTime> learningDateFromText(const QString& text)
{
    // Internet date-time with whole seconds, in UTC or with a numeric offset.
    static const QRegularExpression form(
        QStringLiteral("^\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}(Z|[+-]\\d{2}:\\d{2})$"));
    if (!form.match(text).hasMatch())
        return std::nullopt;
    const QDateTime t = QDateTime::fromString(text, Qt::ISODate);
    if (!t.isValid())
        return std::nullopt;
    // Qt rolls 24:00:00 over to the next day; a stored date never says that.
    if (text.mid(11, 2) == QLatin1String("24"))
        return std::nullopt;
    return t.toUTC();
}

namespace {

const QString kCorrections = QStringLiteral("corrections");
const QString kPhrases = QStringLiteral("phrases");
const QString kDismissed = QStringLiteral("dismissed");
const QString kSamples = QStringLiteral("samples");
const QString kToneProfile = QStringLiteral("toneProfile");
const QString kId = QStringLiteral("id");
const QString kWrong = QStringLiteral("wrong");
const QString kRight = QStringLiteral("right");
const QString kCount = QStringLiteral("count");
const QString kLastSeen = QStringLiteral("lastSeen");
const QString kVerdict = QStringLiteral("aiVerdict");
const QString kKey = QStringLiteral("key");
const QString kText = QStringLiteral("text");
const QString kTrigger = QStringLiteral("aiTrigger");
const QString kTemplate = QStringLiteral("templateText");

bool absent(const QJsonValue& v)
{
    return v.isUndefined() || v.isNull();
}

bool readString(const QJsonObject& o, const QString& key, QString& out)
{
    const QJsonValue v = o.value(key);
    if (!v.isString())
        return false;
    out = v.toString();
    return true;
}

bool readOptionalString(const QJsonObject& o, const QString& key, std::optional<QString>& out)
{
    const QJsonValue v = o.value(key);
    if (absent(v)) {
        out.reset();
        return true;
    }
    if (!v.isString())
        return false;
    out = v.toString();
    return true;
}

bool readCount(const QJsonObject& o, int& out)
{
    const QJsonValue v = o.value(kCount);
    if (!v.isDouble())
        return false;
    const double d = v.toDouble();
    if (!std::isfinite(d) || d != std::trunc(d) || std::fabs(d) > 2147483647.0)
        return false;
    out = int(d);
    return true;
}

bool readCommon(const QJsonObject& o, QUuid& id, int& count, QDateTime& lastSeen,
                std::optional<AIVerdict>& verdict)
{
    QString text;
    if (!readString(o, kId, text))
        return false;
    const auto parsedId = uuidFromText(text);
    if (!parsedId)
        return false;
    id = *parsedId;
    if (!readCount(o, count))
        return false;
    if (!readString(o, kLastSeen, text))
        return false;
    const auto date = learningDateFromText(text);
    if (!date)
        return false;
    lastSeen = *date;
    std::optional<QString> raw;
    if (!readOptionalString(o, kVerdict, raw))
        return false;
    verdict.reset();
    if (raw) {
        verdict = aiVerdictFromRaw(*raw);
        if (!verdict)
            return false;
    }
    return true;
}

std::optional<CorrectionCandidate> correctionFrom(const QJsonValue& v)
{
    if (!v.isObject())
        return std::nullopt;
    const QJsonObject o = v.toObject();
    CorrectionCandidate c;
    if (!readCommon(o, c.id, c.count, c.lastSeen, c.aiVerdict) || !readString(o, kWrong, c.wrong) ||
        !readString(o, kRight, c.right))
        return std::nullopt;
    return c;
}

std::optional<PhraseCandidate> phraseFrom(const QJsonValue& v)
{
    if (!v.isObject())
        return std::nullopt;
    const QJsonObject o = v.toObject();
    PhraseCandidate p;
    if (!readCommon(o, p.id, p.count, p.lastSeen, p.aiVerdict) || !readString(o, kKey, p.key) ||
        !readString(o, kText, p.text) || !readOptionalString(o, kTrigger, p.aiTrigger) ||
        !readOptionalString(o, kTemplate, p.templateText))
        return std::nullopt;
    return p;
}

std::optional<QStringList> stringList(const QJsonValue& v)
{
    if (!v.isArray())
        return std::nullopt;
    const QJsonArray a = v.toArray();
    QStringList out;
    out.reserve(a.size());
    for (const QJsonValue& e : a) {
        if (!e.isString())
            return std::nullopt;
        out.append(e.toString());
    }
    return out;
}

void writeCommon(QJsonObject& o, const QUuid& id, int count, const QDateTime& lastSeen,
                 const std::optional<AIVerdict>& verdict)
{
    o.insert(kId, uuidText(id));
    o.insert(kCount, count);
    o.insert(kLastSeen, learningDateText(lastSeen));
    if (verdict)
        o.insert(kVerdict, toRaw(*verdict));
}

} // namespace

QByteArray encodeLearning(const SavedLearning& saved)
{
    QJsonArray corrections;
    for (const CorrectionCandidate& c : saved.corrections) {
        QJsonObject o;
        writeCommon(o, c.id, c.count, c.lastSeen, c.aiVerdict);
        o.insert(kWrong, c.wrong);
        o.insert(kRight, c.right);
        corrections.append(o);
    }
    QJsonArray phrases;
    for (const PhraseCandidate& p : saved.phrases) {
        QJsonObject o;
        writeCommon(o, p.id, p.count, p.lastSeen, p.aiVerdict);
        o.insert(kKey, p.key);
        o.insert(kText, p.text);
        if (p.aiTrigger)
            o.insert(kTrigger, *p.aiTrigger);
        if (p.templateText)
            o.insert(kTemplate, *p.templateText);
        phrases.append(o);
    }
    // QJsonObject keeps its keys sorted, which is the order the file is written in.
    QJsonObject root{{kCorrections, corrections},
                     {kPhrases, phrases},
                     {kDismissed, QJsonArray::fromStringList(saved.dismissed)},
                     {kSamples, QJsonArray::fromStringList(saved.samples)}};
    if (saved.toneProfile)
        root.insert(kToneProfile, *saved.toneProfile);
    return jsonBytes(QJsonDocument(root));
}

std::optional<SavedLearning> decodeLearning(const QByteArray& bytes)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject root = doc.object();
    const QJsonValue corrections = root.value(kCorrections);
    const QJsonValue phrases = root.value(kPhrases);
    if (!corrections.isArray() || !phrases.isArray())
        return std::nullopt;

    SavedLearning out;
    const QJsonArray ca = corrections.toArray();
    out.corrections.reserve(ca.size());
    for (const QJsonValue& v : ca) {
        auto c = correctionFrom(v);
        if (!c)
            return std::nullopt;
        out.corrections.append(std::move(*c));
    }
    const QJsonArray pa = phrases.toArray();
    out.phrases.reserve(pa.size());
    for (const QJsonValue& v : pa) {
        auto p = phraseFrom(v);
        if (!p)
            return std::nullopt;
        out.phrases.append(std::move(*p));
    }
    auto dismissed = stringList(root.value(kDismissed));
    if (!dismissed)
        return std::nullopt;
    out.dismissed = std::move(*dismissed);
    const QJsonValue samples = root.value(kSamples);
    if (!absent(samples)) {
        auto list = stringList(samples);
        if (!list)
            return std::nullopt;
        out.samples = std::move(*list);
    }
    if (!readOptionalString(root, kToneProfile, out.toneProfile))
        return std::nullopt;
    return out;
}
