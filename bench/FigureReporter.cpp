#include "FigureReporter.h"

#include <cstdio>
#include <cstdlib>
#include <string>

void FigureReporter::ReportRuns(const std::vector<Run>& runs)
{
    for (const Run& run : runs) {
        if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median")
            continue;
        for (const auto& [name, counter] : run.counters) {
            const auto cut = name.rfind('_');
            if (cut == std::string::npos)
                continue;
            std::printf("%s %.3f %s\n", name.c_str(), double(counter.value), name.substr(cut + 1).c_str());
        }
    }
    std::fflush(stdout);
}

int runFigureBenchmarks(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    FigureReporter reporter;
    if (std::getenv("QUENVIL_BENCH_CONSOLE")) {
        benchmark::RunSpecifiedBenchmarks();
    } else {
        benchmark::RunSpecifiedBenchmarks(&reporter);
    }
    benchmark::Shutdown();
    return 0;
}
