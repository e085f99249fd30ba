// The recorder's samples into the archive, on the fake clock: each recording
// one measurement with exactly the samples the graph got, finished however
// it ends, a new one when Run starts again while recording; a crash leaves
// it unfinished with all but the last second.

#include "common/FakeMeterClock.h"
#include "common/TestMain.h"

#include "RecordingSink.h"
#include "archive/Archive.h"
#include "realtime/RealTimeArchiver.h"
#include "realtime/RealTimeRecorder.h"

#include <QSignalSpy>
#include <QTemporaryDir>

namespace {
MeterReading readingAt(int tenths, bool aWeighting)
{
    MeterReading r;
    r.level = float(tenths * 0.1);
    r.weightingA = aWeighting;
    return r;
}

enum class End
{
    Stop,
    GraphFull,
    GraphClosed,
    RunAgain,
    Crash
};
} // namespace

class TestRealTimeArchiver : public QObject
{
    Q_OBJECT

private slots:
    void eachRecordingIsOneMeasurement_data()
    {
        QTest::addColumn<End>("end");
        QTest::addColumn<int>("samples");
        QTest::addColumn<int>("measurements");
        QTest::addColumn<bool>("unfinished");
        QTest::addColumn<bool>("switched"); // between dBA and dBC while recording
        QTest::newRow("stopped") << End::Stop << 37 << 1 << false << true;
        QTest::newRow("graph full") << End::GraphFull << 25 << 1 << false << false;
        QTest::newRow("graph closed") << End::GraphClosed << 12 << 1 << false << true;
        QTest::newRow("run again while recording") << End::RunAgain << 30 << 2 << false << false;
        QTest::newRow("program killed") << End::Crash << 44 << 1 << true << true;
    }

    void eachRecordingIsOneMeasurement()
    {
        QFETCH(End, end);
        QFETCH(int, samples);
        QFETCH(int, measurements);
        QFETCH(bool, unfinished);
        QFETCH(bool, switched);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.sqlite"));
        ArchiveOpenResult opened = Archive::open(path);
        QVERIFY2(opened.archive, qPrintable(opened.error));
        // Killed: what another program finds in the file while it still records.
        ArchiveOpenResult reader = Archive::open(path);
        QVERIFY(reader.archive);
        Archive& archive = end == End::Crash ? *reader.archive : *opened.archive;

        FakeMeterClock clock;
        RecordingSink sink(end == End::GraphFull ? samples : 100000);
        RealTimeRecorder recorder(clock);
        recorder.setSink(&sink);
        auto archiver = std::make_unique<RealTimeArchiver>(recorder, clock);
        archiver->setArchive([&archive] { return &archive; });
        archiver->setMeter([] { return RealTimeArchiver::Meter{"841", "/dev/pts/3"}; });

        // Each start and each end is told as a store: the History window lists it then.
        QSignalSpy stored(archiver.get(), &RealTimeArchiver::writeSucceeded);
        recorder.start(0.5f);
        for (int i = 0; i < samples; ++i) {
            clock.advance(500);
            recorder.sampleReading(
                readingAt(400 + (i * 37) % 600, !switched || i < 5 || i % 3 != 0));
        }
        QCOMPARE(int(sink.samples.size()), samples);
        switch (end) {
        case End::Stop:
            recorder.stop();
            break;
        case End::GraphFull:
            QVERIFY(!recorder.isRunning());
            break;
        case End::GraphClosed:
            recorder.abandon();
            break;
        case End::RunAgain:
            recorder.start(0.5f);
            clock.advance(500);
            recorder.sampleReading(readingAt(700, false));
            recorder.stop();
            break;
        case End::Crash:
            break;
        }

        QCOMPARE(stored.count(), end == End::Crash ? 1 : end == End::RunAgain ? 4 : 2);
        const auto list = archive.listMeasurements();
        QVERIFY(list);
        QCOMPARE(int(list->size()), measurements);
        const Measurement& m = list->back(); // the oldest
        QCOMPARE(m.kind, MeasurementKind::RealTime);
        QCOMPARE(m.meterModel, QStringLiteral("841"));
        QCOMPARE(m.meterPort, QStringLiteral("/dev/pts/3"));
        QCOMPARE(m.intervalMs, qint64(500));
        QCOMPARE(m.weighting, switched ? QStringLiteral("mixed") : QStringLiteral("A"));
        QCOMPARE(m.unfinished, unfinished);
        const auto series = archive.readSamples(m.id);
        QVERIFY(series);
        // Killed: held samples of less than a second of sample time are lost.
        const int kept = int(series->y.size());
        if (unfinished)
            QVERIFY2(kept >= samples - 2 && kept <= samples, qPrintable(QString::number(kept)));
        else
            QCOMPARE(kept, samples);
        for (int i = 0; i < kept; ++i) {
            QCOMPARE(series->x[size_t(i)], sink.samples[i].time);
            QCOMPARE(series->y[size_t(i)], sink.samples[i].level);
        }
        if (end == End::RunAgain) {
            const Measurement& second = list->front();
            QVERIFY(!second.unfinished);
            QCOMPARE(second.sampleCount, qint64(1));
            QCOMPARE(second.weighting, QStringLiteral("C"));
        }
        archiver.reset();
    }
};

AUDIMARK_TEST_MAIN_CORE(TestRealTimeArchiver)
#include "tst_realtimearchiver.moc"
