// The permission-lost notice, end to end through the D-Bus backend to a fake notification
// server on a bus of the test's own, and the help page a click opens.
#include "engine/Notifier.h"
#include "platform/linux/DBusNotificationService.h"

#include "FakeNotificationServer.h"
#include "PrivateSessionBus.h"
#include "TestHome.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFile>
#include <QGuiApplication>
#include <QTest>

namespace {

const QString kAppId = QStringLiteral("org.example.Quenvil");

} // namespace

class tst_Notifier : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void postsTheNotice();
    void secondLossReplacesTheFirst();
    void clickOpensTheHelpPage();
    void otherClicksAreIgnored();
    void withoutApplicationIdNothingIsPosted();
    void withoutServerNothingHappens();
    void helpPageIsRestored();

  private:
    std::unique_ptr<TestHome> m_home;
    PrivateSessionBus m_bus;
    std::optional<QDBusConnection> m_serverBus;
    std::optional<QDBusConnection> m_clientBus;
    std::unique_ptr<FakeNotificationServer> m_server;
    std::unique_ptr<DBusNotificationService> m_service;
    QList<QUrl> m_opened;
};

void tst_Notifier::initTestCase()
{
    QVERIFY(m_bus.start());
}

void tst_Notifier::init()
{
    m_home = std::make_unique<TestHome>();
    QGuiApplication::setDesktopFileName(kAppId);
    m_serverBus = QDBusConnection::connectToBus(m_bus.address(), QStringLiteral("server"));
    m_clientBus = QDBusConnection::connectToBus(m_bus.address(), QStringLiteral("client"));
    QVERIFY(m_serverBus->isConnected() && m_clientBus->isConnected());
    m_server = std::make_unique<FakeNotificationServer>(*m_serverBus);
    QVERIFY(m_server->start());
    m_service = std::make_unique<DBusNotificationService>(*m_clientBus, QStringLiteral("Quenvil"), kAppId);
    Notifier::setService(m_service.get());
    m_opened.clear();
    Notifier::setUrlOpener([this](const QUrl& url) { m_opened.append(url); });
}

void tst_Notifier::cleanup()
{
    Notifier::setService(nullptr);
    Notifier::setUrlOpener(nullptr);
    m_service.reset();
    m_server.reset();
    m_serverBus.reset();
    m_clientBus.reset();
    QDBusConnection::disconnectFromBus(QStringLiteral("server"));
    QDBusConnection::disconnectFromBus(QStringLiteral("client"));
    m_home.reset();
}

void tst_Notifier::cleanupTestCase()
{
    m_bus.stop();
}

void tst_Notifier::postsTheNotice()
{
    QCOMPARE(Notifier::permissionLostIdentifier(), kAppId + QStringLiteral(".permission-lost"));
    Notifier::permissionLost();
    QTRY_COMPARE(m_server->received.size(), 1);
    const FakeNotificationServer::Received& n = m_server->received.first();
    QCOMPARE(n.appName, QStringLiteral("Quenvil"));
    QCOMPARE(n.replacesId, 0u);
    QCOMPARE(n.summary, QStringLiteral("Quenvil lost Accessibility access"));
    QVERIFY(n.body.startsWith(QStringLiteral("Expansions are paused.")));
    QVERIFY(n.actions.contains(QStringLiteral("default")));
    QCOMPARE(n.hints.value(QStringLiteral("desktop-entry")).toString(), kAppId);
    QVERIFY(!n.hints.value(QStringLiteral("sound-name")).toString().isEmpty());
    // The server's number is kept with our identifier.
    QTRY_COMPARE(m_service->identifiers().value(n.id), Notifier::permissionLostIdentifier());
}

void tst_Notifier::secondLossReplacesTheFirst()
{
    Notifier::permissionLost();
    QTRY_COMPARE(m_service->identifiers().size(), 1);
    Notifier::permissionLost();
    QTRY_COMPARE(m_server->received.size(), 2);
    const uint first = m_server->received.at(0).id;
    QCOMPARE(m_server->received.at(1).replacesId, first);
    QCOMPARE(m_server->shown.size(), 1); // one notice on screen, not two
    QCOMPARE(m_service->identifiers().size(), 1);

    // Once it is gone, the next loss posts a new one.
    m_server->dismiss(first);
    QTRY_VERIFY(m_service->identifiers().isEmpty());
    Notifier::permissionLost();
    QTRY_COMPARE(m_server->received.size(), 3);
    QCOMPARE(m_server->received.at(2).replacesId, 0u);
}

void tst_Notifier::clickOpensTheHelpPage()
{
    Notifier::permissionLost();
    QTRY_COMPARE(m_service->identifiers().size(), 1);
    m_server->click(m_server->received.first().id);
    QTRY_COMPARE(m_opened.size(), 1);
    const QUrl url = m_opened.first();
    QCOMPARE(url, Notifier::accessibilitySettingsURL());
    QVERIFY(url.isLocalFile());
    QFile page(url.toLocalFile());
    QVERIFY(page.open(QIODevice::ReadOnly));
    const QByteArray html = page.readAll();
    QVERIFY(html.contains("X11"));
    QVERIFY(html.contains("RECORD"));
    // In the cache folder of the test's home, not the user's.
    QVERIFY(url.toLocalFile().startsWith(m_home->root()));
    QTRY_VERIFY(m_service->identifiers().isEmpty()); // the click closed it
}

void tst_Notifier::otherClicksAreIgnored()
{
    Notifier::permissionLost();
    QTRY_COMPARE(m_service->identifiers().size(), 1);
    const uint ours = m_server->received.first().id;
    emit m_server->ActionInvoked(ours, QStringLiteral("other-action"));
    emit m_server->ActionInvoked(ours + 100, QStringLiteral("default")); // another program's notification
    // And a click reported by someone who is not the server.
    QDBusMessage forged = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/Notifications"),
                                                     QStringLiteral("org.freedesktop.Notifications"),
                                                     QStringLiteral("ActionInvoked"));
    forged << ours << QStringLiteral("default");
    QDBusConnection intruder = QDBusConnection::connectToBus(m_bus.address(), QStringLiteral("intruder"));
    QVERIFY(intruder.send(forged));
    QTest::qWait(200);
    QVERIFY(m_opened.isEmpty());
    QDBusConnection::disconnectFromBus(QStringLiteral("intruder"));
}

void tst_Notifier::withoutApplicationIdNothingIsPosted()
{
    QGuiApplication::setDesktopFileName(QString());
    QVERIFY(Notifier::permissionLostIdentifier().isEmpty());
    Notifier::permissionLost();
    QTest::qWait(100);
    QVERIFY(m_server->received.isEmpty());
}

void tst_Notifier::withoutServerNothingHappens()
{
    m_server.reset(); // gives the name up
    Notifier::permissionLost();
    QTest::qWait(200);
    QVERIFY(m_service->identifiers().isEmpty());
    Notifier::setService(nullptr);
    Notifier::permissionLost(); // no service at all
}

void tst_Notifier::helpPageIsRestored()
{
    const QUrl url = Notifier::accessibilitySettingsURL();
    QVERIFY(url.isLocalFile());
    QFile page(url.toLocalFile());
    QVERIFY(page.open(QIODevice::ReadOnly));
    const QByteArray shipped = page.readAll();
    page.close();
    QCOMPARE(TestHome::permissions(url.toLocalFile()), 0600);
    TestHome::writeFile(url.toLocalFile(), "stale");
    Notifier::openAccessibilitySettings();
    QCOMPARE(m_opened.size(), 1);
    QCOMPARE(TestHome::readFile(url.toLocalFile()), shipped);
}

QTEST_MAIN(tst_Notifier)
#include "tst_Notifier.moc"
