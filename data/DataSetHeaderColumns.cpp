#include "data/DataSetHeaderColumns.h"

#include "data/SampleEncoding.h"

void DataSetHeaderColumns::append(const DataSetHeader& header)
{
    m_startTime.append(header.startTime);
    m_intervalSeconds.append(SampleEncoding::normalizeIntervalSeconds(header.intervalSeconds));
    m_sampleCount.append(header.sampleCount);
    m_statusByte.append(header.statusByte);
    m_recordOffset.append(header.recordOffset);
    m_recordEnd.append(header.recordEnd);
}

void DataSetHeaderColumns::clear()
{
    *this = DataSetHeaderColumns();
}

DataSetHeader DataSetHeaderColumns::at(qsizetype k) const
{
    Q_ASSERT(k >= 0 && k < count());
    return DataSetHeader{m_startTime.at(k),  m_intervalSeconds.at(k), m_sampleCount.at(k),
                         m_statusByte.at(k), m_recordOffset.at(k),    m_recordEnd.at(k)};
}
