#include "tools/cli/LoggerMeterConnection.h"

#include "meter/MeterLink.h"
#include "serial/TComPort.h"
#include "tools/cli/PortSearchReport.h"

#include <QEventLoop>
#include <QTextStream>
#include <QTimer>

namespace LoggerMeterConnection {

namespace {
// The meter starts its stream on "a" and sends a frame every few hundred
// milliseconds; a slow, loaded machine may take seconds before the first
// one is decoded. The tick gives a silent link up after 3 s, so this waits
// for several of those periods, asking for the stream again now and then.
constexpr int firstFrameWaitMs = 12000;
constexpr int streamRequestEveryMs = 3000;

bool waitForLiveFrame(MeterLink& link)
{
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    QTimer again;
    QObject::connect(&again, &QTimer::timeout, &link, [&link] {
        try {
            if (link.Comm1().Active() && !link.RecordingKnown())
                link.sendCommand(CommandLetter::StartLive);
        } catch (...) {
        }
    });
    QObject::connect(&link, &MeterLink::frameAnswered, &loop, [&loop, &link] {
        if (link.RecordingKnown())
            loop.quit();
    });
    limit.start(firstFrameWaitMs);
    again.start(streamRequestEveryMs);
    if (!link.RecordingKnown())
        loop.exec();
    return link.RecordingKnown();
}
} // namespace

bool connect(MeterLink& link, const QStringList& requestedPorts, QTextStream& err,
             Verbosity verbosity)
{
    QStringList ports = requestedPorts;
    if (ports.isEmpty())
        TComPort::EnumComPorts(ports);
    if (ports.isEmpty()) {
        err << "audimark-cli: no serial ports found\n";
        return false;
    }
    if (verbosity == Verbosity::Verbose)
        err << "Searching for the meter on " << ports.join(QStringLiteral(", ")) << Qt::endl;
    link.setPortList(ports);
    if (!link.searchPorts()) {
        PortSearchReport::write(err, ports);
        return false;
    }
    if (link.MeterModel() != 842) {
        err << "audimark-cli: the model " << link.MeterModel() << " has no data logger\n";
        return false;
    }
    if (verbosity != Verbosity::Quiet)
        err << "Model 842 on " << link.portName() << Qt::endl;
    link.startLiveLink();
    if (!waitForLiveFrame(link))
        err << "audimark-cli: no live frame from the meter: whether it records is unknown"
            << Qt::endl;
    return true;
}

} // namespace LoggerMeterConnection
