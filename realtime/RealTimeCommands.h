#pragma once

// The Real Time menu's commands, Run (btnRunClick) and Stop (btnStopClick),
// with the recorder and the real-time graph's recording side they drive.
//
// Run: only with a meter connected. A real-time graph that holds samples or
// is recording asks first whether to save it (Yes/No/Cancel); Yes saves it,
// and a save that wrote nothing (cancelled, failed) keeps the graph as it
// is. Without a real-time graph one is created. Then "Real-Time Setup" gives
// the point count and the interval; a valid start resets the graph and
// starts the recorder. Stop, a full graph or the graph's close end recording.
//
// Questions, messages and the setup dialog go through the shared state's
// GraphDialogRunner, so tests answer them without blocking. The main window
// shows what the signals report; the recorder's running flag and the shared
// RealTimeRunning always agree.

#include "realtime/RealTimeGraphController.h"
#include "realtime/RealTimeRecorder.h"

#include <QObject>

#include <functional>

class QWidget;
struct GraphWindowState;
class TfrmGraph;

class RealTimeCommands : public QObject
{
    Q_OBJECT

public:
    static inline const QString ResetQuestion =
        QStringLiteral("There are datas in Real_Time graph ,it have to reset the graph.\n"
                       "Do you want to save the Real-Time graph ?");
    static inline const QString NotValidSuffix = QStringLiteral(" is not valid.\n");

    struct Environment
    {
        // Whether a meter answers on the live port (MeterConnected).
        std::function<bool()> meterConnected;
        // Creates and places the real-time graph (which calls attachGraph).
        std::function<void()> createGraph;
        // Parent of the setup dialog and the messages.
        QWidget* dialogParent = nullptr;
        // The question's Yes: saves the real-time graph (the graph save);
        // true when its file was written. Without it nothing is saved and
        // the graph is not reset.
        std::function<bool(TfrmGraph& graph)> saveGraph;
    };

    RealTimeCommands(GraphWindowState& state, MeterClock& clock, Environment environment,
                     QObject* parent = nullptr);

    [[nodiscard]] RealTimeRecorder& recorder() { return recorder_; }
    [[nodiscard]] RealTimeGraphController& graphController() { return graph_; }

    // A real-time graph was just created (after its makeRealTimeGraph): it
    // receives the samples from now on, and the next sample waits a whole
    // interval from its creation.
    void attachGraph(TfrmGraph* graph);

    void btnRunClick();
    void btnStopClick();

signals:
    // Enabling of Run and Stop (toolbar button and menu item alike).
    void runStopChanged(bool runEnabled, bool stopEnabled);
    // The rejected count, for the main window's Edit1.
    void rejectedCountText(const QString& text);

private:
    [[nodiscard]] bool confirmReset(TfrmGraph* graph);
    void recordingChanged(bool running);

    GraphWindowState& state_;
    Environment environment_;
    RealTimeRecorder recorder_;
    RealTimeGraphController graph_;
};
