// Launch at login as an XDG autostart entry, in a private config folder whose path holds
// spaces, read back the way a desktop's session manager reads it.
#include "platform/linux/XdgAutostart.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

namespace {

// The main group's Exec= value as a session manager reads it: the desktop-entry string escapes first,
// then the quoting of one argument, then the doubled percent signs.
std::optional<QString> execProgram(const QByteArray& entry)
{
    QString exec;
    QString group;
    for (const QString& line : QString::fromUtf8(entry).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1Char('[')))
            group = line;
        else if (group == QLatin1String("[Desktop Entry]") && line.startsWith(QLatin1String("Exec=")))
            exec = line.mid(5);
    }
    QString unescaped;
    for (int i = 0; i < exec.size(); ++i) {
        if (exec.at(i) == QLatin1Char('\\') && i + 1 < exec.size()) {
            const QChar n = exec.at(++i);
            unescaped += n == QLatin1Char('s') ? QChar(' ') : n == QLatin1Char('n') ? QChar('\n') : n;
        } else {
            unescaped += exec.at(i);
        }
    }
    if (unescaped.size() < 2 || !unescaped.startsWith(QLatin1Char('"')) ||
        !unescaped.endsWith(QLatin1Char('"')))
        return std::nullopt;
    const QString inner = unescaped.mid(1, unescaped.size() - 2);
    QString arg;
    for (int i = 0; i < inner.size(); ++i) {
        const QChar c = inner.at(i);
        if (c == QLatin1Char('\\')) {
            if (i + 1 >= inner.size() || !QStringLiteral("\"`$\\").contains(inner.at(i + 1)))
                return std::nullopt;
            arg += inner.at(++i);
        } else if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$')) {
            return std::nullopt; // must have been escaped
        } else if (c == QLatin1Char('%')) {
            if (i + 1 >= inner.size() || inner.at(i + 1) != QLatin1Char('%'))
                return std::nullopt; // a field code
            arg += inner.at(++i);
        } else {
            arg += c;
        }
    }
    return arg;
}

// What desktop-file-validate says of the entry: empty when it finds nothing wrong.
QString validationProblems(const QString& path)
{
    QProcess validate;
    validate.setProcessChannelMode(QProcess::MergedChannels);
    validate.start(QStringLiteral("desktop-file-validate"), {path});
    if (!validate.waitForFinished(30000))
        return QStringLiteral("desktop-file-validate did not run: ") + validate.errorString();
    const QString said = QString::fromUtf8(validate.readAll());
    return validate.exitCode() == 0 && said.isEmpty()
               ? QString()
               : said + QStringLiteral(" (exit ") + QString::number(validate.exitCode()) + QLatin1Char(')');
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class tst_XdgAutostart : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void init();
    void cleanup();
    void folderFollowsXdgConfigHome();
    void enableWritesTheEntryAndDisableRemovesIt();
    void execQuotesThePath_data();
    void execQuotesThePath();
    void unwritablePathsAreRefused_data();
    void unwritablePathsAreRefused();
    void failureLeavesTheRealState();
    void installedEntryIsCopied_data();
    void installedEntryIsCopied();

  private:
    std::optional<QTemporaryDir> m_root;
    QString m_config;
    QByteArray m_savedConfigHome;
};

void tst_XdgAutostart::init()
{
    m_root.emplace();
    QVERIFY(m_root->isValid());
    m_config = m_root->path() + QStringLiteral("/my config (with spaces)");
    m_savedConfigHome = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", m_config.toUtf8());
}

void tst_XdgAutostart::cleanup()
{
    qputenv("XDG_CONFIG_HOME", m_savedConfigHome);
    m_root.reset();
}

void tst_XdgAutostart::folderFollowsXdgConfigHome()
{
    QCOMPARE(XdgAutostart::defaultAutostartDir(), m_config + QStringLiteral("/autostart"));
    QCOMPARE(XdgAutostart().entryPath(), m_config + QStringLiteral("/autostart/app.quenvil.Quenvil.desktop"));
    // The XDG rules ignore a relative folder.
    qputenv("XDG_CONFIG_HOME", "relative/config");
    QCOMPARE(XdgAutostart::defaultAutostartDir(), QDir::homePath() + QStringLiteral("/.config/autostart"));
}

void tst_XdgAutostart::enableWritesTheEntryAndDisableRemovesIt()
{
    XdgAutostart autostart;
    QVERIFY(!autostart.isEnabled());
    QVERIFY(autostart.setEnabled(true));
    QVERIFY(autostart.isEnabled());
    QFile file(autostart.entryPath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray entry = file.readAll();
    QVERIFY(entry.startsWith("[Desktop Entry]\n"));
    // Not installed (a test runs from the build): the entry the install would put into the
    // menus, for the running binary.
    for (const char* line : {"Type=Application", "Name=Quenvil", "Icon=app.quenvil.Quenvil",
                             "Categories=Utility;", "NoDisplay=false"})
        QVERIFY2(entry.contains(QByteArray("\n") + line + '\n'), line);
    QCOMPARE(execProgram(entry), QCoreApplication::applicationFilePath());
    QVERIFY(QDir::isAbsolutePath(*execProgram(entry)));
    QCOMPARE(validationProblems(autostart.entryPath()), QString());
    // Written whole: nothing but the entry is left in the folder.
    QCOMPARE(QDir(m_config + QStringLiteral("/autostart")).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("app.quenvil.Quenvil.desktop")});

    // Enabling again rewrites it in place.
    QVERIFY(autostart.setEnabled(true));
    QVERIFY(autostart.setEnabled(false));
    QVERIFY(!autostart.isEnabled());
    QVERIFY(!QFile::exists(autostart.entryPath()));
    QVERIFY(autostart.setEnabled(false));
}

void tst_XdgAutostart::execQuotesThePath_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("plain") << QStringLiteral("/usr/bin/quenvil");
    QTest::newRow("spaces") << QStringLiteral("/home/ann/My Apps/quenvil");
    QTest::newRow("quote") << QStringLiteral("/opt/a\"b/quenvil");
    QTest::newRow("dollar and backquote") << QStringLiteral("/opt/$HOME/`id`/quenvil");
    QTest::newRow("backslash") << QStringLiteral("/opt/a\\b/quenvil");
    QTest::newRow("percent") << QStringLiteral("/opt/100%f/quenvil");
    QTest::newRow("non-ASCII") << QStringLiteral("/home/j\u00F6rg/b\u00FCro/quenvil");
}

void tst_XdgAutostart::execQuotesThePath()
{
    QFETCH(QString, path);
    XdgAutostart::Options o;
    o.executable = path;
    XdgAutostart autostart(o);
    QVERIFY(autostart.setEnabled(true));
    QFile file(autostart.entryPath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(execProgram(file.readAll()), path);
}

void tst_XdgAutostart::unwritablePathsAreRefused_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("relative") << QStringLiteral("bin/quenvil");
    QTest::newRow("line break") << QStringLiteral("/opt/a\nExec=/bin/evil");
    QTest::newRow("tab") << QStringLiteral("/opt/a\tb/quenvil");
}

void tst_XdgAutostart::unwritablePathsAreRefused()
{
    QFETCH(QString, path);
    XdgAutostart::Options o;
    o.executable = path;
    XdgAutostart autostart(o);
    QVERIFY(!autostart.setEnabled(true));
    QVERIFY(!autostart.isEnabled());
}

void tst_XdgAutostart::failureLeavesTheRealState()
{
    // The autostart folder cannot be made: a file stands where it should be.
    QVERIFY(QDir().mkpath(m_config));
    QFile blocker(m_config + QStringLiteral("/autostart"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    XdgAutostart autostart;
    QVERIFY(!autostart.setEnabled(true));
    QVERIFY(!autostart.isEnabled());
}

void tst_XdgAutostart::installedEntryIsCopied_data()
{
    // @EXEC@ stands for the running binary, quoted; @MADE@ for the entry made afresh.
    QTest::addColumn<QByteArray>("installed");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray asInstalled =
        *XdgAutostart::entryFor(QStringLiteral("/usr/bin/quenvil"), QStringLiteral("app.quenvil.Quenvil"));
    QTest::newRow("as the install writes it")
        << asInstalled << QByteArray(asInstalled).replace("\"/usr/bin/quenvil\"", "@EXEC@");
    QTest::newRow("with what a distribution adds")
        << QByteArray("[Desktop Entry]\nType=Application\nName=Quenvil\nName[de]=Quenvil (Textbausteine)\n"
                      "Exec = quenvil\nIcon=app.quenvil.Quenvil\nCategories=Utility;\nActions=capture;\n\n"
                      "[Desktop Action capture]\nName=Quick Capture\nExec=quenvil --capture\n")
        << QByteArray("[Desktop Entry]\nType=Application\nName=Quenvil\nName[de]=Quenvil (Textbausteine)\n"
                      "Exec=@EXEC@\nIcon=app.quenvil.Quenvil\nCategories=Utility;\nActions=capture;\n\n"
                      "[Desktop Action capture]\nName=Quick Capture\nExec=quenvil --capture\n");
    QTest::newRow("no Exec= of its own") << QByteArray("[Desktop Entry]\nType=Application\nName=Other\n\n"
                                                       "[Desktop Action a]\nName=A\nExec=a\n")
                                         << QByteArray("@MADE@");
}

void tst_XdgAutostart::installedEntryIsCopied()
{
    QFETCH(QByteArray, installed);
    QFETCH(QByteArray, expected);
    // An installed layout: <prefix>/bin/quenvil beside <prefix>/share/applications.
    const QString prefix = m_root->path() + QStringLiteral("/my prefix");
    const QString binary = prefix + QStringLiteral("/bin/quenvil");
    const QString entryPath = XdgAutostart::installedEntryPath(binary, QStringLiteral("app.quenvil.Quenvil"));
    QCOMPARE(entryPath, prefix + QStringLiteral("/share/applications/app.quenvil.Quenvil.desktop"));
    QVERIFY(QDir().mkpath(prefix + QStringLiteral("/share/applications")));
    QFile file(entryPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(installed);
    file.close();

    XdgAutostart::Options o;
    o.executable = binary;
    XdgAutostart autostart(o);
    QVERIFY(autostart.setEnabled(true));
    const QByteArray written = readAll(autostart.entryPath());
    if (expected == "@MADE@")
        expected = *XdgAutostart::entryFor(binary, o.appId);
    QCOMPARE(written, expected.replace("@EXEC@", XdgAutostart::quotedExecArgument(binary)->toUtf8()));
    QCOMPARE(execProgram(written), binary);
    QCOMPARE(validationProblems(autostart.entryPath()), QString());
}

QTEST_GUILESS_MAIN(tst_XdgAutostart)
#include "tst_XdgAutostart.moc"
