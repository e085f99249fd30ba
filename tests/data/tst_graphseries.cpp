#include "common/TestMain.h"

#include "data/GraphSeries.h"

#include <array>

class tst_GraphSeries : public QObject
{
    Q_OBJECT

private slots:
    void newPointsHoldNoSample();
    void readsAndWritesOutsideAreHarmless();
    void shrinkingKeepsLeadingPoints();
    void blocksFillFromPointZero_data();
    void blocksFillFromPointZero();
    void clearYKeepsX();
};

void tst_GraphSeries::newPointsHoldNoSample()
{
    GraphSeries s;
    s.setPointCount(3);
    QCOMPARE(s.pointCount(), 3);
    for (qsizetype i = 0; i < 3; ++i) {
        QVERIFY(!s.holdsSample(i));
        QCOMPARE(s.y(i), 0.0f);
    }
    s.setPoint(1, 46000.5, 72.5f);
    QVERIFY(s.holdsSample(1));
    QCOMPARE(s.x(1), 46000.5);
    QCOMPARE(s.y(1), 72.5f);
}

void tst_GraphSeries::readsAndWritesOutsideAreHarmless()
{
    GraphSeries s;
    s.setPointCount(2);
    s.setPoint(2, 1.0, 1.0f);
    s.setPoint(-1, 1.0, 1.0f);
    QCOMPARE(s.pointCount(), 2);
    QCOMPARE(s.x(2), 0.0);
    QCOMPARE(s.y(-1), 0.0f);
    QVERIFY(!s.holdsSample(5));
}

void tst_GraphSeries::shrinkingKeepsLeadingPoints()
{
    GraphSeries s;
    s.setPointCount(2000);
    for (int i = 0; i < 150; ++i)
        s.setPoint(i, 46000.0 + i, float(40 + i % 50));
    s.setPointCount(150);
    QCOMPARE(s.pointCount(), 150);
    QCOMPARE(s.x(149), 46149.0);
    QCOMPARE(s.y(149), float(40 + 149 % 50));
}

void tst_GraphSeries::blocksFillFromPointZero_data()
{
    QTest::addColumn<int>("points");
    QTest::addColumn<int>("expectedCopied");
    QTest::newRow("block as long as the series") << 3 << 3;
    QTest::newRow("block longer than the series") << 2 << 2;
    QTest::newRow("block shorter than the series") << 5 << 3;
}

void tst_GraphSeries::blocksFillFromPointZero()
{
    QFETCH(int, points);
    QFETCH(int, expectedCopied);
    const std::array<double, 3> xs{46000.0, 46000.5, 46001.0};
    const std::array<float, 3> ys{60.0f, 70.0f, 80.0f};

    GraphSeries s;
    s.setPointCount(points);
    s.setXBlock(xs);
    s.setYBlock(ys);
    QCOMPARE(s.pointCount(), points);
    for (int i = 0; i < expectedCopied; ++i) {
        QCOMPARE(s.x(i), xs[i]);
        QCOMPARE(s.y(i), ys[i]);
    }
    for (int i = expectedCopied; i < points; ++i)
        QVERIFY(!s.holdsSample(i));
}

void tst_GraphSeries::clearYKeepsX()
{
    GraphSeries s;
    s.setPointCount(2);
    s.setPoint(0, 46000.0, 65.0f);
    s.clearY();
    QCOMPARE(s.y(0), 0.0f);
    QCOMPARE(s.x(0), 46000.0);
    s.clearX();
    QVERIFY(!s.holdsSample(0));
}

AUDIMARK_TEST_MAIN_CORE(tst_GraphSeries)
#include "tst_graphseries.moc"
