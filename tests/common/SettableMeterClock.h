#pragma once

// A fake clock whose wall time a test sets (08:00 on a chosen day): Delay
// and advance move elapsed time and wall time together, at once.

#include "meter/MeterClock.h"

class SettableMeterClock : public MeterClock
{
public:
    explicit SettableMeterClock(QDateTime wallTime = QDateTime(QDate(2010, 4, 14), QTime(8, 0)))
        : wall_(std::move(wallTime))
    {
    }

    TimePoint now() const override { return now_; }
    QDateTime currentDateTime() const override { return wall_; }
    void Delay(int ms) override { advance(ms + 1); }

    void advance(qint64 ms)
    {
        now_ += std::chrono::milliseconds(ms);
        wall_ = wall_.addMSecs(ms);
    }
    void setWallTime(const QDateTime& wallTime) { wall_ = wallTime; }

private:
    TimePoint now_{std::chrono::seconds(1000)};
    QDateTime wall_;
};
