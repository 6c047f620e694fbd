// The AI features as a user meets them: the real binary on the fixture's X server, its
// on-device model server a stand-in on the loopback address, typing into a window of
// another program.
#include "platform/linux/X11PrimarySelection.h"
#include "platform/x11/X11FrontApp.h"

#include "AppUnderTest.h"
#include "FakeHttpServer.h"
#include "TargetWindow.h"
#include "UserInput.h"
#include "XServerEnvironment.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <memory>

namespace {

constexpr int kHumanDelayMs = 60;
const QByteArray kChatPath = "/v1/chat/completions";

QByteArray chatReply(const QString& content)
{
    const QJsonObject message{{QStringLiteral("role"), QStringLiteral("assistant")},
                              {QStringLiteral("content"), content}};
    const QJsonObject choice{{QStringLiteral("index"), 0}, {QStringLiteral("message"), message}};
    return QJsonDocument(QJsonObject{{QStringLiteral("choices"), QJsonArray{choice}}}).toJson();
}

FakeHttpServer::Reply chat(const QString& content, bool held = false)
{
    FakeHttpServer::Reply r = FakeHttpServer::Reply::json(200, chatReply(content));
    r.held = held;
    return r;
}

// The system and user messages of a chat request.
std::pair<QString, QString> messages(const FakeHttpServer::Request& request)
{
    const QJsonArray list = QJsonDocument::fromJson(request.body).object().value("messages").toArray();
    return {list.at(0).toObject().value("content").toString(),
            list.at(1).toObject().value("content").toString()};
}

// The visible window titled exactly `title`, or 0.
quint64 visibleWindow(const QString& title)
{
    return UserInput::visibleWindows("^" + title + "$").value(0).toULongLong();
}

} // namespace

class tst_AIOnX11 : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void init();
    void cleanup();

    void rewriteAfterTheUserTypedOnTypesNothing();
    void blankSnippetReplyLeavesTheTrigger();

  private:
    void startApp(const QByteArray& snippets);
    // The chat requests so far.
    QList<FakeHttpServer::Request> chatRequests() const;
    // Every prompt the server was sent names this desktop or none at all.
    void verifyNoOtherPlatformNamed() const;
    // Control-Alt-R over the selection, and `instruction` typed into the panel.
    void rewriteWith(const QString& instruction);

    std::unique_ptr<AppUnderTest> m_app;
    std::unique_ptr<FakeHttpServer> m_server;
    std::unique_ptr<TargetWindow> m_target;
    std::unique_ptr<X11FrontApp> m_front;
};

void tst_AIOnX11::init()
{
    m_app = std::make_unique<AppUnderTest>();
    QVERIFY(m_app->isValid());
    m_server = std::make_unique<FakeHttpServer>();
    QVERIFY(m_server->isListening());
    m_server->setReply("/v1/models", FakeHttpServer::Reply::json(200, R"({"data":[{"id":"local"}]})"));
    m_front = std::make_unique<X11FrontApp>(XServerEnvironment::display());
}

void tst_AIOnX11::cleanup()
{
    m_app.reset();
    m_target.reset();
    m_front.reset();
    m_server.reset();
}

void tst_AIOnX11::startApp(const QByteArray& snippets)
{
    const QJsonObject settings{
        {"soundEnabled", false},
        {"hudEnabled", false},
        {"didLaunchBefore", true},
        {"didCompleteOnboarding", true},
        {"expansionMode", "instant"},
        {"aiWritingBackend", "onDevice"},
        {"onDeviceServerURL", m_server->baseURL()},
        {"onDeviceModel", "local"},
    };
    QVERIFY(
        m_app->writeFile(QStringLiteral("config/Quenvil/settings.json"), QJsonDocument(settings).toJson()));
    QVERIFY(m_app->writeFile(QStringLiteral("data/Quenvil/snippets.json"), snippets));
    QVERIFY(m_app->start());
    // The model check at start-up: by then the application is up; give it time to listen.
    QVERIFY(m_server->waitForRequests(1, 15000));
    QTest::qWait(1200);
    QCOMPARE(m_app->process()->state(), QProcess::Running);
}

QList<FakeHttpServer::Request> tst_AIOnX11::chatRequests() const
{
    QList<FakeHttpServer::Request> chats;
    for (const FakeHttpServer::Request& r : m_server->requests()) {
        if (r.target == kChatPath)
            chats.append(r);
    }
    return chats;
}

void tst_AIOnX11::verifyNoOtherPlatformNamed() const
{
    const QRegularExpression mac(QStringLiteral("(?i)\\bmac(os| ?os ?x)?\\b"));
    const QList<FakeHttpServer::Request> chats = chatRequests();
    QVERIFY(!chats.isEmpty());
    for (const FakeHttpServer::Request& r : chats)
        QVERIFY2(!messages(r).first.contains(mac), qPrintable(messages(r).first));
}

void tst_AIOnX11::rewriteWith(const QString& instruction)
{
    QVERIFY(UserInput::key({QStringLiteral("ctrl+a")}));
    X11PrimarySelection primary(XServerEnvironment::display());
    QTRY_VERIFY(primary.ownedByFrontProcess());
    QVERIFY(UserInput::key({QStringLiteral("ctrl+alt+r")}));
    quint64 panel = 0;
    QTRY_VERIFY_WITH_TIMEOUT((panel = visibleWindow(QStringLiteral("Rewrite with AI"))) != 0, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(m_front->window(), panel, 5000);
    QTest::qWait(300); // the instruction field takes the focus a moment after the panel shows
    QVERIFY(UserInput::type(instruction, kHumanDelayMs));
    QVERIFY(UserInput::key({QStringLiteral("Return")}));
}

void tst_AIOnX11::rewriteAfterTheUserTypedOnTypesNothing()
{
    m_target = std::make_unique<TargetWindow>();
    QVERIFY(m_target->start(QStringLiteral("QuenvilRewriteTarget")));
    m_server->setReply(kChatPath, chat(QStringLiteral("Hello, rewritten world.")));
    startApp("[]");

    // Answered at once: the reply replaces the selection.
    QVERIFY(UserInput::type(QStringLiteral("Hello rewrite world"), kHumanDelayMs));
    QVERIFY(m_target->waitForText(QStringLiteral("Hello rewrite world")));
    rewriteWith(QStringLiteral("shorter"));
    QTRY_COMPARE_WITH_TIMEOUT(chatRequests().size(), 1, 10000);
    QCOMPARE(messages(chatRequests().at(0)).second, QStringLiteral("shorter:\n\nHello rewrite world"));
    QVERIFY2(m_target->waitForText(QStringLiteral("Hello, rewritten world.")), qPrintable(m_target->text()));
    verifyNoOtherPlatformNamed();

    // Held back until the user has typed on in the target: the selection is gone, the caret
    // is in the middle of the new words, and the late reply must not land there.
    m_server->setReply(kChatPath, chat(QStringLiteral("LATE REPLY"), true));
    rewriteWith(QStringLiteral("shorter"));
    QTRY_COMPARE_WITH_TIMEOUT(chatRequests().size(), 2, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(m_front->window(), m_target->window(), 5000);
    QVERIFY(UserInput::type(QStringLiteral("typed meanwhile"), kHumanDelayMs));
    QVERIFY(UserInput::key({QStringLiteral("Left"), QStringLiteral("Left")}));
    QVERIFY(m_target->waitForText(QStringLiteral("typed meanwhile")));
    QCOMPARE(m_server->releaseHeld(), 1);
    QTest::qWait(1500);
    QCOMPARE(m_target->text(), QStringLiteral("typed meanwhile"));

    verifyNoOtherPlatformNamed();
}

void tst_AIOnX11::blankSnippetReplyLeavesTheTrigger()
{
    m_target = std::make_unique<TargetWindow>();
    QVERIFY(m_target->start());
    m_server->setReply(kChatPath, chat(QStringLiteral("hello")));
    startApp(R"json([{"trigger": ";ai", "content": "Dear {ai:say hi} Regards"}])json");

    QVERIFY(UserInput::type(QStringLiteral(";ai"), kHumanDelayMs));
    QVERIFY2(m_target->waitForText(QStringLiteral("Dear hello Regards")), qPrintable(m_target->text()));
    QCOMPARE(messages(chatRequests().at(0)).second, QStringLiteral("say hi"));
    verifyNoOtherPlatformNamed();

    // Only white space: nothing typed, the trigger left as typed.
    m_server->setReply(kChatPath, chat(QStringLiteral("  \n")));
    QVERIFY(UserInput::type(QStringLiteral(" ;ai"), kHumanDelayMs));
    QTRY_COMPARE_WITH_TIMEOUT(chatRequests().size(), 2, 10000);
    QTest::qWait(1500);
    QCOMPARE(m_target->text(), QStringLiteral("Dear hello Regards ;ai"));

    verifyNoOtherPlatformNamed();
}

QUENVIL_X11_TEST_MAIN(tst_AIOnX11)
#include "tst_AIOnX11.moc"
