// The shell as a user meets it: the real binary on an X server with a tray (the fixture's
// trayer) or without one, driven with the mouse and keyboard through xdotool.
#include "TargetWindow.h"
#include "UserInput.h"
#include "XServerEnvironment.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPixmap>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
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

// Visible top-level windows titled exactly "Quenvil" that are larger than a tray icon.
QStringList visibleMainWindows(const QString& display = {})
{
    QStringList found;
    const QStringList ids =
        run(QStringLiteral("xdotool"), {"search", "--onlyvisible", "--name", "^Quenvil$"}, display)
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& id : ids) {
        const QString geometry = run(QStringLiteral("xdotool"), {"getwindowgeometry", id}, display);
        const QRegularExpression size(QStringLiteral("Geometry: (\\d+)x(\\d+)"));
        const auto m = size.match(geometry);
        if (m.hasMatch() && m.captured(1).toInt() >= 400)
            found << id;
    }
    return found;
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
    void writeSettings(const QByteArray& json);
    void writeSnippets(const QByteArray& json);
    std::unique_ptr<QProcess> startApp(const QString& display = {});
    bool openTrayMenu();

    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<QProcess> m_app;
    std::unique_ptr<TargetWindow> m_target;
};

void tst_ShellOnX11::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    QVERIFY(m_home->isValid());
    // A returning user: the launch shows no window when a tray is there.
    writeSettings(R"({"soundEnabled":false,"hudEnabled":false,"expansionMode":"instant",)"
                  R"("didLaunchBefore":true,"didCompleteOnboarding":true})");
    writeSnippets(R"([{"trigger": ";sig", "content": "SIGNED"}])");
}

void tst_ShellOnX11::cleanup()
{
    if (m_app) {
        m_app->terminate();
        if (!m_app->waitForFinished(5000))
            m_app->kill();
        m_app.reset();
    }
    m_target.reset();
    m_home.reset();
}

void tst_ShellOnX11::writeSettings(const QByteArray& json)
{
    const QString dir = m_home->path() + QStringLiteral("/config/Quenvil");
    QDir().mkpath(dir);
    QFile f(dir + QStringLiteral("/settings.json"));
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(json);
}

void tst_ShellOnX11::writeSnippets(const QByteArray& json)
{
    const QString dir = m_home->path() + QStringLiteral("/data/Quenvil");
    QDir().mkpath(dir);
    QFile f(dir + QStringLiteral("/snippets.json"));
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(json);
}

std::unique_ptr<QProcess> tst_ShellOnX11::startApp(const QString& display)
{
    auto app = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_home->path() + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home->path() + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home->path());
    env.insert(QStringLiteral("HOME"), m_home->path());
    if (!display.isEmpty())
        env.insert(QStringLiteral("DISPLAY"), display);
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    app->setProcessEnvironment(env);
    app->setProcessChannelMode(QProcess::ForwardedChannels);
    app->start(QStringLiteral(QUENVIL_APP), {});
    app->waitForStarted(5000);
    return app;
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
    m_app = startApp();
    QTRY_VERIFY_WITH_TIMEOUT(!trayIconWindow().isEmpty(), 10000);
    QTest::qWait(700); // past the launch's window decision
    QVERIFY2(visibleMainWindows().isEmpty(), "a returning user with a tray gets no window");

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
    QVERIFY(m_app->waitForFinished(5000));
    QCOMPARE(m_app->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_app->exitCode(), 0);
}

void tst_ShellOnX11::firstLaunchShowsTheWindow()
{
    writeSettings(R"({"soundEnabled":false,"hudEnabled":false})");
    m_app = startApp();
    QTRY_COMPARE_WITH_TIMEOUT(visibleMainWindows().size(), 1, 10000);
    QTest::qWait(500);
    screenshot(QStringLiteral("shell-first-launch.png"));
    // A second start raises the first one's window and leaves at once.
    const QString window = visibleMainWindows().first();
    QVERIFY(UserInput::xdotool({"windowminimize", "--sync", window}));
    QTRY_VERIFY_WITH_TIMEOUT(visibleMainWindows().isEmpty(), 5000);
    auto second = startApp();
    QVERIFY(second->waitForFinished(10000));
    QCOMPARE(second->exitCode(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(visibleMainWindows().size(), 1, 5000);
    QCOMPARE(m_app->state(), QProcess::Running);
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
    m_app = startApp(display);
    QTRY_COMPARE_WITH_TIMEOUT(visibleMainWindows(display).size(), 1, 10000);
    // The window carries the menu's rows: Quit through its menu bar ends the process.
    const QString window = visibleMainWindows(display).first();
    QProcess keys;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display);
    keys.setProcessEnvironment(env);
    keys.start(QStringLiteral("xdotool"), {"windowactivate", "--sync", window, "key", "--clearmodifiers", "ctrl+q"});
    QVERIFY(keys.waitForFinished(10000));
    QVERIFY(m_app->waitForFinished(5000));
    QCOMPARE(m_app->exitCode(), 0);
}

void tst_ShellOnX11::ownFieldsAreNotExpandedInto()
{
    m_target = std::make_unique<TargetWindow>();
    QVERIFY(m_target->start());
    m_app = startApp();
    QTRY_VERIFY_WITH_TIMEOUT(!trayIconWindow().isEmpty(), 10000);
    // A second start brings the window up; its search field takes what is typed.
    auto second = startApp();
    QVERIFY(second->waitForFinished(10000));
    QTRY_COMPARE_WITH_TIMEOUT(visibleMainWindows().size(), 1, 5000);
    const QString window = visibleMainWindows().first();
    QVERIFY(UserInput::xdotool({"windowactivate", "--sync", window}));
    QVERIFY(UserInput::xdotool({"mousemove", "--window", window, "360", "160", "click", "1"}));
    QVERIFY(UserInput::type(QStringLiteral(";sig "), kHumanDelayMs));
    QTest::qWait(700);
    screenshot(QStringLiteral("shell-own-field.png"));

    // The same trigger in another program still expands.
    QVERIFY(m_target->activate());
    QVERIFY(UserInput::type(QStringLiteral(";sig"), kHumanDelayMs));
    QVERIFY2(m_target->waitForText(QStringLiteral("SIGNED")), qPrintable(m_target->text()));
    m_app->terminate();
    QVERIFY(m_app->waitForFinished(5000));
    QFile settings(m_home->path() + QStringLiteral("/config/Quenvil/settings.json"));
    QVERIFY(settings.open(QIODevice::ReadOnly));
    const QJsonObject stored = QJsonDocument::fromJson(settings.readAll()).object();
    QCOMPARE(stored.value(QStringLiteral("statExpansions")).toInt(), 1);
    m_app.reset();
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
    m_app = startApp(QString::fromLatin1(server.display()));
    QTest::qWait(3000);
    const bool typed = targetStarted && UserInput::type(QStringLiteral(";sig"), kHumanDelayMs) &&
                       m_target->waitForText(QStringLiteral("SIGNED"));
    server.stop(); // well inside the 2 s save delay
    const bool ended = m_app->waitForFinished(10000);
    qputenv("DISPLAY", fixtureDisplay);
    m_target.reset();
    QVERIFY(targetStarted);
    QVERIFY(typed);
    QVERIFY(ended);
    QFile stats(m_home->path() + QStringLiteral("/data/Quenvil/stats.json"));
    QVERIFY(stats.open(QIODevice::ReadOnly));
    QVERIFY(stats.readAll().contains("QuenvilTarget"));
    m_app.reset();
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
    m_app = startApp();
    // Docked once it runs its event loop, by when the keyboard monitor is running.
    QTRY_VERIFY_WITH_TIMEOUT(!trayIconWindow().isEmpty(), 15000);
    QVERIFY(UserInput::type(QStringLiteral(";sig"), kHumanDelayMs));
    QVERIFY(m_target->waitForText(QStringLiteral("SIGNED")));
    ::kill(pid_t(m_app->processId()), signal); // well inside the 2 s save delay
    QVERIFY(m_app->waitForFinished(5000));
    QCOMPARE(m_app->exitCode(), 0);
    QFile stats(m_home->path() + QStringLiteral("/data/Quenvil/stats.json"));
    QVERIFY(stats.open(QIODevice::ReadOnly));
    QVERIFY(stats.readAll().contains("QuenvilTarget"));
    m_app.reset();
}

QUENVIL_X11_TEST_MAIN(tst_ShellOnX11)
#include "tst_ShellOnX11.moc"
