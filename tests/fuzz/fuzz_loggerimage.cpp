// A logger memory image as a download or a collection file hands it over:
// the memory end taken from its control page, the decode into the data set
// collection, the rows of the data set list, and for every set what the
// graph window and `audimark-cli sets` read of it (its samples, extremes
// and statistics). Images longer than the
// logger's memory are not looked at: no download gives one.

#include "FuzzInput.h"

#include "data/DataSetCollection.h"
#include "data/LoggerMemory.h"
#include "data/SeriesStatistics.h"
#include "logger/DataSetListRow.h"
#include "logger/MemoryDownload.h"
#include "logger/RecordDecoder.h"

#include <QDateTime>
#include <QLocale>

using FuzzInput::require;

namespace {
void showSets(const DataSetCollection& collection, const QLocale& locale, bool withSamples)
{
    const QList<DataSetListRow> rows = dataSetListRows(collection, locale);
    require(rows.size() == collection.count(), "a list row count other than the set count");
    for (qsizetype k = 0; k < collection.count(); ++k) {
        const std::optional<DataSet> set = collection.dataSet(k);
        require(set.has_value(), "a listed set that cannot be taken");
        if (!withSamples || !collection.hasSamples(k))
            continue;
        const auto values = collection.valuesOf(k);
        const auto times = collection.timesOf(k);
        require(values.size() == times.size(), "values and times of different lengths");
        require(qsizetype(values.size()) == set->header.sampleCount,
                "samples other than the set's count");
        if (values.empty())
            continue;
        require(set->maxIndex >= 0 && qsizetype(set->maxIndex) < qsizetype(values.size()) &&
                    set->minIndex >= 0 && qsizetype(set->minIndex) < qsizetype(values.size()),
                "a maximum or minimum outside the set");
        (void)SeriesStatistics::whole(times, values);
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > std::size_t(MemoryDownload::MaxUsedSize))
        return -1;
    static const QDateTime now(QDate(2026, 12, 7), QTime(14, 0));
    static const QLocale german(QLocale::German, QLocale::Germany);

    LoggerMemory memory;
    memory.memoryImage() = FuzzInput::Reader(data, size).rest();
    memory.setMemoryEnd(memory.memoryEndFromImage());
    DataSetCollection collection;
    const LoadResult result = decodeImage(memory, collection, now);
    if (result != LoadResult::Ok) {
        require(collection.isEmpty(), "a failed decode changed the collection");
        return 0;
    }
    require(collection.count() > 0, "a decode without sets reported as done");
    showSets(collection, QLocale::c(), true);
    showSets(collection, german, false);
    return 0;
}
