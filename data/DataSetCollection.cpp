#include "data/DataSetCollection.h"

#include "data/SampleEncoding.h"

namespace {
// Where a record's samples begin, relative to its first byte.
constexpr qint64 kSamplesStart = 14;
} // namespace

void DataSetCollection::replace(const DataSetHeaderColumns& headers, const QByteArray& memoryImage)
{
    m_headers = headers;
    m_sampleValues.clear();
    m_sampleTimes.clear();
    m_maxIndex.clear();
    m_minIndex.clear();
    m_average.clear();
    for (qsizetype k = 0; k < m_headers.count(); ++k)
        appendSamplesOf(k, memoryImage);
    m_decodedHeaders = m_headers;
}

void DataSetCollection::appendSamplesOf(qsizetype k, const QByteArray& memoryImage)
{
    const DataSetHeader header = m_headers.at(k);
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
    if (j != header.sampleCount)
        m_headers.setSampleCount(k, j);
    m_maxIndex.append(maxIndex);
    m_minIndex.append(minIndex);
    m_average.append(j != 0 ? sum / j : 0.0);
}

void DataSetCollection::replaceHeaders(const DataSetHeaderColumns& headers)
{
    m_headers = headers;
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
    const QList<qint32>& counts = m_headers.sampleCount();
    const qsizetype end = qBound<qsizetype>(0, k, counts.size());
    qint64 offset = 0;
    for (qsizetype i = 0; i < end; ++i)
        offset += counts.at(i);
    return offset;
}

bool DataSetCollection::hasSamples(qsizetype k) const
{
    if (k < 0 || k >= count() || k >= m_decodedHeaders.count())
        return false;
    // Sets 0..k must be as decoded: set k's samples sit after theirs.
    for (qsizetype i = 0; i <= k; ++i) {
        if (m_headers.at(i) != m_decodedHeaders.at(i))
            return false;
    }
    return true;
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
