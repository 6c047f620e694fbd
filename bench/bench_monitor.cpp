// Keystroke monitor: the cost of turning one recorded key event into a key down, the
// work done on the main thread for every key the user presses. Runs on recorded bytes
// with a keymap compiled from layout names: no X server needed.
#include "FigureReporter.h"

#include "platform/x11/KeyboardDecoder.h"
#include "platform/x11/RecordInterpreter.h"

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

std::vector<quint8> deviceEvent(quint8 type, quint8 keycode, quint16 state, quint32 time)
{
    std::vector<quint8> b(32, 0);
    b[0] = type;
    b[1] = keycode;
    for (int i = 0; i < 4; ++i)
        b[4 + i] = quint8(time >> (8 * i));
    b[28] = quint8(state);
    b[29] = quint8(state >> 8);
    return b;
}

// A press as the record callback hands it over: the interpreter's adjacency check, the
// decoder's modifier and level lookup, text, compose.
void monitorDecode(benchmark::State& state)
{
    qputenv("LC_ALL", "C.UTF-8");
    KeyboardDecoder decoder;
    if (!decoder.setKeymapFromNames("us")) {
        state.SkipWithError("no keymap");
        return;
    }
    RecordInterpreter interpreter(decoder, {132, -1});
    interpreter.setOwnInjectorIdBase(0x600000);
    // A mix of plain, shifted and AltGr-free letters, digits and space.
    const quint8 keycodes[] = {38, 56, 54, 40, 26, 41, 42, 43, 31, 44, 45, 46, 65, 10, 11, 12};
    std::vector<std::vector<quint8>> presses, releases;
    for (size_t i = 0; i < std::size(keycodes); ++i) {
        const quint16 modifiers = (i % 3 == 0) ? 0x01 : 0;
        presses.push_back(deviceEvent(2, keycodes[i], modifiers, quint32(i * 2)));
        releases.push_back(deviceEvent(3, keycodes[i], modifiers, quint32(i * 2 + 1)));
    }
    auto item = [](const std::vector<quint8>& bytes) {
        RecordItem it;
        it.kind = RecordItem::Kind::FromServer;
        it.data = bytes.data();
        it.length = bytes.size();
        return it;
    };
    std::vector<double> samples;
    samples.reserve(size_t(1) << 20);
    size_t n = 0;
    for (auto _ : state) {
        const size_t i = n++ % presses.size();
        const auto start = std::chrono::steady_clock::now();
        RecordOutcome outcome = interpreter.feed(item(presses[i]));
        const auto end = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(outcome.key);
        interpreter.feed(item(releases[i]));
        if (samples.size() < samples.capacity())
            samples.push_back(std::chrono::duration<double, std::nano>(end - start).count());
    }
    std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
    state.counters["monitor_decode_median_ns"] = samples.empty() ? 0.0 : samples[samples.size() / 2];
}

} // namespace

BENCHMARK(monitorDecode)->MinTime(1.0);

int main(int argc, char** argv)
{
    return runFigureBenchmarks(argc, argv);
}
