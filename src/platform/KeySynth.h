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
// beginJob() is told the whole text the job will type (its text segments, in order), so
// that whatever the text needs from the window system (key codes bound to characters
// the layout lacks) is arranged once, before the first key. It also releases the modifier keys the user is still holding and neutralises Caps
// Lock, so that what arrives is exactly the text asked for, whatever the user's hands
// are doing. endJob() puts back the Caps Lock state; it must be called also when the job
// gave up half way, and a beginJob() on an unfinished job ends it first.
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
    virtual bool beginJob(const QString& jobText) = 0;
    // A job whose text is not known up front: everything is arranged as it comes.
    bool beginJob() { return beginJob(QString()); }
    // One press and release of a named key.
    virtual bool pressKey(Key key) = 0;
    // Types a chunk of UTF-16 code units. A surrogate pair is one character; a lone
    // surrogate types nothing. "\r" and "\n" press Return, "\t" presses Tab and "\b"
    // presses BackSpace; other control characters type nothing.
    virtual bool typeText(const QString& units) = 0;
    virtual void endJob() = 0;
    // What jobs may keep between them (bindings of spare key codes, so that the next job
    // needs no mapping change and no wait) is given back by settle(), which the caller
    // makes once no job has come for settleDelayMs(), and before it stops.
    virtual int settleDelayMs() const { return 0; }
    virtual void settle() {}
};
