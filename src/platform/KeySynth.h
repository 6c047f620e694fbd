#pragma once

#include "platform/Key.h"

#include <QString>

// Synthetic typing: what the injector's job uses to write into the application that
// has keyboard focus. Called from the injector's own thread only, one job at a time;
// the job's pacing (waits between presses and chunks) is the caller's, through a
// Sleeper, so this interface does no waiting of its own beyond what the window system
// needs to stay correct.
//
// A job is beginJob(), any number of pressKey() and typeText() calls, then endJob().
// beginJob() releases the modifier keys the user is still holding and neutralises Caps
// Lock, so that what arrives is exactly the text asked for, whatever the user's hands
// are doing. endJob() puts back whatever the job borrowed (spare key codes, the Caps
// Lock state); it must be called also when the job gave up half way, and a beginJob()
// on an unfinished job ends it first.
//
// Nothing here ever touches the clipboard.
//
// Every event posted through this interface is recognisable to the InputMonitor as
// Quenvil's own and never comes back to the engine as typing.
class KeySynth
{
  public:
    virtual ~KeySynth() = default;

    // False when nothing can be typed (no display, no XTest); the job then does nothing.
    virtual bool beginJob() = 0;
    // One press and release of a named key.
    virtual bool pressKey(Key key) = 0;
    // Types a chunk of UTF-16 code units. A surrogate pair is one character; a lone
    // surrogate types nothing. "\r" and "\n" press Return, "\t" presses Tab and "\b"
    // presses BackSpace; other control characters type nothing.
    virtual bool typeText(const QString& units) = 0;
    virtual void endJob() = 0;
};
