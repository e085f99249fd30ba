#include "tools/cli/AutoLoadCommand.h"

#include "data/DataDirectory.h"
#include "data/DataSetCollection.h"
#include "data/LoggerMemory.h"
#include "logger/AutoLoadCycle.h"
#include "logger/AutoLoadSchedule.h"
#include "logger/DateTimeValue.h"
#include "logger/LinkAutoLoadDevice.h"
#include "logger/LoggerPort.h"
#include "logger/MemoryDownload.h"
#include "logger/RecordDecoder.h"
#include "logger/SetupFrames.h"
#include "meter/MeterLink.h"
#include "logger/KeepingAutoLoadDevice.h"
#include "tools/cli/ConsoleLoggerUi.h"
#include "tools/cli/InterruptWatcher.h"
#include "tools/cli/LoggerMeterConnection.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QTextStream>
#include <QTimer>

namespace {

int statusOf(const AutoLoadOutcome& outcome)
{
    switch (outcome.result) {
    case AutoLoadOutcome::Result::Emptied:
        // Emptied, but the meter did not come back to recording.
        return outcome.reason.isEmpty() ? 0 : AutoLoadNotRecordingAgain;
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
int reportedCycle(AutoLoadCycle& cycle, QTextStream& out, QTextStream& err, Verbosity verbosity,
                  const QString& directory)
{
    const AutoLoadOutcome outcome = cycle.dumpAndClearMemory();
    out << AutoLoadLog::line(outcome) << Qt::endl;
    if (verbosity == Verbosity::Verbose)
        for (const QString& file : outcome.files)
            err << "Wrote " << QDir::toNativeSeparators(QDir(directory).filePath(file))
                << Qt::endl;
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

    // Opened at the start to warn at once; a schedule that runs for days
    // opens it again at the next cycle after a failure (a server restarted).
    const bool archiveWanted = !CliArchive::locationText(options.archive).isEmpty();
    std::unique_ptr<Archive> archive = CliArchive::openOrWarn(options.archive, err);
    MeterLink link;
    if (!LoggerMeterConnection::connect(link, options.ports, err, options.verbosity))
        return 1;

    LoggerPort port(link);
    LoggerMemory memory;
    const bool quiet = options.verbosity == Verbosity::Quiet;
    ConsoleLoggerUi ui(err, {}, progressStyleFor(options.verbosity, standardErrorIsTerminal()),
                       !quiet);
    MemoryDownload download(port, ui);
    LinkAutoLoadDevice device(port, download);
    // The memory goes to the archive as soon as it is read, before the erase.
    KeepingAutoLoadDevice archivingDevice(device, [&](const LoggerMemory& downloaded) {
        if (!archiveWanted)
            return;
        if (!archive && !options.once)
            archive = CliArchive::openOrWarn(options.archive, err);
        else if (!options.once)
            (void)CliArchive::preferServer(archive, options.archive, err, quiet);
        if (!archive)
            return;
        LoggerMemory decoded;
        decoded.memoryImage() = downloaded.memoryImage();
        decoded.setMemoryEnd(downloaded.memoryEnd());
        DataSetCollection collection;
        if (decodeImage(decoded, collection, link.clock().currentDateTime()) != LoadResult::Ok) {
            if (!archive->storeMemoryImage(downloaded.memoryImage())) {
                err << "audimark-cli: warning: " << CliArchive::oneLine(archive->lastError())
                    << Qt::endl;
                archive.reset();
            }
            return;
        }
        const LoggerImageSource source{MeasurementKind::AutoLoad,
                                       LoggerImageArchiver::meterModelName(link.MeterModel()),
                                       link.Comm1().DeviceName(), QString()};
        if (!CliArchive::storeLoggerImage(archive, options.archive, downloaded.memoryImage(),
                                          collection, source, err, quiet))
            archive.reset();
    });
    AutoLoadCycle cycle(archivingDevice, memory, link.clock());
    cycle.setDataDirectory(directory);
    if (!quiet)
        err << "Files and " << AutoLoadLog::FileName << " go to "
            << QDir::toNativeSeparators(directory) << Qt::endl;

    if (options.once) {
        const int status = reportedCycle(cycle, out, err, options.verbosity, directory);
        link.stopLiveLink();
        return status;
    }

    AutoLoadSchedule schedule;
    schedule.start(options.everyHours, link.clock().currentDateTime());
    // The key toggles: pressed only on a meter its frames show idle.
    const bool known =
        device.recordingKnown() || device.awaitFreshFrames(AutoLoadCycle::FreshFramesLimitMs);
    if (!known)
        err << "audimark-cli: no live frame tells whether the meter records; it is not told to "
               "record"
            << Qt::endl;
    else if (!device.meterRecording())
        device.writeLive(SetupFrames::recordKey());
    if (!quiet)
        err << "Auto loading every " << options.everyHours << " h; next cycle "
            << timeText(schedule.NextAutoLoad()) << "; Ctrl-C stops" << Qt::endl;

    int status = 0;
    link.setAutoLoadCheck([&](const QDateTime& now) {
        if (!schedule.takeDue(now, link.MeterConnected()))
            return;
        status = std::max(status, reportedCycle(cycle, out, err, options.verbosity, directory));
        if (!quiet)
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
