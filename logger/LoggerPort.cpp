#include "logger/LoggerPort.h"

#include "logger/PortActions.h"
#include "meter/MeterLink.h"

#include <QCoreApplication>

#include <algorithm>

namespace {
using PortActions::quietly;
using PortActions::waitWhile;
} // namespace

LoggerPort::LoggerPort(MeterLink& link) : link_(link) {}

MeterClock& LoggerPort::clock()
{
    return link_.clock();
}

TComPort& LoggerPort::port()
{
    return link_.Comm2();
}

void LoggerPort::setMemoryCommand(char letter, quint32 address, quint8 data)
{
    frame_.setLetter(letter);
    frame_.setParameter(2, quint8(MemorySubCommand));
    frame_.setParameter(3, quint8(address >> 16));
    frame_.setParameter(4, quint8(address >> 8));
    frame_.setParameter(5, quint8(address));
    frame_.setParameter(6, data);
}

bool LoggerPort::isOpen() const
{
    return link_.Comm2().Active();
}

bool LoggerPort::sendChecked()
{
    if (!isOpen())
        return false;
    for (int attempt = 0; attempt < EchoAttempts; ++attempt) {
        bool matched = false;
        const bool ran = quietly([&] {
            port().PurgeInput();
            port().Write(frame_.data(), CommandFrame::Size, false);
            clock().Delay(EchoWaitMs);
            if (port().InputCount() < CommandFrame::Size)
                return;
            char echo[CommandFrame::Size] = {};
            const int got = port().Read(echo, CommandFrame::Size, false);
            matched = got == CommandFrame::Size &&
                      std::equal(echo, echo + CommandFrame::Size,
                                 reinterpret_cast<const char*>(frame_.data()));
        });
        if (!ran)
            return false;
        if (matched)
            return true;
    }
    return false;
}

void LoggerPort::writeFrame()
{
    (void)quietly([&] { port().Write(frame_.data(), CommandFrame::Size, false); });
}

int LoggerPort::inputCount()
{
    int count = 0;
    (void)quietly([&] { count = port().InputCount(); });
    return count;
}

QByteArray LoggerPort::read(int count)
{
    QByteArray bytes(count, '\0');
    int got = 0;
    (void)quietly([&] { got = port().Read(bytes.data(), count, false); });
    bytes.truncate(std::max(0, got));
    return bytes;
}

int LoggerPort::discardWaiting()
{
    int dropped = 0;
    for (int waiting = inputCount(); waiting > 0; waiting = inputCount()) {
        const int got = int(read(waiting).size());
        if (got == 0)
            break;
        dropped += got;
    }
    return dropped;
}

void LoggerPort::takeOver()
{
    MeterLink& link = link_;
    waitWhile(
        clock(), [&] { return link.TickBusy(); }, -1);
    link.MainTimer().stop();
    TComPort& comm1 = link.Comm1();
    (void)quietly([&] {
        if (comm1.Active())
            comm1.Write(link.liveCommandFrame().data(), CommandFrame::Size, false);
    });
    waitWhile(
        clock(), [&] { return link.RxBusy(); }, RxBusyLimitMs);
    (void)quietly([&] {
        if (comm1.Active())
            comm1.ResetDevice();
    });
    (void)quietly([&] { comm1.setActive(false); });
    closeLoggerPort();
    TComPort& comm2 = port();
    (void)quietly([&] {
        comm2.setDeviceName(comm1.DeviceName());
        comm2.setOnRxChar(nullptr);
        comm2.setActive(true);
    });
}

void LoggerPort::closeLoggerPort()
{
    (void)quietly([&] { port().setActive(false); });
}

void LoggerPort::openLivePort()
{
    (void)quietly([&] { link_.Comm1().setActive(true); });
}

void LoggerPort::giveBack()
{
    closeLoggerPort();
    clock().Delay(100);
    openLivePort();
    clock().Delay(100);
    link_.MainTimer().start();
}
