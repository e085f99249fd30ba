#include "data/DataSetCollection.h"

#include "data/SampleEncoding.h"

#include <algorithm>

namespace {
// Where a record's samples begin, relative to its first byte.
constexpr qint64 kSamplesStart = 14;
} // namespace

void DataSetCollection::replace(const DataSetHeaderColumns& headers, const QByteArray& memoryImage)
{
    m_headers.clear();
    m_sampleValues.clear();
    m_sampleTimes.clear();
    m_maxIndex.clear();
    m_minIndex.clear();
    m_average.clear();
    for (qsizetype k = 0; k < headers.count(); ++k) {
        DataSetHeader header = headers.at(k);
        header.sampleCount = appendSamplesOf(header, memoryImage);
        m_headers.append(header);
    }
    m_decodedHeaders = m_headers;
    indexHeaders();
}

qint32 DataSetCollection::appendSamplesOf(const DataSetHeader& header,
                                          const QByteArray& memoryImage)
{
    const auto* bytes = reinterpret_cast<const quint8*>(memoryImage.constData());
    const qint64 imageSize = memoryImage.size();

    float maximum = -99999.0f;
    float minimum = 99999.0f;
    qint32 maxIndex = 0;
    qint32 minIndex = 0;
    double sum = 0.0;
    qint32 j = 0;
    // The pair at q is a sample while q < recordEnd - 1; it must also lie
    // wholly inside the image, which a damaged header need not respect.
    for (qint64 q = qint64(header.recordOffset) + kSamplesStart;
         q < qint64(header.recordEnd) - 1 && q >= 0 && q + 1 < imageSize; q += 2) {
        const float value = SampleEncoding::decodeSampleValue(bytes[q], bytes[q + 1]);
        m_sampleValues.append(value);
        m_sampleTimes.append(
            SampleEncoding::sampleTime(header.startTime, header.intervalSeconds, j));
        sum += value;
        if (value > maximum) {
            maximum = value;
            maxIndex = j;
        }
        if (value < minimum) {
            minimum = value;
            minIndex = j;
        }
        ++j;
    }
    m_maxIndex.append(maxIndex);
    m_minIndex.append(minIndex);
    m_average.append(j != 0 ? sum / j : 0.0);
    return j;
}

void DataSetCollection::replaceHeaders(const DataSetHeaderColumns& headers)
{
    m_headers = headers;
    indexHeaders();
}

void DataSetCollection::indexHeaders()
{
    const QList<qint32>& counts = m_headers.sampleCount();
    m_offsets.resize(counts.size() + 1);
    m_offsets[0] = 0;
    for (qsizetype k = 0; k < counts.size(); ++k)
        m_offsets[k + 1] = m_offsets[k] + counts.at(k);

    // A set keeps its samples while it and every set before it are as decoded:
    // its samples sit after theirs in the flat arrays.
    const qsizetype common = std::min(m_headers.count(), m_decodedHeaders.count());
    m_setsWithSamples = 0;
    while (m_setsWithSamples < common &&
           m_headers.at(m_setsWithSamples) == m_decodedHeaders.at(m_setsWithSamples))
        ++m_setsWithSamples;
}

void DataSetCollection::clear()
{
    *this = DataSetCollection();
}

std::optional<DataSet> DataSetCollection::dataSet(qsizetype k) const
{
    if (k < 0 || k >= count())
        return std::nullopt;
    DataSet set;
    set.index = k;
    set.header = m_headers.at(k);
    set.sampleOffset = sampleOffset(k);
    set.hasSamples = hasSamples(k);
    if (set.hasSamples) {
        set.maxIndex = m_maxIndex.at(k);
        set.minIndex = m_minIndex.at(k);
        set.average = m_average.at(k);
    }
    return set;
}

qint64 DataSetCollection::sampleOffset(qsizetype k) const
{
    return m_offsets.at(qBound<qsizetype>(0, k, count()));
}

bool DataSetCollection::hasSamples(qsizetype k) const
{
    return k >= 0 && k < m_setsWithSamples;
}

std::span<const float> DataSetCollection::valuesOf(qsizetype k) const
{
    if (!hasSamples(k))
        return {};
    return std::span<const float>(m_sampleValues.constData() + sampleOffset(k),
                                  static_cast<size_t>(m_headers.sampleCount().at(k)));
}

std::span<const double> DataSetCollection::timesOf(qsizetype k) const
{
    if (!hasSamples(k))
        return {};
    return std::span<const double>(m_sampleTimes.constData() + sampleOffset(k),
                                   static_cast<size_t>(m_headers.sampleCount().at(k)));
}
