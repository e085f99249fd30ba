#pragma once

// The graph side of real-time recording, as the recorder sees it: where a
// taken sample goes and what ends a recording. The real-time graph window
// implements it; tests implement it without any window.

#include "acoustics/FigureNames.h"
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
    // The time weighting of the run so far (fast or slow as the frames the
    // samples were taken from report it, Mixed once it changed), told
    // before each appendSample. A sink that does not name levels ignores it.
    virtual void setTimeWeighting(TimeWeighting runTimeWeighting) { (void)runTimeWeighting; }
    // Recording has stopped (running already cleared): trim, statistics, slider.
    virtual void finishRealTimeGraph() = 0;
};
