#pragma once

// The points a graph window plots (subset 0 of its chart): X is a date-time
// (days since 30 December 1899), Y a level in dB. An X of exactly 0 marks a
// point that holds no sample. A pure container: the chart widget keeps one and
// draws it; exports, statistics and the table read it without any widget.

#include <QList>

#include <span>

class GraphSeries
{
public:
    [[nodiscard]] qsizetype pointCount() const { return m_x.size(); }
    [[nodiscard]] bool isEmpty() const { return m_x.isEmpty(); }

    // Grows with empty points (X 0, Y 0) or drops points from the end.
    void setPointCount(qsizetype count);

    // Reads outside 0..pointCount()-1 give 0 (no sample).
    [[nodiscard]] double x(qsizetype i) const;
    [[nodiscard]] float y(qsizetype i) const;

    // Writes outside 0..pointCount()-1 are ignored.
    void setX(qsizetype i, double x);
    void setY(qsizetype i, float y);
    void setPoint(qsizetype i, double x, float y);

    // Sets every X, or every Y, to 0.
    void clearX();
    void clearY();

    // Copies values into X (or Y) from point 0 on, as many as there are
    // points; the series keeps its point count.
    void setXBlock(std::span<const double> values);
    void setYBlock(std::span<const float> values);

    [[nodiscard]] bool holdsSample(qsizetype i) const { return x(i) != 0.0; }

    [[nodiscard]] std::span<const double> xValues() const
    {
        return {m_x.constData(), size_t(m_x.size())};
    }
    [[nodiscard]] std::span<const float> yValues() const
    {
        return {m_y.constData(), size_t(m_y.size())};
    }

private:
    [[nodiscard]] bool contains(qsizetype i) const { return i >= 0 && i < m_x.size(); }

    QList<double> m_x;
    QList<float> m_y;
};
