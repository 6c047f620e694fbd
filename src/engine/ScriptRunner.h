#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <memory>

// Runs the commands of shell snippets. Each run is one child shell (`SHELL -c COMMAND`) in
// a process group of its own, with stdin and stderr on /dev/null and stdout on a pipe that
// is read up to a byte cap. Waiting happens on a worker thread, so the keystroke that
// started a command never waits for it; the result comes back on the runner's thread.
//
// A command past its deadline has its whole group stopped (TERM, then KILL), so neither
// the shell nor anything it started in the background outlives the deadline; when the
// shell exits in time, what it left running in its group is killed at once. Reading never
// waits past the deadline either: a background child that keeps the pipe open after the
// shell has exited does not hold the result back.
class ScriptRunner : public QObject
{
    Q_OBJECT

  public:
    enum class Outcome
    {
        finished,     // the shell exited; output holds what it printed (up to the cap)
        launchFailed, // no process could be started
        timedOut,     // the deadline passed; the process group was stopped
    };

    struct Result
    {
        Outcome outcome = Outcome::finished;
        QByteArray output;
    };

    using Completion = std::function<void(const Result&)>;

    struct Options
    {
        // Empty: defaultShell().
        QString shell;
        int timeoutMs = 3000;
        qsizetype outputCap = 1 << 20;
        // Between TERM and KILL when the deadline has passed.
        int killGraceMs = 100;
    };

    explicit ScriptRunner(QObject* parent = nullptr);
    explicit ScriptRunner(const Options& options, QObject* parent = nullptr);
    // Stops every command still running (its whole group) and waits for the workers; their
    // completions are never called.
    ~ScriptRunner() override;

    // /bin/zsh when it is there, else /bin/sh.
    static QString defaultShell();

    // Starts `command`; returns at once. `done` runs later on this object's thread, unless
    // the runner is destroyed first.
    void run(const QString& command, Completion done);

    // Commands started and not yet reported.
    int pendingCount() const { return int(m_jobs.size()); }

    // One whole run on the calling thread. A readable `cancelFd` stops the command as the
    // deadline does (the outcome is then timedOut).
    static Result runBlocking(const Options& options, const QString& command, int cancelFd = -1);

  private:
    struct Job;
    void finish(quint64 id, const Result& result);

    Options m_options;
    quint64 m_nextId = 0;
    std::map<quint64, std::unique_ptr<Job>> m_jobs;
};
