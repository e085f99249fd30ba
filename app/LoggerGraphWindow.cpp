#include "app/LoggerGraphWindow.h"

#include "graph/GraphWindowState.h"
#include "graph/PESGraph.h"
#include "graph/TfrmGraph.h"
#include "logger/DateTimeValue.h"

#include <QDateTime>
#include <QMdiArea>
#include <QMdiSubWindow>

#include <algorithm>

LoggerGraphWindow::LoggerGraphWindow(GraphWindowState& graphs, OpenWindow openWindow)
    : graphs_(graphs), openWindow_(std::move(openWindow))
{
}

bool LoggerGraphWindow::prepare()
{
    const bool existed = graphs_.LoggerGraph != nullptr;
    TfrmGraph* graph = openWindow_();
    if (existed || !graph)
        return false;

    // The frame sits in the MDI area's viewport: the main window's client area.
    if (QWidget* frame = graph->parentWidget()) {
        const QWidget* client = frame->parentWidget();
        const QSize size = client ? client->size() : frame->size();
        frame->setGeometry(0, 0, size.width(), std::max(size.height() - HeightMargin, 100));
        frame->showNormal();
    }
    const double now = DateTimeValue::fromDateTime(QDateTime::currentDateTime());
    graph->prepareGraph(1, TfrmGraph::GraphYMax, TfrmGraph::GraphYMin,
                        now + InitialSeconds / 86400.0, now, InitialPoints);
    graph->graph()->setAllowGraphAnnotHotSpots(true);
    // The command blocks the main thread from here on; paint the window now.
    if (QWidget* frame = graph->parentWidget())
        frame->repaint();
    return true;
}

void LoggerGraphWindow::showRows(const QList<DataSetListRow>& rows)
{
    TfrmGraph* graph = graphs_.LoggerGraph;
    if (!graph)
        return;
    QList<QStringList> texts;
    texts.reserve(rows.size());
    for (const DataSetListRow& row : rows)
        texts.append({row.number, row.date, row.time, row.interval, row.count, row.weighting});
    graph->setDataSetRows(texts);
}

void LoggerGraphWindow::showDataSet(int index)
{
    TfrmGraph* graph = graphs_.LoggerGraph;
    if (!graph)
        return;
    (void)graph->showDataSet(index);
    // The information window closed during the load hands the activation
    // back to whichever window had it before, often the control panel at
    // the same corner; the freshly loaded data belongs in front.
    if (auto* frame = qobject_cast<QMdiSubWindow*>(graph->parentWidget())) {
        if (QMdiArea* area = frame->mdiArea())
            area->setActiveSubWindow(frame);
    }
}
