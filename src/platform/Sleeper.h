#pragma once

// Waits of the typing job. The job's pacing is what target applications need to keep
// up with synthetic input, so it lives behind this seam: the real one sleeps the
// calling thread, the test one records every wait exactly.
class Sleeper
{
  public:
    virtual ~Sleeper() = default;
    virtual void sleepMicroseconds(long microseconds) = 0;
};
