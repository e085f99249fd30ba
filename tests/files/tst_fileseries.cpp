// The series of a text or CSV file as the command line's stats read it, line
// by line with no table and the usual cells read from their bytes, is the
// series of the same file imported into a list window's table with every
// cell read as a string (QLocale reading the levels, a "nan" or "inf" no
// level): the same points to the
// bit, the same rows without a level, the same refusals, the same figures;
// over the awkward files: decimal commas, two-digit years, unpadded
// milliseconds, AM/PM, rows without a level, CR LF and LF, blank lines, a
// byte order mark, long lines, characters beyond ASCII, numbers that only
// QLocale reads, and the graph export of many locales.

#include "common/TestMain.h"
#include "data/SeriesStatistics.h"
#include "files/formats/ExportText.h"
#include "files/formats/NoiseReport.h"
#include "files/formats/TabularConversion.h"
#include "files/formats/TabularTable.h"
#include "files/formats/TextImport.h"
#include "logger/DateTimeValue.h"

#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cmath>
#include <cstring>

namespace {
const QDateTime now(QDate(2026, 6, 1), QTime(12, 0)); // two-digit years: 1976..2075

// The list window's reading of a file: the import into a table, then each
// row's cells as strings, the date and time joined and read, the level read
// by QLocale (without group separators; a level that a comma separator cut at
// the locale's decimal comma joined again and read as the locale reads).
struct TableSeries
{
    std::vector<double> times;
    std::vector<float> levels;
    qsizetype withoutLevel = 0;
    int backwardLine = 0;
};

TableSeries tableSeries(const QString& path, QChar separator, const QLocale& locale)
{
    TableSeries s;
    TabularTable table;
    (void)TextImport::read(path, separator, table);
    QLocale numbers = locale;
    numbers.setNumberOptions(numbers.numberOptions() | QLocale::RejectGroupSeparator);
    const bool split =
        separator == QLatin1Char(',') && locale.decimalPoint() == QStringLiteral(",");
    if (table.cell(1, 1).isEmpty())
        return s;
    for (int r = 1; r <= table.dataRowCount(); ++r) {
        const std::optional<double> x =
            TabularConversion::dateTime(table.cell(r, 1), table.cell(r, 2), locale, now.date());
        if (!x)
            continue;
        bool ok = false;
        float y = 0.0f;
        if (split && !table.cell(r, 4).isEmpty())
            y = locale.toFloat(table.cell(r, 3) + locale.decimalPoint() + table.cell(r, 4), &ok);
        if (!ok || !std::isfinite(y))
            y = numbers.toFloat(table.cell(r, 3).trimmed(), &ok);
        if (!ok || !std::isfinite(y)) { // "nan" and "inf" are no level
            ++s.withoutLevel;
            continue;
        }
        if (s.backwardLine == 0 && !s.times.empty() && *x < s.times.back())
            s.backwardLine = r;
        s.times.push_back(*x);
        s.levels.push_back(y);
    }
    return s;
}

QByteArray exportLines(const QLocale& locale, QChar separator)
{
    QByteArray bytes;
    const double start = DateTimeValue::fromDateTime(QDate(1999, 12, 31), QTime(23, 59, 58));
    for (int i = 0; i < 40; ++i)
        bytes += ExportText::graphExportLine(start + i * 0.05 / 86400.0,
                                             float((300 + i * 23 % 1000) / 10.0), separator, locale)
                     .toUtf8() +
                 ExportText::LineEnd;
    return bytes;
}

QStringList figureTexts(const NoiseReport& report)
{
    QStringList texts{report.startTime, report.endTime, report.interval};
    for (const ReportTableRow& row : report.tableRows(QLocale::c()))
        texts << row.name + QLatin1Char('=') + row.whole;
    return texts;
}
} // namespace

class TestFileSeries : public QObject
{
    Q_OBJECT

private slots:
    void fileSeriesIsTheTableSeries_data()
    {
        QTest::addColumn<QString>("localeName");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray c3 = "14 Apr 2010,09:05:07.000,65.3\r\n14 Apr 2010,09:05:08.000,66.1\r\n"
                              "14 Apr 2010,09:05:09.000,70.0\r\n";
        QTest::newRow("C, CR LF") << "C"
                                  << "csv" << c3;
        QTest::newRow("C, LF") << "C"
                               << "csv" << QByteArray(c3).replace("\r\n", "\n");
        QTest::newRow("C, no line end at the end") << "C"
                                                   << "csv" << QByteArray(c3).chopped(2);
        QTest::newRow("C, CR LF and LF mixed, CR alone kept in the cell")
            << "C"
            << "csv"
            << QByteArray("14 Apr 2010,09:05:07.0,65.3\n14 Apr 2010,09:05:08.0,66.1\r\r\n"
                          "14 Apr 2010,09:05:09.0,67.2\r\n");
        QTest::newRow("C, a blank line ends the reading")
            << "C"
            << "csv" << QByteArray(c3).insert(31, "\r\n");
        QTest::newRow("C, blank lines at the end") << "C"
                                                   << "csv" << c3 + "\r\n\r\n\n";
        QTest::newRow("C, byte order mark") << "C"
                                            << "csv"
                                            << "\xEF\xBB\xBF" + c3;
        QTest::newRow("C, unpadded milliseconds")
            << "C"
            << "csv"
            << QByteArray("14 Apr 2010,09:05:07.0,65.3\r\n14 Apr 2010,09:05:07.5,65.4\r\n"
                          "14 Apr 2010,09:05:07.42,65.5\r\n14 Apr 2010,09:05:07.500,65.6\r\n"
                          "14 Apr 2010,09:05:08,65.7\r\n14 Apr 2010,09:06,65.8\r\n");
        QTest::newRow("C, long month names and blanks")
            << "C"
            << "csv"
            << QByteArray("14 April 2010, 09:05:07.000 , 65.3 \r\n 14  APR 2010,09:05:08.0,\t66\r\n"
                          "14 apr 2010,9:05:09.0,67.25\r\n");
        QTest::newRow("C, rows without a level")
            << "C"
            << "csv"
            << QByteArray("14 Apr 2010,09:05:07.0,60.0\r\n14 Apr 2010,09:05:08.0,OVER\r\n"
                          "14 Apr 2010,09:05:09.0,\r\n14 Apr 2010,09:05:10.0\r\n"
                          "Sum,,\r\n14 Apr 2010,09:05:11.0,80.0\r\n");
        QTest::newRow("C, numbers only QLocale reads, or nobody")
            << "C"
            << "csv"
            << QByteArray("14 Apr 2010,09:05:00.0,065.3\r\n14 Apr 2010,09:05:01.0,65.\r\n"
                          "14 Apr 2010,09:05:02.0,.5\r\n14 Apr 2010,09:05:03.0,1e2\r\n"
                          "14 Apr 2010,09:05:04.0,+65.3\r\n14 Apr 2010,09:05:05.0,-0.5\r\n"
                          "14 Apr 2010,09:05:06.0,65.30000000000000000001\r\n"
                          "14 Apr 2010,09:05:07.0,123456789012345678\r\n"
                          "14 Apr 2010,09:05:08.0,3.5e38\r\n14 Apr 2010,09:05:09.0,nan\r\n"
                          "14 Apr 2010,09:05:10.0,inf\r\n14 Apr 2010,09:05:11.0,0\r\n"
                          "14 Apr 2010,09:05:12.0,0.0000000000000001\r\n"
                          "14 Apr 2010,09:05:13.0,999999999999999\r\n"
                          "14 Apr 2010,09:05:14.0,1,234.5\r\n14 Apr 2010,09:05:15.0,65 .3\r\n");
        QTest::newRow("C, beyond ASCII")
            << "C"
            << "csv"
            << QByteArray("14 Apr 2010,09:05:07.0,65.3\r\n14 Apr 2010,09:05:08.0,66.1 \xC3\xA9\r\n"
                          "14 Apr 2010\xC2\xA0,09:05:09.0,67.0\r\n"
                          "14 Apr 2010,09:05:10.0\xE2\x80\x83,\xC2\xA0"
                          "68.0\r\n14 \xC3\x84pr 2010,09:05:11.0,69.0\r\n"
                          "14 Apr 2010,\xEF\xBC\x90\xEF\xBC\x99:05:12.0,70.0\r\n"
                          "14 Apr 2010,09:05:13.0,71.0,\xFF\xFE\r\n");
        QTest::newRow("C, long lines")
            << "C"
            << "csv"
            << "14 Apr 2010,09:05:07.0,65.3," + QByteArray(300, 'x') + "\r\n" +
                   "14 Apr 2010,09:05:08.0," + QByteArray(170, '6') + "\r\n" +
                   "14 Apr 2010,09:05:09.0,67.0," + QByteArray(2000, '\xC3') + "\r\n" +
                   "14 Apr 2010,09:05:10.0,68.0\r\n";
        QTest::newRow("C, more than six fields")
            << "C"
            << "csv" << QByteArray("14 Apr 2010,09:05:07.0,65.3,a,b,c,d,e\r\n");
        QTest::newRow("C, first date empty: no points")
            << "C"
            << "csv" << QByteArray(",09:05:07.0,65.3\r\n") + c3;
        QTest::newRow("C, times run backwards")
            << "C"
            << "csv"
            << QByteArray("14 Apr 2010,09:05:07.0,65.3\r\n14 Apr 2010,09:05:06.0,66.1\r\n");
        QTest::newRow("C, TAB file") << "C"
                                     << "txt" << QByteArray(c3).replace(',', '\t');
        QTest::newRow("de_DE, decimal comma in a TAB file")
            << "de_DE"
            << "txt"
            << QByteArray("14.04.2010\t09:05:07.000\t65,3\r\n14.04.2010\t09:05:08.000\t1.234,5\r\n"
                          "14.04.2010\t09:05:09.000\t66.1\r\n14.04.2010\t09:05:10.000\t67\r\n");
        QTest::newRow("de_DE, dump file: the comma splits the level")
            << "de_DE"
            << "csv"
            << QByteArray("14.04.2010, 09:05:07.000,65,3\r\n14.04.2010, 09:05:08.000,66\r\n"
                          "14.04.2010, 09:05:09.000,1.234,5\r\n14.04.2010, 09:05:10.000,x,5\r\n"
                          "14.04.2010, 09:05:11.000, 67,5 \r\n14.04.2010, 09:05:12.000,OVER\r\n");
        QTest::newRow("de_DE, two-digit years")
            << "de_DE"
            << "txt"
            << QByteArray("31.12.75\t23:59:59.999\t65,3\r\n01.01.76\t00:00:00.0\t66,1\r\n"
                          "14.04.10\t09:05:07\t67,0\r\n");
        QTest::newRow("en_US, two-digit years and PM")
            << "en_US"
            << "csv"
            << QByteArray("4/14/10,9:05:07 AM,65.3\r\n4/14/10,12:05:07 pm,66.1\r\n"
                          "4/14/2010,9:05:07 PM,67.0\r\n4/14/2010,13:05:07 PM,68.0\r\n");
        for (const char* name : {"C", "de_DE", "en_US", "en_GB", "fr_FR", "ja_JP", "zh_TW", "ko_KR",
                                 "hu_HU", "fi_FI", "bg_BG", "lt_LT", "ar_EG", "fa_IR"}) {
            const QLocale l(QString::fromLatin1(name));
            const bool csv = ExportText::csvOffered(l);
            QTest::addRow("%s, graph export", name)
                << QString::fromLatin1(name) << (csv ? "csv" : "txt")
                << exportLines(l, csv ? ExportText::Comma : ExportText::Tab);
        }
    }

    void fileSeriesIsTheTableSeries()
    {
        QFETCH(QString, localeName);
        QFETCH(QString, extension);
        QFETCH(QByteArray, bytes);
        const QLocale locale(localeName);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("series.") + extension);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        const QChar separator =
            extension == QLatin1String("csv") ? QLatin1Char(',') : QLatin1Char('\t');

        const TableSeries expected = tableSeries(path, separator, locale);
        const ReportSeriesLoad load = loadReportSeries(path, 1, now, locale);
        if (expected.times.empty()) {
            QVERIFY(!load.series);
            QVERIFY2(load.error.endsWith(QStringLiteral("no date, time and level lines")),
                     qPrintable(load.error));
            return;
        }
        if (expected.backwardLine != 0) {
            QVERIFY(!load.series);
            QVERIFY2(
                load.error.contains(
                    QStringLiteral("the time on line %1 lies before").arg(expected.backwardLine)),
                qPrintable(load.error));
            return;
        }
        QVERIFY2(load.series, qPrintable(load.error));
        const ReportSeries& series = *load.series;
        QCOMPARE(series.times.size(), expected.times.size());
        QCOMPARE(series.rowsWithoutLevel, expected.withoutLevel);
        for (std::size_t i = 0; i < expected.times.size(); ++i) {
            // To the bit: the same double, the same float.
            QVERIFY2(std::memcmp(&series.times[i], &expected.times[i], sizeof(double)) == 0,
                     qPrintable(QStringLiteral("time of point %1").arg(i)));
            QVERIFY2(std::memcmp(&series.levels[i], &expected.levels[i], sizeof(float)) == 0,
                     qPrintable(QStringLiteral("level of point %1: %2, expected %3")
                                    .arg(i)
                                    .arg(series.levels[i])
                                    .arg(expected.levels[i])));
        }
        const GraphStatisticTexts texts = GraphStatisticTexts::of(
            SeriesStatistics::whole(expected.times, expected.levels), locale);
        const ReportSeries reference =
            ReportSeries::fromPoints(expected.times, expected.levels, texts);
        QCOMPARE(series.intervalSeconds, reference.intervalSeconds);
        QCOMPARE(figureTexts(NoiseReport::of(series, std::nullopt, 85.0, locale)),
                 figureTexts(NoiseReport::of(reference, std::nullopt, 85.0, locale)));

        // The list window's own conversion of the table gives them too
        // (it never joins a level cut at a decimal comma).
        const bool split =
            separator == QLatin1Char(',') && locale.decimalPoint() == QStringLiteral(",");
        if (!split) {
            TabularTable table;
            (void)TextImport::read(path, separator, table);
            const ReportSeries fromTable = ReportSeries::fromTable(table, locale);
            QCOMPARE(fromTable.times, series.times);
            QCOMPARE(fromTable.levels.size(), series.levels.size());
            // Bit for bit: a "nan" that QLocale reads is no level equal to itself.
            QVERIFY(std::memcmp(fromTable.levels.data(), series.levels.data(),
                                series.levels.size() * sizeof(float)) == 0);
            QCOMPARE(fromTable.rowsWithoutLevel, series.rowsWithoutLevel);
        }
    }

    // Levels of every tenth from 0 to 200 dB and of random decimals up to 15
    // digits read to the same float as QLocale reads them.
    void levelIsQLocalesReading_data()
    {
        QTest::addColumn<QString>("localeName");
        for (const char* name : {"C", "de_DE", "fr_FR", "ar_EG", "fa_IR", "hi_IN"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    void levelIsQLocalesReading()
    {
        QFETCH(QString, localeName);
        QLocale locale(localeName);
        const TabularConversion::RowReader reader(locale, now.date());
        locale.setNumberOptions(locale.numberOptions() | QLocale::RejectGroupSeparator);
        QStringList texts;
        for (int tenths = 0; tenths <= 2000; ++tenths)
            texts << locale.toString(tenths / 10.0, 'f', 1);
        QRandomGenerator random(4711);
        for (int i = 0; i < 5000; ++i) {
            const int digits = 1 + int(random.bounded(15));
            const int decimals = int(random.bounded(digits));
            const qint64 whole = qint64(random.bounded(1.0) * std::pow(10.0, digits - decimals));
            QString text = QString::number(whole);
            if (decimals > 0) {
                QString fraction = QString::number(random.bounded(1.0), 'f', decimals).mid(2);
                text += locale.decimalPoint() + fraction;
            }
            texts << text;
        }
        for (const QString& text : texts) {
            bool ok = false;
            const float expected = locale.toFloat(text, &ok);
            const std::optional<float> level = reader.level(text.toUtf8());
            QVERIFY2(level.has_value() == ok, qPrintable(text));
            if (ok)
                QVERIFY2(std::memcmp(&*level, &expected, sizeof(float)) == 0, qPrintable(text));
        }
    }
};

AUDIMARK_TEST_MAIN_CORE(TestFileSeries)
#include "tst_fileseries.moc"
