// Time, waiting with messages handled, and the statistics of the figures.
#pragma once

#include <vector>

namespace bench {

double NowMs();
// Handles this thread's messages for `ms` milliseconds (0: only what is waiting).
void Pump(double ms);

template <class Work>
double TimeOf(Work&& work) {
    const double start = NowMs();
    work();
    return NowMs() - start;
}

// Nearest rank: the smallest value with at least the fraction p of the values at or below it.
double Percentile(std::vector<double> values, double p);
double Median(const std::vector<double>& values);

// The median of `count` runs of `run`, which returns its figure; messages are handled for
// `pauseMs` after each.
template <class Run>
double MedianOf(int count, double pauseMs, Run&& run) {
    std::vector<double> figures;
    for (int i = 0; i < count; ++i) {
        figures.push_back(run());
        Pump(pauseMs);
    }
    return Median(figures);
}

}  // namespace bench
