#pragma once

#include "platform/SpellChecker.h"

#include <QString>
#include <QStringEncoder>

struct Hunhandle;

// Hunspell with the dictionary of the user's language. The dictionary is loaded by the
// constructor; without one the checker flags nothing.
class HunspellSpellChecker : public SpellChecker
{
  public:
    struct Options
    {
        QString dictionaryDir = QStringLiteral("/usr/share/hunspell");
        // A POSIX locale name ("de_DE.UTF-8"); empty: LC_ALL, LC_MESSAGES, then LANG.
        QString locale;
    };

    HunspellSpellChecker();
    explicit HunspellSpellChecker(const Options& options);
    ~HunspellSpellChecker() override;
    HunspellSpellChecker(const HunspellSpellChecker&) = delete;
    HunspellSpellChecker& operator=(const HunspellSpellChecker&) = delete;

    bool isMisspelled(const QString& word) const override;

    bool isLoaded() const { return m_handle != nullptr; }
    // The dictionary in use ("en_US"), empty when none could be loaded.
    QString dictionaryName() const { return m_name; }

    // The locale the environment names for messages: the first of LC_ALL, LC_MESSAGES
    // and LANG that is set and not empty.
    static QString localeFromEnvironment();
    // The dictionary for `locale` in `dir`, as a path without the .aff/.dic extension:
    // the exact language and region, then the language alone, then any region of the
    // language, then en_US. Empty when not even en_US is there.
    static QString dictionaryFor(const QString& locale, const QString& dir);

  private:
    Hunhandle* m_handle = nullptr;
    QString m_name;
    bool m_utf8 = true;
    mutable QStringEncoder m_encoder;
};
