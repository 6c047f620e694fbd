// The Spell Fix and Suggestions pages laid out on a real X server with rows in every state, at
// the settings window's smallest and usual size: nothing may overlap, be cut off or leave a
// field too narrow to use. Each picture goes to the build folder for review.
#include "ai/AIVetter.h"
#include "ai/CandidateVetting.h"
#include "ai/LearningEngine.h"
#include "ai/OpenAIClient.h"
#include "ai/PhraseTemplates.h"
#include "model/AppState.h"
#include "app/SettingsWindow.h"
#include "settings/CorrectionListModel.h"
#include "settings/CorrectionsView.h"
#include "settings/SettingsRootView.h"
#include "settings/SuggestionsView.h"
#include "ui/ThemedTextField.h"

#include "../ai/ScriptedModel.h"
#include "LayoutCheck.h"
#include "TestHome.h"
#include "XServerEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <memory>

namespace {

const QDateTime kNow = QDateTime(QDate(2025, 3, 1), QTime(9, 30), Qt::UTC);

// A page's share of the settings window: the window less the sidebar and its rule.
QSize pageSize(bool smallest)
{
    return smallest ? QSize(SettingsWindow::minimumWidth - SettingsRootView::sidebarWidth - 1,
                            SettingsWindow::minimumHeight)
                    : QSize(SettingsWindow::defaultWidth - SettingsRootView::sidebarWidth - 1,
                            SettingsWindow::defaultHeight);
}

CorrectionCandidate correction(const QString& wrong, const QString& right, int count, int order,
                               std::optional<AIVerdict> verdict = std::nullopt)
{
    CorrectionCandidate c;
    c.wrong = wrong;
    c.right = right;
    c.count = count;
    c.lastSeen = kNow.addSecs(order);
    c.aiVerdict = verdict;
    return c;
}

PhraseCandidate phrase(const QString& text, int count, int order,
                       std::optional<AIVerdict> verdict = std::nullopt)
{
    PhraseCandidate p;
    p.text = text;
    p.key = text.toLower();
    p.count = count;
    p.lastSeen = kNow.addSecs(order);
    p.aiVerdict = verdict;
    return p;
}

} // namespace

class tst_PageScreenshots : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void init();
    void cleanup();
    void spellFixPage_data();
    void spellFixPage();
    void suggestionsPage_data();
    void suggestionsPage();

  private:
    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<AppState> m_state;
};

void tst_PageScreenshots::init()
{
    m_home = std::make_unique<TestHome>();
    AppState::Options o = m_home->storeOptions();
    o.deferSettingsWrites = false;
    o.clock = [] { return kNow; };
    m_state = std::make_unique<AppState>(o);
    m_state->setSnippets({});
}

void tst_PageScreenshots::cleanup()
{
    m_state.reset();
    m_home.reset();
}

void tst_PageScreenshots::spellFixPage_data()
{
    QTest::addColumn<bool>("smallest");
    QTest::addColumn<bool>("longTexts");
    QTest::newRow("usual") << false << false;
    QTest::newRow("smallest") << true << false;
    QTest::newRow("smallest, long texts") << true << true;
}

void tst_PageScreenshots::spellFixPage()
{
    QFETCH(bool, smallest);
    QFETCH(bool, longTexts);
    QList<CustomCorrection> corrections{
        CustomCorrection{QUuid::createUuid(), "abotu", "ABOUT", false},
        CustomCorrection{QUuid::createUuid(), "acomodate", "accommodate", true},
        CustomCorrection{QUuid::createUuid(), "<b>adn</b>", "<i>and</i>", false}};
    if (longTexts)
        corrections.prepend(CustomCorrection{QUuid::createUuid(), "internationalisationandlocalisationwork",
                                             "internationalisation and localisation work in every language",
                                             false});
    m_state->setCustomCorrections(corrections);
    m_state->setDisabledBuiltins({QStringLiteral("absense"), QStringLiteral("accross")});
    CorrectionsView page(*m_state);
    page.resize(pageSize(smallest));
    // The add row with a protected word, so the amber message shows.
    page.wrongField()->setText(longTexts ? QStringLiteral("Dontwriteitlikethiseverinanyofyourmessages")
                                         : QStringLiteral("Dont"));
    page.rightField()->setText(QStringLiteral("don't"));
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    // The pointer over the learned custom row: its trash shows.
    for (int i = 0; i < page.model()->rowCount() && !longTexts; ++i) {
        if (page.model()->rowAt(i).learned) {
            page.listView()->scrollTo(page.model()->index(i));
            const QRect r = page.listView()->visualRect(page.model()->index(i));
            QTest::mouseMove(page.listView()->viewport(), r.center());
            QTRY_COMPARE(page.listView()->hoveredId(), page.model()->rowAt(i).id);
        }
    }
    QUENVIL_VERIFY_LAYOUT(&page, QStringLiteral("settings-spellfix-%1").arg(QTest::currentDataTag()));
}

void tst_PageScreenshots::suggestionsPage_data()
{
    QTest::addColumn<bool>("smallest");
    QTest::newRow("usual") << false;
    QTest::newRow("smallest") << true;
}

void tst_PageScreenshots::suggestionsPage()
{
    QFETCH(bool, smallest);
    SavedLearning s;
    s.corrections = {correction("recieve", "receive", 5, 1, AIVerdict::approved),
                     correction("teh", "the", 3, 2, AIVerdict::rejected),
                     correction("adn", "and", 2, 3),
                     correction("wrnog", "wrong", 1, 4),
                     correction("becuase", "because", 1, 5),
                     correction("accomodationarrangements", "accommodationarrangements", 1, 6)};
    PhraseCandidate templated = phrase("Kind regards from Ann", 4, 1, AIVerdict::approved);
    templated.templateText = QStringLiteral("Kind regards from {field:name}");
    templated.aiTrigger = QStringLiteral("kra1");
    s.phrases = {
        templated, phrase("Let me know if you have <b>any</b> questions", 3, 2),
        phrase("Thanks for getting back to me so quickly", 2, 3, AIVerdict::rejected),
        phrase("see you at the standup", 1, 4),
        phrase("I wanted to follow up on the proposal we discussed at the meeting last Thursday afternoon "
               "and see whether the figures still hold",
               1, 5)};
    QDir().mkpath(m_home->dataDir());
    TestHome::writeFile(m_home->dataFile("learning.json"), encodeLearning(s));

    OpenAIClient client(*m_state);
    AIVetter vetter(client);
    QVERIFY(vetter.saveKey(QStringLiteral("sk-test")));
    vetter.setLastError(
        QStringLiteral("OpenAI request failed: the server answered 500 with a long explanation of "
                       "what went wrong on its side of the connection"));
    m_state->setAiLearningBackend(AIBackend::openAI);
    m_state->setAiVettingBackend(AIBackend::openAI);
    m_state->setLearningEnabled(false);
    Snippet sig;
    sig.trigger = QStringLiteral(";sig");
    sig.content = QStringLiteral("Best");
    m_state->setSnippets({sig});
    LearningEngine engine(*m_state, LearningEngine::Collaborators{});
    ScriptedModel model;
    CandidateVetting vetting(*m_state, engine, vetter, model.access());
    PhraseTemplates templates(*m_state, engine, model.access());

    SuggestionsView page(*m_state, engine, vetter, vetting, templates, model.access());
    page.resize(pageSize(smallest));
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    // A taken trigger tried on the second phrase: its amber line shows.
    PhraseSuggestionRow* second = page.phraseRows().at(1);
    second->triggerField()->setText(QStringLiteral(";sig"));
    second->accept();
    page.correctionRows().first()->setHovering(true);
    page.watchingRows().first()->setHovering(true);
    const QString name = QStringLiteral("settings-suggestions-%1").arg(QTest::currentDataTag());
    // A phrase shows two lines at most and a phrase still watched one, ending in an ellipsis.
    LayoutCheck::Options options;
    // A correction's words end in one too where the page is narrow.
    options.mayElide = {QStringLiteral("phraseContent"), QStringLiteral("watchingText"),
                        QStringLiteral("correctionWrong"), QStringLiteral("correctionRight")};
    QUENVIL_VERIFY_LAYOUT(&page, name, options);
    // Scrolled to the end, where the footer and its button are.
    page.scrollArea()->verticalScrollBar()->setValue(page.scrollArea()->verticalScrollBar()->maximum());
    QUENVIL_VERIFY_LAYOUT(&page, name + QStringLiteral("-end"), options);

    // The empty state, learning on, with the on-device vetting button.
    engine.clearAllLearnedData();
    vetter.setLastError(std::nullopt);
    m_state->setLearningEnabled(true);
    m_state->setAiVettingBackend(AIBackend::onDevice);
    QUENVIL_VERIFY_LAYOUT(&page, name + QStringLiteral("-empty"), options);
}

QUENVIL_X11_TEST_MAIN(tst_PageScreenshots)
#include "tst_PageScreenshots.moc"
