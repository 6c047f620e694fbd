// Synthetic typing: characters per second that arrive in our target window, nothing lost
// or reordered, over a 5,000-character text of ASCII and off-layout characters, paced as
// the injector paces a job (chunks of at most 20 UTF-16 units, 1.5 ms after each). Runs
// under a private X server it starts itself.
#include "FigureReporter.h"

#include "TargetWindow.h"
#include "XServerEnvironment.h"

#include "platform/ThreadSleeper.h"
#include "platform/x11/X11KeySynth.h"

#include <QCoreApplication>
#include <QProcess>

#include <chrono>
#include <thread>

namespace {

struct Chunk
{
    QString text;
    bool ascii = true;
};

// Runs of ASCII and off-layout characters, each a chunk of its own, 5,000 characters.
std::vector<Chunk> mixedText(int& asciiChars, int& offLayoutChars)
{
    const QString ascii = QStringLiteral("The quick brown fox jumps over the lazy dog, 0123456789!\n");
    // 13 distinct characters: fewer than the spare key codes, so each is bound once.
    const QString off = QStringLiteral("é→✓中文Ωμέγα😀ü€");
    std::vector<Chunk> chunks;
    asciiChars = offLayoutChars = 0;
    int total = 0, a = 0, o = 0;
    for (int run = 0; total < 5000; ++run) {
        Chunk chunk;
        chunk.ascii = run % 2 == 0;
        const QString& source = chunk.ascii ? ascii : off;
        int& cursor = chunk.ascii ? a : o;
        const int want = std::min(chunk.ascii ? 20 : 10, 5000 - total);
        for (int i = 0; i < want; ++i) {
            QChar c = source.at(cursor % source.size());
            if (c.isHighSurrogate()) {
                if (chunk.text.size() + 2 > 20)
                    break;
                chunk.text += source.mid(cursor % source.size(), 2);
                cursor += 2;
            } else {
                chunk.text += c;
                cursor += 1;
            }
            ++total;
        }
        (chunk.ascii ? asciiChars : offLayoutChars) += int(chunk.text.toUcs4().size());
        chunks.push_back(chunk);
    }
    return chunks;
}

void synthTyping(benchmark::State& state)
{
    PrivateXServer server;
    if (!server.start()) {
        state.SkipWithError("no X server");
        return;
    }
    qputenv("DISPLAY", server.display());
    qputenv("DBUS_SESSION_BUS_ADDRESS", server.busAddress());
    TargetWindow target;
    if (!target.start(QStringLiteral("QuenvilBenchTarget"))) {
        state.SkipWithError("no target window");
        return;
    }
    int asciiChars = 0, offChars = 0;
    const std::vector<Chunk> chunks = mixedText(asciiChars, offChars);
    QString expected;
    for (const Chunk& c : chunks)
        expected += c.text;

    ThreadSleeper sleeper;
    auto identity = std::make_shared<InjectorIdentity>();
    X11KeySynth synth(server.display(), identity, sleeper, {});
    double asciiSeconds = 0, offSeconds = 0, totalSeconds = 0;
    for (auto _ : state) {
        using Clock = std::chrono::steady_clock;
        const auto begin = Clock::now();
        bool ok = true;
        std::thread injector([&] {
            ok = synth.beginJob();
            for (const Chunk& chunk : chunks) {
                const auto start = Clock::now();
                ok = synth.typeText(chunk.text) && ok;
                std::this_thread::sleep_for(std::chrono::microseconds(1500));
                const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
                (chunk.ascii ? asciiSeconds : offSeconds) += seconds;
            }
            synth.endJob();
        });
        // Delivered once the target shows it all; the job's own end (restoring the spare
        // key codes a little later) is not part of that.
        const bool delivered = target.waitForText(expected, 20000);
        totalSeconds += std::chrono::duration<double>(Clock::now() - begin).count();
        injector.join();
        if (!delivered || !ok) {
            const QString got = target.text();
            qsizetype at = 0;
            while (at < got.size() && at < expected.size() && got.at(at) == expected.at(at))
                ++at;
            qWarning("bench_synth: %lld of %lld units arrived intact; then \"%s\" instead of \"%s\"",
                     qlonglong(at), qlonglong(expected.size()), qPrintable(got.mid(at, 20)),
                     qPrintable(expected.mid(at, 20)));
            state.SkipWithError("the target did not receive the text exactly");
            return;
        }
        state.PauseTiming();
        target.activate();
        QProcess::execute(QStringLiteral("xdotool"),
                          {QStringLiteral("key"), QStringLiteral("ctrl+a"), QStringLiteral("BackSpace")});
        target.waitForText(QString());
        state.ResumeTiming();
    }
    const double runs = double(state.iterations());
    state.counters["synth_ascii_cps"] = asciiChars * runs / asciiSeconds;
    state.counters["synth_offlayout_cps"] = offChars * runs / offSeconds;
    state.counters["synth_mixed_cps"] = (asciiChars + offChars) * runs / totalSeconds;
}

} // namespace

BENCHMARK(synthTyping)->Iterations(3)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    return runFigureBenchmarks(argc, argv);
}
