#pragma once

// In-process benchmarks paired with their baseline: A and B run in turn
// (A then B, then B then A, ...) for several rounds after a warm-up of each;
// a round's ratio is A's time over B's, and what is quoted is the median of
// the rounds' ratios with their minimum and maximum, so a drift in the
// machine's speed between rounds cancels. Times are the process's CPU time
// and the wall time of each run. Prints figures; asserts nothing.

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

#include <algorithm>
#include <ctime>
#include <functional>
#include <vector>

namespace PairedRounds {

struct Figures
{
    std::vector<double> cpuRatios;
    std::vector<double> wallRatios;
    std::vector<double> aCpuMs;
    std::vector<double> bCpuMs;
};

inline double processCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1000.0 + double(t.tv_nsec) / 1.0e6;
}

struct Run
{
    double cpuMs = 0.0;
    double wallMs = 0.0;
};

inline Run timed(const std::function<void()>& work)
{
    QElapsedTimer wall;
    const double cpu = processCpuMs();
    wall.start();
    work();
    return {processCpuMs() - cpu, double(wall.nsecsElapsed()) / 1.0e6};
}

inline Figures run(int rounds, const std::function<void()>& a, const std::function<void()>& b)
{
    a();
    b();
    Figures f;
    for (int r = 0; r < rounds; ++r) {
        Run ra;
        Run rb;
        if (r % 2 == 0) {
            ra = timed(a);
            rb = timed(b);
        } else {
            rb = timed(b);
            ra = timed(a);
        }
        f.cpuRatios.push_back(ra.cpuMs / std::max(rb.cpuMs, 1.0e-3));
        f.wallRatios.push_back(ra.wallMs / std::max(rb.wallMs, 1.0e-3));
        f.aCpuMs.push_back(ra.cpuMs);
        f.bCpuMs.push_back(rb.cpuMs);
    }
    return f;
}

inline double median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

inline QString spread(const std::vector<double>& values)
{
    const auto [lo, hi] = std::minmax_element(values.begin(), values.end());
    return QStringLiteral("%1 (%2..%3)")
        .arg(median(values), 0, 'f', 2)
        .arg(values.empty() ? 0.0 : *lo, 0, 'f', 2)
        .arg(values.empty() ? 0.0 : *hi, 0, 'f', 2);
}

// "NAME: cpu 1.23 (1.10..1.40), wall ..., [A 12.3 ms, B 10.0 ms cpu], N rounds"
inline QByteArray line(const QString& name, const Figures& f)
{
    return QStringLiteral("%1: A/B cpu %2, wall %3 [A %4 ms, B %5 ms cpu, medians]; %6 rounds")
        .arg(name, spread(f.cpuRatios), spread(f.wallRatios))
        .arg(median(f.aCpuMs), 0, 'f', 1)
        .arg(median(f.bCpuMs), 0, 'f', 1)
        .arg(f.cpuRatios.size())
        .toUtf8();
}

} // namespace PairedRounds
