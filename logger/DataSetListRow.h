#pragma once

// One row of the data set list of the "DataLogger" graph window, as text:
// columns 0 to 5 of the list (the heading row belongs to the window).

#include <QLocale>
#include <QString>

class DataSetCollection;

struct DataSetListRow
{
    QString number;    // k + 1
    QString date;      // start date, short date format of the locale
    QString time;      // start time "hh:nn:ss"
    QString interval;  // "mm:ss", minutes and seconds each at least two digits
    QString count;     // sample count
    QString weighting; // "A" or "C"

    friend bool operator==(const DataSetListRow&, const DataSetListRow&) = default;
};

// The rows of every set of the collection, in set order.
[[nodiscard]] QList<DataSetListRow> dataSetListRows(const DataSetCollection& collection,
                                                    const QLocale& locale = QLocale());
// The interval column: minutes and seconds, a single digit prefixed with "0".
[[nodiscard]] QString intervalText(qint32 seconds);
