// Benchmark: decodeImage of a 98,304-byte image holding 4000 data sets (the
// most the decoder accepts), with and without the list rows. Prints the
// median of repeated runs. Not part of the test suite.

#include "data/DataSetCollection.h"
#include "data/LoggerMemory.h"
#include "logger/DataSetListRow.h"
#include "logger/RecordDecoder.h"
#include "tools/virtual-meter/LoggerImageBuilder.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {
QByteArray imageWith4000Sets()
{
    vmeter::LoggerImageBuilder builder;
    // 4000 records must end below the 16-bit memory end: most hold no
    // samples, every twentieth holds two.
    for (int k = 0; k < 4000; ++k) {
        vmeter::LoggerRecordContent content;
        content.start = QDateTime(QDate(2010, 4, 14), QTime(9, 0)).addSecs(k * 60);
        content.intervalSeconds = 0x02;
        if (k % 20 == 0)
            content.samplesTenths = {600, 700};
        builder.append(content);
    }
    QByteArray image = builder.image();
    image.append(QByteArray(98304 - image.size(), char(0xFF)));
    return image;
}

template <typename F> double medianMs(F run, int rounds)
{
    std::vector<double> ms;
    for (int i = 0; i < rounds; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    LoggerMemory memory;
    memory.memoryImage() = imageWith4000Sets();
    memory.setMemoryEnd(memory.memoryEndFromImage());
    DataSetCollection collection;
    const QDateTime now = QDateTime::currentDateTime();
    LoadResult result = LoadResult::NoData;
    const double decodeMs = medianMs([&] { result = decodeImage(memory, collection, now); }, 200);
    const double rowsMs = medianMs([&] { (void)dataSetListRows(collection); }, 50);
    std::printf("image %lld bytes, %s, %lld sets, %lld samples\n",
                qlonglong(memory.memoryImage().size()), qPrintable(loadResultName(result)),
                qlonglong(collection.count()), qlonglong(collection.sampleValues().size()));
    std::printf("decodeImage median %.3f ms; data set list rows median %.3f ms\n", decodeMs,
                rowsMs);
    return result == LoadResult::Ok && collection.count() == 4000 ? 0 : 1;
}
