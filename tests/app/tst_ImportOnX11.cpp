// Importing a CSV file as a user does: the real binary on the fixture's X server, its
// Snippets tab's Import button clicked, the file dialog driven from the keyboard, the
// status line read over the accessibility bus, and the new triggers typed into a Tk
// window, whose text is read back.
#include "ToolkitTarget.h"
#include "UserInput.h"
#include "XServerEnvironment.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRect>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
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

QStringList visibleWindows(const QString& titlePattern)
{
    return run(QStringLiteral("xdotool"), {"search", "--onlyvisible", "--name", titlePattern})
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString activeWindowName()
{
    return run(QStringLiteral("xdotool"), {"getactivewindow", "getwindowname"});
}

// Visible top-level windows titled exactly "Quenvil" that are larger than a tray icon.
QStringList visibleMainWindows()
{
    QStringList found;
    for (const QString& id : visibleWindows(QStringLiteral("^Quenvil$"))) {
        const QString geometry = run(QStringLiteral("xdotool"), {"getwindowgeometry", id});
        const auto m = QRegularExpression(QStringLiteral("Geometry: (\\d+)x(\\d+)")).match(geometry);
        if (m.hasMatch() && m.captured(1).toInt() >= 400)
            found << id;
    }
    return found;
}

// One object of a program's accessible tree.
struct Accessible
{
    QString service;
    QString path;
};

// The accessible tree of one process, read over the accessibility bus as a screen reader
// reads it.
class AccessibleTree
{
  public:
    bool connect()
    {
        const QDBusMessage call =
            QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                           QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress"));
        const QDBusReply<QString> address = QDBusConnection::sessionBus().call(call, QDBus::Block, 10000);
        if (!address.isValid() || address.value().isEmpty())
            return false;
        m_bus = QDBusConnection::connectToBus(address.value(), QStringLiteral("import-test-atspi"));
        return m_bus.isConnected();
    }

    // The application object of the process `pid`, once its bridge has registered.
    std::optional<Accessible> application(qint64 pid) const
    {
        for (const Accessible& app : children({QStringLiteral("org.a11y.atspi.Registry"), kRoot})) {
            const QDBusReply<uint> owner = m_bus.interface()->servicePid(app.service);
            if (owner.isValid() && qint64(owner.value()) == pid)
                return app;
        }
        return std::nullopt;
    }

    // The first showing object under `root`, depth first, that `matches` accepts.
    std::optional<Accessible> find(const Accessible& root,
                                   const std::function<bool(const QString& name, uint role)>& matches) const
    {
        for (const Accessible& child : children(root)) {
            if (!showing(child))
                continue;
            if (matches(name(child), role(child)))
                return child;
            if (auto found = find(child, matches))
                return found;
        }
        return std::nullopt;
    }

    QString name(const Accessible& a) const
    {
        QDBusMessage call = QDBusMessage::createMethodCall(
            a.service, a.path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        call << kAccessible << QStringLiteral("Name");
        const QDBusReply<QDBusVariant> reply = m_bus.call(call, QDBus::Block, 5000);
        return reply.isValid() ? reply.value().variant().toString() : QString();
    }

    QRect extents(const Accessible& a) const
    {
        QDBusMessage call = QDBusMessage::createMethodCall(
            a.service, a.path, QStringLiteral("org.a11y.atspi.Component"), QStringLiteral("GetExtents"));
        call << uint(0); // screen coordinates
        const QDBusMessage reply = m_bus.call(call, QDBus::Block, 5000);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return {};
        const QDBusArgument arg = reply.arguments().constFirst().value<QDBusArgument>();
        int x = 0, y = 0, w = 0, h = 0;
        arg.beginStructure();
        arg >> x >> y >> w >> h;
        arg.endStructure();
        return QRect(x, y, w, h);
    }

  private:
    static inline const QString kRoot = QStringLiteral("/org/a11y/atspi/accessible/root");
    static inline const QString kAccessible = QStringLiteral("org.a11y.atspi.Accessible");

    QDBusMessage call(const Accessible& a, const QString& method) const
    {
        return m_bus.call(QDBusMessage::createMethodCall(a.service, a.path, kAccessible, method),
                          QDBus::Block, 5000);
    }

    QList<Accessible> children(const Accessible& a) const
    {
        QList<Accessible> out;
        const QDBusMessage reply = call(a, QStringLiteral("GetChildren"));
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return out;
        const QDBusArgument arg = reply.arguments().constFirst().value<QDBusArgument>();
        arg.beginArray();
        while (!arg.atEnd()) {
            QString service;
            QDBusObjectPath path;
            arg.beginStructure();
            arg >> service >> path;
            arg.endStructure();
            out.append({service, path.path()});
        }
        arg.endArray();
        return out;
    }

    uint role(const Accessible& a) const
    {
        const QDBusMessage reply = call(a, QStringLiteral("GetRole"));
        return reply.arguments().isEmpty() ? 0 : reply.arguments().constFirst().toUInt();
    }

    bool showing(const Accessible& a) const
    {
        constexpr uint kShowing = 25;
        const QDBusMessage reply = call(a, QStringLiteral("GetState"));
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return false;
        QList<uint> words;
        reply.arguments().constFirst().value<QDBusArgument>() >> words;
        return !words.isEmpty() && (words.constFirst() & (1u << kShowing)) != 0;
    }

    QDBusConnection m_bus{QString()};
};

constexpr uint kPushButtonRole = 43;

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
    void writeFile(const QString& relative, const QByteArray& bytes);
    std::unique_ptr<QProcess> startApp();
    void openMainWindow();
    // The text of the Snippets tab's status line, as far as it tells an import's result.
    QString statusLine() const;

    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<QProcess> m_app;
    AccessibleTree m_tree;
    std::unique_ptr<ToolkitTarget> m_target;
    std::optional<Accessible> m_application;
};

void tst_ImportOnX11::initTestCase()
{
    if (!ToolkitTarget::available(ToolkitTarget::Toolkit::Tk))
        QSKIP("python3-tk is not installed");
    QVERIFY(m_tree.connect());
    // One window for every case: a toolkit's start-up is the slow part.
    m_target = std::make_unique<ToolkitTarget>();
    QVERIFY(m_target->start(ToolkitTarget::Toolkit::Tk));
}

void tst_ImportOnX11::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    QVERIFY(m_home->isValid());
    // A returning user with one snippet of their own.
    writeFile(QStringLiteral("config/Quenvil/settings.json"),
              R"({"soundEnabled":false,"hudEnabled":false,"expansionMode":"instant",)"
              R"("didLaunchBefore":true,"didCompleteOnboarding":true})");
    writeFile(QStringLiteral("data/Quenvil/snippets.json"), R"([{"trigger": ";own", "content": "OWN"}])");
}

void tst_ImportOnX11::cleanup()
{
    if (m_app) {
        m_app->terminate();
        if (!m_app->waitForFinished(5000))
            m_app->kill();
        m_app.reset();
    }
    m_application.reset();
    m_home.reset();
}

void tst_ImportOnX11::writeFile(const QString& relative, const QByteArray& bytes)
{
    const QString path = m_home->path() + QLatin1Char('/') + relative;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

std::unique_ptr<QProcess> tst_ImportOnX11::startApp()
{
    auto app = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_home->path() + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home->path() + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home->path());
    env.insert(QStringLiteral("HOME"), m_home->path());
    // As with a screen reader running: the window answers over the accessibility bus.
    env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    app->setProcessEnvironment(env);
    app->setProcessChannelMode(QProcess::ForwardedChannels);
    app->start(QStringLiteral(QUENVIL_APP), {});
    app->waitForStarted(5000);
    return app;
}

void tst_ImportOnX11::openMainWindow()
{
    m_app = startApp();
    QCOMPARE(m_app->state(), QProcess::Running);
    QTRY_VERIFY_WITH_TIMEOUT((m_application = m_tree.application(m_app->processId())).has_value(), 20000);
    // A second start brings the window up, on the Snippets tab.
    auto second = startApp();
    QVERIFY(second->waitForFinished(10000));
    QTRY_COMPARE_WITH_TIMEOUT(visibleMainWindows().size(), 1, 5000);
    QVERIFY(UserInput::xdotool({"windowactivate", "--sync", visibleMainWindows().constFirst()}));
}

QString tst_ImportOnX11::statusLine() const
{
    QString text;
    m_tree.find(*m_application, [&](const QString& name, uint) {
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
    writeFile(QStringLiteral("import/snippets.csv"), file);
    openMainWindow();

    std::optional<Accessible> button;
    QTRY_VERIFY_WITH_TIMEOUT((button = m_tree.find(*m_application,
                                                   [](const QString& name, uint role) {
                                                       return role == kPushButtonRole &&
                                                              name == QLatin1String("Import");
                                                   }))
                                 .has_value(),
                             5000);
    const QRect r = m_tree.extents(*button);
    QVERIFY2(r.width() > 0 && r.height() > 0, "the Import button has no extents");
    QVERIFY(UserInput::xdotool(
        {"mousemove", QString::number(r.center().x()), QString::number(r.center().y()), "click", "1"}));

    // The dialog opens with the file name field focused: the path, then Return.
    const QString dialogTitle = QStringLiteral("^Choose a Quenvil export");
    QTRY_COMPARE_WITH_TIMEOUT(visibleWindows(dialogTitle).size(), 1, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(activeWindowName().startsWith(QStringLiteral("Choose a Quenvil export")), 5000);
    QTest::qWait(300);
    QVERIFY(UserInput::type(m_home->path() + QStringLiteral("/import/snippets.csv"), 20));
    QVERIFY(UserInput::key({QStringLiteral("Return")}));
    QTRY_VERIFY_WITH_TIMEOUT(visibleWindows(dialogTitle).isEmpty(), 5000);

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
