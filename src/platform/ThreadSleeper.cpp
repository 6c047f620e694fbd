#include "platform/ThreadSleeper.h"

#include <chrono>
#include <thread>

void ThreadSleeper::sleepMicroseconds(long microseconds)
{
    if (microseconds > 0)
        std::this_thread::sleep_for(std::chrono::microseconds(microseconds));
}
