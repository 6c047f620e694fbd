#include "model/Models.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

#include <cstdio>

QString toRaw(ExpansionMode m)
{
    return m == ExpansionMode::delimiter ? QStringLiteral("delimiter") : QStringLiteral("instant");
}

QString toRaw(SnippetKind k)
{
    return k == SnippetKind::shell ? QStringLiteral("shell") : QStringLiteral("text");
}

QString toRaw(AppScopeMode m)
{
    switch (m) {
    case AppScopeMode::allExcept:
        return QStringLiteral("allExcept");
    case AppScopeMode::onlyIn:
        return QStringLiteral("onlyIn");
    case AppScopeMode::all:
        break;
    }
    return QStringLiteral("all");
}

QString toRaw(AIBackend b)
{
    switch (b) {
    case AIBackend::onDevice:
        return QStringLiteral("onDevice");
    case AIBackend::openAI:
        return QStringLiteral("openAI");
    case AIBackend::off:
        break;
    }
    return QStringLiteral("off");
}

std::optional<AIBackend> aiBackendFromRaw(const QString& raw)
{
    for (AIBackend b : allAIBackends())
        if (raw == toRaw(b))
            return b;
    return std::nullopt;
}

const QList<AIBackend>& allAIBackends()
{
    static const QList<AIBackend> list{AIBackend::off, AIBackend::onDevice, AIBackend::openAI};
    return list;
}

std::optional<ExpansionMode> expansionModeFromRaw(const QString& raw)
{
    if (raw == QLatin1String("instant"))
        return ExpansionMode::instant;
    if (raw == QLatin1String("delimiter"))
        return ExpansionMode::delimiter;
    return std::nullopt;
}

std::optional<SnippetKind> snippetKindFromRaw(const QString& raw)
{
    if (raw == QLatin1String("text"))
        return SnippetKind::text;
    if (raw == QLatin1String("shell"))
        return SnippetKind::shell;
    return std::nullopt;
}

std::optional<AppScopeMode> appScopeModeFromRaw(const QString& raw)
{
    if (raw == QLatin1String("all"))
        return AppScopeMode::all;
    if (raw == QLatin1String("allExcept"))
        return AppScopeMode::allExcept;
    if (raw == QLatin1String("onlyIn"))
        return AppScopeMode::onlyIn;
    return std::nullopt;
}

const QList<ExpansionMode>& allExpansionModes()
{
    static const QList<ExpansionMode> modes{ExpansionMode::instant, ExpansionMode::delimiter};
    return modes;
}

const QList<AppScopeMode>& allAppScopeModes()
{
    static const QList<AppScopeMode> modes{AppScopeMode::all, AppScopeMode::allExcept, AppScopeMode::onlyIn};
    return modes;
}

QString uuidText(const QUuid& id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

std::optional<QUuid> uuidFromText(const QString& text)
{
    if (text.size() != 36)
        return std::nullopt;
    for (int i = 0; i < 36; ++i) {
        const QChar c = text.at(i);
        const bool hyphen = (i == 8 || i == 13 || i == 18 || i == 23);
        if (hyphen ? c != QLatin1Char('-') : !isxdigit(c.toLatin1()) || c.unicode() > 0x7F)
            return std::nullopt;
    }
    const QUuid id = QUuid::fromString(text);
    if (id.isNull() && text != QLatin1String("00000000-0000-0000-0000-000000000000"))
        return std::nullopt;
    return id;
}

const QList<Snippet>& Snippet::samples()
{
    static const QList<Snippet> list = [] {
        auto make = [](const char* trigger, const QString& content) {
            Snippet s;
            s.trigger = QString::fromUtf8(trigger);
            s.content = content;
            return s;
        };
        QList<Snippet> list{
            make(";email", QStringLiteral("you@example.com")),
            make(";sig", QStringLiteral("Best,\nYour name")),
            make(";date", QStringLiteral("{date}")),
            make(";shrug", QString::fromUtf8("\u00AF\\_(\u30C4)_/\u00AF")),
        };
        static const char* const ids[] = {"5A3D1E60-0001-4C0E-9E6B-51A3B1E00001",
                                          "5A3D1E60-0002-4C0E-9E6B-51A3B1E00002",
                                          "5A3D1E60-0003-4C0E-9E6B-51A3B1E00003",
                                          "5A3D1E60-0004-4C0E-9E6B-51A3B1E00004"};
        for (qsizetype i = 0; i < list.size(); ++i)
            list[i].id = QUuid::fromString(QLatin1String(ids[i]));
        return list;
    }();
    return list;
}

size_t qHash(const Snippet& s, size_t seed)
{
    return qHashMulti(seed, s.id, s.trigger, s.content, s.enabled, s.ignoreCase, s.adaptCase, s.wholeWord,
                      s.keepDelimiter, s.learned, int(s.kind), s.groupID.value_or(QUuid()), s.groupID.has_value());
}

size_t qHash(const SnippetGroup& g, size_t seed)
{
    return qHashMulti(seed, g.id, g.name, g.enabled, g.triggerPrefix, int(g.appMode), g.appList,
                      g.unrecognisedAppMode.value_or(QString()), g.unrecognisedAppMode.has_value());
}

size_t qHash(const CustomCorrection& c, size_t seed)
{
    return qHashMulti(seed, c.id, c.wrong, c.right, c.learned);
}

size_t qHash(const SuggestionEntry& e, size_t seed)
{
    return qHashMulti(seed, e.trigger, e.content, int(e.appMode), e.appList);
}

namespace {

// Optional fields: absent, null or of the wrong type leave `out` at its default.
void readBool(const QJsonObject& o, const QString& key, bool& out)
{
    const QJsonValue v = o.value(key);
    if (v.isBool())
        out = v.toBool();
}

void readString(const QJsonObject& o, const QString& key, QString& out)
{
    const QJsonValue v = o.value(key);
    if (v.isString())
        out = v.toString();
}

bool readRequiredString(const QJsonObject& o, const QString& key, QString& out)
{
    const QJsonValue v = o.value(key);
    if (!v.isString())
        return false;
    out = v.toString();
    return true;
}

void readUuid(const QJsonObject& o, const QString& key, std::optional<QUuid>& out)
{
    const QJsonValue v = o.value(key);
    if (v.isString())
        out = uuidFromText(v.toString());
}

void readId(const QJsonObject& o, QUuid& id)
{
    std::optional<QUuid> parsed;
    readUuid(o, QStringLiteral("id"), parsed);
    if (parsed)
        id = *parsed;
}

template <typename T, typename Fn>
std::optional<DecodedList<T>> readList(const QJsonValue& v, Fn decode)
{
    if (!v.isArray())
        return std::nullopt;
    const QJsonArray array = v.toArray();
    DecodedList<T> out;
    out.records.reserve(array.size());
    for (const QJsonValue& item : array) {
        if (std::optional<T> record = decode(item))
            out.records.append(std::move(*record));
        else
            ++out.skipped;
    }
    return out;
}

template <typename T, typename Fn>
std::optional<QList<T>> listFromJson(const QJsonValue& v, Fn decode)
{
    if (!v.isArray())
        return std::nullopt;
    const QJsonArray array = v.toArray();
    QList<T> out;
    out.reserve(array.size());
    for (const QJsonValue& item : array) {
        std::optional<T> record = decode(item);
        if (!record)
            return std::nullopt;
        out.append(std::move(*record));
    }
    return out;
}

template <typename T>
QByteArray encodeList(const QList<T>& list)
{
    QJsonArray array;
    for (const T& item : list)
        array.append(toJson(item));
    return jsonBytes(QJsonDocument(array));
}


} // namespace

QJsonObject toJson(const Snippet& s)
{
    QJsonObject o;
    o.insert(QStringLiteral("id"), uuidText(s.id));
    o.insert(QStringLiteral("trigger"), s.trigger);
    o.insert(QStringLiteral("content"), s.content);
    o.insert(QStringLiteral("enabled"), s.enabled);
    o.insert(QStringLiteral("ignoreCase"), s.ignoreCase);
    o.insert(QStringLiteral("adaptCase"), s.adaptCase);
    o.insert(QStringLiteral("wholeWord"), s.wholeWord);
    o.insert(QStringLiteral("keepDelimiter"), s.keepDelimiter);
    o.insert(QStringLiteral("learned"), s.learned);
    o.insert(QStringLiteral("kind"), toRaw(s.kind));
    if (s.groupID)
        o.insert(QStringLiteral("groupID"), uuidText(*s.groupID));
    return o;
}

QJsonObject toJson(const SnippetGroup& g)
{
    QJsonObject o;
    o.insert(QStringLiteral("id"), uuidText(g.id));
    o.insert(QStringLiteral("name"), g.name);
    o.insert(QStringLiteral("enabled"), g.enabled);
    o.insert(QStringLiteral("triggerPrefix"), g.triggerPrefix);
    o.insert(QStringLiteral("appMode"), g.scopeUnderstood() ? toRaw(g.appMode) : *g.unrecognisedAppMode);
    o.insert(QStringLiteral("appList"), QJsonArray::fromStringList(g.appList));
    return o;
}

QJsonObject toJson(const CustomCorrection& c)
{
    QJsonObject o;
    o.insert(QStringLiteral("id"), uuidText(c.id));
    o.insert(QStringLiteral("wrong"), c.wrong);
    o.insert(QStringLiteral("right"), c.right);
    o.insert(QStringLiteral("learned"), c.learned);
    return o;
}

std::optional<Snippet> snippetFromJson(const QJsonValue& v)
{
    if (!v.isObject())
        return std::nullopt;
    const QJsonObject o = v.toObject();
    Snippet s;
    readId(o, s.id);
    if (!readRequiredString(o, QStringLiteral("trigger"), s.trigger) ||
        !readRequiredString(o, QStringLiteral("content"), s.content))
        return std::nullopt;
    readBool(o, QStringLiteral("enabled"), s.enabled);
    readBool(o, QStringLiteral("ignoreCase"), s.ignoreCase);
    readBool(o, QStringLiteral("adaptCase"), s.adaptCase);
    readBool(o, QStringLiteral("wholeWord"), s.wholeWord);
    readBool(o, QStringLiteral("keepDelimiter"), s.keepDelimiter);
    readBool(o, QStringLiteral("learned"), s.learned);
    const QJsonValue kind = o.value(QStringLiteral("kind"));
    if (!kind.isUndefined() && !kind.isNull()) {
        // Typing a script's text, or running what was meant as text, would both be wrong.
        const auto k = kind.isString() ? snippetKindFromRaw(kind.toString()) : std::nullopt;
        if (!k)
            return std::nullopt;
        s.kind = *k;
    }
    readUuid(o, QStringLiteral("groupID"), s.groupID);
    return s;
}

std::optional<SnippetGroup> groupFromJson(const QJsonValue& v)
{
    if (!v.isObject())
        return std::nullopt;
    const QJsonObject o = v.toObject();
    SnippetGroup g;
    readId(o, g.id);
    readString(o, QStringLiteral("name"), g.name);
    readBool(o, QStringLiteral("enabled"), g.enabled);
    readString(o, QStringLiteral("triggerPrefix"), g.triggerPrefix);
    const QJsonValue mode = o.value(QStringLiteral("appMode"));
    if (mode.isString()) {
        if (const auto known = appScopeModeFromRaw(mode.toString()))
            g.appMode = *known;
        else
            g.unrecognisedAppMode = mode.toString();
    } else if (!mode.isUndefined() && !mode.isNull()) {
        // No scope can be read from it, and widening it to "all" is not safe.
        return std::nullopt;
    }
    const QJsonValue apps = o.value(QStringLiteral("appList"));
    if (apps.isArray()) {
        for (const QJsonValue& a : apps.toArray())
            if (a.isString())
                g.appList.append(a.toString());
    }
    return g;
}

std::optional<CustomCorrection> correctionFromJson(const QJsonValue& v)
{
    if (!v.isObject())
        return std::nullopt;
    const QJsonObject o = v.toObject();
    CustomCorrection c;
    readId(o, c.id);
    if (!readRequiredString(o, QStringLiteral("wrong"), c.wrong) ||
        !readRequiredString(o, QStringLiteral("right"), c.right))
        return std::nullopt;
    readBool(o, QStringLiteral("learned"), c.learned);
    return c;
}

std::optional<QList<Snippet>> snippetsFromJson(const QJsonValue& v)
{
    return listFromJson<Snippet>(v, snippetFromJson);
}

std::optional<QList<SnippetGroup>> groupsFromJson(const QJsonValue& v)
{
    return listFromJson<SnippetGroup>(v, groupFromJson);
}

std::optional<QList<CustomCorrection>> correctionsFromJson(const QJsonValue& v)
{
    return listFromJson<CustomCorrection>(v, correctionFromJson);
}

std::optional<DecodedList<Snippet>> readSnippetList(const QJsonValue& v)
{
    return readList<Snippet>(v, snippetFromJson);
}

std::optional<DecodedList<SnippetGroup>> readGroupList(const QJsonValue& v)
{
    return readList<SnippetGroup>(v, groupFromJson);
}

std::optional<DecodedList<CustomCorrection>> readCorrectionList(const QJsonValue& v)
{
    return readList<CustomCorrection>(v, correctionFromJson);
}

namespace {

// Snippet files are rewritten on every edit, so they are written directly rather than
// through QJsonObject (several times faster with thousands of snippets). The output is
// what QJsonDocument::Indented gives: keys sorted, four-space indentation.
void appendEscapedUtf8(QByteArray& out, const QByteArray& utf8)
{
    for (const char ch : utf8) {
        const unsigned char c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += char(c);
            }
        }
    }
}

void appendJsonString(QByteArray& out, const QString& s)
{
    out += '"';
    // A surrogate without its partner has no UTF-8 form, and a U+FEFF at the start of a
    // string is dropped by Qt's reader; both are written as escapes so the text reads back
    // exactly as it was.
    qsizetype from = 0;
    const qsizetype n = s.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = s.at(i);
        if (c.unicode() != 0xFEFF && !c.isSurrogate())
            continue;
        if (c.isHighSurrogate() && i + 1 < n && s.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        appendEscapedUtf8(out, QStringView(s).mid(from, i - from).toUtf8());
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\u%04x", unsigned(c.unicode()));
        out += buf;
        from = i + 1;
    }
    appendEscapedUtf8(out, QStringView(s).mid(from).toUtf8());
    out += '"';
}

void appendMember(QByteArray& out, const char* key, bool value, bool last = false)
{
    out += "        \"";
    out += key;
    out += value ? "\": true" : "\": false";
    out += last ? "\n" : ",\n";
}

void appendMember(QByteArray& out, const char* key, const QString& value, bool last = false)
{
    out += "        \"";
    out += key;
    out += "\": ";
    appendJsonString(out, value);
    out += last ? "\n" : ",\n";
}

} // namespace

QByteArray encodeSnippets(const QList<Snippet>& list)
{
    if (list.isEmpty())
        return QByteArrayLiteral("[\n]\n");
    QByteArray out;
    qsizetype estimate = 16;
    for (const Snippet& s : list)
        estimate += 320 + (s.trigger.size() + s.content.size()) * 2;
    out.reserve(estimate);
    out += "[\n";
    for (qsizetype i = 0; i < list.size(); ++i) {
        const Snippet& s = list.at(i);
        out += "    {\n";
        appendMember(out, "adaptCase", s.adaptCase);
        appendMember(out, "content", s.content);
        appendMember(out, "enabled", s.enabled);
        if (s.groupID)
            appendMember(out, "groupID", uuidText(*s.groupID));
        appendMember(out, "id", uuidText(s.id));
        appendMember(out, "ignoreCase", s.ignoreCase);
        appendMember(out, "keepDelimiter", s.keepDelimiter);
        appendMember(out, "kind", toRaw(s.kind));
        appendMember(out, "learned", s.learned);
        appendMember(out, "trigger", s.trigger);
        appendMember(out, "wholeWord", s.wholeWord, true);
        out += i + 1 < list.size() ? "    },\n" : "    }\n";
    }
    out += "]\n";
    return out;
}
QByteArray encodeGroups(const QList<SnippetGroup>& list) { return encodeList(list); }

QByteArray jsonBytes(const QJsonDocument& doc, QJsonDocument::JsonFormat format)
{
    QByteArray out = doc.toJson(format);
    // EF BB BF is only ever U+FEFF, and Qt writes it raw only inside strings.
    static const QByteArray mark("\xEF\xBB\xBF");
    if (out.contains(mark))
        out.replace(mark, QByteArrayLiteral("\\ufeff"));
    return out;
}

std::optional<QJsonValue> parseJson(const QByteArray& bytes)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        return std::nullopt;
    if (doc.isArray())
        return QJsonValue(doc.array());
    if (doc.isObject())
        return QJsonValue(doc.object());
    return std::nullopt;
}

std::optional<QList<Snippet>> decodeSnippets(const QByteArray& bytes)
{
    const auto v = parseJson(bytes);
    return v ? snippetsFromJson(*v) : std::nullopt;
}

std::optional<QList<SnippetGroup>> decodeGroups(const QByteArray& bytes)
{
    const auto v = parseJson(bytes);
    return v ? groupsFromJson(*v) : std::nullopt;
}

namespace TerminalApps {

const QStringList& defaultSpellFixExclusions()
{
    static const QStringList list{
        QStringLiteral("Gnome-terminal"), QStringLiteral("konsole"),
        QStringLiteral("XTerm"),          QStringLiteral("kitty"),
        QStringLiteral("Alacritty"),      QStringLiteral("org.wezfurlong.wezterm"),
        QStringLiteral("com.mitchellh.ghostty"), QStringLiteral("Xfce4-terminal"),
        QStringLiteral("Tilix"),          QStringLiteral("dev.warp.Warp"),
        QStringLiteral("Code"),           QStringLiteral("Cursor"),
        QStringLiteral("dev.zed.Zed"),    QStringLiteral("Sublime_text"),
        QStringLiteral("jetbrains-idea"),
    };
    return list;
}

const QSet<QString>& bundleIDs()
{
    // The ten terminals open the exclusion list.
    static const QSet<QString> ids(defaultSpellFixExclusions().begin(), defaultSpellFixExclusions().begin() + 10);
    return ids;
}

} // namespace TerminalApps
