#pragma once

#include "platform/SpellChecker.h"

#include <QSet>
#include <QStringList>

// A spell checker with a word list the test sets: every other word is misspelt. Records
// the words it was asked about.
class FakeSpellChecker : public SpellChecker
{
  public:
    FakeSpellChecker() = default;
    explicit FakeSpellChecker(const QStringList& known) : m_known(known.begin(), known.end()) {}

    bool isMisspelled(const QString& word) const override
    {
        m_asked.append(word);
        return !m_known.contains(word);
    }

    void addKnown(const QString& word) { m_known.insert(word); }
    const QStringList& asked() const { return m_asked; }
    void clearAsked() { m_asked.clear(); }

  private:
    QSet<QString> m_known;
    mutable QStringList m_asked;
};
