#include "data/GraphStatisticTexts.h"

#include "data/GraphTexts.h"

GraphStatisticTexts GraphStatisticTexts::initial()
{
    GraphStatisticTexts t;
    t.samplingRate = QStringLiteral("0.1");
    t.dataNo = QStringLiteral("0");
    t.avgAll = QStringLiteral("***.* dB ");
    return t;
}

GraphStatisticTexts GraphStatisticTexts::of(const SeriesStatistics& s, const QLocale& locale)
{
    GraphStatisticTexts t;
    t.dataNo = QString::number(s.pointCount);
    if (s.isEmpty())
        return t;
    t.startTime = GraphTexts::dateTimeText(s.startTime, locale);
    t.samplingRate = GraphTexts::levelText(s.rateSeconds, locale);
    t.avgAll = GraphTexts::levelText(s.average, locale);
    t.max = GraphTexts::levelText(s.maximum, locale);
    t.maxTime = GraphTexts::dateTimeText(s.maximumTime, locale);
    t.min = GraphTexts::levelText(s.minimum, locale);
    t.minTime = GraphTexts::dateTimeText(s.minimumTime, locale);
    return t;
}

CursorStatisticTexts CursorStatisticTexts::of(const SeriesStatistics& s, const QLocale& locale)
{
    CursorStatisticTexts t;
    if (s.isEmpty())
        return t;
    t.maxAB = GraphTexts::levelText(s.maximum, locale);
    t.maxABTime = GraphTexts::dateTimeText(s.maximumTime, locale);
    t.minAB = GraphTexts::levelText(s.minimum, locale);
    t.minABTime = GraphTexts::dateTimeText(s.minimumTime, locale);
    t.avgAB = GraphTexts::levelText(s.average, locale);
    return t;
}
