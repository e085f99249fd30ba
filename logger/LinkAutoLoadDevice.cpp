#include "logger/LinkAutoLoadDevice.h"

#include "logger/LoggerPort.h"
#include "meter/MeterLink.h"
#include "serial/ComErrors.h"

namespace {
constexpr char ReadLetter = 'r';
constexpr quint32 SetCountHigh = 0x09;
constexpr quint32 SetCountLow = 0x0A;

void writeQuietly(TComPort& port, const CommandFrame& frame)
{
    try {
        if (port.Active())
            port.Write(frame.data(), CommandFrame::Size, false);
    } catch (const EAbort&) {
    } catch (const EComError&) {
    }
}
} // namespace

LinkAutoLoadDevice::LinkAutoLoadDevice(LoggerPort& port, MemoryDownload& download)
    : port_(port), download_(download)
{
}

bool LinkAutoLoadDevice::meterRecording() const
{
    return port_.link().MeterRecording();
}

bool LinkAutoLoadDevice::deviceLent() const
{
    // A logger command has the device while its port is open, or while the
    // live port is closed and the tick stopped (a command with a port of its
    // own). A live port lost with the tick running is no command's: the
    // cycle runs and fails on its own.
    MeterLink& link = port_.link();
    return port_.isOpen() || (!link.Comm1().Active() && !link.MainTimer().isActive());
}

void LinkAutoLoadDevice::writeLive(char letter)
{
    writeQuietly(port_.link().Comm1(), CommandFrame(letter));
}

void LinkAutoLoadDevice::releaseTick()
{
    port_.link().clearTickBusy();
}

LoadResult LinkAutoLoadDevice::downloadMemory(LoggerMemory& memory)
{
    return download_.downloadMemory(memory);
}

TransferReport LinkAutoLoadDevice::lastTransfer() const
{
    return download_.lastTransfer();
}

void LinkAutoLoadDevice::writeLogger(const CommandFrame& frame)
{
    writeQuietly(port_.port(), frame);
}

std::optional<int> LinkAutoLoadDevice::readControlByte(quint32 address)
{
    port_.setMemoryCommand(ReadLetter, address, 0x00);
    if (!port_.sendChecked() || port_.inputCount() != 1)
        return std::nullopt;
    const QByteArray reply = port_.read(1);
    if (reply.size() != 1)
        return std::nullopt;
    return quint8(reply.at(0));
}

std::optional<int> LinkAutoLoadDevice::readStoredSetCount()
{
    const std::optional<int> high = readControlByte(SetCountHigh);
    if (!high)
        return std::nullopt;
    const std::optional<int> low = readControlByte(SetCountLow);
    if (!low)
        return std::nullopt;
    return *high * 256 + *low;
}

void LinkAutoLoadDevice::closeLoggerPort()
{
    port_.closeLoggerPort();
}

void LinkAutoLoadDevice::openLivePort()
{
    port_.openLivePort();
}

void LinkAutoLoadDevice::startMainTimer()
{
    port_.link().MainTimer().start();
}
