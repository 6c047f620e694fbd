#pragma once

#include <QString>

// The HUD and the sound that confirm an expansion or a fix. Silent until installed.
class ExpansionFeedback
{
public:
    virtual ~ExpansionFeedback() = default;
    virtual void showHud(const QString& message) {}
    virtual void playSound(const QString& name) {}
};
