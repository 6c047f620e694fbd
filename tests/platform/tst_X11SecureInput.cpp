// Secure input's own sources: the screen locker on the session bus, our own password
// fields and the accessibility seam. (Keyboard grabs: tst_X11InputMonitor.)
#include "XServerEnvironment.h"

#include "platform/x11/X11SecureInput.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QSignalSpy>
#include <QTest>

namespace {

// A screen locker on the test's private session bus.
class FakeLocker : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
  public:
    explicit FakeLocker(QDBusConnection bus) : m_bus(bus) {}
    bool active = false;

    void setActive(bool value)
    {
        active = value;
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/ScreenSaver"),
                                                         QStringLiteral("org.freedesktop.ScreenSaver"),
                                                         QStringLiteral("ActiveChanged"));
        signal << value;
        m_bus.send(signal);
    }

  public slots:
    bool GetActive() { return active; }

  private:
    QDBusConnection m_bus;
};

} // namespace

class tst_X11SecureInput : public QObject
{
    Q_OBJECT

  private slots:
    void screenLockerOnTheSessionBus()
    {
        QDBusConnection lockerBus =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("locker"));
        QVERIFY(lockerBus.isConnected());
        FakeLocker locker(lockerBus);
        QVERIFY(lockerBus.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), &locker,
                                         QDBusConnection::ExportAllSlots));
        QVERIFY(lockerBus.registerService(QStringLiteral("org.freedesktop.ScreenSaver")));

        X11SecureInput secure;
        QSignalSpy changes(&secure, &SecureInput::changed);
        QTest::qWait(200);
        QVERIFY(!secure.isActive());
        locker.setActive(true);
        QTRY_VERIFY(secure.isActive());
        locker.setActive(false);
        QTRY_VERIFY(!secure.isActive());
        QCOMPARE(changes.size(), 2);

        // Started while the screen is locked: it asks once.
        locker.active = true;
        X11SecureInput late;
        QTRY_VERIFY(late.isActive());
        lockerBus.unregisterService(QStringLiteral("org.freedesktop.ScreenSaver"));
        QDBusConnection::disconnectFromBus(QStringLiteral("locker"));
    }

    void sourcesCombine()
    {
        X11SecureInput secure(false);
        QSignalSpy changes(&secure, &SecureInput::changed);
        secure.setOwnSecureFieldFocused(true);
        secure.setForeignKeyboardGrab(true);
        secure.setOwnSecureFieldFocused(false);
        QVERIFY(secure.isActive());
        secure.setForeignKeyboardGrab(false);
        QVERIFY(!secure.isActive());
        secure.setFocusedAccessibleIsPassword(true);
        QVERIFY(secure.isActive());
        secure.setFocusedAccessibleIsPassword(false);
        QCOMPARE(changes.size(), 4);
        QCOMPARE(changes.at(0).first().toBool(), true);
        QCOMPARE(changes.at(1).first().toBool(), false);
    }
};

QUENVIL_X11_TEST_MAIN(tst_X11SecureInput)
#include "tst_X11SecureInput.moc"
