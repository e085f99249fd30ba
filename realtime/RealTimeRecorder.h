#pragma once

// Real-time recording: decides for each live reading whether a sample is
// taken and which level it carries, and hands the sample to the real-time
// graph (RealTimeSampleSink).
//
// Rules:
// - A sample is taken when at least the interval has passed since the last
//   sample time, measured on the MeterClock's steady clock when the reading
//   arrives; the reading's slot is used up even when its level is refused.
// - A level outside 20.0 .. 140.0 dB is counted as rejected and replaced by
//   the last good level when that is above 30 dB; otherwise nothing is taken.
// - start() does not move the last sample time: the graph's creation does
//   (restartSampleClock), so the first frame after a start normally samples.
// - A full graph (appendSample returns true) stops recording by itself,
//   exactly as the Stop command does.
// - The run's weighting follows the meter's dBA/dBC of the readings each
//   sample is taken from: the first one's, Mixed from the first change on;
//   a start begins it anew. Its time weighting follows the frames' fast/slow
//   flag the same way (TimeWeightingTracker), so that the graph names its
//   levels "LAFmax" or "LASmax" when it is known.
//
// Everything runs on the main thread, inside the live receive handler.

#include "acoustics/FigureNames.h"
#include "data/AcousticStatistics.h"
#include "meter/LiveReadingConsumers.h"
#include "meter/MeterClock.h"

#include <QObject>

#include <optional>

class RealTimeSampleSink;

class RealTimeRecorder : public QObject, public LiveReadingRecorder
{
    Q_OBJECT

public:
    static constexpr float LowestLevel = 20.0f;
    static constexpr float HighestLevel = 140.0f;
    // A replacement level must be above this to stand in for a refused one.
    static constexpr float LowestReplacement = 30.0f;

    explicit RealTimeRecorder(MeterClock& clock = MeterClock::system(), QObject* parent = nullptr);

    // The real-time graph, or null while it does not exist. Not owned.
    void setSink(RealTimeSampleSink* sink) { sink_ = sink; }
    [[nodiscard]] RealTimeSampleSink* sink() const { return sink_; }

    // Starts recording at this interval (seconds): the last good level and
    // the rejected count go back to 0.
    void start(float intervalSeconds);
    // Stops recording and lets the graph finish (the Stop command, or a
    // full graph). Does nothing when not running.
    void stop();
    // The real-time graph went away: recording ends without a graph to finish.
    void abandon();
    // The next sample waits a whole interval from now (graph creation).
    void restartSampleClock();

    [[nodiscard]] bool isRunning() const override { return running_; }
    void sampleReading(const MeterReading& reading) override;

    [[nodiscard]] float interval() const { return interval_; }
    [[nodiscard]] int rejectedCount() const { return rejectedCount_; }
    [[nodiscard]] float lastGoodLevel() const { return lastGoodLevel_; }
    // The weighting of the samples taken since the start.
    [[nodiscard]] const WeightingTracker& weighting() const { return weighting_; }
    // The time weighting of the samples taken since the start.
    [[nodiscard]] const TimeWeightingTracker& timeWeighting() const { return timeWeighting_; }

signals:
    // Recording started (true) or ended (false), by any cause.
    void runningChanged(bool running);
    // A recording begins, also one that replaces a running one (Run while
    // recording, after its question): the samples from now on are a new series.
    void recordingStarted();
    // The count of refused levels changed (shown in the main window's Edit1).
    void rejectedCountChanged(int count);
    // A sample went to the graph (before a full graph stops recording), with
    // the run's weighting so far.
    void sampleTaken(double time, float level, AcousticWeighting runWeighting);

private:
    void setRunning(bool running);

    MeterClock& clock_;
    RealTimeSampleSink* sink_ = nullptr;
    bool running_ = false;
    float interval_ = 0.2f;
    float lastGoodLevel_ = 0.0f;
    int rejectedCount_ = 0;
    std::optional<MeterClock::TimePoint> lastSampleTime_;
    WeightingTracker weighting_;
    TimeWeightingTracker timeWeighting_;
};
