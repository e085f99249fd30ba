#include "common/TestMain.h"

#include "data/SeriesStatistics.h"

#include <QRandomGenerator>

namespace {

constexpr double kStart = 46000.25;
constexpr double kSecond = 1.0 / 86400.0;

// Points as a chart holds them: X and Y side by side.
struct Series
{
    QList<double> xs;
    QList<float> ys;
    [[nodiscard]] double x(qsizetype i) const { return xs.at(i); }
    [[nodiscard]] float y(qsizetype i) const { return ys.at(i); }
    [[nodiscard]] std::span<const double> xSpan() const
    {
        return {xs.constData(), size_t(xs.size())};
    }
    [[nodiscard]] std::span<const float> ySpan() const
    {
        return {ys.constData(), size_t(ys.size())};
    }
    [[nodiscard]] SeriesStatistics whole() const
    {
        return SeriesStatistics::whole(xSpan(), ySpan());
    }
    [[nodiscard]] SeriesStatistics between(qsizetype a, qsizetype b) const
    {
        return SeriesStatistics::between(xSpan(), ySpan(), a, b);
    }
};

Series seriesOf(const QList<float>& levels, double secondsApart = 1.0)
{
    Series s;
    for (qsizetype i = 0; i < levels.size(); ++i)
        s.xs.append(kStart + double(i) * secondsApart * kSecond);
    s.ys = levels;
    return s;
}

} // namespace

class tst_SeriesStatistics : public QObject
{
    Q_OBJECT

private slots:
    void rateIsSpanOverPointCount_data();
    void rateIsSpanOverPointCount();
    void averageIsArithmeticMean();
    void firstExtremeWins();
    void emptySeries();
    void betweenCursors_data();
    void betweenCursors();
    void betweenClampsIntoSeries();
    void betweenOnEmptySeries();
    void spansOfUnequalLength();
    void benchmarkWholeSeries();
};

void tst_SeriesStatistics::rateIsSpanOverPointCount_data()
{
    QTest::addColumn<int>("points");
    QTest::addColumn<double>("secondsApart");
    QTest::addColumn<double>("rate");

    QTest::newRow("10 points 1 s apart") << 10 << 1.0 << 0.9;
    QTest::newRow("2 points 2 s apart") << 2 << 2.0 << 1.0;
    QTest::newRow("one point") << 1 << 1.0 << 0.0;
}

void tst_SeriesStatistics::rateIsSpanOverPointCount()
{
    QFETCH(int, points);
    QFETCH(double, secondsApart);
    QFETCH(double, rate);

    const auto stats = seriesOf(QList<float>(points, 60.0f), secondsApart).whole();
    QCOMPARE(stats.pointCount, points);
    QCOMPARE(stats.startTime, kStart);
    QVERIFY2(qAbs(stats.rateSeconds - rate) < 1e-6, qPrintable(QString::number(stats.rateSeconds)));
}

void tst_SeriesStatistics::averageIsArithmeticMean()
{
    const auto stats = seriesOf({60.0f, 80.0f}).whole();
    QCOMPARE(stats.average, 70.0);
}

void tst_SeriesStatistics::firstExtremeWins()
{
    const Series s = seriesOf({50, 55, 40, 90, 60, 40, 70, 90, 65, 70});
    const auto stats = s.whole();
    QCOMPARE(stats.maximum, 90.0f);
    QCOMPARE(stats.maximumIndex, 3);
    QCOMPARE(stats.maximumTime, s.x(3));
    QCOMPARE(stats.minimum, 40.0f);
    QCOMPARE(stats.minimumIndex, 2);
    QCOMPARE(stats.minimumTime, s.x(2));
}

void tst_SeriesStatistics::emptySeries()
{
    const auto stats = Series().whole();
    QVERIFY(stats.isEmpty());
    QCOMPARE(stats.pointCount, 0);
    QCOMPARE(stats.average, 0.0);
    QCOMPARE(stats.rateSeconds, 0.0);
    QVERIFY(!qIsNaN(stats.average));
}

void tst_SeriesStatistics::betweenCursors_data()
{
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<int>("points");
    QTest::addColumn<int>("maximumIndex");
    QTest::addColumn<int>("minimumIndex");
    QTest::addColumn<double>("average");

    // Levels: 50 55 40 90 60 40 70 90 65 70 80 30
    QTest::newRow("A right of B") << 10 << 4 << 7 << 7 << 5
                                  << (60 + 40 + 70 + 90 + 65 + 70 + 80) / 7.0;
    QTest::newRow("A left of B") << 4 << 10 << 7 << 7 << 5
                                 << (60 + 40 + 70 + 90 + 65 + 70 + 80) / 7.0;
    QTest::newRow("both at one point") << 6 << 6 << 1 << 6 << 6 << 70.0;
    QTest::newRow("equal highest keeps earlier")
        << 3 << 7 << 5 << 3 << 5 << (90 + 60 + 40 + 70 + 90) / 5.0;
}

void tst_SeriesStatistics::betweenCursors()
{
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(int, points);
    QFETCH(int, maximumIndex);
    QFETCH(int, minimumIndex);
    QFETCH(double, average);

    const Series s = seriesOf({50, 55, 40, 90, 60, 40, 70, 90, 65, 70, 80, 30});
    const auto stats = s.between(a, b);
    QCOMPARE(stats.pointCount, points);
    QCOMPARE(stats.firstIndex, qMin(a, b));
    QCOMPARE(stats.maximumIndex, maximumIndex);
    QCOMPARE(stats.maximumTime, s.x(maximumIndex));
    QCOMPARE(stats.maximum, s.y(maximumIndex));
    QCOMPARE(stats.minimumIndex, minimumIndex);
    QCOMPARE(stats.minimumTime, s.x(minimumIndex));
    QCOMPARE(stats.average, average);
}

void tst_SeriesStatistics::betweenClampsIntoSeries()
{
    const auto stats = seriesOf({60, 70, 80}).between(-4, 99);
    QCOMPARE(stats.pointCount, 3);
    QCOMPARE(stats.average, 70.0);
}

void tst_SeriesStatistics::betweenOnEmptySeries()
{
    QVERIFY(Series().between(0, 0).isEmpty());
}

void tst_SeriesStatistics::spansOfUnequalLength()
{
    const QList<double> x{kStart, kStart + kSecond, kStart + 2 * kSecond};
    const QList<float> y{60.0f, 80.0f};
    const auto stats = SeriesStatistics::whole(std::span<const double>(x.constData(), 3),
                                               std::span<const float>(y.constData(), 2));
    QCOMPARE(stats.pointCount, 2);
    QCOMPARE(stats.average, 70.0);
}

void tst_SeriesStatistics::benchmarkWholeSeries()
{
    // The largest logger memory holds just under 49 152 samples.
    constexpr int kPoints = 49152;
    Series s;
    QRandomGenerator random(42);
    for (int i = 0; i < kPoints; ++i) {
        s.xs.append(kStart + i * kSecond);
        s.ys.append(float(200 + random.bounded(1201)) / 10.0f);
    }

    SeriesStatistics stats;
    QBENCHMARK
    {
        stats = s.whole();
    }
    QCOMPARE(stats.pointCount, kPoints);
    QVERIFY(stats.maximum <= 140.0f && stats.minimum >= 20.0f);
}

AUDIMARK_TEST_MAIN_CORE(tst_SeriesStatistics)
#include "tst_seriesstatistics.moc"
