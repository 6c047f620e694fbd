#pragma once

#include <QString>

// Plays one event sound of the desktop's sound theme ("message", "bell", …) and returns at
// once. A sound the theme lacks, or a machine without audio, plays nothing and reports
// nothing: a confirmation sound is never worth an error. Main thread.
class SoundOutput
{
  public:
    virtual ~SoundOutput() = default;
    virtual void playEvent(const QString& eventId) = 0;
};
