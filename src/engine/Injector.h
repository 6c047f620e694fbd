#pragma once

#include "platform/Key.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

class KeySynth;
class Sleeper;

// The only way Quenvil writes into other applications: deletes what was typed, types the
// replacement, presses named keys and moves the caret back. Callers (the keystroke
// callback, panels, background producers) never wait: replace() queues a job and returns,
// and the jobs run one after another on the injector's own thread, so two expansions in
// quick succession are typed in order and never interleaved.
//
// A job's events go out back to back (see Pacing); waits, where a platform needs them, go
// through a Sleeper so tests can log them exactly.
class Injector
{
  public:
    // One unit of what is typed: a text, or one press of a named key.
    class Segment
    {
      public:
        enum class Kind
        {
            Text,
            Key
        };

        static Segment text(const QString& s) { return Segment(Kind::Text, s, Key::Other); }
        static Segment key(Key k) { return Segment(Kind::Key, QString(), k); }

        Kind kind() const { return m_kind; }
        bool isText() const { return m_kind == Kind::Text; }
        bool isKey() const { return m_kind == Kind::Key; }
        // The text to type; empty for a key.
        const QString& textValue() const { return m_text; }
        // The key to press; Key::Other for a text.
        Key keyValue() const { return m_key; }

        // "text:abc" or "key:Tab", for test output.
        QString describe() const;

        bool operator==(const Segment&) const = default;

      private:
        Segment(Kind kind, const QString& text, Key key) : m_kind(kind), m_text(text), m_key(key) {}

        Kind m_kind;
        QString m_text;
        Key m_key;
    };

    // The waits of a job, in microseconds; a zero wait is no wait at all.
    //
    // On X11 a job needs none of them (measured with the typing fidelity tests: xterm, Tk,
    // GTK 3 and Qt targets, five layouts): the server hands a target the job's events in
    // the order they were sent, after the trigger's own keys, and targets look symbols up
    // in order too. Worse, waits are what let the user's next keys land inside the
    // expansion. So the default is one burst; the fields stay for a platform (or a test)
    // that needs pacing, and the job's order of waits is kept for it.
    struct Pacing
    {
        long beforeDeletes = 0;
        long afterDelete = 0;
        long afterDeletes = 0;
        long aroundKey = 0;
        long afterChunk = 0;
        long beforeCursorMoves = 0;
        long afterCursorMove = 0;
    };
    // Most UTF-16 units one synthetic key event carries; applications accept no more.
    static constexpr int kChunkUnits = 20;

    // Both must outlive the injector; they are used from its thread only.
    Injector(KeySynth& synth, Sleeper& sleeper);
    Injector(KeySynth& synth, Sleeper& sleeper, Pacing pacing);
    // Types every job already queued, then stops the thread.
    ~Injector();

    Injector(const Injector&) = delete;
    Injector& operator=(const Injector&) = delete;

    // The instance start-up installed (the composition root owns it).
    static Injector* shared();
    static void setShared(Injector* injector);

    // Queues one job: `backspaces` Backspace presses, the segments in order, then
    // `cursorBack` Left-arrow presses. Returns at once; callable from any thread.
    void replace(int backspaces, const QList<Segment>& segments, int cursorBack);

    // Blocks until every queued job has been typed. For tests and orderly shutdown.
    void waitForIdle();

    // What a text segment becomes before it is chunked: each line break one Return.
    static QString normalizedLineBreaks(const QString& text);
    // The chunks a text is sent in: at most kChunkUnits units each, never splitting a
    // surrogate pair.
    static QStringList chunks(const QString& units);

  private:
    struct Job
    {
        int backspaces = 0;
        QList<Segment> segments;
        int cursorBack = 0;
    };

    void run();
    void type(const Job& job);
    void wait(long microseconds);
    static QString textOf(const Job& job);

    KeySynth& m_synth;
    Sleeper& m_sleeper;
    Pacing m_pacing;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Job> m_queue;
    bool m_busy = false;
    bool m_stopping = false;
    std::thread m_thread;
};
