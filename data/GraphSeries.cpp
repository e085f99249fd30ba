#include "data/GraphSeries.h"

#include <algorithm>

void GraphSeries::setPointCount(qsizetype count)
{
    count = std::max<qsizetype>(0, count);
    m_x.resize(count, 0.0);
    m_y.resize(count, 0.0f);
}

double GraphSeries::x(qsizetype i) const
{
    return contains(i) ? m_x.at(i) : 0.0;
}

float GraphSeries::y(qsizetype i) const
{
    return contains(i) ? m_y.at(i) : 0.0f;
}

void GraphSeries::setX(qsizetype i, double x)
{
    if (contains(i))
        m_x[i] = x;
}

void GraphSeries::setY(qsizetype i, float y)
{
    if (contains(i))
        m_y[i] = y;
}

void GraphSeries::setPoint(qsizetype i, double x, float y)
{
    setX(i, x);
    setY(i, y);
}

void GraphSeries::clearX()
{
    m_x.fill(0.0);
}

void GraphSeries::clearY()
{
    m_y.fill(0.0f);
}

void GraphSeries::setXBlock(std::span<const double> values)
{
    const auto n = std::min<qsizetype>(qsizetype(values.size()), m_x.size());
    std::copy_n(values.begin(), n, m_x.begin());
}

void GraphSeries::setYBlock(std::span<const float> values)
{
    const auto n = std::min<qsizetype>(qsizetype(values.size()), m_y.size());
    std::copy_n(values.begin(), n, m_y.begin());
}
