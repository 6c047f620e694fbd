#include "engine/ScriptRunner.h"

#include <QFileInfo>
#include <QMetaObject>
#include <QTimer>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// How often the child is looked at when the kernel cannot tell us that it exited.
constexpr int kPollTickMs = 50;

int msUntil(Clock::time_point t)
{
    // Rounded up: a deadline less than a millisecond away has not passed yet.
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(t - Clock::now()).count();
    return left <= 0 ? 0 : int(std::min<long long>(left, 1 << 30));
}

bool hasExited(pid_t pid)
{
    siginfo_t info{};
    // WNOWAIT: the child stays a zombie, so its pid (and with it the group id) cannot be
    // taken by another process before the group has been signalled.
    if (::waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0)
        return errno == ECHILD;
    return info.si_pid == pid;
}

void reap(pid_t pid)
{
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

class OutputReader
{
  public:
    OutputReader(int fd, qsizetype cap) : m_fd(fd), m_cap(cap) {}

    // Reads what the pipe holds now. False once the pipe is closed on the writing side.
    bool drain(Clock::time_point deadline)
    {
        char chunk[65536];
        for (;;) {
            const ssize_t n = ::read(m_fd, chunk, sizeof chunk);
            if (n > 0) {
                // Past the cap the bytes are still read (a writer blocked on a full pipe
                // would never finish) but dropped.
                const qsizetype room = m_cap - m_data.size();
                if (room > 0)
                    m_data.append(chunk, std::min<qsizetype>(room, n));
                // A writer that never pauses must not keep us here past the deadline.
                if (Clock::now() >= deadline)
                    return true;
                continue;
            }
            if (n == 0)
                return false;
            if (errno == EINTR)
                continue;
            return errno == EAGAIN || errno == EWOULDBLOCK;
        }
    }

    QByteArray take() { return std::move(m_data); }

  private:
    int m_fd;
    qsizetype m_cap;
    QByteArray m_data;
};

// TERM to the whole group, a short grace for it to go, then KILL to whatever is left;
// finally the shell itself is reaped.
void stopGroup(pid_t pid, int pidFd, int graceMs)
{
    ::kill(-pid, SIGTERM);
    const auto graceEnd = Clock::now() + std::chrono::milliseconds(graceMs);
    while (!hasExited(pid)) {
        const int left = msUntil(graceEnd);
        if (left == 0)
            break;
        if (pidFd >= 0) {
            pollfd p{pidFd, POLLIN, 0};
            ::poll(&p, 1, left);
        } else {
            ::usleep(useconds_t(std::min(left, 10)) * 1000);
        }
    }
    ::kill(-pid, SIGKILL);
    reap(pid);
}

struct SpawnSetup
{
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;

    SpawnSetup(int outFd)
    {
        posix_spawn_file_actions_init(&actions);
        // The pipe first: when the parent runs with fd 0 or 2 closed, the pipe may sit
        // there, and opening /dev/null first would close it.
        posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

        posix_spawnattr_init(&attr);
        sigset_t none;
        sigemptyset(&none);
        sigset_t all;
        sigfillset(&all);
        posix_spawnattr_setsigmask(&attr, &none);
        // Dispositions the application set (an ignored SIGPIPE, say) would otherwise carry
        // over into the command and change how pipelines in it end.
        posix_spawnattr_setsigdefault(&attr, &all);
        posix_spawnattr_setpgroup(&attr, 0);
        posix_spawnattr_setflags(&attr,
                                 POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    ~SpawnSetup()
    {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attr);
    }
};

} // namespace

struct ScriptRunner::Job
{
    std::thread thread;
    int cancelFd = -1;
    Completion done;
};

ScriptRunner::ScriptRunner(QObject* parent) : ScriptRunner(Options(), parent) {}

ScriptRunner::ScriptRunner(const Options& options, QObject* parent) : QObject(parent), m_options(options)
{
    if (m_options.shell.isEmpty())
        m_options.shell = defaultShell();
}

ScriptRunner::~ScriptRunner()
{
    for (auto& [id, job] : m_jobs) {
        if (job->cancelFd >= 0) {
            const quint64 one = 1;
            [[maybe_unused]] const ssize_t n = ::write(job->cancelFd, &one, sizeof one);
        }
    }
    for (auto& [id, job] : m_jobs) {
        if (job->thread.joinable())
            job->thread.join();
        if (job->cancelFd >= 0)
            ::close(job->cancelFd);
    }
}

QString ScriptRunner::defaultShell()
{
    const QFileInfo zsh(QStringLiteral("/bin/zsh"));
    return zsh.isFile() && zsh.isExecutable() ? zsh.filePath() : QStringLiteral("/bin/sh");
}

void ScriptRunner::run(const QString& command, Completion done)
{
    const quint64 id = ++m_nextId;
    auto job = std::make_unique<Job>();
    job->done = std::move(done);
    job->cancelFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    const int cancelFd = job->cancelFd;
    Job* raw = job.get();
    m_jobs.emplace(id, std::move(job));
    try {
        raw->thread = std::thread([this, id, options = m_options, command, cancelFd] {
            const Result result = runBlocking(options, command, cancelFd);
            // Posted to this object: if the runner is being destroyed, it joins this thread
            // first and Qt then drops the event with the object.
            QMetaObject::invokeMethod(
                this, [this, id, result] { finish(id, result); }, Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {
        QTimer::singleShot(0, this, [this, id] { finish(id, Result{Outcome::launchFailed, {}}); });
    }
}

void ScriptRunner::finish(quint64 id, const Result& result)
{
    const auto it = m_jobs.find(id);
    if (it == m_jobs.end())
        return;
    std::unique_ptr<Job> job = std::move(it->second);
    m_jobs.erase(it);
    // The worker's last act was to post this; it is gone or about to be.
    if (job->thread.joinable())
        job->thread.join();
    if (job->cancelFd >= 0)
        ::close(job->cancelFd);
    if (job->done)
        job->done(result);
}

ScriptRunner::Result ScriptRunner::runBlocking(const Options& options, const QString& command, int cancelFd)
{
    Result result;
    const QString shellPath = options.shell.isEmpty() ? defaultShell() : options.shell;
    const QByteArray shell = shellPath.toLocal8Bit();
    const QByteArray script = command.toUtf8();

    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        result.outcome = Outcome::launchFailed;
        return result;
    }
    pid_t pid = -1;
    {
        SpawnSetup setup(out[1]);
        char* argv[] = {const_cast<char*>(shell.constData()), const_cast<char*>("-c"),
                        const_cast<char*>(script.constData()), nullptr};
        const int rc = ::posix_spawn(&pid, shell.constData(), &setup.actions, &setup.attr, argv, environ);
        ::close(out[1]);
        if (rc != 0) {
            ::close(out[0]);
            result.outcome = Outcome::launchFailed;
            return result;
        }
    }
    const int readFd = out[0];
    ::fcntl(readFd, F_SETFL, ::fcntl(readFd, F_GETFL) | O_NONBLOCK);
    // Tells us the moment the shell exits; without it we look every kPollTickMs.
    const int pidFd = int(::syscall(SYS_pidfd_open, pid, 0));

    const auto deadline = Clock::now() + std::chrono::milliseconds(options.timeoutMs);
    OutputReader reader(readFd, options.outputCap);
    bool pipeOpen = true;
    bool exited = false;
    bool stop = false;
    while (!(exited = hasExited(pid))) {
        const int left = msUntil(deadline);
        if (left == 0)
            break;
        pollfd fds[3];
        nfds_t n = 0;
        const int pipeSlot = pipeOpen ? int(n) : -1;
        if (pipeOpen)
            fds[n++] = pollfd{readFd, POLLIN, 0};
        if (pidFd >= 0)
            fds[n++] = pollfd{pidFd, POLLIN, 0};
        const int cancelSlot = cancelFd >= 0 ? int(n) : -1;
        if (cancelFd >= 0)
            fds[n++] = pollfd{cancelFd, POLLIN, 0};
        const int ready = ::poll(fds, n, pidFd >= 0 ? left : std::min(left, kPollTickMs));
        if (ready < 0 && errno != EINTR)
            ::usleep(1000);
        if (ready <= 0)
            continue;
        if (cancelSlot >= 0 && fds[cancelSlot].revents) {
            stop = true;
            break;
        }
        if (pipeSlot >= 0 && fds[pipeSlot].revents)
            pipeOpen = reader.drain(deadline);
    }

    if (exited && !stop) {
        // What the shell wrote before it exited is in the pipe now. A background child may
        // hold the pipe open for long after: take what is there and do not wait for more.
        if (pipeOpen)
            reader.drain(deadline);
        // Whatever the command left running in the background (`sleep 60 &`) belongs to
        // the snippet and ends with it. The shell is still unreaped, so the group id cannot
        // have been handed to anyone else yet.
        ::kill(-pid, SIGKILL);
        reap(pid);
        result.outcome = Outcome::finished;
    } else {
        stopGroup(pid, pidFd, options.killGraceMs);
        result.outcome = Outcome::timedOut;
    }
    result.output = reader.take();
    if (pidFd >= 0)
        ::close(pidFd);
    ::close(readFd);
    return result;
}
