// The keystroke monitor against a real X server, with xdotool as the user and our own
// synthesiser typing at the same time.
#include "TargetWindow.h"
#include "UserInput.h"
#include "XServerEnvironment.h"

#include "platform/ThreadSleeper.h"
#include "platform/x11/X11InputMonitor.h"
#include "platform/x11/X11KeySynth.h"
#include "platform/x11/X11SecureInput.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <thread>

class tst_X11InputMonitor : public QObject
{
    Q_OBJECT

  private:
    std::shared_ptr<InjectorIdentity> m_identity;
    std::unique_ptr<X11SecureInput> m_secure;
    std::unique_ptr<X11InputMonitor> m_monitor;
    TargetWindow m_target;
    QList<KeyDown> m_keys;
    int m_clicks = 0;

    QString typedText() const
    {
        QString text;
        for (const KeyDown& k : m_keys)
            text += k.text;
        return text;
    }

    // Every key press so far has reached us once a marker key typed after it has.
    bool settle()
    {
        const qsizetype before = m_keys.size();
        if (!UserInput::key({QStringLiteral("F12")}))
            return false;
        const bool seen =
            QTest::qWaitFor([&] { return m_keys.size() > before && m_keys.last().key == Key::F12; }, 10000);
        if (seen)
            m_keys.removeLast();
        return seen;
    }

  private slots:
    void initTestCase() { QVERIFY(m_target.start(QStringLiteral("QuenvilMonitorTarget"))); }

    void init()
    {
        m_identity = std::make_shared<InjectorIdentity>();
        m_secure = std::make_unique<X11SecureInput>(false);
        m_monitor = std::make_unique<X11InputMonitor>(QByteArray(), m_identity, m_secure.get());
        connect(m_monitor.get(), &X11InputMonitor::foreignKeyboardGrabChanged, m_secure.get(),
                &X11SecureInput::setForeignKeyboardGrab);
        m_keys.clear();
        m_clicks = 0;
        connect(m_monitor.get(), &InputMonitor::keyDown, this, [this](const KeyDown& k) { m_keys << k; });
        connect(m_monitor.get(), &InputMonitor::mouseDown, this, [this] { ++m_clicks; });
        QVERIFY(m_target.activate());
        QVERIFY(m_monitor->start());
        QVERIFY(m_monitor->isRunning());
    }

    void cleanup()
    {
        m_monitor.reset();
        m_secure.reset();
    }

    void reportsWhatTheUserTypes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("delay");
        QTest::newRow("lower case") << QStringLiteral("hello world") << 12;
        QTest::newRow("upper case") << QStringLiteral("Hello WORLD") << 12;
        QTest::newRow("digits and punctuation")
            << QStringLiteral("0123456789 .,;:!?()[]{}\"'-_=+/\\|@#$%^&*~`<>") << 8;
        QTest::newRow("rebound by xdotool") << QStringLiteral("é ü ß €") << 12;
        QTest::newRow("emoji") << QStringLiteral("ok 😀!") << 12;
        QTest::newRow("rebound at full speed") << QStringLiteral("éa€bé€ßü") << 0;
    }

    void reportsWhatTheUserTypes()
    {
        QFETCH(QString, text);
        QFETCH(int, delay);
        QVERIFY(UserInput::type(text, delay));
        // Without any input after it: the last key must not wait for the next.
        QTRY_COMPARE(typedText(), text);
        QVERIFY(settle());
        QCOMPARE(typedText(), text);
        for (const KeyDown& k : std::as_const(m_keys))
            QVERIFY(!k.isShortcut());
    }

    void namedKeysAndShortcuts_data()
    {
        QTest::addColumn<QString>("spec");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("shortcut");
        const int none = 0;
        QTest::newRow("Tab") << "Tab" << int(Key::Tab) << none << false;
        QTest::newRow("Shift+Tab") << "shift+Tab" << int(Key::Tab) << int(Modifier::Shift) << false;
        QTest::newRow("Return") << "Return" << int(Key::Return) << none << false;
        QTest::newRow("keypad Enter") << "KP_Enter" << int(Key::KeypadEnter) << none << false;
        QTest::newRow("BackSpace") << "BackSpace" << int(Key::Backspace) << none << false;
        QTest::newRow("Ctrl+BackSpace")
            << "ctrl+BackSpace" << int(Key::Backspace) << int(Modifier::Control) << true;
        QTest::newRow("Alt+BackSpace")
            << "alt+BackSpace" << int(Key::Backspace) << int(Modifier::Alt) << true;
        QTest::newRow("Delete") << "Delete" << int(Key::ForwardDelete) << none << false;
        QTest::newRow("Escape") << "Escape" << int(Key::Escape) << none << false;
        QTest::newRow("Left") << "Left" << int(Key::Left) << none << false;
        QTest::newRow("Right") << "Right" << int(Key::Right) << none << false;
        QTest::newRow("Up") << "Up" << int(Key::Up) << none << false;
        QTest::newRow("Down") << "Down" << int(Key::Down) << none << false;
        QTest::newRow("Home") << "Home" << int(Key::Home) << none << false;
        QTest::newRow("End") << "End" << int(Key::End) << none << false;
        QTest::newRow("Page Up") << "Prior" << int(Key::PageUp) << none << false;
        QTest::newRow("Page Down") << "Next" << int(Key::PageDown) << none << false;
        QTest::newRow("Ctrl+letter") << "ctrl+k" << int(Key::K) << int(Modifier::Control) << true;
        QTest::newRow("Alt+letter") << "alt+k" << int(Key::K) << int(Modifier::Alt) << true;
        QTest::newRow("Super+letter") << "super+k" << int(Key::K) << int(Modifier::Super) << true;
    }

    void namedKeysAndShortcuts()
    {
        QFETCH(QString, spec);
        QVERIFY(UserInput::key({spec}));
        QVERIFY(settle());
        QCOMPARE(m_keys.size(), 1);
        QTEST(int(m_keys.first().key), "key");
        QTEST(int(m_keys.first().modifiers), "modifiers");
        QTEST(m_keys.first().isShortcut(), "shortcut");
    }

    void clicksButNotScrolls()
    {
        // (Not the right button: the editor's context menu would grab the keyboard.)
        QVERIFY(UserInput::click(1));
        QVERIFY(UserInput::click(4));
        QVERIFY(UserInput::click(5));
        QVERIFY(UserInput::click(8));
        QVERIFY(settle());
        QCOMPARE(m_clicks, 2);
    }

    // The monitor records no releases; a held key's repeats still arrive, each as the
    // character it types.
    void autoRepeatArrivesAsPresses()
    {
        QVERIFY(UserInput::xdotool({QStringLiteral("keydown"), QStringLiteral("x")}));
        QTest::qWait(900); // past the server's repeat delay
        QVERIFY(UserInput::xdotool({QStringLiteral("keyup"), QStringLiteral("x")}));
        QVERIFY(settle());
        QVERIFY(m_keys.size() >= 2);
        QCOMPARE(typedText(), QString(m_keys.size(), QLatin1Char('x')));
    }

    // Our own typing never comes back as input; the user's, typed at the same time, all
    // does, in order, also the characters xdotool has to rebind key codes for.
    void ownTypingIsSkippedUserTypingIsKept()
    {
        ThreadSleeper sleeper;
        X11KeySynth::Options options;
        options.restoreDelayMs = 50;
        X11KeySynth synth(QByteArray(), m_identity, sleeper, options);
        std::atomic<bool> stop{false};
        std::atomic<int> chunks{0};
        std::thread injector([&] {
            const QStringList pieces{QStringLiteral("quenvil types this "), QStringLiteral("é→✓ 😀 中文 "),
                                     QStringLiteral("Ωμέγα ¯\\_(ツ)_/¯ ")};
            while (!stop) {
                if (!synth.beginJob())
                    return;
                for (int i = 0; i < 12 && !stop; ++i) {
                    synth.typeText(pieces.at(i % pieces.size()));
                    ++chunks;
                    std::this_thread::sleep_for(std::chrono::microseconds(1500));
                }
                synth.endJob();
                // Expansions follow each other with a pause, as triggers typed one after
                // another do. Back to back for seconds, tens of thousands of our keys, the
                // monitor on this loaded thread lost a recorded item now and then.
                std::this_thread::sleep_for(std::chrono::milliseconds(30));
            }
        });
        QTRY_VERIFY(chunks > 0);
        // No capitals: a job that starts while xdotool holds Shift releases it, as it
        // releases any modifier the user holds, and the capital would rightly arrive small.
        const QString user = QStringLiteral("the user types é and € while quenvil types, 12345 ß ü");
        const int before = chunks;
        // The event loop keeps running while the user types, as it does in the app: a
        // loop stalled for the seconds this takes, with our typing recorded all the while,
        // lost items of the recorded stream when it caught up.
        const auto xdotool = UserInput::xdotoolAsync(
            {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("3"), QStringLiteral("--"), user});
        const bool typed =
            QTest::qWaitFor([&] { return xdotool->state() == QProcess::NotRunning; }, 30000) &&
            xdotool->exitStatus() == QProcess::NormalExit && xdotool->exitCode() == 0;
        const int during = chunks - before;
        stop = true;
        injector.join();
        QVERIFY(typed);
        QVERIFY2(during >= 5, qPrintable(QString::number(during)));
        QVERIFY(settle());
        QCOMPARE(typedText(), user);
        QVERIFY(m_monitor->ownEventsSkipped() > 0);
    }

    void layoutChangeNeedsNoRestart()
    {
        QVERIFY(QProcess::execute(QStringLiteral("setxkbmap"), {QStringLiteral("de")}) == 0);
        auto restore =
            qScopeGuard([] { QProcess::execute(QStringLiteral("setxkbmap"), {QStringLiteral("us")}); });
        QTest::qWait(300);
        // On the German layout y and z swap places: a monitor still decoding with the
        // old keymap would report them swapped.
        QVERIFY(UserInput::type(QStringLiteral("yzäö"), 12));
        QVERIFY(settle());
        QCOMPARE(typedText(), QStringLiteral("yzäö"));
    }

    // A password typed into a window that holds the keyboard never reaches the engine.
    void keyboardGrabSilencesTheMonitor()
    {
        QSignalSpy secureChanges(m_secure.get(), &SecureInput::changed);
        {
            TargetWindow prompt;
            QVERIFY(prompt.start(QStringLiteral("QuenvilPasswordPrompt"), true));
            QTRY_VERIFY(m_secure->isActive());
            QVERIFY(UserInput::type(QStringLiteral("hunter2 secret"), 8));
            QVERIFY(prompt.waitForText(QStringLiteral("hunter2 secret")));
            QTest::qWait(100);
            QCOMPARE(m_keys.size(), 0);
        }
        // The prompt is gone, and with it the grab.
        QTRY_VERIFY(!m_secure->isActive());
        QVERIFY(m_target.activate());
        QVERIFY(UserInput::type(QStringLiteral("ok"), 8));
        QVERIFY(settle());
        QCOMPARE(typedText(), QStringLiteral("ok"));
        QCOMPARE(secureChanges.size(), 2);
    }

    void xinputGrabSilencesTheMonitor()
    {
        XI2KeyboardGrab prompt;
        QVERIFY(prompt.grab());
        QTRY_VERIFY(m_secure->isActive());
        QVERIFY(UserInput::type(QStringLiteral("secret"), 8));
        QTest::qWait(200);
        QCOMPARE(m_keys.size(), 0);
        prompt.release();
        QTRY_VERIFY(!m_secure->isActive());
        QVERIFY(m_target.activate());
        QVERIFY(UserInput::type(QStringLiteral("ok"), 8));
        QVERIFY(settle());
        QCOMPARE(typedText(), QStringLiteral("ok"));
    }

    void ownPasswordFieldSilencesTheMonitor()
    {
        m_secure->setOwnSecureFieldFocused(true);
        QVERIFY(UserInput::type(QStringLiteral("pass"), 8));
        QTest::qWait(200);
        m_secure->setOwnSecureFieldFocused(false);
        QVERIFY(UserInput::type(QStringLiteral("ok"), 8));
        QVERIFY(settle());
        QCOMPARE(typedText(), QStringLiteral("ok"));
    }

    void stopAndStartAgain()
    {
        m_monitor->stop();
        QVERIFY(!m_monitor->isRunning());
        QVERIFY(UserInput::type(QStringLiteral("gone"), 5));
        QTest::qWait(100);
        QVERIFY(m_monitor->start());
        QVERIFY(UserInput::type(QStringLiteral("back"), 5));
        QVERIFY(settle());
        QCOMPARE(typedText(), QStringLiteral("back"));
    }
};

QUENVIL_X11_TEST_MAIN(tst_X11InputMonitor)
#include "tst_X11InputMonitor.moc"
