#include "graph/PESGraphDateTimeTicker.h"

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
    const double step = QCPAxisTickerDateTime::getTickStep(range);
    mDateTimeFormat = formatForStep(step);
    return step;
}
