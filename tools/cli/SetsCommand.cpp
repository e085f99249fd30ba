#include "tools/cli/SetsCommand.h"

#include "data/DataSetCollection.h"
#include "data/LoggerMemory.h"
#include "files/formats/CollectionFile.h"
#include "logger/DataSetListRow.h"
#include "logger/RecordDecoder.h"
#include "meter/MeterClock.h"
#include "tools/cli/DownloadCommand.h"
#include "tools/cli/LoadFailureNotes.h"

#include <QLocale>
#include <QTextStream>

using LoadFailureNotes::MemorySource;

int runSetsCommand(const QString& fileName)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    CollectionFile::ImageRead file = CollectionFile::readImage(fileName);
    if (!file.opened) {
        err << "audimark-cli: " << fileName << ": " << file.error << '\n';
        return 1;
    }
    LoggerMemory memory;
    memory.memoryImage() = std::move(file.image);
    memory.setMemoryEnd(memory.memoryEndFromImage());
    DataSetCollection collection;
    const LoadResult result =
        decodeImage(memory, collection, MeterClock::system().currentDateTime());
    if (result != LoadResult::Ok) {
        err << "audimark-cli: " << fileName << ": "
            << LoadFailureNotes::loadFailure(result, MemorySource::File) << '\n';
        return LoadResultExitBase + int(result);
    }

    const QLocale locale;
    const QList<DataSetListRow> rows = dataSetListRows(collection, locale);
    out << "set\tstart\tinterval\tcount\tweighting\taverage\tmaximum\tminimum\n";
    for (qsizetype k = 0; k < rows.size(); ++k) {
        const DataSetListRow& row = rows.at(k);
        const auto values = collection.valuesOf(k);
        auto level = [&](double value) { return locale.toString(value, 'f', 1); };
        const QString none = QStringLiteral("-");
        out << row.number << '\t' << row.date << ' ' << row.time << '\t' << row.interval << '\t'
            << row.count << '\t' << row.weighting << '\t'
            << (values.empty() ? none : level(collection.average().at(k))) << '\t'
            << (values.empty() ? none : level(values[collection.maxIndex().at(k)])) << '\t'
            << (values.empty() ? none : level(values[collection.minIndex().at(k)])) << '\n';
    }
    return 0;
}
