// Cost of the acoustician's figures of a series - sample timing, 15 min
// period levels with their events, day-evening-night levels and the noise
// dose - for 99,999 samples and for a full logger memory (32,000 samples),
// beside the whole-series figures of AcousticStatistics on the same levels.
// The aim is under 20 ms for all of them. Run by hand; not part of the test
// run.

#include "acoustics/DayEveningNight.h"
#include "acoustics/NoiseDose.h"
#include "acoustics/PeriodLevels.h"
#include "data/AcousticStatistics.h"

#include <QRandomGenerator>
#include <QtTest>

#include <vector>

namespace {

struct Series
{
    std::vector<double> times;
    std::vector<float> levels;
};

Series noisySeries(int count, double stepSeconds)
{
    QRandomGenerator random(58);
    Series s;
    const double start = 40282.25; // 14 April 2010, 06:00
    for (int i = 0; i < count; ++i) {
        s.times.push_back(start + i * stepSeconds / 86400.0);
        s.levels.push_back(float(random.bounded(400, 1000)) / 10.0f);
    }
    return s;
}

} // namespace

class BenchFigures : public QObject
{
    Q_OBJECT

private slots:
    void figures_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<double>("step");
        QTest::addColumn<bool>("all");
        QTest::newRow("99,999 samples: all figures") << 99'999 << 1.0 << true;
        QTest::newRow("99,999 samples: AcousticStatistics alone") << 99'999 << 1.0 << false;
        QTest::newRow("full logger memory: all figures") << 32'000 << 2.0 << true;
        QTest::newRow("full logger memory: AcousticStatistics alone") << 32'000 << 2.0 << false;
    }

    void figures()
    {
        QFETCH(int, count);
        QFETCH(double, step);
        QFETCH(bool, all);
        const Series s = noisySeries(count, step);
        double sink = 0.0;
        QBENCHMARK
        {
            if (!all) {
                sink += AcousticStatistics::of(s.levels, step, 85.0).leq;
                continue;
            }
            const SampleTiming timing = SampleTiming::of(s.times, s.levels, step);
            QList<PeriodLevel> periods = PeriodLevels::of(timing, s.levels, 900'000);
            PeriodLevels::countEvents(periods,
                                      ExceedanceEvents::find(timing, s.levels, {85.0, 10.0, 2.0}));
            const DenFigures den = DayEveningNight::of(timing, s.levels);
            const NoiseDose dose = NoiseDoses::of(timing, s.levels);
            sink += periods.size() + den.whole.lden.value_or(0.0) + dose.dosePercent;
        }
        QVERIFY(sink > 0.0);
    }
};

QTEST_APPLESS_MAIN(BenchFigures)
#include "bench_figures.moc"
