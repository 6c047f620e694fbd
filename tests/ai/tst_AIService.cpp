#include "ai/AIBackend.h"
#include "ai/AIReply.h"
#include "ai/AIService.h"
#include "ai/AIVetter.h"
#include "ai/OnDeviceModel.h"
#include "ai/OpenAIClient.h"
#include "model/AppState.h"

#include "FakeHttpServer.h"
#include "ReplyWaiter.h"
#include "TestHome.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

const QByteArray reply = R"({"choices":[{"message":{"content":"  the answer\n"}}]})";

} // namespace

class tst_AIService : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void init();
    void cleanup();

    void dispatch_data();
    void dispatch();
    void answersNeverArriveInsideTheCall();
    void openAIUsesTheKeyStoredNow();

  private:
    QString keyFile() const { return m_home->dataFile(QStringLiteral("openai_api_key")); }

    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<FakeHttpServer> m_server;
    std::unique_ptr<OpenAIClient> m_client;
    std::unique_ptr<AIVetter> m_vetter;
    std::unique_ptr<OnDeviceModel> m_onDevice;
    std::unique_ptr<AIService> m_service;
};

void tst_AIService::init()
{
    m_home = std::make_unique<TestHome>();
    AppState::Options o = m_home->storeOptions();
    o.deferSettingsWrites = false;
    m_state = std::make_unique<AppState>(o);
    m_server = std::make_unique<FakeHttpServer>();
    m_server->setReply("/v1/chat/completions", FakeHttpServer::Reply::json(200, reply));
    m_server->setReply("/v1/models", FakeHttpServer::Reply::json(200, R"({"data":[{"id":"local"}]})"));
    m_client = std::make_unique<OpenAIClient>(*m_state);
    m_client->setBaseURL(m_server->baseURL());
    m_vetter = std::make_unique<AIVetter>(*m_client);
    m_onDevice = std::make_unique<OnDeviceModel>(*m_state);
    m_service = std::make_unique<AIService>(*m_vetter, *m_onDevice);
}

void tst_AIService::cleanup()
{
    m_service.reset();
    m_onDevice.reset();
    m_vetter.reset();
    m_client.reset();
    m_server.reset();
    m_state.reset();
    m_home.reset();
}

void tst_AIService::dispatch_data()
{
    QTest::addColumn<AIBackend>("backend");
    QTest::addColumn<QByteArray>("keyFile"); // null: none
    QTest::addColumn<bool>("localServer");
    QTest::addColumn<bool>("ready");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("requests");

    QTest::newRow("off") << AIBackend::off << QByteArray("sk-1") << false << false
                         << "This AI feature is turned off" << 0;
    QTest::newRow("OpenAI without a key")
        << AIBackend::openAI << QByteArray() << false << false << "Add an OpenAI key in Settings" << 0;
    QTest::newRow("OpenAI with a blank key file")
        << AIBackend::openAI << QByteArray(" \n\n") << false << false << "Add an OpenAI key in Settings" << 0;
    QTest::newRow("OpenAI with a key")
        << AIBackend::openAI << QByteArray("sk-1\n") << false << true << "the answer" << 1;
    QTest::newRow("on-device not set up") << AIBackend::onDevice << QByteArray("sk-1") << false << false
                                          << "Set up an on-device model server in Settings" << 0;
    QTest::newRow("on-device served")
        << AIBackend::onDevice << QByteArray() << true << true << "the answer" << 2;
}

void tst_AIService::dispatch()
{
    QFETCH(AIBackend, backend);
    QFETCH(QByteArray, keyFile);
    QFETCH(bool, localServer);
    QFETCH(bool, ready);
    QFETCH(QString, text);
    QFETCH(int, requests);
    if (!keyFile.isNull())
        TestHome::writeFile(this->keyFile(), keyFile);
    if (localServer) {
        m_onDevice->setServerURL(m_server->baseURL());
        m_onDevice->setModelName(QStringLiteral("local"));
        QTRY_VERIFY(m_onDevice->status() != OnDeviceModel::Status::checking);
    }

    QCOMPARE(m_service->isReady(backend), ready);
    const auto r =
        ReplyWaiter(m_service->complete(backend, QStringLiteral("system"), QStringLiteral("user"))).wait();
    QCOMPARE(outcomeText(r), text);
    QCOMPARE(int(m_server->requests().size()), requests);
    if (backend == AIBackend::openAI && ready)
        QCOMPARE(m_server->requests().first().header("Authorization"), QByteArray("Bearer sk-1"));
}

void tst_AIService::answersNeverArriveInsideTheCall()
{
    for (AIBackend backend : allAIBackends()) {
        AIReply* pending = m_service->complete(backend, QStringLiteral("s"), QStringLiteral("u"));
        QSignalSpy finished(pending, &AIReply::finished);
        QVERIFY2(finished.isEmpty(), qPrintable(aiBackendLabel(backend)));
        QVERIFY2(finished.wait(5000), qPrintable(aiBackendLabel(backend)));
    }
}

void tst_AIService::openAIUsesTheKeyStoredNow()
{
    QVERIFY(m_vetter->saveKey(QStringLiteral("sk-first")));
    QVERIFY(ReplyWaiter(m_service->complete(AIBackend::openAI, {}, {})).wait());
    // Replaced outside the application: the next request already carries the new key.
    TestHome::writeFile(keyFile(), "sk-second");
    QVERIFY(ReplyWaiter(m_service->complete(AIBackend::openAI, {}, {})).wait());
    QCOMPARE(m_server->requests().size(), 2);
    QCOMPARE(m_server->requests().at(0).header("Authorization"), QByteArray("Bearer sk-first"));
    QCOMPARE(m_server->requests().at(1).header("Authorization"), QByteArray("Bearer sk-second"));
    // Removed outside the application: not ready, and no request goes out.
    QVERIFY(QFile::remove(keyFile()));
    QVERIFY(!m_service->isReady(AIBackend::openAI));
    QCOMPARE(outcomeText(ReplyWaiter(m_service->complete(AIBackend::openAI, {}, {})).wait()),
             QStringLiteral("Add an OpenAI key in Settings"));
    QCOMPARE(m_server->requests().size(), 2);
}

QTEST_GUILESS_MAIN(tst_AIService)
#include "tst_AIService.moc"
