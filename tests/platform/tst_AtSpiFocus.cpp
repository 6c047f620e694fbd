// The focused accessible object over AT-SPI, against a fake accessible program on a bus of
// the test's own: the password-field signal for secure input, and the selected text.
#include "platform/linux/AtSpiFocusTracker.h"
#include "platform/linux/AtSpiPasswordWatcher.h"
#include "platform/linux/AtSpiSelectedText.h"

#include "FakeSecureInput.h"
#include "FakeAccessibleProgram.h"
#include "PrivateSessionBus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QMap>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

const QString kField = QStringLiteral("/org/a11y/atspi/accessible/1");
const QString kPassword = QStringLiteral("/org/a11y/atspi/accessible/2");
const QString kButton = QStringLiteral("/org/a11y/atspi/accessible/3");
constexpr uint kEntryRole = 79;
constexpr uint kPushButtonRole = 43;

// Accessible objects of some program: roles, and for text objects a text with a selection.
class FakeProgram : public FakeAccessibleProgram
{
  public:
    using FakeAccessibleProgram::FakeAccessibleProgram;

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        QDBusMessage reply;
        const QString path = message.path();
        const bool text = path != kButton;
        if (message.member() == QLatin1String("GetRole")) {
            reply = message.createReply(QVariant::fromValue(path == kPassword
                                                                ? AtSpiPasswordWatcher::passwordTextRole
                                                            : path == kButton ? kPushButtonRole
                                                                              : kEntryRole));
        } else if (text && message.member() == QLatin1String("GetSelection")) {
            reply = message.createReply({selection.first, selection.second});
        } else if (text && message.member() == QLatin1String("GetText")) {
            const int start = message.arguments().value(0).toInt(),
                      end = message.arguments().value(1).toInt();
            reply = message.createReply(content.mid(start, end - start));
        } else {
            reply = message.createErrorReply(QDBusError::UnknownMethod, QStringLiteral("no"));
        }
        if (hung)
            return true;
        connection.send(reply);
        return true;
    }

    QString content = QStringLiteral("Hello\nworld");
    QPair<int, int> selection{0, 0};
    bool hung = false;
};

using Answers = AnswerRecorder<QString>;

} // namespace

class tst_AtSpiFocus : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase() { QVERIFY(m_bus.start()); }
    void init();
    void cleanup();
    void cleanupTestCase() { m_bus.stop(); }

    void passwordFieldSetsSecureInput();
    void quitWhileInAPasswordFieldClearsIt();
    void silentProgramCountsAsPasswordOnlyUntilTheTimeOut();
    void selectedText_data();
    void selectedText();

  private:
    void focusAndWait(const QString& path)
    {
        QSignalSpy changed(m_tracker.get(), &AtSpiFocusTracker::focusChanged);
        m_program->focus(path, true);
        QVERIFY(changed.wait(3000));
        QCOMPARE(m_tracker->focusedPath(), path);
    }

    PrivateSessionBus m_bus;
    std::optional<QDBusConnection> m_connection;
    std::unique_ptr<FakeProgram> m_program;
    std::unique_ptr<AtSpiFocusTracker> m_tracker;
    FakeSecureInput m_secure;
};

void tst_AtSpiFocus::init()
{
    m_connection = QDBusConnection::connectToBus(m_bus.address(), QStringLiteral("program"));
    QVERIFY(m_connection->isConnected());
    m_program = std::make_unique<FakeProgram>(*m_connection);
    for (const QString& path : {kField, kPassword, kButton})
        QVERIFY(m_connection->registerVirtualObject(path, m_program.get()));
    m_tracker = std::make_unique<AtSpiFocusTracker>(m_bus.address());
    QVERIFY(m_tracker->isConnected());
    m_secure.setFocusedAccessibleIsPassword(false);
    // Let the tracker's match rules reach the bus before the program speaks.
    QTest::qWait(50);
}

void tst_AtSpiFocus::cleanup()
{
    m_tracker.reset();
    if (m_connection) {
        for (const QString& path : {kField, kPassword, kButton})
            m_connection->unregisterObject(path);
    }
    m_program.reset();
    m_connection.reset();
    QDBusConnection::disconnectFromBus(QStringLiteral("program"));
}

void tst_AtSpiFocus::passwordFieldSetsSecureInput()
{
    AtSpiPasswordWatcher watcher(*m_tracker, m_secure);
    focusAndWait(kField);
    QTRY_VERIFY(!m_secure.isActive());

    focusAndWait(kPassword);
    QVERIFY(m_secure.isActive());
    QTest::qWait(250); // past the time-out: the answer, not the wait, keeps it set
    QVERIFY(m_secure.isActive());
    QVERIFY(watcher.isPassword());

    focusAndWait(kButton);
    QTRY_VERIFY(!m_secure.isActive());

    focusAndWait(kPassword);
    QTRY_VERIFY(m_secure.isActive());
    // Focus lost without another object gaining it.
    QSignalSpy changed(m_tracker.get(), &AtSpiFocusTracker::focusChanged);
    m_program->focus(kPassword, false);
    QVERIFY(changed.wait(3000));
    QVERIFY(!m_secure.isActive());
}

void tst_AtSpiFocus::quitWhileInAPasswordFieldClearsIt()
{
    AtSpiPasswordWatcher watcher(*m_tracker, m_secure);
    focusAndWait(kPassword);
    QTRY_VERIFY(watcher.isPassword());
    QTest::qWait(250);
    QVERIFY(m_secure.isActive());

    QSignalSpy changed(m_tracker.get(), &AtSpiFocusTracker::focusChanged);
    for (const QString& path : {kField, kPassword, kButton})
        m_connection->unregisterObject(path);
    m_program.reset();
    m_connection.reset();
    QDBusConnection::disconnectFromBus(QStringLiteral("program"));
    QVERIFY(changed.wait(3000));
    QVERIFY(m_tracker->focusedService().isEmpty());
    QVERIFY(!m_secure.isActive());
}

void tst_AtSpiFocus::silentProgramCountsAsPasswordOnlyUntilTheTimeOut()
{
    {
        AtSpiPasswordWatcher watcher(*m_tracker, m_secure, AtSpiPasswordWatcher::Options{150});
        m_program->hung = true;
        focusAndWait(kField);
        QVERIFY(m_secure.isActive());
        QTRY_VERIFY_WITH_TIMEOUT(!m_secure.isActive(), 1000);

        m_program->hung = false;
        focusAndWait(kPassword);
        QTRY_VERIFY(watcher.isPassword());
    }
    // A watcher that goes does not leave secure input on behind it.
    QVERIFY(!m_secure.isActive());
}

void tst_AtSpiFocus::selectedText_data()
{
    QTest::addColumn<QString>("focused");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::addColumn<bool>("hung");
    QTest::addColumn<std::optional<QString>>("expected");

    QTest::newRow("a selection, line break kept")
        << kField << 3 << 8 << false << std::optional<QString>(QStringLiteral("lo\nwo"));
    QTest::newRow("nothing selected") << kField << 4 << 4 << false << std::optional<QString>();
    QTest::newRow("not a text") << kButton << 0 << 3 << false << std::optional<QString>();
    QTest::newRow("no focus at all") << QString() << 0 << 3 << false << std::optional<QString>();
    QTest::newRow("program never answers") << kField << 0 << 3 << true << std::optional<QString>();
}

void tst_AtSpiFocus::selectedText()
{
    QFETCH(QString, focused);
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(bool, hung);
    QFETCH(std::optional<QString>, expected);

    AtSpiSelectedText reader(*m_tracker, nullptr, AtSpiSelectedText::Options{150});
    m_program->selection = {start, end};
    if (!focused.isEmpty())
        focusAndWait(focused);
    m_program->hung = hung;
    Answers a;
    reader.requestSelectedText(&a, a.recorder());
    QVERIFY(a.got.isEmpty()); // never from inside the call
    QTRY_COMPARE(a.got.size(), 1);
    QCOMPARE(a.got.first(), expected);
    QTest::qWait(hung ? 200 : 0);
    QCOMPARE(a.got.size(), 1);
}

QTEST_GUILESS_MAIN(tst_AtSpiFocus)
#include "tst_AtSpiFocus.moc"
