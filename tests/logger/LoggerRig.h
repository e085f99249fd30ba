#pragma once

// The program's logger side against an in-process virtual meter on a
// pseudo-terminal: the meter link found the meter and runs its live stream,
// and the logger port, download and load command sit on top of it.

#include "data/DataSetCollection.h"
#include "data/LoggerMemory.h"
#include "logger/LoggerLoad.h"
#include "logger/LoggerPort.h"
#include "logger/MemoryDownload.h"
#include "logger/ScriptedLoggerUi.h"
#include "logger/SettlingPeer.h"
#include "meter/MeterLink.h"
#include "tools/virtual-meter/LoggerImageBuilder.h"
#include "tools/virtual-meter/VirtualMeter.h"

#include <memory>

class LoggerRig
{
public:
    LoggerRig(vmeter::VirtualMeterOptions options, MeterClock& clock)
        : meter(std::make_unique<vmeter::VirtualMeter>(withFast(options))), link(clock), port(link),
          download(port, ui), load(port, memory, collection, ui)
    {
        // Shortened waits assume a meter that answers at once.
        SettlingPeer::attach(clock, link, meter);
    }

    // Starts the meter, finds it and starts the live stream.
    [[nodiscard]] bool connect()
    {
        if (!meter->start())
            return false;
        link.setPortList({meter->slavePath()});
        if (!link.searchPorts())
            return false;
        link.startLiveLink();
        return link.Comm1().Active();
    }

    // The letters of the frames the meter received after the first `from`.
    [[nodiscard]] QByteArray letters(qsizetype from = 0) const
    {
        QByteArray out;
        const auto frames = meter->receivedFrames();
        for (qsizetype i = from; i < frames.size(); ++i)
            out.append(frames.at(i).bytes.at(1));
        return out;
    }
    [[nodiscard]] QList<QByteArray> frames() const
    {
        QList<QByteArray> out;
        for (const auto& record : meter->receivedFrames())
            out.append(record.bytes);
        return out;
    }
    [[nodiscard]] bool liveLinkBack()
    {
        return link.Comm1().Active() && !link.Comm2().Active() && link.MainTimer().isActive();
    }

    std::unique_ptr<vmeter::VirtualMeter> meter;
    MeterLink link;
    LoggerPort port;
    ScriptedLoggerUi ui;
    LoggerMemory memory;
    DataSetCollection collection;
    MemoryDownload download;
    LoggerLoad load;

private:
    static vmeter::VirtualMeterOptions withFast(vmeter::VirtualMeterOptions options)
    {
        options.fast = true;
        return options;
    }
};

// Options for a meter whose logger holds this memory.
inline vmeter::VirtualMeterOptions meterWithMemory(const QByteArray& memory)
{
    vmeter::VirtualMeterOptions options;
    options.protocol.logger.memory = memory;
    return options;
}

// Puts one setup fault into the meter, named as the data-driven tests name
// them: "noEcho", "wrongEcho" or "shortReply" of the command `name`,
// "noInfoBlock" or "ignoreErase".
inline void addSetupFault(vmeter::VirtualMeterOptions& options, const QString& kind,
                          const QString& name)
{
    vmeter::SetupFaults& f = options.protocol.setup.faults;
    if (kind == QLatin1String("noEcho"))
        f.noEcho.insert(name);
    else if (kind == QLatin1String("wrongEcho"))
        f.wrongEcho.insert(name);
    else if (kind == QLatin1String("shortReply"))
        f.shortReply.insert(name);
    else if (kind == QLatin1String("noInfoBlock"))
        f.noInfoBlock = true;
    else if (kind == QLatin1String("ignoreErase"))
        f.ignoreErase = true;
    else
        qFatal("unknown setup fault %s", qPrintable(kind));
}

// A logger memory whose used size is exactly `usedSize` bytes, filled with
// a recognisable pattern after the control page.
inline QByteArray memoryOfUsedSize(int usedSize)
{
    vmeter::LoggerImageBuilder builder;
    QByteArray image = builder.image();
    for (int i = 256; i < image.size(); ++i)
        image[i] = char(i * 7 + i / 256);
    vmeter::LoggerImageBuilder::writeControlPage(image, 0, usedSize - 1);
    return image;
}
