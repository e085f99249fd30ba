#include "tools/cli/LiveCommand.h"

#include "meter/MeterLink.h"
#include "tools/cli/InterruptWatcher.h"
#include "tools/cli/LiveReadingPrinter.h"
#include "tools/cli/PortSearchReport.h"

#include <QCoreApplication>
#include <QTextStream>

#include <chrono>
#include <utility>

int runLiveCommand(const LiveOptions& options)
{
    QTextStream out(stdout);
    QTextStream err(stderr);

    QStringList ports = options.ports;
    if (ports.isEmpty())
        TComPort::EnumComPorts(ports);
    if (ports.isEmpty()) {
        err << "audimark-cli: no serial ports found\n";
        return 1;
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
    // The tick declares the link lost every third silent tick; one line per
    // loss is enough.
    bool lossReported = false;
    QObject::connect(&link, &MeterLink::linkLost, &link, [&] {
        if (std::exchange(lossReported, true))
            return;
        err << "audimark-cli: meter stopped answering on " << link.portName() << '\n';
        err.flush();
    });
    QObject::connect(&link, &MeterLink::statusChanged, &link,
                     [&](const QString&, const QString& status) {
                         if (status != LinkStatus::On || !std::exchange(lossReported, false))
                             return;
                         err << "audimark-cli: meter back on " << link.portName() << '\n';
                         err.flush();
                     });

    MeterClock::TimePoint lastReading = link.clock().now();
    QObject::connect(&link, &MeterLink::frameAnswered, &link,
                     [&] { lastReading = link.clock().now(); });
    int status = 0;
    QObject::connect(&link.MainTimer(), &QTimer::timeout, &link, [&] {
        const auto silent = link.clock().now() - lastReading;
        if (options.giveUpAfterSeconds <= 0 ||
            silent < std::chrono::seconds(options.giveUpAfterSeconds))
            return;
        err << "audimark-cli: no reading from the meter on " << link.portName() << " for "
            << options.giveUpAfterSeconds << " s"
            << (link.Comm1().Active() ? "" : " (the port is gone)") << ", giving up\n";
        err.flush();
        status = 1;
        link.setPanel(nullptr);
        link.stopLiveLink();
        QCoreApplication::quit();
    });
    InterruptWatcher interrupt;
    QObject::connect(&interrupt, &InterruptWatcher::interrupted, &link, [&] {
        link.setPanel(nullptr);
        link.stopLiveLink();
        QCoreApplication::quit();
    });

    link.startLiveLink();
    QCoreApplication::exec();
    return status;
}
