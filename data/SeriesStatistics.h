#pragma once

// Statistics of a series of (date-time, level) points as the graph window
// shows them: start time, number of points, sampling rate, arithmetic mean of
// the dB values, and the maximum and minimum with the time of their point. Of
// equal extremes the first one wins. An empty series gives isEmpty() and zero
// fields; nothing is divided by zero.

#include <QtGlobal>

#include <span>

struct SeriesStatistics
{
    qsizetype pointCount = 0;
    qsizetype firstIndex = 0; // first point covered
    double startTime = 0.0;   // X of the first point covered
    double rateSeconds = 0.0; // (last X - first X) in seconds / pointCount
    double average = 0.0;     // sum of Y / pointCount
    float maximum = 0.0f;
    qsizetype maximumIndex = 0;
    double maximumTime = 0.0;
    float minimum = 0.0f;
    qsizetype minimumIndex = 0;
    double minimumTime = 0.0;

    [[nodiscard]] bool isEmpty() const { return pointCount == 0; }

    // The whole series. x and y are read up to the shorter of the two.
    [[nodiscard]] static SeriesStatistics whole(std::span<const double> x,
                                                std::span<const float> y);

    // Points lo..hi inclusive, lo the smaller and hi the larger of the two
    // cursor indices (they may cross); indices are clamped into the series.
    [[nodiscard]] static SeriesStatistics between(std::span<const double> x,
                                                  std::span<const float> y, qsizetype indexA,
                                                  qsizetype indexB);
};
