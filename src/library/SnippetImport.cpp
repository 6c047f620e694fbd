#include "library/SnippetImport.h"

#include "library/BinaryPlistReader.h"
#include "library/XmlPlistReader.h"

#include <QHash>
#include <QStringDecoder>

#include <algorithm>
#include <iterator>

namespace {

// Windows-1252 differs from Latin-1 only in 0x80-0x9F; the five unassigned bytes keep
// their C1 code points, as browsers read them.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

QString decodeWindows1252(QByteArrayView bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    char16_t* dst = reinterpret_cast<char16_t*>(out.data());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const uchar b = uchar(bytes[i]);
        dst[i] = (b >= 0x80 && b <= 0x9F) ? kCp1252High[b - 0x80] : char16_t(b);
    }
    return out;
}

// Decodes with the given codec; absent when the bytes are not valid in it. A byte-order
// mark inside the bytes is kept as a character (the caller has already removed its own).
std::optional<QString> decodeStrict(QByteArrayView bytes, QStringConverter::Encoding encoding)
{
    QStringDecoder decoder(encoding,
                           QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

struct Utf8Reading
{
    QString text;   // invalid sequences replaced by U+FFFD
    bool invalid;   // some bytes formed no character
    bool multiByte; // some bytes formed a character beyond ASCII
};

// Reads UTF-8, one U+FFFD for each longest start of a well-formed sequence that does not
// complete (a character cut short is one mark, not one per byte), as Unicode recommends.
Utf8Reading readUtf8(QByteArrayView bytes)
{
    Utf8Reading reading{QString(bytes.size(), Qt::Uninitialized), false, false};
    char16_t* const begin = reinterpret_cast<char16_t*>(reading.text.data());
    char16_t* dst = begin;
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const uchar lead = uchar(bytes[i]);
        if (lead < 0x80) {
            *dst++ = lead;
            ++i;
            continue;
        }
        int need = 0;
        char32_t code = 0;
        // The range of the byte after the lead excludes overlong forms, surrogates and
        // code points past U+10FFFF.
        uchar low = 0x80, high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            need = 1;
            code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            need = 2;
            code = lead & 0x0F;
            if (lead == 0xE0)
                low = 0xA0;
            else if (lead == 0xED)
                high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            need = 3;
            code = lead & 0x07;
            if (lead == 0xF0)
                low = 0x90;
            else if (lead == 0xF4)
                high = 0x8F;
        }
        qsizetype next = i + 1;
        bool complete = need > 0;
        for (int k = 0; k < need; ++k) {
            if (next >= n || uchar(bytes[next]) < low || uchar(bytes[next]) > high) {
                complete = false;
                break;
            }
            code = (code << 6) | (uchar(bytes[next]) & 0x3F);
            ++next;
            low = 0x80;
            high = 0xBF;
        }
        if (!complete) {
            *dst++ = QChar::ReplacementCharacter;
            reading.invalid = true;
        } else if (code > 0xFFFF) {
            *dst++ = QChar::highSurrogate(code);
            *dst++ = QChar::lowSurrogate(code);
            reading.multiByte = true;
        } else {
            *dst++ = char16_t(code);
            reading.multiByte = true;
        }
        i = next;
    }
    reading.text.truncate(dst - begin);
    return reading;
}

bool isHorizontalSpace(QChar c)
{
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

QString trimmedHorizontal(const QString& s)
{
    qsizetype begin = 0, end = s.size();
    while (begin < end && isHorizontalSpace(s.at(begin)))
        ++begin;
    while (end > begin && isHorizontalSpace(s.at(end - 1)))
        --end;
    return s.mid(begin, end - begin);
}

Snippet rowSnippet(const QString& trigger, const QString& content)
{
    Snippet s;
    s.trigger = trigger;
    s.content = content;
    return s;
}

// Replaces every tag pair that opens with `opening`, up to the first ">" after it, and
// closes with the first "</atext>" after that: with `replacement`, or with the text between
// the tags when `replacement` is absent. The same as the expressions
// `<opening>[^>]*>.*?</atext>` (dot matching line ends) replaced from left to right, but
// one pass: once a ">" or a closing tag is missing, no later pair can complete either.
QString replaceTagPairs(const QString& text, QLatin1String opening, const std::optional<QString>& replacement)
{
    static const QLatin1String closing("</atext>");
    QString out;
    qsizetype from = 0;
    for (;;) {
        const qsizetype open = text.indexOf(opening, from);
        if (open < 0)
            break;
        const qsizetype gt = text.indexOf(QLatin1Char('>'), open + opening.size());
        if (gt < 0)
            break;
        const qsizetype close = text.indexOf(closing, gt + 1);
        if (close < 0)
            break;
        out += QStringView(text).sliced(from, open - from);
        out += replacement ? QStringView(*replacement) : QStringView(text).sliced(gt + 1, close - gt - 1);
        from = close + closing.size();
    }
    if (from == 0)
        return text;
    out += QStringView(text).sliced(from);
    return out;
}

// The tagged layout writes clipboard insertions and formatting as <atext ...> tags.
QString rewriteTags(const QString& content)
{
    const QString withClipboard =
        replaceTagPairs(content, QLatin1String("<atext type=\"clipboard\""), QStringLiteral("{clipboard}"));
    return replaceTagPairs(withClipboard, QLatin1String("<atext"), std::nullopt);
}

} // namespace

QString SnippetImport::description(ImportError error)
{
    switch (error) {
    case ImportError::unrecognized:
        return QStringLiteral("Unrecognized format — expected a Quenvil JSON export, a Text Substitutions "
                              ".plist, or a CSV file.");
    case ImportError::malformed:
        return QStringLiteral(
            "The file looks like a supported format but no snippets could be read from it.");
    }
    return {};
}

SnippetImport::Outcome SnippetImport::parse(const QByteArray& data, const QString& fileExtension)
{
    if (fileExtension == QLatin1String("plist"))
        return parseTextSubstitutions(data);
    if (fileExtension == QLatin1String("csv"))
        return parseCSV(data);
    if (fileExtension == QLatin1String("json")) {
        if (auto snippets = decodeJSON(data))
            return Outcome::success(Result{std::move(*snippets), {}, 0});
        return Outcome::failure(ImportError::unrecognized);
    }
    if (isPlist(data))
        return parseTextSubstitutions(data);
    if (auto snippets = decodeJSON(data))
        return Outcome::success(Result{std::move(*snippets), {}, 0});
    return parseCSV(data);
}

bool SnippetImport::isPlist(const QByteArray& data)
{
    if (data.startsWith("bplist"))
        return true;
    const QString head = QString::fromUtf8(data.left(512));
    return head.contains(QLatin1String("<plist"));
}

std::optional<QList<Snippet>> SnippetImport::decodeJSON(const QByteArray& data)
{
    return decodeSnippets(data);
}

SnippetImport::Outcome SnippetImport::parseTextSubstitutions(const QByteArray& data)
{
    const std::optional<PlistValue> root =
        data.startsWith("bplist") ? BinaryPlistReader::read(data) : XmlPlistReader::read(data);
    if (!root)
        return Outcome::failure(ImportError::unrecognized);
    if (root->type != PlistValue::Type::array)
        return Outcome::failure(ImportError::malformed);
    Result result;
    for (const PlistValue& entry : root->items) {
        if (entry.type != PlistValue::Type::dict)
            return Outcome::failure(ImportError::malformed);
        const QString* shortcut = nullptr;
        const QString* phrase = nullptr;
        for (size_t i = 0; i + 1 < entry.items.size(); i += 2) {
            const PlistValue& key = entry.items[i];
            const PlistValue& value = entry.items[i + 1];
            if (key.type != PlistValue::Type::string)
                return Outcome::failure(ImportError::malformed);
            // A repeated key: the later value stands, as in a dictionary built in order.
            if (key.text == QLatin1String("shortcut"))
                shortcut = value.type == PlistValue::Type::string ? &value.text : nullptr;
            else if (key.text == QLatin1String("phrase"))
                phrase = value.type == PlistValue::Type::string ? &value.text : nullptr;
        }
        if (shortcut && phrase && !shortcut->isEmpty() && !phrase->isEmpty())
            result.snippets.append(rowSnippet(*shortcut, *phrase));
    }
    return Outcome::success(std::move(result));
}

std::optional<QString> SnippetImport::decodeCSVText(const QByteArray& data)
{
    const QByteArrayView bytes(data);
    std::optional<QString> text;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        // Declared UTF-8: a bad sequence becomes U+FFFD rather than turning the file into
        // another encoding.
        text = readUtf8(bytes.sliced(3)).text;
    } else if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        const QByteArrayView body = bytes.sliced(2);
        if (body.size() % 2 != 0)
            return std::nullopt;
        text = decodeStrict(body, bytes.startsWith("\xFF\xFE") ? QStringConverter::Utf16LE
                                                               : QStringConverter::Utf16BE);
        if (text && !text->isValidUtf16())
            return std::nullopt;
    } else {
        // One stray byte in a file of UTF-8 (a cell pasted from an old document, a last
        // character cut short) must not turn every accent of every row into mojibake: only
        // bytes that form no UTF-8 character beyond ASCII at all are a legacy single-byte
        // export, which replacement marks would wreck.
        Utf8Reading reading = readUtf8(bytes);
        text = reading.invalid && !reading.multiByte ? decodeWindows1252(bytes) : std::move(reading.text);
    }
    // No text file holds NUL; bytes that do are something else read as text.
    if (!text || text->contains(QChar(0)))
        return std::nullopt;
    return text;
}

QChar SnippetImport::detectSeparator(const QString& text)
{
    // Enough rows that a title line or a few odd rows are outvoted, few enough to stay
    // cheap on a large file.
    constexpr int kRowsWeighed = 256;
    constexpr char16_t kCandidates[] = {u',', u';', u'\t'};
    constexpr int kCount = int(std::size(kCandidates));
    // How a row splits on one candidate: which cell the walk is in (2 for any later one),
    // whether the first two cells hold anything, and whether the second starts with white
    // space (as after a comma or semicolon of prose, rarely after a written separator).
    struct Split
    {
        int cell = 0;
        bool filled[2] = {};
        bool spaced = false;
    };
    Split split[kCount];
    // Rows each candidate makes a snippet of (trigger and content both non-empty), and of
    // those the rows whose content does not start with white space.
    int usable[kCount] = {};
    int tight[kCount] = {};
    qsizetype firstSeen[kCount] = {-1, -1, -1};
    bool quoted = false;
    bool rowHasText = false;
    int rows = 0;
    // `c` belongs to the current cell of every candidate but `splitter`.
    const auto addContent = [&](QChar c, int splitter) {
        for (int k = 0; k < kCount; ++k) {
            Split& s = split[k];
            if (k == splitter || s.cell >= 2 || s.filled[s.cell])
                continue;
            s.filled[s.cell] = true;
            if (s.cell == 1)
                s.spaced = c == u' ' || c == u'\t';
        }
    };
    const auto endRow = [&] {
        if (rowHasText) {
            ++rows;
            for (int k = 0; k < kCount; ++k) {
                const Split& s = split[k];
                if (s.cell >= 1 && s.filled[0] && s.filled[1]) {
                    ++usable[k];
                    tight[k] += s.spaced ? 0 : 1;
                }
            }
        }
        rowHasText = false;
        std::fill(std::begin(split), std::end(split), Split{});
    };
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n && rows < kRowsWeighed; ++i) {
        const QChar c = text.at(i);
        // Read as the splitter reads: separators and line ends inside quotes belong to
        // the cell, and a doubled quote there is one quote character.
        if (quoted) {
            if (c != u'"') {
                addContent(c, -1);
            } else if (i + 1 < n && text.at(i + 1) == u'"') {
                addContent(c, -1);
                ++i;
            } else {
                quoted = false;
            }
            continue;
        }
        if (c == u'"') {
            quoted = true;
            rowHasText = true;
            continue;
        }
        if (c == u'\n' || c == u'\r') {
            endRow();
            continue;
        }
        if (c != u' ')
            rowHasText = true;
        int splitter = -1;
        for (int k = 0; k < kCount; ++k) {
            if (c == kCandidates[k]) {
                splitter = k;
                split[k].cell = std::min(split[k].cell + 1, 2);
                if (firstSeen[k] < 0)
                    firstSeen[k] = i;
            }
        }
        addContent(c, splitter);
    }
    endRow();
    // The most snippet rows wins, then the most rows without a space after the separator;
    // a tie with the comma keeps the comma, and between the other two the first seen does.
    int best = 0;
    for (int k = 1; k < kCount; ++k) {
        const bool more = usable[k] > usable[best] || (usable[k] == usable[best] && tight[k] > tight[best]);
        const bool tied = usable[k] == usable[best] && tight[k] == tight[best] && usable[k] > 0;
        if (more || (tied && best != 0 && firstSeen[k] < firstSeen[best]))
            best = k;
    }
    return QChar(kCandidates[best]);
}

QList<QStringList> SnippetImport::csvRows(const QString& text, QChar separator)
{
    return splitRows(text, separator, nullptr);
}

QList<QStringList> SnippetImport::splitRows(const QString& text, QChar separator, bool* openQuote)
{
    QList<QStringList> rows;
    QStringList row;
    QString cell;
    bool quoted = false;
    bool separatorSeen = false;
    const QChar* p = text.constData();
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        if (quoted) {
            // Copy up to the next quote in one piece.
            qsizetype j = i;
            while (j < n && p[j] != u'"')
                ++j;
            cell.append(p + i, j - i);
            if (j >= n) {
                i = n;
                break;
            }
            if (j + 1 < n && p[j + 1] == u'"') {
                cell.append(u'"');
                i = j + 2;
            } else {
                quoted = false;
                i = j + 1;
            }
            continue;
        }
        qsizetype j = i;
        while (j < n && p[j] != u'"' && p[j] != separator && p[j] != u'\n' && p[j] != u'\r')
            ++j;
        cell.append(p + i, j - i);
        if (j >= n) {
            i = n;
            break;
        }
        const QChar c = p[j];
        if (c == u'"') {
            quoted = true;
            i = j + 1;
        } else if (c == separator) {
            row.append(cell);
            cell.clear();
            separatorSeen = true;
            i = j + 1;
        } else {
            row.append(cell);
            cell.clear();
            rows.append(row);
            row.clear();
            separatorSeen = false;
            i = (c == u'\r' && j + 1 < n && p[j + 1] == u'\n') ? j + 2 : j + 1;
        }
    }
    if (separatorSeen || !cell.isEmpty()) {
        row.append(cell);
        rows.append(row);
    }
    if (openQuote)
        *openQuote = quoted;
    return rows;
}

SnippetImport::Outcome SnippetImport::parseCSV(const QByteArray& data)
{
    const std::optional<QString> text = decodeCSVText(data);
    if (!text)
        return Outcome::failure(ImportError::malformed);
    bool openQuote = false;
    const QList<QStringList> rows = splitRows(*text, detectSeparator(*text), &openQuote);
    // A stray quote would otherwise swallow the rest of the file into one cell.
    if (openQuote || rows.isEmpty())
        return Outcome::failure(ImportError::malformed);
    const QStringList& first = rows.constFirst();
    if (first.size() > 2 && first.at(0) == QLatin1String("Level") && first.at(1) == QLatin1String("Type") &&
        first.at(2) == QLatin1String("Guid"))
        return Outcome::success(parseATextCSV(first, rows.mid(1)));
    return parseSimpleCSV(rows);
}

SnippetImport::Outcome SnippetImport::parseSimpleCSV(const QList<QStringList>& rows)
{
    QList<const QStringList*> used;
    used.reserve(rows.size());
    for (const QStringList& row : rows) {
        const bool allEmpty =
            std::all_of(row.cbegin(), row.cend(), [](const QString& c) { return c.isEmpty(); });
        if (!allEmpty)
            used.append(&row);
    }
    qsizetype start = (!used.isEmpty() && looksLikeHeader(*used.constFirst())) ? 1 : 0;
    Result result;
    result.snippets.reserve(used.size() - start);
    for (qsizetype i = start; i < used.size(); ++i) {
        const QStringList& row = *used.at(i);
        if (row.size() >= 2 && !row.at(0).isEmpty() && !row.at(1).isEmpty())
            result.snippets.append(rowSnippet(row.at(0), row.at(1)));
    }
    if (result.snippets.isEmpty())
        return Outcome::failure(ImportError::malformed);
    return Outcome::success(std::move(result));
}

bool SnippetImport::looksLikeHeader(const QStringList& row)
{
    if (row.size() < 2)
        return false;
    static const QStringList triggers{
        QStringLiteral("abbreviation"), QStringLiteral("abbreviations"), QStringLiteral("shortcut"),
        QStringLiteral("trigger"),      QStringLiteral("keyword"),       QStringLiteral("snippet"),
    };
    static const QStringList contents{
        QStringLiteral("content"),   QStringLiteral("phrase"),     QStringLiteral("text"),
        QStringLiteral("expansion"), QStringLiteral("plain text"), QStringLiteral("value"),
    };
    return triggers.contains(trimmedHorizontal(row.at(0)).toLower()) &&
           contents.contains(trimmedHorizontal(row.at(1)).toLower());
}

SnippetImport::Result SnippetImport::parseATextCSV(const QStringList& header, const QList<QStringList>& rows)
{
    QHash<QString, qsizetype> column;
    for (qsizetype i = 0; i < header.size(); ++i)
        column.insert(header.at(i), i); // a repeated name: the later column wins
    const auto cell = [&column](const QStringList& row, const QString& name) -> QString {
        const auto it = column.constFind(name);
        if (it == column.cend() || *it >= row.size())
            return QString();
        return row.at(*it);
    };
    const QString level = QStringLiteral("Level");
    const QString type = QStringLiteral("Type");
    const QString label = QStringLiteral("Label");
    const QString abbreviations = QStringLiteral("Abbreviations");
    const QString textColumn = QStringLiteral("Text");
    const QString scriptType = QStringLiteral("ScriptType");

    Result result;
    std::optional<QString> currentGroup;
    QHash<QString, qsizetype> groupIndex; // by name: a file may hold many groups
    for (const QStringList& row : rows) {
        const QString kind = cell(row, type);
        if (kind == QLatin1String("1")) {
            // Nested groups fold into the top-level group that encloses them.
            if (cell(row, level) == QLatin1String("0")) {
                const QString name = cell(row, label);
                currentGroup = name.isEmpty() ? QStringLiteral("Imported group") : name;
            }
            continue;
        }
        if (kind != QLatin1String("0"))
            continue;
        const QString trigger = cell(row, abbreviations);
        QString content = cell(row, textColumn);
        const QString script = cell(row, scriptType);
        SnippetKind snippetKind = SnippetKind::text;
        if (script.isEmpty()) {
            if (content.contains(QLatin1String("<atext")))
                content = rewriteTags(content);
        } else if (script == QLatin1String("sh")) {
            snippetKind = SnippetKind::shell;
        } else {
            ++result.skipped;
            continue;
        }
        if (trigger.isEmpty() && content.isEmpty())
            continue;
        if (trigger.isEmpty() || content.isEmpty()) {
            ++result.skipped;
            continue;
        }
        Snippet s = rowSnippet(trigger, content);
        s.kind = snippetKind;
        if (!currentGroup) {
            result.snippets.append(s);
            continue;
        }
        const auto group = groupIndex.constFind(*currentGroup);
        if (group == groupIndex.cend()) {
            groupIndex.insert(*currentGroup, result.groups.size());
            result.groups.append(ImportedGroup{*currentGroup, {s}});
        } else {
            result.groups[*group].snippets.append(s);
        }
    }
    return result;
}
