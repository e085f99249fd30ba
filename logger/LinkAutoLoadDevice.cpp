#include "logger/LinkAutoLoadDevice.h"

#include "logger/LoggerPort.h"
#include "logger/PortActions.h"
#include "meter/MeterLink.h"
#include "serial/ComErrors.h"

LinkAutoLoadDevice::LinkAutoLoadDevice(LoggerPort& port, MemoryDownload& download)
    : port_(port), download_(download), setup_(port)
{
}

bool LinkAutoLoadDevice::meterRecording() const
{
    return port_.link().MeterRecording();
}

bool LinkAutoLoadDevice::recordingKnown() const
{
    return port_.link().RecordingKnown();
}

bool LinkAutoLoadDevice::awaitFreshFrames(int limitMs)
{
    MeterLink& link = port_.link();
    // The cycle may run inside the tick: no second tick meanwhile.
    QTimer& timer = link.MainTimer();
    const bool ticking = timer.isActive();
    timer.stop();
    int frames = 0;
    const QMetaObject::Connection counting =
        QObject::connect(&link, &MeterLink::frameAnswered, [&frames] { ++frames; });
    PortActions::waitWhile(
        link.clock(), [&frames] { return frames < 2; }, limitMs);
    QObject::disconnect(counting);
    if (ticking)
        timer.start();
    return frames >= 2 && link.RecordingKnown();
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

void LinkAutoLoadDevice::writeLive(const QByteArray& frame)
{
    TComPort& comm1 = port_.link().Comm1();
    try {
        if (comm1.Active())
            comm1.Write(frame.constData(), int(frame.size()), false);
    } catch (const EAbort&) {
    } catch (const EComError&) {
    }
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

void LinkAutoLoadDevice::writeLogger(const QByteArray& frame)
{
    setup_.write(frame);
}

std::optional<int> LinkAutoLoadDevice::readStoredSetCount()
{
    const std::optional<ControlPage> page = setup_.readControlPage();
    if (!page)
        return std::nullopt;
    return page->dataSets();
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
