#pragma once

#include <QString>

// The system's spell checker, asked whether a word is misspelt. Loading a dictionary is
// slow, so a backend loads it when it is built (at start-up), never on first use; asking
// is then cheap enough for a keystroke. Main thread only.
class SpellChecker
{
  public:
    virtual ~SpellChecker() = default;

    // True when the checker flags `word` (one word, no surrounding spaces) as misspelt.
    // A checker without a dictionary flags nothing.
    virtual bool isMisspelled(const QString& word) const = 0;
};
