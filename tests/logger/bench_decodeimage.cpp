// Benchmark: decodeImage of full logger memories. Each image is as large as
// the largest memory a download reads (65,536 bytes) and holds records up
// to its very last byte, so that the decoder reads every byte of it: one
// with 4000 data sets (the most the decoder accepts), one with eight long
// ones. Beside each decode, in the same run, a plain pass that reads every
// byte of the same image once; the figures are medians of repeated runs
// taken in turn, the ratio the median of the pair by pair ratios. Also
// times the data set list rows of the 4000 sets. Not part of the test suite.

#include "common/BenchPairs.h"
#include "data/DataSetCollection.h"
#include "data/LoggerMemory.h"
#include "logger/DataSetListRow.h"
#include "logger/RecordDecoder.h"
#include "tools/virtual-meter/LoggerImageBuilder.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <vector>

namespace {
using vmeter::LoggerImageBuilder;
constexpr int Rounds = 200;

// Samples that fill the memory after `sets` empty records exactly.
int samplesToFill(int sets)
{
    const int spare = LoggerImageBuilder::memorySize - LoggerImageBuilder::firstRecord -
                      sets * LoggerImageBuilder::recordOverhead;
    return spare / 2;
}

// `sets` records sharing the samples that fill the memory to its end; the
// first sets take one sample more where they do not share evenly.
QByteArray fullImage(int sets)
{
    const int samples = samplesToFill(sets);
    LoggerImageBuilder builder;
    for (int k = 0; k < sets; ++k) {
        vmeter::LoggerRecordContent content;
        content.start = QDateTime(QDate(2010, 4, 14), QTime(9, 0)).addSecs(k * 60);
        content.intervalSeconds = 0x02;
        const int count = samples / sets + (k < samples % sets ? 1 : 0);
        for (int i = 0; i < count; ++i)
            content.samplesTenths.append(500 + (k * 37 + i * 11) % 700);
        if (!builder.append(content))
            return {};
    }
    if (builder.endAddress() != LoggerImageBuilder::memorySize - 1)
        return {};
    return builder.image();
}

// Decodes the full image of `sets` records; false when the image was not
// decoded whole, up to its last record ending on its last byte.
bool benchmarkDecode(int sets)
{
    LoggerMemory memory;
    memory.memoryImage() = fullImage(sets);
    if (memory.memoryImage().size() != LoggerImageBuilder::memorySize) {
        std::fprintf(stderr, "%d records do not fill the memory to its end\n", sets);
        return false;
    }
    memory.setMemoryEnd(memory.memoryEndFromImage());
    DataSetCollection collection;
    const QDateTime now = QDateTime::currentDateTime();
    LoadResult result = LoadResult::NoData;
    const QByteArray& image = memory.memoryImage();
    unsigned sum = 0;
    const BenchPairs::Figures f = BenchPairs::timeInTurn(
        [&] { result = decodeImage(memory, collection, now); },
        [&] {
            sum += std::accumulate(image.cbegin(), image.cend(), 0u, [](unsigned total, char byte) {
                return total + std::uint8_t(byte);
            });
        },
        1, Rounds);
    const qint32 lastRecordEnd =
        collection.count() > 0 ? collection.headers().recordEnd().constLast() : -1;
    std::printf("image %lld bytes, memory end %d, %s, %lld sets, %lld samples, last record ends "
                "at %d\n",
                qlonglong(image.size()), memory.memoryEnd(), qPrintable(loadResultName(result)),
                qlonglong(collection.count()), qlonglong(collection.sampleValues().size()),
                lastRecordEnd);
    std::printf("decodeImage median %.3f ms; plain read of every byte %.4f ms; ratio %.0f "
                "(median of %d pairs; byte sum %u)\n",
                f.oursMs, f.baselineMs, f.ratio, f.pairs, sum & 0xFF);
    if (sets == 4000) {
        auto rows = [&] { (void)dataSetListRows(collection); };
        std::vector<double> ms;
        for (int i = 0; i < 50; ++i)
            ms.push_back(BenchPairs::millisecondsOf(rows, 1));
        const double rowsMs = BenchPairs::median(ms);
        std::printf("data set list rows of %lld sets median %.3f ms\n",
                    qlonglong(collection.count()), rowsMs);
    }
    return result == LoadResult::Ok && collection.count() == sets &&
           collection.sampleValues().size() == samplesToFill(sets) &&
           lastRecordEnd == memory.memoryEnd();
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    bool whole = true;
    for (int sets : {4000, 8}) {
        std::printf("-- full memory, %d data sets\n", sets);
        whole = benchmarkDecode(sets) && whole;
    }
    return whole ? 0 : 1;
}
