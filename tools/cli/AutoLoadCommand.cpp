#include "tools/cli/AutoLoadCommand.h"

#include "app/DataDirectory.h"
#include "data/LoggerMemory.h"
#include "logger/AutoLoadCycle.h"
#include "logger/AutoLoadSchedule.h"
#include "logger/DateTimeValue.h"
#include "logger/LinkAutoLoadDevice.h"
#include "logger/LoggerPort.h"
#include "logger/MemoryDownload.h"
#include "logger/SetupFrames.h"
#include "meter/MeterLink.h"
#include "tools/cli/ConsoleLoggerUi.h"
#include "tools/cli/InterruptWatcher.h"
#include "tools/cli/PortSearchReport.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QTextStream>
#include <QTimer>

namespace {
constexpr int firstFrameWaitMs = 3000;

// Lets the live stream deliver a frame, so that the recording flag is known.
void waitForLiveFrame(MeterLink& link)
{
    QEventLoop loop;
    QTimer::singleShot(firstFrameWaitMs, &loop, &QEventLoop::quit);
    QObject::connect(&link, &MeterLink::frameAnswered, &loop, &QEventLoop::quit);
    loop.exec();
}

int statusOf(const AutoLoadOutcome& outcome)
{
    switch (outcome.result) {
    case AutoLoadOutcome::Result::Emptied:
        return 0;
    case AutoLoadOutcome::Result::EraseUnconfirmed:
        return AutoLoadEraseUnconfirmed;
    case AutoLoadOutcome::Result::NothingErased:
    case AutoLoadOutcome::Result::Skipped:
        break;
    }
    return AutoLoadNothingErased;
}

QString timeText(const QDateTime& when)
{
    const QLocale locale;
    return locale.toString(when.date(), DateTimeValue::fourDigitYearShortDateFormat(locale)) +
           QLatin1Char(' ') + when.time().toString(QStringLiteral("HH:mm:ss"));
}

// Runs one cycle and reports it; returns its exit status.
int reportedCycle(AutoLoadCycle& cycle, QTextStream& out, QTextStream& err)
{
    const AutoLoadOutcome outcome = cycle.dumpAndClearMemory();
    out << AutoLoadLog::line(outcome) << Qt::endl;
    if (!outcome.reason.isEmpty())
        err << "audimark-cli: " << AutoLoadLog::resultText(outcome.result) << ": " << outcome.reason
            << Qt::endl;
    if (!outcome.logError.isEmpty())
        err << "audimark-cli: cannot write " << AutoLoadLog::FileName << ": " << outcome.logError
            << Qt::endl;
    return statusOf(outcome);
}
} // namespace

QString programDataDirectory()
{
    // The windowed program's names decide its data location; this program
    // has names of its own, lent back once the directory is known.
    const QString organization = QCoreApplication::organizationName();
    const QString application = QCoreApplication::applicationName();
    QCoreApplication::setOrganizationName(QStringLiteral("RX840"));
    QCoreApplication::setApplicationName(QStringLiteral("Audimark"));
    const QString directory = DataDirectory::choose(QString());
    QCoreApplication::setOrganizationName(organization);
    QCoreApplication::setApplicationName(application);
    return directory;
}

int runAutoLoadCommand(const AutoLoadOptions& options)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QString directory = options.directory.isEmpty() ? programDataDirectory()
                                                          : QDir(options.directory).absolutePath();

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
    if (link.MeterModel() != 842) {
        err << "audimark-cli: the model " << link.MeterModel() << " has no data logger\n";
        return 1;
    }
    err << "Model 842 on " << link.portName() << Qt::endl;
    link.startLiveLink();
    waitForLiveFrame(link);

    LoggerPort port(link);
    LoggerMemory memory;
    ConsoleLoggerUi ui(err, {});
    MemoryDownload download(port, ui);
    LinkAutoLoadDevice device(port, download);
    AutoLoadCycle cycle(device, memory, link.clock());
    cycle.setDataDirectory(directory);
    err << "Files and " << AutoLoadLog::FileName << " go to " << QDir::toNativeSeparators(directory)
        << Qt::endl;

    if (options.once) {
        const int status = reportedCycle(cycle, out, err);
        link.stopLiveLink();
        return status;
    }

    AutoLoadSchedule schedule;
    schedule.start(options.everyHours, link.clock().currentDateTime());
    if (!device.meterRecording())
        device.writeLive(SetupFrames::recordKey());
    err << "Auto loading every " << options.everyHours << " h; next cycle "
        << timeText(schedule.NextAutoLoad()) << "; Ctrl-C stops" << Qt::endl;

    int status = 0;
    link.setAutoLoadCheck([&](const QDateTime& now) {
        if (!schedule.takeDue(now, link.MeterConnected()))
            return;
        status = std::max(status, reportedCycle(cycle, out, err));
        err << "Next cycle " << timeText(schedule.NextAutoLoad()) << Qt::endl;
    });
    InterruptWatcher interrupt;
    QObject::connect(&interrupt, &InterruptWatcher::interrupted, &link,
                     [] { QCoreApplication::quit(); });
    QCoreApplication::exec();
    link.setAutoLoadCheck({});
    link.stopLiveLink();
    return status;
}
