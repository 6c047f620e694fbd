// The first-run tour as a new user meets it: the real binary on the fixture's X server,
// driven from the keyboard through xdotool. The practice editor is the one field of ours
// where a trigger really expands.
#include "AppUnderTest.h"
#include "UserInput.h"
#include "XServerEnvironment.h"

#include "app/UpdaterController.h"
#include "model/SettingsStore.h"

#include <QDialog>
#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTest>

#include <memory>

namespace {

constexpr int kHumanDelayMs = 60;

// The visible tour sheet (its own top-level window), or empty.
QString sheetWindow()
{
    for (const QString& id : UserInput::visibleWindows(QStringLiteral("^Welcome to Quenvil$"))) {
        if (UserInput::windowSize(id) == QSize(540, 600))
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
    bool pressInSheet(const QStringList& keys);

    std::unique_ptr<AppUnderTest> m_app;
    QString m_sheet;
};

void tst_OnboardingOnX11::init()
{
    m_app = std::make_unique<AppUnderTest>();
    QVERIFY(m_app->isValid());
    // A first launch: neither launch flag is set.
    QVERIFY(m_app->writeFile(QStringLiteral("config/Quenvil/settings.json"),
                             R"({"soundEnabled":false,"hudEnabled":false,"expansionMode":"instant"})"));
    QVERIFY(m_app->writeFile(
        QStringLiteral("data/Quenvil/snippets.json"),
        R"([{"trigger": ";date", "content": "TODAY"}, {"trigger": ";sig", "content": "SIGNED"}])"));
}

void tst_OnboardingOnX11::cleanup()
{
    m_app.reset();
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
    QVERIFY(m_app->start());

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
    m_app->process()->terminate();
    QVERIFY(m_app->process()->waitForFinished(10000));
    QCOMPARE(m_app->process()->exitCode(), 0);
    SettingsStore settings(m_app->path(QStringLiteral("config/Quenvil/settings.json")));
    QCOMPARE(settings.integerValue(QStringLiteral("statExpansions")), 1);
    QVERIFY(settings.boolValue(QStringLiteral("didCompleteOnboarding")));
    const QByteArray stored = m_app->readFile(QStringLiteral("data/Quenvil/snippets.json"));
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
