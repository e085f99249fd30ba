#pragma once

// The baseline of the chart benchmarks: a plain QCustomPlot with one line
// graph over a date-time axis, the library's defaults otherwise, fed from
// the same arrays as our chart (X in days since 30 December 1899, Y levels
// in dB). What it costs to set data, replot and paint here is the floor our
// chart and graph window are measured against.

#include <QSharedPointer>
#include <QVector>
#include <qcustomplot.h>

#include <algorithm>
#include <span>

class PlainChart
{
public:
    PlainChart()
    {
        plot_.xAxis->setTicker(QSharedPointer<QCPAxisTickerDateTime>::create());
        plot_.yAxis->setRange(30, 130);
        plot_.axisRect()->setBackground(Qt::black);
        graph_ = plot_.addGraph();
        graph_->setPen(QPen(Qt::yellow));
    }

    [[nodiscard]] QCustomPlot& plot() { return plot_; }
    [[nodiscard]] QCPGraph& graph() { return *graph_; }

    // Replaces the series (X sorted, as a data set's times are) and fits
    // the X axis to it.
    void setSeries(std::span<const double> days, std::span<const float> levels)
    {
        const size_t n = std::min(days.size(), levels.size());
        QVector<QCPGraphData> data(static_cast<qsizetype>(n));
        for (size_t i = 0; i < n; ++i)
            data[qsizetype(i)] = QCPGraphData(keyOf(days[i]), levels[i]);
        graph_->data()->set(data, true);
        if (n > 0)
            plot_.xAxis->setRange(keyOf(days.front()), keyOf(days.back()));
    }

    // Adds one point at the end, as real-time recording does.
    void addPoint(double day, float level) { graph_->addData(keyOf(day), level); }

    // Draws the plot now; the widget paints at the next event processing,
    // as our chart's redraw leaves it.
    void replot() { plot_.replot(QCustomPlot::rpQueuedRefresh); }

    // Seconds since 1970, the keys of QCustomPlot's date-time ticker.
    static double keyOf(double day) { return (day - 25569.0) * 86400.0; }

private:
    QCustomPlot plot_;
    QCPGraph* graph_ = nullptr;
};
