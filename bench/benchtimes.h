#pragma once

// The figures of a benchmark program are ratios against a raw baseline of the same run.
// This reporter prints the usual table and keeps each benchmark's times per iteration,
// the median over its repetitions, for the ratios printed after it: one repetition
// slowed by the rest of a busy machine does not make the ratio.
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstring>
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
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;
            const double unit = benchmark::GetTimeUnitMultiplier(run.time_unit);
            auto &[wall, cpu] = samples[run.benchmark_name()];
            wall.push_back(run.GetAdjustedRealTime() / unit);
            cpu.push_back(run.GetAdjustedCPUTime() / unit);
            times[run.benchmark_name()] = { median(wall), median(cpu) };
        }
    }

    static double median(std::vector<double> values)
    {
        std::sort(values.begin(), values.end());
        const size_t n = values.size();
        return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    }

    // seconds per iteration, medians over the repetitions: wall, CPU
    std::map<std::string, std::pair<double, double>> times;
    std::map<std::string, std::pair<std::vector<double>, std::vector<double>>> samples;
};

// benchmark::Initialize with five repetitions unless the command line asks for another
// number, so that every printed ratio is one of medians.
inline void initializeBench(int *argc, char **argv)
{
    static std::vector<char *> args;
    static char repetitions[] = "--benchmark_repetitions=5";
    args.assign(argv, argv + *argc);
    const bool given = std::any_of(args.begin(), args.end(),
        [](const char *a) { return std::strncmp(a, "--benchmark_repetitions", 23) == 0; });
    if (!given)
        args.push_back(repetitions);
    int count = int(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&count, args.data());
}

// The value at rank p (0.5: the median, 0.99: the 99th percentile) of values, nearest
// rank; 0 for none.
inline double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t rank = size_t(std::ceil(p * double(values.size())));
    return values[std::min(values.size(), std::max<size_t>(rank, 1)) - 1];
}
