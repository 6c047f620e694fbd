#pragma once

#include "engine/Injector.h"
#include "model/Models.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <functional>
#include <optional>

class AppState;
class Clipboard;

// Turns a snippet's stored content into what the injector types. The content is a small
// template language:
//
//   {snippet:TRIGGER}      the content of the snippet with that effective trigger, nested
//                          at most five levels deep; a snippet already open on the path,
//                          or a trigger nobody has, stays as written
//   {date} {time} {datetime}            now, in the user's medium date / short time
//   {date:PATTERN}                      now, in a Unicode date pattern (may be empty)
//   {time+N} {time-2h} {time+N:PATTERN} now plus or minus minutes (m) or hours (h)
//   {date+N} {date-1m} {date+1w:PATTERN} now plus or minus days (d), weeks (w),
//                                        months (m) or years (y)
//   {clipboard} {clipboard:upper|lower|title|capitalize|trim}
//   {key:tab|return|esc|left|right|up|down|delete}   one key press
//   {cursor}               where the caret ends (the first mark; later ones vanish)
//
// Fill-in tokens ({field:…}, {menu:…}) are left in the text for the form, and {ai:…}
// tokens for the AI path; anything else between braces is typed as written. Token words
// are case-sensitive. Rendering never fails: every malformed token is typed as written.
//
// All date tokens of one rendering share one moment. Dates follow the user's locale
// (LC_ALL, LC_TIME, LANG) and time zone (TZ or /etc/localtime) unless the options pin them.
//
// Two protections the plain template rules lack:
//  - Clipboard text is inserted as literal text: braces in it never become key presses,
//    caret moves or fill-in fields.
//  - A rendering may add at most kRenderBudget UTF-16 units to the stored content
//    (nested inclusions count their whole content, date formats their pattern); every
//    token past that stays as written. So a snippet that nests its neighbours many times
//    over can neither exhaust memory nor stall the keystroke that triggered it.
//  - A rendering may take at most timeBudgetMs of work (some calendars are slow to
//    format or shift dates); every token left when that time is up stays as written.
//  - A date offset that would leave the years 1 to 9999 gives the unshifted moment.
//
// Main thread; keeps no state between renderings.
class ContentRenderer
{
  public:
    // The content of the active snippet filed under an effective trigger.
    using SnippetLookup = std::function<std::optional<QString>(const QString& trigger)>;

    struct Options
    {
        // Where nested snippets come from; unset: the trigger index of AppState::shared().
        SnippetLookup lookup;
        // Unset: the clipboard reads as empty.
        const Clipboard* clipboard = nullptr;
        // Unset: the wall clock.
        std::function<QDateTime()> clock;
        // A locale name such as "de_DE" or "de_DE.UTF-8"; empty: from the environment.
        QString locale;
        // An IANA zone such as "Europe/Berlin"; empty: the system's.
        QString timeZone;
        // How long one rendering may work on its tokens, in milliseconds.
        int timeBudgetMs = kRenderTimeBudgetMs;
    };

    // A stretch of the plain text that came from outside the snippet (the clipboard).
    struct LiteralRange
    {
        qsizetype start = 0;
        qsizetype length = 0;
        bool operator==(const LiteralRange&) const = default;
    };

    struct Result
    {
        QList<Injector::Segment> segments;
        // Left-arrow presses after the last segment.
        int cursorBack = 0;
        // The texts of the segments joined: what the last expansion records and the
        // fill-in form works on.
        QString plainText;
        // Where the clipboard's text sits in plainText; a fill-in scan must not find
        // tokens overlapping these.
        QList<LiteralRange> literalRanges;
        // The snippet's own text (not the clipboard's) holds a fill-in token with a label.
        bool hasFillInTokens = false;
        // The content cannot be typed as it stands. Plain content never declines (a
        // malformed token is typed as written); kept so the engine's "declined: no match"
        // path has one place to look.
        bool declined = false;
    };

    // The first {ai:…} token, its closing brace found by counting nested braces.
    struct AIToken
    {
        QString before;
        QString instruction;
        QString after;
    };

    static constexpr qsizetype kRenderBudget = 1 << 20;
    static constexpr int kRenderTimeBudgetMs = 250;
    static constexpr int kMaxNestingDepth = 4;

    ContentRenderer();
    explicit ContentRenderer(Options options);

    // Looks nested snippets up in `state`'s trigger index (which must outlive the renderer).
    static SnippetLookup lookupIn(const AppState& state);

    // The whole pipeline for one snippet: text stage, key stage, cursor mark and, when the
    // snippet's ignoreCase and adaptCase are both set, case adaptation to `typedTrigger`.
    Result renderedContent(const Snippet& snippet, const QString& typedTrigger) const;
    Result render(const Snippet& snippet, const QString& typedTrigger) const
    {
        return renderedContent(snippet, typedTrigger);
    }

    // The text stage: nesting, dates and times, clipboard.
    QString renderTextPlaceholders(const QString& text) const;
    // The nesting stage alone.
    QString resolveNested(const QString& text, const QSet<QString>& visited = {}, int depth = 0) const;

    static QString applyTextTransform(const QString& name, const QString& text);
    static QList<Injector::Segment> splitKeySegments(const QString& text);
    static QList<Injector::Segment> adaptCaseSegments(const QList<Injector::Segment>& segments,
                                                      const QString& trigger);
    static QString plainText(const QList<Injector::Segment>& segments);
    static const QHash<QString, Key>& keyMacros();

    // nullopt when the text holds no "{ai:" or its token is never closed.
    static std::optional<AIToken> findAIToken(const QString& text);

  private:
    friend class RenderPass;
    Options m_options;
};
