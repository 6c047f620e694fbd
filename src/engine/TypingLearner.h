#pragma once

#include <QString>

// What the typing engine tells the learning engine as the user types. Until learning is
// installed the engine talks to this do-nothing learner, which is never active.
class TypingLearner
{
public:
    virtual ~TypingLearner() = default;
    virtual bool isLearningActive() const { return false; }
    virtual void appendToBuffer(const QString& character) {}
    virtual void noteBackspace() {}
    virtual void noteWordBackspace() {}
    virtual void evaluatePendingFix() {}
    virtual void finalizeSegment() {}
    virtual void resetTransientState() {}
    virtual void setTypedSinceBackspace(bool) {}
};
