// The acoustician's figures against values worked out by hand: period
// levels, day-evening-night, exceedance events with SEL, noise dose, the
// names and counts beside them.

#include "common/TestMain.h"

#include "acoustics/DayEveningNight.h"
#include "acoustics/ExceedanceEvents.h"
#include "acoustics/FigureNames.h"
#include "acoustics/NoiseDose.h"
#include "acoustics/PeriodLevels.h"
#include "data/GraphTexts.h"

#include <cmath>
#include <limits>
#include <vector>

namespace {

// A run of `count` samples of one level; a negative level is a gap of
// `count` sample slots without samples.
struct Run
{
    int count;
    float level;
};
using Runs = QList<Run>;

struct Series
{
    std::vector<double> times;
    std::vector<float> levels;
    double stepSeconds = 1.0;

    [[nodiscard]] SampleTiming timing() const
    {
        return SampleTiming::of(times, levels, stepSeconds);
    }
};

Series seriesOf(const QDateTime& start, double stepSeconds, const Runs& runs)
{
    Series s;
    s.stepSeconds = stepSeconds;
    const double first = GraphTexts::fromDateTime(start);
    qint64 slot = 0;
    for (const Run& run : runs) {
        for (int i = 0; i < run.count; ++i, ++slot) {
            if (run.level < 0)
                continue;
            s.times.push_back(first + double(slot) * stepSeconds / 86400.0);
            s.levels.push_back(run.level);
        }
    }
    return s;
}

QDateTime at(int hour, int minute = 0, int second = 0)
{
    return QDateTime(QDate(2010, 4, 14), QTime(hour, minute, second));
}

bool near(double a, double b, double within = 0.05)
{
    return std::abs(a - b) <= within;
}

} // namespace

class tst_AcousticFigures : public QObject
{
    Q_OBJECT

private slots:
    void timeWeightedEquivalentLevel_data()
    {
        QTest::addColumn<QList<float>>("levels");
        QTest::addColumn<QList<double>>("seconds");
        QTest::addColumn<double>("expected");
        QTest::newRow("equal weights: energy mean")
            << QList<float>{60.0f, 80.0f} << QList<double>{1.0, 1.0} << 77.0329;
        QTest::newRow("80 dB for 9 s, 60 dB for 1 s")
            << QList<float>{60.0f, 80.0f} << QList<double>{1.0, 9.0} << 79.5472;
        QTest::newRow("a zero weight leaves its level out")
            << QList<float>{60.0f, 120.0f} << QList<double>{2.0, 0.0} << 60.0;
        QTest::newRow("not a number left out")
            << QList<float>{std::numeric_limits<float>::quiet_NaN(), 70.0f}
            << QList<double>{5.0, 1.0} << 70.0;
        QTest::newRow("nothing left: 0") << QList<float>{} << QList<double>{} << 0.0;
    }

    void timeWeightedEquivalentLevel()
    {
        QFETCH(QList<float>, levels);
        QFETCH(QList<double>, seconds);
        QFETCH(double, expected);
        const double leq = AcousticStatistics::equivalentLevel(
            std::span<const float>(levels.constData(), levels.size()),
            std::span<const double>(seconds.constData(), seconds.size()));
        QVERIFY2(near(leq, expected, 0.0005), qPrintable(QString::number(leq)));
    }

    void periodLevels_data()
    {
        QTest::addColumn<QDateTime>("start");
        QTest::addColumn<double>("step");
        QTest::addColumn<Runs>("runs");
        QTest::addColumn<QString>("length");
        // per period: start hh:mm, samples, LAeq, L10, L90, complete
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("two whole 15 min periods at 60 and 70 dB")
            << at(10) << 60.0 << Runs{{15, 60.0f}, {15, 70.0f}} << "15m"
            << QStringList{"10:00 15 60.0 60.0 60.0 complete", "10:15 15 70.0 70.0 70.0 complete"};
        QTest::newRow("aligned to the clock: ragged ends incomplete")
            << at(10, 5) << 60.0 << Runs{{20, 60.0f}} << "15m"
            << QStringList{"10:00 10 60.0 60.0 60.0 incomplete",
                           "10:15 10 60.0 60.0 60.0 incomplete"};
        QTest::newRow("a gap leaves its period incomplete, the next one without samples")
            << at(10) << 60.0 << Runs{{20, 60.0f}, {30, -1.0f}, {10, 80.0f}} << "15m"
            << QStringList{"10:00 15 60.0 60.0 60.0 complete", "10:15 5 60.0 60.0 60.0 incomplete",
                           "10:30 0 0.0 0.0 0.0 incomplete", "10:45 10 80.0 80.0 80.0 incomplete"};
        QTest::newRow("one hour, 20 % at 80 dB: nearest-rank L10 and L90")
            << at(0) << 36.0 << Runs{{80, 50.0f}, {20, 80.0f}} << "1h"
            << QStringList{"00:00 100 73.0 80.0 50.0 complete"};
        QTest::newRow("half the hour at 80 dB: LAeq 3 dB below")
            << at(8) << 1.0 << Runs{{1800, 80.0f}, {1800, 0.0f}} << "1h"
            << QStringList{"08:00 3600 77.0 80.0 0.0 complete"};
    }

    void periodLevels()
    {
        QFETCH(QDateTime, start);
        QFETCH(double, step);
        QFETCH(Runs, runs);
        QFETCH(QString, length);
        QFETCH(QStringList, expected);
        const Series series = seriesOf(start, step, runs);
        const std::optional<qint64> ms = PeriodLevels::lengthOf(length);
        QVERIFY(ms);
        const QList<PeriodLevel> periods = PeriodLevels::of(series.timing(), series.levels, *ms);
        QStringList got;
        for (const PeriodLevel& p : periods) {
            const QDateTime begins = GraphTexts::toDateTime(SampleTiming::toDateTime(p.startMs));
            QCOMPARE(p.endMs - p.startMs, *ms);
            got.append(QStringLiteral("%1 %2 %3 %4 %5 %6")
                           .arg(begins.toString("HH:mm"))
                           .arg(p.samples)
                           .arg(p.leq, 0, 'f', 1)
                           .arg(p.l10, 0, 'f', 1)
                           .arg(p.l90, 0, 'f', 1)
                           .arg(p.isComplete() ? "complete" : "incomplete"));
        }
        QCOMPARE(got, expected);
    }

    void periodLength_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("ms"); // 0: refused
        QTest::newRow("15m") << "15m" << qint64(900'000);
        QTest::newRow("1h") << "1h" << qint64(3'600'000);
        QTest::newRow("5m") << "5m" << qint64(300'000);
        QTest::newRow("1d") << "1d" << qint64(86'400'000);
        QTest::newRow("bare seconds") << "30" << qint64(30'000);
        QTest::newRow("7m does not divide a day") << "7m" << qint64(0);
        QTest::newRow("2d is longer than a day") << "2d" << qint64(0);
        QTest::newRow("0m") << "0m" << qint64(0);
        QTest::newRow("words") << "hour" << qint64(0);
    }

    void periodLength()
    {
        QFETCH(QString, text);
        QFETCH(qint64, ms);
        QCOMPARE(PeriodLevels::lengthOf(text).value_or(0), ms);
    }

    void dayEveningNight_data()
    {
        QTest::addColumn<QDateTime>("start");
        QTest::addColumn<double>("step");
        QTest::addColumn<Runs>("runs");
        QTest::addColumn<QString>("starts");
        QTest::addColumn<QString>("penalties");
        // Lday Levening Lnight Lden Ldn of the first day, "-" for none
        QTest::addColumn<QString>("expected");
        QTest::addColumn<double>("nightCoverage");
        QTest::newRow("a day at a constant 60 dB: Lden 66.4")
            << at(7) << 60.0 << Runs{{24 * 60, 60.0f}} << ""
            << ""
            << "60.0 60.0 60.0 66.4 66.0" << 1.0;
        QTest::newRow("a calendar day at 60 dB: an eighth of its night covered")
            << at(0) << 60.0 << Runs{{24 * 60, 60.0f}} << ""
            << ""
            << "60.0 60.0 60.0 66.4 66.0" << 0.125;
        QTest::newRow("day 70, evening 65, night 55")
            << at(7) << 600.0 << Runs{{72, 70.0f}, {24, 65.0f}, {48, 55.0f}} << ""
            << ""
            << "70.0 65.0 55.0 68.9 68.2" << 1.0;
        QTest::newRow("no night: no Lden, no Ldn") << at(7) << 60.0 << Runs{{16 * 60, 60.0f}} << ""
                                                   << ""
                                                   << "60.0 60.0 - - -" << 0.0;
        QTest::newRow("own periods and penalties: 06-22 day, 22-06 night")
            << at(6) << 60.0 << Runs{{24 * 60, 60.0f}} << "06:00,18:00,22:00"
            << "0,5"
            << "60.0 60.0 60.0 62.4 62.4" << 1.0;
    }

    void dayEveningNight()
    {
        QFETCH(QDateTime, start);
        QFETCH(double, step);
        QFETCH(Runs, runs);
        QFETCH(QString, starts);
        QFETCH(QString, penalties);
        QFETCH(QString, expected);
        QFETCH(double, nightCoverage);
        DenSettings settings;
        if (!starts.isEmpty())
            QVERIFY(settings.readStarts(starts));
        if (!penalties.isEmpty())
            QVERIFY(settings.readPenalties(penalties));
        const Series series = seriesOf(start, step, runs);
        const DenFigures den = DayEveningNight::of(series.timing(), series.levels, settings);
        QVERIFY(!den.days.isEmpty());
        const DenLevels& day =
            den.days.last().samples > den.days.first().samples ? den.days.last() : den.days.first();
        const auto text = [](std::optional<double> v) {
            return v ? QString::number(*v, 'f', 1) : QStringLiteral("-");
        };
        QCOMPARE(QStringList({text(day.lday), text(day.levening), text(day.lnight), text(day.lden),
                              text(day.ldn)})
                     .join(' '),
                 expected);
        QVERIFY2(near(day.nightCoverage, nightCoverage, 0.001),
                 qPrintable(QString::number(day.nightCoverage)));
        QVERIFY(near(den.whole.lday.value_or(0), day.lday.value_or(0), 0.001));
    }

    void denSettings_data()
    {
        QTest::addColumn<QString>("starts");
        QTest::addColumn<bool>("valid");
        QTest::newRow("default") << "07:00,19:00,23:00" << true;
        QTest::newRow("hours alone") << "7,19,23" << true;
        QTest::newRow("night after midnight") << "07:00,19:00,00:30" << true;
        QTest::newRow("evening before day") << "19:00,07:00,23:00" << false;
        QTest::newRow("two starts") << "07:00,19:00" << false;
        QTest::newRow("25 o'clock") << "07:00,19:00,25:00" << false;
    }

    void denSettings()
    {
        QFETCH(QString, starts);
        QFETCH(bool, valid);
        DenSettings settings;
        QCOMPARE(settings.readStarts(starts), valid);
    }

    void exceedanceEvents_data()
    {
        QTest::addColumn<QDateTime>("start");
        QTest::addColumn<double>("step");
        QTest::addColumn<Runs>("runs");
        QTest::addColumn<double>("threshold");
        QTest::addColumn<double>("minimum");
        QTest::addColumn<double>("hysteresis");
        // per event: first index, duration s, Lmax, Leq, SEL
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("10 s at a constant 80 dB: SEL 90.0")
            << at(9) << 1.0 << Runs{{5, 50.0f}, {10, 80.0f}, {5, 50.0f}} << 70.0 << 10.0 << 2.0
            << QStringList{"5 10.0 80.0 80.0 90.0"};
        QTest::newRow("shorter than the minimum: none")
            << at(9) << 1.0 << Runs{{5, 50.0f}, {9, 80.0f}, {5, 50.0f}} << 70.0 << 10.0 << 2.0
            << QStringList{};
        QTest::newRow("at the threshold is not above it")
            << at(9) << 1.0 << Runs{{20, 70.0f}} << 70.0 << 1.0 << 2.0 << QStringList{};
        QTest::newRow("a dip within the hysteresis keeps one event")
            << at(9) << 1.0 << Runs{{5, 75.0f}, {5, 69.0f}, {5, 75.0f}, {5, 50.0f}} << 70.0 << 10.0
            << 2.0 << QStringList{"0 15.0 75.0 73.8 85.5"};
        QTest::newRow("a dip below the hysteresis ends it")
            << at(9) << 1.0 << Runs{{10, 75.0f}, {5, 67.9f}, {10, 75.0f}} << 70.0 << 10.0 << 2.0
            << QStringList{"0 10.0 75.0 75.0 85.0", "15 10.0 75.0 75.0 85.0"};
        QTest::newRow("a gap ends it")
            << at(9) << 1.0 << Runs{{12, 80.0f}, {5, -1.0f}, {12, 80.0f}} << 70.0 << 10.0 << 2.0
            << QStringList{"0 12.0 80.0 80.0 90.8", "12 12.0 80.0 80.0 90.8"};
        QTest::newRow("2 s samples: 6 samples are 12 s")
            << at(9) << 2.0 << Runs{{6, 90.0f}, {1, 40.0f}} << 85.0 << 10.0 << 2.0
            << QStringList{"0 12.0 90.0 90.0 100.8"};
    }

    void exceedanceEvents()
    {
        QFETCH(QDateTime, start);
        QFETCH(double, step);
        QFETCH(Runs, runs);
        QFETCH(double, threshold);
        QFETCH(double, minimum);
        QFETCH(double, hysteresis);
        QFETCH(QStringList, expected);
        const Series series = seriesOf(start, step, runs);
        const QList<ExceedanceEvent> events = ExceedanceEvents::find(
            series.timing(), series.levels, EventCriteria{threshold, minimum, hysteresis});
        QStringList got;
        for (const ExceedanceEvent& e : events) {
            QCOMPARE(e.endMs - e.startMs, qint64(std::llround(e.durationSeconds * 1000.0)));
            got.append(QStringLiteral("%1 %2 %3 %4 %5")
                           .arg(e.first)
                           .arg(e.durationSeconds, 0, 'f', 1)
                           .arg(e.lmax, 0, 'f', 1)
                           .arg(e.leq, 0, 'f', 1)
                           .arg(e.sel, 0, 'f', 1));
        }
        QCOMPARE(got, expected);
    }

    void eventsPerPeriod_data()
    {
        QTest::addColumn<Runs>("runs");
        QTest::addColumn<QList<qsizetype>>("counts");
        // Samples of 1 min from 09:45; periods of 15 min.
        QTest::newRow("an event crossing 10:00 counted once, where it starts")
            << Runs{{10, 50.0f}, {10, 80.0f}, {15, 50.0f}} << QList<qsizetype>{1, 0, 0};
        QTest::newRow("two events in one period")
            << Runs{{16, 50.0f}, {1, 80.0f}, {1, 50.0f}, {1, 80.0f}, {16, 50.0f}}
            << QList<qsizetype>{0, 2, 0};
    }

    void eventsPerPeriod()
    {
        QFETCH(Runs, runs);
        QFETCH(QList<qsizetype>, counts);
        const Series series = seriesOf(at(9, 45), 60.0, runs);
        const SampleTiming timing = series.timing();
        QList<PeriodLevel> periods = PeriodLevels::of(timing, series.levels, 900'000);
        PeriodLevels::countEvents(periods,
                                  ExceedanceEvents::find(timing, series.levels, {70.0, 10.0, 2.0}));
        QList<qsizetype> got;
        for (const PeriodLevel& p : periods)
            got.append(p.events);
        QCOMPARE(got, counts);
    }

    void noiseDose_data()
    {
        QTest::addColumn<double>("hours"); // of the series
        QTest::addColumn<float>("level");
        QTest::addColumn<double>("exposure"); // h
        QTest::addColumn<int>("rate");
        QTest::addColumn<double>("criterion");
        QTest::addColumn<double>("lex");
        QTest::addColumn<double>("dose");
        QTest::newRow("LEX,8h of 4 h at 91 dB = 88.0")
            << 4.0 << 91.0f << 4.0 << 3 << 85.0 << 88.0 << 199.5;
        QTest::newRow("8 h at 85 dB = 100 %") << 8.0 << 85.0f << 8.0 << 3 << 85.0 << 85.0 << 100.0;
        QTest::newRow("8 h at 88 dB = 200 %") << 8.0 << 88.0f << 8.0 << 3 << 85.0 << 88.0 << 200.0;
        QTest::newRow("one hour taken for 8 h") << 1.0 << 82.0f << 8.0 << 3 << 85.0 << 82.0 << 50.0;
        QTest::newRow("5 dB rate: 8 h at 95 against 90 = 200 %")
            << 8.0 << 95.0f << 8.0 << 5 << 90.0 << 95.0 << 200.0;
        QTest::newRow("5 dB rate: 4 h at 90 against 90 = 50 %")
            << 4.0 << 90.0f << 4.0 << 5 << 90.0 << 87.0 << 50.0;
    }

    void noiseDose()
    {
        QFETCH(double, hours);
        QFETCH(float, level);
        QFETCH(double, exposure);
        QFETCH(int, rate);
        QFETCH(double, criterion);
        QFETCH(double, lex);
        QFETCH(double, dose);
        const Series series = seriesOf(at(6), 60.0, {{int(hours * 60), level}});
        const NoiseDose d = NoiseDoses::of(series.timing(), series.levels,
                                           DoseSettings{exposure * 3600.0, rate, criterion});
        QVERIFY(d.valid);
        QVERIFY2(near(d.lex8h, lex), qPrintable(QString::number(d.lex8h)));
        QVERIFY2(near(d.dosePercent, dose, 0.1), qPrintable(QString::number(d.dosePercent)));
        QCOMPARE(d.measuredSeconds, hours * 3600.0);
    }

    void namesAndCounts_data()
    {
        QTest::addColumn<QString>("got");
        QTest::addColumn<QString>("expected");
        const std::optional<AcousticWeighting> a = AcousticWeighting::A;
        const std::optional<AcousticWeighting> c = AcousticWeighting::C;
        const std::optional<AcousticWeighting> unknown;
        QTest::newRow("LAeq") << FigureNames::equivalentLevelName(a) << "LAeq";
        QTest::newRow("LCeq") << FigureNames::equivalentLevelName(c) << "LCeq";
        QTest::newRow("Leq, weighting unknown")
            << FigureNames::equivalentLevelName(unknown) << "Leq";
        QTest::newRow("key laeq_db") << FigureNames::equivalentLevelKey(a) << "laeq_db";
        QTest::newRow("key leq_db") << FigureNames::equivalentLevelKey(unknown) << "leq_db";
        QTest::newRow("LAFmax") << FigureNames::levelName(a, TimeWeighting::Fast, "max")
                                << "LAFmax";
        QTest::newRow("LCS") << FigureNames::levelName(c, TimeWeighting::Slow) << "LCS";
        QTest::newRow("Lmax, nothing known")
            << FigureNames::levelName(unknown, TimeWeighting::Fast, "max") << "Lmax";
        QTest::newRow("sampling note")
            << FigureNames::samplingNote(600, 2.0) << "sampled: 600 readings at 2 s";
        const std::vector<float> levels{50.0f,  19.9f, 50.0f,
                                        140.1f, 60.0f, std::numeric_limits<float>::quiet_NaN()};
        const SampleCounts logger = FigureNames::countSamples(levels, true, 0);
        QTest::newRow("counts of logger data") << QStringLiteral("%1 %2 %3 %4")
                                                      .arg(logger.samples)
                                                      .arg(logger.notFinite)
                                                      .arg(logger.outOfRange)
                                                      .arg(logger.possibleStandIns)
                                               << "5 1 2 2";
        const SampleCounts file = FigureNames::countSamples(levels, false, 3);
        QTest::newRow("counts of a file: no stand-ins, rows without level")
            << QStringLiteral("%1 %2").arg(file.possibleStandIns).arg(file.rowsWithoutLevel)
            << "0 3";
    }

    void namesAndCounts()
    {
        QFETCH(QString, got);
        QFETCH(QString, expected);
        QCOMPARE(got, expected);
    }

    void percentileRule_data()
    {
        QTest::addColumn<QList<float>>("levels");
        QTest::addColumn<double>("percent");
        QTest::addColumn<double>("nearestRank");
        QTest::addColumn<double>("interpolated");
        QList<float> hundred;
        for (int i = 1; i <= 100; ++i)
            hundred.append(float(i));
        QTest::newRow("L10 of 1..100") << hundred << 10.0 << 90.0 << 90.1;
        QTest::newRow("L90 of 1..100") << hundred << 90.0 << 10.0 << 10.9;
        QTest::newRow("L50 of 60 and 70") << QList<float>{60.0f, 70.0f} << 50.0 << 60.0 << 65.0;
        QTest::newRow("one level") << QList<float>{42.0f} << 10.0 << 42.0 << 42.0;
    }

    void percentileRule()
    {
        QFETCH(QList<float>, levels);
        QFETCH(double, percent);
        QFETCH(double, nearestRank);
        QFETCH(double, interpolated);
        const std::span<const float> span(levels.constData(), levels.size());
        QCOMPARE(FigureNames::percentileLevel(span, percent, PercentileRule::NearestRank),
                 nearestRank);
        QVERIFY(near(FigureNames::percentileLevel(span, percent, PercentileRule::Interpolated),
                     interpolated, 1e-6));
    }

    void unevenSpacing()
    {
        // A real-time recording: samples at 0, 1, 2.4 and 3.4 s. The one of
        // 90 dB stands for 1 s of 4.4 s: LAeq 83.58 dB, not the 83.99 dB of
        // the four levels weighted alike.
        const double t0 = GraphTexts::fromDateTime(at(12));
        std::vector<double> times;
        for (const double s : {0.0, 1.0, 2.4, 3.4})
            times.push_back(t0 + s / 86400.0);
        const std::vector<float> levels{90.0f, 60.0f, 60.0f, 60.0f};
        const SampleTiming timing = SampleTiming::of(times, levels, 0.0);
        QCOMPARE(timing.durationMs, (std::vector<qint64>{1000, 1400, 1000, 1000}));
        QCOMPARE(timing.gaps, qsizetype(0));
        const NoiseDose d = NoiseDoses::of(timing, levels, {});
        QVERIFY2(near(d.leq, 83.58, 0.005), qPrintable(QString::number(d.leq)));
    }
};

AUDIMARK_TEST_MAIN_CORE(tst_AcousticFigures)
#include "tst_acousticfigures.moc"
