#include "archive/SampleChunk.h"

#include <bit>
#include <cmath>
#include <cstring>

namespace SampleChunk {
namespace {

constexpr quint8 kPlain = 1;
constexpr quint8 kCompressed = 2;
constexpr quint8 kRegular = 0;
constexpr quint8 kListed = 1;
constexpr qint64 kMsPerDay = 86400000;

quint64 zigzag(qint64 v)
{
    return (quint64(v) << 1) ^ quint64(v >> 63);
}

qint64 unzigzag(quint64 u)
{
    return qint64(u >> 1) ^ -qint64(u & 1);
}

void putVarint(QByteArray& out, quint64 v)
{
    while (v >= 0x80) {
        out.append(char(quint8(v) | 0x80));
        v >>= 7;
    }
    out.append(char(v));
}

template <typename T> void putRaw(QByteArray& out, T value)
{
    char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    out.append(bytes, sizeof(T));
}

// Reads a body; every read checks the end, a damaged blob ends as failure.
class Reader
{
public:
    explicit Reader(const QByteArray& body) : m_data(body) {}

    bool varint(quint64& v)
    {
        v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            if (m_pos >= m_data.size())
                return false;
            const quint8 b = quint8(m_data[m_pos++]);
            v |= quint64(b & 0x7f) << shift;
            if (!(b & 0x80))
                return true;
        }
        return false;
    }

    bool byte(quint8& b)
    {
        if (m_pos >= m_data.size())
            return false;
        b = quint8(m_data[m_pos++]);
        return true;
    }

    template <typename T> bool raw(T& value)
    {
        if (m_data.size() - m_pos < qsizetype(sizeof(T)))
            return false;
        std::memcpy(&value, m_data.constData() + m_pos, sizeof(T));
        m_pos += sizeof(T);
        return true;
    }

    [[nodiscard]] bool atEnd() const { return m_pos == m_data.size(); }

private:
    const QByteArray& m_data;
    qsizetype m_pos = 0;
};

float levelFromTenths(qint64 tenths)
{
    return float(tenths) / 10.0f;
}

bool sameBits(double a, double b)
{
    return std::bit_cast<quint64>(a) == std::bit_cast<quint64>(b);
}

bool sameBits(float a, float b)
{
    return std::bit_cast<quint32>(a) == std::bit_cast<quint32>(b);
}

double gridStep(qint64 intervalMs)
{
    return double(intervalMs) / double(kMsPerDay);
}

bool onGrid(std::span<const double> x, qint64 firstIndex, const Grid& grid)
{
    const double step = gridStep(grid.intervalMs);
    for (size_t i = 0; i < x.size(); ++i) {
        if (!sameBits(x[i], grid.origin + double(firstIndex + qint64(i)) * step))
            return false;
    }
    return true;
}

void putLevel(QByteArray& out, float level, qint64& previousTenths)
{
    if (std::isfinite(level) && std::abs(level) < 1e6f) {
        const qint64 tenths = std::llround(double(level) * 10.0);
        if (sameBits(levelFromTenths(tenths), level)) {
            putVarint(out, zigzag(tenths - previousTenths) << 1);
            previousTenths = tenths;
            return;
        }
    }
    putVarint(out, 1);
    putRaw(out, std::bit_cast<quint32>(level));
}

void putTime(QByteArray& out, double time, qint64 intervalMs, qint64& previousMs)
{
    if (std::isfinite(time) && std::abs(time) < 1e7) {
        const qint64 ms = std::llround(time * double(kMsPerDay));
        if (sameBits(daysFromMs(ms), time)) {
            putVarint(out, zigzag(ms - previousMs - intervalMs) << 1);
            previousMs = ms;
            return;
        }
    }
    putVarint(out, 1);
    putRaw(out, std::bit_cast<quint64>(time));
}

} // namespace

double daysFromMs(qint64 ms)
{
    const qint64 days = ms >= 0 ? ms / kMsPerDay : -((-ms + kMsPerDay - 1) / kMsPerDay);
    return double(days) + double(ms - days * kMsPerDay) / double(kMsPerDay);
}

QByteArray encode(std::span<const double> x, std::span<const float> y, qint64 firstIndex,
                  const Grid& grid)
{
    const size_t count = std::min(x.size(), y.size());
    x = x.first(count);
    y = y.first(count);
    QByteArray body;
    body.reserve(qsizetype(count) * 2 + 32);
    putVarint(body, count);
    const bool regular = onGrid(x, firstIndex, grid);
    if (regular) {
        body.append(char(kRegular));
        putRaw(body, std::bit_cast<quint64>(grid.origin));
        putRaw(body, std::bit_cast<quint64>(gridStep(grid.intervalMs)));
    } else {
        body.append(char(kListed));
        putVarint(body, zigzag(grid.intervalMs));
    }
    qint64 previousTenths = 0;
    qint64 previousMs = 0;
    for (size_t i = 0; i < count; ++i) {
        putLevel(body, y[i], previousTenths);
        if (!regular)
            putTime(body, x[i], grid.intervalMs, previousMs);
    }
    const QByteArray packed = qCompress(body, 9);
    QByteArray blob;
    if (packed.size() < body.size()) {
        blob.append(char(kCompressed));
        blob.append(packed);
    } else {
        blob.append(char(kPlain));
        blob.append(body);
    }
    return blob;
}

bool decode(const QByteArray& blob, qint64 firstIndex, qsizetype expectedCount,
            std::vector<double>& x, std::vector<float>& y)
{
    if (blob.isEmpty())
        return false;
    QByteArray body;
    if (quint8(blob[0]) == kPlain)
        body = blob.mid(1);
    else if (quint8(blob[0]) == kCompressed)
        body = qUncompress(blob.mid(1));
    else
        return false;
    Reader in(body);
    quint64 count = 0;
    quint8 mode = 0;
    if (!in.varint(count) || count != quint64(expectedCount) || !in.byte(mode))
        return false;
    double origin = 0.0;
    double step = 0.0;
    qint64 intervalMs = 0;
    if (mode == kRegular) {
        quint64 originBits = 0;
        quint64 stepBits = 0;
        if (!in.raw(originBits) || !in.raw(stepBits))
            return false;
        origin = std::bit_cast<double>(originBits);
        step = std::bit_cast<double>(stepBits);
    } else if (mode == kListed) {
        quint64 u = 0;
        if (!in.varint(u))
            return false;
        intervalMs = unzigzag(u);
    } else {
        return false;
    }
    std::vector<double> xs;
    std::vector<float> ys;
    xs.reserve(count);
    ys.reserve(count);
    qint64 previousTenths = 0;
    qint64 previousMs = 0;
    for (quint64 i = 0; i < count; ++i) {
        quint64 token = 0;
        if (!in.varint(token))
            return false;
        if (token & 1) {
            quint32 bits = 0;
            if (token != 1 || !in.raw(bits))
                return false;
            ys.push_back(std::bit_cast<float>(bits));
        } else {
            previousTenths += unzigzag(token >> 1);
            ys.push_back(levelFromTenths(previousTenths));
        }
        if (mode == kRegular) {
            xs.push_back(origin + double(firstIndex + qint64(i)) * step);
            continue;
        }
        if (!in.varint(token))
            return false;
        if (token & 1) {
            quint64 bits = 0;
            if (token != 1 || !in.raw(bits))
                return false;
            xs.push_back(std::bit_cast<double>(bits));
        } else {
            previousMs += intervalMs + unzigzag(token >> 1);
            xs.push_back(daysFromMs(previousMs));
        }
    }
    if (!in.atEnd())
        return false;
    x.insert(x.end(), xs.begin(), xs.end());
    y.insert(y.end(), ys.begin(), ys.end());
    return true;
}

} // namespace SampleChunk
