#pragma once

// A running recording of a virtual model 842: while REC is on, a sample of
// the current level goes into the open data set at the interval stored in the
// control page, the first one at the start. The recording's time can run
// faster than the wall clock (timeScale 100: a 2-s interval every 20 ms), so
// that tests fill data sets quickly; the stamps in memory stay the meter's.
// A full memory ends the recording.
//
// Contract: driven by MeterProtocol from one thread; poll() at nextDeadline()
// at the latest.

#include "tools/virtual-meter/MeterLogger.h"

#include <QDateTime>

#include <chrono>
#include <functional>
#include <optional>

namespace vmeter {

class LoggerRecorder
{
public:
    explicit LoggerRecorder(double timeScale) : timeScale_(timeScale > 0 ? timeScale : 1.0) {}

    // Opens a new data set; false when the memory has no room left.
    [[nodiscard]] bool start(SteadyTime now, const QDateTime& meterTime, bool aWeighting,
                             MeterLogger& logger);
    void stop(MeterLogger& logger);
    // Stores the samples that fell due; false when the memory became full
    // (the recording has then stopped).
    [[nodiscard]] bool poll(SteadyTime now, MeterLogger& logger, const std::function<int()>& level);

    [[nodiscard]] bool running() const { return nextSampleAt_.has_value(); }
    [[nodiscard]] std::optional<SteadyTime> nextDeadline() const { return nextSampleAt_; }

private:
    [[nodiscard]] SteadyTime::duration step(const MeterLogger& logger) const;

    double timeScale_;
    std::optional<SteadyTime> nextSampleAt_;
};

} // namespace vmeter
