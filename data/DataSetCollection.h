#pragma once

// Every data set of the most recently decoded memory image, stored column-wise:
// six header columns and three statistics columns indexed by set number, and
// two flat sample arrays holding the samples of all sets one after the other.
//
// Invariants after replace(): all nine columns have the same length (the
// number of sets), the sample arrays have the sum of all sample counts as
// their length, and maxIndex/minIndex of a set with samples lie in
// 0..sampleCount-1. replaceHeaders() rewrites the header columns only; sets
// whose samples no longer match are then reported without samples, so a
// reader never reaches outside the sample arrays.

#include "data/DataSet.h"
#include "data/DataSetHeaderColumns.h"

#include <QByteArray>
#include <QList>

#include <optional>
#include <span>

class DataSetCollection
{
public:
    // Replaces the whole collection: the header columns are taken whole, the
    // sample arrays and statistics are rebuilt from `memoryImage` set by set.
    // Only sample pairs that lie inside the image are read; a set whose record
    // runs past the image end keeps the samples that are there and its
    // sampleCount says how many.
    void replace(const DataSetHeaderColumns& headers, const QByteArray& memoryImage);

    // Replaces the six header columns and nothing else (dump of the newest set).
    void replaceHeaders(const DataSetHeaderColumns& headers);

    void clear();

    // Number of sets: the length of the header columns.
    [[nodiscard]] qsizetype count() const { return m_headers.count(); }
    [[nodiscard]] bool isEmpty() const { return m_headers.isEmpty(); }

    [[nodiscard]] const DataSetHeaderColumns& headers() const { return m_headers; }

    // Set k, or nothing when k is not a set number.
    [[nodiscard]] std::optional<DataSet> dataSet(qsizetype k) const;

    // Sum of sampleCount over sets 0..k-1 (k is clamped to 0..count()).
    [[nodiscard]] qint64 sampleOffset(qsizetype k) const;

    // True when set k's samples and statistics are present and belong to its
    // current header.
    [[nodiscard]] bool hasSamples(qsizetype k) const;

    // The samples of set k; empty when !hasSamples(k). Valid until the
    // collection changes.
    [[nodiscard]] std::span<const float> valuesOf(qsizetype k) const;
    [[nodiscard]] std::span<const double> timesOf(qsizetype k) const;

    // The statistics columns, one entry per set after replace().
    [[nodiscard]] const QList<qint32>& maxIndex() const { return m_maxIndex; }
    [[nodiscard]] const QList<qint32>& minIndex() const { return m_minIndex; }
    [[nodiscard]] const QList<double>& average() const { return m_average; }

    // All samples, set after set.
    [[nodiscard]] const QList<float>& sampleValues() const { return m_sampleValues; }
    [[nodiscard]] const QList<double>& sampleTimes() const { return m_sampleTimes; }

private:
    // Decodes one set's samples and statistics; returns how many samples the
    // image held for it.
    qint32 appendSamplesOf(const DataSetHeader& header, const QByteArray& memoryImage);
    void indexHeaders();

    DataSetHeaderColumns m_headers;
    QList<qint32> m_maxIndex;
    QList<qint32> m_minIndex;
    QList<double> m_average;
    QList<float> m_sampleValues;
    QList<double> m_sampleTimes;
    // Header columns the sample arrays were decoded for.
    DataSetHeaderColumns m_decodedHeaders;
    // Sets 0..m_setsWithSamples-1 still match m_decodedHeaders.
    qsizetype m_setsWithSamples = 0;
    // m_offsets[k] = sampleOffset(k), for k = 0..count().
    QList<qint64> m_offsets{0};
};
