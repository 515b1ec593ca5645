// Timing helpers for the benchmark programs: they print figures, they do not
// pass or fail. Machines here are shared and noisy, so compare the ratios
// printed within one run, not figures across runs.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace qorv::bench {

// Median of `runs` timings of fn, in microseconds.
template <typename Fn>
double MedianMicros(int runs, Fn&& fn) {
    std::vector<double> samples;
    samples.reserve(static_cast<std::size_t>(runs));
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        fn();
        const auto end = std::chrono::steady_clock::now();
        samples.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    }
    std::nth_element(samples.begin(), samples.begin() + runs / 2, samples.end());
    return samples[static_cast<std::size_t>(runs / 2)];
}

inline void PrintRatio(const char* what, double ours, double reference, const char* referenceName) {
    std::printf("%-44s %10.1f us   %-22s %10.1f us   ratio %.2f\n", what, ours, referenceName,
                reference, reference > 0 ? ours / reference : 0.0);
}

}  // namespace qorv::bench
