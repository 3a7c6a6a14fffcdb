#pragma once

// The figures of a benchmark program are ratios against a raw baseline of the same run.
// This reporter prints the usual table and keeps each benchmark's times per iteration
// for the ratios printed after it.
#include <benchmark/benchmark.h>
#include <map>
#include <string>
#include <utility>
#include <vector>

class TimesReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.run_type != Run::RT_Iteration)
                continue;
            const double unit = benchmark::GetTimeUnitMultiplier(run.time_unit);
            times[run.benchmark_name()]
                = { run.GetAdjustedRealTime() / unit, run.GetAdjustedCPUTime() / unit };
        }
    }

    std::map<std::string, std::pair<double, double>> times; // seconds: wall, CPU
};
