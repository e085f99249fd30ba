#include "common/FakeMeterClock.h"
#include "common/TestMain.h"

#include "RecordingSink.h"
#include "data/GraphTexts.h"
#include "realtime/RealTimeRecorder.h"

#include <QSignalSpy>

namespace {
MeterReading readingAt(float level)
{
    MeterReading r;
    r.level = level;
    return r;
}

// A level as the meter sends it: tenths of a dB.
float tenths(int value)
{
    return static_cast<float>(value * 0.1);
}
} // namespace

class TestRealTimeRecorder : public QObject
{
    Q_OBJECT

private slots:
    void sampleSpacing_data()
    {
        QTest::addColumn<float>("interval");
        QTest::addColumn<int>("frameSpacingMs");
        QTest::addColumn<int>("frames");
        QTest::addColumn<QList<int>>("sampledFrames");

        QTest::newRow("1.0 s, frames every 0.25 s: every fourth frame")
            << 1.0f << 250 << 12 << QList<int>{4, 8, 12};
        QTest::newRow("0.2 s, frames every 0.1 s: every second frame")
            << 0.2f << 100 << 8 << QList<int>{2, 4, 6, 8};
        QTest::newRow("0.1 s, frames every 0.1 s: every frame")
            << 0.1f << 100 << 4 << QList<int>{1, 2, 3, 4};
        QTest::newRow("0.5 s, frames every 0.3 s: rounded up to the next frame")
            << 0.5f << 300 << 8 << QList<int>{2, 4, 6, 8};
    }

    // The interval runs from the graph's creation; frame k arrives k spacings later.
    void sampleSpacing()
    {
        QFETCH(float, interval);
        QFETCH(int, frameSpacingMs);
        QFETCH(int, frames);
        QFETCH(QList<int>, sampledFrames);

        FakeMeterClock clock;
        RecordingSink sink;
        RealTimeRecorder recorder(clock);
        recorder.setSink(&sink);
        recorder.restartSampleClock();
        recorder.start(interval);

        QList<int> sampled;
        for (int k = 1; k <= frames; ++k) {
            clock.advance(frameSpacingMs);
            const int before = int(sink.samples.size());
            recorder.sampleReading(readingAt(60.0f));
            if (sink.samples.size() > before)
                sampled << k;
        }
        QCOMPARE(sampled, sampledFrames);
    }

    void firstFrameSamplesWhenNoSampleWasEverTaken()
    {
        FakeMeterClock clock;
        RecordingSink sink;
        RealTimeRecorder recorder(clock);
        recorder.setSink(&sink);
        recorder.start(30.0f);
        recorder.sampleReading(readingAt(55.5f));
        QCOMPARE(sink.levels(), QList<float>{55.5f});
    }

    void sampleCarriesTheTimeOfItsReading()
    {
        FakeMeterClock clock;
        RecordingSink sink;
        RealTimeRecorder recorder(clock);
        recorder.setSink(&sink);
        recorder.restartSampleClock();
        recorder.start(1.0f);
        clock.advance(1500);
        recorder.sampleReading(readingAt(70.0f));
        QCOMPARE(sink.samples.size(), 1);
        const QDateTime expected = clock.currentDateTime();
        QCOMPARE(GraphTexts::toDateTime(sink.samples.first().time).toMSecsSinceEpoch(),
                 expected.toMSecsSinceEpoch());
    }

    void plausibility_data()
    {
        QTest::addColumn<QList<int>>("levelTenths");
        QTest::addColumn<QList<float>>("expectedLevels");
        QTest::addColumn<int>("rejected");

        QTest::newRow("150.0 dB right after the start: skipped")
            << QList<int>{1500} << QList<float>{} << 1;
        QTest::newRow("19.9 dB after a good 45.0: replaced by 45.0")
            << QList<int>{450, 199} << QList<float>{45.0f, 45.0f} << 1;
        QTest::newRow("exactly 20.0 and 140.0: accepted")
            << QList<int>{200, 1400} << QList<float>{20.0f, 140.0f} << 0;
        QTest::newRow("140.1 after 30.1: replaced")
            << QList<int>{301, 1401} << QList<float>{tenths(301), tenths(301)} << 1;
        QTest::newRow("19.9 after exactly 30.0: no replacement")
            << QList<int>{300, 199} << QList<float>{30.0f} << 1;
        QTest::newRow("a refused level is not a good level")
            << QList<int>{450, 1500, 100, 600} << QList<float>{45.0f, 45.0f, 45.0f, 60.0f} << 2;
    }

    void plausibility()
    {
        QFETCH(QList<int>, levelTenths);
        QFETCH(QList<float>, expectedLevels);
        QFETCH(int, rejected);

        FakeMeterClock clock;
        RecordingSink sink;
        RealTimeRecorder recorder(clock);
        recorder.setSink(&sink);
        recorder.restartSampleClock();
        recorder.start(0.2f);
        QSignalSpy rejectedSpy(&recorder, &RealTimeRecorder::rejectedCountChanged);
        QVERIFY(rejectedSpy.isValid());
        for (int value : levelTenths) {
            clock.advance(200);
            recorder.sampleReading(readingAt(tenths(value)));
        }
        QCOMPARE(sink.levels(), expectedLevels);
        QCOMPARE(recorder.rejectedCount(), rejected);
        QCOMPARE(int(rejectedSpy.size()), rejected);
        if (rejected > 0)
            QCOMPARE(rejectedSpy.last().at(0).toInt(), rejected);
    }

    // The slot of a refused level is used up: the next frame inside the
    // interval takes nothing either.
    void refusedLevelUsesUpItsSlot()
    {
        FakeMeterClock clock;
        RecordingSink sink;
        RealTimeRecorder recorder(clock);
        recorder.setSink(&sink);
        recorder.restartSampleClock();
        recorder.start(1.0f);
        clock.advance(1000);
        recorder.sampleReading(readingAt(150.0f));
        clock.advance(500);
        recorder.sampleReading(readingAt(60.0f));
        QVERIFY(sink.samples.isEmpty());
        clock.advance(500);
        recorder.sampleReading(readingAt(60.0f));
        QCOMPARE(sink.levels(), QList<float>{60.0f});
    }

    void startResetsLastGoodLevelAndRejectedCount()
    {
        FakeMeterClock clock;
        RecordingSink sink;
        RealTimeRecorder recorder(clock);
        recorder.setSink(&sink);
        recorder.start(0.1f);
        clock.advance(100);
        recorder.sampleReading(readingAt(45.0f));
        clock.advance(100);
        recorder.sampleReading(readingAt(10.0f));
        QCOMPARE(recorder.rejectedCount(), 1);
        recorder.stop();

        QSignalSpy rejectedSpy(&recorder, &RealTimeRecorder::rejectedCountChanged);
        recorder.start(0.1f);
        QCOMPARE(rejectedSpy.size(), 1);
        QCOMPARE(rejectedSpy.first().at(0).toInt(), 0);
        QCOMPARE(recorder.lastGoodLevel(), 0.0f);
        sink.samples.clear();
        clock.advance(100);
        recorder.sampleReading(readingAt(10.0f));
        QVERIFY(sink.samples.isEmpty()); // 45.0 is forgotten
    }

    void fullGraphStopsRecordingByItself()
    {
        FakeMeterClock clock;
        RecordingSink sink(3);
        RealTimeRecorder recorder(clock);
        recorder.setSink(&sink);
        QSignalSpy running(&recorder, &RealTimeRecorder::runningChanged);
        recorder.start(0.1f);
        for (int k = 0; k < 2; ++k) {
            clock.advance(100);
            recorder.sampleReading(readingAt(50.0f + k));
        }
        QVERIFY(recorder.isRunning());
        QCOMPARE(sink.finishCount, 0);
        clock.advance(100);
        recorder.sampleReading(readingAt(52.0f));
        QVERIFY(!recorder.isRunning());
        QCOMPARE(sink.finishCount, 1);
        QCOMPARE(running.size(), 2);
        QCOMPARE(running.last().at(0).toBool(), false);

        clock.advance(100);
        recorder.sampleReading(readingAt(53.0f));
        QCOMPARE(sink.samples.size(), 3);
    }

    void stopFinishesOnceAndOnlyWhileRunning()
    {
        FakeMeterClock clock;
        RecordingSink sink;
        RealTimeRecorder recorder(clock);
        recorder.setSink(&sink);
        recorder.stop();
        QCOMPARE(sink.finishCount, 0);
        recorder.start(0.2f);
        recorder.stop();
        recorder.stop();
        QCOMPARE(sink.finishCount, 1);
    }

    void closedGraphEndsRecordingWithoutFinishing()
    {
        FakeMeterClock clock;
        RecordingSink sink;
        RealTimeRecorder recorder(clock);
        recorder.setSink(&sink);
        recorder.start(0.2f);
        recorder.abandon();
        QVERIFY(!recorder.isRunning());
        QCOMPARE(sink.finishCount, 0);
        clock.advance(1000);
        recorder.sampleReading(readingAt(60.0f));
        QVERIFY(sink.samples.isEmpty());
    }

    void runWeighting_data()
    {
        // Each frame: level in tenths of a dB, negative for the meter on dBC.
        QTest::addColumn<QList<int>>("frames");
        QTest::addColumn<QList<AcousticWeighting>>("sampleWeightings");
        using W = AcousticWeighting;

        QTest::newRow("dBA throughout") << QList<int>{600, 610, 620} << QList<W>{W::A, W::A, W::A};
        QTest::newRow("dBC throughout")
            << QList<int>{-600, -610, -620} << QList<W>{W::C, W::C, W::C};
        QTest::newRow("dBA, then dBC: mixed from the change on, also after going back")
            << QList<int>{600, -610, 620} << QList<W>{W::A, W::Mixed, W::Mixed};
        QTest::newRow("a refused level that takes no sample names no weighting")
            << QList<int>{-1500, 600, 610} << QList<W>{W::A, W::A};
        QTest::newRow("a replaced level carries its own reading's weighting")
            << QList<int>{-600, 1500} << QList<W>{W::C, W::Mixed};
    }

    // Each sample carries the run's weighting so far; a new start forgets it.
    void runWeighting()
    {
        QFETCH(QList<int>, frames);
        QFETCH(QList<AcousticWeighting>, sampleWeightings);

        FakeMeterClock clock;
        RecordingSink sink;
        RealTimeRecorder recorder(clock);
        recorder.setSink(&sink);
        recorder.start(0.2f);
        for (int frame : frames) {
            clock.advance(200);
            MeterReading reading = readingAt(tenths(std::abs(frame)));
            reading.weightingA = frame > 0;
            recorder.sampleReading(reading);
        }
        QList<AcousticWeighting> carried;
        for (const RecordedSample& s : sink.samples)
            carried << s.weighting;
        QCOMPARE(carried, sampleWeightings);
        QCOMPARE(recorder.weighting().weighting(), sampleWeightings.last());

        recorder.stop();
        recorder.start(0.2f);
        QVERIFY(!recorder.weighting().hasSamples());
        clock.advance(200);
        MeterReading reading = readingAt(60.0f);
        reading.weightingA = sampleWeightings.first() != AcousticWeighting::A;
        recorder.sampleReading(reading);
        QCOMPARE(sink.samples.last().weighting,
                 reading.weightingA ? AcousticWeighting::A : AcousticWeighting::C);
    }

    void nothingIsSampledWhileStopped()
    {
        FakeMeterClock clock;
        RecordingSink sink;
        RealTimeRecorder recorder(clock);
        recorder.setSink(&sink);
        clock.advance(5000);
        recorder.sampleReading(readingAt(60.0f));
        QVERIFY(sink.samples.isEmpty());
    }
};

AUDIMARK_TEST_MAIN_CORE(TestRealTimeRecorder)
#include "tst_realtimerecorder.moc"
