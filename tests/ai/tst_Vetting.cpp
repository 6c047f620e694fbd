#include "ai/AIVetter.h"
#include "ai/CandidateVetting.h"
#include "ai/LearningEngine.h"
#include "ai/OpenAIClient.h"
#include "model/AppState.h"

#include "FakeHttpServer.h"
#include "ScriptedModel.h"
#include "TestHome.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

const QDateTime kNow = QDateTime(QDate(2025, 3, 1), QTime(9, 30), Qt::UTC);

CorrectionCandidate correction(const QString& wrong, const QString& right, int order)
{
    CorrectionCandidate c;
    c.wrong = wrong;
    c.right = right;
    c.count = 2;
    // Among equal counts the longest waiting comes first.
    c.lastSeen = kNow.addSecs(-1000 + order);
    return c;
}

PhraseCandidate phrase(const QString& text, int order)
{
    PhraseCandidate p;
    p.text = text;
    p.key = text.toLower();
    p.count = 2;
    p.lastSeen = kNow.addSecs(-1000 + order);
    return p;
}

QString letterWord(const QString& stem, int i)
{
    return stem + QChar(u'a' + i / 26) + QChar(u'a' + i % 26);
}

QByteArray chatReply(const QByteArray& content)
{
    const QJsonObject o{{"choices", QJsonArray{QJsonObject{
                                        {"message", QJsonObject{{"content", QString::fromUtf8(content)}}}}}}};
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

const QString kRegards = QStringLiteral("Kind regards from Ann");

} // namespace

class tst_Vetting : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void init();
    void cleanup();

    void looksLikeTrigger_data();
    void looksLikeTrigger();
    void fixedTexts();

    void onDeviceReplies_data();
    void onDeviceReplies();
    void onDevicePassCapsAndOrder();
    void onDevicePassPreconditions_data();
    void onDevicePassPreconditions();
    void secondPassWhileOneRunsReturns();
    void clearingDuringOnDevicePassDropsEverything();
    void switchingToOnDeviceStartsAPass();

    void batchRequestHoldsEveryPendingSuggestion();
    void batchReplies_data();
    void batchReplies();
    void batchFailures_data();
    void batchFailures();
    void batchTwiceSendsOneRequest();
    void batchWithoutKeyDoesNothing();
    void clearingDuringBatchDropsTheReply();

  private:
    void seed(const QList<CorrectionCandidate>& corrections, const QList<PhraseCandidate>& phrases)
    {
        SavedLearning s;
        s.corrections = corrections;
        s.phrases = phrases;
        QDir().mkpath(m_home->dataDir());
        TestHome::writeFile(m_home->dataFile("learning.json"), encodeLearning(s));
        m_vetting.reset();
        m_engine = std::make_unique<LearningEngine>(*m_state, LearningEngine::Collaborators{});
        m_vetting = std::make_unique<CandidateVetting>(*m_state, *m_engine, *m_vetter, m_model.access());
    }
    void seedStandard() { seed({correction("recieve", "receive", 0)}, {phrase(kRegards, 0)}); }
    const CorrectionCandidate& firstCorrection() const { return m_engine->correctionCandidates().first(); }
    const PhraseCandidate& firstPhrase() const { return m_engine->phraseCandidates().first(); }
    void storeKey() { TestHome::writeFile(m_home->dataFile("openai_api_key"), "sk-test"); }
    SavedLearning savedFile() const
    {
        return decodeLearning(TestHome::readFile(m_home->dataFile("learning.json")))
            .value_or(SavedLearning{});
    }

    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<FakeHttpServer> m_server;
    std::unique_ptr<OpenAIClient> m_client;
    std::unique_ptr<AIVetter> m_vetter;
    std::unique_ptr<LearningEngine> m_engine;
    std::unique_ptr<CandidateVetting> m_vetting;
    ScriptedModel m_model;
};

void tst_Vetting::init()
{
    m_home = std::make_unique<TestHome>();
    AppState::Options o = m_home->storeOptions();
    o.deferSettingsWrites = false;
    o.clock = [] { return kNow; };
    m_state = std::make_unique<AppState>(o);
    m_state->setSnippets({});
    m_state->setAiVettingBackend(AIBackend::onDevice);
    m_server = std::make_unique<FakeHttpServer>();
    m_client = std::make_unique<OpenAIClient>(*m_state);
    m_client->setBaseURL(m_server->baseURL());
    m_vetter = std::make_unique<AIVetter>(*m_client);
    m_model = ScriptedModel();
}

void tst_Vetting::cleanup()
{
    m_vetting.reset();
    m_engine.reset();
    m_vetter.reset();
    m_client.reset();
    m_server.reset();
    m_state.reset();
    m_home.reset();
}

void tst_Vetting::looksLikeTrigger_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<bool>("result");
    QTest::newRow("a1") << "a1" << true;
    QTest::newRow("abcdefg1") << "abcdefg1" << true;
    QTest::newRow("punctuation and case dropped") << "Sig-2" << true;
    QTest::newRow("non-Latin letters") << "свк1" << true;
    QTest::newRow("1") << "1" << false;
    QTest::newRow("ab") << "ab" << false;
    QTest::newRow("abcdefgh1") << "abcdefgh1" << false;
    QTest::newRow("a1b") << "a1b" << false;
    QTest::newRow("12") << "12" << false;
    QTest::newRow("empty") << "" << false;
}

void tst_Vetting::looksLikeTrigger()
{
    QFETCH(QString, word);
    QFETCH(bool, result);
    QCOMPARE(CandidateVetting::looksLikeTrigger(word), result);
}

void tst_Vetting::fixedTexts()
{
    QCOMPARE(CandidateVetting::correctionInstructions().toUtf8().size(), 387);
    QCOMPARE(CandidateVetting::phraseInstructions().toUtf8().size(), 349);
    const QString system = CandidateVetting::vettingSystemPrompt();
    QCOMPARE(system.toUtf8().size(), 1058);
    QVERIFY(
        system.startsWith(QStringLiteral("You vet suggestions for Quenvil, a Linux desktop autocorrect")));
    const QStringList lines = system.split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 12);
    QVERIFY(lines.at(1).isEmpty() && lines.at(5).isEmpty() && lines.at(9).isEmpty());
    QVERIFY(lines.at(11).endsWith(QLatin1String("\"trigger\":\"xx1\"}]}")));
    QCOMPARE(CandidateVetting::correctionPrompt(correction("recieve", "receive", 0)),
             QStringLiteral("Replace \"recieve\" with \"receive\"?"));
}

void tst_Vetting::onDeviceReplies_data()
{
    QTest::addColumn<std::optional<QString>>("correctionReply"); // none: the request fails
    QTest::addColumn<std::optional<QString>>("phraseReply");
    QTest::addColumn<std::optional<AIVerdict>>("correctionVerdict");
    QTest::addColumn<std::optional<AIVerdict>>("phraseVerdict");
    QTest::addColumn<std::optional<QString>>("trigger");

    const auto s = [](const char* t) { return std::optional<QString>(QString::fromUtf8(t)); };
    const std::optional<QString> none;
    const auto a = std::optional<AIVerdict>(AIVerdict::approved);
    const auto r = std::optional<AIVerdict>(AIVerdict::rejected);
    const std::optional<AIVerdict> pending;
    QTest::newRow("approve with trigger") << s("Approve.") << s("approve sig1") << a << a << s("sig1");
    QTest::newRow("trigger cleaned") << s("I would reject this") << s("Approve. Sig-2") << r << a
                                     << s("sig2");
    QTest::newRow("trigger too long") << s("Maybe") << s("approve signature1") << pending << a << none;
    QTest::newRow("trigger on the next line")
        << s("approve or reject") << s("APPROVE\nhi1") << a << a << s("hi1");
    QTest::newRow("phrase rejected") << s("reject") << s("Reject, rais1") << r << r << none;
    QTest::newRow("neither word") << s("no idea") << s("sure, sig1") << pending << pending << none;
    QTest::newRow("requests fail") << none << none << pending << pending << none;
}

void tst_Vetting::onDeviceReplies()
{
    QFETCH(std::optional<QString>, correctionReply);
    QFETCH(std::optional<QString>, phraseReply);
    QFETCH(std::optional<AIVerdict>, correctionVerdict);
    QFETCH(std::optional<AIVerdict>, phraseVerdict);
    QFETCH(std::optional<QString>, trigger);
    seedStandard();
    if (correctionReply)
        m_model.replies.insert(QStringLiteral("Replace \"recieve\" with \"receive\"?"), *correctionReply);
    if (phraseReply)
        m_model.replies.insert(kRegards, *phraseReply);

    m_vetting->autoVetOnDevice();
    QVERIFY(m_engine->isAutoVetting());
    QTRY_VERIFY(!m_engine->isAutoVetting());

    QCOMPARE(m_model.requests.size(), 2);
    QCOMPARE(m_model.requests.at(0).system, CandidateVetting::correctionInstructions());
    QCOMPARE(m_model.requests.at(1).system, CandidateVetting::phraseInstructions());
    QCOMPARE(m_model.requests.at(1).user, kRegards);
    QCOMPARE(firstCorrection().aiVerdict, correctionVerdict);
    QCOMPARE(firstPhrase().aiVerdict, phraseVerdict);
    QCOMPARE(firstPhrase().aiTrigger, trigger);
    QVERIFY(m_engine->savePending());
}

void tst_Vetting::onDevicePassCapsAndOrder()
{
    QList<CorrectionCandidate> cs;
    for (int i = 0; i < 20; ++i)
        cs.append(correction(letterWord("wrng", i), letterWord("wrong", i), i));
    // One already judged: never asked again.
    cs.first().aiVerdict = AIVerdict::rejected;
    QList<PhraseCandidate> ps;
    for (int i = 0; i < 10; ++i)
        ps.append(phrase(QStringLiteral("phrase number %1 here").arg(QChar(u'a' + i)), i));
    // Seen more often: first in suggestion order even though it is the newest.
    ps.last().count = 5;
    seed(cs, ps);
    m_model.fallback = QStringLiteral("approve");

    m_vetting->autoVetOnDevice();
    QTRY_VERIFY(!m_engine->isAutoVetting());
    QStringList expected;
    for (int i = 1; i <= 8; ++i)
        expected.append(CandidateVetting::correctionPrompt(cs.at(i)));
    expected.append(ps.at(9).text);
    for (int i = 0; i < 5; ++i)
        expected.append(ps.at(i).text);
    QCOMPARE(m_model.users(), expected);
    QCOMPARE(m_model.maxOpen, 1);

    // The next pass takes up where this one stopped.
    m_model.requests.clear();
    m_vetting->autoVetOnDevice();
    QTRY_VERIFY(!m_engine->isAutoVetting());
    QCOMPARE(m_model.requests.size(), 8 + 4);
    QCOMPARE(m_model.requests.first().user, CandidateVetting::correctionPrompt(cs.at(9)));
    int pending = 0;
    for (const CorrectionCandidate& c : m_engine->correctionCandidates())
        pending += !c.aiVerdict;
    QCOMPARE(pending, 3);
}

void tst_Vetting::onDevicePassPreconditions_data()
{
    QTest::addColumn<AIBackend>("backend");
    QTest::addColumn<bool>("ready");
    QTest::newRow("vetting with OpenAI") << AIBackend::openAI << true;
    QTest::newRow("vetting off") << AIBackend::off << true;
    QTest::newRow("model not ready") << AIBackend::onDevice << false;
}

void tst_Vetting::onDevicePassPreconditions()
{
    QFETCH(AIBackend, backend);
    QFETCH(bool, ready);
    seedStandard();
    m_model.ready[AIBackend::onDevice] = ready;
    m_state->setAiVettingBackend(backend);
    m_vetting->autoVetOnDevice();
    QVERIFY(!m_engine->isAutoVetting());
    QTest::qWait(20);
    QVERIFY(m_model.requests.isEmpty());
}

void tst_Vetting::secondPassWhileOneRunsReturns()
{
    seedStandard();
    m_model.hold = true;
    m_model.fallback = QStringLiteral("approve");
    m_vetting->autoVetOnDevice();
    QCOMPARE(m_model.requests.size(), 1);
    m_vetting->autoVetOnDevice();
    QCOMPARE(m_model.requests.size(), 1);
    QVERIFY(m_model.releaseOne());
    QCOMPARE(m_model.requests.size(), 2);
    QVERIFY(m_model.releaseOne());
    QVERIFY(!m_engine->isAutoVetting());
    QCOMPARE(m_model.maxOpen, 1);
    QCOMPARE(firstPhrase().aiVerdict, AIVerdict::approved);
}

void tst_Vetting::clearingDuringOnDevicePassDropsEverything()
{
    seed({correction("recieve", "receive", 0), correction("teh", "the", 1)}, {phrase(kRegards, 0)});
    m_model.hold = true;
    m_model.fallback = QStringLiteral("approve rais1");
    QSignalSpy vetting(m_engine.get(), &LearningEngine::isAutoVettingChanged);
    m_vetting->autoVetOnDevice();
    QCOMPARE(m_model.requests.size(), 1);

    m_engine->clearAllLearnedData();
    QVERIFY(!m_engine->isAutoVetting());
    // The request about erased data is stopped and the rest of the pass is never asked.
    QVERIFY(!m_model.releaseOne());
    QTest::qWait(20);
    QCOMPARE(m_model.requests.size(), 1);
    QVERIFY(m_engine->correctionCandidates().isEmpty());
    QVERIFY(savedFile().corrections.isEmpty());
    QCOMPARE(vetting.size(), 2);

    // Old ids write nothing into the new generation either.
    const quint64 stale = m_engine->generation() - 1;
    CandidateVetting::applyAIVerdicts(*m_engine, stale, {{"recieve", "receive", "approve"}}, {});
    QVERIFY(m_engine->correctionCandidates().isEmpty());
}

void tst_Vetting::switchingToOnDeviceStartsAPass()
{
    m_state->setAiVettingBackend(AIBackend::off);
    seedStandard();
    m_model.fallback = QStringLiteral("approve");
    m_state->setAiVettingBackend(AIBackend::onDevice);
    QVERIFY(m_engine->isAutoVetting());
    QTRY_VERIFY(!m_engine->isAutoVetting());
    QCOMPARE(firstCorrection().aiVerdict, AIVerdict::approved);
}

void tst_Vetting::batchRequestHoldsEveryPendingSuggestion()
{
    QList<CorrectionCandidate> cs;
    for (int i = 0; i < 20; ++i)
        cs.append(correction(letterWord("wrng", i), letterWord("wrong", i), i + 1));
    cs.prepend(correction("recieve", "receive", 0));
    QList<PhraseCandidate> ps;
    for (int i = 0; i < 10; ++i)
        ps.append(phrase(QStringLiteral("phrase number %1 here").arg(QChar(u'a' + i)), i + 1));
    ps.prepend(phrase(kRegards, 0));
    ps.last().aiVerdict = AIVerdict::approved; // judged: not sent
    seed(cs, ps);
    storeKey();
    m_server->setReply("/v1/chat/completions", FakeHttpServer::Reply::json(200, chatReply("{}")));

    m_vetting->vetPendingSuggestions();
    QVERIFY(m_vetter->isVetting());
    QVERIFY(m_server->waitForRequests(1));
    QTRY_VERIFY(!m_vetter->isVetting());
    QCOMPARE(m_vetter->lastError(), std::nullopt);

    const FakeHttpServer::Request& req = m_server->requests().first();
    QCOMPARE(req.header("authorization"), QByteArray("Bearer sk-test"));
    const QJsonObject body = QJsonDocument::fromJson(req.body).object();
    QCOMPARE(body.value("model").toString(), QStringLiteral("gpt-5.4-mini"));
    QCOMPARE(body.value("response_format").toObject(), (QJsonObject{{"type", "json_object"}}));
    const QJsonArray messages = body.value("messages").toArray();
    QCOMPARE(messages.size(), 2);
    QCOMPARE(messages.at(0).toObject().value("role").toString(), QStringLiteral("system"));
    QCOMPARE(messages.at(0).toObject().value("content").toString(), CandidateVetting::vettingSystemPrompt());
    QCOMPARE(messages.at(1).toObject().value("role").toString(), QStringLiteral("user"));
    const QString user = messages.at(1).toObject().value("content").toString();
    QVERIFY2(user.startsWith(QLatin1String(R"({"corrections":[{"right":"receive","wrong":"recieve"},)")),
             qPrintable(user));
    QVERIFY(user.contains(QLatin1String(R"("phrases":[{"text":"Kind regards from Ann"},)")));
    const QJsonObject sent = QJsonDocument::fromJson(user.toUtf8()).object();
    QCOMPARE(sent.value("corrections").toArray().size(), 21);
    QCOMPARE(sent.value("phrases").toArray().size(), 10);
    // Nothing came back for them: all stay pending.
    QVERIFY(!firstCorrection().aiVerdict);
}

void tst_Vetting::batchReplies_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<std::optional<AIVerdict>>("correctionVerdict");
    QTest::addColumn<std::optional<AIVerdict>>("phraseVerdict");
    QTest::addColumn<std::optional<QString>>("trigger");

    const auto a = std::optional<AIVerdict>(AIVerdict::approved);
    const auto r = std::optional<AIVerdict>(AIVerdict::rejected);
    const std::optional<AIVerdict> pending;
    const std::optional<QString> none;
    const auto s = [](const char* t) { return std::optional<QString>(QString::fromUtf8(t)); };

    QTest::newRow("corrections only, matched after lower-casing")
        << QByteArray(R"({"corrections":[{"wrong":"Recieve","right":"receive","verdict":"approve"}]})") << a
        << pending << none;
    QTest::newRow("Approve and approved count as rejections")
        << QByteArray(R"({"corrections":[{"wrong":"recieve","right":"receive","verdict":"Approve"}],)"
                      R"("phrases":[{"text":"Kind regards from Ann","verdict":"approved"}]})")
        << r << r << none;
    QTest::newRow("a rejected phrase keeps its trigger")
        << QByteArray(R"({"phrases":[{"text":"Kind regards from Ann","verdict":"reject","trigger":"hi1"}]})")
        << pending << r << s("hi1");
    QTest::newRow("phrase text normalised like a key")
        << QByteArray(
               R"({"phrases":[{"text":"  KIND regards\n from  ann!!","verdict":"approve","trigger":"Kra-1"}]})")
        << pending << a << s("kra1");
    QTest::newRow("a trigger that is no trigger is not kept")
        << QByteArray(
               R"({"phrases":[{"text":"Kind regards from Ann","verdict":"approve","trigger":"{clipboard}"}]})")
        << pending << a << none;
    QTest::newRow("a long trigger is not kept")
        << QByteArray(
               R"({"phrases":[{"text":"Kind regards from Ann","verdict":"approve","trigger":"kindregards1"}]})")
        << pending << a << none;
    QTest::newRow("later verdict wins, unknown ones ignored, extra members ignored")
        << QByteArray(R"({"corrections":[{"wrong":"recieve","right":"receive","verdict":"approve"},)"
                      R"({"wrong":"teh","right":"the","verdict":"approve"},)"
                      R"({"wrong":"recieve","right":"receive","verdict":"reject","why":"x"}],"note":1})")
        << r << pending << none;
}

void tst_Vetting::batchReplies()
{
    QFETCH(QByteArray, content);
    QFETCH(std::optional<AIVerdict>, correctionVerdict);
    QFETCH(std::optional<AIVerdict>, phraseVerdict);
    QFETCH(std::optional<QString>, trigger);
    seedStandard();
    storeKey();
    m_server->setReply("/v1/chat/completions", FakeHttpServer::Reply::json(200, chatReply(content)));

    m_vetting->vetPendingSuggestions();
    QTRY_VERIFY(!m_vetter->isVetting());
    QCOMPARE(m_vetter->lastError(), std::nullopt);
    QCOMPARE(firstCorrection().aiVerdict, correctionVerdict);
    QCOMPARE(firstPhrase().aiVerdict, phraseVerdict);
    QCOMPARE(firstPhrase().aiTrigger, trigger);
    QVERIFY(m_engine->savePending());
}

void tst_Vetting::batchFailures_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("error"); // a prefix

    QTest::newRow("verdict missing")
        << 200
        << chatReply(R"({"corrections":[{"wrong":"recieve","right":"receive"}],)"
                     R"("phrases":[{"text":"Kind regards from Ann","verdict":"approve"}]})")
        << "OpenAI request failed: unexpected response shape";
    QTest::newRow("verdict not a string")
        << 200 << chatReply(R"({"phrases":[{"text":"Kind regards from Ann","verdict":true}]})")
        << "OpenAI request failed: unexpected response shape";
    QTest::newRow("not JSON") << 200 << chatReply("approve all") << "The AI reply is not valid JSON: ";
    QTest::newRow("HTTP error") << 500 << QByteArray(R"({"error":{"message":"down"}})")
                                << "OpenAI request failed";
}

void tst_Vetting::batchFailures()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, error);
    seedStandard();
    storeKey();
    m_server->setReply("/v1/chat/completions", FakeHttpServer::Reply::json(status, body));
    m_vetting->vetPendingSuggestions();
    QTRY_VERIFY(!m_vetter->isVetting());
    QVERIFY(m_vetter->lastError());
    QVERIFY2(m_vetter->lastError()->startsWith(error), qPrintable(*m_vetter->lastError()));
    QVERIFY(!firstCorrection().aiVerdict);
    QVERIFY(!firstPhrase().aiVerdict);

    // The next attempt starts with a clean slate.
    m_server->setReply("/v1/chat/completions", FakeHttpServer::Reply::json(200, chatReply("{}")));
    m_vetting->vetPendingSuggestions();
    QCOMPARE(m_vetter->lastError(), std::nullopt);
    QTRY_VERIFY(!m_vetter->isVetting());
}

void tst_Vetting::batchTwiceSendsOneRequest()
{
    seedStandard();
    storeKey();
    auto reply = FakeHttpServer::Reply::json(
        200, chatReply(R"({"corrections":[{"wrong":"recieve","right":"receive","verdict":"approve"}]})"));
    reply.delayMs = 200;
    m_server->setReply("/v1/chat/completions", reply);
    QSignalSpy spy(m_vetter.get(), &AIVetter::isVettingChanged);
    m_vetting->vetPendingSuggestions();
    m_vetting->vetPendingSuggestions();
    QTRY_VERIFY(!m_vetter->isVetting());
    QCOMPARE(m_server->requests().size(), 1);
    QCOMPARE(spy.size(), 2);
    QCOMPARE(firstCorrection().aiVerdict, AIVerdict::approved);
}

void tst_Vetting::batchWithoutKeyDoesNothing()
{
    seedStandard();
    m_server->setReply("/v1/chat/completions", FakeHttpServer::Reply::json(200, chatReply("{}")));
    m_vetting->vetPendingSuggestions();
    QVERIFY(!m_vetter->isVetting());
    QTest::qWait(50);
    QVERIFY(m_server->requests().isEmpty());
    QCOMPARE(m_vetter->lastError(), std::nullopt);
}

void tst_Vetting::clearingDuringBatchDropsTheReply()
{
    seedStandard();
    storeKey();
    auto reply = FakeHttpServer::Reply::json(
        200,
        chatReply(R"({"corrections":[{"wrong":"recieve","right":"receive","verdict":"approve"}],)"
                  R"("phrases":[{"text":"Kind regards from Ann","verdict":"approve","trigger":"kra1"}]})"));
    reply.delayMs = 150;
    m_server->setReply("/v1/chat/completions", reply);
    m_vetting->vetPendingSuggestions();
    QVERIFY(m_server->waitForRequests(1));
    m_engine->clearAllLearnedData();
    QVERIFY(!m_vetter->isVetting());

    QTest::qWait(400);
    QVERIFY(m_engine->correctionCandidates().isEmpty());
    QVERIFY(savedFile().corrections.isEmpty() && savedFile().phrases.isEmpty());
    QCOMPARE(m_vetter->lastError(), std::nullopt);
}

QTEST_GUILESS_MAIN(tst_Vetting)
#include "tst_Vetting.moc"
