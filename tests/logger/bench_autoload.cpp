// Benchmark of the auto-load cycle on a full logger memory, run by hand:
//   bench_autoload            the dump files of every set and the image file
//                             (best of 5), beside a plain QSaveFile write of
//                             the same bytes
//   bench_autoload --cycle    also one whole cycle against the virtual meter
//                             paced as at 9600 baud with the real clock: the
//                             download against the protocol's floor, and the
//                             cycle against its own waits (about 2.5 minutes)
// Prints figures; times nothing as a test.

#include "data/LoggerMemory.h"
#include "logger/AutoLoadCycle.h"
#include "logger/DumpFile.h"
#include "logger/LinkAutoLoadDevice.h"
#include "logger/LoggerPort.h"
#include "logger/MemoryDownload.h"
#include "logger/ScriptedLoggerUi.h"
#include "meter/MeterLink.h"
#include "tools/virtual-meter/LoggerImageBuilder.h"
#include "tools/virtual-meter/VirtualMeter.h"

#include <QCoreApplication>
#include <QDir>
#include <QSaveFile>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>

using Clock = std::chrono::steady_clock;
using vmeter::LoggerImageBuilder;
using vmeter::LoggerRecordContent;

namespace {
double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Eight sets that fill the memory up to the records' highest address.
QByteArray fullMemory(int& samples)
{
    LoggerImageBuilder builder;
    const int perSet = (0xFAFF - 256 + 1) / 8 / 2 - 8;
    samples = 0;
    for (int k = 0; k < 8; ++k) {
        LoggerRecordContent content;
        content.start = QDateTime(QDate(2010, 4, 14), QTime(1 + k, 30));
        content.intervalSeconds = 0x01;
        for (int i = 0; i < perSet; ++i)
            content.samplesTenths.append(400 + (i * 7 + k) % 700);
        if (builder.append(content))
            samples += perSet;
    }
    return builder.image();
}

void benchDumpFiles(const QByteArray& image, int samples)
{
    const qint32 end = quint8(image.at(0x0C)) * 256 + quint8(image.at(0x0D));
    double best = 1e9;
    qint64 bytes = 0;
    int files = 0;
    for (int run = 0; run < 5; ++run) {
        QTemporaryDir dir;
        const auto start = Clock::now();
        const DumpFile::AllSetsOutcome outcome =
            DumpFile::exportAllDataSets(image, end, dir.path(), QDateTime::currentDateTime(), {});
        best = std::min(best, secondsSince(start));
        if (!outcome.complete) {
            std::printf("FAILED: %s\n", qPrintable(outcome.error));
            return;
        }
        files = int(outcome.dumps.size()) + 1;
        bytes = 0;
        for (const QString& name : QDir(dir.path()).entryList(QDir::Files))
            bytes += QFileInfo(dir.filePath(name)).size();
    }
    // The same number of bytes written plainly, in as many files.
    double plain = 1e9;
    const QByteArray chunk(int(bytes / files), 'x');
    for (int run = 0; run < 5; ++run) {
        QTemporaryDir dir;
        const auto start = Clock::now();
        for (int f = 0; f < files; ++f) {
            QSaveFile file(dir.filePath(QString::number(f)));
            if (!file.open(QIODevice::WriteOnly) || file.write(chunk) != chunk.size() ||
                !file.commit())
                return;
        }
        plain = std::min(plain, secondsSince(start));
    }
    std::printf("dump files: %d sets, %d samples, %d files, %lld bytes: %.3f s "
                "(written, read back, checked); plain QSaveFile of the same bytes %.3f s\n",
                files - 1, samples, files, bytes, best, plain);
}

// The link's device, timing its download.
class TimedDevice : public LinkAutoLoadDevice
{
public:
    using LinkAutoLoadDevice::LinkAutoLoadDevice;
    LoadResult downloadMemory(LoggerMemory& memory) override
    {
        const auto start = Clock::now();
        const LoadResult result = LinkAutoLoadDevice::downloadMemory(memory);
        downloadSeconds = secondsSince(start);
        return result;
    }
    double downloadSeconds = 0;
};

int benchCycle(const QByteArray& image)
{
    vmeter::VirtualMeterOptions options;
    options.protocol.logger.memory = image;
    vmeter::VirtualMeter meter(options);
    MeterLink link;
    LoggerPort port(link);
    ScriptedLoggerUi ui;
    MemoryDownload download(port, ui);
    TimedDevice device(port, download);
    LoggerMemory memory;
    QTemporaryDir dir;
    AutoLoadCycle cycle(device, memory, link.clock());
    cycle.setDataDirectory(dir.path());
    if (!meter.start())
        return 1;
    link.setPortList({meter.slavePath()});
    if (!link.searchPorts())
        return 1;
    link.startLiveLink();

    const auto start = Clock::now();
    const AutoLoadOutcome outcome = cycle.dumpAndClearMemory();
    const double total = secondsSince(start);
    const TransferReport report = download.lastTransfer();
    const int blocks = report.totalBytes / 64;
    // Settle 2 s, three reads and "P" at 200 ms, 100 ms per "y", the last
    // block's ten "y" and the 3-s silence.
    const double floor = 2.0 + 4 * 0.2 + blocks * 0.1 + 9 * 0.1 + 3.0;
    // The cycle's own waits around the download: "c" 0.5 s, erase 5 s, boot
    // 3 s, "E" 1 s, the port switch 0.2 s, "a" 1 s; the information read
    // (its "Q" and 0.1 s) on top.
    const double waits = 0.5 + 5.0 + 3.0 + 1.0 + 0.2 + 1.0 + 0.1;
    std::printf("cycle: %s, %d sets, %lld samples; %s\n",
                qPrintable(AutoLoadLog::resultText(outcome.result)), outcome.sets, outcome.samples,
                qPrintable(outcome.reason));
    std::printf("download %.2f s for %d bytes, protocol floor %.2f s, ratio %.4f\n",
                device.downloadSeconds, report.receivedBytes, floor,
                device.downloadSeconds / floor);
    std::printf("whole cycle %.2f s, download + the cycle's waits %.2f s, rest %.2f s\n", total,
                device.downloadSeconds + waits, total - device.downloadSeconds - waits);
    return outcome.erased() ? 0 : 1;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int samples = 0;
    const QByteArray image = fullMemory(samples);
    benchDumpFiles(image, samples);
    if (app.arguments().contains(QStringLiteral("--cycle")))
        return benchCycle(image);
    return 0;
}
