#include "platform/linux/HunspellSpellChecker.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <hunspell.h>

#include <cstdlib>

namespace {

bool hasDictionary(const QString& base)
{
    return QFileInfo(base + QStringLiteral(".aff")).isFile() &&
           QFileInfo(base + QStringLiteral(".dic")).isFile();
}

// Hunspell's names for a few legacy encodings differ from the ones ICU knows.
QByteArray encoderName(const QByteArray& hunspellName)
{
    const QByteArray n = hunspellName.trimmed();
    if (n.toLower().startsWith("microsoft-cp"))
        return "windows-" + n.mid(12);
    return n;
}

} // namespace

HunspellSpellChecker::HunspellSpellChecker() : HunspellSpellChecker(Options{}) {}

HunspellSpellChecker::HunspellSpellChecker(const Options& options)
{
    const QString locale = options.locale.isEmpty() ? localeFromEnvironment() : options.locale;
    const QString base = dictionaryFor(locale, options.dictionaryDir);
    if (base.isEmpty())
        return;
    const QByteArray aff = QFile::encodeName(base + QStringLiteral(".aff"));
    const QByteArray dic = QFile::encodeName(base + QStringLiteral(".dic"));
    m_handle = Hunspell_create(aff.constData(), dic.constData());
    if (!m_handle)
        return;
    m_name = QFileInfo(base).fileName();
    const QByteArray encoding = QByteArray(Hunspell_get_dic_encoding(m_handle)).trimmed();
    m_utf8 = encoding.isEmpty() || encoding.compare("UTF-8", Qt::CaseInsensitive) == 0;
    if (!m_utf8) {
        m_encoder = QStringEncoder(encoderName(encoding).constData());
        if (!m_encoder.isValid()) {
            // Words could not be put into the dictionary's encoding: no verdicts at all
            // rather than wrong ones.
            Hunspell_destroy(m_handle);
            m_handle = nullptr;
            m_name.clear();
        }
    }
}

HunspellSpellChecker::~HunspellSpellChecker()
{
    if (m_handle)
        Hunspell_destroy(m_handle);
}

bool HunspellSpellChecker::isMisspelled(const QString& word) const
{
    if (!m_handle || word.isEmpty())
        return false;
    QByteArray bytes;
    if (m_utf8) {
        bytes = word.toUtf8();
    } else {
        m_encoder.resetState();
        bytes = m_encoder.encode(word);
        // A letter the dictionary's encoding cannot hold is in none of its words.
        if (m_encoder.hasError())
            return true;
    }
    return Hunspell_spell(m_handle, bytes.constData()) == 0;
}

QString HunspellSpellChecker::localeFromEnvironment()
{
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString v = QString::fromLocal8Bit(qgetenv(name));
        if (!v.isEmpty())
            return v;
    }
    return {};
}

QString HunspellSpellChecker::dictionaryFor(const QString& locale, const QString& dir)
{
    // "de_DE.UTF-8@euro" → "de_DE"; "C" and "POSIX" name no language.
    QString name = locale;
    name.truncate(name.indexOf(QLatin1Char('@')) < 0 ? name.size() : name.indexOf(QLatin1Char('@')));
    name.truncate(name.indexOf(QLatin1Char('.')) < 0 ? name.size() : name.indexOf(QLatin1Char('.')));
    name.replace(QLatin1Char('-'), QLatin1Char('_'));
    const QString language = name.section(QLatin1Char('_'), 0, 0);
    const bool named = !language.isEmpty() && language != QLatin1String("C") &&
                       language != QLatin1String("POSIX") && !name.contains(QLatin1Char('/'));

    const QString prefix = dir + QLatin1Char('/');
    if (named) {
        if (hasDictionary(prefix + name))
            return prefix + name;
        if (hasDictionary(prefix + language))
            return prefix + language;
        QStringList regions =
            QDir(dir).entryList({language + QStringLiteral("_*.dic")}, QDir::Files, QDir::Name);
        for (const QString& file : regions) {
            const QString base = prefix + file.chopped(4);
            if (hasDictionary(base))
                return base;
        }
    }
    if (hasDictionary(prefix + QStringLiteral("en_US")))
        return prefix + QStringLiteral("en_US");
    return {};
}
