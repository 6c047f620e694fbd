#pragma once

#include "model/Models.h"

#include <QList>
#include <QString>

// The popup near the caret that lists triggers matching what is being typed. Shows
// nothing until installed; show() must only queue its work, never block the key path.
class SuggestionDisplay
{
public:
    virtual ~SuggestionDisplay() = default;
    virtual void show(const QString& typed, const QList<SuggestionEntry>& entries) {}
    virtual void hide() {}
};
