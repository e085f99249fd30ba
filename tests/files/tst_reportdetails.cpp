// What the noise report's pages are drawn from: the consultant's details
// and their first-page lines (calibration drift, instrument), their levels
// as typed, their memory per measurement, their way through the report
// runner's command line; dates with four-digit years in every locale; the
// level axis fitted to the levels; the page's names and the method note.

#include "common/TestMain.h"
#include "data/GraphTexts.h"
#include "files/formats/NoiseReport.h"
#include "files/formats/ReportDetails.h"
#include "tools/cli/ReportRunner.h"

#include <QSettings>

namespace {
const QLocale us(QLocale::English, QLocale::UnitedStates);
const QLocale de(QLocale::German, QLocale::Germany);
const QLocale tw(QLocale::Chinese, QLocale::Taiwan);

double at(int year, int month, int day, int h, int m, int s)
{
    return GraphTexts::fromDateTime(QDateTime(QDate(year, month, day), QTime(h, m, s)));
}

ReportSeries steadySeries(int count, double intervalSeconds, float from, float to)
{
    std::vector<double> times;
    std::vector<float> levels;
    const double start = at(2024, 3, 5, 14, 30, 5);
    for (int i = 0; i < count; ++i) {
        times.push_back(start + i * intervalSeconds / 86400.0);
        levels.push_back(count == 1 ? from : from + (to - from) * float(i) / float(count - 1));
    }
    ReportSeries series = ReportSeries::fromPoints(std::move(times), std::move(levels), {});
    series.weighting = AcousticWeighting::A;
    series.meterModel = QStringLiteral("QV58M model 842");
    return series;
}
} // namespace

class TestReportDetails : public QObject
{
    Q_OBJECT

private slots:
    void fourDigitYears_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("text");
        QTest::newRow("de_DE") << de << QString("05.03.2024 14:30:05");
        QTest::newRow("zh_TW") << tw << QString::fromUtf8("2024/3/5 下午2:30:05");
        QTest::newRow("en_US") << us << QString("3/5/2024 2:30:05 PM");
        QTest::newRow("ko_KR") << QLocale(QLocale::Korean, QLocale::SouthKorea)
                               << QString::fromUtf8("2024. 3. 5. 오후 2시 30분 5초");
    }

    void fourDigitYears()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, text);
        QCOMPARE(NoiseReportTexts::dateTimeText(at(2024, 3, 5, 14, 30, 5), locale), text);
        QVERIFY(text.endsWith(NoiseReportTexts::timeText(at(2024, 3, 5, 14, 30, 5), locale)));
        // The report's own times, and the footer's.
        NoiseReport report =
            NoiseReport::of(steadySeries(3, 60, 50, 60), ReportSpan{0, 2}, 85, locale);
        report.created = QDateTime(QDate(2024, 3, 5), QTime(14, 30, 5));
        QCOMPARE(report.page.startTime, text);
        QCOMPARE(report.page.cursorATime, text);
        QVERIFY2(report.footerText(locale).contains(text), qPrintable(report.footerText(locale)));
        for (const ReportTableRow& row : report.pageTableRows(locale))
            if (row.name == QLatin1String("Start Time"))
                QCOMPARE(row.whole, text);
    }

    void levelAxisHoldsTheLevels_data()
    {
        QTest::addColumn<QList<float>>("levels");
        QTest::addColumn<double>("minDb");
        QTest::addColumn<double>("maxDb");
        QTest::newRow("quiet background 25-35 dB")
            << QList<float>{25.f, 31.f, 35.f} << 20.0 << 40.0;
        QTest::newRow("steady 60 dB in the middle") << QList<float>{60.f, 60.f} << 50.0 << 70.0;
        QTest::newRow("the logger's whole range") << QList<float>{20.f, 140.f} << 10.0 << 150.0;
        QTest::newRow("2 dB of room below 41 dB") << QList<float>{41.f, 70.f} << 30.0 << 80.0;
        QTest::newRow("no levels") << QList<float>{} << 30.0 << 130.0;
    }

    void levelAxisHoldsTheLevels()
    {
        QFETCH(QList<float>, levels);
        QFETCH(double, minDb);
        QFETCH(double, maxDb);
        const ReportLevelAxis axis = ReportLevelAxis::fittedTo(levels);
        QCOMPARE(axis.minDb, minDb);
        QCOMPARE(axis.maxDb, maxDb);
    }

    void firstPageLines_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QStringList>("given"); // name=text
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("text");
        QTest::newRow("drift up") << us
                                  << QStringList{"calibration-before=94.0",
                                                 "calibration-after=94.2"}
                                  << "Calibration"
                                  << "94.0 dB before, 94.2 dB after, drift +0.2 dB";
        QTest::newRow("drift down, comma")
            << de << QStringList{"calibration-before=94", "calibration-after=93,7"} << "Calibration"
            << "94,0 dB before, 93,7 dB after, drift -0,3 dB";
        QTest::newRow("only before") << us << QStringList{"calibration-before=114"} << "Calibration"
                                     << "114.0 dB before";
        QTest::newRow("no calibration is said")
            << us << QStringList{"site=Harbour Road 12"} << "Calibration"
            << "not stated";
        QTest::newRow("instrument on one line")
            << us
            << QStringList{"instrument-model=QV58M 842", "instrument-serial=4711",
                           "instrument-class=2"}
            << "Instrument"
            << "QV58M 842, serial 4711, class 2";
        QTest::newRow("site") << us << QStringList{"site=Harbour Road 12"} << "Site"
                              << "Harbour Road 12";
    }

    void firstPageLines()
    {
        QFETCH(QLocale, locale);
        QFETCH(QStringList, given);
        QFETCH(QString, label);
        QFETCH(QString, text);
        ReportDetails details;
        for (const QString& field : given)
            QVERIFY(details.setValue(field.section('=', 0, 0), field.section('=', 1), locale));
        QStringList lines;
        for (const ReportDetails::Line& line : details.pageLines(locale))
            lines << line.label + ": " + line.text;
        QVERIFY2(lines.contains(label + ": " + text), qPrintable(lines.join('\n')));
    }

    void levelsThatDoNotReadChangeNothing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("words") << "ninety-four";
        QTest::newRow("above 200 dB") << "250";
        QTest::newRow("negative") << "-3";
        QTest::newRow("not a number") << "nan";
    }

    void levelsThatDoNotReadChangeNothing()
    {
        QFETCH(QString, text);
        ReportDetails details;
        details.calibrationBefore = 94.0;
        QVERIFY(!details.setValue("calibration-before", text, us));
        QCOMPARE(details.calibrationBefore, std::optional<double>(94.0));
        QVERIFY(!details.setValue("no-such-field", "x", us));
    }

    // The entry of a measurement comes back for it; another measurement is
    // offered the instrument and operator only.
    void rememberedPerMeasurement()
    {
        QSettings store;
        const QString first = ReportDetailsStore::measurementKey(steadySeries(10, 1, 50, 60));
        const QString second = ReportDetailsStore::measurementKey(steadySeries(10, 2, 50, 60));
        QVERIFY(first != second);
        ReportDetailsStore::Entry entry;
        entry.title = "Night, Harbour Road";
        for (const QString field :
             {"site=Harbour Road 12", "operator=A. Weber", "instrument-serial=4711",
              "calibration-before=93.8", "notes=Two lines\nof notes"})
            QVERIFY(entry.details.setValue(field.section('=', 0, 0), field.section('=', 1), us));
        ReportDetailsStore::write(store, first, entry);

        const ReportDetailsStore::Entry again = ReportDetailsStore::read(store, first);
        QCOMPARE(again.title, entry.title);
        QVERIFY(again.details == entry.details);
        const ReportDetailsStore::Entry other = ReportDetailsStore::read(store, second);
        QCOMPARE(other.title, QString());
        ReportDetails carried;
        carried.operatorName = "A. Weber";
        carried.instrumentSerial = "4711";
        QVERIFY(other.details == carried);
    }

    void detailsCrossToTheReportRunner()
    {
        ReportOptions options;
        options.source.file = "day.rec";
        options.outFile = "r.pdf";
        options.details.site = "Hof = Yard";
        options.details.notes = "line 1\nline 2";
        options.details.calibrationAfter = 94.25;
        QCOMPARE(options.details.value("calibration-after", de), QString("94,25"));
        const std::optional<ReportOptions> back =
            ReportRunner::optionsFrom(ReportRunner::arguments(options));
        QVERIFY(back);
        QVERIFY(back->details == options.details);
        QVERIFY(!ReportRunner::optionsFrom(ReportRunner::arguments(options) << "colour=red"));
    }

    void pageNamesAndMethodNote()
    {
        qputenv("TZ", "Europe/Berlin");
        const NoiseReport report = NoiseReport::of(steadySeries(1440, 60, 40, 70), {}, 65, us);
        QStringList names;
        for (const ReportTableRow& row : report.pageTableRows(us))
            names << row.name;
        QVERIFY(names.contains("Arithmetic mean of dB values"));
        QVERIFY(!names.contains("Avg"));
        names.clear();
        for (const ReportTableRow& row : report.tableRows(us))
            names << row.name;
        QVERIFY(names.contains("Avg"));

        const QString note = report.methodNote(us).join('\n');
        for (const QString& text :
             {QString("LAeq is a sampled equivalent level: the energy average of 1,440 readings "
                      "taken every 60 s"),
              QString("nearest rank"), QString("strictly above"), QString("65.0 dB"),
              QString("Europe/Berlin, UTC+01:00")})
            QVERIFY2(note.contains(text), qPrintable(text + " not in\n" + note));
    }
};

AUDIMARK_TEST_MAIN_CORE(TestReportDetails)
#include "tst_reportdetails.moc"
