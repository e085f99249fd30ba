#pragma once

// The one clock every wait and time-out of the meter protocol goes through,
// so that tests can drive ticks and silences without sleeping. Elapsed time
// comes from a steady clock and never depends on the time of day.

#include <QDateTime>
#include <chrono>

class MeterClock
{
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    virtual ~MeterClock() = default;

    [[nodiscard]] virtual TimePoint now() const = 0;
    // The local date and time, for time stamps shown to the user.
    [[nodiscard]] virtual QDateTime currentDateTime() const = 0;
    // Blocks until more than ms milliseconds have passed; processes no events.
    virtual void Delay(int ms) = 0;

    [[nodiscard]] double secondsSince(TimePoint start) const
    {
        return std::chrono::duration<double>(now() - start).count();
    }

    // The real clock, shared by the whole program.
    static MeterClock& system();
};

class SystemMeterClock : public MeterClock
{
public:
    TimePoint now() const override { return std::chrono::steady_clock::now(); }
    QDateTime currentDateTime() const override { return QDateTime::currentDateTime(); }
    void Delay(int ms) override;
};
