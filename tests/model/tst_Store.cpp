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
#include <utime.h>
#include <unistd.h>

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
    void damagedFileIsKeptAndToldOnce_data();
    void damagedFileIsKeptAndToldOnce();
    void fileThatCannotBeKeptIsNeverReplaced_data();
    void fileThatCannotBeKeptIsNeverReplaced();
    void foldersAndFilesTightenedAtStart();
    void linkedFilesAreWrittenThrough_data();
    void linkedFilesAreWrittenThrough();
    void staleTemporariesRemovedAtStart();
    void textAndCountsKeptExactly();
    void byteOrderMarksKeptInEveryFile();

private:
    std::unique_ptr<AppState> makeStore()
    {
        AppState::Options o = m_home->storeOptions();
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
    // A list that reads is the user's, even with records skipped: no samples stand in for it.
    QTest::newRow("snippet without content") << "snippets.json" << QByteArray(R"([{"trigger":"x"}])") << 0 << 0 << 0;
    QTest::newRow("wrong-typed field") << "snippets.json"
                                       << QByteArray(R"([{"trigger":";email","content":"me@home","enabled":"yes"},)"
                                                     R"({"trigger":"x"},{"trigger":"y","content":"z"}])")
                                       << 2 << 0 << 0;
    QTest::newRow("not a list") << "snippets.json" << QByteArray(R"({"trigger":"x","content":"y"})") << 4 << 0 << 0;
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
    AppState::Options o = m_home->storeOptions();
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

void tst_Store::damagedFileIsKeptAndToldOnce_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("skipped");
    QTest::newRow("one bad snippet") << "snippets.json"
                                     << QByteArray(R"([{"trigger":";email","content":"me@home"},{"trigger":7,"content":""}])")
                                     << 1;
    QTest::newRow("snippets not JSON") << "snippets.json" << QByteArray("[{\"trigger\":") << -1;
    QTest::newRow("two bad groups") << "groups.json" << QByteArray(R"([{"appMode":2},{"name":"A"},5])") << 2;
    QTest::newRow("bad correction") << "corrections.json"
                                    << QByteArray(R"({"custom":[{"wrong":"a"}],"disabledBuiltins":["teh",3]})") << 2;
    QTest::newRow("negative count") << "stats.json"
                                    << QByteArray(R"({"byApp":{"XTerm":-1,"Code":2},"bySnippet":{}})") << 1;
    QTest::newRow("settings not an object") << "settings.json" << QByteArray("[]") << -1;
}

void tst_Store::damagedFileIsKeptAndToldOnce()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, bytes);
    QFETCH(int, skipped);
    const bool settings = file == QLatin1String("settings.json");
    const QString path = settings ? m_home->settingsPath() : m_home->dataFile(file);
    TestHome::writeFile(path, bytes);
    const auto keptCopies = [&] {
        return QFileInfo(path).dir().entryList({file + QStringLiteral(".unreadable-*")}, QDir::Files);
    };
    {
        auto s = makeStore();
        QCOMPARE(s->notices().size(), 1);
        const AppState::StoreNotice n = s->notices().first();
        QCOMPARE(n.file, file);
        QCOMPARE(n.wholeFile, skipped < 0);
        QCOMPARE(n.skippedRecords, std::max(0, skipped));
        QVERIFY(!n.savesHeld);
        QCOMPARE(TestHome::readFile(n.keptAs), bytes);
        QVERIFY2(n.message.contains(file) && n.message.contains(QFileInfo(n.keptAs).fileName()), qPrintable(n.message));
        if (skipped > 0)
            QVERIFY2(n.message.contains(QString::number(skipped)), qPrintable(n.message));
        if (!settings) // (settings are written at start-up: the AI back-end migration flag)
            QCOMPARE(TestHome::readFile(path), bytes); // untouched until the next save
        if (file == QLatin1String("snippets.json") && skipped > 0) {
            // The user's readable snippets stay: the samples never stand in for them.
            QCOMPARE(s->snippets().size(), 1);
            QCOMPARE(s->snippets().first().content, QStringLiteral("me@home"));
        }
        // The next save replaces the file; the copy keeps the original bytes.
        if (settings) {
            s->setHudEnabled(false);
        } else if (file == QLatin1String("stats.json")) {
            s->recordUsage(QUuid::createUuid(), QStringLiteral("XTerm"));
            s->flushPendingStats();
        } else {
            s->setSnippets(s->snippets());
            s->setGroups(s->groups());
            s->setCustomCorrections(s->customCorrections());
        }
        QVERIFY(TestHome::readFile(path) != bytes);
        QCOMPARE(TestHome::readFile(n.keptAs), bytes);
        QCOMPARE(s->notices().size(), 1); // told once
    }
    // A file that stays damaged across starts is kept once, not once per start.
    TestHome::writeFile(path, bytes);
    auto again = makeStore();
    QCOMPARE(keptCopies().size(), 1);
    QCOMPARE(again->notices().size(), 1);
}

void tst_Store::fileThatCannotBeKeptIsNeverReplaced_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("snippets") << "snippets.json";
    QTest::newRow("settings") << "settings.json";
}

void tst_Store::fileThatCannotBeKeptIsNeverReplaced()
{
    QFETCH(QString, file);
    // A folder so deep that the file fits in a path but the name of its copy does not.
    QString deep = m_home->root();
    const int pathMax = 4096;
    const int target = pathMax - 1 - 20 - int(QStringLiteral("/Quenvil/").size()) - int(file.size());
    while (deep.size() + 201 < target)
        deep += QLatin1Char('/') + QString(200, u'd');
    deep += QLatin1Char('/') + QString(target - deep.size() - 1, u'e');
    QVERIFY(QDir().mkpath(deep + QStringLiteral("/Quenvil")));
    const QString path = deep + QStringLiteral("/Quenvil/") + file;
    const QByteArray bytes = "[{\"trigger\":\"keep me\"";
    TestHome::writeFile(path, bytes);

    AppState::Options o = m_home->storeOptions();
    o.deferSettingsWrites = false;
    if (file == QLatin1String("settings.json"))
        o.settingsPath = path;
    else
        qputenv("XDG_DATA_HOME", QFile::encodeName(deep));
    auto s = std::make_unique<AppState>(o);
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_home->dataHome()));
    QCOMPARE(s->notices().size(), 1);
    QVERIFY(s->notices().first().savesHeld);
    QVERIFY(s->notices().first().keptAs.isEmpty());
    QVERIFY(!s->notices().first().message.isEmpty());

    // The store keeps working in memory, and the file is never replaced.
    Snippet mine;
    mine.trigger = QStringLiteral("x");
    if (file == QLatin1String("settings.json")) {
        s->setHudEnabled(false);
        QVERIFY(!s->hudEnabled());
    } else {
        qputenv("XDG_DATA_HOME", QFile::encodeName(deep));
        s->setSnippets({mine});
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_home->dataHome()));
        QCOMPARE(s->snippets().size(), 1);
    }
    QCOMPARE(TestHome::readFile(path), bytes);
    QCOMPARE(s->notices().size(), 1);
}

void tst_Store::foldersAndFilesTightenedAtStart()
{
    const QString configDir = QFileInfo(m_home->settingsPath()).absolutePath();
    TestHome::writeFile(m_home->settingsPath(), R"({"hudEnabled":false})");
    const QString key = m_home->dataFile(QStringLiteral("openai_api_key"));
    // A key too large to load is still closed to others.
    TestHome::writeFile(key, QByteArray(1 << 20, 'k'));
    TestHome::writeFile(m_home->dataFile(QStringLiteral("learning.json")), "{}");
    ::chmod(QFile::encodeName(configDir).constData(), 0755);
    ::chmod(QFile::encodeName(m_home->settingsPath()).constData(), 0666);
    ::chmod(QFile::encodeName(key).constData(), 0644);
    ::chmod(QFile::encodeName(m_home->dataFile(QStringLiteral("learning.json"))).constData(), 0664);
    ::chmod(QFile::encodeName(m_home->dataDir()).constData(), 0777);
    auto s = makeStore();
    QVERIFY(!s->hudEnabled());
    QVERIFY(!s->settings().hasPendingWrite());
    QCOMPARE(TestHome::permissions(configDir), 0700);
    QCOMPARE(TestHome::permissions(m_home->settingsPath()), 0600);
    QCOMPARE(TestHome::permissions(m_home->dataDir()), 0700);
    QCOMPARE(TestHome::permissions(key), 0600);
    QCOMPARE(TestHome::permissions(m_home->dataFile(QStringLiteral("learning.json"))), 0600);
}

void tst_Store::linkedFilesAreWrittenThrough_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("dangling");
    QTest::newRow("snippets") << "snippets.json" << false;
    QTest::newRow("snippets, link to nothing yet") << "snippets.json" << true;
    QTest::newRow("settings") << "settings.json" << false;
    QTest::newRow("settings, link to nothing yet") << "settings.json" << true;
}

void tst_Store::linkedFilesAreWrittenThrough()
{
    QFETCH(QString, file);
    QFETCH(bool, dangling);
    // The user keeps the real file elsewhere (a dotfiles folder) and links it in.
    const QString dotfiles = m_home->root() + QStringLiteral("/dotfiles");
    const QString real = dotfiles + QLatin1Char('/') + file;
    QDir().mkpath(dotfiles);
    const bool settings = file == QLatin1String("settings.json");
    if (!dangling)
        TestHome::writeFile(real, settings ? QByteArray(R"({"soundName":"Glass"})")
                                           : QByteArray(R"([{"trigger":"mine","content":"linked"}])"));
    const QString link = settings ? m_home->settingsPath() : m_home->dataFile(file);
    QDir().mkpath(QFileInfo(link).absolutePath());
    QVERIFY(QFile::link(QStringLiteral("../../dotfiles/") + file, link) || QFile::link(real, link));
    QCOMPARE(QFileInfo(link).canonicalFilePath().isEmpty(), dangling);

    auto s = makeStore();
    if (settings) {
        QCOMPARE(s->soundName(), dangling ? QStringLiteral("Pop") : QStringLiteral("Glass"));
        s->setHudEnabled(false);
    } else {
        QCOMPARE(s->snippets().size(), dangling ? 4 : 1);
        Snippet n;
        n.trigger = QStringLiteral("new");
        n.content = QStringLiteral("through the link");
        s->addSnippets({n});
    }
    QVERIFY(s->notices().isEmpty());
    // The link stays a link, and its target holds what was saved.
    QVERIFY(QFileInfo(link).isSymLink());
    const QByteArray saved = TestHome::readFile(real);
    QVERIFY2(saved.contains(settings ? "hudEnabled" : "through the link"), saved.constData());
    QCOMPARE(TestHome::permissions(real), 0600);
    QCOMPARE(QDir(dotfiles).entryList(QDir::Files | QDir::Hidden), QStringList{file}); // no temporary left
}

void tst_Store::staleTemporariesRemovedAtStart()
{
    const auto age = [](const QString& path, int seconds) {
        const time_t t = ::time(nullptr) - seconds;
        const utimbuf times{t, t};
        ::utime(QFile::encodeName(path).constData(), &times);
    };
    const QString configDir = QFileInfo(m_home->settingsPath()).absolutePath();
    const QString backups = m_home->dataFile(QStringLiteral("Backups"));
    const QStringList stale{m_home->dataFile(QStringLiteral(".snippets.json.tmp-1f2e3d")),
                            m_home->dataFile(QStringLiteral(".learning.json.tmp-ab")),
                            configDir + QStringLiteral("/.settings.json.tmp-9")};
    const QStringList kept{m_home->dataFile(QStringLiteral(".stats.json.tmp-77")), // too young
                           m_home->dataFile(QStringLiteral(".notes.tmp-mine")),    // not ours
                           m_home->dataFile(QStringLiteral("snippets.json.tmp-1"))};
    for (const QString& f : stale + kept)
        TestHome::writeFile(f, "x");
    for (const QString& f : stale + kept.mid(1))
        age(f, 120);
    const QStringList work{backups + QStringLiteral("/.staging-2026-01-02-99999"),
                           backups + QStringLiteral("/.retired-2026-01-02-99998")};
    for (const QString& d : work) {
        TestHome::writeFile(d + QStringLiteral("/snippets.json"), "x");
        age(d, 120);
    }
    const QString fresh = backups + QStringLiteral("/.staging-2026-01-03-99997");
    QDir().mkpath(fresh);
    QDir().mkpath(backups + QStringLiteral("/2026-01-02"));
    age(backups + QStringLiteral("/2026-01-02"), 120);

    auto s = makeStore();
    for (const QString& f : stale + work)
        QVERIFY2(!QFileInfo::exists(f), qPrintable(f));
    for (const QString& f : kept + QStringList{fresh, backups + QStringLiteral("/2026-01-02")})
        QVERIFY2(QFileInfo::exists(f), qPrintable(f));
}

void tst_Store::textAndCountsKeptExactly()
{
    // A lone surrogate escape in the user's text, counts past 32 bits, a date far out.
    const QByteArray snippets = R"([{"trigger":"s","content":"a\ud800b\udc00","id":"6F9619FF-8B86-D011-B42D-00C04FC964FF"}])";
    TestHome::writeFile(m_home->dataFile(QStringLiteral("snippets.json")), snippets);
    TestHome::writeFile(m_home->settingsPath(), R"({"statExpansions":5000000000,"statCorrections":-3,"statCharsSaved":1e300})");
    {
        auto s = makeStore();
        QVERIFY(s->notices().isEmpty());
        const QString expected = QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b") + QChar(0xDC00);
        QCOMPARE(s->snippets().first().content, expected);
        QCOMPARE(s->statExpansions(), 5000000000LL);
        QCOMPARE(s->statCorrections(), 0);  // never negative
        QVERIFY(s->statCharsSaved() > 0);  // the largest value, not an overflow
        s->setSnippets(s->snippets());
    }
    auto s = makeStore();
    QCOMPARE(s->snippets().first().content,
             QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b") + QChar(0xDC00));
}

void tst_Store::byteOrderMarksKeptInEveryFile()
{
    // Qt's reader drops a U+FEFF at the start of a string written raw; every file must still
    // read back exactly what was written, at the start, inside and as the whole string.
    const QChar bom(0xFEFF);
    const QString lead = bom + QStringLiteral("lead");
    const QString inner = QStringLiteral("in") + bom + QStringLiteral("ner");
    const QString alone(bom);
    QList<Snippet> snippets(3);
    snippets[0].trigger = lead;
    snippets[0].content = alone;
    snippets[1].trigger = inner;
    snippets[1].content = lead;
    snippets[2].trigger = alone;
    snippets[2].content = inner;
    SnippetGroup group;
    group.name = lead;
    group.triggerPrefix = alone;
    group.appList = {lead, inner};
    CustomCorrection correction;
    correction.wrong = lead;
    correction.right = alone;
    {
        auto s = makeStore();
        s->setSnippets(snippets);
        s->setGroups({group});
        s->setCustomCorrections({correction});
        s->setDisabledBuiltins({lead});
        s->setSpellFixExcludedApps({lead, alone});
        s->setSoundName(lead);
    }
    for (const QString& file : {QStringLiteral("snippets.json"), QStringLiteral("groups.json"),
                                QStringLiteral("corrections.json")})
        QVERIFY2(!TestHome::readFile(m_home->dataFile(file)).contains("\xEF\xBB\xBF"), qPrintable(file));
    QVERIFY(!TestHome::readFile(m_home->settingsPath()).contains("\xEF\xBB\xBF"));
    auto s = makeStore();
    QVERIFY(s->notices().isEmpty());
    QCOMPARE(s->snippets(), snippets);
    QCOMPARE(s->groups(), QList<SnippetGroup>{group});
    QCOMPARE(s->customCorrections(), QList<CustomCorrection>{correction});
    QCOMPARE(s->disabledBuiltins(), QSet<QString>{lead});
    QCOMPARE(s->spellFixExcludedApps(), (QStringList{lead, alone}));
    QCOMPARE(s->soundName(), lead);
}

QTEST_GUILESS_MAIN(tst_Store)
#include "tst_Store.moc"
