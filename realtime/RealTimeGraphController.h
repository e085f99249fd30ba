#pragma once

// The real-time graph's side of recording, on top of a TfrmGraph: the reset
// at the start, one point per sample with the running extremes, the growing
// X range and the redraws (coalesced by the window), and the finish when
// recording stops, with the acoustic figures of what was recorded so far
// (updated with each redraw) under the run's weighting. The window itself
// (creation, Clear, its rate list, its close question) is TfrmGraph's.
//
// The graph is whatever GraphWindowState::RealTimeGraph refers to; without
// one every operation does nothing. Points live in the chart (series 0);
// RealTimeSampleCount in the shared state counts them.

#include "meter/MeterClock.h"
#include "realtime/RealTimeSampleSink.h"

#include <QObject>

struct GraphWindowState;
class TfrmGraph;

class RealTimeGraphController : public QObject, public RealTimeSampleSink
{
    Q_OBJECT

public:
    // Seconds the X range reaches past the latest sample, and at a start.
    static constexpr double RangeAheadSeconds = 30.0;
    static constexpr double StartRangeSeconds = 100.0;

    RealTimeGraphController(GraphWindowState& state, MeterClock& clock, QObject* parent = nullptr);

    [[nodiscard]] TfrmGraph* graph() const;
    // The text of the graph's rate list; empty without a graph.
    [[nodiscard]] QString rateText() const;
    // Selects the rate list's item for this interval (none from 30.5 s up:
    // the selection stays), without the list's change handler.
    void selectRate(double seconds);
    // A new recording of pointCount points: the series cleared, the count
    // and the running extremes reset, the statistic and cursor fields
    // emptied, the start time now, X from now to now + 100 s, Clear disabled.
    void resetForRecording(int pointCount);
    // The graph's Clear button (identification and recording switch it).
    void setClearEnabled(bool enabled);

    bool appendSample(double time, float level, AcousticWeighting runWeighting) override;
    // Names the graph's levels after it ("LAFmax", ...).
    void setTimeWeighting(TimeWeighting runTimeWeighting) override;
    void finishRealTimeGraph() override;

signals:
    // A redraw was due after the sample that made the count this; the chart
    // and the acoustic figures follow at the window's next refresh tick.
    void graphRedrawn(int sampleCount);

private:
    [[nodiscard]] double now() const;
    [[nodiscard]] bool redrawsEverySecondSample() const;

    GraphWindowState& state_;
    MeterClock& clock_;
    // 32-bit like the levels they hold.
    float runningMax_ = -9999.0f;
    float runningMin_ = 9999.0f;
};
