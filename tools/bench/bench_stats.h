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

struct PairedMedians {
    double ours = 0;
    double reference = 0;
};

// Medians of `runs` timings each of ours and reference, taken in turn, so
// that a busy spell of the machine slows both sides alike.
template <typename Ours, typename Reference>
PairedMedians MedianMicrosPaired(int runs, Ours&& ours, Reference&& reference) {
    std::vector<double> oursSamples, referenceSamples;
    oursSamples.reserve(static_cast<std::size_t>(runs));
    referenceSamples.reserve(static_cast<std::size_t>(runs));
    auto time = [](auto& fn, std::vector<double>& samples) {
        const auto start = std::chrono::steady_clock::now();
        fn();
        const auto end = std::chrono::steady_clock::now();
        samples.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    };
    // A few untimed rounds first: caches, branch predictors and the clock
    // of the core settle before anything counts.
    for (int i = 0; i < runs / 10; ++i) {
        ours();
        reference();
    }
    for (int i = 0; i < runs; ++i) {
        time(ours, oursSamples);
        time(reference, referenceSamples);
    }
    const auto median = [runs](std::vector<double>& samples) {
        std::nth_element(samples.begin(), samples.begin() + runs / 2, samples.end());
        return samples[static_cast<std::size_t>(runs / 2)];
    };
    return {median(oursSamples), median(referenceSamples)};
}

inline void PrintRatio(const char* what, double ours, double reference, const char* referenceName) {
    std::printf("%-44s %10.1f us   %-22s %10.1f us   ratio %.2f\n", what, ours, referenceName,
                reference, reference > 0 ? ours / reference : 0.0);
}

inline void PrintRatio(const char* what, PairedMedians medians, const char* referenceName) {
    PrintRatio(what, medians.ours, medians.reference, referenceName);
}

}  // namespace qorv::bench
