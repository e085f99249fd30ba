#pragma once

// Series and charts shared by the PESGraph tests and benchmark.

#include "graph/PESGraph.h"

#include <cmath>
#include <vector>

namespace PESGraphTestData {
// 14 April 2010 12:00:00 as days since 30 December 1899.
constexpr double kStartDay = 40282.5;
constexpr double kSecond = 1.0 / 86400.0;

inline std::vector<double> times(int count, double start = kStartDay, double step = kSecond)
{
    std::vector<double> x(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        x[size_t(i)] = start + i * step;
    return x;
}

inline std::vector<float> levels(int count)
{
    std::vector<float> y(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        y[size_t(i)] = float(70.0 + 15.0 * std::sin(i / 40.0) + 4.0 * std::sin(i * 1.7));
    return y;
}

// A chart as the program prepares it: default look, one series, Y 30..130
// fixed, X fixed to the series' span.
inline void prepare(PESGraph& graph, int count)
{
    graph.setDefaultLook();
    graph.setSubsets(1);
    graph.setPoints(count);
    graph.setManualScaleControlY(PESManualScale::MinMax);
    graph.setManualMinY(30);
    graph.setManualMaxY(130);
    const auto x = times(count);
    const auto y = levels(count);
    graph.setXDataBlock(x.data(), count);
    graph.setYDataBlock(y.data(), count);
    graph.setManualScaleControlX(PESManualScale::MinMax);
    graph.setManualMinX(kStartDay);
    graph.setManualMaxX(count > 1 ? x.back() : kStartDay + 60 * kSecond);
    graph.reinitialize();
    graph.redraw();
}
} // namespace PESGraphTestData
