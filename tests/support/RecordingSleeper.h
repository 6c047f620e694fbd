#pragma once

#include "platform/Sleeper.h"

#include <functional>
#include <mutex>
#include <vector>

// Records every wait instead of sleeping, so a test can check a job's pacing exactly.
// Optionally calls back on each wait (to interleave it with a FakeKeySynth's log).
class RecordingSleeper : public Sleeper
{
  public:
    void sleepMicroseconds(long microseconds) override
    {
        std::lock_guard lock(m_mutex);
        m_waits.push_back(microseconds);
        if (onSleep)
            onSleep(microseconds);
    }
    std::vector<long> waits() const
    {
        std::lock_guard lock(m_mutex);
        return m_waits;
    }
    long total() const
    {
        std::lock_guard lock(m_mutex);
        long sum = 0;
        for (long w : m_waits)
            sum += w;
        return sum;
    }
    void clear()
    {
        std::lock_guard lock(m_mutex);
        m_waits.clear();
    }

    std::function<void(long)> onSleep;

  private:
    mutable std::mutex m_mutex;
    std::vector<long> m_waits;
};
