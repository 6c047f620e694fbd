// Import into the store (the merge and its status line), the export, the file-size gate
// and the dialogs' part, against a store in a throw-away home.
#include "library/SnippetImportExport.h"

#include "model/AppState.h"

#include "FakeFileChooser.h"
#include "TestHome.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

class tst_ImportMerge : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void status_data();
    void status();
    void newGroupsAndSnippetsAreStored();
    void reusedGroupAndForeignGroupIDs();
    void shellSnippetsArriveSwitchedOff();
    void nothingToAddChangesNothing();
    void exportWritesSortedRecords();
    void exportThenImportAddsNothing();
    void exportEmptyStore();
    void exportFailure();
    void sizeGate_data();
    void sizeGate();
    void limitCountsBytesRead();
    void dialogs();

private:
    QString path(const QString& name) const { return m_home->root() + QLatin1Char('/') + name; }

    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<AppState> m_store;
    SnippetGroup m_work; // no prefix
    SnippetGroup m_code; // prefix ";"
};

static Snippet snip(const QString& trigger, const QString& content = QStringLiteral("text"),
                    std::optional<QUuid> group = std::nullopt)
{
    Snippet s;
    s.trigger = trigger;
    s.content = content;
    s.groupID = group;
    return s;
}

void tst_ImportMerge::init()
{
    m_home = std::make_unique<TestHome>();
    m_store = std::make_unique<AppState>(m_home->storeOptions());
    m_work = SnippetGroup{};
    m_work.name = QStringLiteral("Work");
    m_code = SnippetGroup{};
    m_code.name = QStringLiteral("Code");
    m_code.triggerPrefix = QStringLiteral(";");
    m_store->setGroups({m_work, m_code});
    Snippet off = snip(QStringLiteral("off"));
    off.enabled = false;
    m_store->setSnippets({snip(QStringLiteral("sig")), snip(QStringLiteral("omw"), QStringLiteral("x"), m_work.id),
                          snip(QStringLiteral("fn"), QStringLiteral("x"), m_code.id), off});
}

void tst_ImportMerge::cleanup()
{
    m_store.reset();
    m_home.reset();
}

static const QByteArray kTagged = "Level,Type,Guid,Label,Abbreviations,Text,ScriptType\n";

void tst_ImportMerge::status_data()
{
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("status");

    QTest::newRow("one") << "csv" << QByteArray("new,x") << "Imported 1 snippet.";
    QTest::newRow("stored trigger is a duplicate") << "csv" << QByteArray("a,1\nb,2\nsig,3")
                                                   << "Imported 2 snippets, skipped 1 duplicate.";
    QTest::newRow("earlier rows of the file count") << "csv" << QByteArray("a,1\na,2\nb,1\nb,2")
                                                    << "Imported 2 snippets, skipped 2 duplicates.";
    QTest::newRow("stored triggers carry their group prefix") << "csv" << QByteArray("fn,x\n;fn,y")
                                                              << "Imported 1 snippet, skipped 1 duplicate.";
    QTest::newRow("exact comparison") << "csv" << QByteArray("SIG,x\n sig,y") << "Imported 2 snippets.";
    QTest::newRow("disabled stored snippets count") << "csv" << QByteArray("off,x")
                                                    << "Imported 0 snippets, skipped 1 duplicate.";
    QTest::newRow("empty trigger or content not mentioned")
        << "json" << QByteArray(R"([{"trigger":"a","content":""},{"trigger":"","content":"b"}])")
        << "Imported 0 snippets.";
    QTest::newRow("JSON snippet of a prefixed stored group")
        << "json" << QByteArray(R"([{"trigger":"fn","content":"x","groupID":"@CODE@"}])")
        << "Imported 0 snippets, skipped 1 duplicate.";
    QTest::newRow("new group") << "csv" << kTagged + "0,1,g,Mail,,,\n1,0,a,,m1,x,\n1,0,b,,m2,y,\n"
                               << "Imported 2 snippets, 1 new group.";
    QTest::newRow("group without prefix reused")
        << "csv" << kTagged + "0,1,g,Work,,,\n1,0,a,,omw,x,\n1,0,b,,w2,y,\n" << "Imported 1 snippet, skipped 1 duplicate.";
    QTest::newRow("group of duplicates is not created")
        << "csv" << kTagged + "0,1,g,New,,,\n1,0,a,,sig,x,\n1,0,b,,omw,y,\n" << "Imported 0 snippets, skipped 2 duplicates.";
    QTest::newRow("group named like a prefixed one is new")
        << "csv" << kTagged + "0,1,g,Code,,,\n1,0,a,,fn,x,\n" << "Imported 1 snippet, 1 new group.";
    QTest::newRow("unsupported only") << "csv"
                                      << kTagged + "1,0,a,,t1,x,AppleScript\n1,0,b,,t2,y,AppleScript\n1,0,c,,,,js\n"
                                      << "Imported 0 snippets, 3 unsupported.";
    QTest::newRow("every part")
        << "csv"
        << kTagged + "1,0,a,,lo,x,\n1,0,b,,sig,x,\n0,1,g,A,,,\n1,0,c,,a1,x,\n1,0,d,,a1,y,\n0,1,h,B,,,\n"
                     "1,0,e,,b1,x,\n1,0,f,,,x,\n"
        << "Imported 3 snippets, 2 new groups, skipped 2 duplicates, 1 unsupported.";
}

void tst_ImportMerge::status()
{
    QFETCH(QString, extension);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, status);
    // The stored groups are made per row, after the table.
    bytes.replace("@CODE@", m_code.id.toString(QUuid::WithoutBraces).toLatin1());
    const QString file = path(QStringLiteral("import.") + extension.toUpper());
    TestHome::writeFile(file, bytes);
    QCOMPARE(SnippetImportExport::importFile(*m_store, file), status);
}

void tst_ImportMerge::newGroupsAndSnippetsAreStored()
{
    QStringList order;
    connect(m_store.get(), &AppState::groupsChanged, this, [&] { order << QStringLiteral("groups"); });
    connect(m_store.get(), &AppState::snippetsChanged, this, [&] { order << QStringLiteral("snippets"); });
    const auto outcome = SnippetImport::parseCSV(kTagged + "1,0,a,,lo,x,\n0,1,g,Mail,,,\n1,0,b,,m1,y,\n");
    QVERIFY(outcome.ok());

    QCOMPARE(SnippetImportExport::merge(*m_store, outcome.result), QStringLiteral("Imported 2 snippets, 1 new group."));
    // Groups first: no stored snippet ever points to a group that is not stored yet.
    QCOMPARE(order, (QStringList{"groups", "snippets"}));

    const QList<SnippetGroup> groups = m_store->groups();
    QCOMPARE(groups.size(), 3);
    const SnippetGroup mail = groups.at(2);
    QCOMPARE(mail.name, QStringLiteral("Mail"));
    QVERIFY(mail.enabled);
    QVERIFY(mail.triggerPrefix.isEmpty());
    QCOMPARE(mail.appMode, AppScopeMode::all);
    QVERIFY(mail.appList.isEmpty());
    QVERIFY(mail.id != m_work.id && mail.id != m_code.id);

    const QList<Snippet> snippets = m_store->snippets();
    QCOMPARE(snippets.size(), 6);
    QCOMPARE(snippets.at(4).trigger, QStringLiteral("lo"));
    QVERIFY(!snippets.at(4).groupID);
    QCOMPARE(snippets.at(5).trigger, QStringLiteral("m1"));
    QCOMPARE(snippets.at(5).groupID, std::optional<QUuid>(mail.id));
    // Fresh ids, not the parser's.
    QVERIFY(snippets.at(4).id != outcome.result.snippets.at(0).id);
    QVERIFY(snippets.at(5).id != outcome.result.groups.at(0).snippets.at(0).id);

    // The store's files hold the same.
    AppState reloaded(m_home->storeOptions());
    QCOMPARE(reloaded.groups(), groups);
    QCOMPARE(reloaded.snippets(), snippets);
}

void tst_ImportMerge::reusedGroupAndForeignGroupIDs()
{
    const QUuid foreign = QUuid::createUuid();
    SnippetImport::Result result;
    Snippet keep = snip(QStringLiteral("k"), QStringLiteral("v"), foreign);
    keep.ignoreCase = true;
    keep.keepDelimiter = false;
    result.snippets = {keep};
    result.groups = {{QStringLiteral("Work"), {snip(QStringLiteral("w1"))}},
                     {QStringLiteral("Code"), {snip(QStringLiteral("c1"))}}};
    QCOMPARE(SnippetImportExport::merge(*m_store, result), QStringLiteral("Imported 3 snippets, 1 new group."));

    const QList<Snippet> snippets = m_store->snippets();
    // A group id from another store stays, though no group has it here.
    QCOMPARE(snippets.at(4).groupID, std::optional<QUuid>(foreign));
    QVERIFY(snippets.at(4).ignoreCase && !snippets.at(4).keepDelimiter);
    QCOMPARE(m_store->effectiveTrigger(snippets.at(4)), QStringLiteral("k"));
    QCOMPARE(snippets.at(5).groupID, std::optional<QUuid>(m_work.id));
    const SnippetGroup newCode = m_store->groups().at(2);
    QCOMPARE(newCode.name, QStringLiteral("Code"));
    QVERIFY(newCode.triggerPrefix.isEmpty());
    QCOMPARE(snippets.at(6).groupID, std::optional<QUuid>(newCode.id));
}

void tst_ImportMerge::shellSnippetsArriveSwitchedOff()
{
    const QString file = path(QStringLiteral("tagged.csv"));
    TestHome::writeFile(file, kTagged + "1,0,a,,up,uptime,sh\n1,0,b,,tx,text,\n");
    QCOMPARE(SnippetImportExport::importFile(*m_store, file), QStringLiteral("Imported 2 snippets."));
    const Snippet shell = m_store->snippets().at(4);
    QCOMPARE(shell.kind, SnippetKind::shell);
    QVERIFY(!shell.enabled);
    QVERIFY(m_store->snippets().at(5).enabled);
}

void tst_ImportMerge::nothingToAddChangesNothing()
{
    QSignalSpy groups(m_store.get(), &AppState::groupsChanged);
    QSignalSpy snippets(m_store.get(), &AppState::snippetsChanged);
    const auto outcome = SnippetImport::parseCSV(kTagged + "0,1,g,New,,,\n1,0,a,,sig,x,\n");
    QCOMPARE(SnippetImportExport::merge(*m_store, outcome.result),
             QStringLiteral("Imported 0 snippets, skipped 1 duplicate."));
    QCOMPARE(groups.count(), 0);
    QCOMPARE(snippets.count(), 0);
    QCOMPARE(m_store->groups().size(), 2);
}

void tst_ImportMerge::exportWritesSortedRecords()
{
    const QString file = path(QStringLiteral("out/Quenvil Snippets.json"));
    QDir().mkpath(path(QStringLiteral("out")));
    TestHome::writeFile(file, "old contents");
    QCOMPARE(SnippetImportExport::exportTo(*m_store, file), QStringLiteral("Exported 4 snippets."));
    QCOMPARE(TestHome::permissions(file), 0600);

    const QByteArray bytes = TestHome::readFile(file);
    const QJsonArray array = QJsonDocument::fromJson(bytes).array();
    QCOMPARE(array.size(), 4);
    const QStringList ungrouped{"adaptCase", "content", "enabled", "id", "ignoreCase", "keepDelimiter",
                                "kind", "learned", "trigger", "wholeWord"};
    QCOMPARE(array.at(0).toObject().keys(), ungrouped);
    QVERIFY(array.at(1).toObject().contains(QStringLiteral("groupID")));
    // Sorted in the text itself, not only by the reader.
    QVERIFY(bytes.indexOf("\"adaptCase\"") < bytes.indexOf("\"content\""));
    QVERIFY(bytes.indexOf("\"trigger\"") < bytes.indexOf("\"wholeWord\""));
    QCOMPARE(decodeSnippets(bytes).value(), m_store->snippets());

    m_store->setSnippets({snip(QStringLiteral("one"))});
    QCOMPARE(SnippetImportExport::exportTo(*m_store, file), QStringLiteral("Exported 1 snippet."));
}

void tst_ImportMerge::exportThenImportAddsNothing()
{
    const QString file = path(QStringLiteral("Quenvil Snippets.json"));
    QCOMPARE(SnippetImportExport::exportTo(*m_store, file), QStringLiteral("Exported 4 snippets."));
    QCOMPARE(SnippetImportExport::importFile(*m_store, file), QStringLiteral("Imported 0 snippets, skipped 4 duplicates."));
    QCOMPARE(m_store->snippets().size(), 4);

    // Into another, empty store: everything arrives, ids fresh, the rest as it was.
    const QList<Snippet> exported = m_store->snippets();
    m_store->setSnippets({});
    m_store->setGroups({});
    QCOMPARE(SnippetImportExport::importFile(*m_store, file), QStringLiteral("Imported 4 snippets."));
    for (qsizetype i = 0; i < exported.size(); ++i) {
        Snippet arrived = m_store->snippets().at(i);
        QVERIFY(arrived.id != exported.at(i).id);
        arrived.id = exported.at(i).id;
        QCOMPARE(arrived, exported.at(i));
    }
}

void tst_ImportMerge::exportEmptyStore()
{
    m_store->setSnippets({});
    const QString file = path(QStringLiteral("empty.json"));
    QCOMPARE(SnippetImportExport::exportTo(*m_store, file), QStringLiteral("Exported 0 snippets."));
    const QJsonDocument doc = QJsonDocument::fromJson(TestHome::readFile(file));
    QVERIFY(doc.isArray());
    QVERIFY(doc.array().isEmpty());
}

void tst_ImportMerge::exportFailure()
{
    const QString missingFolder = path(QStringLiteral("no/such/folder/x.json"));
    QCOMPARE(SnippetImportExport::exportTo(*m_store, missingFolder),
             QStringLiteral("Export failed: ") + qt_error_string(ENOENT));
    const QString folder = path(QStringLiteral("a-folder"));
    QDir().mkpath(folder);
    QVERIFY(SnippetImportExport::exportTo(*m_store, folder).startsWith(QStringLiteral("Export failed: ")));
}

static bool makeSparse(const QString& file, qint64 size)
{
    QFile f(file);
    return f.open(QIODevice::WriteOnly) && f.resize(size);
}

void tst_ImportMerge::sizeGate_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("status");

    const QString tooLarge = QStringLiteral("That file is too large to import (20 MB maximum).");
    const QString unreadable = QStringLiteral("Couldn’t read that file.");
    QTest::newRow("one byte over the limit") << "over" << tooLarge;
    // Read whole: its NULs then make it no CSV.
    QTest::newRow("exactly the limit") << "exact" << SnippetImport::description(SnippetImport::ImportError::malformed);
    QTest::newRow("FIFO without a writer") << "fifo" << unreadable;
    QTest::newRow("folder") << "folder" << unreadable;
    QTest::newRow("missing") << "missing" << unreadable;
    QTest::newRow("character device") << "device" << unreadable;
}

void tst_ImportMerge::sizeGate()
{
    QFETCH(QString, kind);
    QFETCH(QString, status);
    QString file = path(kind + QStringLiteral(".csv"));
    if (kind == QLatin1String("over"))
        QVERIFY(makeSparse(file, SnippetImportExport::maxImportBytes + 1));
    else if (kind == QLatin1String("exact"))
        QVERIFY(makeSparse(file, SnippetImportExport::maxImportBytes));
    else if (kind == QLatin1String("fifo"))
        QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
    else if (kind == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(file));
    else if (kind == QLatin1String("device"))
        file = QStringLiteral("/dev/zero");

    // A FIFO that made the read wait for a writer would hang here.
    QCOMPARE(SnippetImportExport::importFile(*m_store, file), status);
    QCOMPARE(m_store->snippets().size(), 4);
}

void tst_ImportMerge::limitCountsBytesRead()
{
    const QString file = path(QStringLiteral("ten"));
    TestHome::writeFile(file, "0123456789");
    const auto exact = SnippetImportExport::readImportFile(file, 10);
    QVERIFY(!exact.failure);
    QCOMPARE(exact.bytes, QByteArray("0123456789"));
    QVERIFY(SnippetImportExport::readImportFile(file, 9).failure);
    // Files that report no size still stop one byte past the limit.
    const auto proc = SnippetImportExport::readImportFile(QStringLiteral("/proc/self/maps"), 16);
    QCOMPARE(proc.failure, std::optional<QString>(QStringLiteral("That file is too large to import (20 MB maximum).")));
    const auto small = SnippetImportExport::readImportFile(QStringLiteral("/proc/self/maps"));
    QVERIFY(!small.failure);
    QVERIFY(small.bytes.size() > 16);
}

void tst_ImportMerge::dialogs()
{
    FakeFileChooser chooser;
    SnippetImportExport io(*m_store, chooser);
    QSignalSpy snippets(m_store.get(), &AppState::snippetsChanged);

    // Cancelled: no message, nothing changed.
    QCOMPARE(io.importSnippets(), std::nullopt);
    QCOMPARE(io.exportSnippets(), std::nullopt);
    QCOMPARE(snippets.count(), 0);
    QCOMPARE(chooser.lastMessage,
             QStringLiteral("Choose a Quenvil export (.json), a Text Substitutions export (.plist), or a CSV file."));
    QCOMPARE(chooser.lastProposedName, QStringLiteral("Quenvil Snippets.json"));

    // The import filters accept the three kinds in any letter case, and nothing else.
    const QStringList filters = SnippetImportExport::importNameFilters();
    const QString first = filters.constFirst();
    const QStringList patterns = first.mid(first.indexOf(QLatin1Char('(')) + 1).chopped(1).split(QLatin1Char(' '));
    const auto accepted = [&patterns](const QString& name) {
        for (const QString& p : patterns) {
            if (QRegularExpression(QRegularExpression::wildcardToRegularExpression(p)).match(name).hasMatch())
                return true;
        }
        return false;
    };
    for (const char* name : {"a.json", "b.JSON", "c.Plist", "d.csv", "e.CsV"})
        QVERIFY2(accepted(QLatin1String(name)), name);
    for (const char* name : {"a.txt", "b.jsonx", "csv"})
        QVERIFY2(!accepted(QLatin1String(name)), name);

    const QString file = path(QStringLiteral("In.CSV"));
    TestHome::writeFile(file, "new,x\n");
    chooser.openAnswer = file;
    QCOMPARE(io.importSnippets(), std::optional<QString>(QStringLiteral("Imported 1 snippet.")));
    chooser.saveAnswer = path(QStringLiteral("Out.json"));
    QCOMPARE(io.exportSnippets(), std::optional<QString>(QStringLiteral("Exported 5 snippets.")));
    QCOMPARE(chooser.openCalls, 2);
    QCOMPARE(chooser.saveCalls, 2);
}

QTEST_GUILESS_MAIN(tst_ImportMerge)
#include "tst_ImportMerge.moc"
