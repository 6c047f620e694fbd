#pragma once

#include <QString>
#include <QStringList>

class SoundOutput;

// The confirmation sound the user chose. Each of the sound names the settings offer maps
// to one event of the desktop's sound theme; the desktop's output plays it.
namespace SoundPlayer {

// The names, in the order the settings list them.
const QStringList& soundNames();

// The sound theme's event for a name; empty for a name that is not one of ours.
QString eventId(const QString& name);

// Installed by start-up; none: every sound is silent. Main thread.
void setOutput(SoundOutput* output);

// Plays the named sound. Any thread: the sound is started on the main thread, later. A
// name without a sound plays nothing.
void play(const QString& name);

} // namespace SoundPlayer
