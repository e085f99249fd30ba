#pragma once

// A plausible sound level: a slow random walk pulled back towards a base
// level, with an occasional short peak. The same seed and the same calls give
// the same levels, one per next() call.

#include <cstdint>
#include <random>

namespace vmeter {

class LevelGenerator
{
public:
    LevelGenerator(double baseDb, std::uint32_t seed);

    // Moving the base pulls the walk over to it within a few seconds.
    void setBase(double baseDb);
    [[nodiscard]] double base() const { return base_; }

    // The next level in tenths of a dB, 0..1400.
    [[nodiscard]] int next();

private:
    std::mt19937 random_;
    double base_;
    double walk_;
    double peak_ = 0.0;
};

} // namespace vmeter
