#include "ai/AIReply.h"
#include "ai/OnDeviceModel.h"
#include "model/AppState.h"

#include "FakeHttpServer.h"
#include "ReplyWaiter.h"
#include "TestHome.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

using Status = OnDeviceModel::Status;

const QByteArray modelsPath = "/v1/models";
const QByteArray completionsPath = "/v1/chat/completions";
const QString modelName = QStringLiteral("llama3.2:3b");

QByteArray modelList(const QStringList& ids)
{
    QJsonArray data;
    for (const QString& id : ids)
        data.append(QJsonObject{{"id", id}, {"object", "model"}});
    return QJsonDocument(QJsonObject{{"object", "list"}, {"data", data}}).toJson(QJsonDocument::Compact);
}

QByteArray choiceBody(const QByteArray& content)
{
    return R"({"choices":[{"message":{"role":"assistant","content":)" + content + "}}]}";
}

} // namespace

class tst_OnDeviceModel : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void init();
    void cleanup();

    void availability_data();
    void availability();
    void addressesElsewhereAreNeverContacted_data();
    void addressesElsewhereAreNeverContacted();
    void completionRequest();
    void completionChecksAnUncheckedServerFirst();
    void completionWhenTheModelCannotAnswer_data();
    void completionWhenTheModelCannotAnswer();
    void completionErrors_data();
    void completionErrors();
    void serverGoneMarksItNotRunning();
    void staleOrChangedSettingsAreCheckedAgain();

  private:
    void configure(const QString& url, const QString& model = modelName)
    {
        m_model->setServerURL(url);
        m_model->setModelName(model);
    }
    // Refreshes and waits for the check's end.
    Status check()
    {
        QSignalSpy checked(m_model.get(), &OnDeviceModel::checked);
        m_model->refresh();
        if (checked.isEmpty())
            checked.wait(5000);
        return m_model->status();
    }
    void makeModel(const OnDeviceModel::Options& options = fastOptions())
    {
        m_model = std::make_unique<OnDeviceModel>(*m_state, options);
    }
    static OnDeviceModel::Options fastOptions()
    {
        OnDeviceModel::Options o;
        o.checkTimeoutMs = 500;
        o.requestTimeoutMs = 800;
        return o;
    }

    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<OnDeviceModel> m_model;
    std::unique_ptr<FakeHttpServer> m_server;
};

void tst_OnDeviceModel::init()
{
    m_home = std::make_unique<TestHome>();
    AppState::Options o = m_home->storeOptions();
    o.deferSettingsWrites = false;
    m_state = std::make_unique<AppState>(o);
    m_server = std::make_unique<FakeHttpServer>();
    QVERIFY(m_server->isListening());
    makeModel();
}

void tst_OnDeviceModel::cleanup()
{
    m_model.reset();
    m_server.reset();
    m_state.reset();
    m_home.reset();
}

void tst_OnDeviceModel::availability_data()
{
    QTest::addColumn<QString>("url"); // "server": the fake server; "closed": nobody listens
    QTest::addColumn<QString>("model");
    QTest::addColumn<FakeHttpServer::Reply>("models");
    QTest::addColumn<Status>("status");
    QTest::addColumn<QString>("text");

    using Reply = FakeHttpServer::Reply;
    const Reply listed = Reply::json(200, modelList({"other", modelName}));
    QTest::newRow("nothing set") << ""
                                 << "" << listed << Status::notConfigured
                                 << "Set up an on-device model server in Settings";
    QTest::newRow("no model name") << "server"
                                   << "" << listed << Status::notConfigured
                                   << "Set up an on-device model server in Settings";
    QTest::newRow("no address") << "" << modelName << listed << Status::notConfigured
                                << "Set up an on-device model server in Settings";
    QTest::newRow("nobody listens") << "closed" << modelName << listed << Status::notRunning
                                    << "The on-device model server is not running";
    QTest::newRow("loading (503)") << "server" << modelName << Reply::json(503, R"({"error":"loading"})")
                                   << Status::notReady << "The on-device model is still downloading";
    QTest::newRow("model not listed") << "server" << modelName << Reply::json(200, modelList({"other"}))
                                      << Status::notReady << "The on-device model is still downloading";
    QTest::newRow("model listed") << "server" << modelName << listed << Status::ready
                                  << "On-device model ready";
    QTest::newRow("server error") << "server" << modelName << Reply::json(500, "oops") << Status::unavailable
                                  << "The on-device model is unavailable";
    QTest::newRow("not a model list") << "server" << modelName << Reply::json(200, R"({"models":[]})")
                                      << Status::unavailable << "The on-device model is unavailable";
    QTest::newRow("not JSON") << "server" << modelName << Reply::json(200, "<html>") << Status::unavailable
                              << "The on-device model is unavailable";
    Reply silent = listed;
    silent.neverAnswer = true;
    QTest::newRow("no answer") << "server" << modelName << silent << Status::unavailable
                               << "The on-device model is unavailable";
    QTest::newRow("redirect not followed") << "server" << modelName << Reply::redirect(302, "/v2/models")
                                           << Status::unavailable << "The on-device model is unavailable";
}

void tst_OnDeviceModel::availability()
{
    QFETCH(QString, url);
    QFETCH(QString, model);
    QFETCH(FakeHttpServer::Reply, models);
    QFETCH(Status, status);
    QFETCH(QString, text);
    m_server->setReply(modelsPath, models);
    m_server->setReply("/v2/models", FakeHttpServer::Reply::json(200, modelList({modelName})));
    if (url == QLatin1String("server"))
        url = m_server->baseURL();
    else if (url == QLatin1String("closed"))
        url = QStringLiteral("http://127.0.0.1:%1").arg(FakeHttpServer::closedPort());
    configure(url, model);

    QCOMPARE(check(), status);
    QCOMPARE(m_model->statusText(), text);
    QCOMPARE(m_model->isReady(), status == Status::ready);
    for (const FakeHttpServer::Request& r : m_server->requests()) {
        QCOMPARE(r.method, QByteArray("GET"));
        QCOMPARE(r.target, modelsPath);
    }
}

void tst_OnDeviceModel::addressesElsewhereAreNeverContacted_data()
{
    QTest::addColumn<QString>("url");
    QTest::newRow("LAN") << "http://192.168.1.5:%1";
    QTest::newRow("host name") << "http://models.example.com:%1";
    QTest::newRow("loopback look-alike") << "http://127.0.0.1.example.com:%1";
    QTest::newRow("other scheme") << "ftp://127.0.0.1:%1";
    QTest::newRow("no scheme") << "127.0.0.1:%1";
    QTest::newRow("user info") << "http://me@127.0.0.1:%1";
}

void tst_OnDeviceModel::addressesElsewhereAreNeverContacted()
{
    QFETCH(QString, url);
    configure(url.arg(m_server->port()));
    QCOMPARE(check(), Status::addressRefused);
    QCOMPARE(m_model->statusText(), QStringLiteral("The on-device model server must run on this computer"));
    const auto r = ReplyWaiter(m_model->complete(QStringLiteral("sys"), QStringLiteral("usr"))).wait();
    QCOMPARE(outcomeText(r), QStringLiteral("The on-device model server must run on this computer"));
    QCOMPARE(r->error->code(), AIServiceError::Code::onDeviceUnavailable);
    QTest::qWait(50);
    QVERIFY(m_server->requests().isEmpty());
}

void tst_OnDeviceModel::completionRequest()
{
    m_server->setReply(modelsPath, FakeHttpServer::Reply::json(200, modelList({modelName})));
    m_server->setReply("/base/v1/models", FakeHttpServer::Reply::json(200, modelList({modelName})));
    m_server->setReply("/base/v1/chat/completions",
                       FakeHttpServer::Reply::json(200, choiceBody(R"(" Bonjour.\n")")));
    configure(m_server->baseURL() + QStringLiteral("/base/"));
    QCOMPARE(check(), Status::ready);

    const auto r =
        ReplyWaiter(m_model->complete(QStringLiteral("Translate."), QStringLiteral("Hello"))).wait();
    QCOMPARE(outcomeText(r), QStringLiteral("Bonjour."));
    const FakeHttpServer::Request& req = m_server->requests().last();
    QCOMPARE(req.method, QByteArray("POST"));
    QCOMPARE(req.target, QByteArray("/base/v1/chat/completions"));
    QCOMPARE(req.header("Content-Type"), QByteArray("application/json"));
    QVERIFY(!req.hasHeader("Authorization"));
    const QJsonObject expected{
        {"model", modelName},
        {"messages", QJsonArray{QJsonObject{{"role", "system"}, {"content", "Translate."}},
                                QJsonObject{{"role", "user"}, {"content", "Hello"}}}},
    };
    QCOMPARE(QJsonDocument::fromJson(req.body).object(), expected);
}

void tst_OnDeviceModel::completionChecksAnUncheckedServerFirst()
{
    m_server->setReply(modelsPath, FakeHttpServer::Reply::json(200, modelList({modelName})));
    m_server->setReply(completionsPath, FakeHttpServer::Reply::json(200, choiceBody(R"("ok")")));
    configure(m_server->baseURL());
    const auto r = ReplyWaiter(m_model->complete(QStringLiteral("s"), QStringLiteral("u"))).wait();
    QCOMPARE(outcomeText(r), QStringLiteral("ok"));
    QCOMPARE(m_server->requests().size(), 2);
    QCOMPARE(m_server->requests().first().target, modelsPath);
    QCOMPARE(m_model->status(), Status::ready);
}

void tst_OnDeviceModel::completionWhenTheModelCannotAnswer_data()
{
    QTest::addColumn<int>("modelsStatus");
    QTest::addColumn<QString>("text");
    QTest::newRow("loading") << 503 << "The on-device model is still downloading";
    QTest::newRow("broken") << 500 << "The on-device model is unavailable";
}

void tst_OnDeviceModel::completionWhenTheModelCannotAnswer()
{
    QFETCH(int, modelsStatus);
    QFETCH(QString, text);
    m_server->setReply(modelsPath, FakeHttpServer::Reply::json(modelsStatus, "{}"));
    m_server->setReply(completionsPath, FakeHttpServer::Reply::json(200, choiceBody(R"("never")")));
    configure(m_server->baseURL());
    const auto r = ReplyWaiter(m_model->complete(QStringLiteral("s"), QStringLiteral("u"))).wait();
    QCOMPARE(outcomeText(r), text);
    QCOMPARE(r->error->code(), AIServiceError::Code::onDeviceUnavailable);
    QCOMPARE(m_server->requests().size(), 1); // the check only
}

void tst_OnDeviceModel::completionErrors_data()
{
    QTest::addColumn<FakeHttpServer::Reply>("reply");
    QTest::addColumn<QString>("text");
    using Reply = FakeHttpServer::Reply;
    QTest::newRow("HTTP error") << Reply::json(500, R"({"error":"out of memory"})")
                                << R"(On-device model request failed: HTTP 500 {"error":"out of memory"})";
    QTest::newRow("loading meanwhile") << Reply::json(503, "") << "The on-device model is still downloading";
    QTest::newRow("shape") << Reply::json(200, R"({"choices":[]})")
                           << "On-device model request failed: unexpected response shape";
    QTest::newRow("redirect") << Reply::redirect(307, "http://192.168.1.5/v1/chat/completions")
                              << "On-device model request failed: HTTP 307 moved";
    QTest::newRow("too large") << Reply::json(200, QByteArray(2 * 1024 * 1024 + 1, ' '))
                               << "On-device model request failed: response exceeded the 2 MB safety limit";
    Reply silent = Reply::json(200, choiceBody(R"("late")"));
    silent.neverAnswer = true;
    QTest::newRow("no answer") << silent << "The AI request timed out";
}

void tst_OnDeviceModel::completionErrors()
{
    QFETCH(FakeHttpServer::Reply, reply);
    QFETCH(QString, text);
    m_server->setReply(modelsPath, FakeHttpServer::Reply::json(200, modelList({modelName})));
    m_server->setReply(completionsPath, reply);
    configure(m_server->baseURL());
    QCOMPARE(check(), Status::ready);
    QCOMPARE(outcomeText(ReplyWaiter(m_model->complete(QStringLiteral("s"), QStringLiteral("u"))).wait()),
             text);
}

void tst_OnDeviceModel::serverGoneMarksItNotRunning()
{
    m_server->setReply(modelsPath, FakeHttpServer::Reply::json(200, modelList({modelName})));
    configure(m_server->baseURL());
    QCOMPARE(check(), Status::ready);
    m_server.reset();

    QSignalSpy changed(m_model.get(), &OnDeviceModel::statusChanged);
    const auto r = ReplyWaiter(m_model->complete(QStringLiteral("s"), QStringLiteral("u"))).wait();
    QCOMPARE(outcomeText(r), QStringLiteral("The on-device model server is not running"));
    QCOMPARE(m_model->status(), Status::notRunning);
    QCOMPARE(changed.size(), 1);
}

void tst_OnDeviceModel::staleOrChangedSettingsAreCheckedAgain()
{
    OnDeviceModel::Options o = fastOptions();
    o.maxReadyAgeMs = 60'000;
    o.maxNotReadyAgeMs = 0;
    makeModel(o);
    m_server->setReply(modelsPath, FakeHttpServer::Reply::json(503, "{}"));
    configure(m_server->baseURL());
    QCOMPARE(check(), Status::notReady);

    // The model finished loading: reading the stale status asks again.
    m_server->setReply(modelsPath, FakeHttpServer::Reply::json(200, modelList({modelName})));
    QTRY_COMPARE(m_model->status(), Status::ready);

    // A ready status is kept for its whole age: reads cost no requests.
    const qsizetype asked = m_server->requests().size();
    m_server->setReply(modelsPath, FakeHttpServer::Reply::json(503, "{}"));
    for (int i = 0; i < 10; ++i) {
        QCOMPARE(m_model->status(), Status::ready);
        QTest::qWait(10);
    }
    QCOMPARE(m_server->requests().size(), asked);

    // Another model name, written to the settings behind the object's back: the old
    // answer no longer counts.
    m_state->settings().setString(OnDeviceModel::modelKey(), QStringLiteral("mistral"));
    QCOMPARE(m_model->status(), Status::checking);
    QTRY_COMPARE(m_model->status(), Status::notReady);
}

QTEST_GUILESS_MAIN(tst_OnDeviceModel)
#include "tst_OnDeviceModel.moc"
