// The settings window as a screen reader or a voice-control tool drives it: the real binary
// on the fixture's X server with its accessibility bridge on, every field filled and every
// button pressed over AT-SPI, never with a key or a click.
#include "AppUnderTest.h"
#include "AtSpiDriver.h"
#include "XServerEnvironment.h"

#include <QTest>

#include <memory>

namespace {

const QStringList kButton{QStringLiteral("push button")};
const QStringList kField{QStringLiteral("text"), QStringLiteral("entry")};
const QStringList kPageTab{QStringLiteral("page tab")};

} // namespace

class tst_AccessibleWindowsOnX11 : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void editorCreatesASnippetFromAccessibleEdits();
    void sidebarTabsSwitchPagesThroughTheirAction();
    void searchFieldKeepsItsWidthBesideAnImportMessage();

  private:
    // Starts Quenvil with its bridge on and brings its window up (m_window).
    void openSettingsWindow();

    AtSpiDriver m_driver;
    std::unique_ptr<AppUnderTest> m_app;
    AtSpiObject m_application;
    AtSpiObject m_window;
};

void tst_AccessibleWindowsOnX11::initTestCase()
{
    QVERIFY2(m_driver.connectToBus(), "no accessibility bus on the session bus");
}

void tst_AccessibleWindowsOnX11::init()
{
    m_app = std::make_unique<AppUnderTest>();
    QVERIFY(m_app->isValid());
    // A returning user: a tray is there, so the launch shows nothing until asked.
    QVERIFY(m_app->writeFile(
        QStringLiteral("config/Quenvil/settings.json"),
        R"({"soundEnabled":false,"hudEnabled":false,"didLaunchBefore":true,"didCompleteOnboarding":true})"));
    QVERIFY(m_app->writeFile(QStringLiteral("data/Quenvil/snippets.json"),
                             R"([{"trigger": ";sig", "content": "SIGNED"}])"));
}

void tst_AccessibleWindowsOnX11::cleanup()
{
    m_app.reset();
    m_application = {};
    m_window = {};
}

void tst_AccessibleWindowsOnX11::openSettingsWindow()
{
    AppUnderTest::Options bridged;
    bridged.accessibility = true;
    m_app->start(bridged);
    QVERIFY(m_app->process()->state() == QProcess::Running);
    m_application = m_driver.application(m_app->process()->processId());
    QVERIFY2(!m_application.isNull(), "Quenvil did not show up on the accessibility bus");
    // A second start brings the first one's window up and leaves.
    auto second = m_app->launch(bridged);
    QVERIFY(second->waitForFinished(10000));
    QCOMPARE(second->exitCode(), 0);
    // A plain top-level widget: Qt gives it no window role of its own.
    m_window = m_driver.waitFor(m_application, {QStringLiteral("frame"), QStringLiteral("filler")},
                                QStringLiteral("Quenvil"), 10000);
    QVERIFY2(!m_window.isNull(), qPrintable(m_driver.dump(m_application, 2)));
}

void tst_AccessibleWindowsOnX11::editorCreatesASnippetFromAccessibleEdits()
{
    openSettingsWindow();
    if (QTest::currentTestFailed())
        return;
    const AtSpiObject add = m_driver.waitFor(m_window, kButton, QStringLiteral("New snippet"));
    QVERIFY2(!add.isNull(), qPrintable(m_driver.dump(m_window)));
    QVERIFY(m_driver.doAction(add, 0));

    // The sheet is a window of its own.
    const AtSpiObject trigger = m_driver.waitFor(m_application, kField, QStringLiteral("TRIGGER"));
    QVERIFY2(!trigger.isNull(), qPrintable(m_driver.dump(m_application)));
    const AtSpiObject content = m_driver.find(m_application, kField, QStringLiteral("EXPANDS TO"));
    QVERIFY(!content.isNull());
    const AtSpiObject create = m_driver.find(m_application, kButton, QStringLiteral("Create"));
    QVERIFY(!create.isNull());
    // Pressed while nothing was filled in: nothing happens.
    QVERIFY(m_driver.doAction(create, 0));
    QTest::qWait(500);
    QVERIFY(!m_driver.find(m_application, kField, QStringLiteral("TRIGGER")).isNull());

    QVERIFY(m_driver.setTextContents(trigger, QStringLiteral(";spoken")));
    QVERIFY(m_driver.setTextContents(content, QStringLiteral("Dictated, not typed")));
    QCOMPARE(m_driver.text(trigger), QStringLiteral(";spoken"));
    QVERIFY(m_driver.doAction(create, 0));
    QTRY_VERIFY_WITH_TIMEOUT(m_driver.find(m_application, kField, QStringLiteral("TRIGGER")).isNull(), 5000);

    QTRY_VERIFY_WITH_TIMEOUT(
        m_app->readFile(QStringLiteral("data/Quenvil/snippets.json")).contains("\";spoken\""), 5000);
    QVERIFY(
        m_app->readFile(QStringLiteral("data/Quenvil/snippets.json")).contains("\"Dictated, not typed\""));
}

void tst_AccessibleWindowsOnX11::sidebarTabsSwitchPagesThroughTheirAction()
{
    openSettingsWindow();
    if (QTest::currentTestFailed())
        return;
    const AtSpiObject snippets = m_driver.waitFor(m_window, kPageTab, QStringLiteral("Snippets"));
    const AtSpiObject suggestions = m_driver.find(m_window, kPageTab, QStringLiteral("Suggestions"));
    QVERIFY2(!snippets.isNull() && !suggestions.isNull(), qPrintable(m_driver.dump(m_window)));
    QVERIFY(m_driver.hasState(snippets, AtSpiState::selected));
    QVERIFY(m_driver.hasState(suggestions, AtSpiState::selectable));
    QVERIFY(!m_driver.hasState(suggestions, AtSpiState::selected));
    QVERIFY(!m_driver.hasState(suggestions, AtSpiState::checked));
    QVERIFY(!m_driver.find(m_window, kButton, QStringLiteral("New snippet")).isNull());

    QVERIFY2(m_driver.doAction(suggestions, QStringLiteral("Press")),
             qPrintable(m_driver.actionNames(suggestions).join(QLatin1Char(','))));
    QTRY_VERIFY_WITH_TIMEOUT(m_driver.hasState(suggestions, AtSpiState::selected), 5000);
    QVERIFY(!m_driver.hasState(snippets, AtSpiState::selected));
    // The Suggestions page is the one on screen now.
    QVERIFY(!m_driver.find(m_window, {QStringLiteral("label")}, QStringLiteral("Suggestions")).isNull());
    QVERIFY(m_driver.find(m_window, kButton, QStringLiteral("New snippet")).isNull());
}

void tst_AccessibleWindowsOnX11::searchFieldKeepsItsWidthBesideAnImportMessage()
{
    // Some other program's settings, not a file of snippets: the import explains at length
    // what it takes.
    QVERIFY(m_app->writeFile(QStringLiteral("settings.json"), R"({"theme": "dark", "fontSize": 12})"));
    const QString foreign = m_app->path(QStringLiteral("settings.json"));
    openSettingsWindow();
    if (QTest::currentTestFailed())
        return;
    const AtSpiObject import = m_driver.waitFor(m_window, kButton, QStringLiteral("Import"));
    QVERIFY2(!import.isNull(), qPrintable(m_driver.dump(m_window)));
    QVERIFY(m_driver.doAction(import, 0));

    // The file dialog, filled and accepted as a screen reader user does.
    const auto isDialog = [](const AtSpiDriver& d, const AtSpiObject& o) {
        return d.roleName(o) == QLatin1String("dialog");
    };
    AtSpiObject fileDialog;
    QTRY_VERIFY_WITH_TIMEOUT(!(fileDialog = m_driver.find(m_application, isDialog)).isNull(), 10000);
    const AtSpiObject fileName = m_driver.find(fileDialog, kField, QStringLiteral("File name:"));
    QVERIFY2(!fileName.isNull(), qPrintable(m_driver.dump(fileDialog)));
    QVERIFY(m_driver.setTextContents(fileName, foreign));
    const AtSpiObject open = m_driver.find(fileDialog, kButton, QStringLiteral("Open"));
    QVERIFY2(!open.isNull(), qPrintable(m_driver.dump(fileDialog)));
    QVERIFY(m_driver.doAction(open, 0));

    // The message shows beside the search field (cut short or whole; its full text is there).
    const auto isMessage = [](const AtSpiDriver& d, const AtSpiObject& o) {
        return d.roleName(o) == QLatin1String("label") &&
               (d.name(o).contains(QLatin1String("Unrecognized format")) ||
                d.description(o).contains(QLatin1String("Unrecognized format")));
    };
    AtSpiObject message;
    QTRY_VERIFY_WITH_TIMEOUT(!(message = m_driver.find(m_window, isMessage)).isNull(), 10000);
    const AtSpiObject search = m_driver.find(m_window, kField, QStringLiteral("Search snippets…"));
    QVERIFY2(!search.isNull(), qPrintable(m_driver.dump(m_window)));
    const QRect field = m_driver.extents(search);
    QVERIFY2(field.width() >= 200, qPrintable(QStringLiteral("the search field is %1 px wide beside \"%2\"")
                                                  .arg(field.width())
                                                  .arg(m_driver.name(message))));
    // The message takes the room that is left, never the field's.
    QVERIFY(!m_driver.extents(message).intersects(field));
}

QUENVIL_X11_TEST_MAIN(tst_AccessibleWindowsOnX11)
#include "tst_AccessibleWindowsOnX11.moc"
