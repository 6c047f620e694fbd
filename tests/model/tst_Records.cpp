#include "model/Models.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

class tst_Records : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void snippetDecoding_data();
    void snippetDecoding();
    void snippetDefaults();
    void groupDecoding_data();
    void groupDecoding();
    void correctionDecoding_data();
    void correctionDecoding();
    void oneBadRecordFailsTheList();
    void encodedForm();
    void directSnippetWriterMatchesJson();
    void uuidParsing_data();
    void uuidParsing();
    void terminalApps();
};

static QJsonValue json(const char* text)
{
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray(text));
    return doc.isObject() ? QJsonValue(doc.object()) : QJsonValue(doc.array());
}

void tst_Records::snippetDecoding_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("ok");
    QTest::newRow("minimal") << QByteArray(R"({"trigger":"a","content":"b"})") << true;
    QTest::newRow("null optional") << QByteArray(R"({"trigger":"a","content":"b","enabled":null})") << true;
    QTest::newRow("missing content") << QByteArray(R"({"trigger":"a"})") << false;
    QTest::newRow("null trigger") << QByteArray(R"({"trigger":null,"content":"b"})") << false;
    QTest::newRow("number trigger") << QByteArray(R"({"trigger":1,"content":"b"})") << false;
    // A wrong-typed or malformed optional field takes its default; the record stays.
    QTest::newRow("string bool") << QByteArray(R"({"trigger":"a","content":"b","enabled":"false"})") << true;
    QTest::newRow("kind shell") << QByteArray(R"({"trigger":"a","content":"b","kind":"shell"})") << true;
    QTest::newRow("kind capital") << QByteArray(R"({"trigger":"a","content":"b","kind":"Shell"})") << false;
    QTest::newRow("kind unknown") << QByteArray(R"({"trigger":"a","content":"b","kind":"ai"})") << false;
    QTest::newRow("bad id") << QByteArray(R"({"id":"nope","trigger":"a","content":"b"})") << true;
    QTest::newRow("braced id") << QByteArray(R"({"id":"{6F9619FF-8B86-D011-B42D-00C04FC964FF}","trigger":"a","content":"b"})") << true;
    QTest::newRow("lower id") << QByteArray(R"({"id":"6f9619ff-8b86-d011-b42d-00c04fc964ff","trigger":"a","content":"b"})") << true;
    QTest::newRow("bad groupID") << QByteArray(R"({"trigger":"a","content":"b","groupID":"x"})") << true;
    QTest::newRow("kind a number") << QByteArray(R"({"trigger":"a","content":"b","kind":1})") << false;
    QTest::newRow("not an object") << QByteArray(R"(["a"])") << false;
    QTest::newRow("unknown keys") << QByteArray(R"({"trigger":"a","content":"b","colour":"red"})") << true;
}

void tst_Records::snippetDecoding()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, ok);
    QCOMPARE(snippetFromJson(json(text.constData())).has_value(), ok);
}

void tst_Records::snippetDefaults()
{
    const auto a = snippetFromJson(json(R"({"trigger":"a","content":"b","enabled":null})"));
    const auto b = snippetFromJson(json(R"({"trigger":"a","content":"b"})"));
    QVERIFY(a && b);
    QVERIFY(a->enabled && a->keepDelimiter);
    QVERIFY(!a->ignoreCase && !a->adaptCase && !a->wholeWord && !a->learned);
    QCOMPARE(a->kind, SnippetKind::text);
    QVERIFY(!a->groupID);
    QVERIFY(!a->id.isNull());
    QVERIFY(a->id != b->id); // each read without an id gets a fresh one
    const auto odd = snippetFromJson(
        json(R"({"id":7,"trigger":"a","content":"b","enabled":"yes","keepDelimiter":0,"learned":[],"groupID":"x"})"));
    QVERIFY(odd && odd->enabled && odd->keepDelimiter && !odd->learned && !odd->groupID && !odd->id.isNull());
    const auto lower = snippetFromJson(json(R"({"id":"6f9619ff-8b86-d011-b42d-00c04fc964ff","trigger":"a","content":"b"})"));
    QCOMPARE(::uuidText(lower->id), QStringLiteral("6F9619FF-8B86-D011-B42D-00C04FC964FF"));
}

void tst_Records::groupDecoding_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("mode");
    QTest::newRow("empty") << QByteArray("{}") << true << int(AppScopeMode::all);
    QTest::newRow("onlyIn") << QByteArray(R"({"appMode":"onlyIn"})") << true << int(AppScopeMode::onlyIn);
    QTest::newRow("unknown mode kept") << QByteArray(R"({"appMode":"onlyin","appList":["XTerm"]})") << true
                                       << int(AppScopeMode::all);
    QTest::newRow("mode of a newer version") << QByteArray(R"({"appMode":"exceptOnWeekends"})") << true
                                             << int(AppScopeMode::all);
    QTest::newRow("number mode") << QByteArray(R"({"appMode":3})") << false << 0;
    QTest::newRow("apps not strings") << QByteArray(R"({"appList":[1,"XTerm"]})") << true << int(AppScopeMode::all);
    QTest::newRow("name number") << QByteArray(R"({"name":5})") << true << int(AppScopeMode::all);
}

void tst_Records::groupDecoding()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, ok);
    QFETCH(int, mode);
    const auto g = groupFromJson(json(text.constData()));
    QCOMPARE(g.has_value(), ok);
    if (!g)
        return;
    QCOMPARE(int(g->appMode), mode);
    // A scope this version does not know is kept as written and goes back unchanged.
    const QString raw = QJsonDocument::fromJson(text).object().value(QStringLiteral("appMode")).toString();
    const bool known = raw.isEmpty() || appScopeModeFromRaw(raw).has_value();
    QCOMPARE(g->scopeUnderstood(), known);
    if (!known) {
        QCOMPARE(*g->unrecognisedAppMode, raw);
        QCOMPARE(toJson(*g).value(QStringLiteral("appMode")).toString(), raw);
        QCOMPARE(decodeGroups(encodeGroups({*g}))->first(), *g);
    }
    if (text == "{}") {
        QCOMPARE(g->name, QStringLiteral("Group"));
        QVERIFY(g->enabled);
        QVERIFY(g->triggerPrefix.isEmpty() && g->appList.isEmpty() && !g->id.isNull());
    }
}

void tst_Records::correctionDecoding_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("ok");
    QTest::newRow("full") << QByteArray(R"({"wrong":"teh","right":"the","learned":true})") << true;
    QTest::newRow("no learned") << QByteArray(R"({"wrong":"teh","right":"the"})") << true;
    QTest::newRow("no wrong") << QByteArray(R"({"right":"the"})") << false;
}

void tst_Records::correctionDecoding()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, ok);
    const auto c = correctionFromJson(json(text.constData()));
    QCOMPARE(c.has_value(), ok);
    if (c && !text.contains("learned"))
        QVERIFY(!c->learned);
}

void tst_Records::oneBadRecordFailsTheList()
{
    QVERIFY(decodeSnippets(R"([{"trigger":"a","content":"b"}])").has_value());
    QVERIFY(!decodeSnippets(R"([{"trigger":"a","content":"b"},{"trigger":"c"}])").has_value());
    QVERIFY(!decodeSnippets(R"({"trigger":"a","content":"b"})").has_value());
    QVERIFY(!decodeSnippets("not json").has_value());
    QCOMPARE(decodeSnippets("[]")->size(), 0);

    // The stored lists are read record by record: what cannot be read is counted, the rest kept.
    const auto read = readSnippetList(json(
        R"([{"trigger":"a","content":"b","enabled":"yes"},{"trigger":"c"},7,{"trigger":"d","content":"e","kind":"ai"}])"));
    QVERIFY(read);
    QCOMPARE(read->records.size(), 1);
    QCOMPARE(read->records.first().trigger, QStringLiteral("a"));
    QCOMPARE(read->skipped, 3);
    QVERIFY(!readSnippetList(json(R"({"trigger":"a","content":"b"})")));
    const auto groups = readGroupList(json(R"([{"appMode":1},{"name":"ok"}])"));
    QVERIFY(groups && groups->records.size() == 1 && groups->skipped == 1);
    const auto corrections = readCorrectionList(json(R"([{"wrong":"teh"},{"wrong":"a","right":"b","learned":"no"}])"));
    QVERIFY(corrections && corrections->records.size() == 1 && corrections->skipped == 1);
}

void tst_Records::encodedForm()
{
    Snippet s;
    s.trigger = QStringLiteral("x");
    QJsonObject o = toJson(s);
    QVERIFY(!o.contains(QStringLiteral("groupID")));
    QCOMPARE(o.keys().size(), 10);
    const QUuid g = QUuid::createUuid();
    s.groupID = g;
    o = toJson(s);
    QCOMPARE(o.value(QStringLiteral("groupID")).toString(), ::uuidText(g));
    QCOMPARE(o.value(QStringLiteral("id")).toString(), o.value(QStringLiteral("id")).toString().toUpper());

    // Written files have sorted keys, and a round trip is lossless.
    const QByteArray bytes = encodeSnippets({s});
    QVERIFY(bytes.indexOf("\"adaptCase\"") < bytes.indexOf("\"content\""));
    QVERIFY(bytes.indexOf("\"wholeWord\"") > bytes.indexOf("\"trigger\""));
    QCOMPARE(decodeSnippets(bytes)->first(), s);

    SnippetGroup group;
    const QJsonObject go = toJson(group);
    QVERIFY(go.contains(QStringLiteral("triggerPrefix")) && go.contains(QStringLiteral("appList")));
    QCOMPARE(decodeGroups(encodeGroups({group}))->first(), group);
}

void tst_Records::directSnippetWriterMatchesJson()
{
    Snippet a;
    a.trigger = QStringLiteral(";q\"uote\\");
    a.content = QString::fromUtf8("line\nbreak\ttab \x01\x1f \xC3\xA9 \xF0\x9F\x98\x80 {date}\r\n");
    a.kind = SnippetKind::shell;
    a.groupID = QUuid::createUuid();
    Snippet b;
    b.trigger = QString();
    b.content = QString();
    // Surrogates without their partner have no UTF-8 form; they must still come back exactly.
    Snippet c;
    c.trigger = QString(QChar(0xD800));
    c.content = QStringLiteral("a") + QChar(0xDC00) + QStringLiteral("b") + QChar(0xD83D) + QChar(0xDE00) + QChar(0xD83D);
    const QList<Snippet> list{a, b, c};
    QJsonArray expected;
    for (const Snippet& s : list)
        expected.append(toJson(s));
    const QByteArray bytes = encodeSnippets(list);
    QCOMPARE(QJsonDocument::fromJson(bytes), QJsonDocument(expected));
    QCOMPARE(*decodeSnippets(bytes), list);
    QCOMPARE(encodeSnippets({}), QByteArray("[\n]\n"));
}

void tst_Records::uuidParsing_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::newRow("upper") << QStringLiteral("6F9619FF-8B86-D011-B42D-00C04FC964FF") << true;
    QTest::newRow("lower") << QStringLiteral("6f9619ff-8b86-d011-b42d-00c04fc964ff") << true;
    QTest::newRow("no hyphens") << QStringLiteral("6F9619FF8B86D011B42D00C04FC964FF") << false;
    QTest::newRow("braces") << QStringLiteral("{6F9619FF-8B86-D011-B42D-00C04FC964F}") << false;
    QTest::newRow("non-hex") << QStringLiteral("6F9619FF-8B86-D011-B42D-00C04FC964FG") << false;
}

void tst_Records::uuidParsing()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QCOMPARE(uuidFromText(text).has_value(), ok);
}

void tst_Records::terminalApps()
{
    const QStringList& ex = TerminalApps::defaultSpellFixExclusions();
    QCOMPARE(ex.size(), 15);
    QCOMPARE(ex.mid(10), (QStringList{QStringLiteral("Code"), QStringLiteral("Cursor"), QStringLiteral("dev.zed.Zed"),
                                      QStringLiteral("Sublime_text"), QStringLiteral("jetbrains-idea")}));
    QCOMPARE(TerminalApps::bundleIDs().size(), 10);
    QVERIFY(TerminalApps::bundleIDs().contains(QStringLiteral("XTerm")));
    QVERIFY(!TerminalApps::bundleIDs().contains(QStringLiteral("xterm"))); // compared exactly
    QCOMPARE(Snippet::samples().size(), 4);
    QCOMPARE(Snippet::samples().at(1).content, QStringLiteral("Best,\nYour name"));
    QCOMPARE(Snippet::samples().at(0).content.size(), 15);
    QCOMPARE(Snippet::samples().at(3).content.size(), 9);
}

QTEST_GUILESS_MAIN(tst_Records)
#include "tst_Records.moc"
