#include "logger/DataSetListRow.h"

#include "data/DataSetCollection.h"
#include "data/SampleEncoding.h"
#include "logger/DateTimeValue.h"

namespace {
QString twoDigits(qint32 value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}
} // namespace

QString intervalText(qint32 seconds)
{
    return twoDigits(seconds / 60) + QLatin1Char(':') + twoDigits(seconds % 60);
}

QList<DataSetListRow> dataSetListRows(const DataSetCollection& collection, const QLocale& locale)
{
    const DataSetHeaderColumns& headers = collection.headers();
    QList<DataSetListRow> rows;
    rows.reserve(headers.count());
    for (qsizetype k = 0; k < headers.count(); ++k) {
        const double start = headers.startTime().at(k);
        DataSetListRow row;
        row.number = QString::number(k + 1);
        row.date = locale.toString(DateTimeValue::datePart(start), QLocale::ShortFormat);
        row.time = DateTimeValue::timePart(start).toString(QStringLiteral("HH:mm:ss"));
        row.interval = intervalText(headers.intervalSeconds().at(k));
        row.count = QString::number(headers.sampleCount().at(k));
        row.weighting = SampleEncoding::isAWeighting(headers.statusByte().at(k))
                            ? QStringLiteral("A")
                            : QStringLiteral("C");
        rows.append(row);
    }
    return rows;
}
