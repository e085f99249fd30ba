#include "tools/virtual-meter/LoggerImageBuilder.h"

#include <algorithm>
#include <random>

namespace vmeter {

namespace {
constexpr int setCountAddress = 0x09;
constexpr int endAddressAddress = 0x0B;

quint8 byteAt(const QByteArray& image, qsizetype at)
{
    return at >= 0 && at < image.size() ? quint8(image.at(at)) : 0;
}
} // namespace

LoggerImageBuilder::LoggerImageBuilder() : image_(memorySize, char(0xFF))
{
    // The control page is not flash the logger erases to 0xFF.
    image_.replace(0, firstRecord, QByteArray(firstRecord, '\0'));
    writeControlPage(image_, 0, firstRecord - 1);
}

std::uint8_t LoggerImageBuilder::bcd(int value)
{
    return std::uint8_t(((value / 10 % 10) << 4) | (value % 10));
}

void LoggerImageBuilder::writeControlPage(QByteArray& image, int setCount, int endAddress)
{
    image[setCountAddress] = char(setCount >> 8);
    image[setCountAddress + 1] = char(setCount);
    image[endAddressAddress] = char(endAddress >> 16);
    image[endAddressAddress + 1] = char(endAddress >> 8);
    image[endAddressAddress + 2] = char(endAddress);
}

QByteArray LoggerImageBuilder::encodeRecord(const LoggerRecordContent& record)
{
    const QDate date = record.start.date();
    const QTime time = record.start.time();
    const int n = int(record.samplesTenths.size());
    QByteArray bytes;
    bytes.reserve(recordOverhead + 2 * n);
    bytes.append(char(0xA5)).append(char(0x5A));
    bytes.append(char(record.aWeighting ? 0x08 : 0x00));
    for (int field :
         {date.year() % 100, date.month(), date.day(), time.hour(), time.minute(), time.second()})
        bytes.append(char(bcd(field)));
    bytes.append(char(record.intervalMinutes)).append(char(record.intervalSeconds));
    bytes.append(char(n >> 16)).append(char(n >> 8)).append(char(n));
    for (int tenths : record.samplesTenths)
        bytes.append(char((tenths >> 8) & 0x0F)).append(char(tenths));
    bytes.append(char(0x5A)).append(char(0xA5));
    return bytes;
}

bool LoggerImageBuilder::append(const LoggerRecordContent& record)
{
    const QByteArray bytes = encodeRecord(record);
    if (next_ + bytes.size() > memorySize)
        return false;
    image_.replace(next_, bytes.size(), bytes);
    offsets_.append(next_);
    next_ += int(bytes.size());
    ++setCount_;
    writeControlPage(image_, setCount_, endAddress());
    return true;
}

void LoggerImageBuilder::appendGenerated(int count, std::uint32_t seed)
{
    std::mt19937 random(seed);
    auto between = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    QDateTime start(QDate(2010, 4, 14), QTime(9, 5, 7));
    for (int i = 0; i < count; ++i) {
        LoggerRecordContent record;
        start = start.addSecs(between(60, 3 * 86400));
        record.start = start;
        // Mostly short intervals, now and then a whole minute.
        const int interval = between(0, 9) == 0 ? 60 : between(1, 30);
        record.intervalMinutes = std::uint8_t(interval / 60);
        record.intervalSeconds = bcd(interval % 60);
        // Alternating, with now and then two alike in a row.
        record.aWeighting = (i % 2 == 0) != (between(0, 4) == 0);
        const int samples = between(0, 9) == 0 ? between(1, 5) : between(10, 400);
        int level = between(400, 900);
        for (int s = 0; s < samples; ++s) {
            level = std::clamp(level + between(-25, 25), 300, 1300);
            record.samplesTenths.append(level);
        }
        if (!append(record))
            break;
    }
}

QList<int> LoggerImageBuilder::walkRecords(const QByteArray& image)
{
    QList<int> offsets;
    const int count = byteAt(image, setCountAddress) * 256 + byteAt(image, setCountAddress + 1);
    qsizetype p = firstRecord;
    for (int i = 0; i < count && p < image.size(); ++i) {
        offsets.append(int(p));
        const int n =
            byteAt(image, p + 11) << 16 | byteAt(image, p + 12) << 8 | byteAt(image, p + 13);
        p += recordOverhead + 2 * qsizetype(n);
    }
    return offsets;
}

} // namespace vmeter
