#include "ai/LearningEngine.h"
#include "ai/PhraseTemplates.h"
#include "ai/ToneProfile.h"
#include "model/AppState.h"

#include "ScriptedModel.h"
#include "TestHome.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

const QDateTime kNow = QDateTime(QDate(2025, 3, 1), QTime(9, 30), Qt::UTC);
const QString kPhrase = QStringLiteral("Dear Ann, thanks for the offer from Acme");

PhraseCandidate phrase(const QString& text, int order, int count = 2)
{
    PhraseCandidate p;
    p.text = text;
    p.key = text.toLower();
    p.count = count;
    p.lastSeen = kNow.addSecs(-1000 + order);
    return p;
}

QString repeated(const QString& head, int length)
{
    QString s = head;
    while (s.size() < length)
        s += QLatin1Char('x');
    return s;
}

} // namespace

class tst_TemplatesAndTone : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void init();
    void cleanup();

    void fixedTexts();
    void templateReplies_data();
    void templateReplies();
    void automaticRunCapsAndRetries();
    void automaticRunOnlyOnDevice();
    void makeTemplateWithOpenAI();
    void secondRunWhileOneRunsReturns();
    void clearingDuringTemplateRequest();
    void templateForVanishedCandidateIsDropped();

    void toneReplies_data();
    void toneReplies();
    void toneRequestHoldsTheLatestSamples_data();
    void toneRequestHoldsTheLatestSamples();
    void toneNeedsOptionBackendAndSamples_data();
    void toneNeedsOptionBackendAndSamples();
    void toneFailureKeepsTheOldProfile();
    void clearingDuringToneRequest();

  private:
    void seed(const QList<PhraseCandidate>& phrases, const QStringList& samples = {},
              const std::optional<QString>& tone = std::nullopt)
    {
        SavedLearning s;
        s.phrases = phrases;
        s.samples = samples;
        s.toneProfile = tone;
        QDir().mkpath(m_home->dataDir());
        TestHome::writeFile(m_home->dataFile("learning.json"), encodeLearning(s));
        m_templates.reset();
        m_tone.reset();
        m_engine = std::make_unique<LearningEngine>(*m_state, LearningEngine::Collaborators{});
        m_templates = std::make_unique<PhraseTemplates>(*m_state, *m_engine, m_model.access());
        m_tone = std::make_unique<ToneProfile>(*m_state, *m_engine, m_model.access());
    }
    static QStringList samples(int n)
    {
        QStringList out;
        for (int i = 1; i <= n; ++i)
            out.append(QStringLiteral("Sample sentence number %1 here").arg(i));
        return out;
    }
    SavedLearning savedFile() const
    {
        return decodeLearning(TestHome::readFile(m_home->dataFile("learning.json")))
            .value_or(SavedLearning{});
    }
    const PhraseCandidate& first() const { return m_engine->phraseCandidates().first(); }

    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<LearningEngine> m_engine;
    std::unique_ptr<PhraseTemplates> m_templates;
    std::unique_ptr<ToneProfile> m_tone;
    ScriptedModel m_model;
};

void tst_TemplatesAndTone::init()
{
    m_home = std::make_unique<TestHome>();
    AppState::Options o = m_home->storeOptions();
    o.deferSettingsWrites = false;
    o.clock = [] { return kNow; };
    m_state = std::make_unique<AppState>(o);
    m_state->setSnippets({});
    m_state->setAiLearningBackend(AIBackend::onDevice);
    m_state->setAiWritingBackend(AIBackend::onDevice);
    m_state->setUseToneProfile(true);
    m_model = ScriptedModel();
}

void tst_TemplatesAndTone::cleanup()
{
    m_templates.reset();
    m_tone.reset();
    m_engine.reset();
    m_state.reset();
    m_home.reset();
}

void tst_TemplatesAndTone::fixedTexts()
{
    const QString t = PhraseTemplates::systemPrompt();
    QVERIFY(
        t.startsWith(QLatin1String("You turn a phrase a user types repeatedly into a reusable template.")));
    QCOMPARE(t.count(QStringLiteral(" \u2014 ")), 3);
    QVERIFY(t.endsWith(QLatin1String("no quotes, no explanation.")));
    const QString tone = ToneProfile::systemPrompt();
    QVERIFY(tone.contains(QStringLiteral("(\"You tend to\u2026\")")));
    QVERIFY(tone.endsWith(QLatin1String("Reply with ONLY the guide.")));
}

void tst_TemplatesAndTone::templateReplies_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<std::optional<QString>>("stored");

    const auto s = [](const QString& t) { return std::optional<QString>(t); };
    const std::optional<QString> none;
    const QString good = QStringLiteral("Dear {field:name}, thanks for the offer from {field:company}");
    QTest::newRow("template") << good << s(good);
    QTest::newRow("blank lines around it") << "\n\n  " + good + "\n \n" << s(good);
    QTest::newRow("field with a default")
        << "Dear {field:name|Ann}, thanks" << s("Dear {field:name|Ann}, thanks");
    QTest::newRow("phrase unchanged") << kPhrase << none;
    QTest::newRow("no field") << "Dear NAME, thanks for the offer" << none;
    QTest::newRow("field: in another case") << "Dear {Field:name}, thanks" << none;
    QTest::newRow("400 characters") << repeated("{field:name} ", 400) << s(repeated("{field:name} ", 400));
    QTest::newRow("401 characters") << repeated("{field:name} ", 401) << none;
    QTest::newRow("clipboard token") << "Dear {field:name}, {clipboard}" << none;
    QTest::newRow("key token") << "Dear {field:name}{key:enter}" << none;
    QTest::newRow("nested snippet") << "{snippet:sig} {field:name}" << none;
    QTest::newRow("menu token") << "Dear {field:name}, {menu:tone|a|b}" << none;
    QTest::newRow("empty label") << "Dear {field:}, {field:name}" << none;
    QTest::newRow("unclosed") << "Dear {field:name, thanks" << none;
    QTest::newRow("stray closing brace") << "Dear {field:name} }" << none;
    QTest::newRow("brace inside a field") << "Dear {field:na{me}" << none;
    QTest::newRow("request fails") << QString() << none;
}

void tst_TemplatesAndTone::templateReplies()
{
    QFETCH(QString, reply);
    QFETCH(std::optional<QString>, stored);
    seed({phrase(kPhrase, 0)});
    if (!reply.isNull())
        m_model.replies.insert(kPhrase, reply);
    bool done = false;
    m_templates->makeTemplate(first(), [&done] { done = true; });
    QTRY_VERIFY(done);
    QCOMPARE(m_model.requests.size(), 1);
    QCOMPARE(m_model.requests.first().backend, AIBackend::onDevice);
    QCOMPARE(m_model.requests.first().system, PhraseTemplates::systemPrompt());
    QCOMPARE(m_model.requests.first().user, kPhrase);
    QCOMPARE(first().templateText, stored);
    QCOMPARE(m_engine->savePending(), stored.has_value());
}

void tst_TemplatesAndTone::automaticRunCapsAndRetries()
{
    QList<PhraseCandidate> ps;
    for (int i = 0; i < 10; ++i)
        ps.append(phrase(QStringLiteral("Phrase %1 to Ann at Acme").arg(i), i));
    ps[3].templateText = QStringLiteral("Phrase 3 to {field:name}"); // has one: skipped
    ps.append(phrase(QStringLiteral("Only seen once so far"), 20, 1));
    seed(ps);
    // Phrases 0 and 1 get a template, the others' replies are refused.
    m_model.fallback = QStringLiteral("no template here");
    m_model.replies.insert(ps[0].text, QStringLiteral("Phrase 0 to {field:name}"));
    m_model.replies.insert(ps[1].text, QStringLiteral("Phrase 1 to {field:name}"));

    m_templates->autoTemplateOnDevice();
    QVERIFY(m_engine->isAutoTemplating());
    QTRY_VERIFY(!m_engine->isAutoTemplating());
    QCOMPARE(m_model.users(),
             (QStringList{ps[0].text, ps[1].text, ps[2].text, ps[4].text, ps[5].text, ps[6].text}));
    QCOMPARE(m_model.maxOpen, 1);

    m_model.requests.clear();
    m_templates->autoTemplateOnDevice();
    QTRY_VERIFY(!m_engine->isAutoTemplating());
    // The refused ones are asked again, first in suggestion order.
    QCOMPARE(m_model.users(),
             (QStringList{ps[2].text, ps[4].text, ps[5].text, ps[6].text, ps[7].text, ps[8].text}));
}

void tst_TemplatesAndTone::automaticRunOnlyOnDevice()
{
    seed({phrase(kPhrase, 0)});
    m_model.fallback = QStringLiteral("Dear {field:name}");
    m_state->setAiLearningBackend(AIBackend::openAI);
    m_templates->autoTemplateOnDevice();
    m_model.ready[AIBackend::onDevice] = false;
    m_state->setAiLearningBackend(AIBackend::onDevice);
    m_templates->autoTemplateOnDevice();
    QTest::qWait(20);
    QVERIFY(m_model.requests.isEmpty());

    // Switching the learning back end to on-device starts a run.
    m_model.ready[AIBackend::onDevice] = true;
    m_state->setAiLearningBackend(AIBackend::off);
    m_state->setAiLearningBackend(AIBackend::onDevice);
    QTRY_COMPARE(first().templateText, std::optional<QString>(QStringLiteral("Dear {field:name}")));
}

void tst_TemplatesAndTone::makeTemplateWithOpenAI()
{
    seed({phrase(kPhrase, 0)});
    m_state->setAiLearningBackend(AIBackend::openAI);
    m_model.fallback = QStringLiteral("Dear {field:name}");
    m_model.ready[AIBackend::openAI] = false; // no key yet
    bool done = false;
    m_templates->makeTemplate(first(), [&done] { done = true; });
    QVERIFY(done);
    QVERIFY(m_model.requests.isEmpty());

    m_model.ready[AIBackend::openAI] = true;
    m_templates->makeTemplate(first());
    QTRY_VERIFY(first().templateText.has_value());
    QCOMPARE(m_model.requests.first().backend, AIBackend::openAI);
}

void tst_TemplatesAndTone::secondRunWhileOneRunsReturns()
{
    seed({phrase(kPhrase, 0), phrase(QStringLiteral("See you at the Acme office"), 1)});
    m_model.hold = true;
    m_model.fallback = QStringLiteral("Dear {field:name}");
    m_templates->autoTemplateOnDevice();
    m_templates->autoTemplateOnDevice();
    QCOMPARE(m_model.requests.size(), 1);
    QVERIFY(m_model.releaseOne());
    QCOMPARE(m_model.requests.size(), 2);
    QVERIFY(m_model.releaseOne());
    QVERIFY(!m_engine->isAutoTemplating());
    QCOMPARE(m_model.maxOpen, 1);
}

void tst_TemplatesAndTone::clearingDuringTemplateRequest()
{
    seed({phrase(kPhrase, 0), phrase(QStringLiteral("See you at the Acme office"), 1)});
    m_model.hold = true;
    m_model.fallback = QStringLiteral("Dear {field:name}");
    m_templates->autoTemplateOnDevice();
    m_templates->makeTemplate(first()); // the user's request runs beside the automatic one
    QCOMPARE(m_model.requests.size(), 2);

    m_engine->clearAllLearnedData();
    QVERIFY(!m_engine->isAutoTemplating());
    QVERIFY(!m_model.releaseOne());
    QTest::qWait(20);
    QCOMPARE(m_model.requests.size(), 2);
    QVERIFY(m_engine->phraseCandidates().isEmpty());
    QVERIFY(savedFile().phrases.isEmpty());
}

void tst_TemplatesAndTone::templateForVanishedCandidateIsDropped()
{
    seed({phrase(kPhrase, 0)});
    m_model.hold = true;
    m_model.fallback = QStringLiteral("Dear {field:name}");
    const PhraseCandidate p = first();
    m_templates->makeTemplate(p);
    m_engine->dismissPhrase(p);
    QVERIFY(m_model.releaseOne());
    QVERIFY(m_engine->phraseCandidates().isEmpty());
    QVERIFY(!m_engine->savePending());
}

void tst_TemplatesAndTone::toneReplies_data()
{
    QTest::addColumn<QString>("reply"); // null: the request fails
    QTest::addColumn<std::optional<QString>>("profile");

    const auto s = [](const QString& t) { return std::optional<QString>(t); };
    QTest::newRow("guide, trimmed") << "\n  You write briefly.  \n" << s("You write briefly.");
    QTest::newRow("800 characters") << repeated("You ", 800) << s(repeated("You ", 800));
    QTest::newRow("801 characters") << repeated("You ", 801) << std::optional<QString>();
    QTest::newRow("blank") << " \n\t " << std::optional<QString>();
    QTest::newRow("request fails") << QString() << std::optional<QString>();
}

void tst_TemplatesAndTone::toneReplies()
{
    QFETCH(QString, reply);
    QFETCH(std::optional<QString>, profile);
    seed({}, samples(5));
    if (!reply.isNull())
        m_model.fallback = reply;
    QSignalSpy building(m_engine.get(), &LearningEngine::isBuildingToneChanged);
    m_tone->refreshToneProfile();
    QVERIFY(m_engine->isBuildingTone());
    QTRY_VERIFY(!m_engine->isBuildingTone());
    QCOMPARE(building.size(), 2);
    QCOMPARE(m_model.requests.size(), 1);
    QCOMPARE(m_model.requests.first().system, ToneProfile::systemPrompt());
    QCOMPARE(m_engine->toneProfile(), profile);
    // A new profile is on disk at once.
    QCOMPARE(savedFile().toneProfile, profile);
}

void tst_TemplatesAndTone::toneRequestHoldsTheLatestSamples_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("firstSample");
    QTest::newRow("5") << 5 << 1;
    QTest::newRow("30") << 30 << 6;
}

void tst_TemplatesAndTone::toneRequestHoldsTheLatestSamples()
{
    QFETCH(int, count);
    QFETCH(int, firstSample);
    // The engine keeps at most 25 samples; the message takes the last 25 of any list.
    const QStringList all = samples(count);
    const QString message = ToneProfile::userMessage(all);
    const QStringList lines = message.split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), std::min(count, 25));
    QCOMPARE(lines.first(), QStringLiteral("1. Sample sentence number %1 here").arg(firstSample));
    QCOMPARE(lines.last(), QStringLiteral("%1. Sample sentence number %2 here").arg(lines.size()).arg(count));
    QVERIFY(!message.endsWith(QLatin1Char('\n')));

    seed({}, all);
    m_model.fallback = QStringLiteral("You write briefly.");
    m_tone->refreshToneProfile();
    QTRY_VERIFY(!m_engine->isBuildingTone());
    QCOMPARE(m_model.requests.first().user, ToneProfile::userMessage(m_engine->writingSamples()));
}

void tst_TemplatesAndTone::toneNeedsOptionBackendAndSamples_data()
{
    QTest::addColumn<bool>("useTone");
    QTest::addColumn<AIBackend>("backend");
    QTest::addColumn<bool>("ready");
    QTest::addColumn<int>("samples");
    QTest::addColumn<bool>("asked");
    QTest::newRow("on-device") << true << AIBackend::onDevice << true << 5 << true;
    QTest::newRow("OpenAI") << true << AIBackend::openAI << true << 5 << true;
    QTest::newRow("option off") << false << AIBackend::onDevice << true << 5 << false;
    QTest::newRow("writing back end off") << true << AIBackend::off << true << 5 << false;
    QTest::newRow("not ready") << true << AIBackend::onDevice << false << 5 << false;
    QTest::newRow("four samples") << true << AIBackend::onDevice << true << 4 << false;
}

void tst_TemplatesAndTone::toneNeedsOptionBackendAndSamples()
{
    QFETCH(bool, useTone);
    QFETCH(AIBackend, backend);
    QFETCH(bool, ready);
    QFETCH(int, samples);
    QFETCH(bool, asked);
    seed({}, this->samples(samples));
    m_state->setUseToneProfile(useTone);
    m_state->setAiWritingBackend(backend);
    m_model.ready[backend] = ready;
    m_model.fallback = QStringLiteral("You write briefly.");
    m_tone->refreshToneProfile();
    QTRY_VERIFY(!m_engine->isBuildingTone());
    QCOMPARE(m_model.requests.size(), asked ? 1 : 0);
    QCOMPARE(m_engine->toneProfile().has_value(), asked);
}

void tst_TemplatesAndTone::toneFailureKeepsTheOldProfile()
{
    seed({}, samples(6), QStringLiteral("You are terse."));
    m_tone->refreshToneProfile(); // no reply scripted: it fails
    QTRY_VERIFY(!m_engine->isBuildingTone());
    QCOMPARE(m_model.requests.size(), 1);
    QCOMPARE(m_engine->toneProfile(), std::optional<QString>(QStringLiteral("You are terse.")));

    // The user's button rebuilds an existing profile, one request at a time.
    m_model.hold = true;
    m_model.fallback = QStringLiteral("You are warm.");
    m_tone->refreshToneProfile();
    m_tone->refreshToneProfile();
    QCOMPARE(m_model.requests.size(), 2);
    QVERIFY(m_model.releaseOne());
    QCOMPARE(m_engine->toneProfile(), std::optional<QString>(QStringLiteral("You are warm.")));
    QVERIFY(!m_engine->isBuildingTone());
}

void tst_TemplatesAndTone::clearingDuringToneRequest()
{
    seed({}, samples(6));
    m_model.hold = true;
    m_model.fallback = QStringLiteral("You write briefly.");
    m_tone->refreshToneProfile();
    QVERIFY(m_engine->isBuildingTone());
    m_engine->clearAllLearnedData();
    QVERIFY(!m_engine->isBuildingTone());
    QVERIFY(!m_model.releaseOne());
    QTest::qWait(20);
    QCOMPARE(m_engine->toneProfile(), std::nullopt);
    QCOMPARE(savedFile().toneProfile, std::nullopt);
    QVERIFY(savedFile().samples.isEmpty());
}

QTEST_GUILESS_MAIN(tst_TemplatesAndTone)
#include "tst_TemplatesAndTone.moc"
