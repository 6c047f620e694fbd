#include "model/AppState.h"
#include "model/SettingsStore.h"

#include "TestHome.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <sys/stat.h>

class tst_Store : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { m_home = std::make_unique<TestHome>(); }
    void cleanup() { m_home.reset(); }

    void firstLaunch();
    void startupFallbacks_data();
    void startupFallbacks();
    void unreadableFileIsSetAsideBeforeFirstSave_data();
    void unreadableFileIsSetAsideBeforeFirstSave();
    void settingsSurviveANewInstance();
    void storedSettingsOfOddForm_data();
    void storedSettingsOfOddForm();
    void corruptSettingsFileIsSetAside();
    void writeThroughEffects();
    void deferredWritesLandAfterTheEvent();
    void aiBackendMigration();
    void writtenFiles();

private:
    std::unique_ptr<AppState> makeStore()
    {
        AppState::Options o;
        o.settingsPath = m_home->settingsPath();
        o.deferSettingsWrites = false;
        return std::make_unique<AppState>(o);
    }
    QJsonObject settingsFile() const
    {
        return QJsonDocument::fromJson(TestHome::readFile(m_home->settingsPath())).object();
    }
    std::unique_ptr<TestHome> m_home;
};

void tst_Store::firstLaunch()
{
    auto s = makeStore();
    QCOMPARE(TestHome::permissions(m_home->dataDir()), 0700);
    QCOMPARE(s->snippets().size(), 4);
    QVERIFY(s->groups().isEmpty() && s->customCorrections().isEmpty() && s->disabledBuiltins().isEmpty());
    QVERIFY(QDir(m_home->dataDir()).entryList(QDir::Files).isEmpty()); // nothing saved at start-up
    QVERIFY(s->triggerIndex().contains(QStringLiteral(";shrug")));
    QVERIFY(s->masterEnabled() && s->spellFixEnabled() && s->hudEnabled());
    QCOMPARE(s->soundName(), QStringLiteral("Pop"));
    QCOMPARE(s->typingWPM(), 40.0);
    QCOMPARE(s->expansionMode(), ExpansionMode::instant);
    QCOMPARE(s->spellFixExcludedApps(), TerminalApps::defaultSpellFixExclusions());
    QCOMPARE(s->statExpansions(), 0);
}

void tst_Store::startupFallbacks_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("snippets");
    QTest::addColumn<int>("groups");
    QTest::addColumn<int>("corrections");
    QTest::newRow("empty snippet array") << "snippets.json" << QByteArray("[]") << 0 << 0 << 0;
    QTest::newRow("snippet without content") << "snippets.json" << QByteArray(R"([{"trigger":"x"}])") << 4 << 0 << 0;
    QTest::newRow("empty snippets file") << "snippets.json" << QByteArray() << 4 << 0 << 0;
    QTest::newRow("one snippet") << "snippets.json" << QByteArray(R"([{"trigger":"x","content":"y"}])") << 1 << 0 << 0;
    QTest::newRow("groups") << "groups.json" << QByteArray(R"([{},{"name":"B"}])") << 4 << 2 << 0;
    QTest::newRow("corrupt groups") << "groups.json" << QByteArray("[{") << 4 << 0 << 0;
    QTest::newRow("corrections without disabledBuiltins")
        << "corrections.json" << QByteArray(R"({"custom":[{"wrong":"a","right":"b"}]})") << 4 << 0 << 0;
    QTest::newRow("corrections") << "corrections.json"
                                 << QByteArray(R"({"custom":[{"wrong":"a","right":"b"}],"disabledBuiltins":["teh","teh"]})")
                                 << 4 << 0 << 1;
}

void tst_Store::startupFallbacks()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, bytes);
    QFETCH(int, snippets);
    QFETCH(int, groups);
    QFETCH(int, corrections);
    TestHome::writeFile(m_home->dataFile(file), bytes);
    auto s = makeStore();
    QCOMPARE(s->snippets().size(), snippets);
    QCOMPARE(s->groups().size(), groups);
    QCOMPARE(s->customCorrections().size(), corrections);
    if (corrections)
        QCOMPARE(s->disabledBuiltins(), QSet<QString>{QStringLiteral("teh")});
    // The file on disk is not touched at start-up.
    QCOMPARE(TestHome::readFile(m_home->dataFile(file)), bytes);
}

void tst_Store::unreadableFileIsSetAsideBeforeFirstSave_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("snippets") << "snippets.json";
    QTest::newRow("groups") << "groups.json";
    QTest::newRow("corrections") << "corrections.json";
    QTest::newRow("stats") << "stats.json";
}

void tst_Store::unreadableFileIsSetAsideBeforeFirstSave()
{
    QFETCH(QString, file);
    const QByteArray bad = "{ this is the user's file, damaged";
    TestHome::writeFile(m_home->dataFile(file), bad);
    auto s = makeStore();
    if (file == QLatin1String("snippets.json"))
        s->setSnippets({});
    else if (file == QLatin1String("groups.json"))
        s->setGroups({});
    else if (file == QLatin1String("corrections.json"))
        s->setCustomCorrections({});
    else {
        s->recordUsage(QUuid::createUuid(), QStringLiteral("XTerm"));
        s->flushPendingStats();
    }
    const QStringList aside = QDir(m_home->dataDir()).entryList({file + QStringLiteral(".unreadable-*")});
    QCOMPARE(aside.size(), 1);
    QCOMPARE(TestHome::readFile(m_home->dataFile(aside.first())), bad);
    QVERIFY(TestHome::readFile(m_home->dataFile(file)) != bad);
    // A second save replaces the new file only.
    if (file == QLatin1String("snippets.json")) {
        s->setSnippets(Snippet::samples());
        QCOMPARE(QDir(m_home->dataDir()).entryList({file + QStringLiteral(".unreadable-*")}).size(), 1);
    }
}

void tst_Store::settingsSurviveANewInstance()
{
    {
        auto s = makeStore();
        s->setSpellFixExcludedApps({});
        s->setTypingWPM(52.5);
        s->setExpansionMode(ExpansionMode::delimiter);
        s->setMasterEnabled(false);
        s->setSoundName(QStringLiteral("Glass"));
        s->setAiVettingBackend(AIBackend::openAI);
        s->setStatCharsSaved(123456789012LL);
    }
    auto s = makeStore();
    QVERIFY(s->spellFixExcludedApps().isEmpty()); // an empty list stays empty
    QCOMPARE(s->typingWPM(), 52.5);
    QCOMPARE(s->expansionMode(), ExpansionMode::delimiter);
    QVERIFY(!s->masterEnabled());
    QCOMPARE(s->soundName(), QStringLiteral("Glass"));
    QCOMPARE(s->aiVettingBackend(), AIBackend::openAI);
    QCOMPARE(s->statCharsSaved(), 123456789012LL);
    QCOMPARE(TestHome::permissions(m_home->settingsPath()), 0600);
    // Registered defaults are never written.
    QVERIFY(!settingsFile().contains(QStringLiteral("hudEnabled")));
}

void tst_Store::storedSettingsOfOddForm_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("what");
    QTest::newRow("Delimiter capital") << QByteArray(R"({"expansionMode":"Delimiter"})") << "instant";
    QTest::newRow("openai lower-case") << QByteArray(R"({"aiVettingBackend":"openai"})") << "vet off";
    QTest::newRow("exclusions not strings") << QByteArray(R"({"spellFixExcludedApps":[1,2]})") << "default apps";
    QTest::newRow("soundName number") << QByteArray(R"({"soundName":3})") << "Pop";
    QTest::newRow("wpm as integer") << QByteArray(R"({"typingWPM":60})") << "wpm 60";
}

void tst_Store::storedSettingsOfOddForm()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, what);
    TestHome::writeFile(m_home->settingsPath(), file);
    auto s = makeStore();
    if (what == QLatin1String("instant"))
        QCOMPARE(s->expansionMode(), ExpansionMode::instant);
    else if (what == QLatin1String("vet off"))
        QCOMPARE(s->aiVettingBackend(), AIBackend::off);
    else if (what == QLatin1String("default apps"))
        QCOMPARE(s->spellFixExcludedApps(), TerminalApps::defaultSpellFixExclusions());
    else if (what == QLatin1String("Pop"))
        QCOMPARE(s->soundName(), QStringLiteral("Pop"));
    else
        QCOMPARE(s->typingWPM(), 60.0);
}

void tst_Store::corruptSettingsFileIsSetAside()
{
    TestHome::writeFile(m_home->settingsPath(), "[1,2,3]");
    auto s = makeStore();
    QVERIFY(s->masterEnabled());
    const QStringList aside =
        QDir(QFileInfo(m_home->settingsPath()).absolutePath()).entryList({QStringLiteral("settings.json.unreadable-*")});
    QCOMPARE(aside.size(), 1);
    s->setHudEnabled(false);
    QCOMPARE(settingsFile().value(QStringLiteral("hudEnabled")).toBool(true), false);
}

void tst_Store::writeThroughEffects()
{
    auto s = makeStore();
    int hides = 0, vets = 0, templates = 0;
    s->setHooks({[&] { ++hides; }, [&] { ++vets; }, [&] { ++templates; }, {}});
    QSignalSpy masterSpy(s.get(), &AppState::masterEnabledChanged);

    s->setMasterEnabled(true);
    QCOMPARE(hides, 0);
    s->setMasterEnabled(false);
    QCOMPARE(hides, 1);
    s->setInlineSuggestionsEnabled(false);
    QCOMPARE(hides, 2);
    QCOMPARE(masterSpy.count(), 2);
    // Written on every assignment, also when unchanged.
    QCOMPARE(settingsFile().value(QStringLiteral("masterEnabled")).toBool(true), false);

    s->setAiVettingBackend(AIBackend::onDevice);
    s->setAiVettingBackend(AIBackend::onDevice);
    s->setAiVettingBackend(AIBackend::openAI);
    s->setAiLearningBackend(AIBackend::onDevice);
    QCOMPARE(vets, 0); // asynchronous: after the write returns
    QTRY_COMPARE(vets, 2);
    QTRY_COMPARE(templates, 1);
    QCOMPARE(settingsFile().value(QStringLiteral("aiVettingBackend")).toString(), QStringLiteral("openAI"));
    QVERIFY(s->anyBackendUsesOpenAI());
}

void tst_Store::deferredWritesLandAfterTheEvent()
{
    AppState::Options o;
    o.settingsPath = m_home->settingsPath();
    auto s = std::make_unique<AppState>(o);
    QTRY_VERIFY(!s->settings().hasPendingWrite()); // the migration flag of start-up
    s->setStatExpansions(7);
    s->setStatCharsSaved(70);
    QVERIFY(s->settings().hasPendingWrite());
    QVERIFY(!settingsFile().contains(QStringLiteral("statExpansions")));
    QTRY_COMPARE(settingsFile().value(QStringLiteral("statExpansions")).toInt(), 7);
    QCOMPARE(settingsFile().value(QStringLiteral("statCharsSaved")).toInt(), 70);
    // Still pending at quit: written when the store goes.
    s->setStatExpansions(8);
    s.reset();
    QCOMPARE(settingsFile().value(QStringLiteral("statExpansions")).toInt(), 8);
}

void tst_Store::aiBackendMigration()
{
    TestHome::writeFile(m_home->settingsPath(), R"({"aiSnippetsEnabled":true})");
    {
        auto s = makeStore();
        QCOMPARE(s->aiWritingBackend(), AIBackend::openAI);
        QCOMPARE(settingsFile().value(QStringLiteral("aiWritingBackend")).toString(), QStringLiteral("openAI"));
        QCOMPARE(settingsFile().value(QStringLiteral("aiBackendsMigrated")).toBool(), true);
        s->setAiWritingBackend(AIBackend::off);
    }
    auto s = makeStore();
    QCOMPARE(s->aiWritingBackend(), AIBackend::off); // a later choice is left alone
}

void tst_Store::writtenFiles()
{
    auto s = makeStore();
    const QString corr = m_home->dataFile(QStringLiteral("corrections.json"));
    TestHome::writeFile(corr, R"({"custom":[],"disabledBuiltins":[]})");
    ::chmod(QFile::encodeName(corr).constData(), 0644);
    s->setDisabledBuiltins({});
    QCOMPARE(TestHome::permissions(corr), 0600);
    const QByteArray bytes = TestHome::readFile(corr);
    const QJsonObject o = QJsonDocument::fromJson(bytes).object();
    QVERIFY(o.value(QStringLiteral("custom")).isArray() && o.value(QStringLiteral("disabledBuiltins")).isArray());
    QVERIFY(bytes.indexOf("custom") < bytes.indexOf("disabledBuiltins"));

    SnippetGroup g;
    g.name = QStringLiteral("Work");
    s->setGroups({g});
    const QString groups = m_home->dataFile(QStringLiteral("groups.json"));
    QCOMPARE(TestHome::permissions(groups), 0600);
    QVERIFY(TestHome::readFile(groups).contains(uuidText(g.id).toUtf8()));
    // Every path re-creates a deleted folder.
    QDir(m_home->dataDir()).removeRecursively();
    s->setSnippets({});
    QCOMPARE(TestHome::permissions(m_home->dataDir()), 0700);
    QCOMPARE(TestHome::readFile(m_home->dataFile(QStringLiteral("snippets.json"))).trimmed(), QByteArray("[\n]"));
}

QTEST_GUILESS_MAIN(tst_Store)
#include "tst_Store.moc"
