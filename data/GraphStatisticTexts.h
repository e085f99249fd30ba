#pragma once

// The statistic fields of a graph window as texts, from SeriesStatistics.
// Levels in level text, times in date-time text (see GraphTexts). A series
// without points gives "0" points and empty texts elsewhere.

#include "data/SeriesStatistics.h"

#include <QLocale>
#include <QString>

// The whole series, above the chart.
struct GraphStatisticTexts
{
    QString startTime;
    QString samplingRate; // seconds
    QString dataNo;
    QString avgAll;
    QString max;
    QString maxTime;
    QString min;
    QString minTime;

    // What a new window shows before any data.
    [[nodiscard]] static GraphStatisticTexts initial();
    [[nodiscard]] static GraphStatisticTexts of(const SeriesStatistics& statistics,
                                                const QLocale& locale = QLocale());

    friend bool operator==(const GraphStatisticTexts&, const GraphStatisticTexts&) = default;
};

// The stretch between the two line cursors, below the chart.
struct CursorStatisticTexts
{
    QString maxAB;
    QString maxABTime;
    QString minAB;
    QString minABTime;
    QString avgAB;

    [[nodiscard]] static CursorStatisticTexts of(const SeriesStatistics& statistics,
                                                 const QLocale& locale = QLocale());

    friend bool operator==(const CursorStatisticTexts&, const CursorStatisticTexts&) = default;
};
