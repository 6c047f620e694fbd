// Text Substitutions property lists: our XML and binary readers, on genuine files and on
// hostile ones, which must end as "unrecognized" quickly and without a huge allocation.
#include "library/BinaryPlistReader.h"
#include "library/SnippetImport.h"
#include "library/XmlPlistReader.h"

#include "ImportDescribe.h"
#include "PlistFixtures.h"

#include <QTest>

class tst_PropertyLists : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void xml_data();
    void xml();
    void externalEntityNeverFetched();
    void binary_data();
    void binary();
    void hostileBinary_data();
    void hostileBinary();
    void limitsBoundTheWork();
};

static QByteArray xmlPlist(const QByteArray& body, const QByteArray& doctype = QByteArray())
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" +
           (doctype.isEmpty() ? QByteArray("<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                                           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">")
                              : doctype) +
           "\n<plist version=\"1.0\">\n" + body + "\n</plist>\n";
}

static QByteArray entry(const QByteArray& shortcut, const QByteArray& phrase)
{
    return "<dict><key>phrase</key><string>" + phrase + "</string><key>shortcut</key><string>" + shortcut +
           "</string></dict>";
}

void tst_PropertyLists::xml_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("entries in order")
        << xmlPlist("<array>" + entry("sig", "Best") + entry("omw", "On my way!") + "</array>")
        << QStringList{"sig=Best", "omw=On my way!"};
    QTest::newRow("without declaration or doctype")
        << QByteArray("<plist><array>" + entry("a", "b") + "</array></plist>") << QStringList{"a=b"};
    QTest::newRow("predefined entities and numeric references")
        << xmlPlist("<array>" + entry("&lt;t&gt;", "a &amp; b &quot;c&quot; &#233;&#x1F600;&#10;") + "</array>")
        << QStringList{QStringLiteral("<t>=a & b \"c\" é😀\n")};
    QTest::newRow("internal entity")
        << xmlPlist("<array>" + entry("sig", "&me;") + "</array>", "<!DOCTYPE plist [<!ENTITY me \"Best, Me\">]>")
        << QStringList{"sig=Best, Me"};
    QTest::newRow("CDATA") << xmlPlist("<array>" + entry("cd", "<![CDATA[a < b & <c>]]> tail") + "</array>")
                           << QStringList{"cd=a < b & <c> tail"};
    QTest::newRow("white space inside strings kept")
        << xmlPlist("<array>" + entry(" t ", "\n  two\n  lines ") + "</array>") << QStringList{" t =\n  two\n  lines "};
    QTest::newRow("empty strings dropped")
        << xmlPlist("<array><dict><key>phrase</key><string/><key>shortcut</key><string>a</string></dict>" +
                    entry("", "x") + entry("b", "c") + "</array>")
        << QStringList{"b=c"};
    QTest::newRow("extra keys and other value types ignored")
        << xmlPlist("<array><dict><key>on</key><true/><key>phrase</key><string>kept</string>"
                    "<key>n</key><integer>3</integer><key>r</key><real>1.5</real><key>d</key>"
                    "<date>2020-01-02T03:04:05Z</date><key>b</key><data>AAE=</data><key>x</key>"
                    "<dict><key>y</key><array><false/></array></dict><key>shortcut</key><string>k</string>"
                    "</dict><dict><key>shortcut</key><string>nophrase</string></dict>"
                    "<dict><key>phrase</key><integer>5</integer><key>shortcut</key><string>num</string></dict>"
                    "</array>")
        << QStringList{"k=kept"};
    QTest::newRow("comments between elements")
        << xmlPlist("<!-- a --><array><!-- b -->" + entry("a", "b") + "</array>") << QStringList{"a=b"};
    QTest::newRow("a repeated key: the later value stands")
        << xmlPlist("<array><dict><key>phrase</key><string>one</string><key>shortcut</key><string>t</string>"
                    "<key>phrase</key><string>two</string></dict></array>")
        << QStringList{"t=two"};
    QTest::newRow("empty array") << xmlPlist("<array/>") << QStringList{};
    QTest::newRow("dictionary root") << xmlPlist(entry("a", "b")) << QStringList{"!malformed"};
    QTest::newRow("string root") << xmlPlist("<string>x</string>") << QStringList{"!malformed"};
    QTest::newRow("array of non-dictionaries")
        << xmlPlist("<array>" + entry("a", "b") + "<string>x</string></array>") << QStringList{"!malformed"};
    QTest::newRow("unknown element") << xmlPlist("<array><foo/></array>") << QStringList{"!unrecognized"};
    QTest::newRow("text between elements") << xmlPlist("<array>x" + entry("a", "b") + "</array>")
                                           << QStringList{"!unrecognized"};
    QTest::newRow("key without value") << xmlPlist("<array><dict><key>phrase</key></dict></array>")
                                       << QStringList{"!unrecognized"};
    QTest::newRow("value without key") << xmlPlist("<array><dict><string>x</string></dict></array>")
                                       << QStringList{"!unrecognized"};
    QTest::newRow("element inside a string")
        << xmlPlist("<array><dict><key>phrase</key><string>a<b/></string></dict></array>")
        << QStringList{"!unrecognized"};
    QTest::newRow("two values in plist") << xmlPlist("<array/><array/>") << QStringList{"!unrecognized"};
    QTest::newRow("empty plist") << xmlPlist("") << QStringList{"!unrecognized"};
    QTest::newRow("cut short") << xmlPlist("<array>" + entry("a", "b")).left(120) << QStringList{"!unrecognized"};
    QTest::newRow("undeclared entity") << xmlPlist("<array>" + entry("a", "&nope;") + "</array>")
                                       << QStringList{"!unrecognized"};
    QTest::newRow("not XML") << QByteArray("sig,Best\n") << QStringList{"!unrecognized"};
    QTest::newRow("nothing") << QByteArray() << QStringList{"!unrecognized"};
    QTest::newRow("entity expansion bomb")
        << xmlPlist("<array>" + entry("a", "&e5;") + "</array>",
                    "<!DOCTYPE plist [<!ENTITY e0 \"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\">"
                    "<!ENTITY e1 \"&e0;&e0;&e0;&e0;&e0;&e0;&e0;&e0;&e0;&e0;\">"
                    "<!ENTITY e2 \"&e1;&e1;&e1;&e1;&e1;&e1;&e1;&e1;&e1;&e1;\">"
                    "<!ENTITY e3 \"&e2;&e2;&e2;&e2;&e2;&e2;&e2;&e2;&e2;&e2;\">"
                    "<!ENTITY e4 \"&e3;&e3;&e3;&e3;&e3;&e3;&e3;&e3;&e3;&e3;\">"
                    "<!ENTITY e5 \"&e4;&e4;&e4;&e4;&e4;&e4;&e4;&e4;&e4;&e4;\">]>")
        << QStringList{"!unrecognized"};
    QByteArray deep;
    for (int i = 0; i < 200; ++i)
        deep += "<array>";
    for (int i = 0; i < 200; ++i)
        deep += "</array>";
    QTest::newRow("nesting past the depth limit") << xmlPlist(deep) << QStringList{"!unrecognized"};
    const QString utf16Doc = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?><plist><array><dict>"
                                            "<key>phrase</key><string>Grüße</string><key>shortcut</key>"
                                            "<string>gr</string></dict></array></plist>");
    QTest::newRow("UTF-16 document")
        << QByteArray("\xFF\xFE") + QByteArray(reinterpret_cast<const char*>(utf16Doc.utf16()), utf16Doc.size() * 2)
        << QStringList{QStringLiteral("gr=Grüße")};
}

void tst_PropertyLists::xml()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, expected);
    QCOMPARE(describe(SnippetImport::parseTextSubstitutions(bytes)), expected);
}

void tst_PropertyLists::externalEntityNeverFetched()
{
    const QByteArray bytes = xmlPlist("<array>" + entry("a", "&ext;") + "</array>",
                                      "<!DOCTYPE plist [<!ENTITY ext SYSTEM \"file:///etc/hostname\">]>");
    const auto outcome = SnippetImport::parseTextSubstitutions(bytes);
    // Either refused or read without the file's text: never the contents of another file.
    if (outcome.ok()) {
        for (const Snippet& s : outcome.result.snippets)
            QVERIFY(s.content.isEmpty());
    }
}

void tst_PropertyLists::binary_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("ASCII strings") << kBplistAscii << QStringList{"sig=Best, Me", "omw=On my way!"};
    QTest::newRow("UTF-16 strings") << kBplistUtf16
                                    << QStringList{QStringLiteral("shrug=¯\\_(ツ)_/¯"), QStringLiteral("grü=Grüße 😀")};
    QTest::newRow("shared string objects") << kBplistShared << QStringList{"a=same", "b=same"};
    QTest::newRow("extra keys and other types") << kBplistExtra << QStringList{"k=kept"};
    QTest::newRow("dictionary root") << kBplistDictRoot << QStringList{"!malformed"};
    QTest::newRow("empty array") << kBplistEmpty << QStringList{};
}

void tst_PropertyLists::binary()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, expected);
    QCOMPARE(describe(SnippetImport::parseTextSubstitutions(bytes)), expected);
}

namespace {

QByteArray bigEndian(quint64 v, int width)
{
    QByteArray out(width, '\0');
    for (int i = width - 1; i >= 0; --i, v >>= 8)
        out[i] = char(v & 0xFF);
    return out;
}

struct Trailer
{
    int offsetSize = 1;
    int refSize = 1;
    std::optional<quint64> objectCount;
    quint64 top = 0;
    std::optional<quint64> tableOffset;
};

// A binary property list of the given objects (marker bytes and content, references as
// written by the caller), with an offset table and a trailer that can be bent.
QByteArray bplist(const QList<QByteArray>& objects, const Trailer& t = {})
{
    QByteArray out("bplist00");
    QList<quint64> offsets;
    for (const QByteArray& o : objects) {
        offsets.append(quint64(out.size()));
        out += o;
    }
    const quint64 table = quint64(out.size());
    for (quint64 off : offsets)
        out += bigEndian(off, qBound(1, t.offsetSize, 8));
    out += QByteArray(6, '\0');
    out += char(t.offsetSize);
    out += char(t.refSize);
    out += bigEndian(t.objectCount.value_or(quint64(objects.size())), 8);
    out += bigEndian(t.top, 8);
    out += bigEndian(t.tableOffset.value_or(table), 8);
    return out;
}

QByteArray asciiString(const QByteArray& s)
{
    if (s.size() < 15)
        return char(0x50 | s.size()) + s;
    return "\x5F\x11" + bigEndian(quint64(s.size()), 2) + s;
}

// An array of `count` two-byte references, all to `ref`.
QByteArray arrayOfRefs(int count, quint16 ref)
{
    QByteArray out = "\xAF\x12" + bigEndian(quint64(count), 4);
    for (int i = 0; i < count; ++i)
        out += bigEndian(ref, 2);
    return out;
}

} // namespace

void tst_PropertyLists::hostileBinary_data()
{
    QTest::addColumn<QByteArray>("bytes");

    const QByteArray good = kBplistAscii;
    // The fixture's layout: offset table at 0x41 (65), 9 objects, one-byte offsets and references.
    const qsizetype table = 0x41;
    const qsizetype trailer = good.size() - 32;
    QVERIFY(good.size() == table + 9 + 32);

    QTest::newRow("header only") << QByteArray("bplist00");
    QTest::newRow("other version") << QByteArray(good).replace(6, 2, "01");
    QTest::newRow("trailer cut short") << good.left(good.size() - 5);
    QTest::newRow("trailer only") << "bplist00" + good.right(32);
    QTest::newRow("offset past the table") << QByteArray(good).replace(table + 1, 1, "\x50");
    QTest::newRow("offset into the header") << QByteArray(good).replace(table + 1, 1, "\x03");
    QTest::newRow("offset into the trailer") << QByteArray(good).replace(table + 1, 1, QByteArray(1, char(trailer + 4)));
    QTest::newRow("reference past the count") << QByteArray(good).replace(9, 1, "\x09");
    QTest::newRow("reference size 0") << QByteArray(good).replace(trailer + 7, 1, QByteArray(1, '\0'));
    QTest::newRow("reference size 9") << QByteArray(good).replace(trailer + 7, 1, "\x09");
    QTest::newRow("offset size 0") << QByteArray(good).replace(trailer + 6, 1, QByteArray(1, '\0'));
    QTest::newRow("offset size 9") << QByteArray(good).replace(trailer + 6, 1, "\x09");
    QTest::newRow("object count 0") << QByteArray(good).replace(trailer + 8, 8, bigEndian(0, 8));
    QTest::newRow("object count beyond the table") << QByteArray(good).replace(trailer + 8, 8, bigEndian(10, 8));
    QTest::newRow("object count that overflows")
        << QByteArray(good).replace(trailer + 8, 8, bigEndian(~quint64(0) / 2 + 1, 8));
    QTest::newRow("top object past the count") << QByteArray(good).replace(trailer + 16, 8, bigEndian(9, 8));
    QTest::newRow("table offset past the end") << QByteArray(good).replace(trailer + 24, 8, bigEndian(~quint64(0), 8));
    QTest::newRow("table offset in the header") << QByteArray(good).replace(trailer + 24, 8, bigEndian(4, 8));
    QTest::newRow("self-containing array") << bplist({"\xA1\x00"});
    QTest::newRow("two arrays containing each other") << bplist({"\xA1\x01", "\xA1\x00"});
    QTest::newRow("dictionary holding itself as a value")
        << bplist({QByteArray("\xA1\x01", 2), QByteArray("\xD1\x02\x01", 3), asciiString("k")});
    QTest::newRow("huge array count") << bplist({"\xAF\x13" + bigEndian(~quint64(0) >> 1, 8)});
    QTest::newRow("huge string count") << bplist({"\x5F\x13" + bigEndian(~quint64(0), 8) + "abc"});
    QTest::newRow("huge UTF-16 count") << bplist({"\x6F\x13" + bigEndian(~quint64(0) >> 1, 8) + "abcd"});
    QTest::newRow("count marker that is no integer") << bplist({"\xAF\x50\x01\x00"});
    QTest::newRow("count integer of 16 bytes") << bplist({"\xAF\x14" + QByteArray(16, '\0')});
    QTest::newRow("string running into the table") << bplist({QByteArray("\xA1\x01", 2), "\x58" "abc"});
    QTest::newRow("integer running into the table") << bplist({QByteArray("\xA1\x01", 2), "\x13\x00\x00"});
    QTest::newRow("unknown marker") << bplist({QByteArray("\xA1\x01", 2), "\x70"});
    QTest::newRow("bad null-range marker") << bplist({QByteArray("\xA1\x01", 2), "\x05"});
    // A few kilobytes naming a 2,000-byte string 40,000 times: 80 MB once decoded.
    QTest::newRow("shared-string bomb") << bplist({arrayOfRefs(40000, 1), asciiString(QByteArray(2000, 'x'))},
                                                 {4, 2, std::nullopt, 0, std::nullopt});
    // Forty arrays each holding the next one twice: 2^40 visits.
    QList<QByteArray> doubling;
    for (int i = 0; i < 40; ++i)
        doubling.append(QByteArray("\xA2") + char(i + 1) + char(i + 1));
    doubling.append(asciiString("x"));
    QTest::newRow("exponential sharing") << bplist(doubling);
    QList<QByteArray> deep;
    for (int i = 0; i < 100; ++i)
        deep.append(QByteArray("\xA1") + char(i + 1));
    deep.append(QByteArray("\xA0"));
    QTest::newRow("nesting past the depth limit") << bplist(deep);
}

void tst_PropertyLists::hostileBinary()
{
    QFETCH(QByteArray, bytes);
    QCOMPARE(describe(SnippetImport::parseTextSubstitutions(bytes)), QStringList{"!unrecognized"});
}

void tst_PropertyLists::limitsBoundTheWork()
{
    // Sharing within the limits is fine: one string named many times.
    const QByteArray shared = bplist({arrayOfRefs(1000, 1), asciiString("x")}, {4, 2, std::nullopt, 0, std::nullopt});
    const auto value = BinaryPlistReader::read(shared);
    QVERIFY(value.has_value());
    QCOMPARE(value->items.size(), size_t(1000));
    QCOMPARE(value->items.back().text, QStringLiteral("x"));

    // The same file with tighter limits is refused, by nodes and by decoded bytes.
    PlistLimits fewNodes;
    fewNodes.maxNodes = 500;
    QVERIFY(!BinaryPlistReader::read(shared, fewNodes));
    PlistLimits fewBytes;
    fewBytes.maxDecodedBytes = 1000;
    QVERIFY(!BinaryPlistReader::read(shared, fewBytes));
    QVERIFY(!XmlPlistReader::read(xmlPlist("<array>" + entry("a", QByteArray(600, 'x')) + "</array>"), fewBytes));
    PlistLimits shallow;
    shallow.maxDepth = 2;
    QVERIFY(!XmlPlistReader::read(xmlPlist("<array>" + entry("a", "b") + "</array>"), shallow));
    QVERIFY(!BinaryPlistReader::read(kBplistAscii, shallow));
}

QTEST_GUILESS_MAIN(tst_PropertyLists)
#include "tst_PropertyLists.moc"
