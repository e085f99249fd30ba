#pragma once

// The graph side of real-time recording, as the recorder sees it: where a
// taken sample goes and what ends a recording. The real-time graph window
// implements it; tests implement it without any window.

#include "data/AcousticStatistics.h"

class RealTimeSampleSink
{
public:
    virtual ~RealTimeSampleSink() = default;

    // Writes one sample: time as a date-time value (days since 30 December
    // 1899, local wall clock), level in dB, and the weighting of the run so
    // far (the meter's at the first sample, Mixed once it changed). Returns
    // true when the graph is full, after which the recorder stops recording.
    [[nodiscard]] virtual bool appendSample(double time, float level,
                                            AcousticWeighting runWeighting) = 0;
    // Recording has stopped (running already cleared): trim, statistics, slider.
    virtual void finishRealTimeGraph() = 0;
};
