#include "graph/PESGraphDateTimeTicker.h"

namespace {
constexpr double kMinute = 60.0;
constexpr double kHour = 3600.0;
constexpr double kDay = 86400.0;
} // namespace

PESGraphDateTimeTicker::PESGraphDateTimeTicker()
{
    setDateTimeSpec(Qt::UTC);
    setTickCount(6);
    setDateTimeFormat(formatForStep(60));
}

QString PESGraphDateTimeTicker::formatForStep(double stepSeconds)
{
    const QString date = QLocale().dateFormat(QLocale::ShortFormat);
    if (stepSeconds < 0.999)
        return QStringLiteral("hh:mm:ss.zzz\n") + date;
    if (stepSeconds < 59.999)
        return QStringLiteral("hh:mm:ss\n") + date;
    if (stepSeconds < 86399.0)
        return QStringLiteral("hh:mm\n") + date;
    return date;
}

double PESGraphDateTimeTicker::getTickStep(const QCPRange& range)
{
    // The library's choice keeps its strategy for days and months; between
    // a second and a day its 2.5 s and 2.5 min give way to exact steps.
    double step = QCPAxisTickerDateTime::getTickStep(range);
    if (step >= 1.0 && step < kDay - 1.0) {
        static const QVector<double> exactSteps = {
            1,       2,           5,           10,           15,           30,
            kMinute, 2 * kMinute, 5 * kMinute, 10 * kMinute, 15 * kMinute, 30 * kMinute,
            kHour,   2 * kHour,   3 * kHour,   6 * kHour,    12 * kHour};
        step = pickClosest(range.size() / (mTickCount + 1e-10), exactSteps);
    }
    mDateTimeFormat = formatForStep(step);
    return step;
}
