#pragma once

// When the logger is emptied next: the schedule of the scheduled auto-loading.
// Off at every program start; Start switches it on with an interval of 1 to
// 24 hours and puts the first cycle one interval ahead; each due tick moves
// the next cycle one interval past that tick. A cycle that falls due while no
// meter is connected waits for the first tick after reconnection.
//
// Contract: plain value logic, no clock of its own: every time comes from
// the caller (the one-second tick's local time).

#include <QDateTime>
#include <QString>

#include <optional>

class AutoLoadSchedule
{
public:
    static constexpr int MinHours = 1;
    static constexpr int MaxHours = 24;

    // The hours of the schedule dialog's text: a whole number from 1 to 24
    // (blanks around it allowed), else nothing.
    [[nodiscard]] static std::optional<int> parseHours(const QString& text);

    // On, the interval hours / 24 days, the next cycle at now + interval.
    // Precondition: MinHours <= hours <= MaxHours.
    void start(int hours, const QDateTime& now);
    void stop() { enabled_ = false; }

    [[nodiscard]] bool AutoLoadEnabled() const { return enabled_; }
    // The interval in days.
    [[nodiscard]] double AutoLoadInterval() const { return hours_ / 24.0; }
    [[nodiscard]] int hours() const { return hours_; }
    [[nodiscard]] const QDateTime& NextAutoLoad() const { return next_; }

    // The tick's check, made after its connection supervision: true when a
    // cycle is to run now (on, a meter connected, now later than the next
    // cycle's time); the next cycle's time is then one interval after now.
    [[nodiscard]] bool takeDue(const QDateTime& now, bool meterConnected);

private:
    bool enabled_ = false;
    int hours_ = MinHours;
    QDateTime next_;
};
