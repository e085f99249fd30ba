#include "logger/RecordDecoder.h"

#include "logger/DateTimeValue.h"

#include <algorithm>
#include <optional>

namespace {
constexpr quint8 startMarker0 = 0xA5;
constexpr quint8 startMarker1 = 0x5A;
constexpr quint8 endMarker0 = 0x5A;
constexpr quint8 endMarker1 = 0xA5;
constexpr qint64 firstRecord = 256;
constexpr qint64 pageSize = 256;
constexpr qint64 countOffset = 11;
constexpr qint64 samplesOffset = 14;

class ImageReader
{
public:
    explicit ImageReader(const QByteArray& image)
        : bytes_(reinterpret_cast<const quint8*>(image.constData())), size_(image.size())
    {
    }

    [[nodiscard]] bool contains(qint64 at) const { return at >= 0 && at < size_; }
    [[nodiscard]] bool is(qint64 at, quint8 value) const
    {
        return contains(at) && bytes_[at] == value;
    }
    [[nodiscard]] quint8 byteOrZero(qint64 at) const { return contains(at) ? bytes_[at] : 0; }
    [[nodiscard]] qint64 count3(qint64 at) const
    {
        return qint64(byteOrZero(at)) << 16 | qint64(byteOrZero(at + 1)) << 8 | byteOrZero(at + 2);
    }

private:
    const quint8* bytes_;
    qint64 size_;
};

std::optional<int> bcdValue(quint8 byte)
{
    const int tens = byte >> 4;
    const int units = byte & 0x0F;
    if (tens > 9 || units > 9)
        return std::nullopt;
    return tens * 10 + units;
}

double recordStartTime(const ImageReader& image, qint64 p, const QDateTime& now)
{
    std::optional<int> fields[6];
    for (int i = 0; i < 6; ++i)
        fields[i] =
            image.contains(p + 3 + i) ? bcdValue(image.byteOrZero(p + 3 + i)) : std::nullopt;
    if (std::all_of(std::begin(fields), std::end(fields), [](auto f) { return f.has_value(); })) {
        const QDate date(2000 + *fields[0], *fields[1], *fields[2]);
        const QTime time(*fields[3], *fields[4], *fields[5]);
        if (date.isValid() && time.isValid())
            return DateTimeValue::fromDateTime(date, time);
    }
    // The only time that can stand in for one the meter did not write sensibly.
    return DateTimeValue::fromDateTime(now);
}

qint32 recordInterval(const ImageReader& image, qint64 p)
{
    const quint8 minutes = image.byteOrZero(p + 9);
    const quint8 seconds = image.byteOrZero(p + 10);
    return (minutes & 0x0F) * 60 + (seconds >> 4) * 10 + (seconds & 0x0F);
}

// The end of the record found by the marker scan: the first 5A A5 at an
// even distance from the samples' start, not beyond the memory end.
std::optional<qint64> scanForEndMarker(const ImageReader& image, qint64 p, qint32 memoryEnd)
{
    for (qint64 q = p + samplesOffset; q <= memoryEnd; q += 2) {
        if (image.is(q, endMarker0) && image.is(q + 1, endMarker1))
            return q + 1;
    }
    return std::nullopt;
}

bool recordValid(const ImageReader& image, qint64 p, qint64 e, qint32 memoryEnd)
{
    // Forgiven only where the byte exists and sits on a 256-byte boundary.
    auto onBoundary = [&](qint64 at, qint64 boundary) {
        return image.contains(at) && boundary % pageSize == 0;
    };
    if (!image.is(p, startMarker0))
        return onBoundary(p, p);
    if (!image.is(p + 1, startMarker1))
        return onBoundary(p + 1, p);
    if (!image.is(e - 1, endMarker0))
        return onBoundary(e - 1, e - 1);
    if (!image.is(e, endMarker1))
        return onBoundary(e, e - 1);
    return e <= memoryEnd;
}
} // namespace

RecordWalk walkRecords(const QByteArray& image, qint32 memoryEnd, const QDateTime& now)
{
    const ImageReader reader(image);
    RecordWalk walk;
    const int setCount = reader.byteOrZero(LoggerMemory::kDataSetCountOffset) * 256 +
                         reader.byteOrZero(LoggerMemory::kDataSetCountOffset + 1);
    if (setCount == 0) {
        walk.result = LoadResult::NoData;
        return walk;
    }
    if (setCount > LoggerMemory::kMaxDataSets) {
        walk.result = LoadResult::MemoryError;
        return walk;
    }

    qint64 p = firstRecord;
    for (int i = 0; i < setCount; ++i) {
        qint64 n = reader.count3(p + countOffset);
        qint64 e = 0;
        bool scan = true;
        // A count whose first byte sits at the end of a 256-byte page is not
        // trusted: the meter may not have written it.
        if ((p + countOffset) % pageSize == 255) {
            e = p + samplesOffset;
        } else {
            e = p + 15 + 2 * n;
            scan = e > memoryEnd || !reader.is(e - 1, endMarker0) || !reader.is(e, endMarker1);
        }
        if (scan) {
            if (const auto found = scanForEndMarker(reader, p, memoryEnd))
                e = *found;
            n = std::max<qint64>(0, (e - p - 15) / 2);
        }
        if (!recordValid(reader, p, e, memoryEnd)) {
            walk.result = LoadResult::DataError;
            walk.errorPosition = {i, qint32(p - 1)};
            walk.headers.clear();
            return walk;
        }
        DataSetHeader header;
        header.startTime = recordStartTime(reader, p, now);
        header.intervalSeconds = recordInterval(reader, p);
        header.sampleCount = qint32(n);
        header.statusByte = reader.byteOrZero(p + 2);
        header.recordOffset = qint32(p);
        header.recordEnd = qint32(e);
        walk.headers.append(header);
        p = e + 1;
    }
    walk.result = LoadResult::Ok;
    return walk;
}

LoadResult decodeImage(LoggerMemory& memory, DataSetCollection& collection, const QDateTime& now)
{
    const RecordWalk walk = walkRecords(memory.memoryImage(), memory.memoryEnd(), now);
    if (walk.result == LoadResult::DataError)
        memory.setErrorPosition(walk.errorPosition);
    if (walk.result == LoadResult::Ok)
        collection.replace(walk.headers, memory.memoryImage());
    return walk.result;
}
