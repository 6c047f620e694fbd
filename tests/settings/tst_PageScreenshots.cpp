// The Spell Fix and Suggestions pages on a real X server with rows in every state, saved
// as PNGs in the build tree for a person to look at. Only drawing is asserted.
#include "ai/AIVetter.h"
#include "ai/CandidateVetting.h"
#include "ai/LearningEngine.h"
#include "ai/OpenAIClient.h"
#include "ai/PhraseTemplates.h"
#include "model/AppState.h"
#include "settings/CorrectionListModel.h"
#include "settings/CorrectionsView.h"
#include "settings/SuggestionsView.h"
#include "ui/ThemedTextField.h"

#include "../ai/ScriptedModel.h"
#include "TestHome.h"
#include "XServerEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTest>

#include <memory>

namespace {

const QDateTime kNow = QDateTime(QDate(2025, 3, 1), QTime(9, 30), Qt::UTC);

bool savePage(QWidget& page, const QString& name)
{
    page.show();
    if (!QTest::qWaitForWindowExposed(&page))
        return false;
    QApplication::processEvents();
    const QPixmap shot = page.grab();
    const QString path = QDir(QCoreApplication::applicationDirPath()).filePath(name);
    if (shot.isNull() || !shot.save(path))
        return false;
    qInfo("Page written to %s", qPrintable(path));
    return true;
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

PhraseCandidate phrase(const QString& text, int count, int order, std::optional<AIVerdict> verdict = std::nullopt)
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
    void spellFixPage();
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

void tst_PageScreenshots::spellFixPage()
{
    m_state->setCustomCorrections({CustomCorrection{QUuid::createUuid(), "abotu", "ABOUT", false},
                                   CustomCorrection{QUuid::createUuid(), "acomodate", "accommodate", true},
                                   CustomCorrection{QUuid::createUuid(), "<b>adn</b>", "<i>and</i>", false}});
    m_state->setDisabledBuiltins({QStringLiteral("absense"), QStringLiteral("accross")});
    CorrectionsView page(*m_state);
    page.resize(900, 760);
    // The add row with a protected word, so the amber message shows.
    page.wrongField()->setText(QStringLiteral("Dont"));
    page.rightField()->setText(QStringLiteral("don't"));
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    // The pointer over the learned custom row: its trash shows.
    for (int i = 0; i < page.model()->rowCount(); ++i) {
        if (page.model()->rowAt(i).learned) {
            const QRect r = page.listView()->visualRect(page.model()->index(i));
            QTest::mouseMove(page.listView()->viewport(), r.center());
            QTRY_COMPARE(page.listView()->hoveredId(), page.model()->rowAt(i).id);
        }
    }
    QVERIFY(savePage(page, QStringLiteral("settings-spellfix.png")));
}

void tst_PageScreenshots::suggestionsPage()
{
    SavedLearning s;
    s.corrections = {correction("recieve", "receive", 5, 1, AIVerdict::approved),
                     correction("teh", "the", 3, 2, AIVerdict::rejected), correction("adn", "and", 2, 3),
                     correction("wrnog", "wrong", 1, 4), correction("becuase", "because", 1, 5)};
    PhraseCandidate templated = phrase("Kind regards from Ann", 4, 1, AIVerdict::approved);
    templated.templateText = QStringLiteral("Kind regards from {field:name}");
    templated.aiTrigger = QStringLiteral("kra1");
    s.phrases = {templated, phrase("Let me know if you have <b>any</b> questions", 3, 2),
                 phrase("Thanks for getting back to me so quickly", 2, 3, AIVerdict::rejected),
                 phrase("see you at the standup", 1, 4)};
    QDir().mkpath(m_home->dataDir());
    TestHome::writeFile(m_home->dataFile("learning.json"), encodeLearning(s));

    OpenAIClient client(*m_state);
    AIVetter vetter(client);
    QVERIFY(vetter.saveKey(QStringLiteral("sk-test")));
    vetter.setLastError(QStringLiteral("OpenAI request failed: the server answered 500"));
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
    page.resize(1000, 1250);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    // A taken trigger tried on the second phrase: its amber line shows.
    PhraseSuggestionRow* second = page.phraseRows().at(1);
    second->triggerField()->setText(QStringLiteral(";sig"));
    second->accept();
    page.correctionRows().first()->setHovering(true);
    page.watchingRows().first()->setHovering(true);
    QVERIFY(savePage(page, QStringLiteral("settings-suggestions.png")));

    // The empty state, learning on, with the on-device vetting button.
    engine.clearAllLearnedData();
    vetter.setLastError(std::nullopt);
    m_state->setLearningEnabled(true);
    m_state->setAiVettingBackend(AIBackend::onDevice);
    page.resize(1000, 600);
    QVERIFY(savePage(page, QStringLiteral("settings-suggestions-empty.png")));
}

QUENVIL_X11_TEST_MAIN(tst_PageScreenshots)
#include "tst_PageScreenshots.moc"
