#include "ai/AIReply.h"
#include "ai/AIRewriteController.h"
#include "ai/AIRewritePanel.h"
#include "engine/ExpansionFeedback.h"
#include "engine/HotKey.h"
#include "engine/TypingLearner.h"
#include "model/AppState.h"
#include "ui/PillButton.h"
#include "ui/ThemedTextField.h"

#include "FakeFrontApp.h"
#include "FakeHotKeyBackend.h"
#include "FakeInputMonitor.h"
#include "FakeSelectedText.h"
#include "TestHome.h"

#include <QAbstractButton>
#include <QPointer>
#include <QRegularExpression>
#include <QTest>

#include <memory>

namespace {

constexpr quint64 kEditor = 10;
constexpr quint64 kBrowser = 20;
constexpr quint64 kOwn = 30;
constexpr quint64 kSecondEditor = 40;

class RecordingFeedback : public ExpansionFeedback
{
  public:
    void showHud(const QString& message) override { hud.append(message); }
    void playSound(const QString& name) override { sounds.append(name); }
    QStringList hud;
    QStringList sounds;
};

class CountingLearner : public TypingLearner
{
  public:
    void resetTransientState() override { ++resets; }
    int resets = 0;
};

struct Request
{
    AIBackend backend;
    QString system;
    QString user;
    QPointer<AIReply> reply;
};

struct Typed
{
    int backspaces;
    QList<Injector::Segment> segments;
    int cursorBack;
};

} // namespace

class tst_AIRewrite : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void init();
    void cleanup();

    void presentIsGated_data();
    void presentIsGated();
    void quenvilInFrontOpensNothing();
    void panelShowsPreviewAndPresets();
    void voicePresetAndPrompt();
    void customInstructionIsTrimmedAndSentWithTheSelection();
    void rewriteButtonFollowsTheField();
    void replyIsTypedAndCounted_data();
    void replyIsTypedAndCounted();
    void failuresTypeNothing_data();
    void failuresTypeNothing();
    void userInputAfterTheRequestCancels_data();
    void userInputAfterTheRequestCancels();
    void replyBeforeTheFocusIsBackWaitsForIt_data();
    void replyBeforeTheFocusIsBackWaitsForIt();
    void cancelAndEmptyInstructionCloseQuietly();
    void presentWhileVisibleReusesThePanel();
    void hotKeyPresents();

  private:
    void openPanel(const QString& selection);

    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<FakeFrontApp> m_front;
    FakeSelectedText m_selected;
    std::unique_ptr<FakeInputMonitor> m_input;
    RecordingFeedback m_feedback;
    CountingLearner m_learner;
    QList<Request> m_requests;
    QList<Typed> m_typed;
    bool m_ready = true;
    std::optional<QString> m_tone;
    std::unique_ptr<AIRewriteController> m_controller;
};

void tst_AIRewrite::init()
{
    m_home = std::make_unique<TestHome>();
    AppState::Options o = m_home->storeOptions();
    o.deferSettingsWrites = false;
    m_state = std::make_unique<AppState>(o);
    m_state->setAiWritingBackend(AIBackend::openAI);
    m_state->setSoundEnabled(false);
    m_front = std::make_unique<FakeFrontApp>();
    m_front->addWindow(kEditor, QStringLiteral("Gedit"));
    m_front->addWindow(kBrowser, QStringLiteral("firefox"));
    m_front->addWindow(kOwn, QStringLiteral("quenvil"), true);
    m_front->addWindow(kSecondEditor, QStringLiteral("Gedit"));
    m_front->bringToFront(kEditor);
    m_input = std::make_unique<FakeInputMonitor>();
    m_input->start();
    m_selected = FakeSelectedText();
    m_feedback = RecordingFeedback();
    m_learner = CountingLearner();
    m_requests.clear();
    m_typed.clear();
    m_ready = true;
    m_tone.reset();

    AIRewriteController::Collaborators c;
    c.frontApp = m_front.get();
    c.selectedText = &m_selected;
    c.feedback = &m_feedback;
    c.replace = [this](int b, const QList<Injector::Segment>& s, int back) { m_typed.append({b, s, back}); };
    c.complete = [this](AIBackend backend, const QString& system, const QString& user) {
        auto* reply = new AIReply;
        m_requests.append({backend, system, user, reply});
        return reply;
    };
    c.isReady = [this](AIBackend) { return m_ready; };
    c.onDeviceStatus = [] { return QStringLiteral("The local model is not running"); };
    c.toneProfile = [this] { return m_tone; };
    c.learner = &m_learner;
    c.input = m_input.get();
    c.focusBackWaitMs = 200;
    m_controller = std::make_unique<AIRewriteController>(*m_state, c);
}

void tst_AIRewrite::cleanup()
{
    m_controller.reset();
    for (const Request& r : std::as_const(m_requests))
        delete r.reply.data();
    m_input.reset();
    m_front.reset();
    m_state.reset();
    m_home.reset();
}

void tst_AIRewrite::openPanel(const QString& selection)
{
    m_selected.text = selection;
    m_controller->present();
    QTRY_VERIFY(m_controller->panel());
    QVERIFY(m_controller->panel()->isVisible());
}

void tst_AIRewrite::presentIsGated_data()
{
    QTest::addColumn<AIBackend>("backend");
    QTest::addColumn<bool>("ready");
    QTest::addColumn<std::optional<QString>>("selection");
    QTest::addColumn<QStringList>("hud");

    const std::optional<QString> text = QStringLiteral("some text");
    QTest::newRow("writing back end off: nothing at all") << AIBackend::off << true << text << QStringList();
    QTest::newRow("OpenAI without a key")
        << AIBackend::openAI << false << text << QStringList{QStringLiteral("Add an OpenAI key in Settings")};
    QTest::newRow("on-device model not ready")
        << AIBackend::onDevice << false << text
        << QStringList{QStringLiteral("The local model is not running")};
    QTest::newRow("nothing selected") << AIBackend::openAI << true << std::optional<QString>()
                                      << QStringList{QStringLiteral("Select text to rewrite")};
    QTest::newRow("empty selection") << AIBackend::onDevice << true << std::optional<QString>(QString())
                                     << QStringList{QStringLiteral("Select text to rewrite")};
}

void tst_AIRewrite::presentIsGated()
{
    QFETCH(AIBackend, backend);
    QFETCH(bool, ready);
    QFETCH(std::optional<QString>, selection);
    QFETCH(QStringList, hud);

    m_state->setAiWritingBackend(backend);
    m_ready = ready;
    m_selected.text = selection;
    m_controller->present();
    QTest::qWait(20);
    QCOMPARE(m_feedback.hud, hud);
    QVERIFY(!m_controller->panel());
    QVERIFY(m_front->activations.isEmpty());
    QVERIFY(m_requests.isEmpty());
}

void tst_AIRewrite::quenvilInFrontOpensNothing()
{
    // A first use over the editor leaves it remembered as the target.
    openPanel(QStringLiteral("draft"));
    QMetaObject::invokeMethod(m_controller->panel(), "cancelRequested");
    QVERIFY(!m_controller->panel());
    m_feedback.hud.clear();

    // With one of Quenvil's own windows in front nothing of another program is selected:
    // no panel over the stale editor.
    m_front->bringToFront(kOwn);
    m_controller->present();
    QTest::qWait(20);
    QCOMPARE(m_feedback.hud, QStringList{QStringLiteral("Select text to rewrite")});
    QVERIFY(!m_controller->panel());
    QCOMPARE(m_selected.requests, 1);
}

void tst_AIRewrite::panelShowsPreviewAndPresets()
{
    QString selection;
    for (int i = 0; i < 20; ++i)
        selection += QStringLiteral("line %1 ab\n").arg(i, 2, 10, QLatin1Char('0')); // 11 characters each
    QCOMPARE(selection.size(), 220);
    openPanel(selection);
    AIRewritePanel* panel = m_controller->panel();

    QString flowing = selection;
    flowing.replace(QLatin1Char('\n'), QLatin1Char(' '));
    QCOMPARE(panel->previewShown(), flowing.left(160) + QChar(0x2026));
    QCOMPARE(AIRewritePanel::previewText(QStringLiteral("\n  short\ntext \n")), QStringLiteral("short text"));
    QCOMPARE(panel->windowTitle(), QStringLiteral("Rewrite with AI"));
    QCOMPARE(panel->width(), AIRewritePanel::panelWidth);
    QCOMPARE(m_front->activations.last(), quint64(panel->winId()));
    QTRY_VERIFY(panel->customField()->hasFocus() || !panel->isActiveWindow());

    QStringList shown;
    for (QAbstractButton* b : panel->presetButtons())
        shown.append(b->text());
    QCOMPARE(shown, AIRewriteController::basePresets());

    // A preset click sends the full selection, line breaks and all.
    panel->presetButtons().at(2)->click();
    QCOMPARE(m_requests.size(), 1);
    QCOMPARE(m_requests[0].user, QStringLiteral("Make it more concise:\n\n") + selection);
    QCOMPARE(m_requests[0].system, AIRewriteController::basePrompt());
    QCOMPARE(m_requests[0].backend, AIBackend::openAI);
    QVERIFY(!m_controller->panel());
    QCOMPARE(m_front->activations.last(), kEditor);
    QCOMPARE(m_feedback.hud, QStringList{QString::fromUtf8("\u2726 rewriting\u2026")});
}

void tst_AIRewrite::voicePresetAndPrompt()
{
    const QString base = AIRewriteController::basePrompt();
    QVERIFY(base.contains(QString::fromUtf8("original \u2014 no preamble")));
    QVERIFY(base.contains(QStringLiteral("user's instruction")));
    QVERIFY(!base.contains(QRegularExpression(QStringLiteral("(?i)\\bmac(os)?\\b"))));
    const QString voice = QStringLiteral("Rewrite in my voice");

    m_state->setUseToneProfile(true);
    QCOMPARE(m_controller->availablePresets(), AIRewriteController::basePresets());
    QCOMPARE(m_controller->systemPrompt(voice), base);

    m_tone = QStringLiteral("Short, warm sentences.");
    QCOMPARE(m_controller->availablePresets(), AIRewriteController::basePresets() + QStringList{voice});
    const QString withVoice =
        base + QStringLiteral("\n\nMatch this writer's personal voice:\nShort, warm sentences.");
    QCOMPARE(m_controller->systemPrompt(voice), withVoice);
    QCOMPARE(m_controller->systemPrompt(QStringLiteral("rewrite in my voice")), base);

    m_state->setUseToneProfile(false);
    QCOMPARE(m_controller->availablePresets(), AIRewriteController::basePresets());
    QCOMPARE(m_controller->systemPrompt(voice), base);

    // Typed by hand, with spaces around it, it counts as the preset.
    m_state->setUseToneProfile(true);
    openPanel(QStringLiteral("text"));
    QCOMPARE(m_controller->panel()->presetButtons().size(), 7);
    m_controller->panel()->customField()->setText(QStringLiteral("  Rewrite in my voice "));
    m_controller->panel()->rewriteButton()->click();
    QCOMPARE(m_requests.size(), 1);
    QCOMPARE(m_requests[0].system, withVoice);
    QCOMPARE(m_requests[0].user, QStringLiteral("Rewrite in my voice:\n\ntext"));
}

void tst_AIRewrite::customInstructionIsTrimmedAndSentWithTheSelection()
{
    const QString selection = QStringLiteral("  Hello\nworld  \n");
    openPanel(selection);
    m_controller->panel()->customField()->setText(QStringLiteral("  translate to Spanish \t"));
    m_controller->panel()->rewriteButton()->click();
    QCOMPARE(m_requests.size(), 1);
    QCOMPARE(m_requests[0].user, QStringLiteral("translate to Spanish:\n\n") + selection);
}

void tst_AIRewrite::rewriteButtonFollowsTheField()
{
    openPanel(QStringLiteral("text"));
    AIRewritePanel* panel = m_controller->panel();
    PillButton* rewrite = panel->rewriteButton();
    QVERIFY(!rewrite->isEnabled());
    QCOMPARE(rewrite->opacity(), 0.4);

    panel->customField()->setText(QStringLiteral("   "));
    QVERIFY(!rewrite->isEnabled());
    QTest::keyClick(panel->customField(), Qt::Key_Return);
    QVERIFY(m_requests.isEmpty());
    QVERIFY(m_controller->panel());

    panel->customField()->setText(QStringLiteral(" shorter"));
    QVERIFY(rewrite->isEnabled());
    QCOMPARE(rewrite->opacity(), 1.0);
    QTest::keyClick(panel->customField(), Qt::Key_Return);
    QCOMPARE(m_requests.size(), 1);
    QCOMPARE(m_requests[0].user, QStringLiteral("shorter:\n\ntext"));
}

void tst_AIRewrite::replyIsTypedAndCounted_data()
{
    QTest::addColumn<int>("selectionLength");
    QTest::addColumn<int>("replyLength");
    QTest::addColumn<bool>("sound");
    QTest::addColumn<qint64>("saved");

    QTest::newRow("shorter reply saves the difference") << 100 << 40 << true << qint64(60);
    QTest::newRow("longer reply saves nothing") << 100 << 150 << false << qint64(0);
    QTest::newRow("same length") << 7 << 7 << false << qint64(0);
}

void tst_AIRewrite::replyIsTypedAndCounted()
{
    QFETCH(int, selectionLength);
    QFETCH(int, replyLength);
    QFETCH(bool, sound);
    QFETCH(qint64, saved);

    m_state->setSoundEnabled(sound);
    m_state->setSoundName(QStringLiteral("Pop"));
    m_state->setStatExpansions(5);
    m_state->setStatCharsSaved(10);
    // Characters, not UTF-16 units: each "é" is one, written as two code points.
    const QString selection = QString(selectionLength, QLatin1Char('a'));
    QString reply;
    for (int i = 0; i < replyLength; ++i)
        reply += QStringLiteral("e\u0301");

    openPanel(selection);
    m_controller->panel()->presetButtons().first()->click();
    QCOMPARE(m_requests.size(), 1);
    m_requests[0].reply->finish(AIResult::success(reply));

    QTRY_COMPARE(m_typed.size(), 1);
    QCOMPARE(m_typed[0].backspaces, 0);
    QCOMPARE(m_typed[0].segments, QList<Injector::Segment>{Injector::Segment::text(reply)});
    QCOMPARE(m_typed[0].cursorBack, 0);
    QCOMPARE(m_state->statExpansions(), qint64(6));
    QCOMPARE(m_state->statCharsSaved(), 10 + saved);
    QCOMPARE(m_feedback.sounds, sound ? QStringList{QStringLiteral("Pop")} : QStringList());
    QCOMPARE(m_learner.resets, 1);
    // No success text: only the progress pill.
    QCOMPARE(m_feedback.hud, QStringList{AIRewriteController::rewritingMessage()});
}

void tst_AIRewrite::failuresTypeNothing_data()
{
    QTest::addColumn<bool>("error");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<quint64>("frontAtReply");
    QTest::addColumn<QString>("message");

    QTest::newRow("request failed") << true << QString() << kEditor << QStringLiteral("Rewrite failed");
    QTest::newRow("empty reply") << false << QString() << kEditor << QStringLiteral("AI returned nothing");
    QTest::newRow("switched to another application")
        << false << QStringLiteral("new text") << kBrowser
        << QString::fromUtf8("Rewrite cancelled \u2014 focus changed");
    QTest::newRow("Quenvil in front") << false << QStringLiteral("new text") << kOwn
                                      << QString::fromUtf8("Rewrite cancelled \u2014 focus changed");
    QTest::newRow("another window of the same application")
        << false << QStringLiteral("new text") << kSecondEditor
        << QString::fromUtf8("Rewrite cancelled \u2014 focus changed");
}

void tst_AIRewrite::failuresTypeNothing()
{
    QFETCH(bool, error);
    QFETCH(QString, reply);
    QFETCH(quint64, frontAtReply);
    QFETCH(QString, message);

    openPanel(QStringLiteral("the selected text"));
    m_controller->panel()->presetButtons().first()->click();
    m_front->bringToFront(frontAtReply);
    m_requests[0].reply->finish(error ? AIResult::failure(AIServiceError::timedOut())
                                      : AIResult::success(reply));
    QTRY_COMPARE(m_feedback.hud.size(), 2);
    QCOMPARE(m_feedback.hud.last(), message);
    QVERIFY(m_typed.isEmpty());
    QCOMPARE(m_state->statExpansions(), qint64(0));
    QCOMPARE(m_learner.resets, 0);
}

void tst_AIRewrite::replyBeforeTheFocusIsBackWaitsForIt_data()
{
    QTest::addColumn<quint64>("inFrontAtReply");
    QTest::addColumn<quint64>("cameToFront");
    QTest::addColumn<bool>("typed");

    // A model on this computer can answer before the window manager has activated the target.
    QTest::newRow("panel still in front, then the target") << kOwn << kEditor << true;
    QTest::newRow("no window in front, then the target") << quint64(0) << kEditor << true;
    QTest::newRow("panel still in front, then another application") << kOwn << kBrowser << false;
    QTest::newRow("the target never comes back") << kOwn << quint64(0) << false;
}

void tst_AIRewrite::replyBeforeTheFocusIsBackWaitsForIt()
{
    QFETCH(quint64, inFrontAtReply);
    QFETCH(quint64, cameToFront);
    QFETCH(bool, typed);

    openPanel(QStringLiteral("the selected text"));
    m_front->deferActivation = true;
    m_front->bringToFront(kOwn);
    m_controller->panel()->presetButtons().first()->click();
    QCOMPARE(m_front->activations.last(), kEditor);
    m_front->bringToFront(inFrontAtReply);
    m_requests[0].reply->finish(AIResult::success(QStringLiteral("new text")));
    QTest::qWait(20);
    QVERIFY(m_typed.isEmpty());
    if (cameToFront)
        m_front->bringToFront(cameToFront);
    if (typed) {
        QTRY_COMPARE(m_typed.size(), 1);
        QCOMPARE(m_feedback.hud.size(), 1);
    } else {
        QTRY_COMPARE(m_feedback.hud.size(), 2);
        QCOMPARE(m_feedback.hud.last(), AIRewriteController::focusChangedMessage());
        QTest::qWait(250); // past the wait: still nothing typed
        QVERIFY(m_typed.isEmpty());
    }
}

void tst_AIRewrite::userInputAfterTheRequestCancels_data()
{
    QTest::addColumn<quint64>("frontDuringInput");
    QTest::addColumn<bool>("click");
    QTest::addColumn<bool>("typed");

    QTest::newRow("typed on in the target") << kEditor << false << false;
    QTest::newRow("clicked in the target") << kEditor << true << false;
    // The press that chose the instruction can be reported after the request went out,
    // while the panel is still the active window: that is not the target's input.
    QTest::newRow("late press in Quenvil's panel") << kOwn << false << true;
}

void tst_AIRewrite::userInputAfterTheRequestCancels()
{
    QFETCH(quint64, frontDuringInput);
    QFETCH(bool, click);
    QFETCH(bool, typed);

    // Input before the rewrite was asked for is the user's own business.
    m_input->typeText(QStringLiteral("earlier"));
    openPanel(QStringLiteral("the selected text"));
    m_input->typeText(QStringLiteral("shorter"));
    m_controller->panel()->presetButtons().first()->click();
    QCOMPARE(m_requests.size(), 1);
    QCOMPARE(m_front->window(), kEditor);

    m_front->bringToFront(frontDuringInput);
    if (click)
        m_input->click();
    else
        m_input->typeText(QStringLiteral("more words"));
    m_front->bringToFront(kEditor);
    m_requests[0].reply->finish(AIResult::success(QStringLiteral("Short text.")));

    if (typed) {
        QTRY_COMPARE(m_typed.size(), 1);
        QCOMPARE(m_feedback.hud, QStringList{AIRewriteController::rewritingMessage()});
        return;
    }
    QTRY_COMPARE(m_feedback.hud.size(), 2);
    QCOMPARE(m_feedback.hud.last(), AIRewriteController::focusChangedMessage());
    QVERIFY(m_typed.isEmpty());
    QCOMPARE(m_state->statExpansions(), qint64(0));
    QCOMPARE(m_learner.resets, 0);

    // The next rewrite starts afresh: its reply is typed.
    openPanel(QStringLiteral("the selected text"));
    m_controller->panel()->presetButtons().first()->click();
    m_requests[1].reply->finish(AIResult::success(QStringLiteral("Short text.")));
    QTRY_COMPARE(m_typed.size(), 1);
}

void tst_AIRewrite::cancelAndEmptyInstructionCloseQuietly()
{
    openPanel(QStringLiteral("text"));
    m_front->activations.clear();
    QTest::keyClick(m_controller->panel(), Qt::Key_Escape);
    QVERIFY(!m_controller->panel());
    QCOMPARE(m_front->activations, QList<quint64>{kEditor});

    openPanel(QStringLiteral("text"));
    m_front->activations.clear();
    m_controller->panel()->cancelButton()->click();
    QVERIFY(!m_controller->panel());
    QCOMPARE(m_front->activations, QList<quint64>{kEditor});

    // The back end turned off while the panel was open: closed without a word.
    openPanel(QStringLiteral("text"));
    m_state->setAiWritingBackend(AIBackend::off);
    m_controller->panel()->presetButtons().first()->click();
    QVERIFY(!m_controller->panel());
    QVERIFY(m_requests.isEmpty());
    QVERIFY(m_feedback.hud.isEmpty());
}

void tst_AIRewrite::presentWhileVisibleReusesThePanel()
{
    openPanel(QStringLiteral("first"));
    QPointer<AIRewritePanel> panel = m_controller->panel();

    m_front->bringToFront(kBrowser);
    m_selected.text = QStringLiteral("second");
    m_controller->present();
    QTRY_COMPARE(m_selected.requests, 2);
    QTest::qWait(20);
    QCOMPARE(m_controller->panel(), panel.data());
    QCOMPARE(panel->selection(), QStringLiteral("first"));
    QCOMPARE(m_controller->previousWindow(), kEditor);

    // Without a selection the panel is left alone.
    m_selected.text.reset();
    m_controller->present();
    QTRY_COMPARE(m_feedback.hud, QStringList{AIRewriteController::noSelectionMessage()});
    QCOMPARE(m_controller->panel(), panel.data());
    QVERIFY(panel->isVisible());

    // Closed by the window manager it is only hidden; the next use builds a new one.
    panel->close();
    QVERIFY(!panel->isVisible());
    QCOMPARE(m_controller->panel(), panel.data());
    m_selected.text = QStringLiteral("third");
    m_controller->present();
    QTRY_VERIFY(m_controller->panel() != panel.data());
    QCOMPARE(m_controller->panel()->selection(), QStringLiteral("third"));
    QCOMPARE(m_controller->previousWindow(), kBrowser);
}

void tst_AIRewrite::hotKeyPresents()
{
    FakeHotKeyBackend backend;
    QVERIFY(m_controller->installHotKey(backend));
    QVERIFY(m_controller->hotKey());
    m_selected.text = QStringLiteral("text");
    QVERIFY(backend.press(Key::R, Modifier::Control | Modifier::Alt));
    QTRY_VERIFY(m_controller->panel());

    // The hot key goes with its owner, and a press in flight then does nothing.
    QVERIFY(backend.press(Key::R, Modifier::Control | Modifier::Alt));
    m_controller.reset();
    QCOMPARE(backend.registeredCount(), 0);
    QTest::qWait(20);

    FakeHotKeyBackend refusing;
    refusing.taken.insert({Key::R, Modifier::Control | Modifier::Alt});
    init();
    QVERIFY(!m_controller->installHotKey(refusing));
    QVERIFY(!m_controller->hotKey());
}

QTEST_MAIN(tst_AIRewrite)
#include "tst_AIRewrite.moc"
