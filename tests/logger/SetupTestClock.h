#pragma once

// A clock for setup tests against the virtual meter: elapsed time runs
// `factor` times faster than on the wall (waits keep their proportions but
// take a fraction of the time), and the PC's local time starts at a chosen
// moment and moves with that elapsed time, or stands still when frozen (a
// test that needs the exact clock frame of that moment).

#include "logger/AcceleratedMeterClock.h"

class SetupTestClock : public AcceleratedMeterClock
{
public:
    enum class LocalTime
    {
        Running,
        Frozen
    };

    SetupTestClock(int factor, QDateTime localTime, LocalTime mode = LocalTime::Running)
        : AcceleratedMeterClock(factor), start_(now()), localTime_(std::move(localTime)),
          mode_(mode)
    {
    }

    QDateTime currentDateTime() const override
    {
        if (mode_ == LocalTime::Frozen)
            return localTime_;
        const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now() - start_);
        return localTime_.addMSecs(elapsed.count());
    }

private:
    TimePoint start_;
    QDateTime localTime_;
    LocalTime mode_;
};
