#pragma once

// A clock for tests: Delay advances time at once, and a test moves time on
// explicitly, so ticks and silences need no sleeping.

#include "meter/MeterClock.h"

class FakeMeterClock : public MeterClock
{
public:
    TimePoint now() const override { return now_; }
    QDateTime currentDateTime() const override
    {
        return start_.addMSecs(std::chrono::duration_cast<std::chrono::milliseconds>(now_ - TimePoint{}).count());
    }
    void Delay(int ms) override { advance(ms + 1); }

    void advance(int ms) { now_ += std::chrono::milliseconds(ms); }

private:
    TimePoint now_{std::chrono::seconds(1000)};
    QDateTime start_ = QDateTime(QDate(2026, 1, 5), QTime(10, 0));
};
