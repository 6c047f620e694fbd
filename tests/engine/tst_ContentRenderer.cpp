#include "engine/ContentRenderer.h"
#include "engine/DateTokens.h"
#include "model/TriggerIndex.h"

#include "FakeClipboard.h"

#include <QTest>
#include <QTimeZone>

#include <memory>

namespace {

const QString kNarrowSpace = QStringLiteral("\u202F"); // before AM/PM in the US short time

QDateTime berlin(int y, int mo, int d, int h, int mi, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), QTimeZone("Europe/Berlin"));
}

// Saturday, the day before the clocks go forward in Berlin (02:00 becomes 03:00).
const QDateTime kNow = berlin(2026, 3, 28, 12, 34, 56);

QStringList described(const QList<Injector::Segment>& segments)
{
    QStringList out;
    for (const Injector::Segment& s : segments)
        out << s.describe();
    return out;
}

Snippet snippet(const QString& trigger, const QString& content, const std::optional<QUuid>& group = {})
{
    Snippet s;
    s.trigger = trigger;
    s.content = content;
    s.groupID = group;
    return s;
}

} // namespace

class tst_ContentRenderer : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void init();

    void plainContentUntouched();
    void dateTokens_data();
    void dateTokens();
    void offsetsAcrossMonthEndsAndDst_data();
    void offsetsAcrossMonthEndsAndDst();
    void oneMomentPerRendering();
    void localeFromEnvironment_data();
    void localeFromEnvironment();
    void nesting_data();
    void nesting();
    void nestedTokensRenderedByOuterSnippet();
    void clipboard_data();
    void clipboard();
    void clipboardIsLiteral();
    void keys_data();
    void keys();
    void cursor_data();
    void cursor();
    void caseAdaptation_data();
    void caseAdaptation();
    void fillInSeam_data();
    void fillInSeam();
    void aiTokenSeam();
    void nestedFanOutIsBounded();
    void emptyFanOutTerminates();
    void clipboardGrowthIsCapped();
    void hugeOffsetsInOtherCalendars_data();
    void hugeOffsetsInOtherCalendars();
    void timeBudget();

  private:
    ContentRenderer renderer(const QString& locale = QStringLiteral("en_US"), const QDateTime& now = kNow);
    QString text(const QString& content, const QString& locale = QStringLiteral("en_US"),
                 const QDateTime& now = kNow)
    {
        return renderer(locale, now).renderTextPlaceholders(content);
    }

    QList<Snippet> m_snippets;
    QList<SnippetGroup> m_groups;
    TriggerIndex m_index;
    FakeClipboard m_clipboard;
    int m_clockReads = 0;
};

void tst_ContentRenderer::init()
{
    SnippetGroup g;
    g.triggerPrefix = QStringLiteral(";");
    m_groups = {g};
    m_snippets = {
        snippet(QStringLiteral("a"), QStringLiteral("{snippet:b}")),
        snippet(QStringLiteral("b"), QStringLiteral("{snippet:a}")),
        snippet(QStringLiteral("self"), QStringLiteral("x{snippet:self}")),
        snippet(QStringLiteral("x"), QStringLiteral("X")),
        snippet(QStringLiteral("sig"), QStringLiteral("Regards"), g.id),
        snippet(QStringLiteral("year"), QStringLiteral("{date:yyyy}")),
        snippet(QStringLiteral("tab"), QStringLiteral("{key:tab}")),
        snippet(QStringLiteral("mark"), QStringLiteral("[{cursor}]")),
        snippet(QStringLiteral("clip"), QStringLiteral("{clipboard:upper}")),
    };
    // A chain c0 → c1 → … → c6.
    for (int i = 0; i <= 6; ++i)
        m_snippets << snippet(QStringLiteral("c%1").arg(i),
                              i < 6 ? QStringLiteral("%1{snippet:c%2}").arg(i).arg(i + 1)
                                    : QStringLiteral("6"));
    m_index = TriggerIndex::build(m_snippets, m_groups);
    m_clipboard = FakeClipboard(QStringLiteral("Hello world"));
    m_clockReads = 0;
}

ContentRenderer tst_ContentRenderer::renderer(const QString& locale, const QDateTime& now)
{
    ContentRenderer::Options o;
    o.lookup = [this](const QString& trigger) -> std::optional<QString> {
        const auto it = m_index.triggerIndex.constFind(trigger);
        if (it == m_index.triggerIndex.constEnd())
            return std::nullopt;
        return it->snippet.content;
    };
    o.clipboard = &m_clipboard;
    o.clock = [this, now] {
        ++m_clockReads;
        return now;
    };
    o.locale = locale;
    o.timeZone = QStringLiteral("Europe/Berlin");
    return ContentRenderer(o);
}

void tst_ContentRenderer::plainContentUntouched()
{
    const QString content = QStringLiteral("Plain text with } and {{ braces but no token");
    const ContentRenderer::Result r = renderer().renderedContent(snippet(QStringLiteral("t"), content), "t");
    QCOMPARE(described(r.segments), QStringList{QStringLiteral("text:") + content});
    QCOMPARE(r.plainText, content);
    QCOMPARE(r.cursorBack, 0);
    QVERIFY(!r.declined);
    QCOMPARE(m_clockReads, 0);
    QCOMPARE(m_clipboard.reads, 0);

    // Nothing at all still types one (empty) text segment.
    const ContentRenderer::Result empty =
        renderer().renderedContent(snippet(QStringLiteral("t"), QString()), "t");
    QCOMPARE(described(empty.segments), QStringList{QStringLiteral("text:")});
}

void tst_ContentRenderer::dateTokens_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("expected");

    const QString pm = kNarrowSpace + QStringLiteral("PM");
    QTest::newRow("date") << "en_US"
                          << "{date}"
                          << "Mar 28, 2026";
    QTest::newRow("time") << "en_US"
                          << "{time}"
                          << "12:34" + pm;
    QTest::newRow("datetime is its own token") << "en_US"
                                               << "{datetime}"
                                               << "Mar 28, 2026, 12:34" + pm;
    QTest::newRow("German styles") << "de_DE"
                                   << "{date} {time} {datetime}"
                                   << "28.03.2026 12:34 28.03.2026, 12:34";
    QTest::newRow("POSIX locale name") << "de_DE.UTF-8@euro"
                                       << "{date}"
                                       << "28.03.2026";
    QTest::newRow("pattern") << "en_US"
                             << "{date:yyyy-MM-dd HH:mm:ss}"
                             << "2026-03-28 12:34:56";
    QTest::newRow("pattern uses the locale") << "de_DE"
                                             << "{date:EEEE, d. MMMM}"
                                             << "Samstag, 28. März";
    QTest::newRow("empty pattern") << "en_US"
                                   << "[{date:}]"
                                   << "[]";
    QTest::newRow("rejected pattern is empty") << "en_US"
                                               << "[{date:ooo}][{date:hello}]"
                                               << "[][]";
    QTest::newRow("unclosed pattern stays") << "en_US"
                                            << "{date:yyyy"
                                            << "{date:yyyy";
    QTest::newRow("case-sensitive words") << "en_US"
                                          << "{Date} {DATE:yyyy} {Time+1}"
                                          << "{Date} {DATE:yyyy} {Time+1}";
    QTest::newRow("formatted text is scanned again") << "en_US"
                                                     << "{date:'{date:'}yyyy}"
                                                     << "2026";
    QTest::newRow("opener completed by a replacement") << "en_US"
                                                       << "{{date:'date:'}yyyy}"
                                                       << "2026";
    QTest::newRow("scan again to nothing") << "en_US"
                                           << "<{date:'{date:'}}>"
                                           << "<>";
    QTest::newRow("offset not taken for a pattern") << "en_US"
                                                    << "{date+1d}"
                                                    << "Mar 29, 2026";
    QTest::newRow("minutes by default") << "en_US"
                                        << "{time+90}"
                                        << "2:04" + pm;
    QTest::newRow("hours back") << "en_US"
                                << "{time-2h}"
                                << "10:34" + kNarrowSpace + "AM";
    QTest::newRow("minutes named") << "en_US"
                                   << "{time+5m:HH:mm}"
                                   << "12:39";
    QTest::newRow("weeks with pattern") << "en_US"
                                        << "{date+1w:yyyy-MM-dd}"
                                        << "2026-04-04";
    QTest::newRow("month back, medium style") << "en_US"
                                              << "{date-1m}"
                                              << "Feb 28, 2026";
    QTest::newRow("years") << "en_US"
                           << "{date+2y:yyyy}"
                           << "2028";
    QTest::newRow("zero is today") << "en_US"
                                   << "{date+0}"
                                   << "Mar 28, 2026";
    QTest::newRow("unknown unit letter stays") << "en_US"
                                               << "{date+1q}"
                                               << "{date+1q}";
    QTest::newRow("empty offset pattern stays") << "en_US"
                                                << "{time+5:}"
                                                << "{time+5:}";
    QTest::newRow("no digits stays") << "en_US"
                                     << "{time+}{date-h}"
                                     << "{time+}{date-h}";
    QTest::newRow("number too long counts as zero") << "en_US"
                                                    << "{time+99999999999999999999:HH:mm}"
                                                    << "12:34";
    QTest::newRow("offset the calendar cannot apply is now") << "en_US"
                                                             << "{date+3000000000:yyyy-MM-dd}"
                                                             << "2026-03-28";
    // Offsets that leave the years 1 to 9999 give the unshifted date, in any calendar.
    QTest::newRow("largest year offset") << "en_US" << "{date-2147483647y:yyyy-MM-dd}" << "2026-03-28";
    QTest::newRow("10000 years on") << "en_US" << "{date+10000y:yyyy-MM-dd}" << "2026-03-28";
    QTest::newRow("to year 9999") << "en_US" << "{date+7973y:yyyy-MM-dd}" << "9999-03-28";
    QTest::newRow("past year 9999") << "en_US" << "{date+7974y:yyyy-MM-dd}" << "2026-03-28";
    QTest::newRow("weeks past the range") << "en_US" << "{date+521800w:yyyy}" << "2026";
    QTest::newRow("token completed by a replacement") << "en_US"
                                                      << "{time+1{time+0:mm}:HH:mm}"
                                                      << "14:48";
    QTest::newRow("many tokens") << "en_US"
                                 << "{date:yy}{time+1:mm}{date:yy}{time+2:mm}{date-1d:dd}"
                                 << "2635263627";
}

void tst_ContentRenderer::dateTokens()
{
    QFETCH(QString, locale);
    QFETCH(QString, content);
    QFETCH(QString, expected);
    QCOMPARE(text(content, locale), expected);
}

void tst_ContentRenderer::offsetsAcrossMonthEndsAndDst_data()
{
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("expected");

    const QString p = QStringLiteral(":yyyy-MM-dd HH:mm");
    QTest::newRow("Jan 31 + 1 month") << berlin(2026, 1, 31, 9, 0) << "{date+1m" + p + "}"
                                      << "2026-02-28 09:00";
    QTest::newRow("leap year") << berlin(2028, 1, 31, 9, 0) << "{date+1m" + p + "}"
                               << "2028-02-29 09:00";
    QTest::newRow("Feb 29 + 1 year") << berlin(2028, 2, 29, 9, 0) << "{date+1y" + p + "}"
                                     << "2029-02-28 09:00";
    QTest::newRow("Mar 31 - 1 month") << berlin(2026, 3, 31, 9, 0) << "{date-1m" + p + "}"
                                      << "2026-02-28 09:00";
    QTest::newRow("Dec 31 + 1 day") << berlin(2026, 12, 31, 23, 30) << "{date+1" + p + "}"
                                    << "2027-01-01 23:30";
    QTest::newRow("day keeps wall time into summer time") << kNow << "{date+1d" + p + "}"
                                                          << "2026-03-29 12:34";
    QTest::newRow("24 hours are 24 hours") << kNow << "{time+24h" + p + "}"
                                           << "2026-03-29 13:34";
    QTest::newRow("minutes across the gap") << berlin(2026, 3, 29, 1, 50) << "{time+20" + p + "}"
                                            << "2026-03-29 03:10";
    QTest::newRow("day back out of winter time") << berlin(2026, 10, 26, 12, 0) << "{date-1d" + p + "}"
                                                 << "2026-10-25 12:00";
}

void tst_ContentRenderer::offsetsAcrossMonthEndsAndDst()
{
    QFETCH(QDateTime, now);
    QFETCH(QString, content);
    QFETCH(QString, expected);
    QCOMPARE(text(content, QStringLiteral("en_US"), now), expected);
}

void tst_ContentRenderer::oneMomentPerRendering()
{
    // A clock that moves a minute on every read: all tokens must still agree.
    QDateTime t = kNow;
    ContentRenderer::Options o;
    o.clock = [&] {
        ++m_clockReads;
        t = t.addSecs(60);
        return t;
    };
    o.locale = QStringLiteral("en_US");
    o.timeZone = QStringLiteral("Europe/Berlin");
    const ContentRenderer r(o);
    QCOMPARE(r.renderTextPlaceholders(QStringLiteral("{date:HH:mm} {time+0:HH:mm} {date+0:HH:mm}")),
             QStringLiteral("12:35 12:35 12:35"));
    QCOMPARE(m_clockReads, 1);
    // The next rendering reads the clock again.
    QCOMPARE(r.renderTextPlaceholders(QStringLiteral("{date:HH:mm}")), QStringLiteral("12:36"));
}

void tst_ContentRenderer::localeFromEnvironment_data()
{
    QTest::addColumn<QByteArray>("lcAll");
    QTest::addColumn<QByteArray>("lcTime");
    QTest::addColumn<QByteArray>("lang");
    QTest::addColumn<QString>("expected");
    QTest::newRow("LC_ALL wins") << QByteArray("de_DE.UTF-8") << QByteArray("en_US.UTF-8")
                                 << QByteArray("fr_FR") << "28.03.2026";
    QTest::newRow("then LC_TIME") << QByteArray() << QByteArray("de_DE.UTF-8") << QByteArray("en_US.UTF-8")
                                  << "28.03.2026";
    QTest::newRow("then LANG") << QByteArray() << QByteArray() << QByteArray("fr_FR.UTF-8") << "28 mars 2026";
    QTest::newRow("C") << QByteArray() << QByteArray() << QByteArray("C.UTF-8") << "Mar 28, 2026";
    QTest::newRow("nothing") << QByteArray() << QByteArray() << QByteArray() << "Mar 28, 2026";
}

void tst_ContentRenderer::localeFromEnvironment()
{
    QFETCH(QByteArray, lcAll);
    QFETCH(QByteArray, lcTime);
    QFETCH(QByteArray, lang);
    QFETCH(QString, expected);
    const QByteArray saved[3] = {qgetenv("LC_ALL"), qgetenv("LC_TIME"), qgetenv("LANG")};
    const char* names[3] = {"LC_ALL", "LC_TIME", "LANG"};
    const QByteArray values[3] = {lcAll, lcTime, lang};
    for (int i = 0; i < 3; ++i) {
        if (values[i].isEmpty())
            qunsetenv(names[i]);
        else
            qputenv(names[i], values[i]);
    }
    const QString rendered = text(QStringLiteral("{date}"), QString());
    for (int i = 0; i < 3; ++i) {
        if (saved[i].isEmpty())
            qunsetenv(names[i]);
        else
            qputenv(names[i], saved[i]);
    }
    QCOMPARE(rendered, expected);
}

void tst_ContentRenderer::nesting_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("expected");
    QTest::newRow("cycle A→B→A stops at the second B") << "{snippet:b}"
                                                       << "{snippet:b}";
    QTest::newRow("self includes itself once more") << "x{snippet:self}"
                                                    << "xx{snippet:self}";
    QTest::newRow("chain: five levels, the sixth stays") << "{snippet:c1}"
                                                         << "12345{snippet:c6}";
    QTest::newRow("side by side twice") << "{snippet:x}-{snippet:x}"
                                        << "X-X";
    QTest::newRow("missing trigger stays") << "{snippet:nope}"
                                           << "{snippet:nope}";
    QTest::newRow("effective trigger with group prefix") << "{snippet:;sig} {snippet:sig}"
                                                         << "Regards {snippet:sig}";
    QTest::newRow("exact name: no trimming, case-sensitive") << "{snippet: x}{snippet:X}"
                                                             << "{snippet: x}{snippet:X}";
    QTest::newRow("unclosed stays") << "a {snippet:x"
                                    << "a {snippet:x";
    QTest::newRow("empty name") << "{snippet:}"
                                << "{snippet:}";
}

void tst_ContentRenderer::nesting()
{
    QFETCH(QString, content);
    QFETCH(QString, expected);
    QCOMPARE(renderer().resolveNested(content), expected);
    QCOMPARE(renderer().renderedContent(snippet(QStringLiteral("t"), content), "t").plainText, expected);
}

void tst_ContentRenderer::nestedTokensRenderedByOuterSnippet()
{
    // Nested content is included raw; its tokens belong to the outer rendering.
    const ContentRenderer::Result r = renderer().renderedContent(
        snippet(QStringLiteral("t"),
                QStringLiteral("{snippet:year}{snippet:tab}{snippet:mark}{snippet:clip}")),
        "t");
    QCOMPARE(described(r.segments), (QStringList{"text:2026", "key:Tab", "text:[]HELLO WORLD"}));
    QCOMPARE(r.cursorBack, 12);
    // A path already holding a trigger treats it as open.
    QCOMPARE(renderer().resolveNested(QStringLiteral("{snippet:x}"), {QStringLiteral("x")}),
             QStringLiteral("{snippet:x}"));
    // Past the depth limit nothing is resolved.
    QCOMPARE(renderer().resolveNested(QStringLiteral("{snippet:x}"), {}, 5), QStringLiteral("{snippet:x}"));
}

void tst_ContentRenderer::clipboard_data()
{
    QTest::addColumn<QString>("clip");
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << "Hello world"
                           << "<{clipboard}>"
                           << "<Hello world>";
    QTest::newRow("upper") << "Hello world"
                           << "{clipboard:upper}"
                           << "HELLO WORLD";
    QTest::newRow("lower") << "Hello World"
                           << "{clipboard:lower}"
                           << "hello world";
    QTest::newRow("title") << "hELLO wORLD"
                           << "{clipboard:title}"
                           << "Hello World";
    QTest::newRow("capitalize") << "hello World"
                                << "{clipboard:capitalize}"
                                << "Hello World";
    QTest::newRow("capitalize ß") << "ßx"
                                  << "{clipboard:capitalize}"
                                  << "SSx";
    QTest::newRow("trim") << " \t hi there \n\n"
                          << "[{clipboard:trim}]"
                          << "[hi there]";
    QTest::newRow("unknown name unchanged") << "Hello world"
                                            << "{clipboard:foo}"
                                            << "Hello world";
    QTest::newRow("capitals in the name stay") << "Hello world"
                                               << "{clipboard:Upper}"
                                               << "{clipboard:Upper}";
    QTest::newRow("digits in the name stay") << "Hello world"
                                             << "{clipboard:up2}"
                                             << "{clipboard:up2}";
    QTest::newRow("empty clipboard: all vanish") << ""
                                                 << "a{clipboard}b{clipboard:upper}c"
                                                 << "abc";
    QTest::newRow("both kinds") << "Hi"
                                << "{clipboard:lower} {clipboard} {clipboard:upper}"
                                << "hi Hi HI";
}

void tst_ContentRenderer::clipboard()
{
    QFETCH(QString, clip);
    QFETCH(QString, content);
    QFETCH(QString, expected);
    m_clipboard.value = clip;
    QCOMPARE(text(content), expected);
    QCOMPARE(m_clipboard.reads, 1);
    QCOMPARE(ContentRenderer::applyTextTransform(QStringLiteral("capitalize"), QString()), QString());
}

void tst_ContentRenderer::clipboardIsLiteral()
{
    m_clipboard.value = QStringLiteral("{key:tab}{cursor}{field:Name}{date:yyyy}{snippet:x}{clipboard}");
    const Snippet s = snippet(QStringLiteral("t"), QStringLiteral("[{clipboard}]{cursor}!"));
    const ContentRenderer::Result r = renderer().renderedContent(s, "t");
    QCOMPARE(described(r.segments),
             QStringList{QStringLiteral("text:[") + m_clipboard.value + QStringLiteral("]!")});
    QCOMPARE(r.cursorBack, 1);
    QVERIFY(!r.hasFillInTokens);
    QCOMPARE(r.literalRanges, (QList<ContentRenderer::LiteralRange>{{1, m_clipboard.value.size()}}));
    QCOMPARE(m_clipboard.reads, 1);

    // Clipboard text cannot complete a token the snippet began either.
    m_clipboard.value = QStringLiteral("tab}");
    const ContentRenderer::Result half =
        renderer().renderedContent(snippet(QStringLiteral("t"), QStringLiteral("{key:{clipboard}")), "t");
    QCOMPARE(described(half.segments), QStringList{QStringLiteral("text:{key:tab}")});
}

void tst_ContentRenderer::keys_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("no key token: one segment") << "plain {cursor}" << QStringList{"text:plain {cursor}"};
    QTest::newRow("empty") << "" << QStringList{"text:"};
    QTest::newRow("name case-insensitive") << "{key:TAB}{key:tab}" << QStringList{"key:Tab", "key:Tab"};
    QTest::newRow("no empty texts between keys")
        << "a{key:tab}{key:tab}b" << QStringList{"text:a", "key:Tab", "key:Tab", "text:b"};
    QTest::newRow("all names") << "{key:return}{key:esc}{key:left}{key:right}{key:up}{key:down}{key:delete}"
                               << QStringList{"key:Return", "key:Escape", "key:Left",     "key:Right",
                                              "key:Up",     "key:Down",   "key:Backspace"};
    QTest::newRow("unknown name stays in the text")
        << "x{key:space}y{key:tab}" << QStringList{"text:x{key:space}y", "key:Tab"};
    QTest::newRow("unclosed") << "a{key:tab" << QStringList{"text:a{key:tab"};
    QTest::newRow("nested opener") << "{key:{key:tab}" << QStringList{"text:{key:{key:tab}"};
    QTest::newRow("only unknown") << "{key:f13}" << QStringList{"text:{key:f13}"};
}

void tst_ContentRenderer::keys()
{
    QFETCH(QString, content);
    QFETCH(QStringList, expected);
    QCOMPARE(described(ContentRenderer::splitKeySegments(content)), expected);
}

void tst_ContentRenderer::cursor_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<QStringList>("segments");
    QTest::addColumn<int>("cursorBack");
    QTest::newRow("one mark") << "Hello {cursor}world" << QStringList{"text:Hello world"} << 5;
    QTest::newRow("marks across keys")
        << "a{cursor}b{key:tab}c{cursor}d" << QStringList{"text:ab", "key:Tab", "text:cd"} << 3;
    QTest::newRow("later marks vanish") << "{cursor}{cursor}xy{cursor}" << QStringList{"text:xy"} << 2;
    QTest::newRow("no mark") << "abc" << QStringList{"text:abc"} << 0;
    QTest::newRow("mark at the end") << "abc{cursor}" << QStringList{"text:abc"} << 0;
    QTest::newRow("characters, not units")
        << "{cursor}\U0001F468\u200D\U0001F469\u200D\U0001F467e\u0301"
        << QStringList{"text:\U0001F468\u200D\U0001F469\u200D\U0001F467e\u0301"} << 2;
    QTest::newRow("mark just before a key")
        << "ab{cursor}{key:return}" << QStringList{"text:ab", "key:Return"} << 0;
}

void tst_ContentRenderer::cursor()
{
    QFETCH(QString, content);
    QFETCH(QStringList, segments);
    QFETCH(int, cursorBack);
    const ContentRenderer::Result r = renderer().renderedContent(snippet(QStringLiteral("t"), content), "t");
    QCOMPARE(described(r.segments), segments);
    QCOMPARE(r.cursorBack, cursorBack);
}

void tst_ContentRenderer::caseAdaptation_data()
{
    QTest::addColumn<bool>("ignoreCase");
    QTest::addColumn<bool>("adaptCase");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("content");
    QTest::addColumn<QStringList>("segments");
    QTest::addColumn<int>("cursorBack");
    QTest::newRow("all capitals") << true << true << ";SIG"
                                  << "best regards" << QStringList{"text:BEST REGARDS"} << 0;
    QTest::newRow("capitalised") << true << true << ";Sig"
                                 << "best regards" << QStringList{"text:Best regards"} << 0;
    QTest::newRow("one capital letter") << true << true << ";S"
                                        << "best regards" << QStringList{"text:Best regards"} << 0;
    QTest::newRow("lower case") << true << true << ";s"
                                << "best Regards" << QStringList{"text:best Regards"} << 0;
    QTest::newRow("ignoreCase off") << false << true << ";SIG"
                                    << "best" << QStringList{"text:best"} << 0;
    QTest::newRow("adaptCase off") << true << false << ";SIG"
                                   << "best" << QStringList{"text:best"} << 0;
    QTest::newRow("no letters") << true << true << ";;12"
                                << "best" << QStringList{"text:best"} << 0;
    QTest::newRow("first character, not first letter") << true << true << "Nt"
                                                       << "(note)" << QStringList{"text:(note)"} << 0;
    QTest::newRow("keys untouched, first text capitalised")
        << true << true << "Sig"
        << "{key:tab}hello{key:tab}world" << QStringList{"key:Tab", "text:Hello", "key:Tab", "text:world"}
        << 0;
    QTest::newRow("ß grows") << true << true << "SIG"
                             << "straße" << QStringList{"text:STRASSE"} << 0;
    QTest::newRow("caret counted after adaptation") << true << true << "SIG"
                                                    << "a{cursor}ßb" << QStringList{"text:ASSB"} << 3;
    QTest::newRow("capitalised first character grows") << true << true << "Sig"
                                                       << "{cursor}ßb" << QStringList{"text:SSb"} << 3;
    QTest::newRow("fill-in tokens keep their words")
        << true << true << "SIG"
        << "dear {field:Name}, {menu:Size|s|m}" << QStringList{"text:DEAR {field:Name}, {menu:Size|s|m}"}
        << 0;
}

void tst_ContentRenderer::caseAdaptation()
{
    QFETCH(bool, ignoreCase);
    QFETCH(bool, adaptCase);
    QFETCH(QString, typed);
    QFETCH(QString, content);
    QFETCH(QStringList, segments);
    QFETCH(int, cursorBack);
    Snippet s = snippet(QStringLiteral(";sig"), content);
    s.ignoreCase = ignoreCase;
    s.adaptCase = adaptCase;
    const ContentRenderer::Result r = renderer().renderedContent(s, typed);
    QCOMPARE(described(r.segments), segments);
    QCOMPARE(r.cursorBack, cursorBack);
    QCOMPARE(r.plainText, ContentRenderer::plainText(r.segments));
}

void tst_ContentRenderer::fillInSeam_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<bool>("hasFields");
    QTest::newRow("field") << "Dear {field:Name}," << true;
    QTest::newRow("menu") << "{menu:Size|S|M|L}" << true;
    QTest::newRow("field with default") << "{field:Name|Bob}" << true;
    QTest::newRow("empty label") << "{field:|x}" << false;
    QTest::newRow("no body") << "{field:}" << false;
    QTest::newRow("none") << "{fields:x}" << false;
}

void tst_ContentRenderer::fillInSeam()
{
    QFETCH(QString, content);
    QFETCH(bool, hasFields);
    const ContentRenderer::Result r = renderer().renderedContent(snippet(QStringLiteral("t"), content), "t");
    QCOMPARE(r.hasFillInTokens, hasFields);
    QCOMPARE(r.plainText, content); // left for the form
}

void tst_ContentRenderer::aiTokenSeam()
{
    const auto t =
        ContentRenderer::findAIToken(QStringLiteral("Dear {ai:reword {clipboard} politely} Regards {ai:x}"));
    QVERIFY(t);
    QCOMPARE(t->before, QStringLiteral("Dear "));
    QCOMPARE(t->instruction, QStringLiteral("reword {clipboard} politely"));
    QCOMPARE(t->after, QStringLiteral(" Regards {ai:x}"));
    QVERIFY(!ContentRenderer::findAIToken(QStringLiteral("{ai:never {closed}")));
    QVERIFY(!ContentRenderer::findAIToken(QStringLiteral("no token")));
}

void tst_ContentRenderer::nestedFanOutIsBounded()
{
    // Sixteen copies of the next level, five levels deep, over a kilobyte at the bottom:
    // a billion characters if nothing stopped it.
    QList<Snippet> list;
    for (int level = 0; level < 5; ++level)
        list << snippet(QStringLiteral("f%1").arg(level),
                        QStringLiteral("{snippet:f%1}").arg(level + 1).repeated(16));
    list << snippet(QStringLiteral("f5"), QString(1000, u'z'));
    m_index = TriggerIndex::build(list, {});

    const QString content = QStringLiteral("{snippet:f0}{date:yyyy}");
    const ContentRenderer::Result r = renderer().renderedContent(snippet(QStringLiteral("t"), content), "t");
    QVERIFY(r.plainText.size() <= content.size() + ContentRenderer::kRenderBudget);
    QVERIFY(r.plainText.size() > ContentRenderer::kRenderBudget / 2);
    QVERIFY(r.plainText.contains(QLatin1String("{snippet:f")));
    // Once the budget is spent, every later token stays as written.
    QVERIFY(r.plainText.endsWith(QLatin1String("{date:yyyy}")));
}

void tst_ContentRenderer::emptyFanOutTerminates()
{
    // A billion inclusions that add nothing: the budget counts each one.
    QList<Snippet> list;
    for (int level = 0; level < 5; ++level)
        list << snippet(QStringLiteral("e%1").arg(level),
                        QStringLiteral("{snippet:e%1}").arg(level + 1).repeated(64));
    list << snippet(QStringLiteral("e5"), QString());
    m_index = TriggerIndex::build(list, {});
    const QString out = renderer().resolveNested(QStringLiteral("{snippet:e0}"));
    QVERIFY(out.contains(QLatin1String("{snippet:e")));
    QVERIFY(out.size() <= ContentRenderer::kRenderBudget);
}

void tst_ContentRenderer::clipboardGrowthIsCapped()
{
    m_clipboard.value = QString(100000, u'c');
    const QString content = QStringLiteral("{clipboard}").repeated(20);
    const ContentRenderer::Result r = renderer().renderedContent(snippet(QStringLiteral("t"), content), "t");
    // Ten copies fit in the budget; the rest stay as written.
    QCOMPARE(r.literalRanges, (QList<ContentRenderer::LiteralRange>{{0, 10 * m_clipboard.value.size()}}));
    QCOMPARE(r.plainText, m_clipboard.value.repeated(10) + QStringLiteral("{clipboard}").repeated(10));
    QCOMPARE(m_clipboard.reads, 1);

    // A clipboard larger than the whole budget is never inserted.
    m_clipboard.value = QString(ContentRenderer::kRenderBudget + 1, u'c');
    QCOMPARE(text(QStringLiteral("<{clipboard:upper}{clipboard}>")),
             QStringLiteral("<{clipboard:upper}{clipboard}>"));
}

void tst_ContentRenderer::hugeOffsetsInOtherCalendars_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("token");
    // Thai: Buddhist calendar; Saudi Arabia: Islamic (Umm al-Qura); Iran: Persian.
    for (const char* locale : {"th_TH", "ar_SA", "fa_IR"}) {
        for (const char* token : {"{date+2147483647d:yyyy-MM-dd}", "{date-2147483647y:yyyy-MM-dd}",
                                  "{date+3652501d:yyyy-MM-dd}", "{date-120001m:yyyy-MM-dd}",
                                  "{time+2147483648:yyyy-MM-dd}", "{time-87660001h:yyyy-MM-dd}"})
            QTest::addRow("%s %s", locale, token) << QString::fromLatin1(locale) << QString::fromLatin1(token);
    }
}

void tst_ContentRenderer::hugeOffsetsInOtherCalendars()
{
    QFETCH(QString, locale);
    QFETCH(QString, token);
    // Unshifted: today in the same calendar and digits.
    QCOMPARE(text(token, locale), text(QStringLiteral("{date:yyyy-MM-dd}"), locale));
}

void tst_ContentRenderer::timeBudget()
{
    // A rendering that would take far longer than its time budget stops where the time ran
    // out: every token left stays as written, and the keystroke is not held up.
    ContentRenderer::Options o;
    o.locale = QStringLiteral("ar_SA");
    o.timeZone = QStringLiteral("Asia/Riyadh");
    o.clock = [] { return kNow; };
    o.lookup = [](const QString&) { return std::nullopt; };
    o.timeBudgetMs = 1;
    const QString content = QStringLiteral("{date+3652000d:yyyy}{date-1d}{time+1h}{date:EEEE}").repeated(20000);
    const QString out = ContentRenderer(o).renderTextPlaceholders(content);
    QVERIFY(out.endsWith(QLatin1String("{date+3652000d:yyyy}{date-1d}{time+1h}{date:EEEE}")));
    o.timeBudgetMs = 0;
    QCOMPARE(ContentRenderer(o).renderTextPlaceholders(QStringLiteral("a{date}b{date:yyyy}")),
             QStringLiteral("a{date}b{date:yyyy}"));
}

QTEST_GUILESS_MAIN(tst_ContentRenderer)
#include "tst_ContentRenderer.moc"
