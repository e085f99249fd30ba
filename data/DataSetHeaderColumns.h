#pragma once

// The six header columns of the data set collection, one entry per set.
// The record decoder fills one of these as its working columns and hands it
// to DataSetCollection::replace (full decode) or replaceHeaders (dump).
// The columns always have the same length.

#include "data/DataSetHeader.h"

#include <QList>

class DataSetHeaderColumns
{
public:
    // Appends one set; the interval is normalised to 0..60 s on the way in.
    void append(const DataSetHeader& header);
    void clear();

    [[nodiscard]] qsizetype count() const { return m_startTime.size(); }
    [[nodiscard]] bool isEmpty() const { return m_startTime.isEmpty(); }
    // Precondition: 0 <= k < count().
    [[nodiscard]] DataSetHeader at(qsizetype k) const;

    [[nodiscard]] const QList<double>& startTime() const { return m_startTime; }
    [[nodiscard]] const QList<qint32>& intervalSeconds() const { return m_intervalSeconds; }
    [[nodiscard]] const QList<qint32>& sampleCount() const { return m_sampleCount; }
    [[nodiscard]] const QList<quint8>& statusByte() const { return m_statusByte; }
    [[nodiscard]] const QList<qint32>& recordOffset() const { return m_recordOffset; }
    [[nodiscard]] const QList<qint32>& recordEnd() const { return m_recordEnd; }

    friend bool operator==(const DataSetHeaderColumns&, const DataSetHeaderColumns&) = default;

private:
    QList<double> m_startTime;
    QList<qint32> m_intervalSeconds;
    QList<qint32> m_sampleCount;
    QList<quint8> m_statusByte;
    QList<qint32> m_recordOffset;
    QList<qint32> m_recordEnd;
};
