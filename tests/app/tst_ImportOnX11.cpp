// Importing a CSV file as a user does: the real binary on the fixture's X server, its
// Snippets tab's Import button clicked, the file dialog driven from the keyboard, the
// status line read over the accessibility bus, and the new triggers typed into a Tk
// window, whose text is read back.
#include "AppUnderTest.h"
#include "AtSpiDriver.h"
#include "ToolkitTarget.h"
#include "UserInput.h"
#include "XServerEnvironment.h"

#include <QProcess>
#include <QRect>
#include <QTest>

#include <memory>

namespace {

constexpr int kHumanDelayMs = 60;

} // namespace

class tst_ImportOnX11 : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase() { m_target.reset(); }
    void init();
    void cleanup();

    void csvFileThroughTheDialog_data();
    void csvFileThroughTheDialog();

  private:
    void openMainWindow();
    // The text of the Snippets tab's status line, as far as it tells an import's result.
    QString statusLine() const;

    std::unique_ptr<AppUnderTest> m_app;
    AtSpiDriver m_driver;
    std::unique_ptr<ToolkitTarget> m_target;
    AtSpiObject m_application;
};

void tst_ImportOnX11::initTestCase()
{
    if (!ToolkitTarget::available(ToolkitTarget::Toolkit::Tk))
        QSKIP("python3-tk is not installed");
    QVERIFY(m_driver.connectToBus());
    // One window for every case: a toolkit's start-up is the slow part.
    m_target = std::make_unique<ToolkitTarget>();
    QVERIFY(m_target->start(ToolkitTarget::Toolkit::Tk));
}

void tst_ImportOnX11::init()
{
    m_app = std::make_unique<AppUnderTest>();
    QVERIFY(m_app->isValid());
    // A returning user with one snippet of their own.
    QVERIFY(m_app->writeFile(QStringLiteral("config/Quenvil/settings.json"),
                             AppUnderTest::returningUserSettings()));
    QVERIFY(m_app->writeFile(QStringLiteral("data/Quenvil/snippets.json"),
                             R"([{"trigger": ";own", "content": "OWN"}])"));
}

void tst_ImportOnX11::cleanup()
{
    m_app.reset();
    m_application = {};
}

void tst_ImportOnX11::openMainWindow()
{
    AppUnderTest::Options bridged;
    bridged.accessibility = true;
    QVERIFY(m_app->start(bridged));
    m_application = m_driver.application(m_app->process()->processId(), 20000);
    QVERIFY(!m_application.isNull());
    // A second start brings the window up, on the Snippets tab.
    auto second = m_app->launch(bridged);
    QVERIFY(second->waitForFinished(10000));
    QTRY_COMPARE_WITH_TIMEOUT(UserInput::visibleMainWindows().size(), 1, 5000);
    QVERIFY(UserInput::xdotool({"windowactivate", "--sync", UserInput::visibleMainWindows().constFirst()}));
}

QString tst_ImportOnX11::statusLine() const
{
    QString text;
    m_driver.find(m_application, [&](const AtSpiDriver& d, const AtSpiObject& o) {
        const QString name = d.name(o);
        for (const char* start : {"Imported ", "The file ", "Unrecognized format", "Couldn"}) {
            if (name.startsWith(QLatin1String(start))) {
                text = name;
                return true;
            }
        }
        return false;
    });
    return text;
}

void tst_ImportOnX11::csvFileThroughTheDialog_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");

    // A cell pasted from an old document brought one Windows-1252 dash along.
    QTest::newRow("UTF-8 with a stray byte")
        << QByteArray(";cafe,Café crème \x96 brûlée\n;nai,naïve Über\n") << "Imported 2 snippets."
        << ";cafe ;nai" << QStringLiteral("Café crème \uFFFD brûlée naïve Über");
    QTest::newRow("UTF-8 whose last character is cut short")
        << QByteArray(";gru,Grüße\n;cut,déjà vu \xE2\x80") << "Imported 2 snippets."
        << ";gru ;cut" << QStringLiteral("Grüße déjà vu \uFFFD");
    QTest::newRow("Windows-1252 export")
        << QByteArray(";cafe,caf\xE9 \x96 cr\xE8me\r\n;quo,\x93quoted\x94 \x80\r\n") << "Imported 2 snippets."
        << ";cafe ;quo" << QStringLiteral("café – crème “quoted” €");
    QTest::newRow("comma file under a title holding a semicolon")
        << QByteArray("My snippets; exported\n;sig,Best regards\n;omw,On my way\n;adr,1 Main St\n")
        << "Imported 3 snippets."
        << ";sig ;omw ;adr" << QStringLiteral("Best regards On my way 1 Main St");
    // Semicolon triggers would be cut at the separator: these start otherwise.
    QTest::newRow("semicolon file with a byte-order mark")
        << QByteArray("\xEF\xBB\xBF/sig;Best, Me\n/adr;1 Main St, Springfield\n") << "Imported 2 snippets."
        << "/sig /adr" << QStringLiteral("Best, Me 1 Main St, Springfield");
    QTest::newRow("tab file") << QByteArray(";sig\tBest; Me, you\n;omw\tOn my way\n")
                              << "Imported 2 snippets."
                              << ";sig ;omw" << QStringLiteral("Best; Me, you On my way");
}

void tst_ImportOnX11::csvFileThroughTheDialog()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, status);
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    QVERIFY(m_app->writeFile(QStringLiteral("import/snippets.csv"), file));
    openMainWindow();

    const AtSpiObject button =
        m_driver.waitFor(m_application, {QStringLiteral("push button")}, QStringLiteral("Import"), 5000);
    QVERIFY2(!button.isNull(), qPrintable(m_driver.dump(m_application)));
    const QRect r = m_driver.extents(button);
    QVERIFY2(r.width() > 0 && r.height() > 0, "the Import button has no extents");
    QVERIFY(UserInput::xdotool(
        {"mousemove", QString::number(r.center().x()), QString::number(r.center().y()), "click", "1"}));

    // The dialog opens with the file name field focused: the path, then Return.
    const QString dialogTitle = QStringLiteral("^Choose a Quenvil export");
    QTRY_COMPARE_WITH_TIMEOUT(UserInput::visibleWindows(dialogTitle).size(), 1, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(
        UserInput::activeWindowName().startsWith(QStringLiteral("Choose a Quenvil export")), 5000);
    QTest::qWait(300);
    QVERIFY(UserInput::type(m_app->path(QStringLiteral("import/snippets.csv")), 20));
    QVERIFY(UserInput::key({QStringLiteral("Return")}));
    QTRY_VERIFY_WITH_TIMEOUT(UserInput::visibleWindows(dialogTitle).isEmpty(), 5000);

    // The status line beside the search field says what came in (it clears after 5 s).
    QTRY_COMPARE_WITH_TIMEOUT(statusLine(), status, 4000);

    QVERIFY(m_target->clear());
    QVERIFY(m_target->activate());
    QVERIFY(UserInput::type(typed, kHumanDelayMs));
    QVERIFY2(m_target->waitForText(expected), qPrintable(m_target->text()));
    // The user's own snippet is untouched.
    QVERIFY(UserInput::type(QStringLiteral(" ;own"), kHumanDelayMs));
    QVERIFY2(m_target->waitForText(expected + QStringLiteral(" OWN")), qPrintable(m_target->text()));
}

QUENVIL_X11_TEST_MAIN(tst_ImportOnX11)
#include "tst_ImportOnX11.moc"
