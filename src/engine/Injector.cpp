#include "engine/Injector.h"

#include "platform/KeySynth.h"
#include "platform/Sleeper.h"

#include <pthread.h>

#include <chrono>

namespace {
Injector* g_shared = nullptr;
}

QString Injector::Segment::describe() const
{
    if (isKey())
        return QStringLiteral("key:") + keyName(m_key);
    return QStringLiteral("text:") + m_text;
}

Injector::Injector(KeySynth& synth, Sleeper& sleeper) : Injector(synth, sleeper, Pacing{}) {}

Injector::Injector(KeySynth& synth, Sleeper& sleeper, Pacing pacing)
    : m_synth(synth), m_sleeper(sleeper), m_pacing(pacing)
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
    bool unsettled = false;
    for (;;) {
        const auto ready = [this] { return m_stopping || !m_queue.empty(); };
        // What jobs keep between them goes back once typing has paused.
        if (unsettled) {
            const int delay = m_synth.settleDelayMs();
            if (delay <= 0 ? !ready() : !m_wake.wait_for(lock, std::chrono::milliseconds(delay), ready)) {
                lock.unlock();
                m_synth.settle();
                lock.lock();
                unsettled = false;
            }
        }
        m_wake.wait(lock, ready);
        if (m_queue.empty()) {
            lock.unlock();
            m_synth.settle();
            return; // stopping, and everything queued has been typed
        }
        Job job = std::move(m_queue.front());
        m_queue.pop_front();
        m_busy = true;
        lock.unlock();
        type(job);
        lock.lock();
        m_busy = false;
        unsettled = true;
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

void Injector::wait(long microseconds)
{
    if (microseconds > 0)
        m_sleeper.sleepMicroseconds(microseconds);
}

// Everything the job's text segments type, as the synth will be handed it.
QString Injector::textOf(const Job& job)
{
    QString text;
    for (const Segment& seg : job.segments) {
        if (seg.isText())
            text += normalizedLineBreaks(seg.textValue());
    }
    return text;
}

void Injector::type(const Job& job)
{
    // A synth that cannot type (no display) gets no presses and costs no waits; the job
    // still ends, so whatever it borrowed is given back. Told the whole text up front, it
    // prepares what the text needs before the first key.
    if (!m_synth.beginJob(textOf(job))) {
        m_synth.endJob();
        return;
    }
    // A press the window system refuses is skipped and the job goes on: stopping half way
    // would leave the trigger half deleted.
    wait(m_pacing.beforeDeletes);
    for (int i = 0; i < job.backspaces; ++i) {
        m_synth.pressKey(Key::Backspace);
        wait(m_pacing.afterDelete);
    }
    wait(m_pacing.afterDeletes);
    for (const Segment& seg : job.segments) {
        if (seg.isKey()) {
            wait(m_pacing.aroundKey);
            m_synth.pressKey(seg.keyValue());
            wait(m_pacing.aroundKey);
            continue;
        }
        for (const QString& chunk : chunks(normalizedLineBreaks(seg.textValue()))) {
            m_synth.typeText(chunk);
            wait(m_pacing.afterChunk);
        }
    }
    if (job.cursorBack > 0) {
        wait(m_pacing.beforeCursorMoves);
        for (int i = 0; i < job.cursorBack; ++i) {
            m_synth.pressKey(Key::Left);
            wait(m_pacing.afterCursorMove);
        }
    }
    m_synth.endJob();
}
