#pragma once

#include "platform/Sleeper.h"

// Sleeps the calling thread (the injector's own thread, never the main one).
class ThreadSleeper : public Sleeper
{
  public:
    void sleepMicroseconds(long microseconds) override;
};
