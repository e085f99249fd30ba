#include "tools/virtual-meter/LevelGenerator.h"

#include <algorithm>
#include <cmath>

namespace vmeter {

namespace {
constexpr double stepSpreadDb = 0.4;
constexpr double pullBack = 0.15;
constexpr double peakChance = 0.01;
constexpr double peakDecay = 0.6;
constexpr double maxDb = 140.0;
} // namespace

LevelGenerator::LevelGenerator(double baseDb, std::uint32_t seed)
    : random_(seed), base_(baseDb), walk_(baseDb)
{
}

void LevelGenerator::setBase(double baseDb)
{
    base_ = baseDb;
}

int LevelGenerator::next()
{
    std::normal_distribution<double> step(0.0, stepSpreadDb);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    walk_ += step(random_) + (base_ - walk_) * pullBack;
    peak_ *= peakDecay;
    if (unit(random_) < peakChance)
        peak_ = 8.0 + unit(random_) * 17.0;
    const double level = std::clamp(walk_ + peak_, 0.0, maxDb);
    return int(std::lround(level * 10.0));
}

} // namespace vmeter
