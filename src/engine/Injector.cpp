#include "engine/Injector.h"

#include "platform/KeySynth.h"
#include "platform/Sleeper.h"

#include <pthread.h>

namespace {
Injector* g_shared = nullptr;
}

QString Injector::Segment::describe() const
{
    if (isKey())
        return QStringLiteral("key:") + keyName(m_key);
    return QStringLiteral("text:") + m_text;
}

Injector::Injector(KeySynth& synth, Sleeper& sleeper) : m_synth(synth), m_sleeper(sleeper)
{
    m_thread = std::thread([this] {
        pthread_setname_np(pthread_self(), "quenvil.inject");
        run();
    });
}

Injector::~Injector()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
    if (g_shared == this)
        g_shared = nullptr;
}

Injector* Injector::shared()
{
    return g_shared;
}
void Injector::setShared(Injector* injector)
{
    g_shared = injector;
}

void Injector::replace(int backspaces, const QList<Segment>& segments, int cursorBack)
{
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(Job{backspaces, segments, cursorBack});
    }
    m_wake.notify_one();
}

void Injector::waitForIdle()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_queue.empty() && !m_busy; });
}

void Injector::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
        if (m_queue.empty())
            return; // stopping, and everything queued has been typed
        Job job = std::move(m_queue.front());
        m_queue.pop_front();
        m_busy = true;
        lock.unlock();
        type(job);
        lock.lock();
        m_busy = false;
        if (m_queue.empty())
            m_idle.notify_all();
    }
}

QString Injector::normalizedLineBreaks(const QString& text)
{
    QString s = text;
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\r"));
    s.replace(QLatin1Char('\n'), QLatin1Char('\r'));
    return s;
}

QStringList Injector::chunks(const QString& units)
{
    QStringList out;
    const qsizetype count = units.size();
    qsizetype start = 0;
    while (start < count) {
        qsizetype end = std::min<qsizetype>(start + kChunkUnits, count);
        if (start + kChunkUnits < count && units.at(end - 1).isHighSurrogate())
            end = start < end - 1 ? end - 1 : end + 1;
        out << units.mid(start, end - start);
        start = end;
    }
    return out;
}

void Injector::type(const Job& job)
{
    // A synth that cannot type (no display) gets no presses and costs no waits; the job
    // still ends, so whatever it borrowed is given back.
    if (!m_synth.beginJob()) {
        m_synth.endJob();
        return;
    }
    // A press the window system refuses is skipped and the job goes on: stopping half way
    // would leave the trigger half deleted.
    m_sleeper.sleepMicroseconds(kWaitBeforeDeletes);
    for (int i = 0; i < job.backspaces; ++i) {
        m_synth.pressKey(Key::Backspace);
        m_sleeper.sleepMicroseconds(kWaitAfterDelete);
    }
    m_sleeper.sleepMicroseconds(kWaitAfterDeletes);
    for (const Segment& seg : job.segments) {
        if (seg.isKey()) {
            m_sleeper.sleepMicroseconds(kWaitAroundKey);
            m_synth.pressKey(seg.keyValue());
            m_sleeper.sleepMicroseconds(kWaitAroundKey);
            continue;
        }
        for (const QString& chunk : chunks(normalizedLineBreaks(seg.textValue()))) {
            m_synth.typeText(chunk);
            m_sleeper.sleepMicroseconds(kWaitAfterChunk);
        }
    }
    if (job.cursorBack > 0) {
        m_sleeper.sleepMicroseconds(kWaitBeforeCursorMoves);
        for (int i = 0; i < job.cursorBack; ++i) {
            m_synth.pressKey(Key::Left);
            m_sleeper.sleepMicroseconds(kWaitAfterCursorMove);
        }
    }
    m_synth.endJob();
}
