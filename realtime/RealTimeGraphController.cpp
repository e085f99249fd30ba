#include "realtime/RealTimeGraphController.h"

#include "data/GraphStatisticTexts.h"
#include "data/GraphTexts.h"
#include "data/SamplingRateList.h"
#include "graph/GraphWindowState.h"
#include "graph/PESGraph.h"
#include "graph/TfrmGraph.h"

namespace {
constexpr double kSecondsPerDay = 86400.0;
// Item 0 of the rate list: 0.1 s, where a redraw per sample would not keep up.
constexpr int kFastestRateItem = 0;
} // namespace

RealTimeGraphController::RealTimeGraphController(GraphWindowState& state, MeterClock& clock,
                                                 QObject* parent)
    : QObject(parent), state_(state), clock_(clock)
{
}

TfrmGraph* RealTimeGraphController::graph() const
{
    return state_.RealTimeGraph;
}

double RealTimeGraphController::now() const
{
    return GraphTexts::fromDateTime(clock_.currentDateTime());
}

QString RealTimeGraphController::rateText() const
{
    const TfrmGraph* g = graph();
    return g ? g->statisticFields().graph.samplingRate : QString();
}

void RealTimeGraphController::selectRate(double seconds)
{
    TfrmGraph* g = graph();
    if (!g)
        return;
    if (const std::optional<int> item = SamplingRateList::rateItemIndex(seconds))
        g->selectSamplingRate(*item);
}

void RealTimeGraphController::setClearEnabled(bool enabled)
{
    if (TfrmGraph* g = graph())
        g->setClearEnabled(enabled);
}

void RealTimeGraphController::resetForRecording(int pointCount)
{
    TfrmGraph* g = graph();
    if (!g)
        return;
    PESGraph* chart = g->graph();
    chart->setPoints(pointCount);
    chart->setXDataII(0, -1, 0.0);
    chart->setYData(0, -1, 0.0f);
    state_.RealTimeSampleCount = 0;
    // Whatever was recorded before has been saved or given up by now.
    state_.RealTimeDataUnsaved = false;
    runningMax_ = -9999.0f;
    runningMin_ = 9999.0f;

    const double start = now();
    GraphStatisticTexts texts = g->statisticFields().graph;
    texts.startTime = GraphTexts::dateTimeText(start);
    texts.avgAll.clear();
    texts.max.clear();
    texts.maxTime.clear();
    texts.min.clear();
    texts.minTime.clear();
    g->showGraphStatisticTexts(texts);
    g->clearCursorTexts();
    g->setAcousticWeighting(std::nullopt);
    g->setAcousticTimeWeighting(TimeWeighting::Unknown);
    g->updateAcousticStatistic();

    chart->setManualMinX(start);
    chart->setManualMaxX(start + StartRangeSeconds / kSecondsPerDay);
    g->setClearEnabled(false);
    g->refreshGraph();
}

bool RealTimeGraphController::redrawsEverySecondSample() const
{
    const TfrmGraph* g = graph();
    return g && g->samplingRateIndex() == kFastestRateItem;
}

bool RealTimeGraphController::appendSample(double time, float level,
                                           AcousticWeighting runWeighting)
{
    TfrmGraph* g = graph();
    if (!g)
        return false;
    state_.RealTimeDataUnsaved = true;

    GraphStatisticTexts texts = g->statisticFields().graph;
    if (level > runningMax_) {
        runningMax_ = level;
        texts.max = GraphTexts::levelText(level);
        texts.maxTime = GraphTexts::dateTimeText(time);
    }
    if (level < runningMin_) {
        runningMin_ = level;
        texts.min = GraphTexts::levelText(level);
        texts.minTime = GraphTexts::dateTimeText(time);
    }

    PESGraph* chart = g->graph();
    const int index = state_.RealTimeSampleCount;
    chart->setXDataII(0, index, time);
    chart->setYData(0, index, level);
    state_.RealTimeSampleCount = index + 1;
    texts.dataNo = QString::number(state_.RealTimeSampleCount);
    g->showGraphStatisticTexts(texts);

    // The sample time is the current time: the range keeps 30 s ahead of it.
    if (chart->manualMaxX() < time)
        chart->setManualMaxX(time + RangeAheadSeconds / kSecondsPerDay);

    if (g->acousticWeighting() != runWeighting)
        g->setAcousticWeighting(runWeighting);
    if (!redrawsEverySecondSample() || state_.RealTimeSampleCount % 2 == 0) {
        // The acoustic figures keep pace with the chart, not with every
        // sample; both follow at the window's next refresh tick, so that a
        // sample costs the same at the 99,999th point as at the first.
        g->refreshGraphSoon();
        emit graphRedrawn(state_.RealTimeSampleCount);
    }
    return state_.RealTimeSampleCount > chart->points() - 1;
}

void RealTimeGraphController::setTimeWeighting(TimeWeighting runTimeWeighting)
{
    TfrmGraph* g = graph();
    if (g && g->acousticTimeWeighting() != runTimeWeighting)
        g->setAcousticTimeWeighting(runTimeWeighting);
}

void RealTimeGraphController::finishRealTimeGraph()
{
    TfrmGraph* g = graph();
    if (!g)
        return;
    if (QWidget* frame = g->parentWidget())
        frame->showNormal();
    g->setClearEnabled(true);

    PESGraph* chart = g->graph();
    const int n = state_.RealTimeSampleCount;
    if (n < chart->points()) {
        // Trimmed to what was recorded; the last point is written again so
        // the chart's end is exactly the last sample.
        const double lastX = chart->xDataII(0, n - 1);
        const float lastY = chart->yData(0, n - 1);
        chart->setPoints(n);
        chart->setXDataII(0, n - 1, lastX);
        chart->setYData(0, n - 1, lastY);
    }
    chart->setManualMaxX(now());

    double sum = 0.0;
    for (int i = 0; i < n; ++i)
        sum += chart->yData(0, i);
    GraphStatisticTexts texts = g->statisticFields().graph;
    texts.avgAll = GraphTexts::levelText(n > 0 ? sum / n : sum);
    g->showGraphStatisticTexts(texts);

    // The cursors follow the trimmed series; the chart is redrawn once.
    g->updateAcousticStatistic();
    g->placeSlider(n);
    g->refreshGraph();
}
