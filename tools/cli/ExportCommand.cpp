#include "tools/cli/ExportCommand.h"

#include "data/DataSetCollection.h"
#include "data/LoggerMemory.h"
#include "files/formats/CollectionFile.h"
#include "files/formats/ExportText.h"
#include "files/formats/GraphExport.h"
#include "logger/RecordDecoder.h"
#include "meter/MeterClock.h"
#include "tools/cli/DownloadCommand.h"
#include "tools/cli/LoadFailureNotes.h"

#include <QFile>
#include <QLocale>
#include <QTextStream>

#include <algorithm>
#include <cstdio>

using LoadFailureNotes::MemorySource;

namespace {
int fail(int status, const QString& message)
{
    QTextStream(stderr) << "audimark-cli: " << message << '\n';
    return status;
}
} // namespace

int runExportCommand(const ExportOptions& options)
{
    const QLocale locale;
    if (options.csv && !ExportText::csvOffered(locale))
        return fail(2, QStringLiteral("CSV is not offered where the decimal separator is a "
                                      "comma; use --format txt"));

    CollectionFile::ImageRead file = CollectionFile::readImage(options.file);
    if (!file.opened)
        return fail(1, options.file + QStringLiteral(": ") + file.error);
    LoggerMemory memory;
    memory.memoryImage() = std::move(file.image);
    memory.setMemoryEnd(memory.memoryEndFromImage());
    DataSetCollection collection;
    const LoadResult result =
        decodeImage(memory, collection, MeterClock::system().currentDateTime());
    if (result != LoadResult::Ok)
        return fail(LoadResultExitBase + int(result),
                    options.file + QStringLiteral(": ") +
                        LoadFailureNotes::loadFailure(result, MemorySource::File));

    const qsizetype k = qsizetype(options.set) - 1;
    if (k < 0 || k >= collection.count())
        return fail(1, QStringLiteral("%1: no data set %2 (the file holds %3)")
                           .arg(options.file)
                           .arg(options.set)
                           .arg(collection.count()));
    const auto times = collection.timesOf(k);
    const auto values = collection.valuesOf(k);
    const int count = int(std::min(times.size(), values.size()));

    const bool all = options.fromText.isEmpty() && options.toText.isEmpty();
    const QString fromText = options.fromText.isEmpty() ? QStringLiteral("1") : options.fromText;
    const QString toText = options.toText.isEmpty() ? QString::number(count) : options.toText;
    const std::optional<ExportRange> range = ExportRange::fromFields(all, fromText, toText, count);
    if (!range)
        return fail(2, ExportRange::InvalidIntegerMessage);

    const QChar separator = options.csv ? ExportText::Comma : ExportText::Tab;
    if (!options.outFile.isEmpty()) {
        const FileWriteOutcome outcome =
            GraphExport::write(options.outFile, times, values, *range, separator, locale);
        if (!outcome.written())
            return fail(1,
                        QStringLiteral("cannot write %1: %2").arg(options.outFile, outcome.error));
        return 0;
    }
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly))
        return fail(1, QStringLiteral("cannot write to standard output"));
    const FileWriteOutcome outcome =
        GraphExport::writeLines(out, times, values, *range, separator, locale);
    if (!outcome.written() || !out.flush())
        return fail(1, QStringLiteral("cannot write to standard output: ") + out.errorString());
    return 0;
}
