// The key path with 10,000 snippets: a plain letter through handleKeyDown (with
// suggestions on and a learner listening), and a delimiter that expands a 200-character
// snippet up to the moment its job is queued.
#include "FigureReporter.h"

#include "engine/ContentRenderer.h"
#include "engine/ExpansionEngine.h"
#include "engine/SuggestionDisplay.h"
#include "engine/TypingLearner.h"
#include "model/AppState.h"

#include "TestHome.h"

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <new>
#include <vector>

namespace {

std::atomic<long> g_allocations{0};

struct ListeningLearner : TypingLearner
{
    int appended = 0;
    bool isLearningActive() const override { return true; }
    void appendToBuffer(const QString&) override { ++appended; }
};

struct Fixture
{
    TestHome home;
    std::unique_ptr<AppState> state;
    ContentRenderer renderer;
    ListeningLearner learner;
    SuggestionDisplay display;
    int queued = 0;
    std::unique_ptr<ExpansionEngine> engine;

    Fixture()
    {
        AppState::Options o = home.storeOptions();
        state = std::make_unique<AppState>(o);
        QList<Snippet> list;
        list.reserve(10001);
        for (int i = 0; i < 10000; ++i) {
            Snippet s;
            // Lengths 1 to 30; half begin with ";", so 5,000 share that prefix.
            const int len = 1 + i % 30;
            QString t = i % 2 ? QStringLiteral(";") : QString();
            for (int k = t.size(); k < len; ++k)
                t += QChar(u'a' + (i * 7 + k * 13) % 26);
            s.trigger = t + QString::number(i);
            s.content = QStringLiteral("Snippet %1 content").arg(i);
            list.append(s);
        }
        Snippet big;
        big.trigger = QStringLiteral(";bigdate");
        big.content = QStringLiteral("On {date} at {time}: ") + QString(160, QLatin1Char('x')) + QStringLiteral("{cursor}.");
        list.append(big);
        state->setSnippets(list);
        state->setSpellFixEnabled(false);
        state->setSoundEnabled(false);
        state->setHudEnabled(false);
        state->setInlineSuggestionsEnabled(true);
        renderer = ContentRenderer(ContentRenderer::Options{ContentRenderer::lookupIn(*state)});
        engine = std::make_unique<ExpansionEngine>(
            *state, [this](int, const QList<Injector::Segment>&, int) { ++queued; }, renderer);
        engine->setCollaborators({&learner, &display, nullptr, nullptr});
        engine->setFrontBundleID(QStringLiteral("gedit"));
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

KeyDown letter(char c)
{
    KeyDown k;
    k.text = QString(QLatin1Char(c));
    return k;
}

double percentile(std::vector<double>& v, double p)
{
    std::sort(v.begin(), v.end());
    return v[size_t(double(v.size() - 1) * p)];
}

void keydownPlain10k(benchmark::State& state)
{
    Fixture& f = fixture();
    const KeyDown keys[] = {letter('q'), letter('u'), letter('e'), letter('n'), letter('v'), letter('i'), letter('l')};
    // Warm up: fill the buffer so the steady state (dropping the oldest) is what is measured.
    for (int i = 0; i < 200; ++i)
        f.engine->handleKeyDown(keys[i % 7]);
    std::vector<double> samples;
    samples.reserve(200000);
    long allocs = 0;
    long presses = 0;
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) {
            const long before = g_allocations.load(std::memory_order_relaxed);
            const auto t0 = std::chrono::steady_clock::now();
            f.engine->handleKeyDown(keys[i % 7]);
            const auto t1 = std::chrono::steady_clock::now();
            allocs += g_allocations.load(std::memory_order_relaxed) - before;
            ++presses;
            if (samples.size() < samples.capacity())
                samples.push_back(std::chrono::duration<double, std::nano>(t1 - t0).count());
        }
    }
    state.counters["keydown_plain_10k_median_ns"] = percentile(samples, 0.5);
    state.counters["keydown_plain_10k_p99_ns"] = percentile(samples, 0.99);
    state.counters["keydown_plain_10k_allocs"] = double(allocs) / double(presses);
}

void expandDispatch(benchmark::State& state)
{
    Fixture& f = fixture();
    const KeyDown space = letter(' ');
    f.state->setExpansionMode(ExpansionMode::delimiter);
    std::vector<double> samples;
    for (auto _ : state) {
        state.PauseTiming();
        f.engine->resetBuffer();
        for (char c : std::string(" ;bigdate"))
            f.engine->handleKeyDown(letter(c));
        const int before = f.queued;
        state.ResumeTiming();
        const auto t0 = std::chrono::steady_clock::now();
        f.engine->handleKeyDown(space);
        const auto t1 = std::chrono::steady_clock::now();
        if (f.queued == before) {
            state.SkipWithError("the snippet did not expand");
            break;
        }
        samples.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    if (!samples.empty())
        state.counters["expand_dispatch_median_us"] = percentile(samples, 0.5);
    f.state->setExpansionMode(ExpansionMode::instant);
}

} // namespace

void* operator new(size_t n)
{
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

BENCHMARK(keydownPlain10k)->Iterations(100);
BENCHMARK(expandDispatch)->Iterations(2000);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    return runFigureBenchmarks(argc, argv);
}
