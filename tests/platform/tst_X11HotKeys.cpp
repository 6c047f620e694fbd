// Global hot keys: passive grabs on the root window, pressed with xdotool.
#include "TargetWindow.h"
#include "UserInput.h"
#include "XServerEnvironment.h"

#include "platform/x11/X11HotKeyBackend.h"

#include <QTest>

class tst_X11HotKeys : public QObject
{
    Q_OBJECT

  private:
    TargetWindow m_target;

  private slots:
    void initTestCase()
    {
        // Something else has the focus, as in real use.
        QVERIFY(m_target.start(QStringLiteral("QuenvilHotKeyTarget")));
    }

    void firesOncePerPress()
    {
        X11HotKeyBackend backend({});
        int fired = 0;
        const auto id =
            backend.registerHotKey(Key::Space, Modifier::Control | Modifier::Alt, [&] { ++fired; });
        QVERIFY(id);
        QCOMPARE(*id, 1);

        QVERIFY(UserInput::key({QStringLiteral("ctrl+alt+space")}));
        QTRY_COMPARE(fired, 1);
        // The key went to us, not to the window in front.
        QTest::qWait(100);
        QCOMPARE(m_target.text(), QString());

        // Held long enough to auto-repeat: still one.
        QVERIFY(UserInput::xdotool({QStringLiteral("keydown"), QStringLiteral("ctrl+alt+space")}));
        QTest::qWait(900);
        QVERIFY(UserInput::xdotool({QStringLiteral("keyup"), QStringLiteral("ctrl+alt+space")}));
        QTRY_COMPARE(fired, 2);
        QTest::qWait(200);
        QCOMPARE(fired, 2);

        // Lock keys on make no difference.
        for (const QString& lock : {QStringLiteral("Num_Lock"), QStringLiteral("Caps_Lock")}) {
            QVERIFY(UserInput::key({lock}));
            QVERIFY(UserInput::key({QStringLiteral("ctrl+alt+space")}));
            QVERIFY(UserInput::key({lock}));
        }
        QTRY_COMPARE(fired, 4);

        // Other combinations of the key are not ours.
        QVERIFY(UserInput::key({QStringLiteral("ctrl+space"), QStringLiteral("ctrl+alt+shift+space")}));
        QTest::qWait(200);
        QCOMPARE(fired, 4);
    }

    void takenCombinationFails()
    {
        X11HotKeyBackend first({});
        X11HotKeyBackend second({});
        int firstFired = 0, secondFired = 0;
        QCOMPARE(first.registerHotKey(Key::R, Modifier::Control | Modifier::Alt, [&] { ++firstFired; }),
                 std::optional<int>(1));
        // Another client holds it: no hot key, and the id is used up.
        QCOMPARE(second.registerHotKey(Key::R, Modifier::Control | Modifier::Alt, [&] { ++secondFired; }),
                 std::nullopt);
        QCOMPARE(second.registerHotKey(Key::N, Modifier::Control | Modifier::Alt, [&] { ++secondFired; }),
                 std::optional<int>(2));
        QVERIFY(UserInput::key({QStringLiteral("ctrl+alt+r")}));
        QTRY_COMPARE(firstFired, 1);
        QCOMPARE(secondFired, 0);

        // Released, it can be had.
        first.unregisterHotKey(1);
        first.unregisterHotKey(1);
        QCOMPARE(second.registerHotKey(Key::R, Modifier::Control | Modifier::Alt, [&] { ++secondFired; }),
                 std::optional<int>(3));
        QVERIFY(UserInput::key({QStringLiteral("ctrl+alt+r")}));
        QTRY_COMPARE(secondFired, 1);
        QCOMPARE(firstFired, 1);
    }

    void unregisteredKeyGoesBackToTheApplication()
    {
        QVERIFY(m_target.activate());
        X11HotKeyBackend backend({});
        int fired = 0;
        const auto id = backend.registerHotKey(Key::K, Modifier::Shift | Modifier::Super, [&] { ++fired; });
        QVERIFY(id);
        backend.unregisterHotKey(*id);
        QVERIFY(UserInput::key({QStringLiteral("super+shift+k")}));
        QVERIFY(m_target.waitForText(QStringLiteral("K")));
        QCOMPARE(fired, 0);
    }
};

QUENVIL_X11_TEST_MAIN(tst_X11HotKeys)
#include "tst_X11HotKeys.moc"
