#pragma once

// Timing of a comparison: both sides run in alternating pairs on CPU time
// (the machine is shared), and the median of the per-pair ratios is taken.

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace bench {

inline double ThreadSeconds()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// For sides that wait on disks or servers, where CPU time misses the cost.
inline double WallSeconds()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// CPU time of the child processes waited for so far.
inline double ChildSeconds()
{
    rusage usage;
    getrusage(RUSAGE_CHILDREN, &usage);
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) * 1e-6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// A shell command's CPU time (every process of its pipeline) and the
// lines it printed: what grep -l found.
inline std::pair<double, size_t> RunGrep(const std::string& command)
{
    double start = ChildSeconds();
    FILE* pipe = popen(command.c_str(), "r");
    size_t lines = 0;
    char buffer[65536];
    for (size_t got; pipe && (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        lines += size_t(std::count(buffer, buffer + got, '\n'));
    if (pipe)
        pclose(pipe);
    return {ChildSeconds() - start, lines};
}

// Times of the two sides of a comparison, run in pairs.
struct Pairs {
    std::vector<double> ours;
    std::vector<double> theirs;

    static double Median(std::vector<double> values)
    {
        if (values.empty())
            return 0;
        std::sort(values.begin(), values.end());
        size_t n = values.size();
        return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    }
    // One pair on the wall clock, the side going first taking turns: each
    // side's time is kept and their sum returned; a negative number when
    // a side failed.
    template <typename Ours, typename Theirs>
    double RunWall(Ours runOurs, Theirs runTheirs)
    {
        const bool oursFirst = ours.size() % 2 == 0;
        double a = 0, b = 0;
        bool ok = true;
        for (int side = 0; side < 2; ++side) {
            const bool mine = (side == 0) == oursFirst;
            const double start = WallSeconds();
            ok = (mine ? runOurs() : runTheirs()) && ok;
            (mine ? a : b) = WallSeconds() - start;
        }
        if (!ok)
            return -1;
        ours.push_back(a);
        theirs.push_back(b);
        return a + b;
    }
    double Ratio() const
    {
        std::vector<double> ratios;
        for (size_t i = 0; i < ours.size(); ++i)
            ratios.push_back(ours[i] / theirs[i]);
        return Median(ratios);
    }
    // The two medians and their ratio against the target.
    void Report(const char* what, const char* theirName, double target) const
    {
        if (ours.empty()) {
            std::printf("%s ratio: not measured\n", what);
            return;
        }
        double ratio = Ratio();
        std::printf("%s zandrel: %.1f ms, %s: %.1f ms (median CPU time of %zu pairs)\n", what, Median(ours) * 1e3,
                    theirName, Median(theirs) * 1e3, ours.size());
        std::printf("%s ratio zandrel/%s: %.3f (target <= %.2f): %s\n", what, theirName, ratio, target,
                    ratio <= target ? "met" : "NOT met");
    }
};

}  // namespace bench
