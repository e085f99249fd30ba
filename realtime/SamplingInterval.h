#pragma once

// The real-time sampling interval, in seconds, held as a 32-bit float and
// turned into whole microseconds, recording periods and time axis spans. A
// value is usable when it is above 0 and at most one day, and stays above 0
// as a float: anything else (1e39, inf, nan, 0, a negative number) would be
// converted to a type that cannot hold it, or stall or flood the recording.
// Checked before any such conversion, for a typed and for a saved value.

namespace SamplingInterval {

inline constexpr double MaxSeconds = 86400.0;

[[nodiscard]] constexpr bool usable(double seconds)
{
    // Written so that nan fails as well.
    return seconds > 0.0 && seconds <= MaxSeconds && float(seconds) > 0.0f;
}

} // namespace SamplingInterval
