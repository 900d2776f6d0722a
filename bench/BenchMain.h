#pragma once

// The run of every benchmark program: Google Benchmark's own arguments,
// then the benchmarks they choose. Set-up a program needs comes before.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

namespace bench {

// False when an argument was not understood (reported).
inline bool RunBenchmarks(int* argc, char** argv)
{
    benchmark::Initialize(argc, argv);
    if (benchmark::ReportUnrecognizedArguments(*argc, argv))
        return false;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return true;
}

// The run, then what the benchmarks wrote to `report` (their figures
// against the targets), after Google Benchmark's table. The exit status.
inline int RunAndReport(int* argc, char** argv, const std::string& report)
{
    if (!RunBenchmarks(argc, argv))
        return 1;
    std::printf("%s", report.c_str());
    return 0;
}

}  // namespace bench
