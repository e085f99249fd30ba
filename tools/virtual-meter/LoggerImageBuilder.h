#pragma once

// Builds the logger memory of a virtual model 842: a 65,536-byte image with
// the control page (data set count at 0x09-0x0A, end address of the used
// memory at 0x0B-0x0D, most significant byte first) and the data set records
// back to back from address 256:
//   0 A5 | 1 5A | 2 status (bit 3 = A weighting) | 3-8 BCD yy mm dd hh nn ss |
//   9 interval minutes | 10 interval seconds BCD | 11-13 sample count n |
//   14.. n samples of 2 bytes (tenths of a dB, 12 bits) | 5A | A5
//
// Contract: the same seed and set count give the same image. Unused memory
// holds 0xFF, as erased flash does. Records that would not fit are left out
// (the count in the control page says how many were written).

#include <QByteArray>
#include <QDateTime>
#include <QList>

#include <cstdint>

namespace vmeter {

struct LoggerRecordContent
{
    QDateTime start;
    std::uint8_t intervalMinutes = 0; // byte 9 as stored
    std::uint8_t intervalSeconds = 2; // byte 10 as stored (BCD)
    bool aWeighting = true;
    QList<int> samplesTenths; // each stored as 2 bytes
};

class LoggerImageBuilder
{
public:
    static constexpr int memorySize = 65536;
    static constexpr int firstRecord = 256;
    static constexpr int recordOverhead = 16;

    // An empty logger: no data sets, end address 0x0000FF.
    LoggerImageBuilder();

    // Appends one record; false when it does not fit into the memory.
    bool append(const LoggerRecordContent& record);
    // `count` plausible sets of varied lengths, intervals and weightings.
    void appendGenerated(int count, std::uint32_t seed);

    [[nodiscard]] const QByteArray& image() const { return image_; }
    [[nodiscard]] int setCount() const { return setCount_; }
    // Address of the last used byte.
    [[nodiscard]] int endAddress() const { return next_ - 1; }
    [[nodiscard]] QList<int> recordOffsets() const { return offsets_; }

    // Record bytes without the control page, for tests that lay out memory.
    [[nodiscard]] static QByteArray encodeRecord(const LoggerRecordContent& record);
    [[nodiscard]] static std::uint8_t bcd(int value);
    // Writes the set count and end address into a control page.
    static void writeControlPage(QByteArray& image, int setCount, int endAddress);
    // First byte of each record, found by walking the header counts.
    [[nodiscard]] static QList<int> walkRecords(const QByteArray& image);

private:
    QByteArray image_;
    int setCount_ = 0;
    int next_ = firstRecord;
    QList<int> offsets_;
};

} // namespace vmeter
