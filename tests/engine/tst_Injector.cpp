#include "engine/Injector.h"

#include "FakeKeySynth.h"
#include "RecordingSleeper.h"

#include <QTest>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace {

// One ordered log of a job: the synth's calls with the waits between them. The sleeper
// notes how far the synth's log had got at each wait, so the two can be merged exactly.
class JobLog
{
  public:
    JobLog()
    {
        sleeper.onSleep = [this](long us) {
            std::lock_guard lock(m_mutex);
            m_waits.emplace_back(synth.log().size(), us);
        };
    }

    QStringList lines() const
    {
        const QStringList calls = synth.log();
        std::vector<std::pair<qsizetype, long>> waits;
        {
            std::lock_guard lock(m_mutex);
            waits = m_waits;
        }
        QStringList out;
        std::size_t w = 0;
        for (qsizetype i = 0; i <= calls.size(); ++i) {
            for (; w < waits.size() && waits[w].first == i; ++w)
                out << QStringLiteral("wait %1").arg(waits[w].second);
            if (i < calls.size())
                out << calls.at(i);
        }
        return out;
    }

    FakeKeySynth synth;
    RecordingSleeper sleeper;

  private:
    mutable std::mutex m_mutex;
    std::vector<std::pair<qsizetype, long>> m_waits;
};

// "t:abc" is a text segment, "k:Tab" a key press.
QList<Injector::Segment> segments(const QStringList& rows)
{
    QList<Injector::Segment> out;
    for (const QString& s : rows) {
        if (s.startsWith(QLatin1String("k:"))) {
            const QString name = s.mid(2);
            Key key = Key::Other;
            for (Key k : {Key::Tab, Key::Return, Key::Escape, Key::Left, Key::Right, Key::Up, Key::Down,
                          Key::Backspace})
                if (keyName(k) == name)
                    key = k;
            out << Injector::Segment::key(key);
        } else {
            out << Injector::Segment::text(s.mid(2));
        }
    }
    return out;
}

QStringList deletes(int n)
{
    QStringList out;
    for (int i = 0; i < n; ++i)
        out << QStringLiteral("key Backspace") << QStringLiteral("wait 1500");
    return out;
}

const QString kEmoji = QStringLiteral("\U0001F600"); // two UTF-16 units

// A paced job, to check where each kind of wait falls (the X11 default has none).
constexpr Injector::Pacing kPaced{12000, 1500, 3000, 8000, 1500, 3000, 1500};

} // namespace

class tst_Injector : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void jobLog_data();
    void jobLog();
    void defaultJobIsOneBurstWithItsTextAnnounced();
    void whatJobsKeepIsGivenBackOnceTypingPauses();
    void replaceReturnsBeforeTyping();
    void jobsRunInOrderNeverInterleaved();
    void synthThatCannotTypeCostsNothing();
    void destructorTypesWhatWasQueued();
};

void tst_Injector::jobLog_data()
{
    QTest::addColumn<int>("backspaces");
    QTest::addColumn<QStringList>("segments");
    QTest::addColumn<int>("cursorBack");
    QTest::addColumn<QStringList>("expected");

    const QString a20 = QString(20, u'a');
    QTest::newRow("41 units: 20, 20, 1; no deletes, no caret move")
        << 0 << QStringList{QStringLiteral("t:") + QString(41, u'a')} << 0
        << (QStringList{"begin", "wait 12000", "wait 3000", "text " + a20, "wait 1500", "text " + a20,
                        "wait 1500", "text a", "wait 1500", "end"});
    QTest::newRow("pair straddling unit 20 moves whole to the next chunk")
        << 0 << QStringList{QStringLiteral("t:") + QString(19, u'a') + kEmoji + QStringLiteral("bbbbb")} << 0
        << (QStringList{"begin", "wait 12000", "wait 3000", "text " + QString(19, u'a'), "wait 1500",
                        "text " + kEmoji + "bbbbb", "wait 1500", "end"});
    QTest::newRow("pair ending exactly at unit 20 stays")
        << 0 << QStringList{QStringLiteral("t:") + QString(18, u'a') + kEmoji + QStringLiteral("b")} << 0
        << (QStringList{"begin", "wait 12000", "wait 3000", "text " + QString(18, u'a') + kEmoji, "wait 1500",
                        "text b", "wait 1500", "end"});
    QTest::newRow("line breaks: CRLF and LF each one Return")
        << 0 << QStringList{QStringLiteral("t:a\r\nb\nc\r\n\r\nd")} << 0
        << (QStringList{"begin", "wait 12000", "wait 3000", "text a\rb\rc\r\rd", "wait 1500", "end"});
    QTest::newRow("deletes and caret moves")
        << 3 << QStringList{QStringLiteral("t:ab")} << 2
        << (QStringList{"begin", "wait 12000"} + deletes(3) +
            QStringList{"wait 3000", "text ab", "wait 1500", "wait 3000", "key Left", "wait 1500", "key Left",
                        "wait 1500", "end"});
    QTest::newRow("key between texts: quiet before and after")
        << 1 << QStringList{QStringLiteral("t:a"), QStringLiteral("k:Tab"), QStringLiteral("t:b")} << 0
        << (QStringList{"begin", "wait 12000"} + deletes(1) +
            QStringList{"wait 3000", "text a", "wait 1500", "wait 8000", "key Tab", "wait 8000", "text b",
                        "wait 1500", "end"});
    QTest::newRow("empty text posts nothing") << 0 << QStringList{QStringLiteral("t:")} << 0
                                              << QStringList{"begin", "wait 12000", "wait 3000", "end"};
    QTest::newRow("negative counts do nothing")
        << -2 << QStringList{QStringLiteral("t:x")} << -1
        << QStringList{"begin", "wait 12000", "wait 3000", "text x", "wait 1500", "end"};
    QTest::newRow("many deletes") << 40 << QStringList{} << 0
                                  << (QStringList{"begin", "wait 12000"} + deletes(40) +
                                      QStringList{"wait 3000", "end"});
}

void tst_Injector::jobLog()
{
    QFETCH(int, backspaces);
    QFETCH(QStringList, segments);
    QFETCH(int, cursorBack);
    QFETCH(QStringList, expected);

    JobLog log;
    Injector injector(log.synth, log.sleeper, kPaced);
    injector.replace(backspaces, ::segments(segments), cursorBack);
    injector.waitForIdle();
    QCOMPARE(log.lines(), expected);
}

// Without pacing a job has no waits at all (they let the user's next keys land inside the
// expansion), keeps its order, and tells the synth up front everything it will type.
void tst_Injector::defaultJobIsOneBurstWithItsTextAnnounced()
{
    JobLog log;
    Injector injector(log.synth, log.sleeper);
    injector.replace(2, ::segments({"t:" + QString(19, u'a') + kEmoji + "b\r\nc", "k:Tab", "t:é"}), 1);
    injector.waitForIdle();
    QCOMPARE(log.lines(), (QStringList{"begin", "key Backspace", "key Backspace", "text " + QString(19, u'a'),
                                       "text " + kEmoji + "b\rc", "key Tab", "text é", "key Left", "end"}));
    QCOMPARE(log.synth.announcedText(), QString(19, u'a') + kEmoji + "b\rcé");
    QVERIFY(log.sleeper.waits().empty());
}

// Jobs in quick succession keep what they borrowed (no settle between them); it goes
// back once no job has come for the synth's delay, and when the injector stops.
void tst_Injector::whatJobsKeepIsGivenBackOnceTypingPauses()
{
    JobLog log;
    log.synth.settleDelay = 300;
    {
        Injector injector(log.synth, log.sleeper);
        injector.replace(0, {Injector::Segment::text(QStringLiteral("a"))}, 0);
        injector.replace(0, {Injector::Segment::text(QStringLiteral("b"))}, 0);
        injector.waitForIdle();
        QCOMPARE(log.synth.settles(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(log.synth.settles(), 1, 5000);
        injector.replace(0, {Injector::Segment::text(QStringLiteral("c"))}, 0);
        injector.waitForIdle();
    }
    QCOMPARE(log.synth.settles(), 2);
    QCOMPARE(log.synth.typed(), QStringLiteral("abc"));
}

void tst_Injector::replaceReturnsBeforeTyping()
{
    // The first wait blocks the job until the test lets it go: replace() must already
    // have returned by then, with nothing typed yet.
    JobLog log;
    std::mutex m;
    std::condition_variable cv;
    bool released = false;
    bool waiting = false;
    log.sleeper.onSleep = [&](long) {
        std::unique_lock lock(m);
        waiting = true;
        cv.notify_all();
        cv.wait(lock, [&] { return released; });
    };
    Injector injector(log.synth, log.sleeper, kPaced);
    injector.replace(2, {Injector::Segment::text(QStringLiteral("hi"))}, 0);
    {
        std::unique_lock lock(m);
        cv.wait(lock, [&] { return waiting; });
        QCOMPARE(log.synth.log(), QStringList{QStringLiteral("begin")});
        released = true;
    }
    cv.notify_all();
    injector.waitForIdle();
    QCOMPARE(log.synth.typed(), QStringLiteral("<Backspace><Backspace>hi"));
}

void tst_Injector::jobsRunInOrderNeverInterleaved()
{
    JobLog log;
    Injector injector(log.synth, log.sleeper);
    const QString long1 = QString(100, u'x');
    injector.replace(1, {Injector::Segment::text(long1), Injector::Segment::key(Key::Return)}, 1);
    injector.replace(2, {Injector::Segment::text(QStringLiteral("second"))}, 0);
    injector.replace(0, {Injector::Segment::text(QStringLiteral("third"))}, 0);
    injector.waitForIdle();

    const QStringList calls = log.synth.log();
    QStringList outline;
    for (const QString& c : calls)
        if (c == QLatin1String("begin") || c == QLatin1String("end"))
            outline << c;
    QCOMPARE(outline, (QStringList{"begin", "end", "begin", "end", "begin", "end"}));
    QCOMPARE(log.synth.typed(), QStringLiteral("<Backspace>") + long1 +
                                    QStringLiteral("<Return><Left><Backspace><Backspace>secondthird"));
}

void tst_Injector::synthThatCannotTypeCostsNothing()
{
    JobLog log;
    log.synth.beginSucceeds = false;
    Injector injector(log.synth, log.sleeper);
    injector.replace(3, {Injector::Segment::text(QStringLiteral("abc"))}, 1);
    injector.waitForIdle();
    QCOMPARE(log.lines(), (QStringList{"begin", "end"}));
}

void tst_Injector::destructorTypesWhatWasQueued()
{
    JobLog log;
    {
        Injector injector(log.synth, log.sleeper);
        for (int i = 0; i < 5; ++i)
            injector.replace(0, {Injector::Segment::text(QString::number(i))}, 0);
    }
    QCOMPARE(log.synth.typed(), QStringLiteral("01234"));
}

QTEST_GUILESS_MAIN(tst_Injector)
#include "tst_Injector.moc"
