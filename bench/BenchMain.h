#pragma once

// The run of every benchmark program: Google Benchmark's own arguments,
// then the benchmarks they choose. Set-up a program needs comes before.

#include <benchmark/benchmark.h>

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

}  // namespace bench
