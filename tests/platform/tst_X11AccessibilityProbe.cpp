// The trust check, and what happens to the backends when the X server goes away.
#include "UserInput.h"
#include "XServerEnvironment.h"

#include "platform/x11/X11AccessibilityProbe.h"
#include "platform/x11/X11FrontApp.h"
#include "platform/x11/X11HotKeyBackend.h"
#include "platform/x11/X11InputMonitor.h"
#include "platform/x11/X11KeySynth.h"
#include "platform/ThreadSleeper.h"

#include <QElapsedTimer>
#include <QTest>

class tst_X11AccessibilityProbe : public QObject
{
    Q_OBJECT

  private slots:
    void trustedOnTheTestServer()
    {
        X11AccessibilityProbe probe({});
        QVERIFY(probe.isTrusted());
        QVERIFY(probe.reason().isEmpty());
        // Cheap enough for a watchdog: one round trip.
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < 100; ++i)
            QVERIFY(probe.isTrusted());
        QVERIFY(timer.elapsed() < 2000);
    }

    void notTrusted_data()
    {
        QTest::addColumn<QByteArray>("display");
        QTest::addColumn<QByteArray>("sessionType");
        QTest::addColumn<QByteArray>("waylandDisplay");
        QTest::addColumn<QString>("reasonMentions");
        QTest::newRow("wayland session")
            << QByteArray() << QByteArray("wayland") << QByteArray() << "Wayland";
        QTest::newRow("wayland display")
            << QByteArray() << QByteArray() << QByteArray("wayland-0") << "Wayland";
        QTest::newRow("no display") << QByteArray(":4093") << QByteArray("x11") << QByteArray()
                                    << "X display";
    }

    void notTrusted()
    {
        QFETCH(QByteArray, display);
        QFETCH(QByteArray, sessionType);
        QFETCH(QByteArray, waylandDisplay);
        QFETCH(QString, reasonMentions);
        X11AccessibilityProbe probe(display, [&](const char* name) -> QByteArray {
            if (qstrcmp(name, "XDG_SESSION_TYPE") == 0)
                return sessionType;
            if (qstrcmp(name, "WAYLAND_DISPLAY") == 0)
                return waylandDisplay;
            return qgetenv(name);
        });
        QVERIFY(!probe.isTrusted());
        QVERIFY2(probe.reason().contains(reasonMentions), qPrintable(probe.reason()));
    }

    // The server dies under running backends: nothing crashes, the monitor stops, the
    // probe says no, and says yes again once a server is back.
    void lostServer()
    {
        PrivateXServer server;
        QVERIFY(server.start());
        X11AccessibilityProbe probe(server.display());
        QVERIFY(probe.isTrusted());
        auto identity = std::make_shared<InjectorIdentity>();
        X11InputMonitor monitor(server.display(), identity);
        QVERIFY(monitor.start());
        ThreadSleeper sleeper;
        X11KeySynth synth(server.display(), identity, sleeper, {});
        QVERIFY(synth.beginJob());
        X11FrontApp front(server.display());
        X11HotKeyBackend hotKeys(server.display());
        QVERIFY(hotKeys.registerHotKey(Key::Space, Modifier::Control | Modifier::Alt, [] {}));

        server.stop();
        QTRY_VERIFY(!monitor.isRunning());
        QVERIFY(!probe.isTrusted());
        QVERIFY(!probe.reason().isEmpty());
        QVERIFY(!synth.typeText(QStringLiteral("into the void")));
        synth.endJob();
        QVERIFY(!front.activate(front.window()));
        QVERIFY(!hotKeys.registerHotKey(Key::N, Modifier::Control | Modifier::Alt, [] {}));
        QVERIFY(!monitor.start());
        QTest::qWait(100);
    }
};

QUENVIL_X11_TEST_MAIN(tst_X11AccessibilityProbe)
#include "tst_X11AccessibilityProbe.moc"
