#include "graph/PESGraphDateTimeTicker.h"

#include <QFontMetrics>

#include <algorithm>
#include <cmath>

namespace {
constexpr double kMinute = 60.0;
constexpr double kHour = 3600.0;
constexpr double kDay = 86400.0;

// The date a tick falls on (keys are wall-clock seconds shown as UTC).
QDate tickDate(double key)
{
    return QDateTime::fromMSecsSinceEpoch(qint64(std::floor(key * 1000.0)), Qt::UTC).date();
}
} // namespace

PESGraphDateTimeTicker::PESGraphDateTimeTicker(QCPAxis* axis) : axis_(axis)
{
    setDateTimeSpec(Qt::UTC);
    setTickCount(6);
    setDateTimeFormat(formatForStep(60));
}

QString PESGraphDateTimeTicker::formatForStep(double stepSeconds, bool fourDigitYears)
{
    QString date = QLocale().dateFormat(QLocale::ShortFormat);
    if (fourDigitYears && !date.contains(QStringLiteral("yyyy")))
        date.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
    if (stepSeconds < 0.999)
        return QStringLiteral("hh:mm:ss.zzz\n") + date;
    if (stepSeconds < 59.999)
        return QStringLiteral("hh:mm:ss\n") + date;
    if (stepSeconds < 86399.0)
        return QStringLiteral("hh:mm\n") + date;
    return date;
}

int PESGraphDateTimeTicker::labelWidth(const QString& format, const QFont& font)
{
    // Every month and a wide day and time, so that month names and digits
    // of any width are covered.
    const QFontMetrics metrics(font);
    const QLocale locale;
    int widest = 0;
    for (int month = 1; month <= 12; ++month) {
        const QDateTime sample(QDate(2028, month, 28), QTime(23, 58, 58, 888), Qt::UTC);
        for (const QString& line : locale.toString(sample, format).split(QLatin1Char('\n')))
            widest = std::max(widest, metrics.horizontalAdvance(line));
    }
    return widest;
}

int PESGraphDateTimeTicker::labelGap(const QFont& font)
{
    return std::max(8, QFontMetrics(font).horizontalAdvance(QStringLiteral("  ")));
}

double PESGraphDateTimeTicker::stepForCount(const QCPRange& range, int count)
{
    // The library's choice keeps its strategy for days and months; between
    // a second and a day its 2.5 s and 2.5 min give way to exact steps.
    const int wanted = mTickCount;
    mTickCount = count;
    double step = QCPAxisTickerDateTime::getTickStep(range);
    if (step >= 1.0 && step < kDay - 1.0) {
        static const QVector<double> exactSteps = {
            1,       2,           5,           10,           15,           30,
            kMinute, 2 * kMinute, 5 * kMinute, 10 * kMinute, 15 * kMinute, 30 * kMinute,
            kHour,   2 * kHour,   3 * kHour,   6 * kHour,    12 * kHour};
        step = pickClosest(range.size() / (mTickCount + 1e-10), exactSteps);
    }
    mTickCount = wanted;
    return step;
}

double PESGraphDateTimeTicker::axisPixels(double* left) const
{
    if (!axis_ || !axis_->axisRect() || !axis_->parentPlot())
        return 0.0;
    // Ticks are made before the layout, for the plot's width now: the
    // axis rectangle spans it less the plot's margins and the rectangle's
    // own, which do not change with the width.
    QCustomPlot* plot = axis_->parentPlot();
    const QMargins outer = plot->plotLayout()->margins();
    QMargins inner = axis_->axisRect()->margins();
    if (inner.left() + inner.right() == 0) {
        // Not laid out yet (a chart drawn straight onto paper): room for
        // the value axis's labels and title at the left.
        const QFontMetrics metrics(axis_->tickLabelFont());
        inner.setLeft(2 * metrics.height() + metrics.horizontalAdvance(QStringLiteral("0000")) +
                      20);
    }
    if (left)
        *left = plot->viewport().left() + outer.left() + inner.left();
    const double pixels =
        plot->viewport().width() - outer.left() - outer.right() - inner.left() - inner.right();
    return std::max(1.0, pixels);
}

bool PESGraphDateTimeTicker::cutByTheBorder(double tick, const QString& label) const
{
    // The chart leaves out a label that would stick out of it.
    double left = 0.0;
    const double pixels = axisPixels(&left);
    const QCPRange range = axis_ ? axis_->range() : QCPRange();
    if (pixels <= 0.0 || range.size() <= 0.0)
        return false;
    const QFontMetrics metrics(axis_->tickLabelFont());
    int width = 0;
    for (const QString& line : label.split(QLatin1Char('\n')))
        width = std::max(width, metrics.horizontalAdvance(line));
    const double x = left + (tick - range.lower) / range.size() * pixels;
    const QRect viewport = axis_->parentPlot()->viewport();
    return x - width / 2.0 - 2.0 < viewport.left() || x + width / 2.0 + 2.0 > viewport.right();
}

bool PESGraphDateTimeTicker::labelsFit(double step, const QCPRange& range, double pixels) const
{
    const QFont font = axis_->tickLabelFont();
    const QString format = formatForStep(step, fourDigitYears_);
    const QString key = format + QLatin1Char('\t') + font.key();
    auto room = measured_.constFind(key);
    if (room == measured_.constEnd())
        room = measured_.insert(key, labelWidth(format, font) + labelGap(font));
    return step / range.size() * pixels >= *room;
}

double PESGraphDateTimeTicker::getTickStep(const QCPRange& range)
{
    double step = stepForCount(range, mTickCount);
    const double pixels = axisPixels();
    if (pixels > 0.0 && range.size() > 0.0) {
        for (int count = mTickCount - 1; count >= 1 && !labelsFit(step, range, pixels); --count)
            step = stepForCount(range, count);
        // Narrower than two labels: every other tick, then every fourth...
        // until one label's room is kept (a step's multiples stay exact).
        while (step < range.size() && !labelsFit(step, range, pixels))
            step *= 2.0;
    }
    mDateTimeFormat = formatForStep(step, fourDigitYears_);
    return step;
}

QVector<QString> PESGraphDateTimeTicker::createLabelVector(const QVector<double>& ticks,
                                                           const QLocale& locale, QChar formatChar,
                                                           int precision)
{
    QVector<QString> labels =
        QCPAxisTickerDateTime::createLabelVector(ticks, locale, formatChar, precision);
    // The date line only where the day is not the one the labels before
    // already gave (the first label the chart shows gives it).
    QDate shown;
    for (qsizetype i = 0; i < labels.size() && i < ticks.size(); ++i) {
        const qsizetype lineBreak = labels.at(i).indexOf(QLatin1Char('\n'));
        if (lineBreak < 0)
            continue;
        const QDate day = tickDate(ticks.at(i));
        if (day == shown || (!shown.isValid() && cutByTheBorder(ticks.at(i), labels.at(i))))
            labels[i].truncate(lineBreak);
        else
            shown = day;
    }
    return labels;
}
