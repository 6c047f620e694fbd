// The composition root's X11 set: built in one call, and wired (the monitor knows the
// injector, keyboard grabs reach secure input, secure input silences the monitor).
#include "TargetWindow.h"
#include "UserInput.h"
#include "XServerEnvironment.h"

#include "platform/x11/X11PlatformServices.h"

#include <QTest>

#include <thread>

class tst_X11PlatformServices : public QObject
{
    Q_OBJECT

  private slots:
    void wiredSet()
    {
        TargetWindow target;
        QVERIFY(target.start(QStringLiteral("QuenvilServicesTarget")));
        std::unique_ptr<PlatformServices> services = createX11PlatformServices();
        QVERIFY(services->accessibility->isTrusted());
        QTRY_COMPARE(services->frontApp->appKey(), QStringLiteral("QuenvilServicesTarget"));
        QString seen;
        connect(services->inputMonitor.get(), &InputMonitor::keyDown, this,
                [&](const KeyDown& k) { seen += k.text; });
        QVERIFY(services->inputMonitor->start());

        // Our own typing reaches the window but not the monitor.
        std::thread injector([&] {
            KeySynth& synth = *services->keySynth;
            if (synth.beginJob()) {
                synth.typeText(QStringLiteral("typed by Quenvil ✓"));
                services->sleeper->sleepMicroseconds(1500);
                synth.endJob();
            }
        });
        injector.join();
        QVERIFY(target.waitForText(QStringLiteral("typed by Quenvil ✓")));
        QVERIFY(UserInput::type(QStringLiteral("user"), 5));
        QTRY_COMPARE(seen, QStringLiteral("user"));

        // A keyboard grab elsewhere turns secure input on, and the monitor quiet.
        XI2KeyboardGrab prompt;
        QVERIFY(prompt.grab());
        QTRY_VERIFY(services->secureInput->isActive());
        QVERIFY(UserInput::type(QStringLiteral("secret"), 5));
        prompt.release();
        QTRY_VERIFY(!services->secureInput->isActive());
        QVERIFY(target.activate());
        QVERIFY(UserInput::type(QStringLiteral("!"), 5));
        QTRY_COMPARE(seen, QStringLiteral("user!"));
    }
};

QUENVIL_X11_TEST_MAIN(tst_X11PlatformServices)
#include "tst_X11PlatformServices.moc"
