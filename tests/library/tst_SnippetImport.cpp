// The import parsers for CSV and JSON, and the dispatch on extension and content.
#include "library/SnippetImport.h"

#include "ImportDescribe.h"
#include "PlistFixtures.h"

#include <QTest>

using Rows = QList<QStringList>;

class tst_SnippetImport : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void csvRows_data();
    void csvRows();
    void parseCSV_data();
    void parseCSV();
    void encodings_data();
    void encodings();
    void taggedLayout_data();
    void taggedLayout();
    void taggedRowsKeepRowDefaults();
    void dispatch_data();
    void dispatch();
    void jsonKeepsEveryField();
    void rowSnippetsHaveDefaultsAndFreshIds();
    void errorTexts();
};

void tst_SnippetImport::csvRows_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<Rows>("rows");

    QTest::newRow("empty text") << QString() << Rows{};
    QTest::newRow("LF") << "a,b\nc,d" << Rows{{"a", "b"}, {"c", "d"}};
    QTest::newRow("CRLF, one row per pair") << "a,b\r\nc,d\r\n" << Rows{{"a", "b"}, {"c", "d"}};
    QTest::newRow("CR alone") << "a,b\rc,d" << Rows{{"a", "b"}, {"c", "d"}};
    QTest::newRow("last row without line end") << "a,b\nc" << Rows{{"a", "b"}, {"c"}};
    QTest::newRow("final line end adds no row") << "a,b\n" << Rows{{"a", "b"}};
    QTest::newRow("empty line in the middle") << "a\n\nb" << Rows{{"a"}, {""}, {"b"}};
    QTest::newRow("trailing comma keeps the empty cell") << "a," << Rows{{"a", ""}};
    QTest::newRow("quotes anywhere in a cell") << "ab\"c,d\"e" << Rows{{"abc,de"}};
    QTest::newRow("doubled quote inside quotes") << "\"a\"\"b\",c" << Rows{{"a\"b", "c"}};
    QTest::newRow("line end inside quotes") << "\"x\ny\",z\n" << Rows{{"x\ny", "z"}};
    QTest::newRow("CRLF inside quotes kept") << "\"x\r\ny\"" << Rows{{"x\r\ny"}};
    QTest::newRow("cells never trimmed") << " a , b " << Rows{{" a ", " b "}};
    QTest::newRow("stray quote runs to the end") << "a,\"b\nc,d" << Rows{{"a", "b\nc,d"}};
    QTest::newRow("quoted empty cell alone is dropped at the end") << "a\n\"\"" << Rows{{"a"}};
}

void tst_SnippetImport::csvRows()
{
    QFETCH(QString, text);
    QFETCH(Rows, rows);
    QCOMPARE(SnippetImport::csvRows(text), rows);
}

void tst_SnippetImport::parseCSV_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("two columns") << QByteArray("sig,Best\nomw,On my way\n")
                                 << QStringList{"sig=Best", "omw=On my way"};
    QTest::newRow("further cells ignored") << QByteArray("a,b,c") << QStringList{"a=b"};
    QTest::newRow("trigger and content untrimmed")
        << QByteArray(" sig , Best ") << QStringList{" sig = Best "};
    QTest::newRow("rows with an empty cell dropped")
        << QByteArray("sig,\n,Best\nomw,way") << QStringList{"omw=way"};
    QTest::newRow("header in any case with spaces")
        << QByteArray("  SHORTCUT ,\tPhrase \nsig,Best") << QStringList{"sig=Best"};
    QTest::newRow("header after blank rows")
        << QByteArray("\n,\nkeyword,plain text\nsig,Best") << QStringList{"sig=Best"};
    QTest::newRow("Name is no header")
        << QByteArray("Name,Phrase\nsig,Best") << QStringList{"Name=Phrase", "sig=Best"};
    QTest::newRow("header words only in the first two cells")
        << QByteArray("id,trigger,content\nsig,Best") << QStringList{"id=trigger", "sig=Best"};
    QTest::newRow("only blank lines") << QByteArray("\n\n,\n") << QStringList{"!malformed"};
    QTest::newRow("no row with two cells") << QByteArray("a\nb\n") << QStringList{"!malformed"};
    QTest::newRow("only a header") << QByteArray("trigger,content\n") << QStringList{"!malformed"};
    QTest::newRow("empty file") << QByteArray() << QStringList{"!malformed"};
    QTest::newRow("quote left open") << QByteArray("sig,\"Best\nomw,On my way\n")
                                     << QStringList{"!malformed"};
    QTest::newRow("quoted cells with commas and line ends")
        << QByteArray("sig,\"Best,\nMe\"\n\"a\"\"b\",c") << QStringList{"sig=Best,\nMe", "a\"b=c"};
    // Spreadsheets in many locales write semicolons or tabs.
    QTest::newRow("semicolons") << QByteArray("sig;Best regards\nomw;\"On my way, soon\"")
                                << QStringList{"sig=Best regards", "omw=On my way, soon"};
    QTest::newRow("tabs") << QByteArray("sig\tBest; regards\nomw\tway")
                          << QStringList{"sig=Best; regards", "omw=way"};
    QTest::newRow("semicolon and tab tied: the first seen")
        << QByteArray("sig;Best\tregards") << QStringList{"sig=Best\tregards"};
    QTest::newRow("a tie keeps commas")
        << QByteArray("sig,Best;regards\nomw;x,y") << QStringList{"sig=Best;regards", "omw;x=y"};
    // The whole file decides, not its first line.
    QTest::newRow("comma file under a title holding a semicolon")
        << QByteArray("My snippets; exported\nsig,Best\nomw,On my way\naddr,1 Main St\n")
        << QStringList{"sig=Best", "omw=On my way", "addr=1 Main St"};
    QTest::newRow("comma file under a title holding a tab")
        << QByteArray("Snippets\t2024\n\nsig,Best\nomw,way\n") << QStringList{"sig=Best", "omw=way"};
    QTest::newRow("semicolon file with commas in its texts")
        << QByteArray("sig;Best, Me\nomw;On my way\naddr;1 Main St, Springfield\n")
        << QStringList{"sig=Best, Me", "omw=On my way", "addr=1 Main St, Springfield"};
    QTest::newRow("semicolon file with a comma in every text")
        << QByteArray("sig;Best, Me\naddr;1 Main St, Springfield\n")
        << QStringList{"sig=Best, Me", "addr=1 Main St, Springfield"};
    // Triggers that start with a semicolon are common; split there they lose their trigger.
    QTest::newRow("comma file of semicolon triggers under a semicolon title")
        << QByteArray("My snippets; exported\n;sig,Best\n;omw,On my way\n")
        << QStringList{";sig=Best", ";omw=On my way"};
    QTest::newRow("tab file with commas and semicolons in its texts")
        << QByteArray("sig\tBest, Me; you\nomw\tOn my way\naddr\tMain St; Springfield, USA\n")
        << QStringList{"sig=Best, Me; you", "omw=On my way", "addr=Main St; Springfield, USA"};
    QTest::newRow("commas on the lines of a quoted cell do not count")
        << QByteArray("sig;\"Best,\nMe, you,\nand them,\"\nomw;way\n")
        << QStringList{"sig=Best,\nMe, you,\nand them,", "omw=way"};
    QTest::newRow("quoted separators do not count")
        << QByteArray("\"a,b\";c\n\"d;e\";f") << QStringList{"a,b=c", "d;e=f"};
    QTest::newRow("blank first lines skipped for the separator")
        << QByteArray("\n   \nsig;Best") << QStringList{"sig=Best"};
}

void tst_SnippetImport::parseCSV()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, expected);
    QCOMPARE(describe(SnippetImport::parseCSV(bytes)), expected);
}

static QByteArray utf16(const QString& text, bool littleEndian)
{
    QByteArray out = littleEndian ? QByteArray("\xFF\xFE") : QByteArray("\xFE\xFF");
    for (QChar c : text) {
        const char hi = char(c.unicode() >> 8), lo = char(c.unicode() & 0xFF);
        out +=
            littleEndian ? QByteArray{&lo, 1} + QByteArray{&hi, 1} : QByteArray{&hi, 1} + QByteArray{&lo, 1};
    }
    return out;
}

void tst_SnippetImport::encodings_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("expected");

    const QString text = QStringLiteral("grü,Grüße 😀\r\nsig,Best\r\n");
    const QStringList decoded{QStringLiteral("grü=Grüße 😀"), QStringLiteral("sig=Best")};
    QTest::newRow("UTF-8 without mark") << text.toUtf8() << decoded;
    QTest::newRow("UTF-8 mark removed, CRLF") << "\xEF\xBB\xBF" + text.toUtf8() << decoded;
    QTest::newRow("UTF-16LE mark") << utf16(text, true) << decoded;
    QTest::newRow("UTF-16BE mark") << utf16(text, false) << decoded;
    QTest::newRow("only the first mark is removed") << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF"
                                                                  "a,b")
                                                    << QStringList{QStringLiteral("\uFEFFa=b")};
    QTest::newRow("UTF-8 mark keeps a bad byte as U+FFFD") << QByteArray("\xEF\xBB\xBF"
                                                                         "a,b\xFF")
                                                           << QStringList{QStringLiteral("a=b\uFFFD")};
    QTest::newRow("Windows-1252 without mark")
        << QByteArray("caf\xE9,\x93quoted\x94 \x80\n") << QStringList{QStringLiteral("café=“quoted” €")};
    // UTF-8 with a flaw stays UTF-8: one bad byte must not turn every accent into mojibake.
    QTest::newRow("UTF-8 with one stray Windows-1252 dash")
        << QByteArray("café,Crème brûlée \x96 à la carte\nnaïve,Über\n")
        << QStringList{QStringLiteral("café=Crème brûlée \uFFFD à la carte"), QStringLiteral("naïve=Über")};
    QTest::newRow("UTF-8 whose last character is cut short")
        << QByteArray("café,Grüße\nsig,Best \xE2\x82")
        << QStringList{QStringLiteral("café=Grüße"), QStringLiteral("sig=Best \uFFFD")};
    QTest::newRow("one mark for each sequence that does not complete")
        << QByteArray("é,\xF0\x9F\x98|\xC0\xAF|\xED\xA0\x80|\xF4\x90\x80\x80")
        << QStringList{QStringLiteral("é=\uFFFD|\uFFFD\uFFFD|\uFFFD\uFFFD\uFFFD|\uFFFD\uFFFD\uFFFD\uFFFD")};
    QTest::newRow("NUL") << QByteArray("a,b\0c", 5) << QStringList{"!malformed"};
    QTest::newRow("NUL in UTF-16") << utf16(QStringLiteral("a,b") + QChar(0), true)
                                   << QStringList{"!malformed"};
    QTest::newRow("UTF-16 of odd length")
        << utf16(QStringLiteral("a,b"), true) + "x" << QStringList{"!malformed"};
    QTest::newRow("UTF-16 lone surrogate")
        << utf16(QStringLiteral("a,b") + QChar(0xD800), false) << QStringList{"!malformed"};
}

void tst_SnippetImport::encodings()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, expected);
    QCOMPARE(describe(SnippetImport::parseCSV(bytes)), expected);
}

static const QByteArray kTaggedHeader = "Level,Type,Guid,Label,Abbreviations,Text,ScriptType\n";

void tst_SnippetImport::taggedLayout_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("header only") << kTaggedHeader << QStringList{};
    QTest::newRow("loose rows, then groups; nested groups fold into the top one")
        << kTaggedHeader + "1,0,g0,,lo,loose,\n"
                           "0,1,g1,Work,,,\n"
                           "1,0,g2,,sig,Best,\n"
                           "1,1,g3,Nested,,,\n"
                           "2,0,g4,,deep,inner,\n"
                           "0,1,g5,,,,\n"
                           "1,0,g6,,x,unnamed,\n"
                           "0,1,g7,Work,,,\n"
                           "1,0,g8,,sig2,again,\n"
        << QStringList{"lo=loose", "Work/sig=Best", "Work/deep=inner", "Work/sig2=again",
                       "Imported group/x=unnamed"};
    QTest::newRow("a group without accepted snippets does not appear")
        << kTaggedHeader + "0,1,g1,Empty,,,\n1,0,g2,,,,\n"
        << QStringList{};
    QTest::newRow("script types") << kTaggedHeader + "1,0,a,,up,uptime,sh\n"
                                                     "1,0,b,,as,tell app,AppleScript\n"
                                                     "1,0,c,,,,JavaScript\n"
                                                     "1,0,d,,py,print(1),python\n"
                                  << QStringList{"up$=uptime", "skipped:3"};
    QTest::newRow("one of trigger and text empty is skipped, both empty is not")
        << kTaggedHeader + "1,0,a,,t,,\n1,0,b,,,text,\n1,0,c,,,,\n"
        << QStringList{"skipped:2"};
    QTest::newRow("other types and levels ignored")
        << kTaggedHeader + "1,2,a,,t,x,\n1,,b,,u,y,\n1, 0,c,,v,z,\n1,0,d,,w,ok,\n"
        << QStringList{"w=ok"};
    QTest::newRow("no Abbreviations column: every text is skipped")
        << QByteArray("Level,Type,Guid,Text\n1,0,a,one\n1,0,b,two\n1,0,c,\n") << QStringList{"skipped:2"};
    QTest::newRow("later column of a repeated name wins")
        << QByteArray("Level,Type,Guid,Text,Abbreviations,Text\n1,0,a,first,t,second\n")
        << QStringList{"t=second"};
    QTest::newRow("short row reads missing cells as empty") << kTaggedHeader + "1,0,a,,t\n"
                                                            << QStringList{"skipped:1"};
    QTest::newRow("clipboard tag and its content become {clipboard}")
        << kTaggedHeader +
               "1,0,a,,c,\"Paste: <atext type=\"\"clipboard\"\" x=\"\"1\"\">old\nstuff</atext>!\",\n"
        << QStringList{"c=Paste: {clipboard}!"};
    QTest::newRow("other tags keep their word")
        << kTaggedHeader + "1,0,a,,b,\"a <atext type=\"\"bold\"\">word</atext> and <atext>x\ny</atext>.\",\n"
        << QStringList{"b=a word and x\ny."};
    QTest::newRow("pairs are taken from the left, closing at the first end tag")
        << kTaggedHeader +
               "1,0,a,,n,\"<atext><atext>x</atext></atext> <atext type=\"\"clipboard\"\"/>y</atext>\",\n"
        << QStringList{"n=<atext>x</atext> {clipboard}"};
    QTest::newRow("unclosed tags stay as they are")
        << kTaggedHeader + "1,0,a,,u,\"a <atext b</atext> <atext>c\",\n"
        << QStringList{"u=a <atext b</atext> <atext>c"};
    QTest::newRow("many unclosed tags in one cell")
        << kTaggedHeader + "1,0,a,,m," + QByteArray("<atext>").repeated(20000) + ",\n"
        << QStringList{"m=" + QString(QStringLiteral("<atext>")).repeated(20000)};
    QTest::newRow("shell content is not rewritten")
        << kTaggedHeader + "1,0,a,,s,\"echo <atext>x</atext>\",sh\n"
        << QStringList{"s$=echo <atext>x</atext>"};
    QTest::newRow("header cells must match exactly")
        << QByteArray("level,Type,Guid\n1,0,a\n") << QStringList{"level=Type", "1=0"};
}

void tst_SnippetImport::taggedLayout()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, expected);
    QCOMPARE(describe(SnippetImport::parseCSV(bytes)), expected);
}

void tst_SnippetImport::taggedRowsKeepRowDefaults()
{
    const auto outcome = SnippetImport::parseCSV(kTaggedHeader + "0,1,g,Work,,,\n1,0,a,,up,uptime,sh\n");
    QVERIFY(outcome.ok());
    QCOMPARE(outcome.result.groups.size(), 1);
    const Snippet s = outcome.result.groups.at(0).snippets.at(0);
    QCOMPARE(s.kind, SnippetKind::shell);
    QVERIFY(s.enabled);
    QVERIFY(!s.groupID.has_value()); // the merge assigns the group
}

static const QByteArray kJSON = R"([{"trigger":"sig","content":"Best","ignoreCase":true}])";
static const QByteArray kJSONWithoutContent = R"([{"trigger":"sig"}])";
static const QByteArray kXMLPlist =
    "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><dict>"
    "<key>phrase</key><string>Best</string><key>shortcut</key><string>sig</string>"
    "</dict></array></plist>";
static const QByteArray kBinaryPlist = kBplistAscii;

void tst_SnippetImport::dispatch_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QStringList>("expected");

    const QByteArray csv = "sig,Best\n";
    QTest::newRow("json: JSON") << kJSON << "json" << QStringList{"sig=Best"};
    QTest::newRow("json: record without content")
        << kJSONWithoutContent << "json" << QStringList{"!unrecognized"};
    QTest::newRow("json: CSV") << csv << "json" << QStringList{"!unrecognized"};
    QTest::newRow("json: object, not array")
        << QByteArray(R"({"trigger":"a","content":"b"})") << "json" << QStringList{"!unrecognized"};
    QTest::newRow("json: property list") << kXMLPlist << "json" << QStringList{"!unrecognized"};
    QTest::newRow("plist: XML") << kXMLPlist << "plist" << QStringList{"sig=Best"};
    QTest::newRow("plist: binary") << kBinaryPlist << "plist"
                                   << QStringList{"sig=Best, Me", "omw=On my way!"};
    QTest::newRow("plist: CSV") << csv << "plist" << QStringList{"!unrecognized"};
    QTest::newRow("plist: JSON") << kJSON << "plist" << QStringList{"!unrecognized"};
    QTest::newRow("csv: CSV") << csv << "csv" << QStringList{"sig=Best"};
    QTest::newRow("csv: binary plist holds NUL") << kBinaryPlist << "csv" << QStringList{"!malformed"};
    QTest::newRow("csv: JSON read as CSV") << kJSON << "csv" << QStringList{"[{trigger:sig=content:Best"};
    QTest::newRow("other: binary plist")
        << kBinaryPlist << "txt" << QStringList{"sig=Best, Me", "omw=On my way!"};
    QTest::newRow("none: XML plist") << kXMLPlist << "" << QStringList{"sig=Best"};
    QTest::newRow("other: JSON") << kJSON << "txt" << QStringList{"sig=Best"};
    QTest::newRow("other: bad JSON goes on to CSV")
        << kJSONWithoutContent << "txt" << QStringList{"!malformed"};
    QTest::newRow("other: CSV") << csv << "tsv" << QStringList{"sig=Best"};
    QTest::newRow("other: unreadable bplist")
        << QByteArray("bplist00 nonsense") << "dat" << QStringList{"!unrecognized"};
    QTest::newRow("other: <plist past 512 bytes is no plist")
        << "<!--" + QByteArray(600, 'x') + "-->" + kXMLPlist << "txt" << QStringList{"!malformed"};
    QTest::newRow("extension compared exactly") << kJSONWithoutContent << "JSON" << QStringList{"!malformed"};
}

void tst_SnippetImport::dispatch()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, extension);
    QFETCH(QStringList, expected);
    QCOMPARE(describe(SnippetImport::parse(bytes, extension)), expected);
}

void tst_SnippetImport::jsonKeepsEveryField()
{
    const QUuid id = QUuid::createUuid(), group = QUuid::createUuid();
    Snippet s;
    s.id = id;
    s.trigger = QStringLiteral("up");
    s.content = QStringLiteral("uptime");
    s.enabled = false;
    s.adaptCase = true;
    s.wholeWord = true;
    s.keepDelimiter = false;
    s.learned = true;
    s.kind = SnippetKind::shell;
    s.groupID = group;
    const auto outcome = SnippetImport::parse(encodeSnippets({s}), QStringLiteral("json"));
    QVERIFY(outcome.ok());
    QCOMPARE(outcome.result.snippets, QList<Snippet>{s});
    QVERIFY(outcome.result.groups.isEmpty());
    QCOMPARE(outcome.result.skipped, 0);
}

void tst_SnippetImport::rowSnippetsHaveDefaultsAndFreshIds()
{
    const auto outcome = SnippetImport::parseCSV("a,b\nc,d\n");
    QVERIFY(outcome.ok());
    const Snippet first = outcome.result.snippets.at(0);
    QVERIFY(first.enabled && first.keepDelimiter);
    QVERIFY(!first.ignoreCase && !first.adaptCase && !first.wholeWord && !first.learned);
    QCOMPARE(first.kind, SnippetKind::text);
    QVERIFY(!first.groupID);
    QVERIFY(!first.id.isNull());
    QVERIFY(first.id != outcome.result.snippets.at(1).id);
}

void tst_SnippetImport::errorTexts()
{
    QCOMPARE(
        SnippetImport::description(SnippetImport::ImportError::unrecognized),
        QStringLiteral("Unrecognized format — expected a Quenvil JSON export, a Text Substitutions .plist, "
                       "or a CSV file."));
    QCOMPARE(SnippetImport::description(SnippetImport::ImportError::malformed),
             QStringLiteral("The file looks like a supported format but no snippets could be read from it."));
}

QTEST_GUILESS_MAIN(tst_SnippetImport)
#include "tst_SnippetImport.moc"
