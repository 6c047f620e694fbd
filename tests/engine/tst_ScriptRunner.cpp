#include "engine/ScriptRunner.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QThread>

#include <optional>

#include <csignal>
#include <unistd.h>

namespace {

// Running, as opposed to gone or a zombie: the processes asked about are grandchildren,
// and whoever reaps orphans here may take its time.
bool processAlive(pid_t pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close > 0 && close + 2 < line.size() && line.at(close + 2) != 'Z';
}

// Waits, with the event loop running, until a process is gone.
bool waitGone(pid_t pid, int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        if (!processAlive(pid))
            return true;
        QTest::qWait(20);
    }
    return !processAlive(pid);
}

} // namespace

class tst_ScriptRunner : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void output_data();
    void output();
    void deadlineStopsTheWholeGroup_data();
    void deadlineStopsTheWholeGroup();
    void backgroundChildDoesNotHoldTheResult();
    void capKeepsTheFirstMebibyte();
    void stderrAndStdinGoNowhere();
    void launchFailure();
    void asynchronousOnTheCallersThread();
    void destroyingStopsRunningCommands();

  private:
    static ScriptRunner::Options quick(int timeoutMs = 3000)
    {
        ScriptRunner::Options o;
        o.timeoutMs = timeoutMs;
        return o;
    }
};

void tst_ScriptRunner::output_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("output");

    QTest::newRow("year") << QStringLiteral("printf 2026") << QByteArray("2026");
    QTest::newRow("trailing newlines kept raw") << QStringLiteral("printf 'a\\n\\n'") << QByteArray("a\n\n");
    QTest::newRow("only a newline") << QStringLiteral("echo") << QByteArray("\n");
    QTest::newRow("nothing") << QStringLiteral("true") << QByteArray();
    QTest::newRow("failing command still reports its output")
        << QStringLiteral("echo partial; exit 3") << QByteArray("partial\n");
    QTest::newRow("pipeline and quoting")
        << QStringLiteral("printf '%s' \"a b\" | tr a-z A-Z") << QByteArray("A B");
    QTest::newRow("non-UTF-8 bytes pass through") << QStringLiteral("printf '\\377'") << QByteArray("\xff");
    QTest::newRow("UTF-8 command text") << QStringLiteral("printf 'é→✓'") << QByteArray("é→✓");
}

void tst_ScriptRunner::output()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, output);
    const ScriptRunner::Result r = ScriptRunner::runBlocking(quick(), command);
    QCOMPARE(r.outcome, ScriptRunner::Outcome::finished);
    QCOMPARE(r.output, output);
}

void tst_ScriptRunner::deadlineStopsTheWholeGroup_data()
{
    QTest::addColumn<QString>("command");
    // The command prints the pid of a background process of its group first.
    QTest::newRow("sleeping shell") << QStringLiteral("sleep 30 & echo $!; sleep 30");
    QTest::newRow("ignores TERM") << QStringLiteral("trap '' TERM; sleep 30 & echo $!; sleep 30");
}

void tst_ScriptRunner::deadlineStopsTheWholeGroup()
{
    QFETCH(QString, command);
    QElapsedTimer t;
    t.start();
    const ScriptRunner::Result r = ScriptRunner::runBlocking(quick(400), command);
    const qint64 took = t.elapsed();
    QCOMPARE(r.outcome, ScriptRunner::Outcome::timedOut);
    QVERIFY2(took >= 400 && took < 2000, qPrintable(QString::number(took)));
    bool ok = false;
    const pid_t background = pid_t(QString::fromUtf8(r.output).trimmed().toInt(&ok));
    QVERIFY(ok && background > 0);
    QVERIFY(waitGone(background, 2000));
}

void tst_ScriptRunner::backgroundChildDoesNotHoldTheResult()
{
    // The background sleep keeps the pipe's writing end open long after the shell exits.
    QElapsedTimer t;
    t.start();
    const ScriptRunner::Result r = ScriptRunner::runBlocking(quick(), QStringLiteral("sleep 20 & echo $!"));
    QCOMPARE(r.outcome, ScriptRunner::Outcome::finished);
    QVERIFY2(t.elapsed() < 1500, qPrintable(QString::number(t.elapsed())));
    const pid_t background = pid_t(QString::fromUtf8(r.output).trimmed().toInt());
    QVERIFY(background > 0);
    // What the command left running in the background ends with it (its process group).
    QVERIFY(waitGone(background, 2000));
}

void tst_ScriptRunner::capKeepsTheFirstMebibyte()
{
    const ScriptRunner::Result r = ScriptRunner::runBlocking(
        quick(), QStringLiteral("head -c 2097152 /dev/zero | tr '\\0' a; echo tail"));
    QCOMPARE(r.outcome, ScriptRunner::Outcome::finished);
    QCOMPARE(r.output.size(), qsizetype(1 << 20));
    QCOMPARE(r.output.count('a'), qsizetype(1 << 20));
}

void tst_ScriptRunner::stderrAndStdinGoNowhere()
{
    // A flood on stderr must not block the command (nobody reads it), and a command that
    // reads stdin gets end-of-file at once rather than waiting on our terminal.
    QElapsedTimer t;
    t.start();
    const ScriptRunner::Result r = ScriptRunner::runBlocking(
        quick(), QStringLiteral("head -c 8388608 /dev/zero >&2; cat; read line || echo eof; echo done"));
    QCOMPARE(r.outcome, ScriptRunner::Outcome::finished);
    QCOMPARE(r.output, QByteArray("eof\ndone\n"));
    QVERIFY(t.elapsed() < 2500);
}

void tst_ScriptRunner::launchFailure()
{
    ScriptRunner::Options o = quick();
    o.shell = QStringLiteral("/nonexistent/shell");
    QCOMPARE(ScriptRunner::runBlocking(o, QStringLiteral("echo hi")).outcome,
             ScriptRunner::Outcome::launchFailed);

    ScriptRunner runner(o);
    std::optional<ScriptRunner::Result> got;
    runner.run(QStringLiteral("echo hi"), [&](const ScriptRunner::Result& r) { got = r; });
    QTRY_VERIFY(got.has_value());
    QCOMPARE(got->outcome, ScriptRunner::Outcome::launchFailed);
}

void tst_ScriptRunner::asynchronousOnTheCallersThread()
{
    ScriptRunner runner(quick());
    QList<QByteArray> outputs;
    QThread* calledOn = nullptr;
    QElapsedTimer t;
    t.start();
    runner.run(QStringLiteral("sleep 0.3; printf slow"),
               [&](const ScriptRunner::Result& r) { outputs << r.output; });
    runner.run(QStringLiteral("printf fast"), [&](const ScriptRunner::Result& r) {
        outputs << r.output;
        calledOn = QThread::currentThread();
    });
    // run() returned without waiting for either command.
    QVERIFY(t.elapsed() < 250);
    QVERIFY(outputs.isEmpty());
    QCOMPARE(runner.pendingCount(), 2);
    QTRY_COMPARE(outputs.size(), 2);
    QCOMPARE(outputs, (QList<QByteArray>{"fast", "slow"}));
    QCOMPARE(calledOn, QThread::currentThread());
    QCOMPARE(runner.pendingCount(), 0);
}

void tst_ScriptRunner::destroyingStopsRunningCommands()
{
    const QString pidFile = QDir::tempPath() + QStringLiteral("/quenvil-scriptrunner-%1").arg(::getpid());
    QFile::remove(pidFile);
    bool called = false;
    QElapsedTimer t;
    {
        ScriptRunner runner(quick(10000));
        runner.run(QStringLiteral("sleep 30 & echo $! > '%1'; sleep 30").arg(pidFile),
                   [&](const ScriptRunner::Result&) { called = true; });
        QTRY_VERIFY(QFileInfo(pidFile).size() > 0);
        t.start();
    }
    QVERIFY(t.elapsed() < 2000);
    QFile f(pidFile);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const pid_t background = pid_t(f.readAll().trimmed().toInt());
    f.remove();
    QVERIFY(background > 0);
    QVERIFY(waitGone(background, 2000));
    QTest::qWait(50);
    QVERIFY(!called);
}

QTEST_GUILESS_MAIN(tst_ScriptRunner)
#include "tst_ScriptRunner.moc"
