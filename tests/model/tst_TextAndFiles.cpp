#include "model/AtomicFile.h"
#include "model/Text.h"

#include "TestHome.h"

#include <QDir>
#include <QTest>

class tst_TextAndFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void graphemes_data();
    void graphemes();
    void caseMapping_data();
    void caseMapping();
    void trims();
    void letterAndNumber_data();
    void letterAndNumber();
    void atomicWrite();
    void setAsideNeverOverwrites();
};

void tst_TextAndFiles::graphemes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("left2");
    QTest::newRow("ascii") << QStringLiteral("abc") << 3 << QStringLiteral("ab");
    QTest::newRow("crlf is one") << QStringLiteral("a\r\nb") << 3 << QStringLiteral("a\r\n");
    QTest::newRow("combining") << QString::fromUtf8("e\xCC\x81x") << 2 << QString::fromUtf8("e\xCC\x81x");
    QTest::newRow("zwj family") << QString::fromUtf8("\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7!") << 2
                                << QString::fromUtf8("\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7!");
    QTest::newRow("empty") << QString() << 0 << QString();
}

void tst_TextAndFiles::graphemes()
{
    QFETCH(QString, text);
    QFETCH(int, count);
    QFETCH(QString, left2);
    QCOMPARE(Text::graphemeCount(text), count);
    QCOMPARE(Text::graphemes(text).size(), count);
    QCOMPARE(Text::graphemes(text).join(QString()), text);
    QCOMPARE(Text::leftGraphemes(text, 2), left2);
    QCOMPARE(Text::leftGraphemes(text, 2) + text.mid(left2.size()), text);
    QCOMPARE(Text::rightGraphemes(text, count), text);
}

void tst_TextAndFiles::caseMapping_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("lower");
    QTest::addColumn<QString>("upper");
    QTest::newRow("ascii") << QStringLiteral("BrB") << QStringLiteral("brb") << QStringLiteral("BRB");
    // Independent of the locale: no Turkish dotless i.
    QTest::newRow("I") << QStringLiteral("I") << QStringLiteral("i") << QStringLiteral("I");
    QTest::newRow("sharp s grows") << QString::fromUtf8("stra\xC3\x9F" "e") << QString::fromUtf8("stra\xC3\x9F" "e")
                                   << QStringLiteral("STRASSE");
    QTest::newRow("greek") << QString::fromUtf8("\xCE\xA9\xCE\xBC") << QString::fromUtf8("\xCF\x89\xCE\xBC")
                           << QString::fromUtf8("\xCE\xA9\xCE\x9C");
}

void tst_TextAndFiles::caseMapping()
{
    QFETCH(QString, text);
    QFETCH(QString, lower);
    QFETCH(QString, upper);
    QCOMPARE(Text::lower(text), lower);
    QCOMPARE(Text::upper(text), upper);
}

void tst_TextAndFiles::trims()
{
    QCOMPARE(Text::trimSpacesAndTabs(QString::fromUtf8("\t\xC2\xA0 teh \xE2\x80\x83")), QStringLiteral("teh"));
    QCOMPARE(Text::trimSpacesAndTabs(QStringLiteral("\nteh\n")), QStringLiteral("\nteh\n"));
    QCOMPARE(Text::trimWhitespace(QStringLiteral("\n teh \r\n")), QStringLiteral("teh"));
    QCOMPARE(Text::trimSpacesAndTabs(QStringLiteral("   ")), QString());
}

void tst_TextAndFiles::letterAndNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("letter");
    QTest::addColumn<bool>("number");
    QTest::newRow("a") << QStringLiteral("a") << true << false;
    QTest::newRow("7") << QStringLiteral("7") << false << true;
    QTest::newRow("roman numeral") << QString::fromUtf8("\xE2\x85\xA2") << true << true; // alphabetic and numeric
    QTest::newRow("kana") << QString::fromUtf8("\xE3\x83\x84") << true << false;
    QTest::newRow(";") << QStringLiteral(";") << false << false;
    QTest::newRow("emoji") << QString::fromUtf8("\xF0\x9F\x98\x80") << false << false;
    QTest::newRow("e acute decomposed") << QString::fromUtf8("e\xCC\x81") << true << false;
    QTest::newRow("empty") << QString() << false << false;
}

void tst_TextAndFiles::letterAndNumber()
{
    QFETCH(QString, text);
    QFETCH(bool, letter);
    QFETCH(bool, number);
    QCOMPARE(Text::isLetter(text), letter);
    QCOMPARE(Text::isNumber(text), number);
}

void tst_TextAndFiles::atomicWrite()
{
    TestHome home;
    const QString path = home.root() + QStringLiteral("/f.json");
    QVERIFY(AtomicFile::write(path, "one"));
    QCOMPARE(TestHome::permissions(path), 0600);
    QVERIFY(AtomicFile::write(path, "two"));
    QCOMPARE(TestHome::readFile(path), QByteArray("two"));
    QCOMPARE(QDir(home.root()).entryList(QDir::Files | QDir::Hidden).size(), 1); // no temporary left
    QVERIFY(!AtomicFile::write(home.root() + QStringLiteral("/missing/f.json"), "x"));
    QVERIFY(!AtomicFile::read(home.root() + QStringLiteral("/missing.json")));
    QVERIFY(!AtomicFile::read(path, 2)); // over the cap
}

void tst_TextAndFiles::setAsideNeverOverwrites()
{
    TestHome home;
    const QString path = home.root() + QStringLiteral("/snippets.json");
    TestHome::writeFile(path, "first");
    const QString a = AtomicFile::setAside(path);
    TestHome::writeFile(path, "second");
    const QString b = AtomicFile::setAside(path);
    QVERIFY(!a.isEmpty() && !b.isEmpty() && a != b);
    QCOMPARE(TestHome::readFile(a), QByteArray("first"));
    QCOMPARE(TestHome::readFile(b), QByteArray("second"));
    QVERIFY(!QFileInfo::exists(path));
}

QTEST_GUILESS_MAIN(tst_TextAndFiles)
#include "tst_TextAndFiles.moc"
