#include "tools/cli/PortSearchReport.h"

#include "serial/TComPort.h"

namespace PortSearchReport {

QString openFailure(const QString& port)
{
    TComPort probe;
    try {
        probe.setDeviceName(port);
        probe.setActive(true);
        probe.setActive(false);
    } catch (const EComError& error) {
        return error.message();
    } catch (const EAbort&) {
        return QStringLiteral("aborted");
    }
    return {};
}

void write(QTextStream& err, const QStringList& ports)
{
    QStringList silent;
    for (const QString& port : ports) {
        const QString failure = openFailure(port);
        if (failure.isEmpty())
            silent << port;
        else
            err << "audimark-cli: cannot open " << port << ": " << failure << '\n';
    }
    if (!silent.isEmpty())
        err << "audimark-cli: no meter answered on " << silent.join(QStringLiteral(", ")) << '\n';
    err.flush();
}

} // namespace PortSearchReport
