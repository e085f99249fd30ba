#include <QApplication>

#include "common/TestMain.h"
#include "graph/PESGraph.h"
#include "graph/PESGraphBlock.h"
#include "graph/PESGraphTestData.h"

#include <QtEndian>

using namespace PESGraphTestData;

// The chart's byte blocks: exact round trips, and refusal of anything that
// is not an intact block of the right kind.
class TestPESGraphBlock : public QObject
{
    Q_OBJECT

private:
    // A chart with something in every part of its state.
    static void fill(PESGraph& graph)
    {
        prepare(graph, 500);
        graph.setSubsets(2);
        graph.setYData(1, 7, 42.5f);
        graph.setXDataII(1, 7, kStartDay + 7 * kSecond);
        graph.setMainTitle(QStringLiteral("Hall 3 \u00b0 Messung"));
        graph.setYAxisLabel(QStringLiteral("dB"));
        graph.setSubsetColor(1, QColor(10, 20, 30));
        graph.setSubsetLineType(1, PESLineType::DashDot);
        graph.setGridStyle(PESGridStyle::Dash);
        graph.setAllowDataHotSpots(true);
        graph.setGraphAnnotation(2, {kStartDay + 10 * kSecond, 80.5, PESAnnotationType::Cross,
                                     QStringLiteral("12:00:10\r80.5 dB"), QColor(255, 255, 0)});
        graph.setGraphAnnotation(5, {kStartDay + 20 * kSecond, 60.0, PESAnnotationType::TextOnly,
                                     QStringLiteral("Noise"), QColor()});
        graph.setVertLineAnnotation(0, kStartDay + 100 * kSecond);
        graph.setVertLineAnnotationText(0, QStringLiteral("|t12:01:40\n65.3dB"));
        graph.setVertLineAnnotation(1, kStartDay + 300 * kSecond);
        graph.setVertLineAnnotationText(1, QStringLiteral("|t12:05:00\n71.0dB"));
    }

private slots:
    void wholeGraphRoundTripsExactly()
    {
        PESGraph source;
        fill(source);
        const QByteArray block = source.saveWholeGraph();

        PESGraph target;
        QVERIFY(target.loadWholeGraph(block));
        target.reinitialize();
        QCOMPARE(target.saveWholeGraph(), block);
        QCOMPARE(target.look(), source.look());
        QCOMPARE(target.subsets(), 2);
        QCOMPARE(target.points(), 500);
        for (int s = 0; s < 2; ++s) {
            for (int i = 0; i < 500; ++i) {
                QCOMPARE(target.xDataII(s, i), source.xDataII(s, i));
                QCOMPARE(target.yData(s, i), source.yData(s, i));
            }
        }
        QCOMPARE(target.graphAnnotation(2), source.graphAnnotation(2));
        QCOMPARE(target.graphAnnotationText(5), QStringLiteral("Noise"));
        QCOMPARE(target.graphAnnotationType(2), PESAnnotationType::Cross);
        QCOMPARE(target.graphAnnotationColor(2), QColor(255, 255, 0));
        QCOMPARE(target.vertLineAnnotation(1), source.vertLineAnnotation(1));
        QCOMPARE(target.vertLineAnnotationText(0), QStringLiteral("|t12:01:40\n65.3dB"));
        QCOMPARE(target.vertLineAnnotationColor(0), QColor(0, 0, 255));
        QCOMPARE(target.manualScaleControlY(), PESManualScale::MinMax);
        QCOMPARE(target.manualMaxY(), 130.0);
        QCOMPARE(target.manualMaxX(), source.manualMaxX());
    }

    void customizationRoundTripsAndLeavesDataAlone()
    {
        PESGraph source;
        fill(source);
        const QByteArray block = source.saveCustomization();

        PESGraph target;
        const float y = 55.5f;
        target.setPoints(3);
        target.setYData(0, 1, y);
        QVERIFY(target.loadCustomization(block));
        QCOMPARE(target.look(), source.look());
        QCOMPARE(target.saveCustomization(), block);
        QCOMPARE(target.points(), 3);
        QCOMPARE(target.yData(0, 1), y);
        QCOMPARE(target.graphAnnotationText(5), QString());
    }

    void blockStartsWithItsMagicAndKind()
    {
        PESGraph graph;
        QVERIFY(graph.saveWholeGraph().startsWith(QByteArray("PESG\x01", 5)));
        QVERIFY(graph.saveCustomization().startsWith(QByteArray("PESG\x02", 5)));
    }

    void badBlockIsRefusedAndChartUnchanged_data()
    {
        QTest::addColumn<QByteArray>("block");
        QTest::addColumn<bool>("whole");
        PESGraph other;
        fill(other);
        other.setMainTitle(QStringLiteral("other"));
        const QByteArray whole = other.saveWholeGraph();
        const QByteArray look = other.saveCustomization();

        QTest::newRow("empty") << QByteArray() << true;
        QTest::newRow("truncated whole") << whole.left(whole.size() - 9) << true;
        QTest::newRow("header only") << whole.left(11) << true;
        QTest::newRow("truncated customisation") << look.left(look.size() / 2) << false;
        QByteArray flipped = whole;
        flipped[flipped.size() / 2] = char(flipped[flipped.size() / 2] ^ 0x10);
        QTest::newRow("damaged byte in the data") << flipped << true;
        QByteArray flippedLook = look;
        flippedLook[20] = char(flippedLook[20] ^ 0x01);
        QTest::newRow("damaged byte in the look") << flippedLook << false;
        QTest::newRow("foreign bytes") << QByteArray("GIF89a........................") << true;
        QByteArray wrongVersion = whole;
        wrongVersion[6] = char(wrongVersion[6] + 1);
        QTest::newRow("unknown version") << wrongVersion << true;
        QTest::newRow("customisation block as whole chart") << look << true;
        QTest::newRow("whole chart as customisation block") << whole << false;
        QTest::newRow("trailing garbage") << whole + QByteArray("xx") << true;
    }

    void badBlockIsRefusedAndChartUnchanged()
    {
        QFETCH(QByteArray, block);
        QFETCH(bool, whole);
        PESGraph graph;
        prepare(graph, 50);
        graph.setGraphAnnotationText(6, QStringLiteral("keep me"));
        const QByteArray before = graph.saveWholeGraph();

        const bool loaded = whole ? graph.loadWholeGraph(block) : graph.loadCustomization(block);
        QVERIFY(!loaded);
        QCOMPARE(graph.saveWholeGraph(), before);
        QCOMPARE(graph.points(), 50);
        QCOMPARE(graph.graphAnnotationText(6), QStringLiteral("keep me"));
    }

    // A block whose CRC was recomputed after damage still must not be
    // trusted to hold sane lengths.
    void absurdPointCountWithValidChecksumIsRefused()
    {
        PESGraphState state;
        state.look = PESGraphLook::programDefault();
        state.content.points = 2;
        state.content.series = {PESGraphSeries{{1.0, 2.0}, {3.0f, 4.0f}}};
        QByteArray block = PESGraphBlock::encodeWhole(state);
        QVERIFY(PESGraphBlock::decodeWhole(block).has_value());

        const QByteArray pointsField = QByteArray::fromHex("0000000200000001");
        const qsizetype at = block.indexOf(pointsField);
        QVERIFY(at > 0);
        block.replace(at, 4, QByteArray::fromHex("7fffffff"));
        const qsizetype crcAt = block.size() - 4;
        const quint32 crc = PESGraphBlock::crc32(block.constData(), crcAt);
        for (int i = 0; i < 4; ++i)
            block[crcAt + i] = char((crc >> (24 - 8 * i)) & 0xFF);
        QVERIFY(!PESGraphBlock::decodeWhole(block).has_value());
    }

    // Counts changed after encoding, the checksum made valid again: a count
    // the rest of the block cannot hold is refused before it is allocated.
    void patchedCountsAreRefused_data()
    {
        QTest::addColumn<int>("field"); // 0 the series count, 1 the annotation count
        QTest::addColumn<QByteArray>("count");
        QTest::newRow("256 series declared, one stored") << 0 << QByteArray::fromHex("00000100");
        QTest::newRow("4,294,967,295 series declared") << 0 << QByteArray::fromHex("ffffffff");
        QTest::newRow("a million annotations declared, none stored")
            << 1 << QByteArray::fromHex("000f0000");
        QTest::newRow("4,294,967,295 annotations declared") << 1 << QByteArray::fromHex("ffffffff");
    }

    void patchedCountsAreRefused()
    {
        QFETCH(int, field);
        QFETCH(QByteArray, count);
        PESGraphState state;
        state.look = PESGraphLook::programDefault();
        state.content.points = 2;
        state.content.series = {PESGraphSeries{{1.0, 2.0}, {3.0f, 4.0f}}};
        QByteArray block = PESGraphBlock::encodeWhole(state);
        QVERIFY(PESGraphBlock::decodeWhole(block).has_value());

        const qsizetype crcAt = block.size() - 4;
        // The annotation and vertical line counts (both 0) end the payload.
        const qsizetype at = field == 0 ? block.indexOf(QByteArray::fromHex("0000000200000001")) + 4
                                        : crcAt - 8;
        QVERIFY(at > 4);
        block.replace(at, 4, count);
        qToBigEndian<quint32>(PESGraphBlock::crc32(block.constData(), crcAt), block.data() + crcAt);

        QVERIFY(!PESGraphBlock::decodeWhole(block).has_value());
        PESGraph graph;
        prepare(graph, 50);
        QVERIFY(!graph.loadWholeGraph(block));
        QCOMPARE(graph.points(), 50);
    }

    // Correctly framed blocks (valid checksum) whose declared point count
    // cannot be true: refused before anything is allocated for them.
    void impossiblePointCountsAreRefused_data()
    {
        QTest::addColumn<int>("points");
        QTest::addColumn<int>("seriesCount");
        QTest::addColumn<int>("pointsStored");
        QTest::newRow("2,000,000,000 points, no series") << 2'000'000'000 << 0 << 0;
        QTest::newRow("5 points, no series") << 5 << 0 << 0;
        QTest::newRow("1000 points declared, 2 stored") << 1000 << 1 << 2;
        QTest::newRow("above the sane maximum, 2 stored") << (1 << 24) + 1 << 1 << 2;
        QTest::newRow("negative count") << -1 << 1 << 0;
    }

    void impossiblePointCountsAreRefused()
    {
        QFETCH(int, points);
        QFETCH(int, seriesCount);
        QFETCH(int, pointsStored);
        PESGraphState state;
        state.look = PESGraphLook::programDefault();
        state.content.points = points;
        for (int s = 0; s < seriesCount; ++s)
            state.content.series.push_back(
                PESGraphSeries{std::vector<double>(size_t(pointsStored), kStartDay),
                               std::vector<float>(size_t(pointsStored), 60.0f)});
        const QByteArray block = PESGraphBlock::encodeWhole(state);
        QVERIFY(block.startsWith(QByteArray("PESG\x01", 5)));
        QCOMPARE(PESGraphBlock::crc32(block.constData(), block.size() - 4),
                 qFromBigEndian<quint32>(block.constData() + block.size() - 4));

        QVERIFY(!PESGraphBlock::decodeWhole(block).has_value());
        PESGraph graph;
        prepare(graph, 50);
        QVERIFY(!graph.loadWholeGraph(block));
        QCOMPARE(graph.points(), 50);
    }

    void emptyChartStillLoads()
    {
        PESGraphState state;
        state.look = PESGraphLook::programDefault();
        state.content.series = {PESGraphSeries{}};
        const auto decoded = PESGraphBlock::decodeWhole(PESGraphBlock::encodeWhole(state));
        QVERIFY(decoded.has_value());
        QCOMPARE(decoded->content.points, 0);
    }

    void crc32MatchesTheStandardCheckValue()
    {
        QCOMPARE(PESGraphBlock::crc32("123456789", 9), 0xCBF43926u);
    }
};

AUDIMARK_TEST_MAIN_GUI(TestPESGraphBlock)
#include "tst_pesgraphblock.moc"
