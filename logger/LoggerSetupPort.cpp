#include "logger/LoggerSetupPort.h"

#include "logger/LoggerPort.h"
#include "logger/PortActions.h"
#include "logger/SetupFrames.h"
#include "meter/MeterLink.h"
#include "serial/ComErrors.h"

#include <QCoreApplication>

#include <numeric>

namespace {
using PortActions::quietly;
using PortActions::waitWhile;

bool allBcd(const QByteArray& bytes, std::initializer_list<int> positions)
{
    for (int at : positions) {
        if (SetupFrames::fromBcd(quint8(bytes.at(at))) < 0)
            return false;
    }
    return true;
}

quint8 checkSum(const QByteArray& bytes, int count)
{
    return std::accumulate(bytes.cbegin(), bytes.cbegin() + count, quint8(0),
                           [](quint8 s, char b) { return quint8(s + quint8(b)); });
}
} // namespace

LoggerSetupPort::LoggerSetupPort(LoggerPort& port) : port_(port) {}

MeterClock& LoggerSetupPort::clock()
{
    return port_.clock();
}

MeterLink& LoggerSetupPort::link()
{
    return port_.link();
}

bool LoggerSetupPort::isOpen() const
{
    return port_.isOpen();
}

bool LoggerSetupPort::connectLoggerPort()
{
    MeterLink& meterLink = link();
    for (int attempt = 0; attempt < TakeOverAttempts; ++attempt) {
        waitWhile(
            clock(), [&] { return meterLink.TickBusy(); }, BusyLimitMs);
        meterLink.MainTimer().stop();
        waitWhile(
            clock(), [&] { return meterLink.RxBusy(); }, BusyLimitMs);
        TComPort& comm1 = meterLink.Comm1();
        if (!quietly([&] { comm1.setActive(false); }))
            continue;
        clock().Delay(TakeOverSettleMs);
        port_.closeLoggerPort();
        TComPort& comm2 = port_.port();
        (void)quietly([&] {
            comm2.setDeviceName(comm1.DeviceName());
            comm2.setOnRxChar(nullptr);
            comm2.setActive(true);
        });
        if (isOpen())
            return true;
    }
    return false;
}

void LoggerSetupPort::write(const QByteArray& frame)
{
    (void)quietly([&] {
        if (isOpen())
            port_.port().Write(frame.constData(), int(frame.size()), false);
    });
}

void LoggerSetupPort::purge()
{
    (void)quietly([&] {
        port_.port().PurgeInput();
        port_.port().PurgeOutput();
    });
}

void LoggerSetupPort::purgeInput()
{
    (void)quietly([&] { port_.port().PurgeInput(); });
}

int LoggerSetupPort::inputCount()
{
    return port_.inputCount();
}

QByteArray LoggerSetupPort::read(int count)
{
    return port_.read(count);
}

int LoggerSetupPort::waitForBytes(int count, int limitMs)
{
    const auto start = clock().now();
    int waiting = inputCount();
    while (waiting < count && isOpen() && clock().secondsSince(start) * 1000.0 < limitMs) {
        clock().Delay(1);
        waiting = inputCount();
    }
    return waiting;
}

bool LoggerSetupPort::sendAndVerify(const QByteArray& frame)
{
    if (!isOpen())
        return false;
    int waiting = 0;
    for (int attempt = 0; attempt < EchoAttempts && waiting < SetupFrames::Size; ++attempt) {
        write(frame);
        waiting = waitForBytes(SetupFrames::Size, ReplyLimitMs);
    }
    if (waiting < SetupFrames::Size)
        return false;
    return read(SetupFrames::Size) == frame;
}

void LoggerSetupPort::enterLoggerMode()
{
    clock().Delay(StepDelayMs);
    write(SetupFrames::c());
    clock().Delay(StepDelayMs);
    purge();
}

LoggerInformation LoggerSetupPort::readInformation()
{
    write(SetupFrames::firmware());
    return readInformationAfterFirmwareRequest();
}

LoggerInformation LoggerSetupPort::readInformationAfterFirmwareRequest()
{
    LoggerInformation info;
    if (waitForBytes(FirmwareReplySize, ReplyLimitMs) != FirmwareReplySize)
        return info;
    const QByteArray version = read(FirmwareReplySize);
    // Garbage of the right length is no firmware version.
    if (version.size() != FirmwareReplySize ||
        version.left(SetupFrames::Size) != SetupFrames::firmware())
        return info;
    info.firmware = std::uint8_t(version.at(SetupFrames::Size));

    write(SetupFrames::meterTime());
    if (waitForBytes(ClockReplySize, ReplyLimitMs) != ClockReplySize)
        return info;
    const QByteArray time = read(ClockReplySize);
    if (time.size() != ClockReplySize || !allBcd(time, {0, 2, 3, 4, 5, 6}))
        return info;
    info.meterClock = time;

    info.controlPage = readControlPage();
    return info;
}

std::optional<ControlPage> LoggerSetupPort::readControlPage()
{
    if (!sendAndVerify(SetupFrames::informationStart()))
        return std::nullopt;
    std::optional<ControlPage> page;
    for (int attempt = 0; attempt < BlockAttempts && !page; ++attempt) {
        if (attempt > 0) {
            purgeInput();
            if (!sendAndVerify(SetupFrames::informationStart()))
                continue;
        }
        if (waitForBytes(BlockSize, ReplyLimitMs) != BlockSize)
            continue;
        const QByteArray block = read(BlockSize);
        // A damaged block would mislead the memory test and the erase check.
        if (block.size() == BlockSize &&
            checkSum(block, ControlPage::Size) == quint8(block.at(ControlPage::Size)))
            page = ControlPage{block.left(ControlPage::Size)};
    }
    write(SetupFrames::informationStop());
    clock().Delay(StepDelayMs);
    purgeInput();
    return page;
}

bool LoggerSetupPort::eraseMemory()
{
    write(SetupFrames::erase());
    clock().Delay(EraseSettleMs);
    purge();
    const std::optional<ControlPage> page = readControlPage();
    return page && page->dataSets() == 0;
}

void LoggerSetupPort::boot()
{
    write(SetupFrames::boot());
}

void LoggerSetupPort::pressRecordKey()
{
    write(SetupFrames::recordKey());
}

void LoggerSetupPort::restore(int settleMs)
{
    port_.closeLoggerPort();
    if (settleMs > 0)
        clock().Delay(settleMs);
    port_.openLivePort();
    MeterLink& meterLink = link();
    meterLink.MainTimer().start();
    (void)quietly([&] {
        if (meterLink.Comm1().Active())
            meterLink.sendCommand(CommandLetter::StartLive);
    });
}
