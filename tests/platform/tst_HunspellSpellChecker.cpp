// The Hunspell spell checker: the installed en_US dictionary on a few words, the choice
// of dictionary from the locale, and a dictionary in a legacy encoding.
#include "platform/linux/HunspellSpellChecker.h"

#include "TestHome.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class tst_HunspellSpellChecker : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void realDictionary_data();
    void realDictionary();
    void dictionaryChoice_data();
    void dictionaryChoice();
    void localeFromEnvironment();
    void legacyEncoding();
    void noDictionaryFlagsNothing();
};

void tst_HunspellSpellChecker::realDictionary_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<bool>("misspelt");
    QTest::newRow("house") << "house" << false;
    QTest::newRow("receive") << "receive" << false;
    QTest::newRow("recieve") << "recieve" << true;
    QTest::newRow("plaen") << "plaen" << true;
    QTest::newRow("plane") << "plane" << false;
    QTest::newRow("contraction") << "don't" << false;
    QTest::newRow("typographic apostrophe") << "don\u2019t" << false;
    QTest::newRow("teh") << "teh" << true;
    QTest::newRow("empty") << "" << false;
}

void tst_HunspellSpellChecker::realDictionary()
{
    QFETCH(QString, word);
    QFETCH(bool, misspelt);
    if (!QFile::exists(QStringLiteral("/usr/share/hunspell/en_US.dic")))
        QSKIP("hunspell-en-us is not installed");
    static const HunspellSpellChecker checker(
        HunspellSpellChecker::Options{QStringLiteral("/usr/share/hunspell"), QStringLiteral("en_US.UTF-8")});
    QVERIFY(checker.isLoaded());
    QCOMPARE(checker.dictionaryName(), QStringLiteral("en_US"));
    QCOMPARE(checker.isMisspelled(word), misspelt);
}

void tst_HunspellSpellChecker::dictionaryChoice_data()
{
    QTest::addColumn<QStringList>("installed");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("chosen"); // empty: none

    const QStringList all{"en_US", "de_DE", "fr", "pt_BR", "pt_PT"};
    QTest::newRow("exact") << all << "de_DE.UTF-8"
                           << "de_DE";
    QTest::newRow("modifier") << all << "de_DE@euro"
                              << "de_DE";
    QTest::newRow("another region of the language") << all << "de_AT.UTF-8"
                                                    << "de_DE";
    QTest::newRow("language alone") << all << "fr_CA.UTF-8"
                                    << "fr";
    QTest::newRow("first region in name order") << all << "pt"
                                                << "pt_BR";
    QTest::newRow("unknown language") << all << "ja_JP.UTF-8"
                                      << "en_US";
    QTest::newRow("C locale") << all << "C.UTF-8"
                              << "en_US";
    QTest::newRow("POSIX") << all << "POSIX"
                           << "en_US";
    QTest::newRow("nothing set") << all << ""
                                 << "en_US";
    QTest::newRow("a path is no locale") << all << "../../etc/de_DE"
                                         << "en_US";
    QTest::newRow("half a dictionary") << QStringList{"en_US", "nl_NL.aff"} << "nl_NL"
                                       << "en_US";
    QTest::newRow("no fallback") << QStringList{"de_DE"} << "ja_JP"
                                 << "";
}

void tst_HunspellSpellChecker::dictionaryChoice()
{
    QFETCH(QStringList, installed);
    QFETCH(QString, locale);
    QFETCH(QString, chosen);
    QTemporaryDir dir;
    for (const QString& name : installed) {
        if (name.contains(QLatin1Char('.'))) {
            TestHome::writeFile(dir.filePath(name), "x");
            continue;
        }
        TestHome::writeFile(dir.filePath(name + QStringLiteral(".aff")), "SET UTF-8\n");
        TestHome::writeFile(dir.filePath(name + QStringLiteral(".dic")), "1\nword\n");
    }
    const QString base = HunspellSpellChecker::dictionaryFor(locale, dir.path());
    QCOMPARE(base, chosen.isEmpty() ? QString() : dir.filePath(chosen));
}

void tst_HunspellSpellChecker::localeFromEnvironment()
{
    const QByteArray all = qgetenv("LC_ALL"), messages = qgetenv("LC_MESSAGES"), lang = qgetenv("LANG");
    qputenv("LC_ALL", "");
    qputenv("LC_MESSAGES", "fr_FR.UTF-8");
    qputenv("LANG", "de_DE.UTF-8");
    QCOMPARE(HunspellSpellChecker::localeFromEnvironment(), QStringLiteral("fr_FR.UTF-8"));
    qputenv("LC_ALL", "pt_BR.UTF-8");
    QCOMPARE(HunspellSpellChecker::localeFromEnvironment(), QStringLiteral("pt_BR.UTF-8"));
    qunsetenv("LC_ALL");
    qunsetenv("LC_MESSAGES");
    QCOMPARE(HunspellSpellChecker::localeFromEnvironment(), QStringLiteral("de_DE.UTF-8"));
    qputenv("LC_ALL", all);
    qputenv("LC_MESSAGES", messages);
    qputenv("LANG", lang);
}

void tst_HunspellSpellChecker::legacyEncoding()
{
    // A dictionary in Latin-1: words reach it in its own encoding.
    QTemporaryDir dir;
    TestHome::writeFile(dir.filePath(QStringLiteral("xx_XX.aff")), "SET ISO8859-1\n");
    TestHome::writeFile(dir.filePath(QStringLiteral("xx_XX.dic")), QByteArray("2\ncaf\xe9\nna\xefve\n"));
    const HunspellSpellChecker checker(HunspellSpellChecker::Options{dir.path(), QStringLiteral("xx_XX")});
    QVERIFY(checker.isLoaded());
    QVERIFY(!checker.isMisspelled(QStringLiteral("caf\u00e9")));
    QVERIFY(!checker.isMisspelled(QStringLiteral("na\u00efve")));
    QVERIFY(checker.isMisspelled(QStringLiteral("cafe")));
    // Letters the encoding cannot hold are in no word of it.
    QVERIFY(checker.isMisspelled(QStringLiteral("caf\u0113")));
}

void tst_HunspellSpellChecker::noDictionaryFlagsNothing()
{
    QTemporaryDir dir;
    const HunspellSpellChecker checker(HunspellSpellChecker::Options{dir.path(), QStringLiteral("en_US")});
    QVERIFY(!checker.isLoaded());
    QCOMPARE(checker.dictionaryName(), QString());
    QVERIFY(!checker.isMisspelled(QStringLiteral("qwrtzp")));
}

QTEST_GUILESS_MAIN(tst_HunspellSpellChecker)
#include "tst_HunspellSpellChecker.moc"
