#include "model/AppState.h"

#include "TestHome.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

#include <memory>

class tst_Operations : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup()
    {
        m_store.reset();
        m_home.reset();
    }

    void addSnippets_data();
    void addSnippets();
    void addingNothingWritesNothing();
    void effectiveTrigger();
    void deleteGroupKeepsSnippets();
    void deleteEmptyOrUnknownGroup();

private:
    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<AppState> m_store;
    QList<Snippet> m_five;
};

static Snippet snip(const QString& trigger)
{
    Snippet s;
    s.trigger = trigger;
    s.content = trigger + QStringLiteral("!");
    return s;
}

void tst_Operations::init()
{
    m_home = std::make_unique<TestHome>();
    AppState::Options o = m_home->storeOptions();
    m_store = std::make_unique<AppState>(o);
    m_five.clear();
    for (const char* t : {"a", "b", "c", "d", "e"})
        m_five.append(snip(QLatin1String(t)));
    m_store->setSnippets(m_five);
}

static QString order(const QList<Snippet>& list)
{
    QString out;
    for (const Snippet& s : list)
        out += s.trigger;
    return out;
}

void tst_Operations::addSnippets_data()
{
    QTest::addColumn<int>("after"); // index into the five, -1 none, -2 unknown id
    QTest::addColumn<QString>("expected");
    QTest::newRow("after first") << 0 << "axyzbcde";
    QTest::newRow("after last") << 4 << "abcdexyz";
    QTest::newRow("no anchor") << -1 << "abcdexyz";
    QTest::newRow("unknown anchor") << -2 << "abcdexyz";
}

void tst_Operations::addSnippets()
{
    QFETCH(int, after);
    QFETCH(QString, expected);
    std::optional<QUuid> anchor;
    if (after >= 0)
        anchor = m_five.at(after).id;
    else if (after == -2)
        anchor = QUuid::createUuid();
    QSignalSpy spy(m_store.get(), &AppState::snippetsChanged);
    QVERIFY(m_store->addSnippets({snip(QStringLiteral("x")), snip(QStringLiteral("y")), snip(QStringLiteral("z"))}, anchor));
    QCOMPARE(order(m_store->snippets()), expected);
    QCOMPARE(spy.count(), 1); // one assignment: one save, one rebuild
    QVERIFY(m_store->triggerIndex().contains(QStringLiteral("y")));
}

void tst_Operations::addingNothingWritesNothing()
{
    const QString file = m_home->dataFile(QStringLiteral("snippets.json"));
    QFile::remove(file);
    QVERIFY(m_store->addSnippets({}));
    QVERIFY(!QFileInfo::exists(file));
    // A duplicate trigger is added as it is; the later one fires.
    Snippet dup = snip(QStringLiteral("a"));
    dup.content = QStringLiteral("later");
    m_store->addSnippets({dup});
    QCOMPARE(m_store->snippets().size(), 6);
    QCOMPARE(m_store->triggerIndex().value(QStringLiteral("a")).snippet.content, QStringLiteral("later"));
}

void tst_Operations::effectiveTrigger()
{
    SnippetGroup x;
    x.triggerPrefix = QStringLiteral("x");
    x.enabled = false;
    SnippetGroup twin = x;
    twin.triggerPrefix = QStringLiteral("y"); // same id, later: the first wins
    SnippetGroup plain;
    m_store->setGroups({x, twin, plain});
    Snippet s = snip(QStringLiteral("sig"));
    QCOMPARE(m_store->effectiveTrigger(s), QStringLiteral("sig"));
    s.groupID = x.id;
    QCOMPARE(m_store->effectiveTrigger(s), QStringLiteral("xsig")); // disabled group keeps its prefix
    s.groupID = plain.id;
    QCOMPARE(m_store->effectiveTrigger(s), QStringLiteral("sig"));
    s.groupID = QUuid::createUuid();
    QCOMPARE(m_store->effectiveTrigger(s), QStringLiteral("sig"));
}

void tst_Operations::deleteGroupKeepsSnippets()
{
    SnippetGroup g;
    g.triggerPrefix = QStringLiteral("g.");
    m_store->setGroups({g});
    QList<Snippet> list = m_store->snippets();
    list[1].groupID = g.id;
    list[3].groupID = g.id;
    list[3].enabled = false;
    m_store->setSnippets(list);
    QVERIFY(m_store->triggerIndex().contains(QStringLiteral("g.b")));

    QList<QString> writes;
    connect(m_store.get(), &AppState::snippetsChanged, this, [&] { writes << QStringLiteral("snippets"); });
    connect(m_store.get(), &AppState::groupsChanged, this, [&] { writes << QStringLiteral("groups"); });
    m_store->deleteGroup(g.id);
    QCOMPARE(writes, (QList<QString>{QStringLiteral("snippets"), QStringLiteral("groups")}));
    QCOMPARE(order(m_store->snippets()), QStringLiteral("abcde"));
    for (const Snippet& s : m_store->snippets())
        QVERIFY(!s.groupID);
    QVERIFY(!m_store->snippets().at(3).enabled);
    QVERIFY(m_store->groups().isEmpty());
    QVERIFY(m_store->triggerIndex().contains(QStringLiteral("b")));
}

void tst_Operations::deleteEmptyOrUnknownGroup()
{
    SnippetGroup g;
    m_store->setGroups({g});
    QSignalSpy snippets(m_store.get(), &AppState::snippetsChanged);
    QSignalSpy groups(m_store.get(), &AppState::groupsChanged);
    m_store->deleteGroup(g.id);
    m_store->deleteGroup(QUuid::createUuid());
    QCOMPARE(snippets.count(), 0);
    QCOMPARE(groups.count(), 2); // rewritten on every call
    QVERIFY(m_store->groups().isEmpty());
}

QTEST_GUILESS_MAIN(tst_Operations)
#include "tst_Operations.moc"
