// A recording into an archive that never ends by itself, for the test that
// kills it: archive_writer ARCHIVE. Writes a line with the number of samples
// committed after each commit; the times advance 0.1 s a sample.

#include "archive/Archive.h"
#include "archive/ArchiveRecording.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    ArchiveOpenResult opened = Archive::open(QString::fromLocal8Bit(argv[1]));
    if (!opened.archive) {
        std::fprintf(stderr, "%s\n", qPrintable(opened.error));
        return 1;
    }
    Measurement m;
    m.key = QStringLiteral("killed recording");
    m.start = QDateTime(QDate(2026, 6, 1), QTime(10, 0), Qt::OffsetFromUTC, 3600);
    m.intervalMs = 100;
    const std::optional<qint64> id = opened.archive->addMeasurement(m);
    if (!id)
        return 1;
    ArchiveRecording recording(*opened.archive, *id);
    const qint64 startMs = 46174LL * 86400000 + 10 * 3600000;
    for (qint64 i = 0; i < 10000000; ++i) {
        if (!recording.add(SampleChunk::daysFromMs(startMs + i * 100), float(600 + i % 50) / 10.0f))
            return 1;
        if (recording.pending() == 0) {
            std::printf("%lld\n", static_cast<long long>(i + 1));
            std::fflush(stdout);
        }
    }
    return 0;
}
