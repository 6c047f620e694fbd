#include "ai/AIVetter.h"
#include "ai/OpenAIClient.h"
#include "model/AppState.h"

#include "TestHome.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <sys/stat.h>

class tst_OpenAIKey : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void init();
    void cleanup();

    void savedKeyIsTrimmedAndPrivateFromTheStart();
    void blankSaveRemovesTheKey();
    void unusableKeyIsNeverStored_data();
    void unusableKeyIsNeverStored();
    void keyFileContents_data();
    void keyFileContents();
    void widenedPermissionsAreNarrowedAtTheNextRead();
    void hasKeyFollowsSaveAndRemoveOnly();

  private:
    QString keyFile() const { return m_home->dataFile(QStringLiteral("openai_api_key")); }
    std::unique_ptr<AIVetter> makeVetter() { return std::make_unique<AIVetter>(*m_client); }

    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<OpenAIClient> m_client;
    mode_t m_umask = 0;
};

void tst_OpenAIKey::init()
{
    m_home = std::make_unique<TestHome>();
    AppState::Options o = m_home->storeOptions();
    o.deferSettingsWrites = false;
    m_state = std::make_unique<AppState>(o);
    m_client = std::make_unique<OpenAIClient>(*m_state);
    // The widest creation mask: a file that is not created owner-only shows it.
    m_umask = ::umask(0);
}

void tst_OpenAIKey::cleanup()
{
    ::umask(m_umask);
    m_client.reset();
    m_state.reset();
    m_home.reset();
}

void tst_OpenAIKey::savedKeyIsTrimmedAndPrivateFromTheStart()
{
    auto vetter = makeVetter();
    QSignalSpy changed(vetter.get(), &AIVetter::hasKeyChanged);
    QVERIFY(!vetter->hasKey());
    QVERIFY(vetter->saveKey(QStringLiteral("  sk-proj-abc123\n")));
    QCOMPARE(TestHome::readFile(keyFile()), QByteArray("sk-proj-abc123"));
    QCOMPARE(TestHome::permissions(keyFile()), 0600);
    QCOMPARE(TestHome::permissions(m_home->dataDir()), 0700);
    QVERIFY(vetter->hasKey());
    QCOMPARE(changed.size(), 1);
    QCOMPARE(AIVetter::loadKey(), QStringLiteral("sk-proj-abc123"));
    // No temporary file is left beside it.
    QCOMPARE(QDir(m_home->dataDir()).entryList(QDir::Files | QDir::Hidden), QStringList{"openai_api_key"});
}

void tst_OpenAIKey::blankSaveRemovesTheKey()
{
    auto vetter = makeVetter();
    QVERIFY(vetter->saveKey(QStringLiteral("sk-old")));
    QVERIFY(!vetter->saveKey(QStringLiteral(" \n\t ")));
    QVERIFY(!QFile::exists(keyFile()));
    QVERIFY(!vetter->hasKey());
    QVERIFY(!AIVetter::loadKey());
}

void tst_OpenAIKey::unusableKeyIsNeverStored_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("hadKey");
    QTest::newRow("header injection") << "sk-a\r\nX-Evil: 1" << false;
    QTest::newRow("tab inside") << "sk-a\tb" << false;
    QTest::newRow("NUL inside") << QString::fromUtf16(u"sk-a\u0000b", 6) << false;
    QTest::newRow("delete character") << "sk-a\x7F" << false;
    QTest::newRow("non-ASCII letter") << QStringLiteral("sk-äbc") << false;
    QTest::newRow("non-breaking space inside") << QStringLiteral("sk-a\u00A0b") << false;
    QTest::newRow("over an existing key") << QStringLiteral("sk-\u2028new") << true;
}

void tst_OpenAIKey::unusableKeyIsNeverStored()
{
    QFETCH(QString, key);
    QFETCH(bool, hadKey);
    auto vetter = makeVetter();
    if (hadKey)
        QVERIFY(vetter->saveKey(QStringLiteral("sk-good")));
    QVERIFY(!vetter->saveKey(key));
    QCOMPARE(vetter->hasKey(), hadKey);
    QCOMPARE(QFile::exists(keyFile()), hadKey);
    if (hadKey)
        QCOMPARE(AIVetter::loadKey(), QStringLiteral("sk-good"));
}

void tst_OpenAIKey::keyFileContents_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("key"); // empty: no key
    QTest::newRow("key alone") << QByteArray("sk-1") << "sk-1";
    QTest::newRow("surrounding white space") << QByteArray(" \t sk-1 \r\n\n") << "sk-1";
    QTest::newRow("empty") << QByteArray() << "";
    QTest::newRow("only white space and line breaks") << QByteArray("  \n\r\n \t") << "";
    QTest::newRow("not UTF-8") << QByteArray("sk-\xFF\xFE") << "";
    QTest::newRow("two lines") << QByteArray("sk-1\nsk-2") << "";
    QTest::newRow("control character") << QByteArray("sk-\x1b[0m") << "";
    QTest::newRow("huge") << QByteArray(100 * 1024, 'k') << "";
}

void tst_OpenAIKey::keyFileContents()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, key);
    TestHome::writeFile(keyFile(), bytes);
    QCOMPARE(AIVetter::loadKey().value_or(QString()), key);
    QCOMPARE(makeVetter()->hasKey(), !key.isEmpty());
}

void tst_OpenAIKey::widenedPermissionsAreNarrowedAtTheNextRead()
{
    TestHome::writeFile(keyFile(), "sk-1\n");
    QVERIFY(::chmod(QFile::encodeName(keyFile()).constData(), 0644) == 0);
    QCOMPARE(AIVetter::loadKey(), QStringLiteral("sk-1"));
    QCOMPARE(TestHome::permissions(keyFile()), 0600);
}

void tst_OpenAIKey::hasKeyFollowsSaveAndRemoveOnly()
{
    TestHome::writeFile(keyFile(), "sk-1");
    auto vetter = makeVetter();
    QVERIFY(vetter->hasKey());

    // Removed behind the application's back: the next use sees it at once, the published
    // flag at the next save or removal.
    QVERIFY(QFile::remove(keyFile()));
    QVERIFY(!AIVetter::loadKey());
    QVERIFY(vetter->hasKey());

    QSignalSpy changed(vetter.get(), &AIVetter::hasKeyChanged);
    vetter->removeKey(); // also with the file already gone
    QVERIFY(!vetter->hasKey());
    QCOMPARE(changed.size(), 1);
}

QTEST_GUILESS_MAIN(tst_OpenAIKey)
#include "tst_OpenAIKey.moc"
