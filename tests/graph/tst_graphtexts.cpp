#include "common/TestMain.h"

#include "data/AnnotationSlots.h"
#include "data/ExportStatistic.h"
#include "data/GeneratedDataSets.h"
#include "data/GraphStatisticTexts.h"
#include "data/GraphTexts.h"
#include "data/SamplingRateList.h"

#include <vector>

namespace {
// 14 April 2010 10:15:42 as days since 30 December 1899.
const double kMorning = GraphTexts::fromDateTime(QDateTime(QDate(2010, 4, 14), QTime(10, 15, 42)));
constexpr double kSecond = 1.0 / 86400.0;

const QLocale c = QLocale::c();
const QLocale german(QLocale::German, QLocale::Germany);

SeriesStatistics statisticsOf(const std::vector<float>& levels, double step = kSecond)
{
    std::vector<double> x(levels.size());
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = kMorning + double(i) * step;
    return SeriesStatistics::whole(x, levels);
}
} // namespace

// The texts of the graph window that need no window: levels, date-times,
// statistic fields, the Export Statistic text, the erase list and the rate list.
class TestGraphTexts : public QObject
{
    Q_OBJECT

private slots:
    void levelText_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("text");
        QTest::newRow("rounds to one decimal") << 65.27 << c << "65.3";
        QTest::newRow("whole number keeps its decimal") << 70.0 << c << "70.0";
        QTest::newRow("comma under de_DE") << 65.27 << german << "65,3";
        QTest::newRow("no group separator") << 12345.6 << german << "12345,6";
        QTest::newRow("rate of 0.9 s") << 0.9 << c << "0.9";
    }
    void levelText()
    {
        QFETCH(double, value);
        QFETCH(QLocale, locale);
        QFETCH(QString, text);
        QCOMPARE(GraphTexts::levelText(value, locale), text);
    }

    void dateTimeTexts()
    {
        QCOMPARE(GraphTexts::dateTimeText(kMorning, c), QStringLiteral("14 Apr 2010 10:15:42"));
        QCOMPARE(GraphTexts::timeText(kMorning, c), QStringLiteral("10:15:42"));
        QCOMPARE(GraphTexts::readoutText(kMorning, 65.27, c), QStringLiteral("65.3dB@10:15:42"));
        QCOMPARE(GraphTexts::cursorLineText(kMorning, 65.27, c),
                 QStringLiteral("|t10:15:42\n65.3dB"));
        QCOMPARE(GraphTexts::dataPointMarkerText(kMorning, 65.27, c),
                 QStringLiteral("10:15:42\r65.3 dB"));
    }

    void dateTimeTextsUnderGerman()
    {
        QCOMPARE(GraphTexts::dateTimeText(kMorning, german), QStringLiteral("14.04.10 10:15:42"));
        QCOMPARE(GraphTexts::readoutText(kMorning, 65.27, german),
                 QStringLiteral("65,3dB@10:15:42"));
    }

    void timesRoundToTheMillisecond()
    {
        // A second held a little short of itself still shows as that second.
        const double almost = kMorning - 1e-10;
        QCOMPARE(GraphTexts::timeText(almost, c), QStringLiteral("10:15:42"));
        QCOMPARE(GraphTexts::toDateTime(
                     GraphTexts::fromDateTime(QDateTime(QDate(1899, 12, 29), QTime(18, 0)))),
                 QDateTime(QDate(1899, 12, 29), QTime(18, 0)));
    }

    // Time stamps of a damaged chart: no date, and no conversion that
    // cannot hold them (the sanitizer build aborts on one).
    void timeStampsBeyondTheCalendarShowNothing_data()
    {
        QTest::addColumn<double>("dateTime");
        QTest::newRow("-1e300") << -1e300;
        QTest::newRow("1e19") << 1e19;
        QTest::newRow("-inf") << -qInf();
        QTest::newRow("nan") << qQNaN();
    }

    void timeStampsBeyondTheCalendarShowNothing()
    {
        QFETCH(double, dateTime);
        QVERIFY(!GraphTexts::toDateTime(dateTime).isValid());
        QCOMPARE(GraphTexts::timeText(dateTime, c), QString());
    }

    void samplingRateIsTheSpanOverThePointCount()
    {
        // Ten points one second apart: 9 s / 10 points.
        const auto texts = GraphStatisticTexts::of(statisticsOf(std::vector<float>(10, 60.f)), c);
        QCOMPARE(texts.samplingRate, QStringLiteral("0.9"));
        QCOMPARE(texts.dataNo, QStringLiteral("10"));
        QCOMPARE(texts.startTime, QStringLiteral("14 Apr 2010 10:15:42"));
    }

    void firstOfEqualExtremesWins()
    {
        std::vector<float> levels(10, 60.f);
        levels[3] = levels[7] = 90.f;
        levels[4] = levels[8] = 40.f;
        const auto texts = GraphStatisticTexts::of(statisticsOf(levels), c);
        QCOMPARE(texts.max, QStringLiteral("90.0"));
        QCOMPARE(texts.maxTime, QStringLiteral("14 Apr 2010 10:15:45"));
        QCOMPARE(texts.min, QStringLiteral("40.0"));
        QCOMPARE(texts.minTime, QStringLiteral("14 Apr 2010 10:15:46"));
    }

    void averageIsArithmetic()
    {
        const auto texts = GraphStatisticTexts::of(statisticsOf({60.f, 80.f}), c);
        QCOMPARE(texts.avgAll, QStringLiteral("70.0"));
        QCOMPARE(GraphStatisticTexts::of(statisticsOf({60.f, 80.f}), german).avgAll,
                 QStringLiteral("70,0"));
    }

    void emptySeriesShowsEmptyFields()
    {
        const auto texts = GraphStatisticTexts::of(statisticsOf({}), c);
        QCOMPARE(texts.dataNo, QStringLiteral("0"));
        for (const QString& field : {texts.startTime, texts.samplingRate, texts.avgAll, texts.max,
                                     texts.maxTime, texts.min, texts.minTime})
            QVERIFY(field.isEmpty());
        const auto between = CursorStatisticTexts::of(SeriesStatistics{}, c);
        QVERIFY(between.avgAB.isEmpty() && between.maxAB.isEmpty());
    }

    void initialTexts()
    {
        const auto t = GraphStatisticTexts::initial();
        QCOMPARE(t.samplingRate, QStringLiteral("0.1"));
        QCOMPARE(t.dataNo, QStringLiteral("0"));
        QCOMPARE(t.avgAll, QStringLiteral("***.* dB "));
        QVERIFY(t.startTime.isEmpty());
    }

    void exportTextHasElevenLinesEndedByALineFeed()
    {
        StatisticFields f;
        f.graph = GraphStatisticTexts::initial();
        f.graph.startTime = QStringLiteral("S");
        f.graph.max = QStringLiteral("1");
        f.graph.maxTime = QStringLiteral("t1");
        f.cursorA = QStringLiteral("2");
        f.cursorATime = QStringLiteral("t2");
        f.between.avgAB = QStringLiteral("3");
        const QString expected = QStringLiteral("Start Time:S\n"
                                                "Sampling Rate:0.1\n"
                                                "DataNo:0\n"
                                                "Avg.:***.* dB \n"
                                                "Maximum:1@t1\n"
                                                "Minimum:@\n"
                                                "Cursor A:2@t2\n"
                                                "Cursor B:@\n"
                                                "Max.Between A and B:@\n"
                                                "Min.Between A and B:@\n"
                                                "Avg. Between A and B:3\n");
        QCOMPARE(exportStatisticText(f), expected);
        QVERIFY(!exportStatisticText(f).contains(QLatin1Char('\r')));
    }

    void eraseListShowsCrossesAndTexts()
    {
        QMap<int, AnnotationSlots::Slot> slotMap;
        slotMap[5] = {kMorning, true, QString()};
        slotMap[6] = {kMorning + kSecond, false, QString()}; // erased or empty text
        slotMap[7] = {kMorning + 2 * kSecond, false, QStringLiteral("Noise")};
        const auto rows = AnnotationSlots::erasableRows(
            8, [&](int s) { return slotMap.value(s); }, c);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0], (AnnotationSlots::Row{5, "1", "14 Apr 2010 10:15:42", "X"}));
        QCOMPARE(rows[1], (AnnotationSlots::Row{7, "2", "14 Apr 2010 10:15:44", "Noise"}));
        // Slots below 5 are never listed.
        slotMap[2] = {kMorning, true, QStringLiteral("marker")};
        QCOMPARE(AnnotationSlots::erasableRows(
                     4, [&](int s) { return slotMap.value(s); }, c)
                     .size(),
                 0);
    }

    void rateListUnderTheLocale()
    {
        QCOMPARE(SamplingRateList::itemTexts(c),
                 (QStringList{"0.1", "0.2", "0.5", "1.0", "2.0", "5.0", "10.0", "20.0", "30.0"}));
        QCOMPARE(SamplingRateList::itemTexts(german).at(0), QStringLiteral("0,1"));
        QCOMPARE(SamplingRateList::itemTexts(german).at(8), QStringLiteral("30,0"));
    }

    void rateItemIndex_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<int>("item");
        QTest::newRow("0.1") << 0.1 << 0;
        QTest::newRow("just below 0.15") << 0.149 << 0;
        QTest::newRow("0.15") << 0.15 << 1;
        QTest::newRow("0.2 as a float") << double(0.2f) << 1;
        QTest::newRow("1") << 1.0 << 3;
        QTest::newRow("30") << 30.0 << 8;
        QTest::newRow("30.5 has none") << 30.5 << -1;
        QTest::newRow("60 has none") << 60.0 << -1;
    }
    void rateItemIndex()
    {
        QFETCH(double, seconds);
        QFETCH(int, item);
        QCOMPARE(SamplingRateList::rateItemIndex(seconds).value_or(-1), item);
    }

    void generatedSetsDecodeLikeADownload()
    {
        const auto sets =
            GeneratedDataSets::collection({{kMorning, 1, 120, true}, {kMorning + 1, 2, 50, false}});
        QCOMPARE(sets.count(), 2);
        QCOMPARE(sets.dataSet(0)->header.sampleCount, 120);
        QCOMPARE(sets.dataSet(1)->header.sampleCount, 50);
        QVERIFY(!sets.dataSet(1)->isAWeighting());
        QCOMPARE(sets.sampleOffset(1), 120);
        QCOMPARE(sets.timesOf(1)[3], kMorning + 1 + 6 * kSecond);
        QCOMPARE(sets.valuesOf(1)[0], float(std::lround(GeneratedDataSets::level(0) * 10)) / 10);
    }
};

AUDIMARK_TEST_MAIN_CORE(TestGraphTexts)
#include "tst_graphtexts.moc"
