#pragma once

#include <benchmark/benchmark.h>

// Prints each benchmark counter whose name ends in a unit ("store_load_10k_ms") as one
// "NAME VALUE UNIT" line, the form scripts/bench and bench/README.md use.
class FigureReporter : public benchmark::BenchmarkReporter
{
public:
    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<Run>& runs) override;
};

// The main() of every benchmark program.
int runFigureBenchmarks(int argc, char** argv);
