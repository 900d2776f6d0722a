#pragma once

// Timing of a comparison: both sides run in alternating pairs on CPU time
// (the machine is shared), and the median of the per-pair ratios is taken.

#include <time.h>

#include <algorithm>
#include <vector>

namespace bench {

inline double ThreadSeconds()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
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
    double Ratio() const
    {
        std::vector<double> ratios;
        for (size_t i = 0; i < ours.size(); ++i)
            ratios.push_back(ours[i] / theirs[i]);
        return Median(ratios);
    }
};

}  // namespace bench
