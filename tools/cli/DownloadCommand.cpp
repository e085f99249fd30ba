#include "tools/cli/DownloadCommand.h"

#include "data/DataSetCollection.h"
#include "data/LoggerMemory.h"
#include "logger/DumpLine.h"
#include "logger/ImageFile.h"
#include "logger/LoggerLoad.h"
#include "logger/LoggerPort.h"
#include "logger/OutputFile.h"
#include "meter/MeterLink.h"
#include "tools/cli/ConsoleLoggerUi.h"
#include "tools/cli/LoadFailureNotes.h"
#include "tools/cli/LoggerMeterConnection.h"

#include <QDir>
#include <QEventLoop>
#include <QTextStream>
#include <QTimer>

using LoadFailureNotes::MemorySource;

namespace {
constexpr int recordDateOffset = 3;

// The system's reason on failure, else an empty string.
QString writeCsv(const QString& path, const DataSetCollection& collection, qsizetype set)
{
    const auto values = collection.valuesOf(set);
    const auto times = collection.timesOf(set);
    const QLocale locale;
    QByteArray text;
    for (size_t i = 0; i < values.size(); ++i)
        text += DumpLine::line(times[i], values[i], locale).toLocal8Bit() + "\r\n";
    return OutputFile::writeWhole(path, text);
}

bool writeCsvFiles(const QString& directory, const DataSetCollection& collection,
                   const QByteArray& image, QTextStream& err, bool verbose)
{
    if (!QDir().mkpath(directory)) {
        err << "audimark-cli: cannot create " << directory << '\n';
        return false;
    }
    for (qsizetype k = 0; k < collection.count(); ++k) {
        const qint32 p = collection.headers().recordOffset().at(k);
        // Numbered, since two sets may start in the same minute.
        const QString name = QStringLiteral("%1_%2")
                                 .arg(k + 1, 3, 10, QLatin1Char('0'))
                                 .arg(DumpLine::fileName(image.mid(p + recordDateOffset, 5)));
        const QString path = QDir(directory).filePath(name);
        if (const QString reason = writeCsv(path, collection, k); !reason.isEmpty()) {
            err << "audimark-cli: cannot write " << path << ": " << reason << '\n';
            return false;
        }
        if (verbose)
            err << "Wrote " << QDir::toNativeSeparators(path) << '\n';
    }
    return true;
}
} // namespace

int runDownloadCommand(const DownloadOptions& options)
{
    QTextStream err(stderr);
    // Opened first, so that a warning about it comes before the transfer.
    std::unique_ptr<Archive> archive = CliArchive::openOrWarn(options.archive, err);
    const bool quiet = options.verbosity == Verbosity::Quiet;
    MeterLink link;
    if (!LoggerMeterConnection::connect(link, options.ports, err, options.verbosity))
        return 1;

    // No data directory: the load keeps no temporary image file, the image
    // comes back in the outcome.
    LoggerPort port(link);
    LoggerMemory memory;
    DataSetCollection collection;
    ConsoleLoggerUi ui(err, {options.retries, options.repair},
                       progressStyleFor(options.verbosity, standardErrorIsTerminal()),
                       options.verbosity != Verbosity::Quiet);
    LoggerLoad load(port, memory, collection, ui);
    ui.explainFrom(memory, load.download(), link.Comm1().DeviceName());
    const LoadCommandOutcome outcome = load.loadDataCommand();
    link.stopLiveLink();

    if (!outcome.started || outcome.aborted)
        return 1;
    if (outcome.result != LoadResult::Ok) {
        if (options.keepDamaged && !outcome.image.isEmpty()) {
            if (const QString reason =
                    OutputFile::writeWhole(options.outFile, ImageFile::keptBytes(outcome.image));
                !reason.isEmpty()) {
                err << "audimark-cli: cannot write " << options.outFile << ": " << reason << '\n';
                return 1;
            }
            err << "Memory image that did not decode written to " << options.outFile << '\n';
            if (archive && !archive->storeMemoryImage(outcome.image))
                err << "audimark-cli: warning: " << CliArchive::oneLine(archive->lastError())
                    << '\n';
        }
        if (!ui.portGoneNote().isEmpty())
            err << "audimark-cli: " << ui.portGoneNote() << '\n';
        err << "audimark-cli: "
            << LoadFailureNotes::loadFailure(outcome.firstResult, MemorySource::Meter);
        if (outcome.result != outcome.firstResult)
            err << "; at the last try, "
                << LoadFailureNotes::loadFailure(outcome.result, MemorySource::Meter);
        err << '\n';
        return LoadResultExitBase + int(outcome.firstResult);
    }

    // The collection file holds what the temporary image file would: what
    // "Save" copies in the program.
    if (const QString reason =
            OutputFile::writeWhole(options.outFile, ImageFile::keptBytes(outcome.image));
        !reason.isEmpty()) {
        err << "audimark-cli: cannot write " << options.outFile << ": " << reason << '\n';
        return 1;
    }
    if (!quiet)
        err << collection.count() << " data sets written to " << options.outFile << '\n';
    if (archive) {
        err.flush();
        const LoggerImageSource source{MeasurementKind::Logger,
                                       LoggerImageArchiver::meterModelName(link.MeterModel()),
                                       link.Comm1().DeviceName(), QString()};
        (void)CliArchive::storeLoggerImage(archive, options.archive, outcome.image, collection,
                                           source, err, quiet);
    }
    if (!options.csvDirectory.isEmpty() &&
        !writeCsvFiles(options.csvDirectory, collection, outcome.image, err,
                       options.verbosity == Verbosity::Verbose))
        return 1;
    return 0;
}
