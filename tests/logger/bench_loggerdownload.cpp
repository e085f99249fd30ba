// Benchmark: a full 65,536-byte logger download from the virtual meter paced
// as at 9600 baud, with the real clock. Prints the time against the
// protocol's floor: the settle and echo waits of the handshake plus 100 ms
// after each "y" for every block, plus the ten "y" and the 3-s silence after
// the last block. Takes about two minutes; not part of the test suite.

#include "logger/LoggerRig.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    vmeter::VirtualMeterOptions options = meterWithMemory(memoryOfUsedSize(65536));
    LoggerRig rig(options, MeterClock::system());
    // The rig makes its meter unpaced; this one must carry the line's pace.
    options.fast = false;
    rig.meter = std::make_unique<vmeter::VirtualMeter>(options);
    if (!rig.connect()) {
        std::fprintf(stderr, "no meter\n");
        return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    const LoadResult result = rig.download.downloadMemory(rig.memory);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rig.port.giveBack();

    const int blocks = 65536 / 64;
    // Settle 2 s, three reads and "P" at 200 ms, 100 ms per "y", the last
    // block's ten "y" and the silence.
    const double floor = 2.0 + 4 * 0.2 + blocks * 0.1 + 9 * 0.1 + 3.0;
    const bool same = rig.memory.memoryImage() == rig.meter->loggerMemory();
    std::printf("result %s, %d bytes, image %s\n", qPrintable(loadResultName(result)),
                rig.download.lastTransfer().receivedBytes, same ? "identical" : "DIFFERENT");
    std::printf("download %.2f s, protocol floor %.2f s, overhead %.2f s (%.1f ms per block)\n",
                seconds, floor, seconds - floor, (seconds - floor) * 1000.0 / blocks);
    return result == LoadResult::Ok && same ? 0 : 1;
}
