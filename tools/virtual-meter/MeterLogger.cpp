#include "tools/virtual-meter/MeterLogger.h"

#include "tools/virtual-meter/LoggerImageBuilder.h"

#include <QList>

#include <algorithm>
#include <utility>

namespace vmeter {

namespace {
constexpr int letterByte = 1;
constexpr int dataByte = 6;
constexpr int addressHigh = 0x0B;
constexpr int addressMid = 0x0C;
constexpr int addressLow = 0x0D;
constexpr int setCountHigh = 0x09;
constexpr int intervalMinutes = 0x0E;
constexpr int intervalSeconds = 0x0F;
// Record: A5 5A, status, six BCD time bytes, two interval bytes, 3-byte count.
constexpr int recordHeader = 14;
constexpr int endMarkerSize = 2;
constexpr std::uint8_t aWeightingBit = 0x08;

std::uint8_t toBcd(int value)
{
    return std::uint8_t(((value / 10 % 10) << 4) | (value % 10));
}

// The decimal value of a BCD byte, or -1 when a digit is not decimal.
int fromBcd(std::uint8_t byte)
{
    const int tens = byte >> 4;
    const int units = byte & 0x0F;
    return tens > 9 || units > 9 ? -1 : tens * 10 + units;
}

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
        if (faults_.noEchoLetters.contains(letter) ||
            faults_.failedReadAddresses.contains(address) ||
            faults_.shortReplyLetters.contains(letter))
            break;
        if (address < memorySize)
            out.last().bytes.append(memory_.at(address));
        break;
    case 'w':
        if (address < memorySize) {
            const char data = frame.at(dataByte);
            memory_[address] = faults_.badCells.contains(address) ? char(~data) : data;
        }
        echo(frame, out);
        if (!faults_.noEchoLetters.contains(letter) &&
            !faults_.shortReplyLetters.contains(letter) && address < memorySize)
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

int MeterLogger::setCount() const
{
    return quint8(memory_.at(setCountHigh)) * 256 + quint8(memory_.at(setCountHigh + 1));
}

int MeterLogger::endAddress() const
{
    return quint8(memory_.at(addressHigh)) << 16 | quint8(memory_.at(addressMid)) << 8 |
           quint8(memory_.at(addressLow));
}

void MeterLogger::writeControl(int setCount, int endAddress)
{
    LoggerImageBuilder::writeControlPage(memory_, setCount, endAddress);
}

void MeterLogger::setStoredInterval(std::uint8_t minutesBcd, std::uint8_t secondsBcd)
{
    memory_[intervalMinutes] = char(minutesBcd);
    memory_[intervalSeconds] = char(secondsBcd);
}

int MeterLogger::storedIntervalSeconds() const
{
    constexpr int fallback = 2;
    const int minutes = fromBcd(quint8(memory_.at(intervalMinutes)));
    const int seconds = fromBcd(quint8(memory_.at(intervalSeconds)));
    if (minutes < 0 || seconds < 0 || minutes * 60 + seconds == 0)
        return fallback;
    return minutes * 60 + seconds;
}

void MeterLogger::erase()
{
    recordAt_ = -1;
    transferring_ = false;
    memory_.replace(firstRecord, memorySize - firstRecord,
                    QByteArray(memorySize - firstRecord, char(0xFF)));
    writeControl(0, emptyEndAddress);
}

bool MeterLogger::openRecord(const QDateTime& start, bool aWeighting)
{
    closeRecord();
    const int p = std::max(endAddress() + 1, firstRecord);
    // Room for the header, one sample and the end marker.
    if (p + recordHeader + 2 + endMarkerSize - 1 > highestAddress)
        return false;
    const QDate date = start.date();
    const QTime time = start.time();
    QByteArray header;
    header.append(char(0xA5)).append(char(0x5A));
    header.append(char(aWeighting ? aWeightingBit : 0x00));
    for (int field :
         {date.year() % 100, date.month(), date.day(), time.hour(), time.minute(), time.second()})
        header.append(char(toBcd(field)));
    header.append(memory_.at(intervalMinutes)).append(memory_.at(intervalSeconds));
    header.append(3, '\0');
    header.append(char(0x5A)).append(char(0xA5));
    memory_.replace(p, header.size(), header);
    recordAt_ = p;
    writeControl(setCount() + 1, p + int(header.size()) - 1);
    return true;
}

bool MeterLogger::appendSample(int tenths)
{
    if (recordAt_ < 0)
        return false;
    const int end = endAddress();
    if (end + 2 > highestAddress)
        return false;
    const int p = recordAt_;
    const int n = (quint8(memory_.at(p + 11)) << 16 | quint8(memory_.at(p + 12)) << 8 |
                   quint8(memory_.at(p + 13))) +
                  1;
    // The new sample takes the end marker's place; the marker moves behind it.
    const int at = end - 1;
    memory_[at] = char((tenths >> 8) & 0x0F);
    memory_[at + 1] = char(tenths);
    memory_[at + 2] = char(0x5A);
    memory_[at + 3] = char(0xA5);
    memory_[p + 11] = char(n >> 16);
    memory_[p + 12] = char(n >> 8);
    memory_[p + 13] = char(n);
    writeControl(setCount(), end + 2);
    return true;
}

void MeterLogger::closeRecord()
{
    if (recordAt_ < 0)
        return;
    const int p = std::exchange(recordAt_, -1);
    const bool empty =
        memory_.at(p + 11) == 0 && memory_.at(p + 12) == 0 && memory_.at(p + 13) == 0;
    if (!empty)
        return;
    memory_.replace(p, recordHeader + endMarkerSize,
                    QByteArray(recordHeader + endMarkerSize, char(0xFF)));
    writeControl(setCount() - 1, p - 1);
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
