#include "engine/ContentRenderer.h"
#include "engine/ExpansionEngine.h"
#include "engine/ExpansionFeedback.h"
#include "engine/FillInController.h"
#include "engine/FillInForm.h"
#include "engine/ScriptRunner.h"
#include "engine/SnippetProducers.h"
#include "engine/TypingLearner.h"
#include "model/AppState.h"
#include "model/Text.h"

#include "FakeClipboard.h"
#include "FakeFrontApp.h"
#include "TestHome.h"

#include <QLineEdit>
#include <QRegularExpression>
#include <QTest>

#include <memory>

namespace {

struct Replacement
{
    int backspaces = 0;
    QList<Injector::Segment> segments;
    int cursorBack = 0;
};

struct RecordingFeedback : ExpansionFeedback
{
    QStringList hud, sounds;
    void showHud(const QString& m) override { hud << m; }
    void playSound(const QString& n) override { sounds << n; }
};

struct CountingLearner : TypingLearner
{
    int resets = 0;
    void resetTransientState() override { ++resets; }
};

struct FakeModel
{
    struct Request
    {
        AIBackend backend;
        QString system;
        QString user;
        SnippetProducers::AIModel::Reply reply;
    };
    bool ready = true;
    // Set: the model answers inside complete() itself.
    std::optional<QString> immediate;
    QList<AIBackend> asked;
    QList<Request> requests;

    SnippetProducers::AIModel model()
    {
        SnippetProducers::AIModel m;
        m.isReady = [this](AIBackend b) {
            asked << b;
            return ready;
        };
        m.complete = [this](AIBackend b, const QString& s, const QString& u,
                            SnippetProducers::AIModel::Reply r) {
            requests.append(Request{b, s, u, r});
            if (immediate)
                r(*immediate, {});
        };
        return m;
    }
};

KeyDown text(const QString& t)
{
    KeyDown k;
    k.text = t;
    return k;
}

Snippet snippet(const QString& trigger, const QString& content, SnippetKind kind = SnippetKind::text)
{
    Snippet s;
    s.trigger = trigger;
    s.content = content;
    s.kind = kind;
    return s;
}

constexpr quint64 kEditor = 1;
constexpr quint64 kBrowser = 2;

enum class Interference
{
    typedKey,
    frontChanged,
    frontChangedUnnoticed,
    bufferReset,
};

} // namespace

class tst_SnippetProducers : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void init();
    void cleanup();

    void shellOutput_data();
    void shellOutput();
    void shellBookkeeping();
    void shellCancelled_data();
    void shellCancelled();
    void shellDeclinedOrSilent();

    void aiDeclines_data();
    void aiDeclines();
    void aiTypesReply_data();
    void aiTypesReply();
    void aiFailedOrCancelled_data();
    void aiFailedOrCancelled();

    void fillInIgnoresClipboardTokens();

  private:
    void type(const QString& s)
    {
        for (const QString& c : Text::graphemes(s))
            m_engine->handleKeyDown(text(c));
    }
    void interfere(Interference what)
    {
        switch (what) {
        case Interference::typedKey:
            type(QStringLiteral("x"));
            break;
        case Interference::frontChanged:
            m_front->bringToFront(kBrowser);
            break;
        case Interference::frontChangedUnnoticed:
            // The window-system service has not told the engine yet.
            m_front->blockSignals(true);
            m_front->bringToFront(kBrowser);
            m_front->blockSignals(false);
            break;
        case Interference::bufferReset:
            m_engine->resetBuffer();
            break;
        }
    }
    void waitForScripts() { QTRY_COMPARE_WITH_TIMEOUT(m_runner->pendingCount(), 0, 5000); }
    QString typedText(int i = 0) const
    {
        QString out;
        for (const auto& s : m_replaced.at(i).segments)
            out += s.textValue();
        return out;
    }

    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<FakeClipboard> m_clipboard;
    std::unique_ptr<ContentRenderer> m_renderer;
    std::unique_ptr<ExpansionEngine> m_engine;
    std::unique_ptr<FakeFrontApp> m_front;
    std::unique_ptr<ScriptRunner> m_runner;
    std::unique_ptr<FillInController> m_fillIn;
    std::unique_ptr<SnippetProducers> m_producers;
    RecordingFeedback m_feedback;
    CountingLearner m_learner;
    FakeModel m_model;
    QList<Replacement> m_replaced;
};

void tst_SnippetProducers::init()
{
    m_home = std::make_unique<TestHome>();
    AppState::Options o = m_home->storeOptions();
    m_state = std::make_unique<AppState>(o);
    m_state->setSnippets({});
    m_state->setScriptSnippetsEnabled(true);
    m_state->setExpansionMode(ExpansionMode::delimiter);
    m_state->setSpellFixEnabled(false);
    m_state->setSoundEnabled(true);
    m_state->setSoundName(QStringLiteral("Tink"));
    m_state->setHudEnabled(true);
    m_state->setAiWritingBackend(AIBackend::openAI);

    m_clipboard = std::make_unique<FakeClipboard>();
    ContentRenderer::Options ro;
    ro.lookup = ContentRenderer::lookupIn(*m_state);
    ro.clipboard = m_clipboard.get();
    m_renderer = std::make_unique<ContentRenderer>(ro);

    m_replaced.clear();
    auto replace = [this](int b, const QList<Injector::Segment>& s, int c) { m_replaced.append({b, s, c}); };
    m_engine = std::make_unique<ExpansionEngine>(*m_state, replace, *m_renderer);

    m_front = std::make_unique<FakeFrontApp>();
    m_front->addWindow(kEditor, QStringLiteral("gedit"));
    m_front->addWindow(kBrowser, QStringLiteral("firefox"));
    m_front->bringToFront(kEditor);
    m_engine->setFrontBundleID(m_front->appKey());
    connect(m_front.get(), &FrontApp::frontChanged, m_engine.get(), &ExpansionEngine::handleFrontChanged);

    ScriptRunner::Options so;
    so.timeoutMs = 1000;
    m_runner = std::make_unique<ScriptRunner>(so);
    m_fillIn = std::make_unique<FillInController>(*m_state, *m_engine, *m_front, m_feedback, replace);
    m_producers = std::make_unique<SnippetProducers>(*m_state, *m_engine, *m_renderer, *m_front, m_feedback,
                                                     replace, *m_runner, *m_fillIn);
    m_model = FakeModel();
    m_producers->setAIModel(m_model.model());
    m_feedback = RecordingFeedback();
    m_learner = CountingLearner();
    m_engine->setCollaborators({&m_learner, nullptr, &m_feedback, m_producers.get()});
}

void tst_SnippetProducers::cleanup()
{
    m_producers.reset();
    m_fillIn.reset();
    m_runner.reset();
    m_engine.reset();
    m_front.reset();
    m_renderer.reset();
    m_clipboard.reset();
    m_state.reset();
    m_home.reset();
}

void tst_SnippetProducers::shellOutput_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("types");
    QTest::addColumn<QString>("typed");

    // Shell snippets always type the delimiter back after the output.
    QTest::newRow("year") << QStringLiteral("printf 2026") << true << QStringLiteral("2026 ");
    QTest::newRow("trailing newlines") << QStringLiteral("printf 'a\\n\\n'") << true << QStringLiteral("a ");
    QTest::newRow("inner newline kept")
        << QStringLiteral("printf 'a\\nb\\n'") << true << QStringLiteral("a\nb ");
    QTest::newRow("carriage return and line feed are one character")
        << QStringLiteral("printf 'x\\r\\n'") << true << QStringLiteral("x\r\n ");
    QTest::newRow("only a newline deletes the trigger")
        << QStringLiteral("echo") << true << QStringLiteral(" ");
    QTest::newRow("tokens are typed as written")
        << QStringLiteral("printf '{cursor}{key:tab}'") << true << QStringLiteral("{cursor}{key:tab} ");
    QTest::newRow("2 MiB: the first MiB") << QStringLiteral("head -c 2097152 /dev/zero | tr '\\0' a") << true
                                          << QString(1 << 20, QLatin1Char('a')) + QLatin1Char(' ');
    QTest::newRow("nothing printed") << QStringLiteral("true") << false << QString();
    QTest::newRow("not UTF-8") << QStringLiteral("printf 'ok\\377'") << false << QString();
    QTest::newRow("cap splits a character")
        << QStringLiteral("head -c 1048575 /dev/zero | tr '\\0' a; printf '\\303\\251'") << false
        << QString();
    QTest::newRow("time-out") << QStringLiteral("printf early; sleep 5") << false << QString();
}

void tst_SnippetProducers::shellOutput()
{
    QFETCH(QString, command);
    QFETCH(bool, types);
    QFETCH(QString, typed);
    m_state->setSnippets({snippet(QStringLiteral(";d"), command, SnippetKind::shell)});
    type(QStringLiteral(";d "));
    QVERIFY(m_replaced.isEmpty()); // never inside the keystroke
    QVERIFY(m_engine->buffer().isEmpty());
    waitForScripts();
    QCOMPARE(m_feedback.hud, QStringList());
    if (!types) {
        QVERIFY(m_replaced.isEmpty());
        return;
    }
    QCOMPARE(m_replaced.size(), 1);
    QCOMPARE(m_replaced[0].backspaces, 3);
    QCOMPARE(m_replaced[0].segments.size(), 1);
    QCOMPARE(typedText(), typed);
    QCOMPARE(m_replaced[0].cursorBack, 0);
}

void tst_SnippetProducers::shellBookkeeping()
{
    // keepDelimiter off: shell snippets still type the delimiter back.
    Snippet s = snippet(QStringLiteral(";hw"), QStringLiteral("echo hello world"), SnippetKind::shell);
    s.keepDelimiter = false;
    m_state->setSnippets({s});
    type(QStringLiteral(";hw,"));
    waitForScripts();
    QCOMPARE(m_replaced.size(), 1);
    QCOMPARE(m_replaced[0].backspaces, 4);
    QCOMPARE(typedText(), QStringLiteral("hello world,"));
    QCOMPARE(m_state->lastExpansion(), (AppState::LastExpansion{s.id, QStringLiteral("hello world,")}));
    QCOMPARE(m_state->statExpansions(), 1);
    QCOMPARE(m_state->statCharsSaved(), 11 - 4); // the output without the delimiter
    QCOMPARE(m_state->usageBySnippet().value(s.id), 1);
    QCOMPARE(m_state->usageByApp().value(QStringLiteral("gedit")), 1);
    QCOMPARE(m_feedback.sounds, QStringList{QStringLiteral("Tink")});
    QCOMPARE(m_feedback.hud, QStringList()); // a successful shell snippet says nothing
    QVERIFY(m_learner.resets > 0);

    // An output shorter than what it replaces saves nothing, never a negative count.
    m_state->setSnippets({snippet(QStringLiteral(";long"), QStringLiteral("printf x"), SnippetKind::shell)});
    m_state->setSoundEnabled(false);
    type(QStringLiteral(";long "));
    waitForScripts();
    QCOMPARE(m_state->statCharsSaved(), 7);
    QCOMPARE(m_state->statExpansions(), 2);
    QCOMPARE(m_feedback.sounds.size(), 1);
}

void tst_SnippetProducers::shellCancelled_data()
{
    QTest::addColumn<Interference>("what");
    QTest::addColumn<bool>("hud");
    QTest::newRow("typed on") << Interference::typedKey << true;
    QTest::newRow("another window in front") << Interference::frontChanged << true;
    QTest::newRow("front changed, engine not yet told") << Interference::frontChangedUnnoticed << true;
    QTest::newRow("buffer reset") << Interference::bufferReset << true;
    QTest::newRow("typed on, HUD off") << Interference::typedKey << false;
}

void tst_SnippetProducers::shellCancelled()
{
    QFETCH(Interference, what);
    QFETCH(bool, hud);
    m_state->setHudEnabled(hud);
    m_state->setSnippets(
        {snippet(QStringLiteral(";d"), QStringLiteral("sleep 0.2; printf late"), SnippetKind::shell)});
    type(QStringLiteral(";d "));
    interfere(what);
    waitForScripts();
    QVERIFY(m_replaced.isEmpty());
    QCOMPARE(m_feedback.hud, hud ? QStringList{QStringLiteral("Script snippet cancelled")} : QStringList());
    QCOMPARE(m_state->statExpansions(), 0);
    QVERIFY(!m_state->lastExpansion());
}

void tst_SnippetProducers::shellDeclinedOrSilent()
{
    // Switched off: the trigger is left alone and the engine goes on as with no match.
    m_state->setScriptSnippetsEnabled(false);
    m_state->setSnippets({snippet(QStringLiteral(";d"), QStringLiteral("printf no"), SnippetKind::shell)});
    type(QStringLiteral(";d "));
    QCOMPARE(m_runner->pendingCount(), 0);
    QCOMPARE(m_engine->buffer().text(), QStringLiteral(";d "));

    // A command that cannot start is silent as well.
    m_state->setScriptSnippetsEnabled(true);
    ScriptRunner::Options broken;
    broken.shell = QStringLiteral("/nonexistent/shell");
    ScriptRunner runner(broken);
    SnippetProducers producers(
        *m_state, *m_engine, *m_renderer, *m_front, m_feedback,
        [this](int b, const QList<Injector::Segment>& s, int c) {
            m_replaced.append({b, s, c});
        },
        runner, *m_fillIn);
    m_engine->setCollaborators({&m_learner, nullptr, &m_feedback, &producers});
    type(QStringLiteral(";d "));
    QTRY_COMPARE(runner.pendingCount(), 0);
    QTest::qWait(20);
    QVERIFY(m_replaced.isEmpty());
    QCOMPARE(m_feedback.hud, QStringList());
    m_engine->setCollaborators({&m_learner, nullptr, &m_feedback, m_producers.get()});
}

void tst_SnippetProducers::aiDeclines_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<int>("backend");
    QTest::addColumn<bool>("ready");
    QTest::addColumn<bool>("modelInstalled");

    const int openAI = int(AIBackend::openAI);
    QTest::newRow("back end off") << QStringLiteral("{ai:say hi}") << int(AIBackend::off) << true << true;
    QTest::newRow("not ready") << QStringLiteral("{ai:say hi}") << openAI << false << true;
    QTest::newRow("no model installed") << QStringLiteral("{ai:say hi}") << openAI << true << false;
    QTest::newRow("never closed") << QStringLiteral("Hi {ai:say {hi}") << openAI << true << true;
    QTest::newRow("only spaces") << QStringLiteral("Hi {ai: \t }") << openAI << true << true;
    QTest::newRow("empty clipboard leaves only spaces")
        << QStringLiteral("{ai: {clipboard} }") << openAI << true << true;
}

void tst_SnippetProducers::aiDeclines()
{
    QFETCH(QString, content);
    QFETCH(int, backend);
    QFETCH(bool, ready);
    QFETCH(bool, modelInstalled);
    m_state->setAiWritingBackend(AIBackend(backend));
    m_model.ready = ready;
    if (!modelInstalled)
        m_producers->setAIModel({});
    m_state->setSnippets({snippet(QStringLiteral(";ai"), content)});
    type(QStringLiteral(";ai "));
    QVERIFY(m_model.requests.isEmpty());
    QCOMPARE(m_feedback.hud, QStringList());
    QVERIFY(m_replaced.isEmpty());
    // No match as far as the engine is concerned: the delimiter joined the buffer.
    QCOMPARE(m_engine->buffer().text(), QStringLiteral(";ai "));
}

void tst_SnippetProducers::aiTypesReply_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("instruction");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("immediate");

    QTest::newRow("text around, clipboard inside")
        << QStringLiteral("Dear {ai:reword {clipboard} politely} Regards")
        << QStringLiteral("reword hey you politely") << QStringLiteral("Hello there")
        << QStringLiteral("Dear Hello there Regards ") << false;
    QTest::newRow("reply exactly as returned")
        << QStringLiteral("{ai:x}") << QStringLiteral("x") << QStringLiteral("  two\nlines\n")
        << QStringLiteral("  two\nlines\n ") << false;
    QTest::newRow("nested snippet in the instruction")
        << QStringLiteral("{ai:summarise {snippet:;notes}}") << QStringLiteral("summarise the notes")
        << QStringLiteral("S") << QStringLiteral("S ") << false;
    QTest::newRow("later tokens typed as written")
        << QStringLiteral("{ai:a}{cursor}{key:tab}{ai:b}{field:F}") << QStringLiteral("a")
        << QStringLiteral("R") << QStringLiteral("R{cursor}{key:tab}{ai:b}{field:F} ") << false;
    QTest::newRow("model answers at once") << QStringLiteral("{ai:quick}") << QStringLiteral("quick")
                                           << QStringLiteral("Q") << QStringLiteral("Q ") << true;
}

void tst_SnippetProducers::aiTypesReply()
{
    QFETCH(QString, content);
    QFETCH(QString, instruction);
    QFETCH(QString, reply);
    QFETCH(QString, typed);
    QFETCH(bool, immediate);
    m_clipboard->value = QStringLiteral("hey you");
    if (immediate)
        m_model.immediate = reply;
    const Snippet s = snippet(QStringLiteral(";ai"), content);
    m_state->setSnippets({s, snippet(QStringLiteral(";notes"), QStringLiteral("the notes"))});
    type(QStringLiteral(";ai "));

    QCOMPARE(m_model.requests.size(), 1);
    QCOMPARE(m_model.requests[0].backend, AIBackend::openAI);
    QCOMPARE(m_model.requests[0].system, SnippetProducers::aiSystemPrompt());
    QVERIFY(!m_model.requests[0].system.contains(QRegularExpression(QStringLiteral("(?i)\\bmac(os)?\\b"))));
    QCOMPARE(m_model.requests[0].user, instruction);
    QCOMPARE(m_feedback.hud, QStringList{QStringLiteral("\u2726 writing\u2026")});
    QVERIFY(m_engine->buffer().isEmpty());
    QVERIFY(m_replaced.isEmpty()); // also when the model answered inside the keystroke

    if (!immediate)
        m_model.requests[0].reply(reply, {});
    QTRY_COMPARE(m_replaced.size(), 1);
    QCOMPARE(m_replaced[0].backspaces, 4);
    QCOMPARE(typedText(), typed);
    QCOMPARE(m_replaced[0].cursorBack, 0);
    QCOMPARE(m_state->lastExpansion(), (AppState::LastExpansion{s.id, typed}));
    QCOMPARE(m_state->statExpansions(), 1);
    QCOMPARE(m_state->statCharsSaved(), std::max(Text::graphemeCount(typed) - 4, 0));
    QCOMPARE(m_state->usageBySnippet().value(s.id), 1);
    QCOMPARE(m_state->usageByApp().value(QStringLiteral("gedit")), 1);
    QCOMPARE(m_feedback.sounds, QStringList{QStringLiteral("Tink")});
    QCOMPARE(m_feedback.hud.size(), 1);

    // A second answer to the same request changes nothing.
    m_model.requests[0].reply(QStringLiteral("again"), {});
    QTest::qWait(10);
    QCOMPARE(m_replaced.size(), 1);
}

void tst_SnippetProducers::aiFailedOrCancelled_data()
{
    QTest::addColumn<bool>("fails");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<int>("interference"); // -1: none
    QTest::addColumn<bool>("hud");
    QTest::addColumn<QString>("message");

    const QString hi = QStringLiteral("hi");
    const QString nothing = QStringLiteral("AI returned nothing");
    QTest::newRow("failed") << true << QString() << -1 << true << QStringLiteral("AI snippet failed");
    QTest::newRow("typed on") << false << hi << int(Interference::typedKey) << true
                              << QStringLiteral("AI snippet cancelled");
    QTest::newRow("another window") << false << hi << int(Interference::frontChanged) << true
                                    << QStringLiteral("AI snippet cancelled");
    QTest::newRow("failed, HUD off") << true << QString() << -1 << false << QString();
    QTest::newRow("typed on, HUD off") << false << hi << int(Interference::typedKey) << false << QString();
    // A blank reply must not delete the trigger for the text around the token alone.
    QTest::newRow("empty reply") << false << QString() << -1 << true << nothing;
    QTest::newRow("only white space") << false << QStringLiteral("  \n\t\u00a0") << -1 << true << nothing;
    QTest::newRow("blank, HUD off") << false << QStringLiteral(" \n") << -1 << false << QString();
}

void tst_SnippetProducers::aiFailedOrCancelled()
{
    QFETCH(bool, fails);
    QFETCH(QString, reply);
    QFETCH(int, interference);
    QFETCH(bool, hud);
    QFETCH(QString, message);
    m_state->setHudEnabled(hud);
    m_state->setSnippets({snippet(QStringLiteral(";ai"), QStringLiteral("Dear {ai:say hi} Regards"))});
    type(QStringLiteral(";ai "));
    QCOMPARE(m_model.requests.size(), 1);
    if (interference >= 0)
        interfere(Interference(interference));
    if (fails)
        m_model.requests[0].reply(std::nullopt, QStringLiteral("The request timed out."));
    else
        m_model.requests[0].reply(reply, {});
    QTest::qWait(10);
    QVERIFY(m_replaced.isEmpty());
    const QStringList expected =
        hud ? QStringList{QStringLiteral("\u2726 writing\u2026"), message} : QStringList();
    QCOMPARE(m_feedback.hud, expected);
    QCOMPARE(m_state->statExpansions(), 0);
    QCOMPARE(m_state->statCharsSaved(), 0);
    QVERIFY(!m_state->lastExpansion());
    QVERIFY(m_state->usageBySnippet().isEmpty());
    QCOMPARE(m_feedback.sounds, QStringList());
}

void tst_SnippetProducers::fillInIgnoresClipboardTokens()
{
    // What was copied is typed as it is: its braces are neither fields nor defaults.
    m_clipboard->value = QStringLiteral("{field:Evil|x} {menu:Name|a}");
    m_state->setSnippets({snippet(QStringLiteral(";f"), QStringLiteral("{clipboard} / {field:Name}"))});
    type(QStringLiteral(";f "));
    FillInForm* form = m_fillIn->panel();
    QVERIFY(form);
    QVERIFY(m_engine->buffer().isEmpty());
    const QStringList rows = form->values().keys();
    QCOMPARE(rows, QStringList{QStringLiteral("Name")});
    qobject_cast<QLineEdit*>(form->editorFor(QStringLiteral("Name")))->setText(QStringLiteral("Ann"));
    emit form->insertRequested();
    QTRY_COMPARE(m_replaced.size(), 1);
    QCOMPARE(m_replaced[0].backspaces, 3);
    QCOMPARE(typedText(), QStringLiteral("{field:Evil|x} {menu:Name|a} / Ann "));
}

QTEST_MAIN(tst_SnippetProducers)
#include "tst_SnippetProducers.moc"
