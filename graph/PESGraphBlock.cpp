#include "graph/PESGraphBlock.h"

#include <QDataStream>
#include <QIODevice>
#include <array>

namespace {
constexpr char kMagic[4] = {'P', 'E', 'S', 'G'};
constexpr quint8 kKindWhole = 1;
constexpr quint8 kKindCustomization = 2;
constexpr int kHeaderSize = 4 + 1 + 2 + 4;
constexpr int kTrailerSize = 4;
constexpr auto kStreamVersion = QDataStream::Qt_6_4;

// Limits that keep a damaged block from asking for absurd allocations.
constexpr quint32 kMaxListEntries = 1u << 20;
constexpr quint32 kMaxSubsets = 256;
// Far above the program's largest graphs (99,999 points); a count beyond it
// comes from a damaged or foreign block, whatever its checksum says.
constexpr qint32 kMaxPoints = 1 << 24;
// Each point of a series is stored as a 64-bit X and a 64-bit Y.
constexpr qint64 kBytesPerPoint = 16;

template <typename Enum> void putEnum(QDataStream& out, Enum value)
{
    out << qint32(value);
}

template <typename Enum> bool getEnum(QDataStream& in, Enum& value, int lowest, int highest)
{
    qint32 raw = 0;
    in >> raw;
    if (raw < lowest || raw > highest) {
        in.setStatus(QDataStream::ReadCorruptData);
        return false;
    }
    value = Enum(raw);
    return true;
}

void putColor(QDataStream& out, const QColor& color)
{
    out << quint8(color.isValid() ? 1 : 0) << quint32(color.isValid() ? color.rgba() : 0);
}

QColor getColor(QDataStream& in)
{
    quint8 valid = 0;
    quint32 rgba = 0;
    in >> valid >> rgba;
    if (valid > 1)
        in.setStatus(QDataStream::ReadCorruptData);
    return valid == 1 ? QColor::fromRgba(rgba) : QColor();
}

void putFont(QDataStream& out, const PESFontSpec& font)
{
    out << font.family << font.pointSize << font.bold << font.italic;
}

PESFontSpec getFont(QDataStream& in)
{
    PESFontSpec font;
    in >> font.family >> font.pointSize >> font.bold >> font.italic;
    if (!(font.pointSize > 0.0 && font.pointSize < 1000.0))
        in.setStatus(QDataStream::ReadCorruptData);
    return font;
}

// Reads a list length and refuses one the remaining bytes cannot hold.
bool getCount(QDataStream& in, quint32& count, quint32 limit, qint64 minBytesPerEntry)
{
    in >> count;
    const qint64 remaining = in.device()->bytesAvailable();
    if (in.status() != QDataStream::Ok || count > limit ||
        qint64(count) * minBytesPerEntry > remaining) {
        in.setStatus(QDataStream::ReadCorruptData);
        return false;
    }
    return true;
}

void putLook(QDataStream& out, const PESGraphLook& look)
{
    out << look.mainTitle << look.subTitle << look.xAxisLabel << look.yAxisLabel;
    for (const QColor* c : {&look.graphForeColor, &look.graphBackColor, &look.deskColor,
                            &look.textColor, &look.yAxisColor, &look.annotationColor})
        putColor(out, *c);
    out << quint32(look.subsetColors.size());
    for (const QColor& c : look.subsetColors)
        putColor(out, c);
    out << quint32(look.subsetLineTypes.size());
    for (PESLineType t : look.subsetLineTypes)
        putEnum(out, t);
    putEnum(out, look.gridStyle);
    putEnum(out, look.gridLines);
    putFont(out, look.titleFont);
    putFont(out, look.labelFont);
    putFont(out, look.annotationFont);
    out << qint32(look.lineAnnotationTextSize) << qint32(look.graphAnnotationTextSize);
    out << look.dateTimeMode << look.usingXDataII << look.showGraphAnnotations
        << look.showVertLineAnnotations << look.allowDataHotSpots << look.allowVertLineAnnotHotSpots
        << look.allowGraphAnnotHotSpots;
    putEnum(out, look.allowZooming);
    out << look.scrollingHorzZoom << look.scrollingVertZoom << look.allowPopup;
    putEnum(out, look.arrowCursor);
}

bool getLook(QDataStream& in, PESGraphLook& look)
{
    in >> look.mainTitle >> look.subTitle >> look.xAxisLabel >> look.yAxisLabel;
    for (QColor* c : {&look.graphForeColor, &look.graphBackColor, &look.deskColor, &look.textColor,
                      &look.yAxisColor, &look.annotationColor})
        *c = getColor(in);
    quint32 count = 0;
    if (!getCount(in, count, kMaxSubsets, 5))
        return false;
    look.subsetColors.resize(count);
    for (QColor& c : look.subsetColors)
        c = getColor(in);
    if (!getCount(in, count, kMaxSubsets, 4))
        return false;
    look.subsetLineTypes.resize(count);
    for (PESLineType& t : look.subsetLineTypes)
        getEnum(in, t, 0, 6);
    getEnum(in, look.gridStyle, 0, 4);
    getEnum(in, look.gridLines, 0, 3);
    look.titleFont = getFont(in);
    look.labelFont = getFont(in);
    look.annotationFont = getFont(in);
    qint32 lineSize = 0, graphSize = 0;
    in >> lineSize >> graphSize;
    if (lineSize < 10 || lineSize > 1000 || graphSize < 10 || graphSize > 1000)
        in.setStatus(QDataStream::ReadCorruptData);
    look.lineAnnotationTextSize = lineSize;
    look.graphAnnotationTextSize = graphSize;
    in >> look.dateTimeMode >> look.usingXDataII >> look.showGraphAnnotations >>
        look.showVertLineAnnotations >> look.allowDataHotSpots >> look.allowVertLineAnnotHotSpots >>
        look.allowGraphAnnotHotSpots;
    getEnum(in, look.allowZooming, 0, 3);
    in >> look.scrollingHorzZoom >> look.scrollingVertZoom >> look.allowPopup;
    getEnum(in, look.arrowCursor, 1, 2);
    return in.status() == QDataStream::Ok;
}

void putScale(QDataStream& out, const PESGraphScale& scale)
{
    putEnum(out, scale.control);
    out << scale.min << scale.max;
}

void getScale(QDataStream& in, PESGraphScale& scale)
{
    getEnum(in, scale.control, 0, 3);
    in >> scale.min >> scale.max;
}

// Floats go out as 64-bit values (the stream's double precision), which
// round-trips them exactly.
void putContent(QDataStream& out, const PESGraphContent& content)
{
    out << qint32(content.points) << quint32(content.series.size());
    for (const PESGraphSeries& s : content.series) {
        for (double x : s.x)
            out << x;
        for (float y : s.y)
            out << y;
    }
    putScale(out, content.scaleX);
    putScale(out, content.scaleY);
    out << quint32(content.annotations.size());
    for (const auto& [slot, a] : content.annotations) {
        out << qint32(slot) << a.x << a.y;
        putEnum(out, a.type);
        out << a.text;
        putColor(out, a.color);
    }
    out << quint32(content.vertLines.size());
    for (const auto& [index, line] : content.vertLines) {
        out << qint32(index) << line.x << line.text;
        putColor(out, line.color);
    }
}

bool getContent(QDataStream& in, PESGraphContent& content)
{
    qint32 points = 0;
    in >> points;
    quint32 subsets = 0;
    // Points without any series to hold them would still be trusted by
    // whoever reads the count (statistics allocate that many values).
    if (points < 0 || points > kMaxPoints ||
        !getCount(in, subsets, kMaxSubsets, qint64(points) * kBytesPerPoint) ||
        (points > 0 && subsets == 0)) {
        in.setStatus(QDataStream::ReadCorruptData);
        return false;
    }
    content.points = points;
    content.series.assign(subsets, {});
    for (PESGraphSeries& s : content.series) {
        s.x.resize(size_t(points));
        s.y.resize(size_t(points));
        for (double& x : s.x)
            in >> x;
        for (float& y : s.y)
            in >> y;
    }
    getScale(in, content.scaleX);
    getScale(in, content.scaleY);
    quint32 count = 0;
    if (!getCount(in, count, kMaxListEntries, 4 + 8 + 8 + 4 + 4 + 5))
        return false;
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        qint32 slot = 0;
        PESGraphAnnotation a;
        in >> slot >> a.x >> a.y;
        getEnum(in, a.type, 0, 2);
        if (int(a.type) == 1)
            in.setStatus(QDataStream::ReadCorruptData);
        in >> a.text;
        a.color = getColor(in);
        if (slot < 0 || content.annotations.count(slot))
            in.setStatus(QDataStream::ReadCorruptData);
        content.annotations[slot] = a;
    }
    if (!getCount(in, count, kMaxListEntries, 4 + 8 + 4 + 5))
        return false;
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        qint32 index = 0;
        PESGraphVertLine line;
        in >> index >> line.x >> line.text;
        line.color = getColor(in);
        if (index < 0 || content.vertLines.count(index))
            in.setStatus(QDataStream::ReadCorruptData);
        content.vertLines[index] = line;
    }
    return in.status() == QDataStream::Ok;
}

QByteArray frame(quint8 kind, const QByteArray& payload)
{
    QByteArray block;
    {
        QDataStream out(&block, QIODevice::WriteOnly);
        out.setVersion(kStreamVersion);
        out.writeRawData(kMagic, 4);
        out << kind << PESGraphBlock::kFormatVersion << quint32(payload.size());
        out.writeRawData(payload.constData(), int(payload.size()));
        out << PESGraphBlock::crc32(block.constData(), block.size());
    }
    return block;
}

// The payload of a well-formed block of the given kind, or nothing.
std::optional<QByteArray> unframe(quint8 kind, const QByteArray& block)
{
    if (block.size() < kHeaderSize + kTrailerSize || !block.startsWith(QByteArray(kMagic, 4)))
        return std::nullopt;
    QDataStream in(block);
    in.setVersion(kStreamVersion);
    in.skipRawData(4);
    quint8 blockKind = 0;
    quint16 version = 0;
    quint32 length = 0;
    in >> blockKind >> version >> length;
    if (blockKind != kind || version != PESGraphBlock::kFormatVersion ||
        qint64(length) != block.size() - kHeaderSize - kTrailerSize)
        return std::nullopt;
    const qsizetype crcOffset = block.size() - kTrailerSize;
    in.skipRawData(int(length));
    quint32 storedCrc = 0;
    in >> storedCrc;
    if (in.status() != QDataStream::Ok ||
        storedCrc != PESGraphBlock::crc32(block.constData(), crcOffset))
        return std::nullopt;
    return block.mid(kHeaderSize, length);
}

template <typename Reader> bool readPayload(const QByteArray& payload, Reader read)
{
    QDataStream in(payload);
    in.setVersion(kStreamVersion);
    return read(in) && in.status() == QDataStream::Ok && in.atEnd();
}
} // namespace

namespace PESGraphBlock {

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

QByteArray encodeWhole(const PESGraphState& state)
{
    QByteArray payload;
    {
        QDataStream out(&payload, QIODevice::WriteOnly);
        out.setVersion(kStreamVersion);
        putLook(out, state.look);
        putContent(out, state.content);
    }
    return frame(kKindWhole, payload);
}

QByteArray encodeCustomization(const PESGraphLook& look)
{
    QByteArray payload;
    {
        QDataStream out(&payload, QIODevice::WriteOnly);
        out.setVersion(kStreamVersion);
        putLook(out, look);
    }
    return frame(kKindCustomization, payload);
}

std::optional<PESGraphState> decodeWhole(const QByteArray& block)
{
    const auto payload = unframe(kKindWhole, block);
    if (!payload)
        return std::nullopt;
    PESGraphState state;
    if (!readPayload(*payload, [&](QDataStream& in) {
            return getLook(in, state.look) && getContent(in, state.content);
        }))
        return std::nullopt;
    return state;
}

std::optional<PESGraphLook> decodeCustomization(const QByteArray& block)
{
    const auto payload = unframe(kKindCustomization, block);
    if (!payload)
        return std::nullopt;
    PESGraphLook look;
    if (!readPayload(*payload, [&](QDataStream& in) { return getLook(in, look); }))
        return std::nullopt;
    return look;
}

} // namespace PESGraphBlock
