#pragma once

// Day-evening-night levels: Lday, Levening and Lnight, the time-weighted
// equivalent levels of the samples in the day, evening and night periods of
// the local clock, and from them
//   Lden = 10 lg((Td 10^(Lday/10) + Te 10^((Levening + Pe)/10)
//                 + Tn 10^((Lnight + Pn)/10)) / 24 h)
//   Ldn  = 10 lg(((Td + Te) 10^(Lde/10) + Tn 10^((Lnight + Pn)/10)) / 24 h)
// with Td, Te, Tn the lengths of the periods, Pe and Pn the evening and night
// penalties and Lde the equivalent level of the day and evening samples
// together. Defaults: day 07-19, evening 19-23, night 23-07, +5 and +10 dB,
// so that a constant 60 dB gives Lden 66.4 dB.
//
// A day runs from the start of its day period to the start of the next one
// and is named by the date it starts on: the night of 14 to 15 April belongs
// to 14 April. Each figure comes with the part of its period the samples
// cover; a period without samples has no level, and then neither has Lden
// (nor Ldn without night or without both day and evening).

#include "acoustics/SampleTiming.h"

#include <QDate>
#include <QList>
#include <QString>

#include <optional>
#include <span>

struct DenSettings
{
    int dayStartMinute = 7 * 60; // minutes after midnight
    int eveningStartMinute = 19 * 60;
    int nightStartMinute = 23 * 60;
    double eveningPenaltyDb = 5.0;
    double nightPenaltyDb = 10.0;

    // The periods follow each other round the clock, each at least a minute.
    [[nodiscard]] bool isValid() const;
    [[nodiscard]] int dayMinutes() const;
    [[nodiscard]] int eveningMinutes() const;
    [[nodiscard]] int nightMinutes() const;

    // "07:00,19:00,23:00" (or "7,19,23") into the three starts, and "5,10"
    // into the penalties; false, and nothing changed, when they do not read.
    [[nodiscard]] bool readStarts(const QString& text);
    [[nodiscard]] bool readPenalties(const QString& text);
};

struct DenLevels
{
    QDate date; // the day's; invalid for the whole series
    std::optional<double> lday;
    std::optional<double> levening;
    std::optional<double> lnight;
    std::optional<double> lden;
    std::optional<double> ldn;
    double dayCoverage = 0.0; // 0..1 of the period (of all the days' periods for the whole)
    double eveningCoverage = 0.0;
    double nightCoverage = 0.0;
    qsizetype samples = 0;
};

struct DenFigures
{
    QList<DenLevels> days;
    DenLevels whole;
};

namespace DayEveningNight {

[[nodiscard]] DenFigures of(const SampleTiming& timing, std::span<const float> levels,
                            const DenSettings& settings = {});

} // namespace DayEveningNight
