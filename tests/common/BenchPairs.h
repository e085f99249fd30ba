#pragma once

// Timing of the benchmarks that compare our code with a plain baseline in
// one run: the two are timed in turn (ours, baseline, ours, baseline, ...)
// so that a figure can be quoted as a ratio that still holds when the shared
// machine's speed drifts during the run. QtCore only; the paint checks of
// the window benchmarks are in PaintCounter.h.

#include <QElapsedTimer>
#include <QtGlobal>

#include <algorithm>
#include <vector>

namespace BenchPairs {

// Pairs to time: AUDIMARK_BENCH_PAIRS, default 21.
inline int pairCount()
{
    const int pairs = qEnvironmentVariableIntValue("AUDIMARK_BENCH_PAIRS");
    return pairs > 0 ? pairs : 21;
}

inline double median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

// Medians over the pairs, in milliseconds per call; ratio is the median of
// the pair by pair ratios ours / baseline.
struct Figures
{
    double oursMs = 0.0;
    double baselineMs = 0.0;
    double ratio = 0.0;
    int pairs = 0;
};

template <typename F> double millisecondsOf(F& run, int calls)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < calls; ++i)
        run();
    return double(timer.nsecsElapsed()) / 1e6 / calls;
}

// Times `ours` and `baseline` in turn, each `callsPerTurn` times per turn
// (several calls smooth out a single slow one on a busy machine), after one
// untimed call of each.
template <typename Ours, typename Baseline>
Figures timeInTurn(Ours ours, Baseline baseline, int callsPerTurn = 3, int pairs = pairCount())
{
    ours();
    baseline();
    std::vector<double> oursMs, baselineMs, ratios;
    for (int i = 0; i < pairs; ++i) {
        oursMs.push_back(millisecondsOf(ours, callsPerTurn));
        baselineMs.push_back(millisecondsOf(baseline, callsPerTurn));
        ratios.push_back(baselineMs.back() > 0 ? oursMs.back() / baselineMs.back() : 0.0);
    }
    return {median(oursMs), median(baselineMs), median(ratios), pairs};
}

// One line for the benchmark's output.
inline void report(const char* ours, const char* baseline, const Figures& f)
{
    qInfo("%s: %.3f ms; %s: %.3f ms; ratio %.2f (median of %d pairs)", ours, f.oursMs, baseline,
          f.baselineMs, f.ratio, f.pairs);
}

} // namespace BenchPairs
