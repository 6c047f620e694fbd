#include "model/AppState.h"
#include "model/BackupManager.h"
#include "model/DailyBackup.h"
#include "model/LegacyMigration.h"

#include "TestHome.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <memory>
#include <sys/stat.h>

class tst_DataFolder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_home = std::make_unique<TestHome>();
        m_today = QDate(2026, 3, 15);
        m_time = QTime(9, 30);
        m_clockValid = true;
        BackupManager::setClock([this] { return m_clockValid ? QDateTime(m_today, m_time) : QDateTime(); });
    }
    void cleanup() { m_home.reset(); }

    void migration_data();
    void migration();
    void migrationMarkerNeedsEveryCopy();
    void backupOncePerDay();
    void secondBackupSameDay();
    void pruning();
    void namesThatAreNotBackups();
    void backupNamesIgnoreTheLocale();
    void backupsResumeAfterTheClockWasAhead();
    void clockOutOfRangeMakesNoBackup_data();
    void clockOutOfRangeMakesNoBackup();
    void backupWhenTheDateChanges();

private:
    QString former() const { return m_home->dataHome() + QStringLiteral("/Vornt"); }
    QString backups() const { return m_home->dataDir() + QStringLiteral("/Backups"); }
    std::unique_ptr<TestHome> m_home;
    QDate m_today;
    QTime m_time;
    bool m_clockValid = true;
};

void tst_DataFolder::migration_data()
{
    QTest::addColumn<QStringList>("formerFiles");
    QTest::addColumn<QStringList>("links");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("copied");
    QTest::addColumn<bool>("marker");
    QTest::newRow("no former folder") << QStringList() << QStringList() << QStringList() << QStringList() << false;
    QTest::newRow("file and link") << QStringList{"snippets.json"} << QStringList{"groups.json"} << QStringList()
                                   << QStringList{"snippets.json"} << true;
    QTest::newRow("never overwrites") << QStringList{"snippets.json", "stats.json"} << QStringList()
                                      << QStringList{"snippets.json"} << QStringList{"stats.json"} << true;
    QTest::newRow("nothing to take") << QStringList{"other.txt"} << QStringList() << QStringList() << QStringList()
                                     << true;
    QTest::newRow("backups folder") << QStringList{"Backups/2025-01-01/snippets.json", "openai_api_key"}
                                    << QStringList() << QStringList()
                                    << QStringList{"Backups/2025-01-01/snippets.json", "openai_api_key"} << true;
}

void tst_DataFolder::migration()
{
    QFETCH(QStringList, formerFiles);
    QFETCH(QStringList, links);
    QFETCH(QStringList, present);
    QFETCH(QStringList, copied);
    QFETCH(bool, marker);
    const bool hasFormer = !formerFiles.isEmpty() || !links.isEmpty();
    if (hasFormer)
        QDir().mkpath(former());
    for (const QString& f : formerFiles)
        TestHome::writeFile(former() + QLatin1Char('/') + f, "old " + f.toUtf8());
    for (const QString& l : links)
        QFile::link(m_home->root() + QStringLiteral("/elsewhere"), former() + QLatin1Char('/') + l);
    TestHome::writeFile(m_home->root() + QStringLiteral("/elsewhere"), "not ours");
    for (const QString& p : present)
        TestHome::writeFile(m_home->dataFile(p), "new");

    AppState::supportDir(); // the first use runs it
    for (const QString& c : copied) {
        QCOMPARE(TestHome::readFile(m_home->dataFile(c)), "old " + c.toUtf8());
        QCOMPARE(TestHome::permissions(m_home->dataFile(c)), 0600);
    }
    for (const QString& p : present)
        QCOMPARE(TestHome::readFile(m_home->dataFile(p)), QByteArray("new"));
    for (const QString& l : links)
        QVERIFY(!QFileInfo::exists(m_home->dataFile(l)));
    const QString markerPath = m_home->dataFile(QStringLiteral(".migrated-from-vornt"));
    QCOMPARE(QFileInfo::exists(markerPath), marker);
    if (marker) {
        const QString text = QString::fromUtf8(TestHome::readFile(markerPath));
        QVERIFY(text.startsWith(QStringLiteral("Migrated from ") + former() + QStringLiteral(" on ")));
        QVERIFY(text.endsWith(QStringLiteral("Z.\nThe original Vornt folder is left untouched as a backup.\n")));
        // Once marked, deleted files are not brought back.
        for (const QString& c : copied)
            QFile::remove(m_home->dataFile(c));
        LegacyMigration::migrate(m_home->dataHome());
        for (const QString& c : copied)
            QVERIFY(!QFileInfo::exists(m_home->dataFile(c)));
    }
}

void tst_DataFolder::migrationMarkerNeedsEveryCopy()
{
    TestHome::writeFile(former() + QStringLiteral("/snippets.json"), "[]");
    TestHome::writeFile(former() + QStringLiteral("/groups.json"), "[]");
    ::chmod(QFile::encodeName(former() + QStringLiteral("/groups.json")).constData(), 0000);
    if (QFile(former() + QStringLiteral("/groups.json")).open(QIODevice::ReadOnly))
        QSKIP("running with permissions that read any file (root)");
    LegacyMigration::migrate(m_home->dataHome());
    QVERIFY(QFileInfo::exists(m_home->dataFile(QStringLiteral("snippets.json"))));
    QVERIFY(!QFileInfo::exists(m_home->dataFile(QStringLiteral(".migrated-from-vornt"))));
}

void tst_DataFolder::backupOncePerDay()
{
    TestHome::writeFile(m_home->dataFile(QStringLiteral("snippets.json")), "one");
    TestHome::writeFile(m_home->dataFile(QStringLiteral("openai_api_key")), "sk-secret");
    BackupManager::backupIfNeeded();
    const QString day = backups() + QStringLiteral("/2026-03-15");
    QCOMPARE(TestHome::readFile(day + QStringLiteral("/snippets.json")), QByteArray("one"));
    QVERIFY(!QFileInfo::exists(day + QStringLiteral("/openai_api_key"))); // the key is never backed up
    QVERIFY(!QFileInfo::exists(day + QStringLiteral("/learning.json")));
    QCOMPARE(TestHome::permissions(day), 0700);
    QCOMPARE(TestHome::permissions(backups()), 0700);
    QCOMPARE(TestHome::permissions(day + QStringLiteral("/snippets.json")), 0600);
    TestHome::writeFile(m_home->dataFile(QStringLiteral("snippets.json")), "two");
    BackupManager::backupIfNeeded(); // today's exists: nothing
    QCOMPARE(TestHome::readFile(day + QStringLiteral("/snippets.json")), QByteArray("one"));
    QCOMPARE(BackupManager::lastBackupDate(), std::optional<QDate>(m_today));
}

void tst_DataFolder::secondBackupSameDay()
{
    TestHome::writeFile(m_home->dataFile(QStringLiteral("snippets.json")), "one");
    TestHome::writeFile(m_home->dataFile(QStringLiteral("groups.json")), "g");
    BackupManager::backupNow();
    TestHome::writeFile(m_home->dataFile(QStringLiteral("snippets.json")), "two");
    QFile::remove(m_home->dataFile(QStringLiteral("groups.json")));
    QCOMPARE(BackupManager::backupNow(), std::optional<QDate>(m_today));
    const QString day = backups() + QStringLiteral("/2026-03-15");
    QCOMPARE(TestHome::readFile(day + QStringLiteral("/snippets.json")), QByteArray("two"));
    QCOMPARE(TestHome::readFile(day + QStringLiteral("/groups.json")), QByteArray("g")); // earlier copy kept
    QCOMPARE(QDir(backups()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("2026-03-15")}); // no staging left behind
}

void tst_DataFolder::pruning()
{
    for (int i = 1; i <= 14; ++i)
        QDir().mkpath(backups() + QStringLiteral("/2026-02-%1").arg(i, 2, 10, QLatin1Char('0')));
    BackupManager::backupNow();
    const QStringList left = QDir(backups()).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    QCOMPARE(left.size(), 14);
    QCOMPARE(left.first(), QStringLiteral("2026-02-02"));
    QCOMPARE(left.last(), QStringLiteral("2026-03-15"));
}

void tst_DataFolder::namesThatAreNotBackups()
{
    QVERIFY(!BackupManager::lastBackupDate());
    QDir().mkpath(backups() + QStringLiteral("/backup-old"));
    QDir().mkpath(backups() + QStringLiteral("/2025-1-01"));
    TestHome::writeFile(backups() + QStringLiteral("/2025-01-01"), "a file");
    QDir().mkpath(backups() + QString::fromUtf8("/٢٠٢٥-٠١-٠٢")); // Arabic-Indic digits
    QVERIFY(!BackupManager::lastBackupDate());
    for (int i = 1; i <= 14; ++i)
        QDir().mkpath(backups() + QStringLiteral("/2026-01-%1").arg(i, 2, 10, QLatin1Char('0')));
    BackupManager::backupNow();
    QVERIFY(QFileInfo::exists(backups() + QStringLiteral("/backup-old")));
    QVERIFY(QFileInfo::exists(backups() + QStringLiteral("/2025-1-01")));
    QVERIFY(QFileInfo(backups() + QStringLiteral("/2025-01-01")).isFile());
    QCOMPARE(BackupManager::lastBackupDate(), std::optional<QDate>(m_today));
}

void tst_DataFolder::backupNamesIgnoreTheLocale()
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt));
    QCOMPARE(BackupManager::folderName(QDate(2026, 3, 5)), QStringLiteral("2026-03-05"));
    QLocale::setDefault(QLocale(QLocale::Thai, QLocale::Thailand));
    QCOMPARE(BackupManager::folderName(QDate(2026, 12, 31)), QStringLiteral("2026-12-31"));
    QLocale::setDefault(saved);
    QVERIFY(BackupManager::isBackupName(QStringLiteral("2026-03-05")));
    QVERIFY(!BackupManager::isBackupName(QStringLiteral("2026-03-5")));
}

void tst_DataFolder::backupsResumeAfterTheClockWasAhead()
{
    // Fourteen backups made while the clock stood a year ahead.
    for (int i = 1; i <= 14; ++i)
        QDir().mkpath(backups() + QStringLiteral("/2027-01-%1").arg(i, 2, 10, QLatin1Char('0')));
    QDir().mkpath(backups() + QStringLiteral("/2026-02-30")); // no such day
    TestHome::writeFile(m_home->dataFile(QStringLiteral("snippets.json")), "[]");
    for (int day = 0; day < 16; ++day) {
        const QString today = BackupManager::folderName(m_today);
        QCOMPARE(BackupManager::backupNow(), std::optional<QDate>(m_today)); // not a date from the future
        const QStringList left = QDir(backups()).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        QVERIFY2(left.contains(today), qPrintable(left.join(u' ')));
        QVERIFY(left.size() <= BackupManager::kKeep);
        m_today = m_today.addDays(1);
    }
    const QStringList left = QDir(backups()).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    QCOMPARE(left.size(), BackupManager::kKeep);
    QCOMPARE(left.first(), QStringLiteral("2026-03-17"));
    QCOMPARE(left.last(), QStringLiteral("2026-03-30"));
}

void tst_DataFolder::clockOutOfRangeMakesNoBackup_data()
{
    QTest::addColumn<QDate>("date");
    QTest::newRow("year 10000") << QDate(10000, 1, 1);
    QTest::newRow("before year 1") << QDate(-1, 12, 31);
    QTest::newRow("no date at all") << QDate();
}

void tst_DataFolder::clockOutOfRangeMakesNoBackup()
{
    QFETCH(QDate, date);
    TestHome::writeFile(m_home->dataFile(QStringLiteral("snippets.json")), "[]");
    for (int i = 1; i <= 14; ++i)
        QDir().mkpath(backups() + QStringLiteral("/2026-02-%1").arg(i, 2, 10, QLatin1Char('0')));
    m_today = date;
    m_clockValid = date.isValid();
    BackupManager::backupIfNeeded();
    BackupManager::backupNow();
    // Nothing made, nothing pruned.
    QCOMPARE(QDir(backups()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 14);
}

void tst_DataFolder::backupWhenTheDateChanges()
{
    TestHome::writeFile(m_home->dataFile(QStringLiteral("snippets.json")), "day one");
    m_time = QTime(23, 59, 59, 500);
    DailyBackup daily;
    daily.start();
    QCOMPARE(TestHome::readFile(backups() + QStringLiteral("/2026-03-15/snippets.json")), QByteArray("day one"));
    // One timer, aimed just past midnight.
    QVERIFY(daily.isActive());
    QVERIFY2(daily.remainingMs() > 0 && daily.remainingMs() <= 2000, qPrintable(QString::number(daily.remainingMs())));
    TestHome::writeFile(m_home->dataFile(QStringLiteral("snippets.json")), "day two");
    m_today = m_today.addDays(1);
    m_time = QTime(0, 0, 1);
    QTRY_COMPARE_WITH_TIMEOUT(TestHome::readFile(backups() + QStringLiteral("/2026-03-16/snippets.json")),
                              QByteArray("day two"), 5000);
    // And again aimed at the next midnight, a day away.
    QVERIFY(daily.remainingMs() > 6 * 3600 * 1000 - 5000);
    QCOMPARE(DailyBackup::msecsToNextDay(QDateTime(QDate(2026, 3, 16), QTime(23, 0))), 3600 * 1000 + 1000);
}

QTEST_GUILESS_MAIN(tst_DataFolder)
#include "tst_DataFolder.moc"
