#include "common/BenchPairs.h"
#include "common/TestMain.h"

#include "data/AcousticStatistics.h"

#include <QRandomGenerator>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

std::span<const float> spanOf(const QList<float>& levels)
{
    return {levels.constData(), size_t(levels.size())};
}

QList<float> oneToHundred()
{
    QList<float> levels;
    for (int i = 1; i <= 100; ++i)
        levels.append(float(i));
    return levels;
}

QList<float> noise(qsizetype count, quint32 seed)
{
    QRandomGenerator random(seed);
    QList<float> levels;
    for (qsizetype i = 0; i < count; ++i)
        levels.append(float(random.bounded(200, 1400)) / 10.0f);
    return levels;
}

// Every figure, for comparing two runs field by field.
QList<double> fieldsOf(const AcousticFigures& f)
{
    return {double(f.sampleCount), f.durationSeconds, f.leq, f.l5, f.l10, f.l50, f.l90, f.l95,
            f.lmax, f.lmin, f.secondsAbove, f.percentAbove};
}

} // namespace

class tst_AcousticStatistics : public QObject
{
    Q_OBJECT

private slots:
    void equivalentLevel_data()
    {
        QTest::addColumn<QList<float>>("levels");
        QTest::addColumn<double>("expected");
        QTest::newRow("60 and 80 dB") << QList<float>{60.0f, 80.0f} << 77.0329;
        QTest::newRow("80 and 60 dB") << QList<float>{80.0f, 60.0f} << 77.0329;
        QTest::newRow("five of 63.4 dB") << QList<float>(5, 63.4f) << double(63.4f);
        QTest::newRow("99,999 of 140 dB") << QList<float>(99'999, 140.0f) << 140.0;
        QTest::newRow("99,999 of 20 dB") << QList<float>(99'999, 20.0f) << 20.0;
        QTest::newRow("not a number left out")
            << QList<float>{60.0f, std::numeric_limits<float>::quiet_NaN(), 80.0f} << 77.0329;
        QTest::newRow("empty") << QList<float>{} << 0.0;
    }
    void equivalentLevel()
    {
        QFETCH(QList<float>, levels);
        QFETCH(double, expected);
        QVERIFY2(std::abs(AcousticStatistics::equivalentLevel(spanOf(levels)) - expected) < 1e-4,
                 qPrintable(QString::number(AcousticStatistics::equivalentLevel(spanOf(levels)),
                                            'f', 6)));
    }

    void percentileLevels_data()
    {
        QTest::addColumn<QList<float>>("levels");
        QTest::addColumn<QList<double>>("l5l10l50l90l95");
        QTest::newRow("1..100 dB once each") << oneToHundred() << QList<double>{95, 90, 50, 10, 5};
        QList<float> reversed = oneToHundred();
        std::reverse(reversed.begin(), reversed.end());
        QTest::newRow("100..1 dB") << reversed << QList<double>{95, 90, 50, 10, 5};
        QTest::newRow("one sample") << QList<float>{71.5f} << QList<double>(5, 71.5);
        // Ranks ceil(0.95 * 3) = 3, ceil(0.9 * 3) = 3, ceil(1.5) = 2, ceil(0.3) = 1.
        QTest::newRow("three samples")
            << QList<float>{50.0f, 70.0f, 60.0f} << QList<double>{70, 70, 60, 50, 50};
    }
    void percentileLevels()
    {
        QFETCH(QList<float>, levels);
        QFETCH(QList<double>, l5l10l50l90l95);
        const AcousticFigures f = AcousticStatistics::of(spanOf(levels), 1.0, 0.0);
        QCOMPARE((QList<double>{f.l5, f.l10, f.l50, f.l90, f.l95}), l5l10l50l90l95);
        QCOMPARE(AcousticStatistics::exceededLevel(spanOf(levels), 10.0), l5l10l50l90l95.at(1));
        // Exactly n % of the samples lie above Ln where n % of the count is whole.
        if (levels.size() == 100)
            QCOMPARE(std::count_if(levels.begin(), levels.end(), [&](float v) { return v > f.l10; }),
                     10);
    }

    void durationAndTimeAbove()
    {
        const QList<float> levels = oneToHundred();
        const AcousticFigures f = AcousticStatistics::of(spanOf(levels), 0.5, 85.0);
        QCOMPARE(f.sampleCount, 100);
        QCOMPARE(f.durationSeconds, 50.0);
        QCOMPARE(f.secondsAbove, 7.5); // 86..100: 15 samples of 0.5 s
        QCOMPARE(f.percentAbove, 15.0);
        QCOMPARE(f.lmax, 100.0);
        QCOMPARE(f.lmin, 1.0);
        QVERIFY(AcousticStatistics::of({}, 1.0, 85.0).isEmpty());
    }

    // Above the threshold in the meter's 0.1 dB steps: a level shown as the
    // threshold is not above it, and a threshold between steps counts as the
    // nearest step, whichever way the figures are found (levels off the
    // steps take the selection, the others the histogram).
    void levelOnTheThresholdIsNotAbove_data()
    {
        QTest::addColumn<QList<float>>("levels");
        QTest::addColumn<double>("threshold");
        QTest::addColumn<double>("percent");
        QTest::addColumn<double>("step");
        QTest::newRow("85.3 dB at a threshold of 85.3")
            << QList<float>{85.3f, 85.3f, 85.4f, 85.2f} << 85.3 << 25.0 << 85.3;
        QTest::newRow("one sample of 72.4 at 72.4") << QList<float>{72.4f} << 72.4 << 0.0 << 72.4;
        QTest::newRow("70.29 counts as 70.3")
            << QList<float>{70.3f, 70.4f} << 70.29 << 50.0 << 70.3;
        QTest::newRow("70.31 counts as 70.3")
            << QList<float>{70.3f, 70.4f} << 70.31 << 50.0 << 70.3;
        QTest::newRow("70.25 counts as 70.3")
            << QList<float>{70.3f, 70.4f} << 70.25 << 50.0 << 70.3;
        QTest::newRow("levels off the steps, by the step they show")
            << QList<float>{85.3f, 85.34f, 85.36f, 85.2f} << 85.3 << 25.0 << 85.3;
        QTest::newRow("a threshold that is not a number counts nothing")
            << QList<float>{85.3f} << std::numeric_limits<double>::quiet_NaN() << 0.0
            << std::numeric_limits<double>::quiet_NaN();
    }
    void levelOnTheThresholdIsNotAbove()
    {
        QFETCH(QList<float>, levels);
        QFETCH(double, threshold);
        QFETCH(double, percent);
        QFETCH(double, step);
        const AcousticFigures f = AcousticStatistics::of(spanOf(levels), 2.0, threshold);
        QCOMPARE(f.percentAbove, percent);
        QCOMPARE(f.secondsAbove, 2.0 * percent / 100.0 * double(levels.size()));
        if (std::isnan(step))
            QVERIFY(std::isnan(f.thresholdDb));
        else
            QCOMPARE(f.thresholdDb, step);
        for (const float v : levels)
            QCOMPARE(AcousticStatistics::isAbove(v, threshold),
                     std::round(v * 10.0) > std::round(step * 10.0));
    }

    // An interval below 0 (times that run backwards) gives no duration and
    // no time above, never negative ones; the share above stays.
    void intervalBelowZeroGivesNoDurations_data()
    {
        QTest::addColumn<double>("interval");
        QTest::newRow("-24 s") << -24.0;
        QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN();
    }
    void intervalBelowZeroGivesNoDurations()
    {
        QFETCH(double, interval);
        const QList<float> levels{70.f, 90.f, 70.f, 70.f};
        const AcousticFigures f = AcousticStatistics::of(spanOf(levels), interval, 85.0);
        QVERIFY(!f.hasDurations());
        QCOMPARE(f.durationSeconds, 0.0);
        QCOMPARE(f.secondsAbove, 0.0);
        QCOMPARE(f.percentAbove, 25.0);
        QVERIFY(AcousticStatistics::of(spanOf(levels), 0.0, 85.0).hasDurations());
    }

    // The span between the cursors is the same run computed on its own,
    // whichever way the thumbs cross, and moving a thumb changes it.
    void betweenCursorsIsTheSpanOnItsOwn()
    {
        const QList<float> levels = noise(4'096, 7);
        const auto all = spanOf(levels);
        const AcousticFigures span = AcousticStatistics::between(all, 3'000, 1'000, 1.0, 90.0);
        const AcousticFigures own = AcousticStatistics::of(all.subspan(1'000, 2'001), 1.0, 90.0);
        QCOMPARE(fieldsOf(span), fieldsOf(own));
        const AcousticFigures moved = AcousticStatistics::between(all, 1'000, 3'500, 1.0, 90.0);
        QVERIFY(fieldsOf(moved) != fieldsOf(span));
        QCOMPARE(AcousticStatistics::between(all, -5, 1'000'000, 1.0, 90.0).sampleCount, 4'096);
    }

    // Levels on the meter's 0.1 dB steps take the histogram; any others the
    // selection. Both give the figures of the definition.
    void everyRunGetsTheDefinedFigures_data()
    {
        QTest::addColumn<QList<float>>("levels");
        QTest::newRow("0.1 dB steps") << noise(20'001, 5);
        QList<float> offGrid = noise(20'001, 5);
        offGrid[77] += 0.03f;
        QTest::newRow("one level off the steps") << offGrid;
        QList<float> loud = noise(20'001, 5);
        loud[5] = 300.0f;
        QTest::newRow("one level beyond the bins") << loud;
    }
    void everyRunGetsTheDefinedFigures()
    {
        QFETCH(QList<float>, levels);
        const auto run = spanOf(levels);
        const AcousticFigures f = AcousticStatistics::of(run, 1.0, 90.0);
        QCOMPARE((QList<double>{f.l5, f.l10, f.l50, f.l90, f.l95}),
                 (QList<double>{AcousticStatistics::exceededLevel(run, 5),
                                AcousticStatistics::exceededLevel(run, 10),
                                AcousticStatistics::exceededLevel(run, 50),
                                AcousticStatistics::exceededLevel(run, 90),
                                AcousticStatistics::exceededLevel(run, 95)}));
        QVERIFY(std::abs(f.leq - AcousticStatistics::equivalentLevel(run)) < 1e-9);
        QCOMPARE(f.lmax, double(*std::max_element(levels.begin(), levels.end())));
        QCOMPARE(f.lmin, double(*std::min_element(levels.begin(), levels.end())));
        QCOMPARE(f.secondsAbove, double(std::count_if(levels.begin(), levels.end(), [](float v) {
                     return std::round(v * 10.0) > 900.0;
                 })));
    }

    void orderDoesNotMatter()
    {
        QList<float> levels = noise(9'999, 11);
        const AcousticFigures before = AcousticStatistics::of(spanOf(levels), 1.0, 100.0);
        std::sort(levels.begin(), levels.end());
        const AcousticFigures sorted = AcousticStatistics::of(spanOf(levels), 1.0, 100.0);
        QCOMPARE(sorted.l50, before.l50);
        QCOMPARE(sorted.l90, before.l90);
        QVERIFY(std::abs(sorted.leq - before.leq) < 1e-9);
    }

    // A run counted level by level, as real-time recording counts it, gives
    // at every length the figures worked out afresh from all its levels.
    void runningFiguresAreTheFullRecomputation_data()
    {
        QTest::addColumn<QList<float>>("levels");
        QTest::addColumn<double>("threshold");
        QTest::newRow("on the 0.1 dB steps") << noise(5'000, 21) << 85.0;
        QList<float> rising;
        for (int i = 0; i < 3'000; ++i)
            rising.append(i < 2'000 ? float(300 + i / 4) / 10.0f : 35.0f);
        QTest::newRow("rising, then quiet") << rising << 60.05;
        QList<float> offGrid = noise(5'000, 22);
        offGrid[2'400] = 71.234f;
        QTest::newRow("off the steps from the middle on") << offGrid << 70.0;
        QList<float> unusable = noise(3'000, 23);
        unusable[0] = std::numeric_limits<float>::quiet_NaN();
        unusable[1'500] = std::numeric_limits<float>::infinity();
        QTest::newRow("non-finite levels among them") << unusable << 85.0;
        QList<float> loud = noise(3'000, 24);
        loud[10] = 300.0f;
        QTest::newRow("a level beyond the steps counted") << loud << 250.0;
        QTest::newRow("the graph filling up") << noise(99'999, 25) << 85.0;
    }
    void runningFiguresAreTheFullRecomputation()
    {
        QFETCH(QList<float>, levels);
        QFETCH(double, threshold);
        const qsizetype n = levels.size();
        QList<qsizetype> lengths{0, 1, 2, 3, 7, 100, n / 3, n / 2, n / 2 + 1, n - 1, n};
        for (qsizetype i = 997; i < n; i += n / 7)
            lengths.append(i);
        std::sort(lengths.begin(), lengths.end());

        RunningAcousticFigures running;
        running.add(99.9f); // an earlier run, forgotten by reset
        running.reset();
        qsizetype counted = 0;
        for (const qsizetype length : std::as_const(lengths)) {
            for (; counted < length; ++counted)
                running.add(levels[counted]);
            QCOMPARE(running.addedCount(), length);
            const auto run = spanOf(levels).first(size_t(length));
            for (const double interval : {0.1, 1.0}) {
                const AcousticFigures full = AcousticStatistics::of(run, interval, threshold);
                const AcousticFigures kept = running.figures(run, interval, threshold);
                QCOMPARE(fieldsOf(kept), fieldsOf(full));
                QCOMPARE(kept.thresholdDb, full.thresholdDb);
            }
        }
    }

    // The meter's levels are counted in steps throughout; one level off them
    // makes the rest work from the levels handed over.
    void runningFiguresCountInStepsWhileTheyCan()
    {
        RunningAcousticFigures running;
        for (int tenths = 200; tenths < 1'200; ++tenths)
            running.add(float(tenths * 0.1)); // as the meter's frames are read
        QVERIFY(running.inSteps());
        // Handed no levels, figures in steps cannot have read them.
        QCOMPARE(running.figures({}, 1.0, 85.0).sampleCount, 1'000);
        running.add(60.05f);
        QVERIFY(!running.inSteps());
        running.reset();
        QVERIFY(running.inSteps());
        QVERIFY(running.figures({}, 1.0, 85.0).isEmpty());
    }

    void weightingOfARecording_data()
    {
        QTest::addColumn<QList<bool>>("aWeighted");
        QTest::addColumn<QString>("weighting");
        QTest::addColumn<QString>("name");
        QTest::newRow("A throughout") << QList<bool>{true, true} << "A" << "LAeq";
        QTest::newRow("C throughout") << QList<bool>{false, false} << "C" << "LCeq";
        QTest::newRow("changed and back") << QList<bool>{false, true, false} << "mixed" << "Leq";
    }
    void weightingOfARecording()
    {
        QFETCH(QList<bool>, aWeighted);
        QFETCH(QString, weighting);
        QFETCH(QString, name);
        WeightingTracker tracker;
        tracker.add(!aWeighted.first()); // an earlier recording, forgotten by reset
        tracker.reset();
        for (const bool a : aWeighted)
            tracker.add(a);
        QCOMPARE(weightingText(tracker.weighting()), weighting);
        QCOMPARE(equivalentLevelName(tracker.weighting()), name);
    }

    // All figures of the longest real-time run, against a full sort of a copy.
    void benchmarkAllFigures()
    {
        if (qEnvironmentVariableIsEmpty("AUDIMARK_BENCH"))
            QSKIP("set AUDIMARK_BENCH=1 to run the benchmarks");
        const QList<float> levels = noise(99'999, 3);
        double sink = 0.0;
        const auto figures = BenchPairs::timeInTurn(
            [&] { sink += AcousticStatistics::of(spanOf(levels), 1.0, 85.0).l50; },
            [&] {
                std::vector<float> copy(levels.begin(), levels.end());
                std::sort(copy.begin(), copy.end());
                sink += copy[copy.size() / 2];
            });
        BenchPairs::report("all acoustic figures of 99,999 samples", "sorting a copy", figures);
        QVERIFY(sink > 0.0);
    }
};

AUDIMARK_TEST_MAIN_CORE(tst_AcousticStatistics)
#include "tst_acousticstatistics.moc"
