#pragma once

// A clock for setup tests against the virtual meter: elapsed time runs
// `factor` times faster than on the wall (waits keep their proportions but
// take a fraction of the time), and the PC's local time starts at a chosen
// moment and moves with that elapsed time.

#include "logger/AcceleratedMeterClock.h"

class SetupTestClock : public AcceleratedMeterClock
{
public:
    SetupTestClock(int factor, QDateTime localTime)
        : AcceleratedMeterClock(factor), start_(now()), localTime_(std::move(localTime))
    {
    }

    QDateTime currentDateTime() const override
    {
        const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now() - start_);
        return localTime_.addMSecs(elapsed.count());
    }

private:
    TimePoint start_;
    QDateTime localTime_;
};
