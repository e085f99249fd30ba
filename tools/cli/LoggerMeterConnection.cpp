#include "tools/cli/LoggerMeterConnection.h"

#include "meter/MeterLink.h"
#include "serial/TComPort.h"
#include "tools/cli/PortSearchReport.h"

#include <QEventLoop>
#include <QTextStream>
#include <QTimer>

namespace LoggerMeterConnection {

namespace {
constexpr int firstFrameWaitMs = 3000;

void waitForLiveFrame(MeterLink& link)
{
    QEventLoop loop;
    QTimer::singleShot(firstFrameWaitMs, &loop, &QEventLoop::quit);
    QObject::connect(&link, &MeterLink::frameAnswered, &loop, &QEventLoop::quit);
    loop.exec();
}
} // namespace

bool connect(MeterLink& link, const QStringList& requestedPorts, QTextStream& err)
{
    QStringList ports = requestedPorts;
    if (ports.isEmpty())
        TComPort::EnumComPorts(ports);
    if (ports.isEmpty()) {
        err << "audimark-cli: no serial ports found\n";
        return false;
    }
    link.setPortList(ports);
    if (!link.searchPorts()) {
        PortSearchReport::write(err, ports);
        return false;
    }
    if (link.MeterModel() != 842) {
        err << "audimark-cli: the model " << link.MeterModel() << " has no data logger\n";
        return false;
    }
    err << "Model 842 on " << link.portName() << Qt::endl;
    link.startLiveLink();
    waitForLiveFrame(link);
    return true;
}

} // namespace LoggerMeterConnection
