// The tables of the report's pages after the first, as the report model
// gives them for known series: a day at a constant 60 dB has an Lden of
// 66.4 dB (and an Ldn of 66.0 dB: 16 h of day and evening, 8 h of night), 10 s at 80 dB a SEL
// of 90.0 dB, periods over a gap or the ends of the series are marked incomplete, an event is
// counted in the period it starts in, the names follow the weighting, the settings change the
// tables; and the settings as text, remembered per measurement and on the
// report runner's command line.

#include "common/TestMain.h"
#include "data/GraphTexts.h"
#include "files/formats/NoiseReport.h"
#include "files/formats/ReportDetails.h"
#include "tools/cli/ReportRunner.h"

#include <QSettings>

namespace {
const QLocale us(QLocale::English, QLocale::UnitedStates);
const QLocale de(QLocale::German, QLocale::Germany);

// `minutes` minutes of readings `step` seconds apart from `start` (hh:mm on
// 14 April 2010) at `level`, `loud` dB from second `loudFrom` for
// `loudSeconds`; none in the gap [gapFrom, gapTo) seconds.
struct SeriesShape
{
    QString start = QStringLiteral("07:00");
    int minutes = 24 * 60;
    double step = 60.0;
    float level = 60.0f;
    int loudFrom = -1;
    int loudSeconds = 0;
    float loud = 80.0f;
    int gapFrom = -1;
    int gapTo = -1;
    bool aWeighted = true;
    // The report's cursors on these points (-1: no span).
    int spanFirst = -1;
    int spanLast = -1;
};
} // namespace
Q_DECLARE_METATYPE(SeriesShape)

namespace {

ReportSeries seriesOf(const SeriesShape& shape)
{
    const double start = GraphTexts::fromDateTime(
        QDateTime(QDate(2010, 4, 14), QTime::fromString(shape.start, QStringLiteral("hh:mm"))));
    std::vector<double> times;
    std::vector<float> levels;
    const int count = int(shape.minutes * 60 / shape.step);
    for (int i = 0; i < count; ++i) {
        const double second = i * shape.step;
        if (second >= shape.gapFrom && second < shape.gapTo)
            continue;
        times.push_back(start + second / 86400.0);
        const bool loud = second >= shape.loudFrom && second < shape.loudFrom + shape.loudSeconds;
        levels.push_back(loud ? shape.loud : shape.level);
    }
    ReportSeries series = ReportSeries::fromPoints(std::move(times), std::move(levels), {});
    series.intervalSeconds = shape.step;
    if (shape.aWeighted)
        series.weighting = AcousticWeighting::A;
    return series;
}

ReportGrid gridOf(const NoiseReport& report, const QString& table)
{
    if (table == QLatin1String("periods"))
        return report.periodGrid(us);
    if (table == QLatin1String("den"))
        return report.denGrid(us);
    return report.eventGrid(us);
}
} // namespace

class TestReportSections : public QObject
{
    Q_OBJECT

private slots:
    void tables_data()
    {
        QTest::addColumn<SeriesShape>("shape");
        QTest::addColumn<QStringList>("settings"); // name=value
        QTest::addColumn<double>("threshold");
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("row"); // -1: the headings
        QTest::addColumn<QStringList>("cells");
        QTest::addColumn<bool>("marked");

        const SeriesShape day;
        QTest::newRow("a day at 60 dB: Lden 66.4 dB, Ldn 66.0 dB")
            << day << QStringList{} << 85.0 << "den" << 2 << 0
            << QStringList{"4/14/2010", "60.0", "60.0", "60.0", "66.4", "66.0", "100 / 100 / 100 %"}
            << false;
        QTest::newRow("a day at 60 dB: the whole series")
            << day << QStringList{} << 85.0 << "den" << 2 << 1
            << QStringList{"Whole series",     "60.0", "60.0", "60.0", "66.4", "66.0",
                           "100 / 100 / 100 %"}
            << false;
        QTest::newRow("no penalties: Lden 60.0 dB, periods moved")
            << day << QStringList{"den-penalties=0,0", "den-hours=06:00,18:00,22:00"} << 85.0
            << "den" << 3 << 0
            << QStringList{"4/14/2010", "60.0", "60.0", "60.0", "60.0", "60.0", "91 / 100 / 100 %"}
            << false;
        QTest::newRow("a day: 1 h periods by the span, named by the weighting")
            << day << QStringList{} << 85.0 << "periods" << 24 << -1
            << QStringList{"Date", "Time",    "LAeq,1h",  "LAmax", "LA10",
                           "LA90", "Samples", "Coverage", "Events"}
            << false;
        SeriesShape event;
        event.start = QStringLiteral("09:55");
        event.minutes = 10;
        event.step = 1.0;
        event.level = 50.0f;
        event.loudFrom = 295; // 09:59:55 to 10:00:05, over the hour's turn
        event.loudSeconds = 10;
        QTest::newRow("10 s at 80 dB: SEL 90.0 dB")
            << event << QStringList{} << 70.0 << "events" << 1 << 0
            << QStringList{"1",   "4/14/2010 9:59:55 AM", "10:00:05 AM", "0:00:10", "80.0", "80.0",
                           "90.0"}
            << false;
        QTest::newRow("the event counted once, where it starts; 5 min by the span")
            << event << QStringList{} << 70.0 << "periods" << 2 << 0
            << QStringList{"4/14/2010", "9:55 AM\u201310:00 AM",
                           "62.5",      "80.0",
                           "50.0",      "50.0",
                           "300",       "100 %",
                           "1"}
            << false;
        QTest::newRow("the next period holds its end, not the event")
            << event << QStringList{} << 70.0 << "periods" << 2 << 1
            << QStringList{"4/14/2010", "10:00 AM\u201310:05 AM",
                           "62.5",      "80.0",
                           "50.0",      "50.0",
                           "300",       "100 %",
                           "0"}
            << false;
        QTest::newRow("an event shorter than the minimum duration is none")
            << event << QStringList{"min-duration=11s"} << 70.0 << "events" << 0 << -1
            << QStringList{"No.", "Start", "End", "Duration", "LAmax", "LAeq", "SEL"} << false;
        SeriesShape quietSpan = event;
        quietSpan.spanFirst = 0; // 09:55:00 to 09:59:49, before the loud part
        quietSpan.spanLast = 289;
        QTest::newRow("over the span: only its period, without the loud part")
            << quietSpan << QStringList{"tables-over=span"} << 70.0 << "periods" << 1 << 0
            << QStringList{"4/14/2010", "9:55 AM\u201310:00 AM", "50.0", "50.0", "50.0", "50.0",
                           "290",       "96 % incomplete",       "0"}
            << true;
        QTest::newRow("over the span: no event outside it")
            << quietSpan << QStringList{"tables-over=span"} << 70.0 << "events" << 0 << -1
            << QStringList{"No.", "Start", "End", "Duration", "LAmax", "LAeq", "SEL"} << false;
        QTest::newRow("a span, tables over the whole series: the event")
            << quietSpan << QStringList{} << 70.0 << "events" << 1 << 0
            << QStringList{"1",   "4/14/2010 9:59:55 AM", "10:00:05 AM", "0:00:10", "80.0", "80.0",
                           "90.0"}
            << false;
        SeriesShape gap;
        gap.start = QStringLiteral("09:50");
        gap.minutes = 30;
        gap.step = 2.0;
        gap.gapFrom = 600;
        gap.gapTo = 900; // 10:00 to 10:05
        gap.aWeighted = false;
        QTest::newRow("a gap: the period marked incomplete, Leq unnamed")
            << gap << QStringList{"period=15m"} << 85.0 << "periods" << 3 << 0
            << QStringList{"4/14/2010", "9:45 AM\u201310:00 AM", "60.0", "60.0", "60.0", "60.0",
                           "300",       "66 % incomplete",       "0"}
            << true;
        QTest::newRow("a gap: the next period too")
            << gap << QStringList{"period=15m"} << 85.0 << "periods" << 3 << 1
            << QStringList{"4/14/2010", "10:00 AM\u201310:15 AM", "60.0", "60.0", "60.0", "60.0",
                           "300",       "66 % incomplete",        "0"}
            << true;
        QTest::newRow("a gap: headings without a weighting")
            << gap << QStringList{"period=15m"} << 85.0 << "periods" << 3 << -1
            << QStringList{"Date", "Time",    "Leq,15min", "Lmax",  "L10",
                           "L90",  "Samples", "Coverage",  "Events"}
            << false;
    }

    void tables()
    {
        QFETCH(SeriesShape, shape);
        QFETCH(QStringList, settings);
        QFETCH(double, threshold);
        QFETCH(QString, table);
        QFETCH(int, rows);
        QFETCH(int, row);
        QFETCH(QStringList, cells);
        QFETCH(bool, marked);
        ReportSettings chosen;
        for (const QString& setting : settings)
            QVERIFY2(chosen.setValue(setting.section('=', 0, 0), setting.section('=', 1)),
                     qPrintable(setting));
        const ReportSeries series = seriesOf(shape);
        std::optional<ReportSpan> span;
        if (shape.spanFirst >= 0)
            span = ReportSpan{shape.spanFirst, shape.spanLast};
        NoiseReport report = NoiseReport::of(series, span, threshold, us);
        report.makeSections(series, chosen);
        QVERIFY(report.sections.made);
        if (report.sections.overSpan)
            QCOMPARE(report.periodNote(us).first(),
                     QString("Between the cursors, 4/14/2010 9:55:00 AM to 4/14/2010 9:59:49 AM."));
        const ReportGrid grid = gridOf(report, table);
        QCOMPARE(grid.rows.size(), rows);
        QCOMPARE(grid.numeric.size(), grid.columns.size());
        if (row < 0) {
            QCOMPARE(grid.columns, cells);
            return;
        }
        QCOMPARE(grid.rows.at(row).cells, cells);
        QCOMPARE(grid.rows.at(row).marked, marked);
    }

    // None where there are none; the distribution by 1 dB classes; a
    // report of times that run backwards has no tables.
    void notesAndDistribution()
    {
        SeriesShape quiet;
        quiet.minutes = 60;
        const ReportSeries series = seriesOf(quiet);
        NoiseReport report = NoiseReport::of(series, {}, 85.0, de);
        report.makeSections(series);
        QVERIFY(report.eventGrid(de).rows.isEmpty());
        QVERIFY(report.eventNote(de).join(' ').contains("None"));
        QCOMPARE(report.sections.firstClassDb, 60);
        QCOMPARE(report.sections.classCounts, std::vector<qsizetype>{60});
        // A day's coverage too small for 1 % is not shown as none.
        QCOMPARE(report.denGrid(de).rows.at(0).cells.last(), QString("8 / 0 / 0 %"));

        // A length that would fill more than some 40 pages gives way to a
        // longer one, and the table says so.
        SeriesShape week;
        week.minutes = 7 * 24 * 60;
        const ReportSeries long_ = seriesOf(week);
        ReportSettings everyMinute;
        QVERIFY(everyMinute.setValue("period", "1m"));
        report = NoiseReport::of(long_, {}, 85.0, us);
        report.makeSections(long_, everyMinute);
        QCOMPARE(report.sections.periodMs, 900'000);
        QCOMPARE(report.periodGrid(us).rows.size(), 7 * 24 * 4);
        QVERIFY2(report.periodNote(us).join(' ').contains(
                     "Periods of 1 min would make more than 2,000 rows; the table takes periods "
                     "of 15 min."),
                 qPrintable(report.periodNote(us).join(' ')));

        ReportSeries backwards = series;
        std::swap(backwards.times[3], backwards.times[4]);
        report.makeSections(backwards);
        QVERIFY(!report.sections.made);
    }

    void settingsAsText_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("reads");
        QTest::addColumn<QString>("value");
        QTest::newRow("period 15m") << "period"
                                    << "15m" << true << "15m";
        QTest::newRow("period 60m is 1h") << "period"
                                          << "60m" << true << "1h";
        QTest::newRow("period auto") << "period"
                                     << "auto" << true << "";
        QTest::newRow("period 7m does not divide a day") << "period"
                                                         << "7m" << false << "";
        QTest::newRow("min-duration 0.5m") << "min-duration"
                                           << "0.5m" << true << "30s";
        QTest::newRow("min-duration 0") << "min-duration"
                                        << "0" << false << "10s";
        QTest::newRow("hysteresis 3.5") << "hysteresis"
                                        << "3.5" << true << "3.5";
        QTest::newRow("hysteresis -1") << "hysteresis"
                                       << "-1" << false << "2";
        QTest::newRow("den-hours 6,18,22") << "den-hours"
                                           << "6,18,22" << true << "06:00,18:00,22:00";
        QTest::newRow("den-hours out of order") << "den-hours"
                                                << "19,07,23" << false << "07:00,19:00,23:00";
        QTest::newRow("den-penalties 3,8") << "den-penalties"
                                           << "3,8" << true << "3,8";
        QTest::newRow("tables-over span") << "tables-over"
                                          << "span" << true << "span";
        QTest::newRow("tables-over cursors") << "tables-over"
                                             << "cursors" << false << "whole";
        QTest::newRow("unknown name") << "colour"
                                      << "red" << false << "";
    }

    void settingsAsText()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(bool, reads);
        QFETCH(QString, value);
        ReportSettings settings;
        QCOMPARE(settings.setValue(name, text), reads);
        QCOMPARE(settings.value(name), value);
    }

    void settingsRememberedAndPassedOn()
    {
        QSettings store;
        ReportDetailsStore::Entry entry;
        QVERIFY(entry.settings.setValue("period", "15m"));
        QVERIFY(entry.settings.setValue("den-penalties", "4,9"));
        ReportDetailsStore::write(store, "measurement-1", entry);
        QVERIFY(ReportDetailsStore::read(store, "measurement-1").settings == entry.settings);
        // A measurement with nothing stored gets those of the last report.
        QVERIFY(ReportDetailsStore::read(store, "measurement-2").settings == entry.settings);

        ReportOptions options;
        options.source.file = "day.rec";
        options.outFile = "r.pdf";
        options.settings = entry.settings;
        QVERIFY(options.settings.setValue("min-duration", "30s"));
        QVERIFY(options.settings.setValue("tables-over", "span"));
        const QStringList arguments = ReportRunner::arguments(options);
        // Only what differs from the defaults.
        QVERIFY(!arguments.join(' ').contains("hysteresis"));
        const std::optional<ReportOptions> back = ReportRunner::optionsFrom(arguments);
        QVERIFY(back);
        QVERIFY(back->settings == options.settings);
        QVERIFY(!ReportRunner::optionsFrom(QStringList(arguments) << "period=7m"));
    }
};

AUDIMARK_TEST_MAIN_CORE(TestReportSections)
#include "tst_reportsections.moc"
