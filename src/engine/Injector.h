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
// The waits between presses are what target applications need to keep up with synthetic
// input; they go through a Sleeper so tests can log them exactly.
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

    // Pacing of a job, in microseconds.
    static constexpr long kWaitBeforeDeletes = 12000;
    static constexpr long kWaitAfterDelete = 1500;
    static constexpr long kWaitAfterDeletes = 3000;
    static constexpr long kWaitAroundKey = 8000;
    static constexpr long kWaitAfterChunk = 1500;
    static constexpr long kWaitBeforeCursorMoves = 3000;
    static constexpr long kWaitAfterCursorMove = 1500;
    // Most UTF-16 units one synthetic key event carries; applications accept no more.
    static constexpr int kChunkUnits = 20;

    // Both must outlive the injector; they are used from its thread only.
    Injector(KeySynth& synth, Sleeper& sleeper);
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

    KeySynth& m_synth;
    Sleeper& m_sleeper;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Job> m_queue;
    bool m_busy = false;
    bool m_stopping = false;
    std::thread m_thread;
};
