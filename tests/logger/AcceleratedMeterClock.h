#pragma once

// A clock on which time runs `factor` times faster than on the wall: waits
// and time-outs keep their proportions to each other and to a meter that
// answers at once, but a 2-s wait takes a fraction of that.

#include "meter/MeterClock.h"

#include <thread>

class AcceleratedMeterClock : public MeterClock
{
public:
    explicit AcceleratedMeterClock(int factor) : factor_(factor) {}

    TimePoint now() const override
    {
        return base_ + (std::chrono::steady_clock::now() - base_) * factor_;
    }
    QDateTime currentDateTime() const override { return QDateTime::currentDateTime(); }
    void Delay(int ms) override
    {
        const TimePoint end = now() + std::chrono::milliseconds(ms);
        for (TimePoint t = now(); t <= end; t = now())
            std::this_thread::sleep_for((end - t) / factor_ + std::chrono::microseconds(50));
    }

private:
    TimePoint base_ = std::chrono::steady_clock::now();
    int factor_;
};
