#include "logger/MemoryDownload.h"

#include "data/LoggerMemory.h"
#include "logger/LoggerPort.h"
#include "logger/LoggerTexts.h"
#include "logger/LoggerUi.h"
#include "meter/MeterClock.h"

#include <numeric>

namespace {
constexpr quint32 controlHigh = 0x0B;
constexpr quint32 controlMid = 0x0C;
constexpr quint32 controlLow = 0x0D;

constexpr char ReadLetter = 'r';
constexpr char StartLetter = 'P';
constexpr char AcceptLetter = 'y';
constexpr char RejectLetter = 'n';
constexpr char QuitLetter = 'Q';
} // namespace

MemoryDownload::MemoryDownload(LoggerPort& port, LoggerUi& ui) : port_(port), ui_(ui) {}

int MemoryDownload::totalBytesFor(int usedSize)
{
    return (usedSize + BlockData - 1) / BlockData * BlockData;
}

int MemoryDownload::readEndAddress()
{
    port_.setMemoryCommand(ReadLetter, controlHigh, 0x00);
    int control[3] = {};
    int index = 0;
    for (quint32 address : {controlHigh, controlMid, controlLow}) {
        port_.setAddressLow(quint8(address));
        if (!port_.sendChecked())
            return 0;
        if (port_.inputCount() != 1)
            return 0;
        const QByteArray reply = port_.read(1);
        if (reply.size() != 1)
            return 0;
        control[index++] = quint8(reply.at(0));
    }
    return control[1] * 256 + control[2] + 1;
}

LoadResult MemoryDownload::downloadMemory(LoggerMemory& memory)
{
    report_ = {};
    MeterClock& clock = port_.clock();

    ui_.showInfo(LoggerTexts::PreparingToLoad);
    port_.takeOver();
    const auto opened = clock.now();
    clock.Delay(OpenSettleMs);
    ui_.closeInfo();

    // Whatever the meter sent before it listens to the logger commands.
    while (port_.inputCount() > 0 && clock.secondsSince(opened) <= DrainLimitSeconds)
        (void)port_.discardWaiting();

    report_.usedSize = readEndAddress();
    memory.setMemoryEnd(report_.usedSize - 1);
    if (report_.usedSize > MaxUsedSize || report_.usedSize < MinUsedSize)
        return LoadResult::BadSize;
    report_.totalBytes = totalBytesFor(report_.usedSize);

    port_.setLetter(StartLetter);
    if (!port_.sendChecked())
        return LoadResult::NoHandshake;

    ui_.showTransferProgress(report_.totalBytes);
    transfer(memory);
    ui_.closeTransferProgress();
    return report_.receivedBytes < report_.totalBytes ? LoadResult::Incomplete : LoadResult::Ok;
}

void MemoryDownload::transfer(LoggerMemory& memory)
{
    MeterClock& clock = port_.clock();
    QByteArray& image = memory.memoryImage();
    auto activity = clock.now();
    auto current = activity;
    while (std::chrono::duration<double>(current - activity).count() < SilenceSeconds) {
        if (report_.receivedBytes > report_.totalBytes || report_.retries > MaxRetries) {
            port_.setLetter(QuitLetter);
            port_.writeFrame();
            report_.quitSent = true;
            break;
        }
        if (!port_.isOpen())
            break;
        const int waiting = port_.inputCount();
        if (waiting >= BlockSize) {
            const QByteArray block = port_.read(BlockSize);
            if (block.size() < BlockSize)
                break;
            image.append(block.constData(), BlockData);
            report_.receivedBytes += BlockData;
            const quint8 sum =
                std::accumulate(block.cbegin(), block.cbegin() + BlockData, quint8(0),
                                [](quint8 s, char b) { return quint8(s + quint8(b)); });
            if (sum == quint8(block.at(BlockData))) {
                acceptBlock();
            } else {
                ++report_.retries;
                ui_.repaintTransferProgress();
                port_.setLetter(RejectLetter);
                port_.writeFrame();
                image.chop(BlockData);
                report_.receivedBytes -= BlockData;
            }
            activity = clock.now();
        } else if (waiting >= 1 &&
                   std::chrono::duration<double>(current - activity).count() > FragmentAgeSeconds) {
            (void)port_.discardWaiting();
            ++report_.retries;
            ui_.repaintTransferProgress();
            port_.setLetter(RejectLetter);
            port_.writeFrame();
            activity = clock.now();
        } else {
            // Nothing to do until more bytes come; do not spin the processor.
            clock.Delay(1);
        }
        current = clock.now();
    }
}

void MemoryDownload::acceptBlock()
{
    MeterClock& clock = port_.clock();
    for (int attempt = 0; attempt < AckAttempts; ++attempt) {
        port_.setLetter(AcceptLetter);
        port_.writeFrame();
        clock.Delay(AckWaitMs);
        if (port_.inputCount() > 0)
            break;
    }
    ui_.setBytesReceived(report_.receivedBytes);
}
