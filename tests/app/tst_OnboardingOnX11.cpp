// The first-run tour as a new user meets it: the real binary on the fixture's X server,
// driven from the keyboard through xdotool. The practice editor is the one field of ours
// where a trigger really expands.
#include "UserInput.h"
#include "XServerEnvironment.h"

#include "app/UpdaterController.h"
#include "model/SettingsStore.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPixmap>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

constexpr int kHumanDelayMs = 60;

QString run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(10000))
        return {};
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

// The visible tour sheet (its own top-level window), or empty.
QString sheetWindow()
{
    const QStringList ids = run(QStringLiteral("xdotool"), {"search", "--onlyvisible", "--name", "^Welcome to Quenvil$"})
                                .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& id : ids) {
        const QString geometry = run(QStringLiteral("xdotool"), {"getwindowgeometry", id});
        const auto m = QRegularExpression(QStringLiteral("Geometry: (\\d+)x(\\d+)")).match(geometry);
        if (m.hasMatch() && m.captured(1).toInt() == 540 && m.captured(2).toInt() == 600)
            return id;
    }
    return {};
}

void screenshot(const QString& window, const QString& name)
{
    QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(window.toULongLong());
    if (shot.isNull())
        shot = QGuiApplication::primaryScreen()->grabWindow(0);
    shot.save(QDir(QCoreApplication::applicationDirPath()).filePath(name));
}

} // namespace

class tst_OnboardingOnX11 : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void init();
    void cleanup();
    void firstLaunchWalksThroughTheTour();
    void updateOutcomesOnScreen();

  private:
    void writeFile(const QString& relative, const QByteArray& bytes);
    bool pressInSheet(const QStringList& keys);

    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<QProcess> m_app;
    QString m_sheet;
};

void tst_OnboardingOnX11::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    QVERIFY(m_home->isValid());
    // A first launch: neither launch flag is set.
    writeFile(QStringLiteral("config/Quenvil/settings.json"),
              R"({"soundEnabled":false,"hudEnabled":false,"expansionMode":"instant"})");
    writeFile(QStringLiteral("data/Quenvil/snippets.json"),
              R"([{"trigger": ";date", "content": "TODAY"}, {"trigger": ";sig", "content": "SIGNED"}])");
}

void tst_OnboardingOnX11::cleanup()
{
    if (m_app) {
        m_app->terminate();
        if (!m_app->waitForFinished(5000))
            m_app->kill();
        m_app.reset();
    }
    m_home.reset();
}

void tst_OnboardingOnX11::writeFile(const QString& relative, const QByteArray& bytes)
{
    const QString path = m_home->filePath(relative);
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

bool tst_OnboardingOnX11::pressInSheet(const QStringList& keys)
{
    QStringList args{"windowactivate", "--sync", m_sheet, "key", "--clearmodifiers", "--delay", "80"};
    args << keys;
    const bool ok = UserInput::xdotool(args);
    QTest::qWait(400);
    return ok;
}

void tst_OnboardingOnX11::firstLaunchWalksThroughTheTour()
{
    m_app = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_home->filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home->filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home->path());
    env.insert(QStringLiteral("HOME"), m_home->path());
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    m_app->setProcessEnvironment(env);
    m_app->setProcessChannelMode(QProcess::ForwardedChannels);
    m_app->start(QStringLiteral(QUENVIL_APP), {});
    QVERIFY(m_app->waitForStarted(5000));

    // The window comes up with the tour over it.
    QTRY_VERIFY_WITH_TIMEOUT(!(m_sheet = sheetWindow()).isEmpty(), 15000);
    QTest::qWait(500);
    screenshot(m_sheet, QStringLiteral("onboarding-1-welcome.png"));

    // Each page gives the keyboard to its way on.
    QVERIFY(pressInSheet({"space"})); // Get started
    screenshot(m_sheet, QStringLiteral("onboarding-2-permission.png"));
    QVERIFY(pressInSheet({"space"})); // Continue: this X server has what typing needs

    // Page 3: the practice editor has the focus; a trigger typed there expands.
    QVERIFY(UserInput::xdotool({"windowactivate", "--sync", m_sheet}));
    QTest::qWait(300);
    QVERIFY(UserInput::type(QStringLiteral(";date"), kHumanDelayMs));
    QTest::qWait(1200);
    screenshot(m_sheet, QStringLiteral("onboarding-3-try-it.png"));
    QVERIFY(pressInSheet({"Tab", "space"})); // Continue

    // Last page: the trigger field is ours and expands nothing, even a known trigger.
    QVERIFY(UserInput::xdotool({"windowactivate", "--sync", m_sheet}));
    QVERIFY(UserInput::key({"ctrl+a"}));
    QVERIFY(UserInput::type(QStringLiteral(";date "), kHumanDelayMs));
    QTest::qWait(500);
    screenshot(m_sheet, QStringLiteral("onboarding-4-make-it-yours.png"));
    QVERIFY(UserInput::key({"ctrl+a"}));
    QVERIFY(UserInput::type(QStringLiteral(";mine"), kHumanDelayMs));
    QVERIFY(pressInSheet({"Tab"}));
    QVERIFY(UserInput::type(QStringLiteral("MINE"), kHumanDelayMs));
    QVERIFY(pressInSheet({"Tab", "space"})); // Create snippet & finish
    QTRY_VERIFY_WITH_TIMEOUT(sheetWindow().isEmpty(), 5000);

    // Quitting writes what is pending: one expansion (the practice one), the tour recorded,
    // the new snippet stored exactly.
    m_app->terminate();
    QVERIFY(m_app->waitForFinished(10000));
    QCOMPARE(m_app->exitCode(), 0);
    m_app.reset();
    SettingsStore settings(m_home->filePath(QStringLiteral("config/Quenvil/settings.json")));
    QCOMPARE(settings.integerValue(QStringLiteral("statExpansions")), 1);
    QVERIFY(settings.boolValue(QStringLiteral("didCompleteOnboarding")));
    QFile snippets(m_home->filePath(QStringLiteral("data/Quenvil/snippets.json")));
    QVERIFY(snippets.open(QIODevice::ReadOnly));
    const QByteArray stored = snippets.readAll();
    QVERIFY2(stored.contains("\";mine\""), stored.constData());
    QVERIFY2(stored.contains("\"MINE\""), stored.constData());
}

void tst_OnboardingOnX11::updateOutcomesOnScreen()
{
    // The three outcomes of "Check for Updates…", drawn for review.
    UpdateCheckResult newer;
    newer.kind = UpdateCheckResult::Kind::updateAvailable;
    newer.currentVersion = QStringLiteral("0.1.0");
    newer.latestVersion = QStringLiteral("0.2.0");
    newer.releasePage = QUrl(QStringLiteral("https://quenvil.example/releases/0.2.0"));
    UpdateCheckResult same = newer;
    same.kind = UpdateCheckResult::Kind::upToDate;
    same.latestVersion = same.currentVersion;
    const UpdateCheckResult failed =
        UpdateCheckResult::failure(QStringLiteral("The update server did not answer within 15 seconds."), "0.1.0");
    const QList<std::pair<UpdateCheckResult, QString>> outcomes = {
        {newer, QStringLiteral("update-newer.png")},
        {same, QStringLiteral("update-up-to-date.png")},
        {failed, QStringLiteral("update-error.png")},
    };
    for (const auto& [result, file] : outcomes) {
        std::unique_ptr<QDialog> dialog(UpdaterController::makeOutcomeDialog(result, {}));
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        QTest::qWait(200);
        QVERIFY(dialog->grab().save(QDir(QCoreApplication::applicationDirPath()).filePath(file)));
    }
}

QUENVIL_X11_TEST_MAIN(tst_OnboardingOnX11)
#include "tst_OnboardingOnX11.moc"
