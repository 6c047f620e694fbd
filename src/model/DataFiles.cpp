#include "model/DataFiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>

namespace {

// Stored dates count seconds from the reference date 2001-01-01 00:00:00 UTC.
constexpr double kReferenceEpoch = 978307200.0;
// 0001-01-01 and 9999-12-31 23:59:59 UTC in those seconds.
constexpr double kEarliest = -62135596800.0 - kReferenceEpoch;
constexpr double kLatest = 253402300799.0 - kReferenceEpoch;
// Whole numbers a JSON number holds exactly.
constexpr double kLargestCount = 9007199254740992.0; // 2^53

std::optional<qint64> count(const QJsonValue& v)
{
    if (!v.isDouble())
        return std::nullopt;
    const double d = v.toDouble();
    if (!std::isfinite(d) || d != std::trunc(d) || d < 0 || d > kLargestCount)
        return std::nullopt;
    return qint64(d);
}

QByteArray pretty(const QJsonObject& o) { return jsonBytes(QJsonDocument(o)); }

} // namespace

double toReferenceSeconds(const QDateTime& t)
{
    return std::clamp(double(t.toMSecsSinceEpoch()) / 1000.0 - kReferenceEpoch, kEarliest, kLatest);
}

QDateTime fromReferenceSeconds(double s)
{
    if (std::isnan(s))
        s = 0;
    s = std::clamp(s, kEarliest, kLatest);
    return QDateTime::fromMSecsSinceEpoch(qint64(std::llround((s + kReferenceEpoch) * 1000.0)), Qt::UTC);
}

std::optional<DecodedList<Snippet>> decodeSnippetsFile(const QByteArray& bytes)
{
    const auto v = parseJson(bytes);
    return v ? readSnippetList(*v) : std::nullopt;
}

std::optional<DecodedList<SnippetGroup>> decodeGroupsFile(const QByteArray& bytes)
{
    const auto v = parseJson(bytes);
    return v ? readGroupList(*v) : std::nullopt;
}

std::optional<CorrectionsFile> decodeCorrectionsFile(const QByteArray& bytes)
{
    const auto v = parseJson(bytes);
    if (!v || !v->isObject())
        return std::nullopt;
    const QJsonObject o = v->toObject();
    auto custom = readCorrectionList(o.value(QStringLiteral("custom")));
    const QJsonValue disabled = o.value(QStringLiteral("disabledBuiltins"));
    if (!custom || !disabled.isArray())
        return std::nullopt;
    CorrectionsFile out;
    out.custom = std::move(custom->records);
    out.skipped = custom->skipped;
    for (const QJsonValue& w : disabled.toArray()) {
        if (w.isString())
            out.disabledBuiltins.insert(w.toString());
        else
            ++out.skipped;
    }
    return out;
}

QByteArray encodeCorrectionsFile(const QList<CustomCorrection>& custom, const QSet<QString>& disabledBuiltins)
{
    QJsonArray list;
    for (const CustomCorrection& c : custom)
        list.append(toJson(c));
    QStringList disabled(disabledBuiltins.begin(), disabledBuiltins.end());
    disabled.sort();
    return pretty(QJsonObject{{QStringLiteral("custom"), list},
                              {QStringLiteral("disabledBuiltins"), QJsonArray::fromStringList(disabled)}});
}

std::optional<StatsFile> decodeStatsFile(const QByteArray& bytes)
{
    const auto v = parseJson(bytes);
    if (!v || !v->isObject())
        return std::nullopt;
    const QJsonObject o = v->toObject();
    const QJsonValue byApp = o.value(QStringLiteral("byApp"));
    const QJsonValue bySnippet = o.value(QStringLiteral("bySnippet"));
    const QJsonValue lastUsed = o.value(QStringLiteral("lastUsed"));
    if (!byApp.isObject() || !bySnippet.isObject() ||
        !(lastUsed.isUndefined() || lastUsed.isNull() || lastUsed.isObject()))
        return std::nullopt;
    StatsFile out;
    const QJsonObject apps = byApp.toObject();
    for (auto it = apps.begin(); it != apps.end(); ++it) {
        if (const auto n = count(it.value()))
            out.byApp.insert(it.key(), *n);
        else
            ++out.skipped;
    }
    const QJsonObject snippets = bySnippet.toObject();
    for (auto it = snippets.begin(); it != snippets.end(); ++it) {
        const auto n = count(it.value());
        if (!n)
            ++out.skipped;
        else if (const auto id = uuidFromText(it.key()))
            out.bySnippet.insert(*id, *n);
    }
    const QJsonObject dates = lastUsed.toObject();
    for (auto it = dates.begin(); it != dates.end(); ++it) {
        if (!it.value().isDouble() || !std::isfinite(it.value().toDouble()))
            ++out.skipped;
        else if (const auto id = uuidFromText(it.key()))
            out.lastUsed.insert(*id, fromReferenceSeconds(it.value().toDouble()));
    }
    return out;
}

QByteArray encodeStatsFile(const StatsFile& stats)
{
    QJsonObject bySnippet;
    for (auto it = stats.bySnippet.cbegin(); it != stats.bySnippet.cend(); ++it)
        bySnippet.insert(uuidText(it.key()), QJsonValue(it.value()));
    QJsonObject byApp;
    for (auto it = stats.byApp.cbegin(); it != stats.byApp.cend(); ++it)
        byApp.insert(it.key(), QJsonValue(it.value()));
    QJsonObject lastUsed;
    for (auto it = stats.lastUsed.cbegin(); it != stats.lastUsed.cend(); ++it)
        lastUsed.insert(uuidText(it.key()), toReferenceSeconds(it.value()));
    return pretty(QJsonObject{{QStringLiteral("byApp"), byApp},
                              {QStringLiteral("bySnippet"), bySnippet},
                              {QStringLiteral("lastUsed"), lastUsed}});
}
