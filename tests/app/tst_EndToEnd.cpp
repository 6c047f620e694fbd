#include "model/Models.h"

#include "AppUnderTest.h"
#include "TargetWindow.h"
#include "UserInput.h"
#include "XServerEnvironment.h"

#include <QTest>

#include <memory>

// Keys at the pace of a fast typist. Faster than this (xdotool's default) the next key can
// land while an expansion's deletions are still under way, which no person produces.
constexpr int kHumanDelayMs = 60;

// The application as a user meets it: started with its own data folder, typing into a
// window of another program.
class tst_EndToEnd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void expansions_data();
    void expansions();
    void applicationScope();
    void ownOutputNeverExpandsAgain();
    void pendingStatisticsAreSavedAtQuit();

private:
    void startApp(const QString& mode);
    void writeData(const QByteArray& snippets, const QByteArray& groups = "[]");

    AppUnderTest m_app;
    std::unique_ptr<TargetWindow> m_target;
};

void tst_EndToEnd::initTestCase()
{
    QVERIFY(m_app.isValid());
}

void tst_EndToEnd::cleanupTestCase() { m_app.stop(); }

void tst_EndToEnd::init() {}

void tst_EndToEnd::cleanup()
{
    m_app.stop();
    m_target.reset();
}

void tst_EndToEnd::writeData(const QByteArray& snippets, const QByteArray& groups)
{
    QVERIFY(m_app.writeFile(QStringLiteral("data/Quenvil/snippets.json"), snippets));
    QVERIFY(m_app.writeFile(QStringLiteral("data/Quenvil/groups.json"), groups));
}

void tst_EndToEnd::startApp(const QString& mode)
{
    QVERIFY(m_app.writeFile(QStringLiteral("config/Quenvil/settings.json"),
                            QByteArray(R"({"soundEnabled":false,"hudEnabled":false,"didLaunchBefore":true,)"
                                       R"("didCompleteOnboarding":true,"expansionMode":")") +
                                mode.toUtf8() + "\"}"));
    QVERIFY(m_app.start());
    // Give it time to connect and start listening.
    QTest::qWait(1200);
    QCOMPARE(m_app.process()->state(), QProcess::Running);
}

void tst_EndToEnd::expansions_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");
    QTest::newRow("instant") << "instant" << "a ;sig" << "a Best,\nYour name";
    QTest::newRow("delimiter keeps the space") << "delimiter" << ";sig ok" << "Best,\nYour name ok";
    QTest::newRow("keepDelimiter off") << "delimiter" << "xx ;drop." << "xx DROPPED";
    QTest::newRow("cursor") << "instant" << ";par" << "()";
    QTest::newRow("key tab") << "instant" << ";tab" << "a\tb";
    QTest::newRow("group prefix") << "delimiter" << "g.mail " << "me@example.org ";
    QTest::newRow("non-ASCII") << "instant" << ";shrug" << QString::fromUtf8("\u00AF\\_(\u30C4)_/\u00AF \u00E9\u2192\u2713 \U0001F600");
    QTest::newRow("spelling fix") << "delimiter" << "teh cat " << "the cat ";
    QTest::newRow("date") << "instant" << ";iso" << QDate::currentDate().toString(Qt::ISODate);
}

void tst_EndToEnd::expansions()
{
    QFETCH(QString, mode);
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    writeData(R"json([
        {"trigger": ";sig", "content": "Best,\nYour name"},
        {"trigger": ";drop", "content": "DROPPED", "keepDelimiter": false},
        {"trigger": ";par", "content": "({cursor})"},
        {"trigger": ";tab", "content": "a{key:tab}b"},
        {"trigger": ";shrug", "content": "\u00af\\_(\u30c4)_/\u00af \u00e9\u2192\u2713 \ud83d\ude00"},
        {"trigger": ";iso", "content": "{date:yyyy-MM-dd}"},
        {"trigger": "mail", "content": "me@example.org", "groupID": "6F9619FF-8B86-D011-B42D-00C04FC964FF"}
    ])json",
              R"json([{"id": "6F9619FF-8B86-D011-B42D-00C04FC964FF", "name": "G", "triggerPrefix": "g."}])json");
    m_target = std::make_unique<TargetWindow>();
    QVERIFY(m_target->start());
    startApp(mode);
    QVERIFY(UserInput::type(typed, kHumanDelayMs));
    if (typed == QLatin1String(";par")) {
        // The caret sits between the parentheses: what is typed next lands inside.
        QVERIFY(m_target->waitForText(QStringLiteral("()")));
        QVERIFY(UserInput::type(QStringLiteral("x"), kHumanDelayMs));
        expected = QStringLiteral("(x)");
    }
    QVERIFY2(m_target->waitForText(expected), qPrintable(m_target->text()));
}

void tst_EndToEnd::applicationScope()
{
    writeData(R"json([
        {"trigger": ";here", "content": "HERE", "groupID": "6F9619FF-8B86-D011-B42D-00C04FC964FF"},
        {"trigger": ";there", "content": "THERE", "groupID": "7F9619FF-8B86-D011-B42D-00C04FC964FF"}
    ])json",
              R"json([{"id": "6F9619FF-8B86-D011-B42D-00C04FC964FF", "appMode": "onlyIn", "appList": ["QuenvilTarget"]},
                  {"id": "7F9619FF-8B86-D011-B42D-00C04FC964FF", "appMode": "onlyIn", "appList": ["SomethingElse"]}])json");
    m_target = std::make_unique<TargetWindow>();
    QVERIFY(m_target->start(QStringLiteral("QuenvilTarget")));
    startApp(QStringLiteral("instant"));
    QVERIFY(UserInput::type(QStringLiteral(";here ;there"), kHumanDelayMs));
    QVERIFY2(m_target->waitForText(QStringLiteral("HERE ;there")), qPrintable(m_target->text()));
}

void tst_EndToEnd::ownOutputNeverExpandsAgain()
{
    // The expansion types the trigger of another snippet: it must arrive as it is.
    writeData(R"json([
        {"trigger": ";a", "content": "x;b"},
        {"trigger": ";b", "content": "LOOP"}
    ])json");
    m_target = std::make_unique<TargetWindow>();
    QVERIFY(m_target->start());
    startApp(QStringLiteral("instant"));
    QVERIFY(UserInput::type(QStringLiteral(";a"), kHumanDelayMs));
    QVERIFY2(m_target->waitForText(QStringLiteral("x;b")), qPrintable(m_target->text()));
    QTest::qWait(500);
    QCOMPARE(m_target->text(), QStringLiteral("x;b"));
}

void tst_EndToEnd::pendingStatisticsAreSavedAtQuit()
{
    writeData(R"json([{"trigger": ";sig", "content": "S"}])json");
    m_target = std::make_unique<TargetWindow>();
    QVERIFY(m_target->start());
    startApp(QStringLiteral("instant"));
    QVERIFY(UserInput::type(QStringLiteral(";sig"), kHumanDelayMs));
    QVERIFY(m_target->waitForText(QStringLiteral("S")));
    m_app.stop(); // well inside the 2 s save delay
    QVERIFY(m_app.readFile(QStringLiteral("data/Quenvil/stats.json")).contains("QuenvilTarget"));
}

QUENVIL_X11_TEST_MAIN(tst_EndToEnd)
#include "tst_EndToEnd.moc"
