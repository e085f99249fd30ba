#include "data/ExportStatistic.h"

#include <QStringList>

QString exportStatisticText(const StatisticFields& f)
{
    const QString at = QStringLiteral("@");
    const QStringList lines{
        QStringLiteral("Start Time:") + f.graph.startTime,
        QStringLiteral("Sampling Rate:") + f.graph.samplingRate,
        QStringLiteral("DataNo:") + f.graph.dataNo,
        QStringLiteral("Avg.:") + f.graph.avgAll,
        QStringLiteral("Maximum:") + f.graph.max + at + f.graph.maxTime,
        QStringLiteral("Minimum:") + f.graph.min + at + f.graph.minTime,
        QStringLiteral("Cursor A:") + f.cursorA + at + f.cursorATime,
        QStringLiteral("Cursor B:") + f.cursorB + at + f.cursorBTime,
        QStringLiteral("Max.Between A and B:") + f.between.maxAB + at + f.between.maxABTime,
        QStringLiteral("Min.Between A and B:") + f.between.minAB + at + f.between.minABTime,
        QStringLiteral("Avg. Between A and B:") + f.between.avgAB,
    };
    QString text;
    for (const QString& line : lines)
        text += line + QLatin1Char('\n');
    return text;
}
