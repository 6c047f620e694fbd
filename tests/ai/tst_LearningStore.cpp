// The learned-candidate store: learning.json (its form, strict reading, ageing and
// merging at load, an unreadable file kept), the suggestion views, caps and eviction,
// dismissal keys, the user's decisions and clearing.
#include "ai/LearningEngine.h"
#include "model/AppState.h"

#include "FakeSpellChecker.h"
#include "TestHome.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>
#include <QTimeZone>

#include <memory>

namespace {

const QDateTime kNow = QDateTime(QDate(2025, 3, 1), QTime(9, 30), QTimeZone::utc());

QString iso(const QDateTime& t)
{
    return learningDateText(t);
}

QJsonObject correctionJson(const QString& wrong, const QString& right, int count, const QDateTime& seen)
{
    return QJsonObject{{"id", uuidText(QUuid::createUuid())},
                       {"wrong", wrong},
                       {"right", right},
                       {"count", count},
                       {"lastSeen", iso(seen)}};
}

QJsonObject phraseJson(const QString& text, int count, const QDateTime& seen)
{
    return QJsonObject{{"id", uuidText(QUuid::createUuid())},
                       {"key", text.toLower()},
                       {"text", text},
                       {"count", count},
                       {"lastSeen", iso(seen)}};
}

QByteArray document(const QJsonArray& corrections, const QJsonArray& phrases,
                    const QJsonArray& dismissed = {})
{
    return QJsonDocument(
               QJsonObject{{"corrections", corrections}, {"phrases", phrases}, {"dismissed", dismissed}})
        .toJson();
}

} // namespace

class tst_LearningStore : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void init();
    void cleanup();

    void roundTrip();
    void savedForm();
    void strictReading_data();
    void strictReading();
    void ageingAndMerging();
    void dismissalKeysAtLoad();
    void dismissalKeysAreDeduplicated();
    void dismissalCap();
    void unreadableFileIsSetAside_data();
    void unreadableFileIsSetAside();
    void missingFileStartsEmpty();
    void suggestionOrder();
    void evictionKeepsTheMostSeen();
    void acceptAndDismissCorrection();
    void acceptAndDismissPhrase();
    void suggestedTrigger_data();
    void suggestedTrigger();
    void delayedSaveCoalesces();
    void clearAllLearnedData();
    void repliesFromAnEarlierGenerationAreRefused();
    void strippingTrailingPunctuation_data();
    void strippingTrailingPunctuation();

  private:
    QString file() const { return m_home->dataFile(QStringLiteral("learning.json")); }
    void writeFile(const QByteArray& bytes)
    {
        QDir().mkpath(m_home->dataDir());
        TestHome::writeFile(file(), bytes);
    }
    LearningEngine& makeEngine(LearningEngine::Options o = {})
    {
        m_engine.reset();
        m_engine = std::make_unique<LearningEngine>(
            *m_state,
            LearningEngine::Collaborators{&m_spell, nullptr, [] { return QStringLiteral("gedit"); }}, o);
        return *m_engine;
    }
    SavedLearning savedFile() const
    {
        const auto s = decodeLearning(TestHome::readFile(file()));
        return s.value_or(SavedLearning{});
    }
    void recordPhrase(const QString& text)
    {
        for (const QChar c : text)
            m_engine->appendToBuffer(QString(c));
        m_engine->finalizeSegment();
        m_engine->resetTransientState();
    }

    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<LearningEngine> m_engine;
    FakeSpellChecker m_spell;
    QDateTime m_now;
};

void tst_LearningStore::init()
{
    m_home = std::make_unique<TestHome>();
    m_now = kNow;
    AppState::Options o = m_home->storeOptions();
    o.clock = [this] { return m_now; };
    m_state = std::make_unique<AppState>(o);
    m_state->setSnippets({});
}

void tst_LearningStore::cleanup()
{
    m_engine.reset();
    m_state.reset();
    m_home.reset();
}

void tst_LearningStore::roundTrip()
{
    SavedLearning s;
    CorrectionCandidate c;
    c.wrong = QStringLiteral("plaen");
    c.right = QStringLiteral("plane");
    c.count = 3;
    c.lastSeen = kNow;
    c.aiVerdict = AIVerdict::approved;
    CorrectionCandidate c2 = c;
    c2.id = QUuid::createUuid();
    c2.aiVerdict.reset();
    PhraseCandidate p;
    p.key = QStringLiteral("kind regards, ann");
    p.text = QStringLiteral("Kind regards, Ann");
    p.lastSeen = kNow.addDays(-2);
    p.aiVerdict = AIVerdict::rejected;
    p.aiTrigger = QStringLiteral("kr1");
    p.templateText = QStringLiteral("Kind regards, {field:name}");
    PhraseCandidate p2;
    p2.key = p2.text = QStringLiteral("plain phrase with nothing");
    p2.lastSeen = kNow;
    s.corrections = {c, c2};
    s.phrases = {p, p2};
    s.dismissed = {QStringLiteral("c:teh>the"), QStringLiteral("p:hello there friend")};
    s.samples = {QStringLiteral("A sample \"quoted\" with \u00e9 and \U0001F600.")};
    s.toneProfile = QStringLiteral("You write briefly.");
    // A U+FEFF at the start of a string is dropped by Qt's reader unless it is escaped.
    s.samples.append(QChar(0xFEFF) + QStringLiteral("sample after a byte-order mark"));
    s.dismissed.append(QStringLiteral("p:") + QChar(0xFEFF));

    const auto back = decodeLearning(encodeLearning(s));
    QVERIFY(back.has_value());
    QCOMPARE(*back, s);

    // Through the engine: what it saves is what it loads.
    writeFile(encodeLearning(s));
    LearningEngine& e = makeEngine();
    QCOMPARE(e.correctionCandidates(), s.corrections);
    QCOMPARE(e.phraseCandidates().size(), 2);
    QCOMPARE(e.writingSamples(), s.samples);
    QCOMPARE(e.toneProfile(), s.toneProfile);
    QCOMPARE(e.dismissedOrder(), s.dismissed);
    e.saveNow();
    QCOMPARE(savedFile(), *back);
    QCOMPARE(TestHome::permissions(file()), 0600);
}

void tst_LearningStore::savedForm()
{
    LearningEngine& e = makeEngine();
    m_now = QDateTime(QDate(2025, 3, 1), QTime(10, 30, 0, 750), QTimeZone(3600));
    e.recordCorrection(QStringLiteral("plaen"), QStringLiteral("plane"));
    e.saveNow();
    const QByteArray bytes = TestHome::readFile(file());
    const QJsonObject root = QJsonDocument::fromJson(bytes).object();
    QCOMPARE(root.keys(), (QStringList{"corrections", "dismissed", "phrases", "samples"}));
    const QJsonObject c = root.value("corrections").toArray().first().toObject();
    QCOMPARE(c.keys(), (QStringList{"count", "id", "lastSeen", "right", "wrong"}));
    QCOMPARE(c.value("lastSeen").toString(), QStringLiteral("2025-03-01T09:30:00Z"));
    const QString id = c.value("id").toString();
    QCOMPARE(id, id.toUpper());
    // Pretty-printed, keys sorted in the text itself.
    QVERIFY(bytes.contains("\n    \"corrections\": ["));
    QVERIFY(bytes.indexOf("\"count\"") < bytes.indexOf("\"wrong\""));
    QCOMPARE(TestHome::permissions(file()), 0600);

    QVERIFY(e.setToneProfile(e.generation(), QStringLiteral("You are terse.")));
    e.saveNow();
    QCOMPARE(QJsonDocument::fromJson(TestHome::readFile(file())).object().value("toneProfile").toString(),
             QStringLiteral("You are terse."));
}

void tst_LearningStore::strictReading_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("readable");

    QTest::newRow("valid") << "" << true;
    QTest::newRow("samples absent") << "noSamples" << true;
    QTest::newRow("optional values null") << "nullOptionals" << true;
    QTest::newRow("unknown keys") << "unknownKeys" << true;
    QTest::newRow("date with an offset") << "offsetDate" << true;
    QTest::newRow("lower-case UUID") << "lowerId" << true;
    QTest::newRow("count written as 2.0") << "countFloatWhole" << true;
    QTest::newRow("no corrections") << "noCorrections" << false;
    QTest::newRow("no phrases") << "noPhrases" << false;
    QTest::newRow("no dismissed") << "noDismissed" << false;
    QTest::newRow("correction without count") << "noCount" << false;
    QTest::newRow("count as text") << "countText" << false;
    QTest::newRow("fractional count") << "countFraction" << false;
    QTest::newRow("unknown verdict") << "verdictApprove" << false;
    QTest::newRow("date without zone") << "dateNoZone" << false;
    QTest::newRow("date with fractional seconds") << "dateFraction" << false;
    QTest::newRow("date that does not exist") << "dateInvalid" << false;
    QTest::newRow("malformed UUID") << "badId" << false;
    QTest::newRow("phrase without key") << "noKey" << false;
    QTest::newRow("trigger not a string") << "triggerNumber" << false;
    QTest::newRow("sample not a string") << "sampleNumber" << false;
    QTest::newRow("tone profile not a string") << "toneNumber" << false;
    QTest::newRow("array at the top") << "topArray" << false;
    QTest::newRow("not JSON") << "garbage" << false;
}

void tst_LearningStore::strictReading()
{
    QFETCH(QString, change);
    QFETCH(bool, readable);

    QJsonObject c = correctionJson("plaen", "plane", 2, kNow);
    c.insert("aiVerdict", "approved");
    QJsonObject p = phraseJson("Kind regards from Ann", 2, kNow);
    p.insert("aiTrigger", "kr1");
    QJsonObject root{{"corrections", QJsonArray{c}},
                     {"phrases", QJsonArray{p}},
                     {"dismissed", QJsonArray{"c:a>b"}},
                     {"samples", QJsonArray{"one sample"}},
                     {"toneProfile", "Brief."}};
    const auto editCorrection = [&](auto fn) {
        QJsonObject o = root.value("corrections").toArray().first().toObject();
        fn(o);
        root.insert("corrections", QJsonArray{o});
    };
    const auto editPhrase = [&](auto fn) {
        QJsonObject o = root.value("phrases").toArray().first().toObject();
        fn(o);
        root.insert("phrases", QJsonArray{o});
    };
    QByteArray bytes;
    if (change == "noSamples")
        root.remove("samples");
    else if (change == "nullOptionals") {
        root.insert("toneProfile", QJsonValue::Null);
        root.insert("samples", QJsonValue::Null);
        editCorrection([](QJsonObject& o) { o.insert("aiVerdict", QJsonValue::Null); });
        editPhrase([](QJsonObject& o) { o.insert("templateText", QJsonValue::Null); });
    } else if (change == "unknownKeys") {
        root.insert("future", 1);
        editPhrase([](QJsonObject& o) { o.insert("extra", "x"); });
    } else if (change == "offsetDate")
        editCorrection([](QJsonObject& o) { o.insert("lastSeen", "2025-03-01T11:30:00+02:00"); });
    else if (change == "lowerId")
        editCorrection([](QJsonObject& o) { o.insert("id", o.value("id").toString().toLower()); });
    else if (change == "countFloatWhole")
        editCorrection([](QJsonObject& o) { o.insert("count", 2.0); });
    else if (change == "noCorrections")
        root.remove("corrections");
    else if (change == "noPhrases")
        root.remove("phrases");
    else if (change == "noDismissed")
        root.remove("dismissed");
    else if (change == "noCount")
        editCorrection([](QJsonObject& o) { o.remove("count"); });
    else if (change == "countText")
        editCorrection([](QJsonObject& o) { o.insert("count", "2"); });
    else if (change == "countFraction")
        editCorrection([](QJsonObject& o) { o.insert("count", 2.5); });
    else if (change == "verdictApprove")
        editCorrection([](QJsonObject& o) { o.insert("aiVerdict", "approve"); });
    else if (change == "dateNoZone")
        editCorrection([](QJsonObject& o) { o.insert("lastSeen", "2025-03-01T09:30:00"); });
    else if (change == "dateFraction")
        editCorrection([](QJsonObject& o) { o.insert("lastSeen", "2025-03-01T09:30:00.5Z"); });
    else if (change == "dateInvalid")
        editPhrase([](QJsonObject& o) { o.insert("lastSeen", "2025-02-30T09:30:00Z"); });
    else if (change == "badId")
        editPhrase([](QJsonObject& o) { o.insert("id", "not-a-uuid"); });
    else if (change == "noKey")
        editPhrase([](QJsonObject& o) { o.remove("key"); });
    else if (change == "triggerNumber")
        editPhrase([](QJsonObject& o) { o.insert("aiTrigger", 1); });
    else if (change == "sampleNumber")
        root.insert("samples", QJsonArray{"ok", 3});
    else if (change == "toneNumber")
        root.insert("toneProfile", 3);
    if (change == "topArray")
        bytes = "[]";
    else if (change == "garbage")
        bytes = "{\"corrections\": [";
    else
        bytes = QJsonDocument(root).toJson();

    const auto decoded = decodeLearning(bytes);
    QCOMPARE(decoded.has_value(), readable);
    if (readable) {
        QCOMPARE(decoded->corrections.size(), 1);
        QCOMPARE(decoded->corrections.first().lastSeen, kNow);
        QCOMPARE(decoded->corrections.first().count, 2);
        QCOMPARE(decoded->phrases.size(), 1);
    }
}

void tst_LearningStore::ageingAndMerging()
{
    const QDateTime old = kNow.addDays(-46);
    const QDateTime recent = kNow.addDays(-44);
    writeFile(
        document(QJsonArray{correctionJson("aaab", "aaac", 1, old),
                            correctionJson("bbba", "bbbc", 3, kNow.addYears(-1)),
                            correctionJson("ccca", "cccb", 1, recent)},
                 QJsonArray{[&] {
                                QJsonObject p = phraseJson("Thanks for the update", 1, recent);
                                p.insert("templateText", "Thanks for the {field:thing}");
                                return p;
                            }(),
                            [&] {
                                QJsonObject p = phraseJson("thanks for the UPDATE!", 2, kNow.addDays(-1));
                                p.insert("aiVerdict", "approved");
                                p.insert("aiTrigger", "tfu1");
                                p.insert("templateText", "other");
                                return p;
                            }(),
                            phraseJson("old single sighting here", 1, old), phraseJson("?!...", 4, kNow),
                            phraseJson("kept because seen twice", 2, old)}));
    LearningEngine& e = makeEngine();

    QStringList corrections;
    for (const CorrectionCandidate& c : e.correctionCandidates())
        corrections << c.wrong;
    QCOMPARE(corrections, (QStringList{"bbba", "ccca"}));

    QCOMPARE(e.phraseCandidates().size(), 2);
    const PhraseCandidate merged = e.phraseCandidates().first();
    QCOMPARE(merged.text, QStringLiteral("Thanks for the update"));
    QCOMPARE(merged.key, QStringLiteral("thanks for the update"));
    QCOMPARE(merged.count, 3);
    QCOMPARE(merged.lastSeen, kNow.addDays(-1));
    QCOMPARE(merged.aiVerdict, std::optional(AIVerdict::approved));
    QCOMPARE(merged.aiTrigger, std::optional(QStringLiteral("tfu1")));
    QCOMPARE(merged.templateText, std::optional(QStringLiteral("Thanks for the {field:thing}")));
    QCOMPARE(e.phraseCandidates().last().text, QStringLiteral("kept because seen twice"));
    // Loading changes nothing on disk.
    QVERIFY(!e.savePending());
}

void tst_LearningStore::dismissalKeysAtLoad()
{
    QJsonArray keys;
    for (int i = 0; i < 600; ++i)
        keys.append(QStringLiteral("c:wrong%1>right").arg(i));
    writeFile(document({}, {}, keys));
    LearningEngine& e = makeEngine();
    QCOMPARE(e.dismissedOrder().size(), 500);
    QCOMPARE(e.dismissedOrder().first(), QStringLiteral("c:wrong100>right"));
    QCOMPARE(e.dismissedKeys().size(), 600);
    QVERIFY(e.dismissedKeys().contains(QStringLiteral("c:wrong0>right")));
}

void tst_LearningStore::dismissalKeysAreDeduplicated()
{
    // Two keys that become one when re-keyed. Kept twice, the older copy would take the
    // key out of the set when it is forgotten while the newer one still stood for it.
    QJsonArray keys{"p:see you soon then!", "p:see you soon then"};
    for (int i = 0; i < 498; ++i)
        keys.append(QStringLiteral("c:wrong%1>right").arg(i));
    writeFile(document({}, {}, keys));
    LearningEngine& e = makeEngine();
    QCOMPARE(e.dismissedOrder().count(QStringLiteral("p:see you soon then")), 1);
    QCOMPARE(e.dismissedOrder().size(), 499);
    QCOMPARE(QSet<QString>(e.dismissedOrder().begin(), e.dismissedOrder().end()).size(), 499);

    e.rememberDismissal(QStringLiteral("c:new>key"));
    QVERIFY(e.dismissedKeys().contains(QStringLiteral("p:see you soon then")));
    recordPhrase(QStringLiteral("see you soon then."));
    QVERIFY(e.phraseCandidates().isEmpty());
}

void tst_LearningStore::dismissalCap()
{
    LearningEngine& e = makeEngine();
    e.rememberDismissal(QStringLiteral("c:plaen>plane"));
    for (int i = 1; i < 500; ++i)
        e.rememberDismissal(QStringLiteral("c:filler%1>x").arg(i));
    e.rememberDismissal(QStringLiteral("c:filler7>x")); // already known: nothing happens
    QCOMPARE(e.dismissedOrder().size(), 500);
    e.recordCorrection(QStringLiteral("plaen"), QStringLiteral("plane"));
    QVERIFY(e.correctionCandidates().isEmpty());

    // The 501st pushes out the oldest, which can then be learned again.
    e.rememberDismissal(QStringLiteral("c:housse>house"));
    QCOMPARE(e.dismissedOrder().size(), 500);
    QCOMPARE(e.dismissedKeys().size(), 500);
    QVERIFY(!e.dismissedKeys().contains(QStringLiteral("c:plaen>plane")));
    QCOMPARE(e.dismissedOrder().first(), QStringLiteral("c:filler1>x"));
    e.recordCorrection(QStringLiteral("plaen"), QStringLiteral("plane"));
    e.recordCorrection(QStringLiteral("housse"), QStringLiteral("house"));
    QCOMPARE(e.correctionCandidates().size(), 1);
    QCOMPARE(e.correctionCandidates().first().wrong, QStringLiteral("plaen"));
}

void tst_LearningStore::unreadableFileIsSetAside_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("cap");
    QTest::newRow("not JSON") << QByteArray("{ broken") << qint64(16 << 20);
    QTest::newRow("wrong shape") << document({QJsonObject{{"wrong", "x"}}}, {}) << qint64(16 << 20);
    QTest::newRow("over the size cap")
        << document({correctionJson("plaen", "plane", 2, kNow)}, {}) << qint64(64);
}

void tst_LearningStore::unreadableFileIsSetAside()
{
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, cap);
    writeFile(bytes);
    LearningEngine::Options o;
    o.maxFileBytes = cap;
    LearningEngine& e = makeEngine(o);
    QVERIFY(e.correctionCandidates().isEmpty());
    QCOMPARE(TestHome::readFile(file()), bytes); // loading leaves it alone

    e.recordCorrection(QStringLiteral("plaen"), QStringLiteral("plane"));
    e.saveNow();
    const QStringList aside = QDir(m_home->dataDir()).entryList({"learning.json.unreadable-*"}, QDir::Files);
    QCOMPARE(aside.size(), 1);
    QCOMPARE(TestHome::readFile(m_home->dataFile(aside.first())), bytes);
    QCOMPARE(savedFile().corrections.size(), 1);

    // Only once: the next save just writes.
    e.saveNow();
    QCOMPARE(QDir(m_home->dataDir()).entryList({"learning.json.unreadable-*"}, QDir::Files).size(), 1);
}

void tst_LearningStore::missingFileStartsEmpty()
{
    LearningEngine& e = makeEngine();
    QVERIFY(e.correctionCandidates().isEmpty());
    QVERIFY(!QFile::exists(file()));
    e.saveNow();
    QVERIFY(QFile::exists(file()));
    QVERIFY(QDir(m_home->dataDir()).entryList({"learning.json.unreadable-*"}, QDir::Files).isEmpty());
}

void tst_LearningStore::suggestionOrder()
{
    writeFile(document(QJsonArray{correctionJson("aaab", "aaac", 3, kNow),
                                  correctionJson("bbba", "bbbc", 3, kNow.addDays(-7)),
                                  correctionJson("ccca", "cccb", 2, kNow.addDays(-30)),
                                  correctionJson("ddda", "dddb", 1, kNow.addDays(-3)),
                                  correctionJson("eeea", "eeeb", 1, kNow.addDays(-1))},
                       QJsonArray{phraseJson("first phrase of three", 1, kNow.addDays(-2)),
                                  phraseJson("second phrase of three", 2, kNow)}));
    LearningEngine& e = makeEngine();
    QStringList order;
    for (const CorrectionCandidate& c : e.suggestedCorrections())
        order << c.wrong;
    QCOMPARE(order, (QStringList{"bbba", "aaab", "ccca"}));
    order.clear();
    for (const CorrectionCandidate& c : e.inProgressCorrections())
        order << c.wrong;
    QCOMPARE(order, (QStringList{"eeea", "ddda"}));
    QCOMPARE(e.suggestionCount(), 4);
    QCOMPARE(e.suggestedPhrases().size(), 1);
    QCOMPARE(e.inProgressPhrases().first().text, QStringLiteral("first phrase of three"));
}

void tst_LearningStore::evictionKeepsTheMostSeen()
{
    QJsonArray list;
    for (int i = 0; i < 198; ++i)
        list.append(correctionJson(QStringLiteral("filler%1").arg(i), "x", 3, kNow.addDays(-100)));
    list.append(correctionJson("loner", "loser", 1, kNow.addDays(-10)));
    list.append(correctionJson("other", "otter", 1, kNow.addDays(-20)));
    writeFile(document(list, {}));
    LearningEngine& e = makeEngine();
    QCOMPARE(e.correctionCandidates().size(), 200);

    // Counting up an existing one never evicts.
    e.recordCorrection(QStringLiteral("loner"), QStringLiteral("loser"));
    QCOMPARE(e.correctionCandidates().size(), 200);
    QCOMPARE(e.correctionCandidates().at(198).count, 2);

    // The 201st: of the least seen, the oldest goes, and the list is left sorted.
    e.recordCorrection(QStringLiteral("plaen"), QStringLiteral("plane"));
    QCOMPARE(e.correctionCandidates().size(), 200);
    for (const CorrectionCandidate& c : e.correctionCandidates())
        QVERIFY(c.wrong != QLatin1String("other"));
    QCOMPARE(e.correctionCandidates().first().count, 3);
    QCOMPARE(e.correctionCandidates().at(198).wrong, QStringLiteral("loner"));
    QCOMPARE(e.correctionCandidates().last().wrong, QStringLiteral("plaen"));

    // Among equal counts the newest stay.
    m_now = kNow.addDays(-1);
    e.recordCorrection(QStringLiteral("housse"), QStringLiteral("house"));
    QCOMPARE(e.correctionCandidates().last().wrong, QStringLiteral("plaen"));
    for (const CorrectionCandidate& c : e.correctionCandidates())
        QVERIFY(c.wrong != QLatin1String("housse"));
}

void tst_LearningStore::acceptAndDismissCorrection()
{
    LearningEngine& e = makeEngine();
    e.recordCorrection(QStringLiteral("plaen"), QStringLiteral("plane"));
    e.recordCorrection(QStringLiteral("housse"), QStringLiteral("house"));
    QCOMPARE(e.correctionCandidates().size(), 2);
    QSignalSpy changed(&e, &LearningEngine::correctionCandidatesChanged);

    e.acceptCorrection(e.correctionCandidates().first());
    QCOMPARE(m_state->customCorrections().size(), 1);
    const CustomCorrection added = m_state->customCorrections().first();
    QCOMPARE(added.wrong, QStringLiteral("plaen"));
    QCOMPARE(added.right, QStringLiteral("plane"));
    QVERIFY(added.learned);
    QCOMPARE(m_state->correctionIndex().value(QStringLiteral("plaen")), QStringLiteral("plane"));
    QVERIFY(e.dismissedKeys().contains(QStringLiteral("c:plaen>plane")));
    QCOMPARE(e.correctionCandidates().size(), 1);
    QCOMPARE(changed.count(), 1);
    // Saved at once, not on the timer.
    QVERIFY(!e.savePending());
    QCOMPARE(savedFile().dismissed, QStringList{"c:plaen>plane"});
    QVERIFY(TestHome::readFile(m_home->dataFile(QStringLiteral("corrections.json"))).contains("plaen"));

    const CorrectionCandidate other = e.correctionCandidates().first();
    e.dismissCorrection(other);
    QCOMPARE(m_state->customCorrections().size(), 1);
    QVERIFY(e.correctionCandidates().isEmpty());
    QCOMPARE(savedFile().dismissed, (QStringList{"c:plaen>plane", "c:housse>house"}));

    // A candidate that is already gone still leaves its key.
    CorrectionCandidate gone;
    gone.wrong = QStringLiteral("abcd");
    gone.right = QStringLiteral("abce");
    e.dismissCorrection(gone);
    QCOMPARE(savedFile().dismissed.size(), 3);

    // A dismissed fix is not learned again.
    e.recordCorrection(QStringLiteral("housse"), QStringLiteral("house"));
    QVERIFY(e.correctionCandidates().isEmpty());
}

void tst_LearningStore::acceptAndDismissPhrase()
{
    LearningEngine& e = makeEngine();
    recordPhrase(QStringLiteral("Kind regards from Ann"));
    recordPhrase(QStringLiteral("See you at the meeting"));
    recordPhrase(QStringLiteral("Talk to you later on"));
    QCOMPARE(e.phraseCandidates().size(), 3);
    const PhraseCandidate p = e.phraseCandidates().first();

    e.acceptPhrase(p, QStringLiteral(" \t "));
    QVERIFY(m_state->snippets().isEmpty());
    QCOMPARE(e.phraseCandidates().size(), 3);
    QVERIFY(!QFile::exists(file()));

    e.acceptPhrase(p, QStringLiteral("  kr1\t"));
    QCOMPARE(m_state->snippets().size(), 1);
    const Snippet s = m_state->snippets().first();
    QCOMPARE(s.trigger, QStringLiteral("kr1"));
    QCOMPARE(s.content, QStringLiteral("Kind regards from Ann"));
    QVERIFY(s.enabled && s.learned && s.keepDelimiter);
    QVERIFY(!s.ignoreCase && !s.adaptCase && !s.wholeWord);
    QCOMPARE(s.kind, SnippetKind::text);
    QVERIFY(!s.groupID.has_value());
    QVERIFY(m_state->triggerIndex().contains(QStringLiteral("kr1")));
    QVERIFY(e.dismissedKeys().contains(QStringLiteral("p:kind regards from ann")));
    QCOMPARE(e.phraseCandidates().size(), 2);
    QCOMPARE(savedFile().phrases.size(), 2);

    // The template, when chosen, is the content; an empty one is not.
    e.acceptPhrase(e.phraseCandidates().first(), QStringLiteral("sym1"),
                   QStringLiteral("See you at {field:place}"));
    QCOMPARE(m_state->snippets().last().content, QStringLiteral("See you at {field:place}"));
    e.acceptPhrase(e.phraseCandidates().first(), QStringLiteral("tty1"), QString());
    QCOMPARE(m_state->snippets().last().content, QStringLiteral("Talk to you later on"));
    QVERIFY(e.phraseCandidates().isEmpty());

    recordPhrase(QStringLiteral("Another phrase to dismiss"));
    e.dismissPhrase(e.phraseCandidates().first());
    QVERIFY(e.phraseCandidates().isEmpty());
    QVERIFY(savedFile().dismissed.contains(QStringLiteral("p:another phrase to dismiss")));
    recordPhrase(QStringLiteral("another phrase to dismiss!"));
    QVERIFY(e.phraseCandidates().isEmpty());
    QCOMPARE(m_state->snippets().size(), 3);
}

void tst_LearningStore::suggestedTrigger_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("aiTrigger"); // empty: none
    QTest::addColumn<QStringList>("taken");
    QTest::addColumn<QString>("expected");

    QTest::newRow("first letters") << "Thanks for everything"
                                   << "" << QStringList() << "than1";
    QTest::newRow("next free number") << "Thanks for everything"
                                      << "" << QStringList{"than1", "than2"} << "than3";
    QTest::newRow("short first word") << "OK then see you"
                                      << "" << QStringList() << "ok1";
    QTest::newRow("letters only") << "Re-send the file please"
                                  << "" << QStringList() << "rese1";
    QTest::newRow("no letters") << "2024 was a great year"
                                << "" << QStringList() << "snip1";
    QTest::newRow("no letters, snip1 taken") << "2024 was a great year"
                                             << "" << QStringList{"snip1"} << "snip2";
    QTest::newRow("accented") << "\u00c9t\u00e9 est chaud ici"
                              << "" << QStringList() << "\u00e9t\u00e91";
    QTest::newRow("free AI trigger") << "Thanks for everything"
                                     << "tfe1" << QStringList() << "tfe1";
    QTest::newRow("AI trigger taken") << "Thanks for everything"
                                      << "tfe1" << QStringList{"tfe1"} << "than1";
    QTest::newRow("AI trigger taken in another case is free") << "Thanks for everything"
                                                              << "TFE1" << QStringList{"tfe1"} << "TFE1";
}

void tst_LearningStore::suggestedTrigger()
{
    QFETCH(QString, text);
    QFETCH(QString, aiTrigger);
    QFETCH(QStringList, taken);
    QFETCH(QString, expected);
    QList<Snippet> list;
    for (const QString& t : taken) {
        Snippet s;
        s.trigger = t;
        s.content = QStringLiteral("x");
        list.append(s);
    }
    m_state->setSnippets(list);
    LearningEngine& e = makeEngine();
    PhraseCandidate p;
    p.text = text;
    p.key = text.toLower();
    if (!aiTrigger.isEmpty())
        p.aiTrigger = aiTrigger;
    QCOMPARE(e.suggestedTrigger(p), expected);
}

void tst_LearningStore::delayedSaveCoalesces()
{
    LearningEngine::Options o;
    o.saveDelayMs = 400;
    LearningEngine& e = makeEngine(o);
    e.recordCorrection(QStringLiteral("plaen"), QStringLiteral("plane"));
    QTest::qWait(150);
    e.recordCorrection(QStringLiteral("plaen"), QStringLiteral("plane"));
    QTest::qWait(150);
    // Later than the delay after the first change, but not after the last: not yet.
    QVERIFY(!QFile::exists(file()));
    e.recordCorrection(QStringLiteral("housse"), QStringLiteral("house"));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(file()), 2000);
    QVERIFY(!e.savePending());
    const SavedLearning s = savedFile();
    QCOMPARE(s.corrections.size(), 2);
    QCOMPARE(s.corrections.first().count, 2);

    // A save still waiting when the engine goes is written then.
    e.recordCorrection(QStringLiteral("housse"), QStringLiteral("house"));
    QVERIFY(e.savePending());
    m_engine.reset();
    QCOMPARE(savedFile().corrections.last().count, 2);
}

void tst_LearningStore::clearAllLearnedData()
{
    CustomCorrection kept;
    kept.wrong = QStringLiteral("abcd");
    kept.right = QStringLiteral("abce");
    m_state->setCustomCorrections({kept});
    LearningEngine::Options o;
    o.saveDelayMs = 30;
    LearningEngine& e = makeEngine(o);
    e.recordCorrection(QStringLiteral("plaen"), QStringLiteral("plane"));
    recordPhrase(QStringLiteral("Kind regards from Ann"));
    e.rememberDismissal(QStringLiteral("c:x>y"));
    QVERIFY(e.setToneProfile(e.generation(), QStringLiteral("Terse.")));
    e.appendToBuffer(QStringLiteral("a"));
    const quint64 before = e.generation();
    QSignalSpy phrases(&e, &LearningEngine::phraseCandidatesChanged);

    e.clearAllLearnedData();
    QVERIFY(e.correctionCandidates().isEmpty());
    QVERIFY(e.phraseCandidates().isEmpty());
    QVERIFY(e.dismissedKeys().isEmpty());
    QVERIFY(e.dismissedOrder().isEmpty());
    QVERIFY(e.writingSamples().isEmpty());
    QVERIFY(!e.toneProfile());
    QCOMPARE(e.typedBufferText(), QString());
    QVERIFY(e.generation() != before);
    QCOMPARE(phrases.count(), 1);
    QVERIFY(!e.savePending());
    QCOMPARE(savedFile(), SavedLearning{});
    QCOMPARE(m_state->customCorrections().size(), 1);
}

void tst_LearningStore::repliesFromAnEarlierGenerationAreRefused()
{
    LearningEngine& e = makeEngine();
    e.recordCorrection(QStringLiteral("plaen"), QStringLiteral("plane"));
    recordPhrase(QStringLiteral("Kind regards from Ann"));
    const quint64 generation = e.generation();
    const QUuid correction = e.correctionCandidates().first().id;
    const QUuid phrase = e.phraseCandidates().first().id;

    QVERIFY(e.updateCorrection(generation, correction,
                               [](CorrectionCandidate& c) { c.aiVerdict = AIVerdict::approved; }));
    QCOMPARE(e.correctionCandidates().first().aiVerdict, std::optional(AIVerdict::approved));
    QVERIFY(!e.updatePhrase(generation, QUuid::createUuid(), [](PhraseCandidate&) {}));

    // A reply that was on its way while the user cleared everything lands nowhere, even
    // when the same text has been learned again since.
    e.clearAllLearnedData();
    recordPhrase(QStringLiteral("Kind regards from Ann"));
    QVERIFY(!e.updatePhrase(generation, phrase,
                            [](PhraseCandidate& p) { p.templateText = QStringLiteral("x"); }));
    QVERIFY(!e.updatePhrase(generation, e.phraseCandidates().first().id,
                            [](PhraseCandidate& p) { p.templateText = QStringLiteral("x"); }));
    QVERIFY(!e.phraseCandidates().first().templateText);
    QVERIFY(!e.setToneProfile(generation, QStringLiteral("Built from erased samples.")));
    QVERIFY(!e.toneProfile());
    QVERIFY(e.updatePhrase(e.generation(), e.phraseCandidates().first().id,
                           [](PhraseCandidate& p) { p.templateText = QStringLiteral("x"); }));
}

void tst_LearningStore::strippingTrailingPunctuation_data()
{
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("out");
    QTest::newRow("none") << "Hello there"
                          << "Hello there";
    QTest::newRow("several") << "Hello there!?. "
                             << "Hello there";
    QTest::newRow("spaces between") << "a . , ;"
                                    << "a";
    QTest::newRow("ellipsis") << "wait for it\u2026"
                              << "wait for it";
    QTest::newRow("tab stops it") << "end\t."
                                  << "end\t";
    QTest::newRow("newline stops it") << "end\n"
                                      << "end\n";
    QTest::newRow("only punctuation") << "?!... "
                                      << "";
    QTest::newRow("inner punctuation stays") << "a.b"
                                             << "a.b";
    QTest::newRow("quote and bracket stay") << "(yes)\""
                                            << "(yes)\"";
    QTest::newRow("combined stop stays") << "ok.\u0301"
                                         << "ok.\u0301";
    QTest::newRow("empty") << ""
                           << "";
}

void tst_LearningStore::strippingTrailingPunctuation()
{
    QFETCH(QString, in);
    QFETCH(QString, out);
    QCOMPARE(LearningEngine::strippingTrailingPunctuation(in), out);
}

QTEST_GUILESS_MAIN(tst_LearningStore)
#include "tst_LearningStore.moc"
