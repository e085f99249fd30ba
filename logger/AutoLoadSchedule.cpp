#include "logger/AutoLoadSchedule.h"

#include <algorithm>

namespace {
constexpr qint64 msPerHour = 3600 * 1000;
} // namespace

std::optional<int> AutoLoadSchedule::parseHours(const QString& text)
{
    const QString digits = text.trimmed();
    if (digits.isEmpty() || digits.size() > 4 ||
        !std::all_of(digits.cbegin(), digits.cend(),
                     [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }))
        return std::nullopt;
    const int hours = digits.toInt();
    if (hours < MinHours || hours > MaxHours)
        return std::nullopt;
    return hours;
}

void AutoLoadSchedule::start(int hours, const QDateTime& now)
{
    enabled_ = true;
    hours_ = std::clamp(hours, MinHours, MaxHours);
    next_ = now.addMSecs(hours_ * msPerHour);
}

bool AutoLoadSchedule::takeDue(const QDateTime& now, bool meterConnected)
{
    if (!enabled_ || !meterConnected || now <= next_)
        return false;
    next_ = now.addMSecs(hours_ * msPerHour);
    return true;
}
