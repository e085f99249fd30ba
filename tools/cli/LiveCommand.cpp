#include "tools/cli/LiveCommand.h"

#include "meter/MeterLink.h"
#include "tools/cli/InterruptWatcher.h"
#include "tools/cli/LiveReadingPrinter.h"
#include "tools/cli/PortSearchReport.h"

#include <QCoreApplication>
#include <QTextStream>

int runLiveCommand(const LiveOptions& options)
{
    QTextStream out(stdout);
    QTextStream err(stderr);

    QStringList ports = options.ports;
    if (ports.isEmpty())
        TComPort::EnumComPorts(ports);
    if (ports.isEmpty()) {
        err << "audimark-cli: no serial ports found\n";
        return 2;
    }

    MeterLink link;
    link.setPortList(ports);
    if (!link.searchPorts()) {
        PortSearchReport::write(err, ports);
        return 1;
    }
    err << "Model " << link.MeterModel() << " on " << link.portName() << '\n';
    err.flush();

    LiveReadingPrinter printer(out, options.csv ? LiveReadingPrinter::Format::Csv
                                                : LiveReadingPrinter::Format::Text,
                               link.MeterModel());
    printer.printHeader();
    link.setPanel(&printer);

    QObject::connect(&link, &MeterLink::frameAnswered, &link, [&] {
        // Stop right after the last wanted frame was answered, so the meter
        // sees exactly one "X" per printed reading.
        if (options.count > 0 && printer.printed() >= options.count) {
            link.setPanel(nullptr);
            link.stopLiveLink();
            QCoreApplication::quit();
        }
    });
    QObject::connect(&link, &MeterLink::linkLost, &link, [&] {
        err << "audimark-cli: meter stopped answering on " << link.portName() << '\n';
        err.flush();
    });
    InterruptWatcher interrupt;
    QObject::connect(&interrupt, &InterruptWatcher::interrupted, &link, [&] {
        link.setPanel(nullptr);
        link.stopLiveLink();
        QCoreApplication::quit();
    });

    link.startLiveLink();
    QCoreApplication::exec();
    return 0;
}
