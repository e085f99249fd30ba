#include "tools/virtual-meter/MeterLogger.h"

#include "tools/virtual-meter/LoggerImageBuilder.h"

#include <QList>

#include <algorithm>

namespace vmeter {

namespace {
constexpr int letterByte = 1;
constexpr int dataByte = 6;
constexpr int addressHigh = 0x0B;
constexpr int addressMid = 0x0C;
constexpr int addressLow = 0x0D;

int frameAddress(const QByteArray& frame)
{
    return quint8(frame.at(3)) << 16 | quint8(frame.at(4)) << 8 | quint8(frame.at(5));
}
} // namespace

MeterLogger::MeterLogger(const LoggerSettings& settings, std::chrono::microseconds byteTime)
    : faults_(settings.faults), byteTime_(byteTime)
{
    if (settings.memory.isEmpty()) {
        LoggerImageBuilder builder;
        builder.appendGenerated(settings.generatedSets, settings.seed);
        memory_ = builder.image();
    } else {
        memory_ = settings.memory.left(memorySize);
        if (memory_.size() < memorySize)
            memory_.append(QByteArray(memorySize - memory_.size(), char(0xFF)));
    }
    applyMemoryFaults();
}

void MeterLogger::applyMemoryFaults()
{
    const QList<int> offsets = LoggerImageBuilder::walkRecords(memory_);
    for (int set : faults_.damagedStartSets) {
        if (set >= 0 && set < offsets.size())
            memory_[offsets.at(set)] = char(0x00);
    }
    for (int set : faults_.damagedEndSets) {
        if (set < 0 || set >= offsets.size())
            continue;
        const int p = offsets.at(set);
        const int n = quint8(memory_.at(p + 11)) << 16 | quint8(memory_.at(p + 12)) << 8 |
                      quint8(memory_.at(p + 13));
        const qsizetype e = p + 15 + 2 * qsizetype(n);
        if (e < memorySize)
            memory_[e] = char(0x00);
    }
    if (faults_.usedSize) {
        const int end = std::clamp(*faults_.usedSize, 1, memorySize) - 1;
        memory_[addressHigh] = char(end >> 16);
        memory_[addressMid] = char(end >> 8);
        memory_[addressLow] = char(end);
    }
}

bool MeterLogger::isLoggerLetter(char letter)
{
    switch (letter) {
    case 'r':
    case 'w':
    case 'P':
    case 'y':
    case 'n':
    case 'Q':
        return true;
    default:
        return false;
    }
}

int MeterLogger::usedSize() const
{
    return quint8(memory_.at(addressMid)) * 256 + quint8(memory_.at(addressLow)) + 1;
}

void MeterLogger::echo(const QByteArray& frame, QList<LoggerMessage>& out)
{
    const char letter = frame.at(letterByte);
    if (faults_.noEchoLetters.contains(letter))
        return;
    QByteArray bytes = frame;
    if (faults_.changedEchoLetters.contains(letter))
        bytes[4] = char(quint8(bytes.at(4)) ^ 0x01);
    out.append({LoggerMessage::Kind::Echo, bytes});
}

void MeterLogger::handleFrame(const QByteArray& frame, SteadyTime now, QList<LoggerMessage>& out)
{
    const char letter = frame.at(letterByte);
    const int address = frameAddress(frame);
    switch (letter) {
    case 'r':
        echo(frame, out);
        if (faults_.noEchoLetters.contains(letter) || faults_.failedReadAddresses.contains(address))
            break;
        if (address < memorySize)
            out.last().bytes.append(memory_.at(address));
        break;
    case 'w':
        if (address < memorySize)
            memory_[address] = frame.at(dataByte);
        echo(frame, out);
        if (!faults_.noEchoLetters.contains(letter) && address < memorySize)
            out.last().bytes.append(memory_.at(address));
        break;
    case 'P':
        echo(frame, out);
        transferring_ = true;
        block_ = 0;
        transferBytes_ = 0;
        blockCount_ = (usedSize() + blockData - 1) / blockData;
        sendBlock(now, out);
        break;
    case 'y':
        if (!transferring_ || blockOnLine(now))
            break;
        ++block_;
        sendBlock(now, out);
        break;
    case 'n':
        if (!transferring_ || blockOnLine(now))
            break;
        sendBlock(now, out);
        break;
    case 'Q':
        transferring_ = false;
        break;
    default:
        break;
    }
}

bool MeterLogger::blockOnLine(SteadyTime now) const
{
    return now < blockOnLineUntil_;
}

void MeterLogger::sendBlock(SteadyTime now, QList<LoggerMessage>& out)
{
    if (block_ >= blockCount_ || block_ * blockData >= memorySize) {
        transferring_ = false;
        return;
    }
    QByteArray bytes = buildBlock(block_);
    if (faults_.silenceAfterBytes >= 0) {
        const qint64 left = std::max<qint64>(0, faults_.silenceAfterBytes - transferBytes_);
        bytes.truncate(qsizetype(std::min<qint64>(left, bytes.size())));
    }
    if (bytes.isEmpty())
        return;
    transferBytes_ += bytes.size();
    // The echo of the frame that asked for the block goes out first.
    qsizetype onLine = bytes.size();
    if (!out.isEmpty())
        onLine += out.last().bytes.size();
    blockOnLineUntil_ = now + byteTime_ * onLine;
    out.append({LoggerMessage::Kind::Block, bytes});
}

QByteArray MeterLogger::buildBlock(int block)
{
    QByteArray bytes = memory_.mid(qsizetype(block) * blockData, blockData);
    quint8 sum = 0;
    for (char byte : bytes)
        sum = quint8(sum + quint8(byte));
    auto bad = faults_.badCheckBlocks.constFind(block);
    if (bad != faults_.badCheckBlocks.constEnd()) {
        int& sent = badChecksSent_[block];
        if (*bad == 0 || sent < *bad) {
            ++sent;
            sum = quint8(sum + 1);
        }
    }
    bytes.append(char(sum));
    return bytes;
}

} // namespace vmeter
