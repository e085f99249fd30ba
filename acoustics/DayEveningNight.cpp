#include "acoustics/DayEveningNight.h"

#include "data/AcousticStatistics.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <vector>

namespace {

constexpr int kDayMinutes = 24 * 60;
constexpr qint64 kMinuteMs = 60'000;

int minutesAfter(int from, int to)
{
    return ((to - from) % kDayMinutes + kDayMinutes) % kDayMinutes;
}

// Floor division of ms by a day.
qint64 dayIndex(qint64 ms)
{
    const qint64 day = SampleTiming::kDayMs;
    return ms >= 0 ? ms / day : -((-ms + day - 1) / day);
}

// The energy of a period: its equivalent level and the seconds behind it.
struct PeriodEnergy
{
    std::vector<float> levels;
    std::vector<double> seconds;

    void add(double level, double s)
    {
        levels.push_back(float(level));
        seconds.push_back(s);
    }
    [[nodiscard]] double totalSeconds() const
    {
        double total = 0.0;
        for (const double s : seconds)
            total += s;
        return total;
    }
    [[nodiscard]] std::optional<double> level() const
    {
        if (totalSeconds() <= 0.0)
            return std::nullopt;
        return AcousticStatistics::equivalentLevel(levels, seconds);
    }
};

struct DayParts
{
    std::array<PeriodEnergy, 3> parts; // day, evening, night
    qsizetype samples = 0;
};

DenLevels levelsOf(const DayParts& day, const DenSettings& settings, int dayCount)
{
    DenLevels out;
    out.samples = day.samples;
    out.lday = day.parts[0].level();
    out.levening = day.parts[1].level();
    out.lnight = day.parts[2].level();
    const std::array<int, 3> minutes{settings.dayMinutes(), settings.eveningMinutes(),
                                     settings.nightMinutes()};
    const auto coverage = [&](int part) {
        const double whole = double(minutes[std::size_t(part)]) * 60.0 * double(dayCount);
        return whole > 0.0
                   ? std::clamp(day.parts[std::size_t(part)].totalSeconds() / whole, 0.0, 1.0)
                   : 0.0;
    };
    out.dayCoverage = coverage(0);
    out.eveningCoverage = coverage(1);
    out.nightCoverage = coverage(2);
    if (out.lday && out.levening && out.lnight) {
        const std::array<float, 3> l{float(*out.lday),
                                     float(*out.levening + settings.eveningPenaltyDb),
                                     float(*out.lnight + settings.nightPenaltyDb)};
        const std::array<double, 3> t{double(minutes[0]), double(minutes[1]), double(minutes[2])};
        out.lden = AcousticStatistics::equivalentLevel(l, t);
    }
    PeriodEnergy dayAndEvening;
    for (int part = 0; part < 2; ++part)
        for (std::size_t i = 0; i < day.parts[std::size_t(part)].levels.size(); ++i)
            dayAndEvening.add(day.parts[std::size_t(part)].levels[i],
                              day.parts[std::size_t(part)].seconds[i]);
    const std::optional<double> lde = dayAndEvening.level();
    if (lde && out.lnight) {
        const std::array<float, 2> l{float(*lde), float(*out.lnight + settings.nightPenaltyDb)};
        const std::array<double, 2> t{double(minutes[0] + minutes[1]), double(minutes[2])};
        out.ldn = AcousticStatistics::equivalentLevel(l, t);
    }
    return out;
}

} // namespace

bool DenSettings::isValid() const
{
    const auto inDay = [](int m) { return m >= 0 && m < kDayMinutes; };
    if (!inDay(dayStartMinute) || !inDay(eveningStartMinute) || !inDay(nightStartMinute))
        return false;
    if (!std::isfinite(eveningPenaltyDb) || !std::isfinite(nightPenaltyDb))
        return false;
    const int evening = minutesAfter(dayStartMinute, eveningStartMinute);
    const int night = minutesAfter(dayStartMinute, nightStartMinute);
    return evening > 0 && night > evening;
}

int DenSettings::dayMinutes() const
{
    return minutesAfter(dayStartMinute, eveningStartMinute);
}

int DenSettings::eveningMinutes() const
{
    return minutesAfter(eveningStartMinute, nightStartMinute);
}

int DenSettings::nightMinutes() const
{
    return kDayMinutes - dayMinutes() - eveningMinutes();
}

bool DenSettings::readStarts(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 3)
        return false;
    std::array<int, 3> starts{};
    for (int i = 0; i < 3; ++i) {
        const QStringList hm = parts[i].trimmed().split(QLatin1Char(':'));
        bool okHours = false;
        bool okMinutes = true;
        const int hours = hm.value(0).toInt(&okHours);
        const int minutes = hm.size() > 1 ? hm[1].toInt(&okMinutes) : 0;
        if (hm.size() > 2 || !okHours || !okMinutes || hours < 0 || hours > 23 || minutes < 0 ||
            minutes > 59)
            return false;
        starts[std::size_t(i)] = hours * 60 + minutes;
    }
    DenSettings changed = *this;
    changed.dayStartMinute = starts[0];
    changed.eveningStartMinute = starts[1];
    changed.nightStartMinute = starts[2];
    if (!changed.isValid())
        return false;
    *this = changed;
    return true;
}

bool DenSettings::readPenalties(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 2)
        return false;
    bool okEvening = false;
    bool okNight = false;
    const double evening = parts[0].trimmed().toDouble(&okEvening);
    const double night = parts[1].trimmed().toDouble(&okNight);
    if (!okEvening || !okNight || !std::isfinite(evening) || !std::isfinite(night))
        return false;
    eveningPenaltyDb = evening;
    nightPenaltyDb = night;
    return true;
}

namespace DayEveningNight {

DenFigures of(const SampleTiming& timing, std::span<const float> levels,
              const DenSettings& settings)
{
    DenFigures figures;
    if (!settings.isValid())
        return figures;
    const qsizetype n = std::min(timing.size(), qsizetype(levels.size()));
    const qint64 shift = qint64(settings.dayStartMinute) * kMinuteMs;
    const qint64 eveningFrom = qint64(settings.dayMinutes()) * kMinuteMs;
    const qint64 nightFrom = qint64(settings.dayMinutes() + settings.eveningMinutes()) * kMinuteMs;
    const std::span<const double> seconds(timing.seconds);

    // Runs of samples in one part of one day, each a contiguous stretch.
    std::map<qint64, DayParts> days;
    qsizetype from = 0;
    const auto keyOf = [&](qsizetype i, qint64& day) {
        const qint64 shifted = timing.startMs[std::size_t(i)] - shift;
        day = dayIndex(shifted);
        const qint64 within = shifted - day * SampleTiming::kDayMs;
        return within < eveningFrom ? 0 : within < nightFrom ? 1 : 2;
    };
    while (from < n) {
        qint64 day = 0;
        const int part = keyOf(from, day);
        qsizetype to = from + 1;
        qint64 nextDay = 0;
        while (to < n && keyOf(to, nextDay) == part && nextDay == day)
            ++to;
        const auto count = std::size_t(to - from);
        const std::span<const float> run = levels.subspan(std::size_t(from), count);
        const std::span<const double> runSeconds = seconds.subspan(std::size_t(from), count);
        double total = 0.0;
        qsizetype finite = 0;
        for (std::size_t i = 0; i < count; ++i) {
            if (std::isfinite(run[i]) && runSeconds[i] > 0.0) {
                total += runSeconds[i];
                ++finite;
            }
        }
        DayParts& parts = days[day];
        parts.samples += finite;
        if (finite > 0)
            parts.parts[std::size_t(part)].add(AcousticStatistics::equivalentLevel(run, runSeconds),
                                               total);
        from = to;
    }

    DayParts whole;
    for (const auto& [day, parts] : days) {
        DenLevels levelsOfDay = levelsOf(parts, settings, 1);
        // Day 0 is 30 December 1899.
        levelsOfDay.date = QDate(1899, 12, 30).addDays(day);
        figures.days.append(levelsOfDay);
        whole.samples += parts.samples;
        for (std::size_t part = 0; part < 3; ++part) {
            const std::optional<double> level = parts.parts[part].level();
            if (level)
                whole.parts[part].add(*level, parts.parts[part].totalSeconds());
        }
    }
    figures.whole = levelsOf(whole, settings, int(days.size()));
    return figures;
}

} // namespace DayEveningNight
