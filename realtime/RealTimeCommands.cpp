#include "realtime/RealTimeCommands.h"

#include "graph/GraphWindowState.h"
#include "graph/TfrmGraph.h"
#include "realtime/RecordingPeriod.h"
#include "realtime/SamplingInterval.h"
#include "realtime/TfrmSetupRealTime.h"

#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>

RealTimeCommands::RealTimeCommands(GraphWindowState& state, MeterClock& clock,
                                   Environment environment, QObject* parent)
    : QObject(parent), state_(state), environment_(std::move(environment)), recorder_(clock),
      graph_(state, clock)
{
    connect(&recorder_, &RealTimeRecorder::runningChanged, this,
            &RealTimeCommands::recordingChanged);
    connect(&recorder_, &RealTimeRecorder::rejectedCountChanged, this,
            [this](int count) { emit rejectedCountText(QString::number(count)); });
}

void RealTimeCommands::attachGraph(TfrmGraph* graph)
{
    if (!graph)
        return;
    recorder_.setSink(&graph_);
    recorder_.restartSampleClock();
    // The window's close has already cleared RealTimeRunning and the count.
    connect(graph, &TfrmGraph::realTimeGraphClosed, this, [this] { recorder_.abandon(); });
}

void RealTimeCommands::recordingChanged(bool running)
{
    state_.RealTimeRunning = running;
    const bool connected = environment_.meterConnected && environment_.meterConnected();
    emit runStopChanged(!running && connected, running);
}

bool RealTimeCommands::confirmReset(TfrmGraph* graph)
{
    if (QWidget* frame = graph->parentWidget())
        frame->showNormal();
    if (!state_.RealTimeRunning && state_.RealTimeSampleCount <= 0)
        return true;
    const QMessageBox::StandardButton answer = state_.dialogs.ask(
        graph,
        ResetQuestion +
            (state_.RealTimeDataInArchive ? GraphWindowState::InArchiveNote : QString()),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    graph->setFocus();
    if (answer == QMessageBox::Yes) {
        if (auto* frame = qobject_cast<QMdiSubWindow*>(graph->parentWidget()))
            if (QMdiArea* area = frame->mdiArea())
                area->setActiveSubWindow(frame);
        // The samples are reset only once they are in a file.
        return environment_.saveGraph && environment_.saveGraph(*graph);
    }
    return answer == QMessageBox::No;
}

void RealTimeCommands::btnRunClick()
{
    if (!environment_.meterConnected || !environment_.meterConnected())
        return;
    if (TfrmGraph* graph = graph_.graph()) {
        if (!confirmReset(graph))
            return;
    } else if (environment_.createGraph) {
        environment_.createGraph();
    }
    if (!graph_.graph())
        return;

    QString rateText;
    QString countText;
    {
        TfrmSetupRealTime dialog(environment_.dialogParent);
        dialog.setRateText(graph_.rateText());
        dialog.setInitialPeriod(double(state_.RealTimeInterval));
        if (state_.dialogs.exec(dialog) != QDialog::Accepted)
            return;
        rateText = dialog.rateText();
        countText = dialog.pointCountText();
    }

    bool rateOk = false;
    const double rate = QLocale().toDouble(rateText.trimmed(), &rateOk);
    if (!rateOk) {
        state_.dialogs.inform(
            environment_.dialogParent,
            QStringLiteral("'%1' is not a valid floating point value").arg(rateText));
        return;
    }
    // A zero, negative, endless or huge interval would turn the time axis
    // around or out of the calendar, and be saved as the next start's.
    if (!SamplingInterval::usable(rate)) {
        state_.dialogs.inform(environment_.dialogParent,
                              QStringLiteral("'%1' is not a valid sampling interval").arg(rateText));
        return;
    }
    const std::optional<int> pointCount = RecordingPeriod::pointCount(countText);
    if (!pointCount) {
        state_.dialogs.inform(environment_.dialogParent, countText + NotValidSuffix);
        return;
    }

    state_.RealTimeInterval = float(rate);
    graph_.selectRate(rate);
    graph_.resetForRecording(*pointCount);
    recorder_.start(state_.RealTimeInterval);
}

void RealTimeCommands::btnStopClick()
{
    recorder_.stop();
}
