#pragma once

#include "model/PrefixIndex.h"

#include <QString>

#include <span>

// The popup near the caret that lists triggers matching what is being typed. Shows
// nothing until installed; show() must only queue its work, never block the key path.
class SuggestionDisplay
{
public:
    virtual ~SuggestionDisplay() = default;
    // `rows` are the entry numbers in `index` that match `typed` and are admitted in the
    // application in front, in list order; both are only valid during the call. Passed as
    // the index holds them, because thousands of triggers can share a short prefix and the
    // display keeps only a handful.
    virtual void show(const QString& typed, const PrefixIndex& index, std::span<const int> rows) {}
    virtual void hide() {}
};
