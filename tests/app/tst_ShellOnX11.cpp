// The shell as a user meets it: the real binary on an X server with a tray (the fixture's
// trayer) or without one, driven with the mouse and keyboard through xdotool.
#include "AppUnderTest.h"
#include "TargetWindow.h"
#include "UserInput.h"
#include "XServerEnvironment.h"

#include <QDir>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPixmap>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>

#include <csignal>
#include <memory>

namespace {

constexpr int kHumanDelayMs = 60;

// Runs a program on `display` (the fixture's when empty) and returns what it printed.
QString run(const QString& program, const QStringList& args, const QString& display = {})
{
    QProcess p;
    if (!display.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display);
        p.setProcessEnvironment(env);
    }
    p.start(program, args);
    if (!p.waitForFinished(10000))
        return {};
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

// The tray icon: the small "Quenvil" window docked in the panel (xdotool's search does not
// descend into the panel, so the tree is read instead).
QString trayIconWindow()
{
    const QStringList lines = run(QStringLiteral("xwininfo"), {"-root", "-tree"}).split(QLatin1Char('\n'));
    const QRegularExpression icon(QStringLiteral("^\\s*(0x[0-9a-f]+) \"Quenvil\": \\(\"quenvil\" \"Quenvil\"\\)\\s+(\\d+)x(\\d+)"));
    for (const QString& line : lines) {
        const auto m = icon.match(line);
        if (m.hasMatch() && m.captured(2).toInt() >= 8 && m.captured(2).toInt() <= 64)
            return m.captured(1);
    }
    return {};
}

void screenshot(const QString& name)
{
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
    shot.save(QDir(QCoreApplication::applicationDirPath()).filePath(name));
}

} // namespace

class tst_ShellOnX11 : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void init();
    void cleanup();

    void trayIconDocksAndTheMenuActs();
    void firstLaunchShowsTheWindow();
    void withoutTrayTheWindowStandsIn();
    void ownFieldsAreNotExpandedInto();
    void losingTheDisplaySavesPendingStatistics();
    void signalsSavePendingStatistics_data();
    void signalsSavePendingStatistics();

  private:
    [[nodiscard]] bool writeSettings(const QByteArray& json) const;
    static AppUnderTest::Options onDisplay(const QString& display);
    bool openTrayMenu();

    std::unique_ptr<AppUnderTest> m_app;
    std::unique_ptr<TargetWindow> m_target;
};

void tst_ShellOnX11::init()
{
    m_app = std::make_unique<AppUnderTest>();
    QVERIFY(m_app->isValid());
    // A returning user: the launch shows no window when a tray is there.
    QVERIFY(writeSettings(AppUnderTest::returningUserSettings()));
    QVERIFY(m_app->writeFile(QStringLiteral("data/Quenvil/snippets.json"),
                             R"([{"trigger": ";sig", "content": "SIGNED"}])"));
}

void tst_ShellOnX11::cleanup()
{
    m_app.reset();
    m_target.reset();
}

bool tst_ShellOnX11::writeSettings(const QByteArray& json) const
{
    return m_app->writeFile(QStringLiteral("config/Quenvil/settings.json"), json);
}

AppUnderTest::Options tst_ShellOnX11::onDisplay(const QString& display)
{
    AppUnderTest::Options options;
    options.environment.append({QStringLiteral("DISPLAY"), display});
    return options;
}

bool tst_ShellOnX11::openTrayMenu()
{
    const QString icon = trayIconWindow();
    if (icon.isEmpty())
        return false;
    if (!UserInput::xdotool({"mousemove", "--window", icon, "11", "11", "click", "1"}))
        return false;
    // The open menu is a popup of ours that holds the keyboard.
    QTest::qWait(600);
    return true;
}

void tst_ShellOnX11::trayIconDocksAndTheMenuActs()
{
    m_target = std::make_unique<TargetWindow>();
    QVERIFY(m_target->start());
    m_app->start();
    QTRY_VERIFY_WITH_TIMEOUT(!trayIconWindow().isEmpty(), 10000);
    QTest::qWait(700); // past the launch's window decision
    QVERIFY2(UserInput::visibleMainWindows().isEmpty(), "a returning user with a tray gets no window");

    // Pause for 15 minutes: the second row.
    QVERIFY(openTrayMenu());
    screenshot(QStringLiteral("shell-tray-menu.png"));
    QVERIFY(UserInput::key({"Down", "Down", "Return"}));
    QTest::qWait(400);
    QVERIFY(m_target->activate());
    QVERIFY(UserInput::type(QStringLiteral(";sig"), kHumanDelayMs));
    QTest::qWait(500);
    QCOMPARE(m_target->text(), QStringLiteral(";sig"));

    // Resume: now the second row again.
    QVERIFY(openTrayMenu());
    QVERIFY(UserInput::key({"Down", "Down", "Return"}));
    QTest::qWait(400);
    QVERIFY(m_target->activate());
    QVERIFY(UserInput::type(QStringLiteral(" ;sig"), kHumanDelayMs));
    QVERIFY2(m_target->waitForText(QStringLiteral(";sig SIGNED")), qPrintable(m_target->text()));

    // Quit: the last row, one step up from the top.
    QVERIFY(openTrayMenu());
    QVERIFY(UserInput::key({"Up", "Return"}));
    QVERIFY(m_app->process()->waitForFinished(5000));
    QCOMPARE(m_app->process()->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_app->process()->exitCode(), 0);
}

void tst_ShellOnX11::firstLaunchShowsTheWindow()
{
    QVERIFY(writeSettings(R"({"soundEnabled":false,"hudEnabled":false})"));
    m_app->start();
    QTRY_COMPARE_WITH_TIMEOUT(UserInput::visibleMainWindows().size(), 1, 10000);
    QTest::qWait(500);
    screenshot(QStringLiteral("shell-first-launch.png"));
    // A second start raises the first one's window and leaves at once.
    const QString window = UserInput::visibleMainWindows().first();
    QVERIFY(UserInput::xdotool({"windowminimize", "--sync", window}));
    QTRY_VERIFY_WITH_TIMEOUT(UserInput::visibleMainWindows().isEmpty(), 5000);
    auto second = m_app->launch();
    QVERIFY(second->waitForFinished(10000));
    QCOMPARE(second->exitCode(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(UserInput::visibleMainWindows().size(), 1, 5000);
    QCOMPARE(m_app->process()->state(), QProcess::Running);
}

void tst_ShellOnX11::withoutTrayTheWindowStandsIn()
{
    // A desktop with no tray at all: its own X server, without the panel.
    qputenv("QUENVIL_XSERVER_TRAY", "0");
    PrivateXServer server;
    const bool started = server.start();
    qunsetenv("QUENVIL_XSERVER_TRAY");
    QVERIFY(started);
    const QString display = QString::fromLatin1(server.display());
    m_app->start(onDisplay(display));
    QTRY_COMPARE_WITH_TIMEOUT(UserInput::visibleMainWindows(display).size(), 1, 10000);
    // The window carries the menu's rows: Quit through its menu bar ends the process.
    const QString window = UserInput::visibleMainWindows(display).first();
    QProcess keys;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display);
    keys.setProcessEnvironment(env);
    keys.start(QStringLiteral("xdotool"), {"windowactivate", "--sync", window, "key", "--clearmodifiers", "ctrl+q"});
    QVERIFY(keys.waitForFinished(10000));
    QVERIFY(m_app->process()->waitForFinished(5000));
    QCOMPARE(m_app->process()->exitCode(), 0);
}

void tst_ShellOnX11::ownFieldsAreNotExpandedInto()
{
    m_target = std::make_unique<TargetWindow>();
    QVERIFY(m_target->start());
    m_app->start();
    QTRY_VERIFY_WITH_TIMEOUT(!trayIconWindow().isEmpty(), 10000);
    // A second start brings the window up; its search field takes what is typed.
    auto second = m_app->launch();
    QVERIFY(second->waitForFinished(10000));
    QTRY_COMPARE_WITH_TIMEOUT(UserInput::visibleMainWindows().size(), 1, 5000);
    const QString window = UserInput::visibleMainWindows().first();
    QVERIFY(UserInput::xdotool({"windowactivate", "--sync", window}));
    QVERIFY(UserInput::xdotool({"mousemove", "--window", window, "360", "160", "click", "1"}));
    QVERIFY(UserInput::type(QStringLiteral(";sig "), kHumanDelayMs));
    QTest::qWait(700);
    screenshot(QStringLiteral("shell-own-field.png"));

    // The same trigger in another program still expands.
    QVERIFY(m_target->activate());
    QVERIFY(UserInput::type(QStringLiteral(";sig"), kHumanDelayMs));
    QVERIFY2(m_target->waitForText(QStringLiteral("SIGNED")), qPrintable(m_target->text()));
    m_app->process()->terminate();
    QVERIFY(m_app->process()->waitForFinished(5000));
    const QByteArray settings = m_app->readFile(QStringLiteral("config/Quenvil/settings.json"));
    QVERIFY(!settings.isEmpty());
    const QJsonObject stored = QJsonDocument::fromJson(settings).object();
    QCOMPARE(stored.value(QStringLiteral("statExpansions")).toInt(), 1);
}

void tst_ShellOnX11::losingTheDisplaySavesPendingStatistics()
{
    // Its own X server, which the test then takes away (a logout, a crashed server).
    PrivateXServer server;
    QVERIFY(server.start());
    const QByteArray fixtureDisplay = qgetenv("DISPLAY");
    qputenv("DISPLAY", server.display());
    m_target = std::make_unique<TargetWindow>();
    const bool targetStarted = m_target->start();
    m_app->start(onDisplay(QString::fromLatin1(server.display())));
    QTest::qWait(3000);
    const bool typed = targetStarted && UserInput::type(QStringLiteral(";sig"), kHumanDelayMs) &&
                       m_target->waitForText(QStringLiteral("SIGNED"));
    server.stop(); // well inside the 2 s save delay
    const bool ended = m_app->process()->waitForFinished(10000);
    qputenv("DISPLAY", fixtureDisplay);
    m_target.reset();
    QVERIFY(targetStarted);
    QVERIFY(typed);
    QVERIFY(ended);
    QVERIFY(m_app->readFile(QStringLiteral("data/Quenvil/stats.json")).contains("QuenvilTarget"));
}

void tst_ShellOnX11::signalsSavePendingStatistics_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("TERM") << int(SIGTERM);
    QTest::newRow("HUP") << int(SIGHUP);
    QTest::newRow("INT") << int(SIGINT);
}

void tst_ShellOnX11::signalsSavePendingStatistics()
{
    QFETCH(int, signal);
    m_target = std::make_unique<TargetWindow>();
    QVERIFY(m_target->start());
    m_app->start();
    // Docked once it runs its event loop, by when the keyboard monitor is running.
    QTRY_VERIFY_WITH_TIMEOUT(!trayIconWindow().isEmpty(), 15000);
    QVERIFY(UserInput::type(QStringLiteral(";sig"), kHumanDelayMs));
    QVERIFY(m_target->waitForText(QStringLiteral("SIGNED")));
    ::kill(pid_t(m_app->process()->processId()), signal); // well inside the 2 s save delay
    QVERIFY(m_app->process()->waitForFinished(5000));
    QCOMPARE(m_app->process()->exitCode(), 0);
    QVERIFY(m_app->readFile(QStringLiteral("data/Quenvil/stats.json")).contains("QuenvilTarget"));
}

QUENVIL_X11_TEST_MAIN(tst_ShellOnX11)
#include "tst_ShellOnX11.moc"
