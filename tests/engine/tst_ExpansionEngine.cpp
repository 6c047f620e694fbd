#include "engine/ContentRenderer.h"
#include "engine/DetourProducers.h"
#include "engine/ExpansionEngine.h"
#include "engine/ExpansionFeedback.h"
#include "engine/SuggestionDisplay.h"
#include "engine/TypingLearner.h"
#include "model/AppState.h"
#include "model/Text.h"

#include "TestHome.h"

#include <QTest>

#include <memory>

namespace {

struct Replacement
{
    int backspaces = 0;
    QString typed; // text segments joined, key segments as <Key>
    int cursorBack = 0;
};

struct RecordingLearner : TypingLearner
{
    bool active = false;
    QStringList calls;
    bool isLearningActive() const override { return active; }
    void appendToBuffer(const QString& c) override { calls << QStringLiteral("append:") + c; }
    void noteBackspace() override { calls << QStringLiteral("backspace"); }
    void noteWordBackspace() override { calls << QStringLiteral("wordBackspace"); }
    void evaluatePendingFix() override { calls << QStringLiteral("evaluate"); }
    void finalizeSegment() override { calls << QStringLiteral("finalize"); }
    void resetTransientState() override { calls << QStringLiteral("reset"); }
};

struct RecordingFeedback : ExpansionFeedback
{
    QStringList hud, sounds;
    void showHud(const QString& m) override { hud << m; }
    void playSound(const QString& n) override { sounds << n; }
};

struct RecordingSuggestions : SuggestionDisplay
{
    QString typed;
    int shown = 0, hidden = 0;
    QList<SuggestionEntry> entries;
    void show(const QString& t, const PrefixIndex& index, std::span<const int> rows) override
    {
        typed = t;
        entries.clear();
        for (int r : rows)
            entries.append(index.entry(r));
        ++shown;
    }
    void hide() override { ++hidden; }
};

KeyDown text(const QString& t)
{
    KeyDown k;
    k.text = t;
    return k;
}

KeyDown key(Key kk, Modifiers m = {})
{
    KeyDown k;
    k.key = kk;
    k.modifiers = m;
    return k;
}

Snippet snip(const QString& trigger, const QString& content)
{
    Snippet s;
    s.trigger = trigger;
    s.content = content;
    return s;
}

} // namespace

class tst_ExpansionEngine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void bufferEditing();
    void wordErase();
    void resetsAndDisabled_data();
    void resetsAndDisabled();
    void multiCharacterEvent();
    void matching_data();
    void matching();
    void replaceArguments_data();
    void replaceArguments();
    void bookkeeping();
    void declinedProducerContinuesAsNoMatch();
    void eventTailAfterExpansionIsRetyped();
    void spellingFixes_data();
    void spellingFixes();
    void spellingFixFeedback();
    void suggestions();

private:
    void type(const QString& s)
    {
        for (const QString& c : Text::graphemes(s))
            m_engine->handleKeyDown(c == QLatin1String("\t") ? key(Key::Tab) : text(c));
    }
    void setSnippets(const QList<Snippet>& s, const QList<SnippetGroup>& g = {})
    {
        m_state->setGroups(g);
        m_state->setSnippets(s);
    }
    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<ContentRenderer> m_renderer;
    std::unique_ptr<ExpansionEngine> m_engine;
    RecordingLearner m_learner;
    RecordingFeedback m_feedback;
    RecordingSuggestions m_suggestions;
    QList<Replacement> m_replaced;
};

void tst_ExpansionEngine::init()
{
    m_home = std::make_unique<TestHome>();
    AppState::Options o = m_home->storeOptions();
    m_state = std::make_unique<AppState>(o);
    m_state->setSnippets({});
    m_state->setSoundEnabled(false);
    m_renderer = std::make_unique<ContentRenderer>(ContentRenderer::Options{ContentRenderer::lookupIn(*m_state)});
    m_replaced.clear();
    m_engine = std::make_unique<ExpansionEngine>(
        *m_state,
        [this](int b, const QList<Injector::Segment>& segs, int c) {
            Replacement r{b, QString(), c};
            for (const auto& s : segs)
                r.typed += s.isText() ? s.textValue() : QStringLiteral("<") + keyName(s.keyValue()) + QLatin1Char('>');
            m_replaced.append(r);
        },
        *m_renderer);
    m_learner = RecordingLearner();
    m_feedback = RecordingFeedback();
    m_suggestions = RecordingSuggestions();
    m_engine->setCollaborators({&m_learner, &m_suggestions, &m_feedback, nullptr});
    m_engine->setFrontBundleID(QStringLiteral("gedit"));
}

void tst_ExpansionEngine::cleanup()
{
    m_engine.reset();
    m_renderer.reset();
    m_state.reset();
    m_home.reset();
}

void tst_ExpansionEngine::bufferEditing()
{
    m_state->setSpellFixEnabled(false);
    QString typed;
    for (int i = 0; i < 101; ++i)
        typed += QChar(u'a' + i % 26);
    type(typed);
    QCOMPARE(m_engine->buffer().size(), 100);
    QCOMPARE(m_engine->buffer().text(), typed.mid(1));

    m_engine->resetBuffer();
    m_learner.calls.clear();
    m_engine->handleKeyDown(key(Key::Backspace));
    QCOMPARE(m_learner.calls, QStringList{QStringLiteral("backspace")}); // also on an empty buffer
    type(QStringLiteral("ab"));
    m_engine->handleKeyDown(key(Key::Backspace));
    QCOMPARE(m_engine->buffer().text(), QStringLiteral("a"));

    // Tab is a delimiter that is never stored; Shift+Tab is Tab.
    m_engine->handleKeyDown(key(Key::Tab, Modifier::Shift));
    QCOMPARE(m_engine->buffer().text(), QStringLiteral("a"));
    // Shift and AltGr are typing, not shortcuts.
    KeyDown e = text(QStringLiteral("€"));
    e.modifiers = Modifier::AltGr | Modifier::Shift;
    m_engine->handleKeyDown(e);
    QCOMPARE(m_engine->buffer().text(), QStringLiteral("a€"));
}

void tst_ExpansionEngine::wordErase()
{
    m_state->setSpellFixEnabled(false);
    type(QStringLiteral("keep this word, "));
    m_learner.calls.clear();
    m_engine->handleKeyDown(key(Key::Backspace, Modifier::Control));
    QCOMPARE(m_engine->buffer().text(), QStringLiteral("keep this "));
    m_engine->handleKeyDown(key(Key::Backspace, Modifier::Alt));
    QCOMPARE(m_engine->buffer().text(), QStringLiteral("keep "));
    QCOMPARE(m_learner.calls, (QStringList{QStringLiteral("wordBackspace"), QStringLiteral("wordBackspace")}));
}

void tst_ExpansionEngine::resetsAndDisabled_data()
{
    QTest::addColumn<int>("what");
    QTest::addColumn<bool>("empties");
    QTest::newRow("Ctrl+letter") << 0 << true;
    QTest::newRow("Super+letter") << 1 << true;
    QTest::newRow("Left") << 2 << true;
    QTest::newRow("Return") << 3 << true;
    QTest::newRow("Escape") << 4 << true;
    QTest::newRow("mouse") << 5 << true;
    QTest::newRow("front change") << 6 << true;
    QTest::newRow("newline text") << 7 << true;
    QTest::newRow("F5 types nothing") << 8 << false;
    QTest::newRow("disabled") << 9 << false;
    QTest::newRow("paused") << 10 << false;
}

void tst_ExpansionEngine::resetsAndDisabled()
{
    QFETCH(int, what);
    QFETCH(bool, empties);
    type(QStringLiteral("abc"));
    const quint64 rev = m_engine->inputRevision();
    switch (what) {
    case 0: {
        KeyDown k = text(QStringLiteral("c"));
        k.modifiers = Modifier::Control;
        m_engine->handleKeyDown(k);
        break;
    }
    case 1: m_engine->handleKeyDown(key(Key::A, Modifier::Super)); break;
    case 2: m_engine->handleKeyDown(key(Key::Left)); break;
    case 3: m_engine->handleKeyDown(key(Key::Return)); break;
    case 4: m_engine->handleKeyDown(key(Key::Escape)); break;
    case 5: m_engine->handleMouseDown(); break;
    case 6:
        m_engine->handleFrontChanged(QStringLiteral("XTerm"));
        QCOMPARE(m_engine->frontBundleID(), QStringLiteral("XTerm"));
        break;
    case 7: m_engine->handleKeyDown(text(QStringLiteral("\n"))); break;
    case 8: m_engine->handleKeyDown(key(Key::F5)); break;
    case 9:
        m_state->setMasterEnabled(false);
        type(QStringLiteral("zz"));
        break;
    case 10:
        m_state->pause(15);
        m_engine->setFrontBundleID(QStringLiteral("gedit"));
        type(QStringLiteral("zz"));
        break;
    }
    QCOMPARE(m_engine->buffer().isEmpty(), empties);
    if (!empties && what != 10)
        QCOMPARE(m_engine->buffer().text(), QStringLiteral("abc"));
    QVERIFY(m_engine->inputRevision() > rev);
}

void tst_ExpansionEngine::multiCharacterEvent()
{
    m_state->setSpellFixEnabled(false);
    int refreshes = 0;
    m_state->setInlineSuggestionsEnabled(true);
    setSnippets({snip(QStringLiteral("zzlong"), QStringLiteral("x"))});
    m_engine->handleKeyDown(text(QStringLiteral("zz")));
    refreshes = m_suggestions.shown + m_suggestions.hidden;
    QCOMPARE(m_engine->buffer().text(), QStringLiteral("zz"));
    QCOMPARE(refreshes, 1); // one refresh after both characters
    QCOMPARE(m_suggestions.typed, QStringLiteral("zz"));
}

void tst_ExpansionEngine::matching_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("expansions");
    QTest::addColumn<QString>("output");
    QTest::newRow("longest first") << "delimiter" << "xbrb " << 1 << "LONG ";
    QTest::newRow("punctuation trigger instant") << "instant" << ";sig" << 1 << "SIG";
    QTest::newRow("letter trigger waits in instant") << "instant" << "brb" << 0 << "";
    QTest::newRow("letter trigger at delimiter") << "instant" << "brb " << 1 << "BRB ";
    QTest::newRow("tail of a word not expanded") << "delimiter" << "abrb " << 0 << "";
    QTest::newRow("after punctuation expanded") << "delimiter" << "(brb " << 1 << "BRB ";
    QTest::newRow("punctuation trigger after letter") << "instant" << "a;sig" << 1 << "SIG";
    QTest::newRow("whole word blocks") << "instant" << "a;ww" << 0 << "";
    QTest::newRow("whole word after space") << "instant" << " ;ww" << 1 << "WW";
    QTest::newRow("ignore case typed capitals") << "delimiter" << "OMW " << 1 << "on my way ";
    QTest::newRow("out of scope falls to shorter") << "delimiter" << ";;d " << 1 << "SHORT ";
    QTest::newRow("delimiter mode no instant") << "delimiter" << ";sig" << 0 << "";
    QTest::newRow("tab expands") << "delimiter" << "brb\t" << 1 << "BRB\t";
}

void tst_ExpansionEngine::matching()
{
    QFETCH(QString, mode);
    QFETCH(QString, input);
    QFETCH(int, expansions);
    QFETCH(QString, output);
    m_state->setExpansionMode(mode == QLatin1String("instant") ? ExpansionMode::instant : ExpansionMode::delimiter);
    SnippetGroup elsewhere;
    elsewhere.appMode = AppScopeMode::onlyIn;
    elsewhere.appList = {QStringLiteral("XTerm")};
    Snippet scoped = snip(QStringLiteral(";;d"), QStringLiteral("SCOPED"));
    scoped.groupID = elsewhere.id;
    Snippet ww = snip(QStringLiteral(";ww"), QStringLiteral("WW"));
    ww.wholeWord = true;
    Snippet omw = snip(QStringLiteral("omw"), QStringLiteral("on my way"));
    omw.ignoreCase = true;
    setSnippets({snip(QStringLiteral("brb"), QStringLiteral("BRB")), snip(QStringLiteral("xbrb"), QStringLiteral("LONG")),
                 snip(QStringLiteral(";sig"), QStringLiteral("SIG")), ww, omw, scoped,
                 snip(QStringLiteral(";d"), QStringLiteral("SHORT"))},
                {elsewhere});
    type(input);
    QCOMPARE(m_replaced.size(), expansions);
    if (expansions)
        QCOMPARE(m_replaced.first().typed, output);
}

void tst_ExpansionEngine::replaceArguments_data()
{
    QTest::addColumn<bool>("instant");
    QTest::addColumn<bool>("keep");
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("backspaces");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("cursorBack");
    QTest::newRow("instant") << true << true << "Best" << ";sig" << 4 << "Best" << 0;
    QTest::newRow("delimiter keep") << false << true << "Best" << ";sig " << 5 << "Best " << 0;
    QTest::newRow("delimiter drop") << false << false << "Best" << ";sig." << 5 << "Best" << 0;
    QTest::newRow("cursor instant") << true << true << "(x{cursor})" << ";sig" << 4 << "(x)" << 1;
    QTest::newRow("cursor keep one more") << false << true << "(x{cursor})" << ";sig " << 5 << "(x) " << 2;
    QTest::newRow("cursor drop") << false << false << "(x{cursor})" << ";sig " << 5 << "(x)" << 1;
}

void tst_ExpansionEngine::replaceArguments()
{
    QFETCH(bool, instant);
    QFETCH(bool, keep);
    QFETCH(QString, content);
    QFETCH(QString, input);
    QFETCH(int, backspaces);
    QFETCH(QString, typed);
    QFETCH(int, cursorBack);
    m_state->setExpansionMode(instant ? ExpansionMode::instant : ExpansionMode::delimiter);
    Snippet s = snip(QStringLiteral(";sig"), content);
    s.keepDelimiter = keep;
    setSnippets({s});
    type(input);
    QCOMPARE(m_replaced.size(), 1);
    QCOMPARE(m_replaced.first().backspaces, backspaces);
    QCOMPARE(m_replaced.first().typed, typed);
    QCOMPARE(m_replaced.first().cursorBack, cursorBack);
    QVERIFY(m_engine->buffer().isEmpty());
}

void tst_ExpansionEngine::bookkeeping()
{
    m_state->setSoundEnabled(true);
    m_state->setSoundName(QStringLiteral("Glass"));
    Snippet s = snip(QStringLiteral(";sig"), QStringLiteral("Best regards"));
    setSnippets({s});
    type(QStringLiteral(";sig"));
    QCOMPARE(m_state->statExpansions(), 1);
    QCOMPARE(m_state->statCharsSaved(), 12 - 4);
    QCOMPARE(m_state->usageBySnippet().value(s.id), 1);
    QCOMPARE(m_state->usageByApp().value(QStringLiteral("gedit")), 1);
    QCOMPARE(m_state->lastExpansion()->snippetID, s.id);
    QCOMPARE(m_state->lastExpansion()->text, QStringLiteral("Best regards"));
    QCOMPARE(m_feedback.hud, QStringList{QStringLiteral("\u2713 ;sig")});
    QCOMPARE(m_feedback.sounds, QStringList{QStringLiteral("Glass")});
    QVERIFY(m_learner.calls.contains(QStringLiteral("reset")));
}

void tst_ExpansionEngine::declinedProducerContinuesAsNoMatch()
{
    m_state->setExpansionMode(ExpansionMode::delimiter);
    Snippet shell = snip(QStringLiteral("teh"), QStringLiteral("echo hi"));
    shell.kind = SnippetKind::shell;
    setSnippets({shell});
    type(QStringLiteral("teh "));
    // No producer runs scripts here: the spelling fix takes its turn.
    QCOMPARE(m_replaced.size(), 1);
    QCOMPARE(m_replaced.first().typed, QStringLiteral("the "));
    m_state->setSpellFixEnabled(false);
    type(QStringLiteral("teh "));
    QCOMPARE(m_replaced.size(), 1);
    QCOMPARE(m_engine->buffer().text(), QStringLiteral("teh ")); // delimiter appended as usual

    // Fields with no form to ask for them, and AI with no back end: nothing is typed.
    m_engine->resetBuffer();
    setSnippets({snip(QStringLiteral(";f"), QStringLiteral("Dear {field:Name},")),
                 snip(QStringLiteral(";ai"), QStringLiteral("{ai:say hi}"))});
    m_state->setExpansionMode(ExpansionMode::instant);
    type(QStringLiteral(";f ;ai "));
    QCOMPARE(m_replaced.size(), 1);
    QCOMPARE(m_engine->buffer().text(), QStringLiteral(";f ;ai "));
}

void tst_ExpansionEngine::eventTailAfterExpansionIsRetyped()
{
    m_state->setExpansionMode(ExpansionMode::delimiter);
    setSnippets({snip(QStringLiteral("brb"), QStringLiteral("be right back"))});
    type(QStringLiteral("brb"));
    m_engine->handleKeyDown(text(QStringLiteral(" ok")));
    QCOMPARE(m_replaced.size(), 1);
    QCOMPARE(m_replaced.first().backspaces, 3 + 1 + 2);
    QCOMPARE(m_replaced.first().typed, QStringLiteral("be right back ok"));
}

void tst_ExpansionEngine::spellingFixes_data()
{
    QTest::addColumn<QString>("app");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("typed"); // empty: no fix
    QTest::addColumn<int>("backspaces");
    QTest::newRow("lower") << "gedit" << "teh " << "the " << 4;
    QTest::newRow("leading capital") << "gedit" << "Teh." << "The." << 4;
    QTest::newRow("all capitals") << "gedit" << "TEH " << "THE " << 4;
    QTest::newRow("apostrophe key") << "gedit" << "dont't " << "don't " << 7;
    QTest::newRow("typographic apostrophe") << "gedit" << "dont\u2019t " << "don't " << 7;
    QTest::newRow("two words value") << "gedit" << "thankyou " << "thank you " << 9;
    QTest::newRow("protected") << "gedit" << "im " << "" << 0;
    QTest::newRow("terminal") << "XTerm" << "teh " << "" << 0;
    QTest::newRow("excluded editor") << "Code" << "teh " << "" << 0;
    QTest::newRow("tab never") << "gedit" << "teh\t" << "" << 0;
    QTest::newRow("double capital") << "gedit" << "HEllo " << "Hello " << 6;
    QTest::newRow("plural abbreviation") << "gedit" << "CDs " << "" << 0;
    QTest::newRow("third capital") << "gedit" << "HELlo " << "" << 0;
    QTest::newRow("two letters") << "gedit" << "OK " << "" << 0;
    QTest::newRow("long word") << "gedit" << "AAbcdefghijklmnopqrstuvwxyz " << "" << 0;
}

void tst_ExpansionEngine::spellingFixes()
{
    QFETCH(QString, app);
    QFETCH(QString, input);
    QFETCH(QString, typed);
    QFETCH(int, backspaces);
    m_engine->setFrontBundleID(app);
    type(input);
    if (typed.isEmpty()) {
        QCOMPARE(m_replaced.size(), 0);
        return;
    }
    QCOMPARE(m_replaced.size(), 1);
    QCOMPARE(m_replaced.first().typed, typed);
    QCOMPARE(m_replaced.first().backspaces, backspaces);
    QCOMPARE(m_state->statCorrections(), 1);
}

void tst_ExpansionEngine::spellingFixFeedback()
{
    m_state->setSoundEnabled(true);
    type(QStringLiteral("teh "));
    QCOMPARE(m_feedback.hud, QStringList{QStringLiteral("teh \u2192 the")});
    QVERIFY(m_feedback.sounds.isEmpty()); // correction sound is off by default
    m_state->setCorrectionSoundEnabled(true);
    type(QStringLiteral("teh "));
    QCOMPARE(m_feedback.sounds.size(), 1);
    // A custom correction that differs only in case is never applied.
    CustomCorrection c{QUuid::createUuid(), QStringLiteral("Linux"), QStringLiteral("linux"), false};
    m_state->setCustomCorrections({c});
    type(QStringLiteral("linux "));
    QCOMPARE(m_replaced.size(), 2);
}

void tst_ExpansionEngine::suggestions()
{
    m_state->setExpansionMode(ExpansionMode::delimiter);
    SnippetGroup elsewhere;
    elsewhere.appMode = AppScopeMode::allExcept;
    elsewhere.appList = {QStringLiteral("gedit")};
    Snippet hidden = snip(QStringLiteral(";sighidden"), QStringLiteral("x"));
    hidden.groupID = elsewhere.id;
    setSnippets({snip(QStringLiteral(";sig"), QStringLiteral("a")), hidden, snip(QStringLiteral("sigma"), QStringLiteral("b"))},
                {elsewhere});
    type(QStringLiteral(";si"));
    QCOMPARE(m_suggestions.typed, QStringLiteral(";si"));
    QCOMPARE(m_suggestions.entries.size(), 1); // the allExcept group is out here
    const int shown = m_suggestions.shown;
    m_engine->resetBuffer();
    type(QStringLiteral("xsi")); // "si" is the tail of a word: no suggestion
    QCOMPARE(m_suggestions.shown, shown);
    m_state->setInlineSuggestionsEnabled(false);
    m_engine->resetBuffer();
    type(QStringLiteral(";si"));
    QCOMPARE(m_suggestions.shown, shown);
}

QTEST_GUILESS_MAIN(tst_ExpansionEngine)
#include "tst_ExpansionEngine.moc"
