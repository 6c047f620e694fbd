// Learning from keystrokes: scripts typed through the real typing engine, whose hooks feed
// the learning engine in the engine's own order, with a spell checker the test controls.
#include "ai/LearningEngine.h"
#include "engine/ContentRenderer.h"
#include "engine/ExpansionEngine.h"
#include "model/AppState.h"
#include "model/Text.h"

#include "FakeSecureInput.h"
#include "FakeSpellChecker.h"
#include "TestHome.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

// Script notation: "\b" is Backspace, "\x17" the word erase (Ctrl+Backspace), "\n"
// Return, "\t" Tab; everything else is typed as text, one character per key press.
KeyDown press(const QString& c)
{
    KeyDown k;
    if (c == QLatin1String("\b")) {
        k.key = Key::Backspace;
    } else if (c == QLatin1String("\x17")) {
        k.key = Key::Backspace;
        k.modifiers = Modifier::Control;
    } else if (c == QLatin1String("\n")) {
        k.key = Key::Return;
    } else if (c == QLatin1String("\t")) {
        k.key = Key::Tab;
    } else {
        k.text = c;
    }
    return k;
}

QString repeatWords(int length)
{
    // Words of five letters and a space, cut to `length` characters.
    QString s;
    for (int i = 0; s.size() < length; ++i)
        s += QString(5, QChar(u'a' + i % 26)) + QLatin1Char(' ');
    s.truncate(length);
    if (s.endsWith(QLatin1Char(' ')))
        s[s.size() - 1] = QLatin1Char('z');
    return s;
}

} // namespace

class tst_LearningFromTyping : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void init();
    void cleanup();

    void typoLearning_data();
    void typoLearning();
    void typographicApostropheIsStoredPlain();
    void learnedTwiceBecomesSuggestion();
    void editDistance_data();
    void editDistance();
    void phraseLearning_data();
    void phraseLearning();
    void retypedPhraseWithTrailingStopIsOnePhrase();
    void overflowedSegmentIsNeverLearned();
    void writingSamples_data();
    void writingSamples();
    void writingSamplesKeepTheNewest25();
    void gating_data();
    void gating();
    void secureInputDropsTheSegment();
    void gateFollowsTheApplicationAndTheExclusions();
    void boundaryOrder_data();
    void boundaryOrder();
    void timersStartTheAIWork();

  private:
    void type(const QString& script)
    {
        for (const QString& c : Text::graphemes(script))
            m_engine->handleKeyDown(press(c));
    }
    void makeLearner(LearningEngine::Options o = {})
    {
        m_learner.reset();
        m_learner = std::make_unique<LearningEngine>(
            *m_state,
            LearningEngine::Collaborators{&m_spell, &m_secure, [this] { return m_engine->frontBundleID(); }},
            o);
        m_engine->setCollaborators({m_learner.get(), nullptr, nullptr, nullptr});
    }
    QStringList corrections() const
    {
        QStringList out;
        for (const CorrectionCandidate& c : m_learner->correctionCandidates())
            out << QStringLiteral("%1>%2:%3").arg(c.wrong, c.right).arg(c.count);
        return out;
    }
    QStringList phrases() const
    {
        QStringList out;
        for (const PhraseCandidate& p : m_learner->phraseCandidates())
            out << QStringLiteral("%1:%2").arg(p.text).arg(p.count);
        return out;
    }

    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<ContentRenderer> m_renderer;
    std::unique_ptr<ExpansionEngine> m_engine;
    std::unique_ptr<LearningEngine> m_learner;
    FakeSpellChecker m_spell;
    FakeSecureInput m_secure;
    int m_replacements = 0;
};

void tst_LearningFromTyping::init()
{
    m_home = std::make_unique<TestHome>();
    AppState::Options o = m_home->storeOptions();
    m_state = std::make_unique<AppState>(o);
    m_state->setSnippets({});
    m_state->setSoundEnabled(false);
    m_state->setHudEnabled(false);
    m_state->setExpansionMode(ExpansionMode::delimiter);
    ContentRenderer::Options ro;
    ro.lookup = ContentRenderer::lookupIn(*m_state);
    m_renderer = std::make_unique<ContentRenderer>(ro);
    m_replacements = 0;
    m_engine = std::make_unique<ExpansionEngine>(
        *m_state, [this](int, const QList<Injector::Segment>&, int) { ++m_replacements; }, *m_renderer);
    m_engine->setFrontBundleID(QStringLiteral("gedit"));
    m_spell = FakeSpellChecker({QStringLiteral("plane"), QStringLiteral("house")});
    m_secure.setActive(false);
    m_secure.setOwnSecureFieldFocused(false);
    m_secure.setFocusedAccessibleIsPassword(false);
    makeLearner();
}

void tst_LearningFromTyping::cleanup()
{
    m_learner.reset();
    m_engine.reset();
    m_renderer.reset();
    m_state.reset();
    m_home.reset();
}

void tst_LearningFromTyping::typoLearning_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QStringList>("learned");
    QTest::addColumn<bool>("spellCheckerAsked");

    const QStringList none;
    QTest::newRow("plaen fixed to plane") << "plaen\b\bne "
                                          << "" << QStringList{"plaen>plane:1"} << true;
    QTest::newRow("upper case is lowered") << "Plaen\b\bne "
                                           << "" << QStringList{"plaen>plane:1"} << true;
    QTest::newRow("fix ended by a comma") << "plaen\b\bne,"
                                          << "" << QStringList{"plaen>plane:1"} << true;
    QTest::newRow("fix inside a sentence") << "the plaen\b\bne left "
                                           << "" << QStringList{"plaen>plane:1"} << true;
    QTest::newRow("only punctuation erased") << "plane-\b_ "
                                             << "" << none << false;
    QTest::newRow("only the delimiter retyped") << "plaen\b\b "
                                                << "" << none << false;
    QTest::newRow("erase on an empty buffer then type") << "\b\bplane "
                                                        << "" << none << false;
    QTest::newRow("same word retyped") << "plane\b\bne "
                                       << "" << none << false;

    // The distance allowed grows with the length of the wrong word: 1 below 7, 2 from 7
    // to 10, 3 from 11.
    QTest::newRow("6 letters, distance 1") << "strang\b\b\bong "
                                           << "" << QStringList{"strang>strong:1"} << true;
    QTest::newRow("6 letters, distance 2") << "abcdef\b\bxy "
                                           << "" << none << false;
    QTest::newRow("7 letters, distance 2") << "abcdefg\b\bxy "
                                           << "" << QStringList{"abcdefg>abcdexy:1"} << true;
    QTest::newRow("7 letters, distance 3") << "abcdefg\b\b\bxyz "
                                           << "" << none << false;
    QTest::newRow("10 letters, distance 2") << "abcdefghij\b\bxy "
                                            << "" << QStringList{"abcdefghij>abcdefghxy:1"} << true;
    QTest::newRow("10 letters, distance 3") << "abcdefghij\b\b\bxyz "
                                            << "" << none << false;
    QTest::newRow("11 letters, distance 3") << "abcdefghijk\b\b\bxyz "
                                            << "" << QStringList{"abcdefghijk>abcdefghxyz:1"} << true;
    QTest::newRow("11 letters, distance 4") << "abcdefghijk\b\b\b\bwxyz "
                                            << "" << none << false;
    QTest::newRow("2-letter wrong word") << "ab\bc "
                                         << "" << none << false;
    QTest::newRow("3-letter wrong word") << "abd\bc "
                                         << "" << QStringList{"abd>abc:1"} << true;
    QTest::newRow("25-letter word") << "abcdefghijklmnopqrstuvwxy\bz "
                                    << "" << none << false;
    QTest::newRow("24-letter word") << "abcdefghijklmnopqrstuvwx\bz "
                                    << ""
                                    << QStringList{"abcdefghijklmnopqrstuvwx>abcdefghijklmnopqrstuvwz:1"}
                                    << true;

    QTest::newRow("protected wrong word") << "dont\b't "
                                          << "" << none << false;
    QTest::newRow("already corrected") << "plaen\b\bne "
                                       << "indexed" << none << false;
    QTest::newRow("dismissed before") << "plaen\b\bne "
                                      << "dismissed" << none << false;
    QTest::newRow("correctly spelt") << "plaen\b\bne "
                                     << "known" << none << true;

    QTest::newRow("apostrophe in the right word") << "johns\b's "
                                                  << "" << QStringList{"johns>john's:1"} << true;
    QTest::newRow("apostrophe in the wrong word") << "can'y\bt "
                                                  << "" << none << false;

    QTest::newRow("word erase") << "hello plaen\x17plane "
                                << "" << QStringList{"plaen>plane:1"} << true;
    QTest::newRow("word erase over the space") << "plaen \x17plane "
                                               << "" << QStringList{"plaen>plane:1"} << true;
    QTest::newRow("word erase of a word with an apostrophe") << "the johns's\x17john's "
                                                             << "" << none << false;
}

void tst_LearningFromTyping::typoLearning()
{
    QFETCH(QString, script);
    QFETCH(QString, setup);
    QFETCH(QStringList, learned);
    QFETCH(bool, spellCheckerAsked);

    if (setup == QLatin1String("indexed")) {
        // The engine's own spelling fix would take the word first; with it off the
        // learner still must not learn what the index already corrects.
        m_state->setSpellFixEnabled(false);
        CustomCorrection c;
        c.wrong = QStringLiteral("plaen");
        c.right = QStringLiteral("plane");
        m_state->setCustomCorrections({c});
    } else if (setup == QLatin1String("dismissed")) {
        m_learner->rememberDismissal(QStringLiteral("c:plaen>plane"));
    } else if (setup == QLatin1String("known")) {
        m_spell.addKnown(QStringLiteral("plaen"));
    }
    m_spell.clearAsked();
    type(script);

    QCOMPARE(corrections(), learned);
    QCOMPARE(!m_spell.asked().isEmpty(), spellCheckerAsked);
    QVERIFY(!m_learner->hasPendingEdit());
}

void tst_LearningFromTyping::typographicApostropheIsStoredPlain()
{
    type(QStringLiteral("johns\b\u2019s "));
    QCOMPARE(corrections(), QStringList{"johns>john's:1"});
}

void tst_LearningFromTyping::learnedTwiceBecomesSuggestion()
{
    QSignalSpy changed(m_learner.get(), &LearningEngine::correctionCandidatesChanged);
    type(QStringLiteral("plaen\b\bne "));
    QCOMPARE(m_learner->suggestionCount(), 0);
    QCOMPARE(m_learner->inProgressCorrections().size(), 1);
    type(QStringLiteral("plaen\b\bne\n"));
    QCOMPARE(corrections(), QStringList{"plaen>plane:2"});
    QCOMPARE(m_learner->suggestionCount(), 1);
    QCOMPARE(m_learner->suggestedCorrections().first().wrong, QStringLiteral("plaen"));
    QCOMPARE(changed.count(), 2);
    QVERIFY(m_learner->savePending());
}

void tst_LearningFromTyping::editDistance_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("distance");
    QTest::newRow("equal") << "plane"
                           << "plane" << 0;
    QTest::newRow("empty") << ""
                           << "abc" << 3;
    QTest::newRow("substitution") << "plaen"
                                  << "plain" << 1;
    QTest::newRow("transposition") << "plaen"
                                   << "plane" << 1;
    QTest::newRow("no edit after a transposition") << "ca"
                                                   << "abc" << 3;
    QTest::newRow("kitten") << "kitten"
                            << "sitting" << 3;
    QTest::newRow("characters, not code units") << "e\u0301te"
                                                << "ete" << 1;
}

void tst_LearningFromTyping::editDistance()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, distance);
    QCOMPARE(LearningEngine::editDistance(a, b), distance);
    QCOMPARE(LearningEngine::editDistance(b, a), distance);
}

void tst_LearningFromTyping::phraseLearning_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("learned"); // empty: nothing

    QTest::newRow("14 characters") << "abc defg hijkl"
                                   << "";
    QTest::newRow("15 characters") << "abc defg hijklm"
                                   << "abc defg hijklm";
    QTest::newRow("15 after trimming") << "   abc defg hijklm  "
                                       << "abc defg hijklm";
    QTest::newRow("200 characters") << repeatWords(200) << repeatWords(200);
    QTest::newRow("201 characters") << repeatWords(201) << "";
    QTest::newRow("two words") << "abcdefghij klmnopqrstu"
                               << "";
    QTest::newRow("three words") << "abcdefghij klmnop qrstu"
                                 << "abcdefghij klmnop qrstu";
    QTest::newRow("spaces and tabs become single spaces") << "see  you\ttomorrow then"
                                                          << "see you tomorrow then";
    QTest::newRow("trailing punctuation removed") << "see you tomorrow then!? "
                                                  << "see you tomorrow then";
    QTest::newRow("14 once the stop is gone") << "abc defg hijkl."
                                              << "";
    QTest::newRow("mixed-case word with digits and symbol") << "my key is Abc123$x now"
                                                            << "";
    QTest::newRow("lower-case word with digits and symbol") << "my key is abc123$x now"
                                                            << "";
    QTest::newRow("upper and lower case with digits only") << "the code is AbcDef12 ok"
                                                           << "";
    QTest::newRow("seven-character mix is prose") << "my key is ab12$cd now"
                                                  << "my key is ab12$cd now";
    QTest::newRow("long plain words are prose") << "Wonderful Xylophones playing"
                                                << "Wonderful Xylophones playing";
    QTest::newRow("equals a snippet in another case") << "MEET ME AT THE STATION"
                                                      << "";
    QTest::newRow("dismissed") << "thanks for the help"
                               << "";
}

void tst_LearningFromTyping::phraseLearning()
{
    QFETCH(QString, typed);
    QFETCH(QString, learned);
    Snippet s;
    s.trigger = QStringLiteral("zzq");
    s.content = QStringLiteral("Meet me at the station");
    m_state->setSnippets({s});
    m_state->setSpellFixEnabled(false);
    m_learner->rememberDismissal(QStringLiteral("p:thanks for the help"));

    type(typed + QStringLiteral("\n"));
    QCOMPARE(phrases(), learned.isEmpty() ? QStringList() : QStringList{learned + QStringLiteral(":1")});
    if (!learned.isEmpty())
        QCOMPARE(m_learner->phraseCandidates().first().key, Text::lower(learned));
    QCOMPARE(m_learner->typedBufferText(), QString());
}

void tst_LearningFromTyping::retypedPhraseWithTrailingStopIsOnePhrase()
{
    type(QStringLiteral("See you tomorrow then.\nsee you tomorrow then\n"));
    QCOMPARE(phrases(), QStringList{"See you tomorrow then:2"});
    QCOMPARE(m_learner->suggestedPhrases().size(), 1);
}

void tst_LearningFromTyping::overflowedSegmentIsNeverLearned()
{
    const QString text = repeatWords(241);
    type(text.left(240));
    QVERIFY(!m_learner->segmentOverflowed());
    type(text.mid(240));
    QVERIFY(m_learner->segmentOverflowed());
    QCOMPARE(m_learner->typedBufferText(), text.mid(1));

    // The overflowing character also closes an edit that was open.
    type(QStringLiteral("\bq"));
    QVERIFY(m_learner->hasPendingEdit());
    type(QStringLiteral("x"));
    QVERIFY(!m_learner->hasPendingEdit());
    type(QStringLiteral("\n"));
    QVERIFY(m_learner->phraseCandidates().isEmpty());
    QVERIFY(!m_learner->segmentOverflowed());
}

void tst_LearningFromTyping::writingSamples_data()
{
    QTest::addColumn<bool>("toneOn");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("kept");

    const QString six40 = QStringLiteral("alpha bravo charlie delta echoes foxtrot");
    QTest::newRow("6 words, 40 characters") << true << six40 << true;
    QTest::newRow("with a full stop") << true << six40 + QStringLiteral(".") << true;
    QTest::newRow("39 characters") << true << "alpha bravo charlie delta echoes foxtro" << false;
    QTest::newRow("5 words") << true << "alphabet bravoing charlies deltas echoes" << false;
    QTest::newRow("tone profile off") << false << six40 << false;
    QTest::newRow("looks like code") << true << six40 + QStringLiteral(" pa55W0rd") << false;
    QTest::newRow("kept even when the phrase is a snippet")
        << true << "alpha bravo charlie delta echoes golfing" << true;
}

void tst_LearningFromTyping::writingSamples()
{
    QFETCH(bool, toneOn);
    QFETCH(QString, typed);
    QFETCH(bool, kept);
    m_state->setUseToneProfile(toneOn);
    m_state->setSpellFixEnabled(false);
    Snippet s;
    s.trigger = QStringLiteral("zzq");
    s.content = QStringLiteral("Alpha bravo charlie delta echoes golfing");
    m_state->setSnippets({s});

    type(typed + QStringLiteral("\n") + typed + QStringLiteral("\n"));
    QCOMPARE(m_learner->writingSamples(),
             kept ? QStringList{LearningEngine::strippingTrailingPunctuation(typed)} : QStringList());
}

void tst_LearningFromTyping::writingSamplesKeepTheNewest25()
{
    m_state->setUseToneProfile(true);
    m_state->setSpellFixEnabled(false);
    for (int i = 0; i < 26; ++i)
        type(QStringLiteral("sample number %1 of the writing that we keep\n").arg(QChar(u'a' + i)));
    QCOMPARE(m_learner->writingSamples().size(), 25);
    QCOMPARE(m_learner->writingSamples().first(),
             QStringLiteral("sample number b of the writing that we keep"));
    QCOMPARE(m_learner->writingSamples().last(),
             QStringLiteral("sample number z of the writing that we keep"));
}

void tst_LearningFromTyping::gating_data()
{
    QTest::addColumn<QString>("condition");
    QTest::newRow("terminal") << "terminal";
    QTest::newRow("excluded application") << "excluded";
    QTest::newRow("own excluded entry") << "ownExcluded";
    QTest::newRow("secure input: password field") << "password";
    QTest::newRow("secure input: keyboard grab") << "grab";
    QTest::newRow("secure input: our own key field") << "ownField";
    QTest::newRow("learning off") << "learningOff";
    QTest::newRow("expansion off") << "masterOff";
    QTest::newRow("paused") << "paused";
}

void tst_LearningFromTyping::gating()
{
    QFETCH(QString, condition);
    m_state->setUseToneProfile(true);
    if (condition == QLatin1String("terminal"))
        m_engine->setFrontBundleID(QStringLiteral("XTerm"));
    else if (condition == QLatin1String("excluded"))
        m_engine->setFrontBundleID(QStringLiteral("Code"));
    else if (condition == QLatin1String("ownExcluded")) {
        m_state->setSpellFixExcludedApps({QStringLiteral("gedit")});
    } else if (condition == QLatin1String("password"))
        m_secure.setFocusedAccessibleIsPassword(true);
    else if (condition == QLatin1String("grab"))
        m_secure.setActive(true);
    else if (condition == QLatin1String("ownField"))
        m_secure.setOwnSecureFieldFocused(true);
    else if (condition == QLatin1String("learningOff"))
        m_state->setLearningEnabled(false);
    else if (condition == QLatin1String("masterOff"))
        m_state->setMasterEnabled(false);
    else if (condition == QLatin1String("paused"))
        m_state->pause(10);
    // A pause stops the engine from calling the learner at all.
    if (condition != QLatin1String("paused"))
        QVERIFY(!m_learner->isLearningActive());

    const QString script = QStringLiteral("my secret plaen\b\bne is correct horse battery staple");
    type(script);
    QCOMPARE(m_learner->typedBufferText(), QString());
    QVERIFY(!m_learner->hasPendingEdit());
    type(QStringLiteral(" \n") + script + QStringLiteral("\n"));
    QVERIFY(m_learner->correctionCandidates().isEmpty());
    QVERIFY(m_learner->phraseCandidates().isEmpty());
    QVERIFY(m_learner->writingSamples().isEmpty());
    QVERIFY(m_spell.asked().isEmpty());
    m_learner->saveNow();
    const QByteArray file = TestHome::readFile(m_home->dataFile(QStringLiteral("learning.json")));
    QVERIFY(!file.contains("secret"));
}

void tst_LearningFromTyping::secureInputDropsTheSegment()
{
    m_state->setUseToneProfile(true);
    // The first keys of a password can arrive before the flag is set: they must not join
    // the segment that was being typed, nor be evaluated when the flag goes.
    type(QStringLiteral("my login name is bob and then hunter2"));
    m_secure.setFocusedAccessibleIsPassword(true);
    QCOMPARE(m_learner->typedBufferText(), QString());
    m_secure.setFocusedAccessibleIsPassword(false);
    type(QStringLiteral("\n"));
    QVERIFY(m_learner->phraseCandidates().isEmpty());
    QVERIFY(m_learner->writingSamples().isEmpty());

    // A pending fix is dropped the same way.
    type(QStringLiteral("plaen\b\b"));
    m_secure.setActive(true);
    m_secure.setActive(false);
    type(QStringLiteral("ne "));
    QVERIFY(m_learner->correctionCandidates().isEmpty());
}

void tst_LearningFromTyping::gateFollowsTheApplicationAndTheExclusions()
{
    QVERIFY(m_learner->isLearningActive());
    m_state->setSpellFixExcludedApps({QStringLiteral("gedit")});
    QVERIFY(!m_learner->isLearningActive());
    m_engine->setFrontBundleID(QStringLiteral("firefox"));
    QVERIFY(m_learner->isLearningActive());
    m_engine->setFrontBundleID(QStringLiteral("kitty"));
    QVERIFY(!m_learner->isLearningActive());
    m_state->setSpellFixExcludedApps({});
    QVERIFY(!m_learner->isLearningActive()); // terminals never learn
    m_engine->setFrontBundleID(QStringLiteral("gedit"));
    QVERIFY(m_learner->isLearningActive());
}

void tst_LearningFromTyping::boundaryOrder_data()
{
    QTest::addColumn<QString>("boundary");
    QTest::addColumn<QStringList>("corrections");
    QTest::addColumn<QStringList>("phrases");

    const QStringList fix{"plaen>plane:1"};
    const QStringList phrase{"we flew on the plane:1"};
    QTest::newRow("return") << "return" << fix << phrase;
    QTest::newRow("newline text") << "newlineText" << fix << phrase;
    QTest::newRow("mouse click") << "mouse" << fix << phrase;
    QTest::newRow("shortcut") << "shortcut" << fix << phrase;
    QTest::newRow("arrow key") << "arrow" << fix << phrase;
    QTest::newRow("switch to another application") << "switchAway" << fix << phrase;
    QTest::newRow("switch from a terminal") << "switchFromTerminal" << QStringList() << QStringList();
    QTest::newRow("expansion drops the segment") << "expansion" << fix << QStringList();
}

void tst_LearningFromTyping::boundaryOrder()
{
    QFETCH(QString, boundary);
    QFETCH(QStringList, corrections);
    QFETCH(QStringList, phrases);
    m_state->setSpellFixEnabled(false);
    Snippet s;
    s.trigger = QStringLiteral("zzq");
    s.content = QStringLiteral("expanded");
    m_state->setSnippets({s});
    if (boundary == QLatin1String("switchFromTerminal"))
        m_engine->setFrontBundleID(QStringLiteral("XTerm"));

    // The fix is still pending when the boundary comes: the boundary evaluates it first.
    type(QStringLiteral("we flew on the plaen\b\bne"));
    if (boundary == QLatin1String("return"))
        type(QStringLiteral("\n"));
    else if (boundary == QLatin1String("newlineText"))
        m_engine->handleKeyDown([] {
            KeyDown k;
            k.text = QStringLiteral("\r");
            return k;
        }());
    else if (boundary == QLatin1String("mouse"))
        m_engine->handleMouseDown();
    else if (boundary == QLatin1String("shortcut"))
        m_engine->handleKeyDown([] {
            KeyDown k;
            k.text = QStringLiteral("c");
            k.modifiers = Modifier::Control;
            return k;
        }());
    else if (boundary == QLatin1String("arrow"))
        m_engine->handleKeyDown([] {
            KeyDown k;
            k.key = Key::Left;
            return k;
        }());
    else if (boundary == QLatin1String("switchAway") || boundary == QLatin1String("switchFromTerminal"))
        m_engine->handleFrontChanged(boundary == QLatin1String("switchAway") ? QStringLiteral("XTerm")
                                                                             : QStringLiteral("gedit"));
    else if (boundary == QLatin1String("expansion")) {
        type(QStringLiteral(" zzq "));
        QCOMPARE(m_replacements, 1);
        type(QStringLiteral("\n"));
    }
    QCOMPARE(this->corrections(), corrections);
    QCOMPARE(this->phrases(), phrases);
    QCOMPARE(m_learner->typedBufferText(), QString());
}

void tst_LearningFromTyping::timersStartTheAIWork()
{
    LearningEngine::Options o;
    o.saveDelayMs = 20;
    o.autoVetDelayMs = 20;
    o.autoTemplateDelayMs = 20;
    o.toneRefreshDelayMs = 20;
    makeLearner(o);
    int vet = 0, templates = 0, tone = 0;
    m_learner->setAIWork({[&] { ++vet; }, [&] { ++templates; }, [&] { ++tone; }});
    m_state->setSpellFixEnabled(false);
    m_state->setUseToneProfile(true);

    // With every back end off, learning starts no AI work.
    type(QStringLiteral("plaen\b\bne first sample sentence of six words here\n"));
    QTRY_VERIFY(!m_learner->savePending());
    QTest::qWait(60);
    QCOMPARE(vet + templates + tone, 0);

    m_state->setAiVettingBackend(AIBackend::onDevice);
    m_state->setAiLearningBackend(AIBackend::onDevice);
    m_state->setAiWritingBackend(AIBackend::onDevice);
    for (int i = 0; i < 4; ++i)
        type(QStringLiteral("plaen\b\bne sample sentence number %1 with six words\n").arg(i));
    // A burst ends in one run of each, 20 ms after its last candidate (the tone profile
    // after the fifth sample).
    QTRY_COMPARE(vet, 1);
    QTRY_COMPARE(templates, 1);
    QTRY_COMPARE(tone, 1);
    QTest::qWait(60);
    QCOMPARE(vet, 1);
    QCOMPARE(templates, 1);
    QCOMPARE(tone, 1);

    // Clearing stops whatever is pending.
    type(QStringLiteral("plaen\b\bne sample sentence number nine with six words\n"));
    m_learner->clearAllLearnedData();
    QTest::qWait(80);
    QCOMPARE(vet, 1);
    QCOMPARE(templates, 1);
    QCOMPARE(tone, 1);
}

QTEST_GUILESS_MAIN(tst_LearningFromTyping)
#include "tst_LearningFromTyping.moc"
