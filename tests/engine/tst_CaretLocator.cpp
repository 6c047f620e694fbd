// The caret over the accessibility bus, against a fake accessible program on a bus of
// the test's own: focus tracking, the caret's extents, the end of a text, and the
// programs that answer late or never.
#include "platform/linux/AtSpiCaretLocator.h"
#include "platform/linux/AtSpiFocusTracker.h"

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

const QString kPath = QStringLiteral("/org/a11y/atspi/accessible/7");
const QString kOtherPath = QStringLiteral("/org/a11y/atspi/accessible/8");

// A text field of some program: answers the caret offset and character extents the way
// toolkits do, optionally only after a delay.
class FakeAccessible : public FakeAccessibleProgram
{
  public:
    using FakeAccessibleProgram::FakeAccessibleProgram;

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        ++calls;
        QDBusMessage reply;
        if (message.member() == QLatin1String("Get") &&
            message.arguments().value(1).toString() == QLatin1String("CaretOffset")) {
            reply = message.createReply(QVariant::fromValue(QDBusVariant(caretOffset)));
        } else if (message.member() == QLatin1String("GetCharacterExtents")) {
            const QRect r = extents.value(message.arguments().value(0).toInt());
            reply = message.createReply({r.x(), r.y(), r.width(), r.height()});
        } else {
            reply = message.createErrorReply(QDBusError::UnknownMethod, QStringLiteral("no"));
        }
        if (replyDelayMs < 0)
            return true; // hung: never answers
        if (replyDelayMs == 0)
            connection.send(reply);
        else
            QTimer::singleShot(replyDelayMs, [bus = m_bus, reply] { bus.send(reply); });
        return true;
    }

    int caretOffset = 0;
    QMap<int, QRect> extents;
    int replyDelayMs = 0;
    int calls = 0;
};

using Answers = AnswerRecorder<QRect>;

} // namespace

class tst_CaretLocator : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase() { QVERIFY(m_bus.start()); }
    void init();
    void cleanup();
    void cleanupTestCase() { m_bus.stop(); }

    void nothingFocusedNothingKnown();
    void caretOfTheFocusedText();
    void endOfTextUsesTheCharacterBefore();
    void noCaret();
    void lateProgramsTimeOut();
    void focusLostAndMoved();
    void goneAskerIsNotCalled();

  private:
    void focusAndWait(const QString& path)
    {
        QSignalSpy changed(m_locator.get(), &AtSpiCaretLocator::focusChanged);
        m_accessible->focus(path, true);
        QVERIFY(changed.wait(3000));
        QCOMPARE(m_locator->focusedPath(), path);
    }

    PrivateSessionBus m_bus;
    std::optional<QDBusConnection> m_program;
    std::unique_ptr<FakeAccessible> m_accessible;
    std::unique_ptr<AtSpiFocusTracker> m_tracker;
    std::unique_ptr<AtSpiCaretLocator> m_locator;
};

void tst_CaretLocator::init()
{
    m_program = QDBusConnection::connectToBus(m_bus.address(), QStringLiteral("program"));
    QVERIFY(m_program->isConnected());
    m_accessible = std::make_unique<FakeAccessible>(*m_program);
    QVERIFY(m_program->registerVirtualObject(kPath, m_accessible.get()));
    QVERIFY(m_program->registerVirtualObject(kOtherPath, m_accessible.get()));
    m_tracker = std::make_unique<AtSpiFocusTracker>(m_bus.address());
    m_locator = std::make_unique<AtSpiCaretLocator>(*m_tracker, AtSpiCaretLocator::Options{150});
    QVERIFY(m_locator->isConnected());
    // Let the locator's match rule reach the bus before the program speaks.
    QTest::qWait(50);
}

void tst_CaretLocator::cleanup()
{
    m_locator.reset();
    m_tracker.reset();
    m_program->unregisterObject(kPath);
    m_program->unregisterObject(kOtherPath);
    m_accessible.reset();
    m_program.reset();
    QDBusConnection::disconnectFromBus(QStringLiteral("program"));
}

void tst_CaretLocator::nothingFocusedNothingKnown()
{
    Answers a;
    m_locator->requestCaretRect(&a, a.recorder());
    QVERIFY(a.got.isEmpty()); // never from inside the call
    QTRY_COMPARE(a.got.size(), 1);
    QCOMPARE(a.got.first(), std::optional<QRect>());
    QCOMPARE(m_accessible->calls, 0);
}

void tst_CaretLocator::caretOfTheFocusedText()
{
    m_accessible->caretOffset = 3;
    m_accessible->extents[3] = QRect(140, 220, 8, 17);
    focusAndWait(kPath);
    QCOMPARE(m_locator->focusedService(), m_program->baseService());
    Answers a;
    m_locator->requestCaretRect(&a, a.recorder());
    QTRY_COMPARE(a.got.size(), 1);
    QCOMPARE(a.got.first(), std::optional(QRect(140, 220, 1, 17)));
}

void tst_CaretLocator::endOfTextUsesTheCharacterBefore()
{
    m_accessible->caretOffset = 5;
    m_accessible->extents[4] = QRect(100, 50, 9, 16); // nothing at 5: the end
    focusAndWait(kPath);
    Answers a;
    m_locator->requestCaretRect(&a, a.recorder());
    QTRY_COMPARE(a.got.size(), 1);
    QCOMPARE(a.got.first(), std::optional(QRect(109, 50, 1, 16)));

    // An empty text has nothing before either.
    m_accessible->caretOffset = 0;
    m_accessible->extents.clear();
    m_locator->requestCaretRect(&a, a.recorder());
    QTRY_COMPARE(a.got.size(), 2);
    QCOMPARE(a.got.last(), std::optional<QRect>());
}

void tst_CaretLocator::noCaret()
{
    m_accessible->caretOffset = -1;
    focusAndWait(kPath);
    Answers a;
    m_locator->requestCaretRect(&a, a.recorder());
    QTRY_COMPARE(a.got.size(), 1);
    QCOMPARE(a.got.first(), std::optional<QRect>());
}

void tst_CaretLocator::lateProgramsTimeOut()
{
    m_accessible->caretOffset = 3;
    m_accessible->extents[3] = QRect(140, 220, 8, 17);
    focusAndWait(kPath);
    for (const int delay : {-1, 400}) { // hung, then merely slow
        m_accessible->replyDelayMs = delay;
        Answers a;
        m_locator->requestCaretRect(&a, a.recorder());
        QTRY_COMPARE(a.got.size(), 1);
        QCOMPARE(a.got.first(), std::optional<QRect>());
        QTest::qWait(500); // the late answer must not make a second one
        QCOMPARE(a.got.size(), 1);
    }
}

void tst_CaretLocator::focusLostAndMoved()
{
    focusAndWait(kPath);
    focusAndWait(kOtherPath);
    // The old field losing the focus after the new one gained it changes nothing.
    QSignalSpy changed(m_locator.get(), &AtSpiCaretLocator::focusChanged);
    m_accessible->focus(kPath, false);
    QTest::qWait(100);
    QCOMPARE(m_locator->focusedPath(), kOtherPath);
    m_accessible->focus(kOtherPath, false);
    QVERIFY(changed.wait(3000));
    QVERIFY(m_locator->focusedPath().isEmpty());
    Answers a;
    m_locator->requestCaretRect(&a, a.recorder());
    QTRY_COMPARE(a.got.size(), 1);
    QCOMPARE(a.got.first(), std::optional<QRect>());
}

void tst_CaretLocator::goneAskerIsNotCalled()
{
    m_accessible->caretOffset = 3;
    m_accessible->extents[3] = QRect(140, 220, 8, 17);
    m_accessible->replyDelayMs = 50;
    focusAndWait(kPath);
    bool called = false;
    {
        QObject asker;
        m_locator->requestCaretRect(&asker, [&called](std::optional<QRect>) { called = true; });
    }
    QTest::qWait(300);
    QVERIFY(!called);
}

QTEST_GUILESS_MAIN(tst_CaretLocator)
#include "tst_CaretLocator.moc"
