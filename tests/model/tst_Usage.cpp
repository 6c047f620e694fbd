#include "model/AppState.h"

#include "TestHome.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <cmath>
#include <limits>
#include <memory>

class tst_Usage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_home = std::make_unique<TestHome>();
        m_now = QDateTime(QDate(2026, 3, 1), QTime(12, 0));
    }
    void cleanup()
    {
        m_store.reset();
        m_home.reset();
    }

    void burstIsSavedOnce();
    void emptyBundleIsNotCountedPerApp();
    void statsFileForm();
    void statsLoading_data();
    void statsLoading();
    void pendingStatsAreSavedAtQuit();
    void timeSaved_data();
    void timeSaved();
    void pauseReplacesAndResumes();
    void pauseEndsByWallClock();
    void countsBeyond32Bits();
    void sampleUsageAddsUpAndOrphansGo();

private:
    AppState& store(int statsDelay = 50, int pauseCheck = 15000)
    {
        AppState::Options o = m_home->storeOptions();
        o.clock = [this] { return m_now; };
        o.statsSaveDelayMs = statsDelay;
        o.pauseCheckIntervalMs = pauseCheck;
        m_store = std::make_unique<AppState>(o);
        return *m_store;
    }
    QJsonObject statsFile() const
    {
        return QJsonDocument::fromJson(TestHome::readFile(m_home->dataFile(QStringLiteral("stats.json")))).object();
    }
    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<AppState> m_store;
    QDateTime m_now;
};

void tst_Usage::burstIsSavedOnce()
{
    AppState& s = store(200);
    const QUuid id = Snippet::samples().first().id;
    for (int i = 0; i < 3; ++i)
        s.recordUsage(id, QStringLiteral("XTerm"));
    QCOMPARE(s.usageBySnippet().value(id), 3);
    QVERIFY(s.statsSavePending());
    QVERIFY(!QFile::exists(m_home->dataFile(QStringLiteral("stats.json"))));
    QTRY_VERIFY(QFile::exists(m_home->dataFile(QStringLiteral("stats.json"))));
    QCOMPARE(statsFile().value(QStringLiteral("bySnippet")).toObject().value(uuidText(id)).toInt(), 3);
    QVERIFY(!s.statsSavePending());
}

void tst_Usage::emptyBundleIsNotCountedPerApp()
{
    AppState& s = store();
    const QUuid id = QUuid::createUuid();
    s.recordUsage(id, QString());
    QCOMPARE(s.usageBySnippet().value(id), 1);
    QCOMPARE(s.lastUsedBySnippet().value(id), m_now);
    QVERIFY(s.usageByApp().isEmpty());
}

void tst_Usage::statsFileForm()
{
    AppState& s = store();
    s.recordUsage(Snippet::samples().first().id, QString());
    s.flushPendingStats();
    const QJsonObject o = statsFile();
    QCOMPARE(o.keys(), (QStringList{QStringLiteral("byApp"), QStringLiteral("bySnippet"), QStringLiteral("lastUsed")}));
    const double stamp = o.value(QStringLiteral("lastUsed")).toObject().begin().value().toDouble();
    // 2026-03-01 12:00 local, counted from 2001-01-01 00:00 UTC.
    QCOMPARE(stamp, double(m_now.toSecsSinceEpoch()) - 978307200.0);
    QCOMPARE(TestHome::permissions(m_home->dataFile(QStringLiteral("stats.json"))), 0600);
}

void tst_Usage::statsLoading_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("snippets");
    QTest::addColumn<int>("apps");
    QTest::addColumn<int>("lastUsed");
    const QByteArray id = "6f9619ff-8b86-d011-b42d-00c04fc964ff";
    QTest::newRow("no lastUsed") << QByteArray(R"({"byApp":{"XTerm":2},"bySnippet":{")" + id + R"(":4}})") << 1 << 1 << 0;
    QTest::newRow("no byApp") << QByteArray(R"({"bySnippet":{")" + id + R"(":4}})") << 0 << 0 << 0;
    QTest::newRow("bad key dropped") << QByteArray(R"({"byApp":{},"bySnippet":{"nope":1,")" + id + R"(":4}})") << 1 << 0 << 0;
    QTest::newRow("wrong type") << QByteArray(R"({"byApp":{"a":"1"},"bySnippet":{}})") << 0 << 0 << 0;
    QTest::newRow("fraction is not a count") << QByteArray(R"({"byApp":{"a":1.5},"bySnippet":{}})") << 0 << 0 << 0;
    QTest::newRow("with lastUsed") << QByteArray(R"({"byApp":{},"bySnippet":{},"lastUsed":{")" + id + R"(":8.5e8}})") << 0 << 0 << 1;
}

void tst_Usage::statsLoading()
{
    QFETCH(QByteArray, file);
    QFETCH(int, snippets);
    QFETCH(int, apps);
    QFETCH(int, lastUsed);
    TestHome::writeFile(m_home->dataFile(QStringLiteral("stats.json")), file);
    TestHome::writeFile(m_home->dataFile(QStringLiteral("snippets.json")),
                        R"([{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","trigger":"t","content":"c"}])");
    AppState& s = store();
    QCOMPARE(s.usageBySnippet().size(), snippets);
    QCOMPARE(s.usageByApp().size(), apps);
    QCOMPARE(s.lastUsedBySnippet().size(), lastUsed);
    if (snippets) {
        s.recordUsage(QUuid::createUuid(), QString());
        s.flushPendingStats();
        // Written back in upper case, the bad key gone.
        const QJsonObject by = statsFile().value(QStringLiteral("bySnippet")).toObject();
        QVERIFY(by.contains(QStringLiteral("6F9619FF-8B86-D011-B42D-00C04FC964FF")));
        QVERIFY(!by.contains(QStringLiteral("nope")));
    }
}

void tst_Usage::pendingStatsAreSavedAtQuit()
{
    AppState& s = store(60000);
    s.recordUsage(QUuid::createUuid(), QStringLiteral("XTerm"));
    m_store.reset(); // quitting
    QCOMPARE(statsFile().value(QStringLiteral("byApp")).toObject().value(QStringLiteral("XTerm")).toInt(), 1);
}

void tst_Usage::timeSaved_data()
{
    QTest::addColumn<qint64>("chars");
    QTest::addColumn<qint64>("corrections");
    QTest::addColumn<double>("wpm");
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QString>("label");
    QTest::newRow("300 chars at 40") << qint64(300) << qint64(0) << 40.0 << 90.0 << "1m";
    QTest::newRow("corrections only") << qint64(0) << qint64(30) << 40.0 << 60.0 << "1m";
    QTest::newRow("59.4 s") << qint64(198) << qint64(0) << 40.0 << 59.4 << "59s";
    QTest::newRow("59.5 s") << qint64(119) << qint64(0) << 24.0 << 59.5 << "1m";
    QTest::newRow("wpm zero counts as one") << qint64(1) << qint64(0) << 0.0 << 12.0 << "12s";
    QTest::newRow("wpm NaN counts as one") << qint64(1) << qint64(0) << std::numeric_limits<double>::quiet_NaN() << 12.0 << "12s";
    QTest::newRow("hours") << qint64(0) << qint64(3599) << 40.0 << 7198.0 << "1h";
    QTest::newRow("days") << qint64(0) << qint64(45000) << 40.0 << 90000.0 << "1d";
    QTest::newRow("half rounds up") << qint64(119) << qint64(0) << 40.0 << 35.7 << "36s";
}

void tst_Usage::timeSaved()
{
    QFETCH(qint64, chars);
    QFETCH(qint64, corrections);
    QFETCH(double, wpm);
    QFETCH(double, seconds);
    QFETCH(QString, label);
    AppState& s = store();
    s.setStatCharsSaved(chars);
    s.setStatCorrections(corrections);
    s.setTypingWPM(wpm);
    QVERIFY(qAbs(s.timeSavedSeconds() - seconds) < 1e-9);
    QCOMPARE(s.timeSavedLabel(), label);
}

void tst_Usage::pauseReplacesAndResumes()
{
    AppState& s = store();
    int resets = 0;
    s.setHooks({{}, {}, {}, [&] { ++resets; }});
    s.pause(15);
    QVERIFY(s.isPaused());
    QCOMPARE(*s.pausedUntil(), m_now.addSecs(15 * 60));
    s.pause(60);
    QCOMPARE(*s.pausedUntil(), m_now.addSecs(60 * 60));
    QVERIFY(!s.pausedUntilLabel().isEmpty());
    s.resumeNow();
    QVERIFY(!s.isPaused());
    QVERIFY(s.pausedUntilLabel().isEmpty());
    s.resumeNow(); // also when not paused: the buffer is reset all the same
    QCOMPARE(resets, 4);
}

void tst_Usage::pauseEndsByWallClock()
{
    // The machine sleeps through the pause: the monotonic timer has barely run, but the
    // wall clock says the pause is over, and the next check ends it.
    AppState& s = store(50, 20);
    s.pause(15);
    QTest::qWait(60);
    QVERIFY(s.isPaused());
    m_now = m_now.addSecs(16 * 60);
    QTRY_VERIFY(!s.isPaused());
}

void tst_Usage::countsBeyond32Bits()
{
    const QString id = uuidText(Snippet::samples().first().id);
    TestHome::writeFile(m_home->dataFile(QStringLiteral("stats.json")),
                        (R"({"byApp":{"XTerm":9007199254740991,"Code":-4,"kitty":1e300},)"
                         R"("bySnippet":{")" + id + R"(":3000000000},"lastUsed":{")" + id + R"(":1e300}})")
                            .toUtf8());
    AppState& s = store();
    QCOMPARE(s.usageBySnippet().value(Snippet::samples().first().id), 3000000000LL);
    QCOMPARE(s.usageByApp().value(QStringLiteral("XTerm")), 9007199254740991LL);
    QVERIFY(!s.usageByApp().contains(QStringLiteral("Code"))); // a negative count is no count
    QVERIFY(!s.usageByApp().contains(QStringLiteral("kitty")));
    QCOMPARE(s.notices().size(), 1);
    QCOMPARE(s.notices().first().skippedRecords, 2);
    QCOMPARE(s.lastUsedBySnippet().value(Snippet::samples().first().id).date(), QDate(9999, 12, 31));
    s.recordUsage(Snippet::samples().first().id, QStringLiteral("XTerm"));
    s.flushPendingStats();
    const QByteArray bytes = TestHome::readFile(m_home->dataFile(QStringLiteral("stats.json")));
    QVERIFY2(bytes.contains("3000000001"), bytes.constData());
    QVERIFY2(bytes.contains("9007199254740992"), bytes.constData()); // one more use
    QCOMPARE(statsFile().value(QStringLiteral("lastUsed")).toObject().value(id).toDouble(),
             double(m_now.toSecsSinceEpoch()) - 978307200.0);
}

void tst_Usage::sampleUsageAddsUpAndOrphansGo()
{
    const QUuid gone = QUuid::createUuid();
    TestHome::writeFile(m_home->dataFile(QStringLiteral("stats.json")),
                        (R"({"byApp":{},"bySnippet":{")" + uuidText(gone) + R"(":5},"lastUsed":{")" + uuidText(gone) +
                         R"(":1}})")
                            .toUtf8());
    const QUuid sample = Snippet::samples().at(2).id;
    for (int run = 1; run <= 2; ++run) {
        // The samples were never saved, yet their usage adds up from one start to the next.
        AppState& s = store();
        QVERIFY(!QFile::exists(m_home->dataFile(QStringLiteral("snippets.json"))));
        s.recordUsage(sample, QString());
        QCOMPARE(s.usageBySnippet().value(sample), run);
        m_store.reset();
        const QJsonObject by = statsFile().value(QStringLiteral("bySnippet")).toObject();
        QCOMPARE(by.value(uuidText(sample)).toInt(), run);
        QVERIFY(!by.contains(uuidText(gone))); // usage of snippets that no longer exist goes
        QVERIFY(!statsFile().value(QStringLiteral("lastUsed")).toObject().contains(uuidText(gone)));
    }

    // While snippets.json could not be read in full, the skipped ones may come back from the
    // kept copy: their usage stays.
    TestHome::writeFile(m_home->dataFile(QStringLiteral("stats.json")),
                        (R"({"byApp":{},"bySnippet":{")" + uuidText(gone) + R"(":5}})").toUtf8());
    TestHome::writeFile(m_home->dataFile(QStringLiteral("snippets.json")),
                        (R"([{"id":")" + uuidText(gone) + R"(","trigger":7,"content":"x"}])").toUtf8());
    AppState& s = store();
    s.recordUsage(sample, QString());
    s.flushPendingStats();
    QVERIFY(statsFile().value(QStringLiteral("bySnippet")).toObject().contains(uuidText(gone)));
}

QTEST_GUILESS_MAIN(tst_Usage)
#include "tst_Usage.moc"
