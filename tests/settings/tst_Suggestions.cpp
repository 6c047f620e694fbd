// The Suggestions page with the real learning engine on a temporary folder, the real
// vetting and templating, and a scripted AI back end (the OpenAI batch goes to a local
// fake server).
#include "ai/AIVetter.h"
#include "ai/CandidateVetting.h"
#include "ai/LearningEngine.h"
#include "ai/OpenAIClient.h"
#include "ai/PhraseTemplates.h"
#include "model/AppState.h"
#include "settings/PagePieces.h"
#include "settings/SuggestionsLogic.h"
#include "settings/SuggestionsView.h"
#include "ui/AccentToggle.h"
#include "ui/Card.h"
#include "ui/PillButton.h"
#include "ui/ThemedTextField.h"

#include "../ai/ScriptedModel.h"
#include "AccessibleEdit.h"
#include "FakeHttpServer.h"
#include "TestHome.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace SuggestionsLogic;

namespace {

const QDateTime kNow = QDateTime(QDate(2025, 3, 1), QTime(9, 30), Qt::UTC);
const QString kRegards = QStringLiteral("Kind regards from Ann");
const QString kTemplate = QStringLiteral("Kind regards from {field:name}");

CorrectionCandidate correction(const QString& wrong, const QString& right, int count, int order = 0)
{
    CorrectionCandidate c;
    c.wrong = wrong;
    c.right = right;
    c.count = count;
    c.lastSeen = kNow.addSecs(-1000 + order);
    return c;
}

PhraseCandidate phrase(const QString& text, int count, int order = 0)
{
    PhraseCandidate p;
    p.text = text;
    p.key = text.toLower();
    p.count = count;
    p.lastSeen = kNow.addSecs(-1000 + order);
    return p;
}

Snippet snippet(const QString& trigger)
{
    Snippet s;
    s.trigger = trigger;
    s.content = QStringLiteral("existing");
    return s;
}

} // namespace

class tst_Suggestions : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void init();
    void cleanup();

    void vetButtonForms_data();
    void vetButtonForms();
    void vetButtonFollowsTheServices();
    void failedBatchShowsTheError();
    void fixedTexts();
    void everySymbolIsDrawn();

    void sections_data();
    void sections();
    void learningOffCard();
    void stillWatchingTakesTenOfEach();
    void stillWatchingIsReadInScreenOrder();

    void acceptCorrection();
    void acceptPhrase_data();
    void acceptPhrase();
    void dismissEverywhere();
    void rowsKeepTheirStateWhileOthersChange();

    void triggerField_data();
    void triggerField();
    void takenOrBlankTriggerKeepsTheRow();
    void makeTemplateOneRequestAtATime();
    void clearLearnedData();

  private:
    void seed(const QList<CorrectionCandidate>& corrections, const QList<PhraseCandidate>& phrases)
    {
        SavedLearning s;
        s.corrections = corrections;
        s.phrases = phrases;
        QDir().mkpath(m_home->dataDir());
        TestHome::writeFile(m_home->dataFile("learning.json"), encodeLearning(s));
        m_page.reset();
        m_templates.reset();
        m_vetting.reset();
        m_engine = std::make_unique<LearningEngine>(*m_state, LearningEngine::Collaborators{});
        m_vetting = std::make_unique<CandidateVetting>(*m_state, *m_engine, *m_vetter, m_model.access());
        m_templates = std::make_unique<PhraseTemplates>(*m_state, *m_engine, m_model.access());
    }
    SuggestionsView& page()
    {
        if (!m_page) {
            m_page = std::make_unique<SuggestionsView>(*m_state, *m_engine, *m_vetter, *m_vetting, *m_templates,
                                                       m_model.access());
            m_page->resize(1000, 800);
            m_page->show();
            QApplication::processEvents();
        }
        return *m_page;
    }
    const PhraseCandidate& firstPhrase() const { return m_engine->phraseCandidates().first(); }

    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<FakeHttpServer> m_server;
    std::unique_ptr<OpenAIClient> m_client;
    std::unique_ptr<AIVetter> m_vetter;
    std::unique_ptr<LearningEngine> m_engine;
    std::unique_ptr<CandidateVetting> m_vetting;
    std::unique_ptr<PhraseTemplates> m_templates;
    std::unique_ptr<SuggestionsView> m_page;
    ScriptedModel m_model;
};

void tst_Suggestions::init()
{
    m_home = std::make_unique<TestHome>();
    AppState::Options o = m_home->storeOptions();
    o.deferSettingsWrites = false;
    o.clock = [] { return kNow; };
    m_state = std::make_unique<AppState>(o);
    m_state->setSnippets({});
    m_server = std::make_unique<FakeHttpServer>();
    m_client = std::make_unique<OpenAIClient>(*m_state);
    m_client->setBaseURL(m_server->baseURL());
    m_vetter = std::make_unique<AIVetter>(*m_client);
    m_model = ScriptedModel();
    seed({}, {});
}

void tst_Suggestions::cleanup()
{
    m_page.reset();
    m_templates.reset();
    m_vetting.reset();
    m_engine.reset();
    m_vetter.reset();
    m_client.reset();
    m_server.reset();
    m_state.reset();
    m_home.reset();
}

void tst_Suggestions::vetButtonForms_data()
{
    QTest::addColumn<AIBackend>("backend");
    QTest::addColumn<bool>("hasKey");
    QTest::addColumn<bool>("running"); // the back end's own pass
    QTest::addColumn<bool>("ready");   // the on-device model
    QTest::addColumn<bool>("shown");
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<qreal>("opacity");

    const QString vet = QStringLiteral("Vet with AI");
    const QString local = QStringLiteral("Vet on-device");
    const QString busy = QString::fromUtf8("Vetting\u2026");
    QTest::newRow("off") << AIBackend::off << true << false << true << false << "" << false << 1.0;
    QTest::newRow("openAI without key") << AIBackend::openAI << false << false << true << false << "" << false
                                        << 1.0;
    QTest::newRow("openAI idle") << AIBackend::openAI << true << false << false << true << vet << true << 1.0;
    QTest::newRow("openAI vetting") << AIBackend::openAI << true << true << true << true << busy << false << 0.5;
    QTest::newRow("on-device ready") << AIBackend::onDevice << false << false << true << true << local << true
                                     << 1.0;
    QTest::newRow("on-device not ready") << AIBackend::onDevice << true << false << false << true << local
                                         << false << 1.0;
    QTest::newRow("on-device vetting") << AIBackend::onDevice << false << true << true << true << busy << false
                                       << 0.5;
}

void tst_Suggestions::vetButtonForms()
{
    QFETCH(AIBackend, backend);
    QFETCH(bool, hasKey);
    QFETCH(bool, running);
    QFETCH(bool, ready);
    QFETCH(bool, shown);
    QFETCH(QString, title);
    QFETCH(bool, enabled);
    QFETCH(qreal, opacity);

    // The rule alone.
    VetButtonInput in{backend, hasKey, running && backend == AIBackend::openAI,
                      running && backend == AIBackend::onDevice, ready};
    const VetButton form = SuggestionsLogic::vetButton(in);
    QCOMPARE(form.kind != VetButton::Kind::none, shown);
    if (shown) {
        QCOMPARE(form.title, title);
        QCOMPARE(form.enabled, enabled);
        QCOMPARE(form.opacity, opacity);
    }

    // The page, from the real services.
    m_state->setAiVettingBackend(backend);
    if (hasKey)
        QVERIFY(m_vetter->saveKey(QStringLiteral("sk-test")));
    m_model.ready[AIBackend::onDevice] = ready;
    SuggestionsView& p = page();
    if (backend == AIBackend::openAI)
        m_vetter->setIsVetting(running);
    else
        m_engine->setAutoVetting(running);
    QCOMPARE(p.vetButton()->isVisible(), shown);
    if (shown) {
        QCOMPARE(p.vetButton()->title(), title);
        QCOMPARE(p.vetButton()->accessibleName(), title);
        QCOMPARE(p.vetButton()->isEnabled(), enabled);
        QCOMPARE(p.vetButton()->opacity(), opacity);
    }
}

void tst_Suggestions::vetButtonFollowsTheServices()
{
    // Switched before the vetting exists, so that the switch starts no pass of its own.
    m_state->setAiVettingBackend(AIBackend::onDevice);
    seed({correction("recieve", "receive", 2)}, {});
    m_model.hold = true;
    SuggestionsView& p = page();
    QTest::mouseClick(p.vetButton(), Qt::LeftButton);
    QCOMPARE(m_model.requests.size(), 1);
    QCOMPARE(p.vetButton()->title(), QString::fromUtf8("Vetting\u2026"));
    QVERIFY(!p.vetButton()->isEnabled());
    QVERIFY(m_model.releaseOne());
    QTRY_COMPARE(p.vetButton()->title(), QStringLiteral("Vet on-device"));
    QVERIFY(p.vetButton()->isEnabled());

    // Switching the back end redraws the header, the footer with it.
    m_state->setAiVettingBackend(AIBackend::off);
    QVERIFY(!p.vetButton()->isVisible());
    QCOMPARE(p.footerLabel()->text(), footerSentence(AIBackend::off));
    QVERIFY(m_vetter->saveKey(QStringLiteral("sk-test")));
    m_state->setAiVettingBackend(AIBackend::openAI);
    QCOMPARE(p.vetButton()->title(), QStringLiteral("Vet with AI"));
    m_vetter->removeKey();
    QVERIFY(!p.vetButton()->isVisible());
    QCOMPARE(p.footerLabel()->text(),
             QString::fromUtf8("Learning is on-device. Candidates are sent to OpenAI only when you press "
                               "\u201CVet with AI\u201D."));
}

void tst_Suggestions::failedBatchShowsTheError()
{
    seed({correction("recieve", "receive", 2)}, {});
    m_state->setAiVettingBackend(AIBackend::openAI);
    QVERIFY(m_vetter->saveKey(QStringLiteral("sk-test")));
    m_server->setReply("/v1/chat/completions",
                       FakeHttpServer::Reply::json(500, R"({"error":{"message":"<b>down</b>"}})"));
    SuggestionsView& p = page();
    QVERIFY(!p.errorLabel()->isVisible());
    QTest::mouseClick(p.vetButton(), Qt::LeftButton);
    QVERIFY(m_vetter->isVetting());
    QCOMPARE(p.vetButton()->title(), QString::fromUtf8("Vetting\u2026"));
    QTRY_VERIFY(!m_vetter->isVetting());
    QVERIFY(p.errorLabel()->isVisible());
    QCOMPARE(p.errorLabel()->text(), *m_vetter->lastError());
    QCOMPARE(p.errorLabel()->textFormat(), Qt::PlainText);
    QCOMPARE(p.vetButton()->title(), QStringLiteral("Vet with AI"));
    QVERIFY(!m_engine->correctionCandidates().first().aiVerdict);

    // The next request sent clears it.
    m_server->setReply("/v1/chat/completions", FakeHttpServer::Reply::json(200, "{}"));
    QTest::mouseClick(p.vetButton(), Qt::LeftButton);
    QVERIFY(!p.errorLabel()->isVisible());
    QTRY_VERIFY(!m_vetter->isVetting());
}

void tst_Suggestions::fixedTexts()
{
    QCOMPARE(countChipText(12), QString::fromUtf8("seen \u00D712"));
    QCOMPARE(watchingDetail(1), QString::fromUtf8("seen \u00D71 \u00B7 needs 2"));
    QCOMPARE(emptyStateSentence(),
             QStringLiteral("A typo you fix by hand 2 times becomes a correction suggestion. A phrase of three or "
                            "more words you retype 2 times becomes a snippet suggestion."));
    QCOMPARE(badge(AIVerdict::approved).label, QStringLiteral("AI: looks right"));
    QCOMPARE(badge(AIVerdict::rejected).label, QStringLiteral("AI: skip"));
    QCOMPARE(footerSentence(AIBackend::onDevice),
             QString::fromUtf8("Learning is on-device. Suggestions are vetted by the on-device model \u2014 nothing "
                               "leaves this computer."));
}

void tst_Suggestions::everySymbolIsDrawn()
{
    // Both pages: a symbol without a drawing would leave a silent gap.
    const QStringList names{"shield.checkered", "arrow.right", "plus", "sparkles", "trash", "checkmark", "xmark",
                            "lightbulb", "checkmark.seal.fill", "xmark.seal.fill", "wand.and.stars"};
    for (const QString& name : names)
        QVERIFY2(PagePieces::canDrawSymbol(name), qPrintable(name));
    QVERIFY(!PagePieces::canDrawSymbol(QStringLiteral("no.such.symbol")));
    for (AIVerdict v : {AIVerdict::approved, AIVerdict::rejected})
        QVERIFY(names.contains(badge(v).symbol));
}

void tst_Suggestions::sections_data()
{
    QTest::addColumn<QList<CorrectionCandidate>>("corrections");
    QTest::addColumn<QList<PhraseCandidate>>("phrases");
    QTest::addColumn<QString>("shown"); // E empty state, C corrections, P phrases, W still watching

    QTest::newRow("nothing") << QList<CorrectionCandidate>{} << QList<PhraseCandidate>{} << "E";
    QTest::newRow("only seen once") << QList<CorrectionCandidate>{correction("wrnog", "wrong", 1)}
                                    << QList<PhraseCandidate>{} << "EW";
    QTest::newRow("only phrases") << QList<CorrectionCandidate>{} << QList<PhraseCandidate>{phrase(kRegards, 2)}
                                  << "P";
    QTest::newRow("everything") << QList<CorrectionCandidate>{correction("wrnog", "wrong", 3),
                                                              correction("adn", "and", 1)}
                                << QList<PhraseCandidate>{phrase(kRegards, 2), phrase("see you soon then", 1)}
                                << "CPW";
}

void tst_Suggestions::sections()
{
    QFETCH(QList<CorrectionCandidate>, corrections);
    QFETCH(QList<PhraseCandidate>, phrases);
    QFETCH(QString, shown);
    seed(corrections, phrases);
    SuggestionsView& p = page();
    QCOMPARE(p.emptyState()->isVisible(), shown.contains('E'));
    QCOMPARE(p.correctionsCaption()->isVisible(), shown.contains('C'));
    QCOMPARE(p.phrasesCaption()->isVisible(), shown.contains('P'));
    QCOMPARE(p.watchingCaption()->isVisible(), shown.contains('W'));
    QVERIFY(p.footerLabel()->isVisible());
    QVERIFY(!p.learningOffCard()->isVisible());
    QCOMPARE(p.correctionRows().size(), m_engine->suggestedCorrections().size());
    QCOMPARE(p.phraseRows().size(), m_engine->suggestedPhrases().size());
}

void tst_Suggestions::learningOffCard()
{
    seed({correction("wrnog", "wrong", 2)}, {});
    m_state->setLearningEnabled(false);
    SuggestionsView& p = page();
    QVERIFY(p.learningOffCard()->isVisible());
    // The stored suggestions stay below it.
    QCOMPARE(p.correctionRows().size(), 1);
    auto* toggle = p.learningOffCard()->findChild<AccentToggle*>();
    QVERIFY(toggle && !toggle->isOn());
    QCOMPARE(toggle->accessibleName(), QStringLiteral("Learning is off"));
    QTest::mouseClick(toggle, Qt::LeftButton);
    QVERIFY(m_state->learningEnabled());
    QVERIFY(!p.learningOffCard()->isVisible());
}

void tst_Suggestions::stillWatchingTakesTenOfEach()
{
    QList<CorrectionCandidate> corrections;
    for (int i = 0; i < 12; ++i)
        corrections.append(correction(QStringLiteral("wrng%1").arg(QChar(u'a' + i)), QStringLiteral("wrong"), 1, i));
    seed(corrections, {phrase("one two three", 1, 1), phrase("four five six", 1, 2), phrase("seven eight nine", 1, 3)});
    SuggestionsView& p = page();
    const QList<WatchingRow*> rows = p.watchingRows();
    QCOMPARE(rows.size(), 13);
    // Newest first, corrections before phrases.
    QCOMPARE(rows.at(0)->leftText(), QStringLiteral("wrngl"));
    QCOMPARE(rows.at(9)->leftText(), QStringLiteral("wrngc"));
    QCOMPARE(rows.at(10)->leftText(), QStringLiteral("seven eight nine"));
    for (WatchingRow* r : rows)
        QCOMPARE(r->detailText(), QString::fromUtf8("seen \u00D71 \u00B7 needs 2"));
    QVERIFY(p.emptyState()->isVisible());
}

void tst_Suggestions::stillWatchingIsReadInScreenOrder()
{
    seed({correction("wrnga", "wrong", 1, 1), correction("wrngb", "wrong", 1, 2)},
         {phrase("one two three", 1, 3)});
    SuggestionsView& p = page();
    QCOMPARE(p.watchingRows().first()->leftText(), QStringLiteral("wrngb"));
    // The oldest is seen again while the page is open and goes on top.
    const QUuid oldest = m_engine->inProgressCorrections().last().id;
    QVERIFY(m_engine->updateCorrection(m_engine->generation(), oldest,
                                       [](CorrectionCandidate& c) { c.lastSeen = kNow; }));
    QApplication::processEvents();
    const QList<WatchingRow*> rows = p.watchingRows();
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows.first()->leftText(), QStringLiteral("wrnga"));

    QList<WatchingRow*> onScreen = rows;
    std::sort(onScreen.begin(), onScreen.end(),
              [](const WatchingRow* a, const WatchingRow* b) { return a->y() < b->y(); });
    QCOMPARE(onScreen, rows);
    QAccessibleInterface* box = QAccessible::queryAccessibleInterface(rows.first()->parentWidget());
    QVERIFY(box);
    QList<WatchingRow*> read;
    for (int i = 0; i < box->childCount(); ++i) {
        if (auto* row = qobject_cast<WatchingRow*>(box->child(i)->object()); row && row->isVisible())
            read.append(row);
    }
    QCOMPARE(read, onScreen);
}

void tst_Suggestions::acceptCorrection()
{
    CorrectionCandidate rejected = correction("recieve", "receive", 3);
    rejected.aiVerdict = AIVerdict::rejected;
    CorrectionCandidate approved = correction("adn", "and", 2);
    approved.aiVerdict = AIVerdict::approved;
    seed({rejected, approved, correction("hte", "the", 2, 5)}, {});
    SuggestionsView& p = page();
    QCOMPARE(m_engine->suggestionCount(), 3);
    QList<CorrectionSuggestionRow*> rows = p.correctionRows();
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows.at(0)->candidate().wrong, QStringLiteral("recieve"));
    QCOMPARE(rows.at(0)->opacity(), 0.55);
    QVERIFY(rows.at(0)->badge()->isVisible());
    QCOMPARE(rows.at(0)->badge()->label(), QStringLiteral("AI: skip"));
    QCOMPARE(rows.at(1)->opacity(), 1.0);
    QCOMPARE(rows.at(1)->badge()->label(), QStringLiteral("AI: looks right"));
    QVERIFY(!rows.at(2)->badge()->isVisible());
    QCOMPARE(rows.at(0)->countChip()->text(), QString::fromUtf8("seen \u00D73"));

    // A rejected one is still accepted.
    QSignalSpy badge(m_engine.get(), &LearningEngine::suggestionCountChanged);
    QTest::mouseClick(rows.at(0)->acceptButton(), Qt::LeftButton);
    QCOMPARE(badge.size(), 1);
    QCOMPARE(badge.first().first().toInt(), 2);
    QCOMPARE(m_state->customCorrections().size(), 1);
    const CustomCorrection& c = m_state->customCorrections().first();
    QCOMPARE(c.wrong, QStringLiteral("recieve"));
    QCOMPARE(c.right, QStringLiteral("receive"));
    QVERIFY(c.learned);
    QCOMPARE(m_engine->suggestionCount(), 2);
    QCOMPARE(p.correctionRows().size(), 2);
    const SavedLearning saved = decodeLearning(TestHome::readFile(m_home->dataFile("learning.json"))).value();
    QCOMPARE(saved.corrections.size(), 2);
    QVERIFY(saved.dismissed.contains(QStringLiteral("c:recieve>receive")));
}

void tst_Suggestions::acceptPhrase_data()
{
    QTest::addColumn<std::optional<QString>>("templateText");
    QTest::addColumn<bool>("chooseLiteral");
    QTest::addColumn<QString>("content");

    const std::optional<QString> none;
    QTest::newRow("no template") << none << false << kRegards;
    QTest::newRow("template chosen by default") << std::optional<QString>(kTemplate) << false << kTemplate;
    QTest::newRow("literal chosen") << std::optional<QString>(kTemplate) << true << kRegards;
    QTest::newRow("empty template") << std::optional<QString>(QString()) << false << kRegards;
    QTest::newRow("empty template, literal") << std::optional<QString>(QString()) << true << kRegards;
}

void tst_Suggestions::acceptPhrase()
{
    QFETCH(std::optional<QString>, templateText);
    QFETCH(bool, chooseLiteral);
    QFETCH(QString, content);
    PhraseCandidate p = phrase(kRegards, 2);
    p.templateText = templateText;
    seed({}, {p});
    SuggestionsView& page = this->page();
    PhraseSuggestionRow* row = page.phraseRow(p.id);
    QVERIFY(row);
    QCOMPARE(row->templateControl(), templateText ? TemplateControl::picker : TemplateControl::none);
    QCOMPARE(row->templateButton()->isVisible(), templateText.has_value());
    if (templateText)
        QVERIFY(row->templateButton()->isChecked());
    if (chooseLiteral)
        QTest::mouseClick(row->literalButton(), Qt::LeftButton);
    QCOMPARE(row->contentLabel()->text(), content);
    QCOMPARE(row->contentLabel()->textFormat(), Qt::PlainText);
    QCOMPARE(row->triggerField()->text(), QStringLiteral("kind1"));

    QTest::mouseClick(row->acceptButton(), Qt::LeftButton);
    QCOMPARE(m_state->snippets().size(), 1);
    const Snippet& s = m_state->snippets().first();
    QCOMPARE(s.trigger, QStringLiteral("kind1"));
    QCOMPARE(s.content, content);
    QVERIFY(s.learned && s.enabled && s.keepDelimiter);
    QVERIFY(m_engine->phraseCandidates().isEmpty());
    QCOMPARE(m_engine->suggestionCount(), 0);
    QTRY_VERIFY(page.phraseRows().isEmpty());
    QVERIFY(page.emptyState()->isVisible());
}

void tst_Suggestions::dismissEverywhere()
{
    seed({correction("recieve", "receive", 2), correction("wrnog", "wrong", 1)},
         {phrase(kRegards, 2), phrase("see you soon then", 1)});
    SuggestionsView& p = page();
    // The window's badge follows this count.
    QSignalSpy badge(m_engine.get(), &LearningEngine::suggestionCountChanged);
    QCOMPARE(m_engine->suggestionCount(), 2);
    QTest::mouseClick(p.correctionRows().first()->dismissButton(), Qt::LeftButton);
    QCOMPARE(m_engine->suggestionCount(), 1);
    QTest::mouseClick(p.phraseRows().first()->dismissButton(), Qt::LeftButton);
    QCOMPARE(m_engine->suggestionCount(), 0);
    QCOMPARE(badge.size(), 2);
    QCOMPARE(badge.last().first().toInt(), 0);
    QVERIFY(m_state->customCorrections().isEmpty() && m_state->snippets().isEmpty());

    // Watching rows: the cross shows while hovered (or focused) and dismisses.
    QList<WatchingRow*> watching = p.watchingRows();
    QCOMPARE(watching.size(), 2);
    QVERIFY(!watching.first()->dismissButton()->isShowing());
    watching.first()->setHovering(true);
    QVERIFY(watching.first()->dismissButton()->isShowing());
    QTest::mouseClick(watching.first()->dismissButton(), Qt::LeftButton);
    QTest::mouseClick(p.watchingRows().last()->dismissButton(), Qt::LeftButton);
    QVERIFY(m_engine->correctionCandidates().isEmpty());
    QVERIFY(m_engine->phraseCandidates().isEmpty());
    const SavedLearning saved = decodeLearning(TestHome::readFile(m_home->dataFile("learning.json"))).value();
    QCOMPARE(saved.dismissed.size(), 4);
    QTRY_VERIFY(p.watchingRows().isEmpty());
    QVERIFY(!p.watchingCaption()->isVisible());
}

void tst_Suggestions::rowsKeepTheirStateWhileOthersChange()
{
    const PhraseCandidate a = phrase(kRegards, 3);
    const PhraseCandidate b = phrase("see you soon then", 2);
    seed({correction("recieve", "receive", 2)}, {a, b});
    SuggestionsView& p = page();
    PhraseSuggestionRow* row = p.phraseRow(b.id);
    row->triggerField()->setFocus();
    row->triggerField()->selectAll();
    QTest::keyClicks(row->triggerField(), QStringLiteral(";soon"));
    // Other candidates come and go while the user types (learning, the menu, vetting).
    m_engine->dismissPhrase(a);
    m_engine->acceptCorrection(m_engine->correctionCandidates().first());
    m_engine->recordCorrection(QStringLiteral("wrnog"), QStringLiteral("wrong"));
    QVERIFY(m_engine->updatePhrase(m_engine->generation(), b.id, [](PhraseCandidate& c) { c.count = 5; }));
    QCOMPARE(p.phraseRow(b.id), row);
    QCOMPARE(row->candidate().count, 5);
    QCOMPARE(row->triggerField()->text(), QStringLiteral(";soon"));
    QCOMPARE(p.focusWidget(), row->triggerField());
}

void tst_Suggestions::triggerField_data()
{
    QTest::addColumn<QString>("typed");       // empty: the user leaves the field alone
    QTest::addColumn<QString>("proposal");    // what AI vetting proposes later
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("accessible");     // typed through the accessibility interface

    QTest::newRow("default replaced by the proposal") << "" << "kra1" << "kra1" << false;
    QTest::newRow("user's text kept") << ";ann" << "kra1" << ";ann" << false;
    QTest::newRow("assistive tool's text kept") << ";ann" << "kra1" << ";ann" << true;
    QTest::newRow("taken proposal not applied") << "" << ";sig" << "kind1" << false;
    QTest::newRow("empty proposal ignored") << "" << "" << "kind1" << false;
}

void tst_Suggestions::triggerField()
{
    QFETCH(QString, typed);
    QFETCH(QString, proposal);
    QFETCH(QString, expected);
    QFETCH(bool, accessible);
    m_state->setSnippets({snippet(QStringLiteral(";sig"))});
    const PhraseCandidate p = phrase(kRegards, 2);
    seed({}, {p});
    SuggestionsView& page = this->page();
    PhraseSuggestionRow* row = page.phraseRow(p.id);
    QCOMPARE(row->trigger(), QStringLiteral("kind1"));
    if (accessible) {
        QVERIFY(AccessibleEdit::setText(row->triggerField(), typed));
    } else if (!typed.isEmpty()) {
        row->triggerField()->selectAll();
        QTest::keyClicks(row->triggerField(), typed);
    }
    // The late answer lands in the candidate the way vetting writes it.
    QVERIFY(m_engine->updatePhrase(m_engine->generation(), p.id,
                                   [&](PhraseCandidate& c) { c.aiTrigger = proposal; }));
    QCOMPARE(page.phraseRow(p.id), row);
    QCOMPARE(row->trigger(), expected);

    // The pure rule agrees.
    TriggerField field;
    field.cameIntoView(QStringLiteral("kind1"));
    if (!typed.isEmpty())
        field.userEdited(typed);
    field.proposalArrived(proposal, proposal == QStringLiteral(";sig"));
    QCOMPARE(field.text(), expected);
}

void tst_Suggestions::takenOrBlankTriggerKeepsTheRow()
{
    m_state->setSnippets({snippet(QStringLiteral(";sig"))});
    const PhraseCandidate p = phrase(kRegards, 2);
    seed({}, {p});
    SuggestionsView& page = this->page();
    PhraseSuggestionRow* row = page.phraseRow(p.id);

    row->triggerField()->selectAll();
    QTest::keyClicks(row->triggerField(), QStringLiteral("   "));
    QTest::mouseClick(row->acceptButton(), Qt::LeftButton);
    QVERIFY(!row->problemLabel()->isVisible());
    QCOMPARE(m_state->snippets().size(), 1);

    row->triggerField()->selectAll();
    QTest::keyClicks(row->triggerField(), QStringLiteral(" ;sig "));
    QTest::mouseClick(row->acceptButton(), Qt::LeftButton);
    QCOMPARE(m_state->snippets().size(), 1);
    QCOMPARE(m_engine->phraseCandidates().size(), 1);
    QVERIFY(row->problemLabel()->isVisible());
    QCOMPARE(row->problemLabel()->text(), takenTriggerMessage(QStringLiteral(";sig")));
    QCOMPARE(row->problemLabel()->textFormat(), Qt::PlainText);
    // The existing snippet still fires.
    QCOMPARE(m_state->triggerIndex().value(QStringLiteral(";sig")).snippet.content, QStringLiteral("existing"));

    // Editing clears the line; a free trigger goes through.
    QTest::keyClick(row->triggerField(), Qt::Key_Backspace);
    QVERIFY(!row->problemLabel()->isVisible());
    row->triggerField()->selectAll();
    QTest::keyClicks(row->triggerField(), QStringLiteral(";kr"));
    QTest::mouseClick(row->acceptButton(), Qt::LeftButton);
    QCOMPARE(m_state->snippets().size(), 2);
    QCOMPARE(m_state->snippets().last().trigger, QStringLiteral(";kr"));
}

void tst_Suggestions::makeTemplateOneRequestAtATime()
{
    const PhraseCandidate p = phrase(kRegards, 2);
    seed({}, {p});
    m_model.hold = true;
    m_model.replies.insert(kRegards, kTemplate);
    SuggestionsView& page = this->page();
    PhraseSuggestionRow* row = page.phraseRow(p.id);
    QCOMPARE(row->templateControl(), TemplateControl::none);
    QVERIFY(!row->makeTemplateButton()->isVisible());

    m_state->setAiLearningBackend(AIBackend::openAI);
    QCOMPARE(row->templateControl(), TemplateControl::button);
    QVERIFY(row->makeTemplateButton()->isVisible());
    QCOMPARE(row->makeTemplateButton()->accessibleName(), QStringLiteral("Make template"));
    QTest::mouseClick(row->makeTemplateButton(), Qt::LeftButton);
    QTest::mouseClick(row->makeTemplateButton(), Qt::LeftButton);
    QCOMPARE(m_model.requests.size(), 1);
    QVERIFY(page.isTemplating(p.id));

    QVERIFY(m_model.releaseOne());
    QTRY_VERIFY(!page.isTemplating(p.id));
    QCOMPARE(firstPhrase().templateText, std::optional<QString>(kTemplate));
    QCOMPARE(row->templateControl(), TemplateControl::picker);
    QVERIFY(row->templateButton()->isVisible() && row->templateButton()->isChecked());
    QCOMPARE(row->contentLabel()->text(), kTemplate);

    // A back end that cannot answer: nothing changes and the button can be pressed again.
    const PhraseCandidate q = phrase("see you soon then", 2, 5);
    seed({}, {q});
    m_model.ready[AIBackend::openAI] = false;
    PhraseSuggestionRow* other = this->page().phraseRow(q.id);
    QTest::mouseClick(other->makeTemplateButton(), Qt::LeftButton);
    QVERIFY(!this->page().isTemplating(q.id));
    QCOMPARE(other->templateControl(), TemplateControl::button);
}

void tst_Suggestions::clearLearnedData()
{
    seed({correction("recieve", "receive", 2), correction("wrnog", "wrong", 1)}, {phrase(kRegards, 2)});
    SuggestionsView& p = page();
    QCOMPARE(p.clearButton()->title(), QStringLiteral("Clear learned data"));
    QTest::mouseClick(p.clearButton(), Qt::LeftButton);
    QCOMPARE(m_engine->suggestionCount(), 0);
    QTRY_VERIFY(p.correctionRows().isEmpty() && p.phraseRows().isEmpty() && p.watchingRows().isEmpty());
    QVERIFY(p.emptyState()->isVisible());
    QVERIFY(!p.watchingCaption()->isVisible());
    const SavedLearning saved = decodeLearning(TestHome::readFile(m_home->dataFile("learning.json"))).value();
    QVERIFY(saved.corrections.isEmpty() && saved.phrases.isEmpty() && saved.dismissed.isEmpty());
}

QTEST_MAIN(tst_Suggestions)
#include "tst_Suggestions.moc"
