#include "engine/ContentRenderer.h"

#include "engine/DateTokens.h"
#include "model/AppState.h"
#include "model/Text.h"
#include "platform/Clipboard.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QStringList>

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <memory>

namespace {

constexpr QStringView kSnippetOpen = u"{snippet:";
constexpr QStringView kDateOpen = u"{date:";
constexpr QStringView kClipboardOpen = u"{clipboard:";
constexpr QStringView kClipboard = u"{clipboard}";
constexpr QStringView kKeyOpen = u"{key:";
constexpr QStringView kCursor = u"{cursor}";

// A stretch of rendered text. Literal pieces came from outside the snippet (the
// clipboard) and are never searched for tokens again.
struct Piece
{
    QString text;
    bool literal = false;
};
using Pieces = QList<Piece>;

// A segment while it is being built: its text keeps track of what is literal.
struct Part
{
    bool isKey = false;
    Key key = Key::Other;
    Pieces pieces;
};

// The first cursor mark: the part it was in and the first piece after it.
struct Mark
{
    qsizetype part = -1;
    qsizetype piece = -1;
};

void appendPiece(Pieces& pieces, const QString& text, bool literal)
{
    if (text.isEmpty())
        return;
    if (!pieces.isEmpty() && pieces.last().literal == literal)
        pieces.last().text += text;
    else
        pieces.append(Piece{text, literal});
}

QString joined(const Pieces& pieces)
{
    QString out;
    for (const Piece& p : pieces)
        out += p.text;
    return out;
}

const QRegularExpression& fillInToken()
{
    static const QRegularExpression re(QStringLiteral("\\{(field|menu):[^}]+\\}"));
    return re;
}

QString upperFirstCharacter(const QString& s)
{
    if (s.isEmpty())
        return s;
    const QString first = Text::leftGraphemes(s, 1);
    return Text::upper(first) + s.mid(first.size());
}

bool isUppercaseCharacter(const QString& c)
{
    return Text::upper(c) == c && Text::lower(c) != c;
}

// Upper-cases everything but fill-in tokens: the form looks for their exact words, and
// the values the user types are theirs.
QString upperOutsideFillIn(const QString& s)
{
    QString out;
    qsizetype pos = 0;
    for (auto it = fillInToken().globalMatch(s); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out += Text::upper(s.mid(pos, m.capturedStart() - pos));
        out += m.captured();
        pos = m.capturedEnd();
    }
    return out + Text::upper(s.mid(pos));
}

QString titleCased(const QString& s)
{
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> words(
        icu::BreakIterator::createWordInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status))
        return s;
    icu::UnicodeString u(reinterpret_cast<const UChar*>(s.utf16()), int32_t(s.size()));
    u.toTitle(words.get(), icu::Locale::getRoot(), U_TITLECASE_NO_BREAK_ADJUSTMENT);
    return QString(reinterpret_cast<const QChar*>(u.getBuffer()), u.length());
}

// A text rewritten token by token the way "replace the first token, then search again
// from the beginning" would, without searching the settled part again: after a
// replacement only the replacement and a short look-behind before it (where a token that
// the old text cut short could now be completed) are searched again. So a formatted
// result is scanned again, as the rules want, and a long content still renders in linear
// time.
//
// Positions are in the unsettled view: the head (look-behind and replacement) followed by
// the rest of the original text.
class Rescanner
{
  public:
    Rescanner(const QString& text, qsizetype lookBehind) : m_text(text), m_lookBehind(lookBehind) {}

    qsizetype size() const { return m_head.size() + (m_text.size() - m_pos); }
    QChar at(qsizetype x) const
    {
        return x < m_head.size() ? m_head.at(x) : m_text.at(m_pos + x - m_head.size());
    }

    qsizetype indexOf(QStringView needle, qsizetype from) const
    {
        const qsizetype hs = m_head.size();
        if (from < hs) {
            const qsizetype i = m_head.indexOf(needle, from);
            if (i >= 0)
                return i;
            const qsizetype start = std::max(from, hs - needle.size() + 1);
            if (start < hs) {
                const QString bridge = m_head.mid(start) + m_text.mid(m_pos, needle.size() - 1);
                const qsizetype j = bridge.indexOf(needle);
                if (j >= 0)
                    return start + j;
            }
            from = hs;
        }
        const qsizetype i = m_text.indexOf(needle, m_pos + (from - hs));
        return i < 0 ? -1 : i - m_pos + hs;
    }

    qsizetype indexOf(QChar c, qsizetype from) const
    {
        const qsizetype hs = m_head.size();
        if (from < hs) {
            const qsizetype i = m_head.indexOf(c, from);
            if (i >= 0)
                return i;
            from = hs;
        }
        const qsizetype i = m_text.indexOf(c, m_pos + (from - hs));
        return i < 0 ? -1 : i - m_pos + hs;
    }

    QString mid(qsizetype a, qsizetype b) const
    {
        const qsizetype hs = m_head.size();
        QString out;
        if (a < hs)
            out += QStringView(m_head).mid(a, std::min(b, hs) - a);
        if (b > hs) {
            const qsizetype from = std::max(a, hs);
            out += QStringView(m_text).mid(m_pos + from - hs, b - from);
        }
        return out;
    }

    // Replaces [a, b) with `r`; everything before a, but for the look-behind, is final.
    void replace(qsizetype a, qsizetype b, const QString& r)
    {
        qsizetype keep = a;
        for (qsizetype x = a - 1; x >= 0 && x >= a - m_lookBehind; --x) {
            if (at(x) == u'{') {
                keep = x;
                break;
            }
        }
        const qsizetype hs = m_head.size();
        QString head = mid(keep, a) + r;
        m_out += QStringView(m_head).left(std::min(keep, hs));
        if (keep > hs)
            m_out += QStringView(m_text).mid(m_pos, keep - hs);
        if (b <= hs)
            head += QStringView(m_head).mid(b);
        else
            m_pos += b - hs;
        m_head = head;
    }

    QString finish()
    {
        m_out += m_head;
        m_out += QStringView(m_text).mid(m_pos);
        return m_out;
    }

  private:
    QString m_text;
    qsizetype m_lookBehind;
    qsizetype m_pos = 0;
    QString m_head;
    QString m_out;
};

} // namespace

// One rendering: its budget, its moment, its clipboard read.
class RenderPass
{
  public:
    explicit RenderPass(const ContentRenderer::Options& options) : m_options(options) { m_started.start(); }

    Pieces textStage(const QString& content);
    void nest(QString& out, const QString& text, QStringList& path, int depth);

  private:
    bool spend(qsizetype units);
    // True (and from then on capped) once the time budget is used up.
    bool outOfTime();
    bool grow(qsizetype from, qsizetype to) { return !m_capped && (to <= from || spend(to - from)); }
    DateTokens& dates();
    std::optional<QString> lookup(const QString& trigger) const;

    void replaceAll(QString& text, QStringView token, DateTokens::Style style);
    void patternTokens(QString& text);
    void offsetTokens(QString& text, QStringView word, bool isTime);
    Pieces clipboardStage(const QString& text);

    const ContentRenderer::Options& m_options;
    qsizetype m_remaining = ContentRenderer::kRenderBudget;
    bool m_capped = false;
    std::unique_ptr<DateTokens> m_dates;
    QElapsedTimer m_started;
};

bool RenderPass::outOfTime()
{
    if (!m_capped && m_started.elapsed() >= m_options.timeBudgetMs)
        m_capped = true;
    return m_capped;
}

bool RenderPass::spend(qsizetype units)
{
    if (outOfTime())
        return false;
    if (units > m_remaining) {
        m_capped = true;
        return false;
    }
    m_remaining -= units;
    return true;
}

DateTokens& RenderPass::dates()
{
    if (!m_dates) {
        const QDateTime now = m_options.clock ? m_options.clock() : QDateTime::currentDateTime();
        m_dates = std::make_unique<DateTokens>(now, m_options.locale, m_options.timeZone);
    }
    return *m_dates;
}

std::optional<QString> RenderPass::lookup(const QString& trigger) const
{
    if (m_options.lookup)
        return m_options.lookup(trigger);
    if (const AppState* state = AppState::shared())
        return ContentRenderer::lookupIn(*state)(trigger);
    return std::nullopt;
}

void RenderPass::nest(QString& out, const QString& text, QStringList& path, int depth)
{
    if (depth > ContentRenderer::kMaxNestingDepth || !text.contains(kSnippetOpen)) {
        out += text;
        return;
    }
    const QStringView view(text);
    qsizetype pos = 0;
    for (;;) {
        const qsizetype open = text.indexOf(kSnippetOpen, pos);
        if (open < 0) {
            out += view.mid(pos);
            return;
        }
        out += view.mid(pos, open - pos);
        const qsizetype nameStart = open + kSnippetOpen.size();
        const qsizetype close = text.indexOf(u'}', nameStart);
        if (close < 0) {
            out += view.mid(open);
            return;
        }
        const QString name = text.mid(nameStart, close - nameStart);
        const qsizetype tokenLength = close + 1 - open;
        std::optional<QString> content;
        // Only the path down to here counts as a cycle: the same snippet may sit side by
        // side any number of times.
        if (!m_capped && !path.contains(name))
            content = lookup(name);
        if (content && spend(content->size() + tokenLength)) {
            path.append(name);
            nest(out, *content, path, depth + 1);
            path.removeLast();
        } else {
            out += view.mid(open, tokenLength);
        }
        pos = close + 1;
    }
}

void RenderPass::replaceAll(QString& text, QStringView token, DateTokens::Style style)
{
    qsizetype i = text.indexOf(token);
    if (i < 0 || outOfTime())
        return;
    const QString value = dates().format(dates().now(), style);
    const QStringView view(text);
    QString out;
    qsizetype pos = 0;
    for (; i >= 0; i = text.indexOf(token, pos)) {
        out += view.mid(pos, i - pos);
        if (grow(token.size(), value.size()))
            out += value;
        else
            out += token;
        pos = i + token.size();
    }
    out += view.mid(pos);
    text = out;
}

void RenderPass::patternTokens(QString& text)
{
    if (!text.contains(kDateOpen))
        return;
    // A "{date:" formed by a replacement starts at most five characters before it.
    Rescanner s(text, kDateOpen.size() - 1);
    while (!m_capped) {
        const qsizetype open = s.indexOf(kDateOpen, 0);
        if (open < 0)
            break;
        const qsizetype close = s.indexOf(u'}', open + kDateOpen.size());
        if (close < 0)
            break;
        const QString pattern = s.mid(open + kDateOpen.size(), close);
        if (!spend(pattern.size()))
            break;
        const QString value = dates().format(dates().now(), pattern);
        // Each replacement removes one "}", which is what makes the search end; a result
        // that brought one back could go round for ever.
        if (value.contains(u'}') || !grow(close + 1 - open, value.size()))
            break;
        s.replace(open, close + 1, value);
    }
    text = s.finish();
}

void RenderPass::offsetTokens(QString& text, QStringView word, bool isTime)
{
    if (!text.contains(word))
        return;
    // A token cut short by the old text ("{time+5" before a replacement) can be completed
    // by the replacement; 64 units hold any such start with a number that fits.
    Rescanner s(text, 64);
    qsizetype from = 0;
    while (!m_capped) {
        const qsizetype open = s.indexOf(word, from);
        if (open < 0)
            break;
        from = open + 1;
        const qsizetype n = s.size();
        qsizetype x = open + word.size();
        if (x >= n || (s.at(x) != u'+' && s.at(x) != u'-'))
            continue;
        const qint64 sign = s.at(x) == u'-' ? -1 : 1;
        const qsizetype digitsStart = ++x;
        while (x < n && s.at(x) >= u'0' && s.at(x) <= u'9')
            ++x;
        if (x == digitsStart)
            continue;
        bool fits = false;
        qint64 amount = s.mid(digitsStart, x).toLongLong(&fits);
        if (!fits)
            amount = 0;
        DateTokens::Unit unit = isTime ? DateTokens::Unit::Minute : DateTokens::Unit::Day;
        if (x < n) {
            const QChar u = s.at(x);
            const std::optional<DateTokens::Unit> named =
                isTime ? (u == u'h'   ? std::optional(DateTokens::Unit::Hour)
                          : u == u'm' ? std::optional(DateTokens::Unit::Minute)
                                      : std::nullopt)
                       : (u == u'd'   ? std::optional(DateTokens::Unit::Day)
                          : u == u'w' ? std::optional(DateTokens::Unit::Week)
                          : u == u'm' ? std::optional(DateTokens::Unit::Month)
                          : u == u'y' ? std::optional(DateTokens::Unit::Year)
                                      : std::nullopt);
            if (named) {
                unit = *named;
                ++x;
            }
        }
        std::optional<QString> pattern;
        qsizetype end = -1;
        if (x < n && s.at(x) == u':') {
            const qsizetype close = s.indexOf(u'}', x + 1);
            if (close < 0)
                break; // no "}" anywhere after: nothing further can be a token
            if (close == x + 1)
                continue;
            pattern = s.mid(x + 1, close);
            end = close + 1;
        } else if (x < n && s.at(x) == u'}') {
            end = x + 1;
        } else {
            continue;
        }
        if (pattern ? !spend(pattern->size()) : outOfTime())
            break;
        const double moment = dates().offset(unit, sign * amount);
        const QString value =
            pattern ? dates().format(moment, *pattern)
                    : dates().format(moment, isTime ? DateTokens::Style::Time : DateTokens::Style::Date);
        if (value.contains(u'}') || !grow(end - open, value.size()))
            break;
        s.replace(open, end, value);
        from = 0;
    }
    text = s.finish();
}

Pieces RenderPass::clipboardStage(const QString& text)
{
    Pieces out;
    if (!text.contains(u"{clipboard")) {
        out.append(Piece{text, false});
        return out;
    }
    const QString clip = m_options.clipboard ? m_options.clipboard->text() : QString();
    // A clipboard larger than the whole budget could never be inserted; do not spend time
    // transforming it first.
    const bool fits = clip.size() <= ContentRenderer::kRenderBudget;
    const QStringView view(text);

    Pieces transformed;
    qsizetype pos = 0;
    for (qsizetype open = text.indexOf(kClipboardOpen); open >= 0;
         open = text.indexOf(kClipboardOpen, open + 1)) {
        const qsizetype nameStart = open + kClipboardOpen.size();
        qsizetype x = nameStart;
        while (x < text.size() && text.at(x) >= u'a' && text.at(x) <= u'z')
            ++x;
        if (x == nameStart || x >= text.size() || text.at(x) != u'}')
            continue;
        const qsizetype tokenLength = x + 1 - open;
        if (!fits) {
            m_capped = true;
            break;
        }
        const QString value = ContentRenderer::applyTextTransform(text.mid(nameStart, x - nameStart), clip);
        if (!grow(tokenLength, value.size()))
            break;
        appendPiece(transformed, text.mid(pos, open - pos), false);
        appendPiece(transformed, value, true);
        pos = x + 1;
        open = x;
    }
    appendPiece(transformed, view.mid(pos).toString(), false);

    for (const Piece& piece : transformed) {
        if (piece.literal) {
            appendPiece(out, piece.text, true);
            continue;
        }
        qsizetype from = 0;
        for (qsizetype i = piece.text.indexOf(kClipboard); i >= 0; i = piece.text.indexOf(kClipboard, from)) {
            if (!fits)
                m_capped = true;
            if (!grow(kClipboard.size(), clip.size()))
                break;
            appendPiece(out, piece.text.mid(from, i - from), false);
            appendPiece(out, clip, true);
            from = i + kClipboard.size();
        }
        appendPiece(out, piece.text.mid(from), false);
    }
    if (out.isEmpty())
        out.append(Piece{QString(), false});
    return out;
}

Pieces RenderPass::textStage(const QString& content)
{
    QString text;
    QStringList path;
    nest(text, content, path, 0);
    if (!text.contains(u'{')) {
        Pieces out;
        out.append(Piece{text, false});
        return out;
    }
    replaceAll(text, u"{date}", DateTokens::Style::Date);
    replaceAll(text, u"{time}", DateTokens::Style::Time);
    replaceAll(text, u"{datetime}", DateTokens::Style::DateTime);
    patternTokens(text);
    offsetTokens(text, u"{time", true);
    offsetTokens(text, u"{date", false);
    return clipboardStage(text);
}

namespace {

// The key stage over pieces: key tokens are found in the snippet's own text only, each
// wholly inside one stretch of it.
QList<Part> splitKeys(const Pieces& pieces)
{
    QList<Part> parts;
    bool any = false;
    for (const Piece& p : pieces)
        any = any || (!p.literal && p.text.contains(kKeyOpen));
    if (!any) {
        parts.append(Part{false, Key::Other, pieces});
        return parts;
    }
    Pieces pending;
    const auto flush = [&] {
        if (!joined(pending).isEmpty())
            parts.append(Part{false, Key::Other, pending});
        pending.clear();
    };
    for (const Piece& piece : pieces) {
        if (piece.literal) {
            appendPiece(pending, piece.text, true);
            continue;
        }
        const QString& t = piece.text;
        qsizetype start = 0;
        qsizetype search = 0;
        for (;;) {
            const qsizetype open = t.indexOf(kKeyOpen, search);
            if (open < 0)
                break;
            const qsizetype close = t.indexOf(u'}', open + kKeyOpen.size());
            if (close < 0)
                break;
            const auto it = ContentRenderer::keyMacros().constFind(
                Text::lower(t.mid(open + kKeyOpen.size(), close - open - kKeyOpen.size())));
            search = close + 1;
            if (it == ContentRenderer::keyMacros().constEnd())
                continue;
            appendPiece(pending, t.mid(start, open - start), false);
            flush();
            parts.append(Part{true, *it, {}});
            start = search;
        }
        appendPiece(pending, t.mid(start), false);
    }
    if (!joined(pending).isEmpty() || parts.isEmpty())
        parts.append(Part{false, Key::Other, pending});
    return parts;
}

// Takes the cursor marks out of the snippet's own text; returns where the first one was.
Mark takeCursorMarks(QList<Part>& parts)
{
    Mark mark;
    for (qsizetype pi = 0; pi < parts.size(); ++pi) {
        Pieces& pieces = parts[pi].pieces;
        for (qsizetype k = 0; k < pieces.size(); ++k) {
            if (pieces[k].literal)
                continue;
            QString& t = pieces[k].text;
            if (mark.part < 0) {
                const qsizetype at = t.indexOf(kCursor);
                if (at < 0)
                    continue;
                QString after = t.mid(at + kCursor.size());
                after.remove(kCursor.toString());
                t.truncate(at);
                pieces.insert(k + 1, Piece{after, false});
                mark = Mark{pi, k + 1};
                ++k;
                continue;
            }
            t.remove(kCursor.toString());
        }
    }
    return mark;
}

void adaptCase(QList<Part>& parts, const QString& trigger)
{
    QStringList letters;
    for (const QString& c : Text::graphemes(trigger))
        if (Text::isLetter(c))
            letters << c;
    if (letters.isEmpty())
        return;
    if (letters.size() >= 2 && std::all_of(letters.cbegin(), letters.cend(), isUppercaseCharacter)) {
        for (Part& part : parts)
            for (Piece& piece : part.pieces)
                piece.text = piece.literal ? Text::upper(piece.text) : upperOutsideFillIn(piece.text);
        return;
    }
    if (!isUppercaseCharacter(letters.first()))
        return;
    for (Part& part : parts) {
        if (part.isKey)
            continue;
        for (Piece& piece : part.pieces) {
            if (!piece.text.isEmpty()) {
                piece.text = upperFirstCharacter(piece.text);
                return;
            }
        }
    }
}

QList<Injector::Segment> toSegments(const QList<Part>& parts)
{
    QList<Injector::Segment> out;
    out.reserve(parts.size());
    for (const Part& part : parts)
        out.append(part.isKey ? Injector::Segment::key(part.key)
                              : Injector::Segment::text(joined(part.pieces)));
    return out;
}

QList<Part> toParts(const QList<Injector::Segment>& segments)
{
    QList<Part> parts;
    for (const Injector::Segment& s : segments) {
        if (s.isKey())
            parts.append(Part{true, s.keyValue(), {}});
        else
            parts.append(Part{false, Key::Other, {Piece{s.textValue(), false}}});
    }
    return parts;
}

bool hasLabelledFillIn(const QString& text)
{
    for (auto it = fillInToken().globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QStringView body = m.capturedView().mid(1, m.capturedLength() - 2);
        const QStringView afterColon = body.mid(body.indexOf(u':') + 1);
        // The label is what comes before the first "|"; a token without one has no row.
        if (!afterColon.isEmpty() && afterColon.front() != u'|')
            return true;
    }
    return false;
}

} // namespace

ContentRenderer::ContentRenderer() = default;
ContentRenderer::ContentRenderer(Options options) : m_options(std::move(options)) {}

ContentRenderer::SnippetLookup ContentRenderer::lookupIn(const AppState& state)
{
    return [&state](const QString& trigger) -> std::optional<QString> {
        const auto it = state.triggerIndex().constFind(trigger);
        if (it == state.triggerIndex().constEnd())
            return std::nullopt;
        return it->snippet.content;
    };
}

ContentRenderer::Result ContentRenderer::renderedContent(const Snippet& snippet,
                                                         const QString& typedTrigger) const
{
    RenderPass pass(m_options);
    QList<Part> parts = splitKeys(pass.textStage(snippet.content));
    const Mark mark = takeCursorMarks(parts);
    if (snippet.ignoreCase && snippet.adaptCase)
        adaptCase(parts, typedTrigger);

    Result r;
    // Counted after case adaptation: upper-casing can change lengths (ß becomes SS).
    if (mark.part >= 0) {
        r.cursorBack = Text::graphemeCount(joined(parts[mark.part].pieces.mid(mark.piece)));
        for (qsizetype pi = mark.part + 1; pi < parts.size(); ++pi)
            if (!parts[pi].isKey)
                r.cursorBack += Text::graphemeCount(joined(parts[pi].pieces));
    }
    r.segments = toSegments(parts);
    for (const Part& part : parts) {
        for (const Piece& piece : part.pieces) {
            if (piece.literal && !piece.text.isEmpty())
                r.literalRanges.append(LiteralRange{r.plainText.size(), piece.text.size()});
            else if (!piece.literal && !r.hasFillInTokens)
                r.hasFillInTokens = hasLabelledFillIn(piece.text);
            r.plainText += piece.text;
        }
    }
    return r;
}

QString ContentRenderer::renderTextPlaceholders(const QString& text) const
{
    RenderPass pass(m_options);
    return joined(pass.textStage(text));
}

QString ContentRenderer::resolveNested(const QString& text, const QSet<QString>& visited, int depth) const
{
    RenderPass pass(m_options);
    QStringList path(visited.cbegin(), visited.cend());
    QString out;
    pass.nest(out, text, path, depth);
    return out;
}

QString ContentRenderer::applyTextTransform(const QString& name, const QString& text)
{
    if (name == QLatin1String("upper"))
        return Text::upper(text);
    if (name == QLatin1String("lower"))
        return Text::lower(text);
    if (name == QLatin1String("title"))
        return titleCased(text);
    if (name == QLatin1String("capitalize"))
        return upperFirstCharacter(text);
    if (name == QLatin1String("trim"))
        return Text::trimWhitespace(text);
    return text;
}

QList<Injector::Segment> ContentRenderer::splitKeySegments(const QString& text)
{
    return toSegments(splitKeys({Piece{text, false}}));
}

QList<Injector::Segment> ContentRenderer::adaptCaseSegments(const QList<Injector::Segment>& segments,
                                                            const QString& trigger)
{
    QList<Part> parts = toParts(segments);
    adaptCase(parts, trigger);
    return toSegments(parts);
}

QString ContentRenderer::plainText(const QList<Injector::Segment>& segments)
{
    QString out;
    for (const Injector::Segment& s : segments)
        out += s.textValue();
    return out;
}

const QHash<QString, Key>& ContentRenderer::keyMacros()
{
    static const QHash<QString, Key> macros{
        {QStringLiteral("tab"), Key::Tab},     {QStringLiteral("return"), Key::Return},
        {QStringLiteral("esc"), Key::Escape},  {QStringLiteral("left"), Key::Left},
        {QStringLiteral("right"), Key::Right}, {QStringLiteral("down"), Key::Down},
        {QStringLiteral("up"), Key::Up},       {QStringLiteral("delete"), Key::Backspace},
    };
    return macros;
}

std::optional<ContentRenderer::AIToken> ContentRenderer::findAIToken(const QString& text)
{
    constexpr QStringView open = u"{ai:";
    const qsizetype start = text.indexOf(open);
    if (start < 0)
        return std::nullopt;
    int depth = 0;
    for (qsizetype i = start + open.size(); i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'{') {
            ++depth;
        } else if (c == u'}') {
            if (depth == 0) {
                const qsizetype body = start + open.size();
                return AIToken{text.left(start), text.mid(body, i - body), text.mid(i + 1)};
            }
            --depth;
        }
    }
    return std::nullopt;
}
