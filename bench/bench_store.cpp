// Store figures with 10,000 snippets in 200 groups: start-up load, index rebuild, saving
// snippets.json, and the memory the loaded store takes above an empty one.
#include "FigureReporter.h"

#include "model/AppState.h"
#include "model/AtomicFile.h"
#include "model/TriggerIndex.h"

#include "TestHome.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <malloc.h>
#include <memory>

namespace {

QList<SnippetGroup> makeGroups()
{
    QList<SnippetGroup> groups;
    for (int g = 0; g < 200; ++g) {
        SnippetGroup group;
        group.name = QStringLiteral("Group %1").arg(g);
        group.triggerPrefix = g % 4 == 0 ? QStringLiteral(";") : QString();
        if (g % 10 == 0) {
            group.appMode = AppScopeMode::onlyIn;
            group.appList = {QStringLiteral("XTerm"), QStringLiteral("firefox")};
        }
        groups.append(group);
    }
    return groups;
}

QList<Snippet> makeSnippets(const QList<SnippetGroup>& groups)
{
    QList<Snippet> list;
    list.reserve(10000);
    for (int i = 0; i < 10000; ++i) {
        Snippet s;
        s.trigger = QStringLiteral("t%1x").arg(i, 0, 36) + QString(i % 20, QLatin1Char('k'));
        s.content = QStringLiteral("Expansion text number %1, with {date} and a little more prose to it.").arg(i);
        s.ignoreCase = i % 7 == 0;
        s.groupID = groups.at(i % groups.size()).id;
        list.append(s);
    }
    return list;
}

size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

struct Fixture
{
    TestHome home;
    QList<SnippetGroup> groups = makeGroups();
    QList<Snippet> snippets = makeSnippets(groups);
    Fixture()
    {
        AppState::Options o = home.storeOptions();
        AppState seed(o);
        seed.setGroups(groups);
        seed.setSnippets(snippets);
        seed.setCustomCorrections({CustomCorrection{QUuid::createUuid(), QStringLiteral("wrnog"),
                                                    QStringLiteral("wrong"), false}});
    }
    AppState::Options options() const
    {
        AppState::Options o = home.storeOptions();
        return o;
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void storeLoad10k(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        AppState s(f.options());
        benchmark::DoNotOptimize(s.triggerIndex().size());
    }
    state.counters["store_load_10k_ms"] = benchmark::Counter(state.iterations() * 1e-3, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void indexRebuild10k(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        TriggerIndex t = TriggerIndex::build(f.snippets, f.groups);
        benchmark::DoNotOptimize(t.triggerPrefixIndex.size());
    }
    state.counters["index_rebuild_10k_ms"] = benchmark::Counter(state.iterations() * 1e-3, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void storeSave10k(benchmark::State& state)
{
    Fixture& f = fixture();
    AppState s(f.options());
    const QString path = AppState::filePath(QStringLiteral("snippets.json"));
    for (auto _ : state) {
        // What every assignment of the list costs on disk: encode, then the atomic write.
        benchmark::DoNotOptimize(AtomicFile::write(path, encodeSnippets(s.snippets())));
    }
    state.counters["store_save_10k_ms"] = benchmark::Counter(state.iterations() * 1e-3, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void storeMemory10k(benchmark::State& state)
{
    Fixture& f = fixture();
    double mb = 0;
    for (auto _ : state) {
        malloc_trim(0);
        const size_t before = heapInUse();
        auto s = std::make_unique<AppState>(f.options());
        const size_t after = heapInUse();
        mb = double(after - before) / (1024.0 * 1024.0);
        benchmark::DoNotOptimize(s.get());
    }
    state.counters["store_mem_10k_mb"] = mb;
}

} // namespace

BENCHMARK(storeLoad10k)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(indexRebuild10k)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(storeSave10k)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(storeMemory10k)->Iterations(1);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    return runFigureBenchmarks(argc, argv);
}
