#include "model/SpellData.h"
#include "model/TriggerIndex.h"

#include <QTest>

class tst_Indexes : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void activeSnippets_data();
    void activeSnippets();
    void duplicatesAndPrefixes();
    void ignoreCaseAndLengths();
    void emojiLengths();
    void shadowedTriggers();
    void empty();
    void correctionIndex_data();
    void correctionIndex();
    void builtinTables();
};

static Snippet snip(const QString& trigger, const QString& content = QStringLiteral("c"))
{
    Snippet s;
    s.trigger = trigger;
    s.content = content;
    return s;
}

void tst_Indexes::activeSnippets_data()
{
    QTest::addColumn<bool>("snippetEnabled");
    QTest::addColumn<bool>("groupEnabled");
    QTest::addColumn<int>("groupState"); // 0 none, 1 existing, 2 dangling, 3 existing of an unknown scope
    QTest::addColumn<QString>("trigger");
    QTest::addColumn<QString>("key"); // empty: not indexed
    QTest::newRow("ungrouped") << true << true << 0 << "mail" << "mail";
    QTest::newRow("prefixed") << true << true << 1 << "mail" << "xmail";
    QTest::newRow("dangling group") << true << true << 2 << "mail" << "mail";
    QTest::newRow("disabled group") << true << false << 1 << "mail" << "";
    QTest::newRow("disabled snippet") << false << true << 1 << "mail" << "";
    QTest::newRow("empty trigger") << true << true << 1 << "" << "";
    // Written by a newer version: fires nowhere rather than everywhere.
    QTest::newRow("group of unknown scope") << true << true << 3 << "mail" << "";
}

void tst_Indexes::activeSnippets()
{
    QFETCH(bool, snippetEnabled);
    QFETCH(bool, groupEnabled);
    QFETCH(int, groupState);
    QFETCH(QString, trigger);
    QFETCH(QString, key);
    SnippetGroup g;
    g.triggerPrefix = QStringLiteral("x");
    g.enabled = groupEnabled;
    g.appMode = AppScopeMode::onlyIn;
    g.appList = {QStringLiteral("XTerm")};
    Snippet s = snip(trigger);
    s.enabled = snippetEnabled;
    if (groupState == 3)
        g.unrecognisedAppMode = QStringLiteral("onlyOnWeekdays");
    if (groupState == 1 || groupState == 3)
        s.groupID = g.id;
    else if (groupState == 2)
        s.groupID = QUuid::createUuid();
    const TriggerIndex t = TriggerIndex::build({s}, {g});
    if (key.isEmpty()) {
        QVERIFY(t.triggerIndex.isEmpty());
        QVERIFY(t.triggerPrefixIndex.isEmpty());
        return;
    }
    QCOMPARE(t.triggerIndex.size(), 1);
    QVERIFY(t.triggerIndex.contains(key));
    const ResolvedSnippet r = t.triggerIndex.value(key);
    QCOMPARE(r.appMode, groupState == 1 ? AppScopeMode::onlyIn : AppScopeMode::all);
    QCOMPARE(r.appList.size(), groupState == 1 ? 1 : 0);
    QCOMPARE(t.triggerPrefixIndex.entries(key).first().trigger, key);
}

void tst_Indexes::duplicatesAndPrefixes()
{
    const Snippet a = snip(QStringLiteral(";sig"), QStringLiteral("first"));
    const Snippet b = snip(QStringLiteral(";sig"), QStringLiteral("second"));
    const TriggerIndex t = TriggerIndex::build({a, b, snip(QStringLiteral("q"))}, {});
    QCOMPARE(t.triggerIndex.value(QStringLiteral(";sig")).snippet.content, QStringLiteral("second"));
    for (const char* p : {";s", ";si", ";sig"}) {
        const QList<SuggestionEntry> entries = t.triggerPrefixIndex.entries(QString::fromLatin1(p));
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries.at(0).content, QStringLiteral("first"));
    }
    QVERIFY(!t.triggerPrefixIndex.contains(QStringLiteral(";")));
    QVERIFY(!t.triggerPrefixIndex.contains(QStringLiteral("q"))); // one character adds no prefixes
    QVERIFY(t.triggerIndex.contains(QStringLiteral("q")));
}

void tst_Indexes::ignoreCaseAndLengths()
{
    Snippet brb = snip(QStringLiteral("BRB"));
    brb.ignoreCase = true;
    Snippet strasse = snip(QStringLiteral("STRAẞE"));
    strasse.ignoreCase = true;
    const TriggerIndex t = TriggerIndex::build({brb, strasse, snip(QStringLiteral("longer"))}, {});
    QVERIFY(t.triggerIndex.contains(QStringLiteral("BRB")));
    QVERIFY(t.insensitiveTriggerIndex.contains(QStringLiteral("brb")));
    QVERIFY(t.insensitiveTriggerIndex.contains(QStringLiteral("straße")));
    QVERIFY(!t.insensitiveTriggerIndex.contains(QStringLiteral("longer")));
    QCOMPARE(t.triggerLengths, (QList<int>{6, 3}));
    QCOMPARE(t.maxTriggerLength, 6);
    QCOMPARE(t.minTriggerLength, 3);
}

void tst_Indexes::emojiLengths()
{
    // A ZWJ family and a flag are one character each.
    const QString family = QString::fromUtf8("\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7");
    const QString flag = QString::fromUtf8("\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA");
    const TriggerIndex t = TriggerIndex::build({snip(QStringLiteral(":") + family + flag)}, {});
    QCOMPARE(t.triggerLengths, QList<int>{3});
    QVERIFY(t.triggerPrefixIndex.contains(QStringLiteral(":") + family));
    QCOMPARE(t.triggerPrefixIndex.size(), 2);
}

void tst_Indexes::shadowedTriggers()
{
    TriggerIndex t = TriggerIndex::build({snip(QStringLiteral(";date")), snip(QStringLiteral(";d"))}, {});
    QCOMPARE(t.shadowedTriggers.value(QStringLiteral(";date")), QStringLiteral(";d"));
    t = TriggerIndex::build({snip(QStringLiteral(";date")), snip(QStringLiteral(";d")), snip(QStringLiteral(";da"))}, {});
    QCOMPARE(t.shadowedTriggers.value(QStringLiteral(";date")), QStringLiteral(";d"));
    QCOMPARE(t.shadowedTriggers.value(QStringLiteral(";da")), QStringLiteral(";d"));
    QCOMPARE(t.shadowedTriggers.size(), 2);
    t = TriggerIndex::build({snip(QStringLiteral("addr")), snip(QStringLiteral("ad"))}, {});
    QVERIFY(t.shadowedTriggers.isEmpty());
}

void tst_Indexes::empty()
{
    const TriggerIndex t = TriggerIndex::build({}, {});
    QVERIFY(t.triggerIndex.isEmpty() && t.insensitiveTriggerIndex.isEmpty() && t.triggerPrefixIndex.isEmpty());
    QVERIFY(t.shadowedTriggers.isEmpty() && t.triggerLengths.isEmpty());
    QCOMPARE(t.maxTriggerLength, 0);
    QCOMPARE(t.minTriggerLength, 0);
}

void tst_Indexes::correctionIndex_data()
{
    QTest::addColumn<QString>("wrong");
    QTest::addColumn<QString>("right");
    QTest::addColumn<bool>("disableTeh");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value"); // empty: key absent
    QTest::newRow("trim and lower") << " Teh\t" << "the " << false << "teh" << "the";
    QTest::newRow("case only is skipped") << "Naive" << "naive" << false << "naive" << "";
    QTest::newRow("protected skipped") << "im" << "I'm" << false << "im" << "";
    QTest::newRow("blank right skipped") << "abc" << "   " << false << "abc" << "";
    QTest::newRow("overrides builtin") << "teh" << "THE" << false << "teh" << "THE";
    QTest::newRow("builtin disabled") << "zzq" << "zq" << true << "teh" << "";
    QTest::newRow("disabled but custom") << "teh" << "tea" << true << "teh" << "tea";
    QTest::newRow("line break kept") << "brk\n" << "x" << false << "brk\n" << "x";
}

void tst_Indexes::correctionIndex()
{
    QFETCH(QString, wrong);
    QFETCH(QString, right);
    QFETCH(bool, disableTeh);
    QFETCH(QString, key);
    QFETCH(QString, value);
    CustomCorrection c;
    c.wrong = wrong;
    c.right = right;
    QSet<QString> disabled;
    if (disableTeh)
        disabled.insert(QStringLiteral("teh"));
    const auto index = buildCorrectionIndex(disabled, {c});
    QCOMPARE(index.value(key), value);
}

void tst_Indexes::builtinTables()
{
    QCOMPARE(SpellData::corrections().size(), 348);
    QCOMPARE(SpellData::correctionList().size(), 348);
    QCOMPARE(SpellData::protectedWords().size(), 90);
    QCOMPARE(SpellData::safeCorrections().size(), 348);
    const auto index = buildCorrectionIndex({}, {});
    QCOMPARE(index.value(QStringLiteral("thankyou")), QStringLiteral("thank you"));
    QCOMPARE(index.value(QStringLiteral("dont't")), QStringLiteral("don't"));
    QCOMPARE(index.value(QStringLiteral("teh")), QStringLiteral("the"));
    int apostropheKeys = 0;
    for (const auto& [k, v] : SpellData::correctionList()) {
        QVERIFY2(k.size() >= 3 && k.size() <= 14 && k == k.toLower(), qPrintable(k));
        apostropheKeys += k.contains(QLatin1Char('\''));
    }
    QCOMPARE(apostropheKeys, 3);
}

QTEST_GUILESS_MAIN(tst_Indexes)
#include "tst_Indexes.moc"
