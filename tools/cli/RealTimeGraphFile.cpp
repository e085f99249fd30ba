#include "tools/cli/RealTimeGraphFile.h"

#include "data/GraphTexts.h"
#include "files/formats/GraphFile.h"
#include "graph/GraphWindowState.h"
#include "graph/PESGraph.h"
#include "graph/TfrmGraph.h"
#include "realtime/RealTimeGraphController.h"

namespace {

// Shows the time of the recording that the replay has reached.
class ReplayClock : public MeterClock
{
public:
    TimePoint now() const override { return {}; }
    QDateTime currentDateTime() const override { return GraphTexts::toDateTime(at); }
    void Delay(int) override {}

    double at = 0.0;
};

} // namespace

namespace RealTimeGraphFile {

QByteArray chartBlock(const RealTimeGraphJob& job, const QString& dataDirectory)
{
    ReplayClock clock;
    GraphWindowState state;
    state.dataDirectory = dataDirectory;
    state.RealTimeInterval = job.intervalSeconds;
    TfrmGraph window(state);
    window.setWindowTitle(TfrmGraph::RealTimeCaption);
    state.RealTimeGraph = &window;
    window.makeRealTimeGraph();
    RealTimeGraphController graph(state, clock);

    clock.at = job.start;
    graph.selectRate(job.intervalSeconds);
    graph.resetForRecording(job.points);
    state.RealTimeRunning = true;
    for (size_t i = 0; i < job.x.size(); ++i) {
        clock.at = job.x[i];
        (void)graph.appendSample(job.x[i], job.y[i], job.weighting[i]);
    }
    state.RealTimeRunning = false;
    clock.at = job.end;
    graph.finishRealTimeGraph();
    const QByteArray block = window.graph()->saveWholeGraph();
    state.RealTimeGraph = nullptr;
    return block;
}

QString write(const RealTimeGraphJob& job, const QString& dataDirectory)
{
    QString error;
    if (!GraphFile::write(job.outFile, chartBlock(job, dataDirectory), &error))
        return error;
    return {};
}

} // namespace RealTimeGraphFile
