#pragma once

// The "DataLogger" graph window as the logger download uses it: opened (or
// restored when it exists) and held in LoggerGraph of the graph windows'
// shared state, its data set list filled with the rows of a download, and a
// data set put on its chart.
//
// Contract: main thread only. openWindow creates or restores the window in
// the MDI area with the main window's usual wiring (the main window's
// openLoggerGraph); the window is owned by its MDI frame and clears
// LoggerGraph when it closes.

#include "logger/DataSetListRow.h"

#include <QList>

#include <functional>

class TfrmGraph;
struct GraphWindowState;

class LoggerGraphWindow
{
public:
    using OpenWindow = std::function<TfrmGraph*()>;

    // The chart of a new window: 500 points from now on, for 500 s.
    static constexpr int InitialPoints = 500;
    static constexpr int InitialSeconds = 500;
    // The window leaves this much of the client area's height free below it.
    static constexpr int HeightMargin = 60;

    LoggerGraphWindow(GraphWindowState& graphs, OpenWindow openWindow);

    // Restores the window, or creates it: caption "DataLogger", data set
    // list shown, at the top left, as wide as the client area and 60 less
    // high, its chart prepared and painted. True when it was created.
    bool prepare();
    // The list of the window: one row per data set, the first selected.
    void showRows(const QList<DataSetListRow>& rows);
    // Data set `index` on the window's chart.
    void showDataSet(int index);

private:
    GraphWindowState& graphs_;
    OpenWindow openWindow_;
};
