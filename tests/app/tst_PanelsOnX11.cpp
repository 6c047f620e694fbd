// The search and capture panels as a user meets them: the real binary on the fixture's X
// server (with its tray), the hot keys pressed over another program's window, the panels
// driven from the keyboard through xdotool.
#include "AppUnderTest.h"
#include "TargetWindow.h"
#include "UserInput.h"
#include "XServerEnvironment.h"

#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QTest>

#include <memory>

namespace {

constexpr int kHumanDelayMs = 60;

// The visible windows whose title starts with `title` (Qt may add the application's name).
QStringList visibleWindows(const QString& title) { return UserInput::visibleWindows("^" + title); }

// The active window's title, cut to `title` when it starts with it.
QString activeWindowName(const QString& title)
{
    const QString name = UserInput::activeWindowName();
    return name.startsWith(title) ? title : name;
}

void screenshot(const QString& name)
{
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
    shot.save(QDir(QCoreApplication::applicationDirPath()).filePath(name));
}

} // namespace

class tst_PanelsOnX11 : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void init();
    void cleanup();

    void searchTypesIntoTheWindowItWasOpenedOver();
    void captureMakesASnippetThatExpands();

  private:
    void startApp();

    std::unique_ptr<AppUnderTest> m_app;
};

void tst_PanelsOnX11::init()
{
    m_app = std::make_unique<AppUnderTest>();
    QVERIFY(m_app->isValid());
    // A returning user: the launch opens no window that would take the focus.
    QVERIFY(m_app->writeFile(QStringLiteral("config/Quenvil/settings.json"),
                             AppUnderTest::returningUserSettings()));
    QVERIFY(m_app->writeFile(QStringLiteral("data/Quenvil/snippets.json"),
                             R"([{"trigger": ";sig", "content": "SIGNED"},
                  {"trigger": ";addr", "content": "42 Harbour Street{key:tab}{cursor}"}])"));
}

void tst_PanelsOnX11::cleanup()
{
    m_app.reset();
}

void tst_PanelsOnX11::startApp()
{
    QVERIFY(m_app->start());
    // Connected, listening, hot keys registered, past the launch's window decision.
    QTest::qWait(1500);
    QCOMPARE(m_app->process()->state(), QProcess::Running);
}

void tst_PanelsOnX11::searchTypesIntoTheWindowItWasOpenedOver()
{
    // Another program's window that must receive nothing, then the one the user types in.
    TargetWindow bystander;
    QVERIFY(bystander.start(QStringLiteral("QuenvilBystander")));
    TargetWindow target;
    QVERIFY(target.start(QStringLiteral("QuenvilTarget")));
    startApp();
    QVERIFY(target.activate());
    QVERIFY(UserInput::type(QStringLiteral("To: "), kHumanDelayMs));
    QVERIFY(target.waitForText(QStringLiteral("To: ")));

    QVERIFY(UserInput::key({QStringLiteral("ctrl+alt+space")}));
    QTRY_COMPARE_WITH_TIMEOUT(visibleWindows(QStringLiteral("Search snippets")).size(), 1, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(activeWindowName(QStringLiteral("Search snippets")), QStringLiteral("Search snippets"), 5000);
    QTest::qWait(300); // the field takes the focus a moment after the panel shows
    screenshot(QStringLiteral("panels-search.png"));

    // The query goes to the panel, never to the window behind it.
    QVERIFY(UserInput::type(QStringLiteral("harbour"), kHumanDelayMs));
    QTest::qWait(300);
    screenshot(QStringLiteral("panels-search-filtered.png"));
    QVERIFY(UserInput::key({QStringLiteral("Return")}));

    // Plain text only: the tab key and the cursor mark are not typed.
    QVERIFY2(target.waitForText(QStringLiteral("To: 42 Harbour Street")), qPrintable(target.text()));
    QTRY_VERIFY_WITH_TIMEOUT(visibleWindows(QStringLiteral("Search snippets")).isEmpty(), 5000);
    QTest::qWait(300);
    QCOMPARE(target.text(), QStringLiteral("To: 42 Harbour Street"));
    QCOMPARE(bystander.text(), QString());

    // Escape closes the panel and the target has the focus back: typing goes on there.
    QVERIFY(UserInput::key({QStringLiteral("ctrl+alt+space")}));
    QTRY_COMPARE_WITH_TIMEOUT(visibleWindows(QStringLiteral("Search snippets")).size(), 1, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(activeWindowName(QStringLiteral("Search snippets")), QStringLiteral("Search snippets"), 5000);
    QTest::qWait(300);
    QVERIFY(UserInput::key({QStringLiteral("Escape")}));
    QTRY_VERIFY_WITH_TIMEOUT(visibleWindows(QStringLiteral("Search snippets")).isEmpty(), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(activeWindowName(QStringLiteral("QuenvilTarget")), QStringLiteral("QuenvilTarget"), 5000);
    QVERIFY(UserInput::type(QStringLiteral("."), kHumanDelayMs));
    QVERIFY2(target.waitForText(QStringLiteral("To: 42 Harbour Street.")), qPrintable(target.text()));
    QCOMPARE(bystander.text(), QString());
}

void tst_PanelsOnX11::captureMakesASnippetThatExpands()
{
    TargetWindow target;
    QVERIFY(target.start(QStringLiteral("QuenvilTarget")));
    startApp();
    QVERIFY(target.activate());
    QVERIFY(UserInput::type(QStringLiteral("Hello capture world"), kHumanDelayMs));
    QVERIFY(target.waitForText(QStringLiteral("Hello capture world")));
    QVERIFY(UserInput::key({QStringLiteral("ctrl+a")}));
    QTest::qWait(300);

    QVERIFY(UserInput::key({QStringLiteral("ctrl+alt+n")}));
    QTRY_COMPARE_WITH_TIMEOUT(visibleWindows(QStringLiteral("New snippet")).size(), 1, 8000);
    QTRY_COMPARE_WITH_TIMEOUT(activeWindowName(QStringLiteral("New snippet")), QStringLiteral("New snippet"), 5000);
    QTest::qWait(300);
    QVERIFY(UserInput::type(QStringLiteral(";hcw"), kHumanDelayMs));
    QTest::qWait(200);
    screenshot(QStringLiteral("panels-capture.png"));
    QVERIFY(UserInput::key({QStringLiteral("ctrl+Return")}));
    QTRY_VERIFY_WITH_TIMEOUT(visibleWindows(QStringLiteral("New snippet")).isEmpty(), 5000);

    // Saved at once, at the end of the library; nothing was typed into the target.
    QTRY_VERIFY_WITH_TIMEOUT(
        m_app->readFile(QStringLiteral("data/Quenvil/snippets.json")).contains("\";hcw\""), 5000);
    const QByteArray saved = m_app->readFile(QStringLiteral("data/Quenvil/snippets.json"));
    QVERIFY(saved.indexOf("\";hcw\"") > saved.indexOf("\";addr\""));
    QVERIFY(saved.contains("Hello capture world"));
    QCOMPARE(target.text(), QStringLiteral("Hello capture world"));

    // The focus is back in the target, and the new trigger expands there.
    QTRY_COMPARE_WITH_TIMEOUT(activeWindowName(QStringLiteral("QuenvilTarget")), QStringLiteral("QuenvilTarget"), 5000);
    QTest::qWait(500); // as a person would, before typing on
    QVERIFY(UserInput::key({QStringLiteral("End")}));
    QVERIFY(UserInput::type(QStringLiteral(" ;hcw"), kHumanDelayMs));
    QVERIFY2(target.waitForText(QStringLiteral("Hello capture world Hello capture world")), qPrintable(target.text()));
}

QUENVIL_X11_TEST_MAIN(tst_PanelsOnX11)
#include "tst_PanelsOnX11.moc"
