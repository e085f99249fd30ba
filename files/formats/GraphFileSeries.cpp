#include "files/formats/GraphFileSeries.h"

#include "files/formats/GraphFile.h"

#include <QDataStream>
#include <QDir>
#include <QIODevice>

#include <array>

namespace {

// The chart's block: "PESG", kind, format version, payload length, payload,
// CRC-32 of everything before it.
constexpr char kMagic[4] = {'P', 'E', 'S', 'G'};
constexpr quint8 kKindWhole = 1;
constexpr quint16 kFormatVersion = 1;
constexpr int kHeaderSize = 4 + 1 + 2 + 4;
constexpr int kTrailerSize = 4;
constexpr quint32 kMaxSubsets = 256;
constexpr qint32 kMaxPoints = 1 << 24;
constexpr qint64 kBytesPerPoint = 16; // a 64-bit X and a 64-bit Y

quint32 crc32(const char* data, qsizetype size)
{
    static const auto table = [] {
        std::array<quint32, 256> t{};
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    quint32 crc = 0xFFFFFFFFu;
    for (qsizetype i = 0; i < size; ++i)
        crc = table[(crc ^ quint8(data[i])) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

bool skipCount(QDataStream& in, qint64 bytesPerEntry)
{
    quint32 count = 0;
    in >> count;
    if (in.status() != QDataStream::Ok || count > kMaxSubsets ||
        qint64(count) * bytesPerEntry > in.device()->bytesAvailable())
        return false;
    return in.skipRawData(int(qint64(count) * bytesPerEntry)) >= 0;
}

// The look goes before the series; only its shape matters here.
bool skipLook(QDataStream& in)
{
    QString text;
    for (int i = 0; i < 4; ++i)
        in >> text;
    in.skipRawData(6 * 5); // six colours: valid flag, RGBA
    if (!skipCount(in, 5) || !skipCount(in, 4))
        return false;
    in.skipRawData(2 * 4); // grid style and lines
    for (int i = 0; i < 3; ++i) {
        double size = 0.0;
        bool bold = false, italic = false;
        in >> text >> size >> bold >> italic;
    }
    in.skipRawData(2 * 4 + 7 + 4 + 3 + 4); // text sizes, switches, zoom, scroll, popup, cursor
    return in.status() == QDataStream::Ok;
}

} // namespace

namespace GraphFileSeries {

std::optional<std::vector<Series>> fromBlock(const QByteArray& block)
{
    if (block.size() < kHeaderSize + kTrailerSize || !block.startsWith(QByteArray(kMagic, 4)))
        return std::nullopt;
    QDataStream in(block);
    in.setVersion(QDataStream::Qt_6_4);
    in.skipRawData(4);
    quint8 kind = 0;
    quint16 version = 0;
    quint32 length = 0;
    in >> kind >> version >> length;
    const qsizetype crcOffset = block.size() - kTrailerSize;
    if (kind != kKindWhole || version != kFormatVersion ||
        qint64(length) != crcOffset - kHeaderSize)
        return std::nullopt;
    QDataStream tail(block.mid(crcOffset));
    quint32 storedCrc = 0;
    tail >> storedCrc;
    if (storedCrc != crc32(block.constData(), crcOffset))
        return std::nullopt;

    const QByteArray payload = block.mid(kHeaderSize, length);
    QDataStream body(payload);
    body.setVersion(QDataStream::Qt_6_4);
    if (!skipLook(body))
        return std::nullopt;
    qint32 points = 0;
    quint32 subsets = 0;
    body >> points >> subsets;
    if (body.status() != QDataStream::Ok || points < 0 || points > kMaxPoints ||
        subsets > kMaxSubsets ||
        qint64(points) * kBytesPerPoint * subsets > body.device()->bytesAvailable())
        return std::nullopt;
    std::vector<Series> series(subsets);
    for (Series& s : series) {
        std::vector<double> x(static_cast<size_t>(points));
        std::vector<float> y(static_cast<size_t>(points));
        for (double& v : x)
            body >> v;
        for (float& v : y)
            body >> v; // written as 64-bit values
        for (size_t i = 0; i < x.size(); ++i) {
            if (x[i] == 0.0)
                continue;
            s.x.push_back(x[i]);
            s.y.push_back(y[i]);
        }
    }
    if (body.status() != QDataStream::Ok)
        return std::nullopt;
    return series;
}

Read read(const QString& path)
{
    const GraphFile::ReadResult file = GraphFile::read(path);
    if (!file.block)
        return {std::nullopt, file.error};
    std::optional<std::vector<Series>> series = fromBlock(*file.block);
    if (!series)
        return {std::nullopt,
                QStringLiteral("The file %1 is damaged or is not a graph file: its chart does "
                               "not read.")
                    .arg(QDir::toNativeSeparators(path))};
    return {std::move(series), QString()};
}

} // namespace GraphFileSeries
