// The running application under a private X server: the time from the last key of a
// trigger to the last character of its expansion arriving in another program's window, the processor time one plain keystroke costs the whole process, and
// the resident memory with 10,000 snippets loaded.
#include "FigureReporter.h"

#include "TargetWindow.h"
#include "UserInput.h"
#include "XServerEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

namespace {

const QString kExpansion = QStringLiteral("abcdefghijklmnopqrst");
const QString kOffLayout = QStringLiteral("Quenvil expands \u2192 \u2713 d\u00e9j\u00e0 vu \U0001F600");

struct Session
{
    PrivateXServer server;
    QTemporaryDir home;
    QProcess app;
    std::unique_ptr<TargetWindow> target;
    bool ok = false;

    explicit Session(int extraSnippets, const QByteArray& extraSettings = {})
    {
        if (!server.start())
            return;
        qputenv("DISPLAY", server.display());
        qputenv("DBUS_SESSION_BUS_ADDRESS", server.busAddress());
        const QString data = home.path() + QStringLiteral("/data/Quenvil");
        QDir().mkpath(data);
        QFile snippets(data + QStringLiteral("/snippets.json"));
        if (!snippets.open(QIODevice::WriteOnly))
            return;
        snippets.write("[{\"trigger\":\";e20\",\"content\":\"" + kExpansion.toUtf8() + "\"}");
        snippets.write(",{\"trigger\":\";off\",\"content\":\"" + kOffLayout.toUtf8() + "\"}");
        for (int i = 0; i < extraSnippets; ++i)
            snippets.write(",{\"trigger\":\";s" + QByteArray::number(i) + "x\",\"content\":\"Snippet number " +
                           QByteArray::number(i) + " with a line of text\"}");
        snippets.write("]");
        snippets.close();
        QDir().mkpath(home.path() + QStringLiteral("/config/Quenvil"));
        QFile settings(home.path() + QStringLiteral("/config/Quenvil/settings.json"));
        if (!settings.open(QIODevice::WriteOnly))
            return;
        settings.write(R"({"soundEnabled":false,"hudEnabled":false,"spellFixEnabled":false,)" + extraSettings +
                       R"("didLaunchBefore":true,"didCompleteOnboarding":true})");
        settings.close();

        target = std::make_unique<TargetWindow>();
        if (!target->start())
            return;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + QStringLiteral("/data"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/config"));
        env.insert(QStringLiteral("HOME"), home.path());
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        app.setProcessEnvironment(env);
        app.start(QStringLiteral(QUENVIL_APP), {});
        if (!app.waitForStarted(5000))
            return;
        QThread::msleep(1500);
        ok = app.state() == QProcess::Running;
    }
    ~Session()
    {
        app.terminate();
        if (!app.waitForFinished(5000))
            app.kill();
        target.reset();
        server.stop();
    }
};

double residentMb(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
}

// Milliseconds from `last()` (a trigger's last key) until the target's text ends with
// `expected`; nothing when it never does.
template<typename Last>
std::optional<double> arrivalMs(Session& s, Last last, const QString& expected)
{
    QElapsedTimer t;
    last();
    t.start();
    while (t.elapsed() < 5000) {
        if (s.target->text().endsWith(expected))
            return double(t.nsecsElapsed()) / 1e6;
        QThread::usleep(500);
    }
    return std::nullopt;
}

double median(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

// From an instant trigger's last key to its expansion complete in another program's
// window. The floor beside it is the same 20 characters typed straight into that window by
// XTest, one flushed event after another, with no expander: what the target, the X server
// and this benchmark's polling of the target's text take by themselves.
void e2eExpand(benchmark::State& state)
{
    Session s(0);
    if (!s.ok) {
        state.SkipWithError("could not start the X server, the target or the application");
        return;
    }
    XTestKeyboard keyboard;
    std::vector<double> expand20, offLayout, floor;
    const auto clear = [] {
        UserInput::key({QStringLiteral("ctrl+a"), QStringLiteral("BackSpace")});
        QThread::msleep(150);
    };
    const auto tap = [&keyboard](const char* key) {
        keyboard.press(key);
        keyboard.release(key);
    };
    for (auto _ : state) {
        UserInput::type(QStringLiteral(" ;e2"), 60);
        QThread::msleep(150);
        const auto e20 = arrivalMs(s, [&] { tap("0"); }, kExpansion);
        clear();
        UserInput::type(QStringLiteral(" ;of"), 60);
        QThread::msleep(150);
        const auto off = arrivalMs(s, [&] { tap("f"); }, kOffLayout);
        clear();
        const auto direct = arrivalMs(
            s,
            [&] {
                for (QChar c : kExpansion)
                    tap(QByteArray(1, char(c.unicode())).constData());
            },
            kExpansion);
        clear();
        if (!e20 || !off || !direct) {
            state.SkipWithError("an expansion did not arrive");
            return;
        }
        expand20.push_back(*e20);
        offLayout.push_back(*off);
        floor.push_back(*direct);
    }
    state.counters["e2e_expand20_median_ms"] = median(expand20);
    state.counters["e2e_expand20_floor_ms"] = median(floor);
    state.counters["e2e_offlayout_median_ms"] = median(offLayout);
}

// Processor time of every thread of a process so far, in nanoseconds (the scheduler's own
// account, far finer than the tick-based utime and stime).
// With `threads`, each thread's share by name (QUENVIL_BENCH_THREADS=1 prints them).
double cpuNs(qint64 pid, QMap<QString, double>* threads = nullptr)
{
    double total = 0;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile f(tasks.filePath(task) + QStringLiteral("/schedstat"));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const double ns = f.readAll().split(' ').first().toDouble();
        total += ns;
        if (threads) {
            QFile comm(tasks.filePath(task) + QStringLiteral("/comm"));
            comm.open(QIODevice::ReadOnly);
            (*threads)[task + QLatin1Char(' ') + QString::fromUtf8(comm.readAll().trimmed())] += ns;
        }
    }
    return total;
}

// A person typing plain words into another program, with suggestions, learning, the HUD
// and sounds off: what each key costs the whole process, whichever thread spends it.
void appCpuPerKey(benchmark::State& state)
{
    Session s(0, R"("learningEnabled":false,"inlineSuggestionsEnabled":false,)");
    if (!s.ok) {
        state.SkipWithError("could not start the X server, the target or the application");
        return;
    }
    QString words;
    for (int i = 0; words.size() < 1000; ++i)
        words += QStringLiteral("lorem ipsum dolor sit amet consectetur adipiscing elit ").mid(i % 7, 40);
    words.truncate(1000);
    double perKey = 0;
    for (auto _ : state) {
        s.target->activate();
        QThread::msleep(300);
        QMap<QString, double> threadsBefore, threadsAfter;
        const double before = cpuNs(s.app.processId(), &threadsBefore);
        if (!UserInput::type(words, 6)) {
            state.SkipWithError("xdotool failed");
            return;
        }
        QThread::msleep(300);
        perKey = (cpuNs(s.app.processId(), &threadsAfter) - before) / 1000.0 / double(words.size());
        if (qEnvironmentVariableIsSet("QUENVIL_BENCH_THREADS")) {
            for (auto it = threadsAfter.cbegin(); it != threadsAfter.cend(); ++it)
                fprintf(stderr, "  %s %.1f us/key\n", qPrintable(it.key()),
                        (it.value() - threadsBefore.value(it.key())) / 1000.0 / double(words.size()));
        }
        UserInput::key({QStringLiteral("ctrl+a"), QStringLiteral("BackSpace")});
    }
    state.counters["app_cpu_per_key_us"] = perKey;
}

void appRss10k(benchmark::State& state)
{
    Session s(10000);
    if (!s.ok) {
        state.SkipWithError("could not start the X server, the target or the application");
        return;
    }
    double mb = 0;
    for (auto _ : state)
        mb = residentMb(s.app.processId());
    state.counters["app_rss_10k_mb"] = mb;
}

} // namespace

BENCHMARK(e2eExpand)->Iterations(15)->Unit(benchmark::kMillisecond);
BENCHMARK(appCpuPerKey)->Iterations(3);
BENCHMARK(appRss10k)->Iterations(1);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    return runFigureBenchmarks(argc, argv);
}
