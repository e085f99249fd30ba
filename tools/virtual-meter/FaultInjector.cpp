#include "tools/virtual-meter/FaultInjector.h"

namespace vmeter {

namespace {
constexpr double noiseChance = 0.3;
constexpr int liveFrameSize = 15;
} // namespace

FaultInjector::FaultInjector(const FaultSettings& settings)
    : settings_(settings), random_(settings.seed ^ 0x5eedu)
{
}

int FaultInjector::randomInt(int low, int high)
{
    return std::uniform_int_distribution<int>(low, high)(random_);
}

bool FaultInjector::hasFrameStartBefore(const QByteArray& data, qsizetype limit)
{
    for (qsizetype i = 0; i < limit && i + liveFrameSize <= data.size(); ++i) {
        if (data.at(i) == 0x02 && data.at(i + liveFrameSize - 1) == 0x03 &&
            (quint8(data.at(i + 2)) & 0xE0) == 0xE0)
            return true;
    }
    return false;
}

QList<WireChunk> FaultInjector::prepare(const OutgoingMessage& message)
{
    QByteArray bytes = message.bytes;
    if (message.kind == OutgoingMessage::Kind::LiveFrame) {
        std::uniform_real_distribution<double> unit(0.0, 1.0);
        if (settings_.corruptRate > 0 && unit(random_) < settings_.corruptRate)
            bytes.prepend(makeDamagedCopy(bytes));
        if (settings_.noise && unit(random_) < noiseChance)
            bytes.prepend(makeNoise(bytes));
    }
    QList<WireChunk> chunks;
    if (settings_.split)
        appendSplit(chunks, bytes);
    else
        chunks.append({bytes, {}});
    return chunks;
}

QByteArray FaultInjector::makeNoise(const QByteArray& following)
{
    QByteArray noise(randomInt(1, 12), '\0');
    for (char& byte : noise)
        byte = char(randomInt(0, 255));
    // A 0x02 of the noise must not line up with an end byte and a marker.
    for (qsizetype i = 0; i < noise.size(); ++i) {
        if (hasFrameStartBefore(noise.mid(i) + following, 1))
            noise[i] = 0x55;
    }
    return noise;
}

QByteArray FaultInjector::makeDamagedCopy(const QByteArray& frame)
{
    QByteArray copy = frame;
    if (randomInt(0, 1) == 0)
        copy[liveFrameSize - 1] = char(randomInt(0x04, 0xFF));
    else
        copy[2] = char(quint8(copy.at(2)) & 0x1F);
    // A copy whose inner bytes would form a frame with the good one is not sent.
    if (hasFrameStartBefore(copy + frame, copy.size()))
        return {};
    return copy;
}

void FaultInjector::appendSplit(QList<WireChunk>& chunks, const QByteArray& bytes)
{
    qsizetype offset = 0;
    while (offset < bytes.size()) {
        const int length = randomInt(1, 7);
        chunks.append({bytes.mid(offset, length), std::chrono::milliseconds(randomInt(1, 5))});
        offset += length;
    }
}

} // namespace vmeter
