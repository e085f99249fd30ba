#pragma once

// A real-time graph without a window: keeps the samples it is given and
// reports itself full at its capacity, as the graph window does.

#include "realtime/RealTimeSampleSink.h"

#include <QList>

struct RecordedSample
{
    double time = 0;
    float level = 0;
    AcousticWeighting weighting = AcousticWeighting::A;
};

class RecordingSink : public RealTimeSampleSink
{
public:
    explicit RecordingSink(int capacity = 100000) : capacity_(capacity) {}

    bool appendSample(double time, float level, AcousticWeighting weighting) override
    {
        samples.append({time, level, weighting});
        return samples.size() > capacity_ - 1;
    }
    void finishRealTimeGraph() override { ++finishCount; }

    [[nodiscard]] QList<float> levels() const
    {
        QList<float> result;
        for (const RecordedSample& s : samples)
            result << s.level;
        return result;
    }

    QList<RecordedSample> samples;
    int finishCount = 0;

private:
    int capacity_;
};
