// Synthetic typing into our own target window and into xterm, paced the way the
// injector paces its jobs.
#include "TargetWindow.h"
#include "UserInput.h"
#include "XServerEnvironment.h"

#include "platform/ThreadSleeper.h"
#include "platform/x11/X11KeySynth.h"

#include <QTest>

#include <atomic>
#include <thread>

namespace {

// One piece of a job: text, or a named key.
struct Piece
{
    QString text;
    Key key = Key::Other;
};

// The injector's way: text in chunks of at most 20 code units, never splitting a
// surrogate pair, all of it in one burst after beginJob() was told the whole text; the
// bindings are given back (settle) once typing pauses.
bool runJob(KeySynth& synth, const QList<Piece>& pieces, bool settle = true)
{
    bool ok = true;
    std::thread worker([&] {
        QString all;
        for (const Piece& piece : pieces)
            all += piece.text;
        if (!synth.beginJob(all)) {
            ok = false;
            return;
        }
        for (const Piece& piece : pieces) {
            if (piece.key != Key::Other) {
                ok = synth.pressKey(piece.key) && ok;
                continue;
            }
            for (qsizetype start = 0; start < piece.text.size();) {
                qsizetype end = std::min(start + 20, piece.text.size());
                if (end < piece.text.size() && piece.text.at(end - 1).isHighSurrogate())
                    --end;
                ok = synth.typeText(piece.text.mid(start, end - start)) && ok;
                start = end;
            }
        }
        synth.endJob();
        if (settle)
            synth.settle();
    });
    worker.join();
    return ok;
}

const QString kOffLayout = QStringLiteral("é→✓ 😀 ¯\\_(ツ)_/¯ 中文 Ωμέγα");

} // namespace

class tst_X11KeySynth : public QObject
{
    Q_OBJECT

  private:
    ThreadSleeper m_sleeper;
    std::shared_ptr<InjectorIdentity> m_identity = std::make_shared<InjectorIdentity>();
    TargetWindow m_target;

    std::unique_ptr<X11KeySynth> synth(X11KeySynth::Options options = {})
    {
        return std::make_unique<X11KeySynth>(QByteArray(), m_identity, m_sleeper, options);
    }

    // Empties the target and gives it the focus.
    bool freshTarget()
    {
        if (!m_target.activate())
            return false;
        UserInput::key({QStringLiteral("ctrl+a"), QStringLiteral("BackSpace")});
        return m_target.waitForText(QString());
    }

  private slots:
    void initTestCase() { QVERIFY(m_target.start(QStringLiteral("QuenvilSynthTarget"))); }

    void typesExactly_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("ascii") << QStringLiteral(
            "The quick brown fox jumps over the lazy dog 0123456789 !@#$%^&*()_+-=[]{};':\",./<>?`~\\|");
        QTest::newRow("off the layout") << kOffLayout;
        QTest::newRow("mixed, repeated")
            << QStringLiteral("naïve café → ✓ ") + kOffLayout + QStringLiteral(" done ✓✓✓ 😀😀");
        QTest::newRow("more characters than spare key codes")
            << QStringLiteral("Καλημέρα κόσμε, ψυχή ΩΣ, Съешь же ещё этих мягких булок");
        QTest::newRow("surrogate pair across a chunk boundary") << QStringLiteral("0123456789abcdefghi😀xyz");
    }

    void typesExactly()
    {
        QFETCH(QString, text);
        QVERIFY(freshTarget());
        auto s = synth();
        QVERIFY(runJob(*s, {Piece{text}}));
        QVERIFY2(m_target.waitForText(text), qPrintable(m_target.text()));
    }

    void namedKeys()
    {
        QVERIFY(freshTarget());
        auto s = synth();
        // "ab", Left, "X" gives aXb with the caret after X; Return, Tab, "c", BackSpace.
        QVERIFY(runJob(*s, {Piece{QStringLiteral("ab")}, Piece{{}, Key::Left}, Piece{QStringLiteral("X")},
                            Piece{{}, Key::Return}, Piece{{}, Key::Tab}, Piece{QStringLiteral("c")},
                            Piece{{}, Key::Backspace}}));
        QVERIFY2(m_target.waitForText(QStringLiteral("aX\n\tb")), qPrintable(m_target.text()));
        // Line breaks and tabs inside text are typed as their keys.
        QVERIFY(freshTarget());
        QVERIFY(runJob(*s, {Piece{QStringLiteral("one\rtwo\nthree\tfour")}}));
        QVERIFY2(m_target.waitForText(QStringLiteral("one\ntwo\nthree\tfour")), qPrintable(m_target.text()));
    }

    void typesIntoXTerm()
    {
        XTermTarget xterm;
        QVERIFY(xterm.start());
        auto s = synth();
        QVERIFY(runJob(*s, {Piece{QStringLiteral("ASCII ok ") + kOffLayout}, Piece{{}, Key::Return},
                            Piece{{}, Key::Tab}, Piece{{}, Key::Backspace}, Piece{{}, Key::Left}}));
        const QByteArray text = (QStringLiteral("ASCII ok ") + kOffLayout).toUtf8();
        // A terminal's BackSpace and Left are whatever its settings say: DEL or ^H, and
        // the normal or the application cursor sequence.
        const QList<QByteArray> accepted{text + "\r\t\x7f\x1b[D", text + "\r\t\x08\x1b[D",
                                         text + "\r\t\x7f\x1bOD", text + "\r\t\x08\x1bOD"};
        QVERIFY(QTest::qWaitFor([&] { return accepted.contains(xterm.bytes()); }, 10000));
    }

    void keymapIsRestored()
    {
        QVERIFY(freshTarget());
        const QByteArray before = UserInput::keyboardMapping();
        auto s = synth();
        // Kept between jobs: the second job needs no mapping change.
        QVERIFY(runJob(*s, {Piece{kOffLayout}}, false));
        QVERIFY(s->lastJobMappingChanges() > 0);
        QVERIFY(runJob(*s, {Piece{kOffLayout}}, false));
        QCOMPARE(s->lastJobMappingChanges(), 0);
        QVERIFY(m_target.waitForText(kOffLayout + kOffLayout));
        QVERIFY(UserInput::keyboardMapping() != before);
        s->settle();
        QCOMPARE(UserInput::keyboardMapping(), before);
    }

    // More distinct characters than spare key codes: slots are reused, after waiting,
    // and nothing is lost or swapped.
    void smallPoolReusesSlots()
    {
        QVERIFY(freshTarget());
        const QByteArray before = UserInput::keyboardMapping();
        X11KeySynth::Options options;
        options.poolLimit = 2;
        auto s = synth(options);
        const QString text = QStringLiteral("αβγδεζηθ ✓→←↑↓ αβ");
        QVERIFY(runJob(*s, {Piece{text}}));
        QVERIFY(s->poolSize() == 2);
        QVERIFY2(m_target.waitForText(text), qPrintable(m_target.text()));
        QCOMPARE(UserInput::keyboardMapping(), before);
    }

    // A job whose characters are not bound yet takes the slots of an earlier job's
    // characters before its first key, not between two keys of its text (Tk, for one,
    // would type the old character there).
    void earlierBindingsGiveWayUpFront()
    {
        QVERIFY(freshTarget());
        const QByteArray before = UserInput::keyboardMapping();
        X11KeySynth::Options options;
        options.poolLimit = 2;
        options.restoreDelayMs = 60;
        auto s = synth(options);
        QVERIFY(runJob(*s, {Piece{QStringLiteral("αβγδ ")}}, false));
        QTest::qWait(100);
        QVERIFY(runJob(*s, {Piece{QStringLiteral("✓→←↑ ")}}, false));
        QVERIFY(s->lastJobMappingChanges() > 0);
        QCOMPARE(s->lastJobRebindsInText(), 0);
        QTest::qWait(100);
        // Half of it is still bound: only the other half moves.
        QVERIFY(runJob(*s, {Piece{QStringLiteral("✓→αβ")}}, false));
        QCOMPARE(s->lastJobRebindsInText(), 0);
        QVERIFY2(m_target.waitForText(QStringLiteral("αβγδ ✓→←↑ ✓→αβ")), qPrintable(m_target.text()));
        s->settle();
        QCOMPARE(UserInput::keyboardMapping(), before);
    }

    // Whatever the user's hands do, the text arrives as asked.
    void heldShiftAndCapsLockDoNotChangeTheText()
    {
        QVERIFY(freshTarget());
        XTestKeyboard user;
        QVERIFY(user.isOpen());
        user.press("Shift_L");
        auto s = synth();
        QVERIFY(runJob(*s, {Piece{QStringLiteral("hello World é")}}));
        user.release("Shift_L");
        QVERIFY2(m_target.waitForText(QStringLiteral("hello World é")), qPrintable(m_target.text()));

        QVERIFY(freshTarget());
        QVERIFY(UserInput::key({QStringLiteral("Caps_Lock")}));
        QVERIFY(runJob(*s, {Piece{QStringLiteral("hello World")}}));
        QVERIFY2(m_target.waitForText(QStringLiteral("hello World")), qPrintable(m_target.text()));
        // The user's Caps Lock is theirs again after the job.
        QVERIFY(UserInput::key({QStringLiteral("a")}));
        QVERIFY(m_target.waitForText(QStringLiteral("hello WorldA")));
        QVERIFY(UserInput::key({QStringLiteral("Caps_Lock")}));
    }

    // The trigger's last key (or the space after a misspelling) is often still down when
    // the job types: the same character in the text must arrive all the same.
    void keysTheUserStillHoldsArrive()
    {
        QVERIFY(freshTarget());
        XTestKeyboard user;
        QVERIFY(user.isOpen());
        user.press("l");
        user.press("space");
        auto s = synth();
        QVERIFY(runJob(*s, {Piece{QStringLiteral("hello world, all well")}}));
        user.release("space");
        user.release("l");
        // The user's own presses typed "l" and " " before the job.
        QVERIFY2(m_target.waitForText(QStringLiteral("l hello world, all well")), qPrintable(m_target.text()));
        QVERIFY(s->lastJobMappingChanges() <= 2);
    }

    // Another client typing for the user half way through a job: its key follows the job
    // instead of landing inside it. Off-layout text, so the job also lets the server go
    // once (for the mapping change) before its text, and holds it again.
    void otherClientsKeysFollowTheJob()
    {
        QVERIFY(freshTarget());
        auto s = synth();
        std::unique_ptr<QProcess> user;
        std::atomic<bool> halfWay = false;
        std::atomic<bool> userStarted = false;
        const QString first = QStringLiteral("ab é→ ");
        const QString second = QStringLiteral("✓ cd");
        std::thread worker([&] {
            if (s->beginJob(first + second) && s->typeText(first)) {
                halfWay = true;
                // Time for the other client to send its key, which the server holds.
                while (!userStarted)
                    std::this_thread::yield();
                std::this_thread::sleep_for(std::chrono::milliseconds(400));
                s->typeText(second);
            }
            s->endJob();
            s->settle();
        });
        const bool reached = QTest::qWaitFor([&] { return bool(halfWay); }, 5000);
        if (reached)
            user = UserInput::xdotoolAsync({QStringLiteral("key"), QStringLiteral("x")});
        userStarted = true;
        worker.join();
        QVERIFY(reached);
        QVERIFY(user && user->waitForFinished(10000));
        QVERIFY2(m_target.waitForText(first + second + QLatin1Char('x')), qPrintable(m_target.text()));
    }

    void noDisplayNoJob()
    {
        X11KeySynth s(QByteArray(":4093"), m_identity, m_sleeper, {});
        QVERIFY(!s.beginJob());
        QVERIFY(!s.typeText(QStringLiteral("x")));
        s.endJob();
    }
};

QUENVIL_X11_TEST_MAIN(tst_X11KeySynth)
#include "tst_X11KeySynth.moc"
