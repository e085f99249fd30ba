#include "tools/cli/SeriesInput.h"

#include "archive/Archive.h"
#include "files/formats/ExportText.h"
#include "files/formats/GraphExport.h"

#include <QDir>
#include <QTemporaryDir>

namespace SeriesInput {

namespace {
ReportSeriesLoad failed(const QString& error)
{
    ReportSeriesLoad load;
    load.status = 1;
    load.error = error;
    return load;
}
} // namespace

bool isArchive(const QString& argument)
{
    return argument.startsWith(ArchivePrefix);
}

ReportSeriesLoad load(const QString& argument, int set, const QDateTime& now, const QLocale& locale,
                      const ArchiveChoice& archiveChoice)
{
    if (!isArchive(argument))
        return loadReportSeries(argument, set, now, locale);

    bool ok = false;
    const qint64 id = argument.mid(ArchivePrefix.size()).toLongLong(&ok);
    if (!ok || id <= 0)
        return failed(QStringLiteral("%1: an archive measurement is named archive:ID, ID a "
                                     "number that `archive list` shows")
                          .arg(argument));
    const QString location = CliArchive::locationText(archiveChoice);
    if (location.isEmpty())
        return failed(QStringLiteral("%1: no archive to read it from").arg(argument));
    ArchiveOpenResult opened = Archive::open(location);
    if (!opened.archive)
        return failed(CliArchive::oneLine(opened.error));
    const std::optional<ArchiveSeries> series = opened.archive->readSamples(id);
    if (!series)
        return failed(CliArchive::oneLine(opened.archive->lastError()));

    // The exported text file, read back as any text file is.
    QTemporaryDir directory;
    if (!directory.isValid())
        return failed(QStringLiteral("%1: no temporary directory: %2")
                          .arg(argument, directory.errorString()));
    const QString path = directory.filePath(QStringLiteral("measurement.txt"));
    const FileWriteOutcome written =
        GraphExport::write(path, series->x, series->y, ExportRange::all(int(series->y.size())),
                           ExportText::Tab, locale);
    if (!written.written())
        return failed(QStringLiteral("%1: %2").arg(argument, written.error));
    ReportSeriesLoad load = loadReportSeries(path, 1, now, locale);
    load.error.replace(path, argument);
    return load;
}

} // namespace SeriesInput
