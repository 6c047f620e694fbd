// The application in front follows focus between windows of different programs, and
// a remembered window gets the focus back.
#include "TargetWindow.h"
#include "UserInput.h"
#include "XServerEnvironment.h"

#include "platform/x11/X11FrontApp.h"

#include <QSignalSpy>
#include <QTest>
#include <QWidget>

class tst_X11FrontApp : public QObject
{
    Q_OBJECT

  private slots:
    void followsFocusAndReactivates()
    {
        TargetWindow alpha, beta;
        QVERIFY(alpha.start(QStringLiteral("QuenvilAlpha")));
        X11FrontApp front({});
        QSignalSpy changes(&front, &FrontApp::frontChanged);
        QTRY_COMPARE(front.appKey(), QStringLiteral("QuenvilAlpha"));
        QCOMPARE(front.window(), alpha.window());
        QVERIFY(!front.isOwnProcess());

        QVERIFY(beta.start(QStringLiteral("QuenvilBeta")));
        QTRY_COMPARE(front.appKey(), QStringLiteral("QuenvilBeta"));
        QTRY_VERIFY(!changes.isEmpty());
        QCOMPARE(changes.last().first().toString(), QStringLiteral("QuenvilBeta"));

        // A panel remembers the window in front, the user goes elsewhere, the panel closes.
        const quint64 remembered = front.window();
        QVERIFY(alpha.activate());
        QTRY_COMPARE(front.appKey(), QStringLiteral("QuenvilAlpha"));
        QCOMPARE(changes.last().first().toString(), QStringLiteral("QuenvilAlpha"));
        // Let the window manager and alpha finish their focus hand-over first: a late
        // focus request of alpha's own would otherwise undo ours.
        QTest::qWait(300);
        QVERIFY(front.activate(remembered));
        QTRY_COMPARE_WITH_TIMEOUT(front.window(), remembered, 15000);
        QCOMPARE(front.appKey(), QStringLiteral("QuenvilBeta"));
        // And typing goes there.
        QVERIFY(UserInput::type(QStringLiteral("back"), 5));
        QVERIFY(beta.waitForText(QStringLiteral("back")));
    }

    void everyWindowChangeIsSignalled()
    {
        TargetWindow one, two;
        QVERIFY(one.start(QStringLiteral("QuenvilSame")));
        QVERIFY(two.start(QStringLiteral("QuenvilSame")));
        X11FrontApp front({});
        QSignalSpy changes(&front, &FrontApp::frontChanged);
        QVERIFY(one.activate());
        QTRY_COMPARE(front.window(), one.window());
        QVERIFY(two.activate());
        QTRY_COMPARE(front.window(), two.window());
        QCOMPARE(changes.size(), 2);
        QCOMPARE(changes.last().first().toString(), QStringLiteral("QuenvilSame"));
    }

    void ownWindowIsOwnProcess()
    {
        X11FrontApp front({});
        QWidget own;
        own.setWindowTitle(QStringLiteral("own"));
        own.resize(200, 100);
        own.show();
        QVERIFY(QTest::qWaitForWindowExposed(&own));
        QVERIFY(UserInput::activateWindow(own.winId()));
        QTRY_VERIFY(front.isOwnProcess());
        QCOMPARE(front.window(), quint64(own.winId()));
    }

    void changeReadWhileWaitingForAReplyIsNotMissed()
    {
        // A change that reaches our connection while it waits for a reply of its own is read
        // into Xlib's queue and never shows on the socket again: it must still be taken.
        TargetWindow alpha, beta;
        QVERIFY(alpha.start(QStringLiteral("QuenvilQueuedA")));
        QVERIFY(beta.start(QStringLiteral("QuenvilQueuedB")));
        X11FrontApp front({});
        QVERIFY(alpha.activate());
        QTRY_COMPARE(front.window(), alpha.window());
        QTest::qWait(300);
        QVERIFY(UserInput::activateWindow(beta.window()));
        // No event processing between the change and the round trip below.
        QTest::qSleep(500);
        QVERIFY(!front.activate(1)); // no such window: a round trip and nothing else
        QTRY_COMPARE_WITH_TIMEOUT(front.window(), beta.window(), 3000);
        QCOMPARE(front.appKey(), QStringLiteral("QuenvilQueuedB"));
    }

    void goneWindowCannotBeActivated()
    {
        X11FrontApp front({});
        quint64 window = 0;
        {
            TargetWindow gone;
            QVERIFY(gone.start(QStringLiteral("QuenvilGone")));
            window = gone.window();
        }
        QTest::qWait(200);
        QVERIFY(!front.activate(window));
        QVERIFY(!front.activate(0));
    }
};

QUENVIL_X11_TEST_MAIN(tst_X11FrontApp)
#include "tst_X11FrontApp.moc"
