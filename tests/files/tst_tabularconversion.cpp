// "Output Tabular to graph" read back: the date and time cells of a table
// as the graph export writes them, in many locales, to the millisecond; the
// locale's two-digit-year short date; the level with the locale's decimal
// separator, and rows whose level does not read left out and counted; the
// checks before a conversion.

#include "common/TestMain.h"
#include "files/formats/ExportText.h"
#include "files/formats/NoiseReport.h"
#include "files/formats/TabularConversion.h"
#include "files/formats/TabularTable.h"
#include "files/formats/TextImport.h"
#include "logger/DateTimeValue.h"

#include <QTemporaryDir>

#include <cmath>

namespace {
const QDate today(2026, 6, 1); // two-digit years then lie in 1976..2075

qint64 msOf(double dateTime)
{
    return std::llround(dateTime * 86400000.0);
}

qint64 msOf(const QDate& date, const QTime& time)
{
    return msOf(DateTimeValue::fromDateTime(date, time));
}

QLocale locale(const char* name)
{
    return QLocale(QString::fromLatin1(name));
}
} // namespace

class TestTabularConversion : public QObject
{
    Q_OBJECT

private slots:
    void dateTime_data()
    {
        QTest::addColumn<QString>("localeName");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("time");
        QTest::addColumn<QDateTime>("expected");
        const QDate d(2010, 4, 14);
        QTest::newRow("C, 0 ms") << "C"
                                 << "14 Apr 2010"
                                 << "09:05:07.0" << QDateTime(d, QTime(9, 5, 7));
        QTest::newRow("C, .5 is 5 ms") << "C"
                                       << "14 Apr 2010"
                                       << "09:05:07.5" << QDateTime(d, QTime(9, 5, 7, 5));
        QTest::newRow("C, .500 is 500 ms") << "C"
                                           << "14 Apr 2010"
                                           << "09:05:07.500" << QDateTime(d, QTime(9, 5, 7, 500));
        // Three digits as written now, and the unpadded digits of earlier
        // files, both keep their milliseconds.
        QTest::newRow("C, .042 is 42 ms") << "C"
                                          << "14 Apr 2010"
                                          << "17:28:03.042" << QDateTime(d, QTime(17, 28, 3, 42));
        QTest::newRow("C, unpadded .42 is 42 ms")
            << "C"
            << "14 Apr 2010"
            << "17:28:03.42" << QDateTime(d, QTime(17, 28, 3, 42));
        QTest::newRow("C, long month name")
            << "C"
            << "14 April 2010"
            << "23:59:59.999" << QDateTime(d, QTime(23, 59, 59, 999));
        QTest::newRow("de_DE, four-digit year")
            << "de_DE"
            << "14.04.2010"
            << "09:05:07.12" << QDateTime(d, QTime(9, 5, 7, 12));
        QTest::newRow("de_DE, two-digit year") << "de_DE"
                                               << "14.04.10"
                                               << "09:05:07" << QDateTime(d, QTime(9, 5, 7));
        QTest::newRow("de_DE, two-digit year 76 is 1976")
            << "de_DE"
            << "01.01.76"
            << "00:00" << QDateTime(QDate(1976, 1, 1), QTime(0, 0));
        QTest::newRow("de_DE, two-digit year 75 is 2075")
            << "de_DE"
            << "01.01.75"
            << "00:00" << QDateTime(QDate(2075, 1, 1), QTime(0, 0));
        QTest::newRow("en_US, month first") << "en_US"
                                            << "4/14/2010"
                                            << "09:05:07.0" << QDateTime(d, QTime(9, 5, 7));
        QTest::newRow("en_US, two-digit year, PM") << "en_US"
                                                   << "4/14/10"
                                                   << "9:05:07 PM" << QDateTime(d, QTime(21, 5, 7));
        QTest::newRow("date without time is midnight") << "de_DE"
                                                       << "14.04.2010"
                                                       << "" << QDateTime(d, QTime(0, 0));
        QTest::newRow("blanks around, as in a dump file")
            << "C"
            << "14 Apr 2010"
            << " 09:05:07.0 " << QDateTime(d, QTime(9, 5, 7));
    }

    void dateTime()
    {
        QFETCH(QString, localeName);
        QFETCH(QString, date);
        QFETCH(QString, time);
        QFETCH(QDateTime, expected);
        const std::optional<double> value =
            TabularConversion::dateTime(date, time, QLocale(localeName), today);
        QVERIFY(value);
        QCOMPARE(msOf(*value), msOf(expected.date(), expected.time()));
    }

    void notADateTime_data()
    {
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("time");
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("31 February") << "31.02.2010"
                                     << "09:05:07.0";
        QTest::newRow("hour 25") << "14.04.2010"
                                 << "25:00:00.0";
        QTest::newRow("four ms digits") << "14.04.2010"
                                        << "09:05:07.1000";
        QTest::newRow("seconds 60") << "14.04.2010"
                                    << "09:05:60.0";
        QTest::newRow("text after the time") << "14.04.2010"
                                             << "09:05:07.0 x";
        QTest::newRow("other locale's order") << "2010-04-14"
                                              << "09:05:07.0";
        QTest::newRow("header text") << "Date"
                                     << "Time";
    }

    void notADateTime()
    {
        QFETCH(QString, date);
        QFETCH(QString, time);
        QCOMPARE(TabularConversion::dateTime(date, time, locale("de_DE"), today), std::nullopt);
    }

    // Every point of a graph export line reads back to its X to the
    // millisecond and its Y, whatever the locale's dates and decimals.
    void graphExportLineReadsBack_data()
    {
        QTest::addColumn<QString>("localeName");
        for (const char* name : {"C", "de_DE", "en_US", "en_GB", "fr_FR", "ja_JP", "zh_TW", "ko_KR",
                                 "hu_HU", "fi_FI", "bg_BG", "lt_LT", "ar_EG", "fa_IR"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    void graphExportLineReadsBack()
    {
        QFETCH(QString, localeName);
        const QLocale l(localeName);
        const QChar separator = ExportText::csvOffered(l) ? ExportText::Comma : ExportText::Tab;
        const double xs[] = {DateTimeValue::fromDateTime(QDate(2010, 4, 14), QTime(9, 5, 7)),
                             DateTimeValue::fromDateTime(QDate(1999, 12, 31), QTime(23, 59, 59, 5)),
                             DateTimeValue::fromDateTime(QDate(2031, 1, 2), QTime(0, 0, 0, 999))};
        const float ys[] = {65.3f, 30.0f, 129.9f};
        for (int i = 0; i < 3; ++i) {
            const QString line = ExportText::graphExportLine(xs[i], ys[i], separator, l);
            const QStringList fields = line.split(separator);
            QCOMPARE(fields.size(), 3);
            TabularTable table;
            table.appendRow(fields);
            const std::optional<TabularConversion::Point> point =
                TabularConversion::point(table, 1, l, today);
            QVERIFY2(point && point->y, qPrintable(line));
            QCOMPARE(msOf(point->x), msOf(xs[i]));
            QCOMPARE(*point->y, ys[i]);
        }
    }

    void level_data()
    {
        QTest::addColumn<QString>("localeName");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("reads");
        QTest::addColumn<float>("level");
        QTest::newRow("C") << "C"
                           << "65.3" << true << 65.3f;
        QTest::newRow("blanks around") << "C"
                                       << " 65.3 " << true << 65.3f;
        QTest::newRow("de_DE comma") << "de_DE"
                                     << "65,3" << true << 65.3f;
        QTest::newRow("de_DE: a point is no decimal separator: no level") << "de_DE"
                                                                          << "65.3" << false << 0.0f;
        QTest::newRow("not a number: no level, the time kept") << "C"
                                                               << "OVER" << false << 0.0f;
        QTest::newRow("empty: no level") << "C"
                                         << "" << false << 0.0f;
        // QLocale reads these, but no meter measures them: a row without a
        // level, not a point that makes the Minimum "nan".
        QTest::newRow("nan: no level") << "C"
                                       << "nan" << false << 0.0f;
        QTest::newRow("inf: no level") << "C"
                                       << "inf" << false << 0.0f;
        QTest::newRow("-inf: no level") << "C"
                                        << "-inf" << false << 0.0f;
    }

    void level()
    {
        QFETCH(QString, localeName);
        QFETCH(QString, text);
        QFETCH(bool, reads);
        QFETCH(float, level);
        const QLocale l(localeName);
        TabularTable table;
        table.appendRow(
            {l.toString(QDate(2010, 4, 14), ExportText::shortDateFormat(l)), "09:05:07.0", text});
        const std::optional<TabularConversion::Point> point =
            TabularConversion::point(table, 1, l, today);
        QVERIFY(point);
        QCOMPARE(point->y.has_value(), reads);
        if (reads)
            QCOMPARE(*point->y, level);
        QCOMPARE(msOf(point->x), msOf(QDate(2010, 4, 14), QTime(9, 5, 7)));
    }

    // A row whose level does not read is no 0 dB sample: the series leaves
    // it out and counts it, so Lmin, L90 and the Leq are those of the rows
    // that hold levels.
    void rowsWithoutLevelAreLeftOutAndCounted_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("points");
        QTest::addColumn<int>("withoutLevel");
        QTest::newRow("OVER and an empty cell")
            << QByteArray("14 Apr 2010,09:05:07.0,60.0\r\n14 Apr 2010,09:05:08.0,OVER\r\n"
                          "14 Apr 2010,09:05:09.0,\r\n14 Apr 2010,09:05:10.0,80.0\r\n")
            << 2 << 2;
        QTest::newRow("no value column at all")
            << QByteArray("14 Apr 2010,09:05:07.0,60.0\r\n14 Apr 2010,09:05:08.0\r\n"
                          "14 Apr 2010,09:05:10.0,80.0\r\n")
            << 2 << 1;
        QTest::newRow("a bad date is left out, not counted as without level")
            << QByteArray("14 Apr 2010,09:05:07.0,60.0\r\nSum,,\r\n14 Apr 2010,09:05:10.0,80.0\r\n")
            << 2 << 0;
        QTest::newRow("every level reads")
            << QByteArray("14 Apr 2010,09:05:07.0,60.0\r\n14 Apr 2010,09:05:10.0,80.0\r\n") << 2
            << 0;
    }

    void rowsWithoutLevelAreLeftOutAndCounted()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, points);
        QFETCH(int, withoutLevel);
        QTemporaryDir dir;
        const QString path = dir.filePath("levels.csv");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        const ReportSeriesLoad load = loadReportSeries(
            path, 1, QDateTime(QDate(2026, 6, 1), QTime(12, 0)), QLocale::c());
        QVERIFY2(load.series, qPrintable(load.error));
        QCOMPARE(load.series->size(), points);
        QCOMPARE(load.series->rowsWithoutLevel, withoutLevel);
        QCOMPARE(load.series->levels.front(), 60.0f);
        QCOMPARE(load.series->levels.back(), 80.0f);
        const NoiseReport report = NoiseReport::of(*load.series, std::nullopt, 85.0, QLocale::c());
        QCOMPARE(report.wholeAcoustic.lmin, 60.0);
        QCOMPARE(report.wholeAcoustic.lmax, 80.0);

        TabularTable table;
        (void)TextImport::read(path, ',', table);
        QCOMPARE(ReportSeries::fromTable(table, QLocale::c()).rowsWithoutLevel, withoutLevel);
    }

    void rowsWithoutLevelNote()
    {
        QCOMPARE(TabularConversion::rowsWithoutLevelNote(1), "1 row without a level skipped");
        QCOMPARE(TabularConversion::rowsWithoutLevelNote(2), "2 rows without a level skipped");
    }

    void badRowIsSkipped()
    {
        TabularTable table;
        table.appendRow({"14.04.2010", "09:05:07.0", "65,3"});
        table.appendRow({"x", "09:05:08.0", "66,3"});
        QVERIFY(TabularConversion::point(table, 1, locale("de_DE"), today));
        QCOMPARE(TabularConversion::point(table, 2, locale("de_DE"), today), std::nullopt);
    }

    void ends_data()
    {
        QTest::addColumn<QList<QStringList>>("rows");
        QTest::addColumn<QString>("error");
        QTest::addColumn<bool>("noData");
        QTest::addColumn<int>("count");
        const QStringList good1 = {"14.04.2010", "09:05:07.0", "65,3"};
        const QStringList good2 = {"14.04.2010", "09:05:09.0", "65,3"};
        QTest::newRow("first date empty: no data")
            << QList<QStringList>{{"", "09:05:07.0", "1"}} << "No data to graph !" << true << 1;
        QTest::newRow("empty list: no data")
            << QList<QStringList>{} << "No data to graph !" << true << 0;
        QTest::newRow("bad first row")
            << QList<QStringList>{{"14.13.2010", "09:05:07.0"}, good2}
            << "'14.13.2010 09:05:07.0' is not a valid date and time" << false << 2;
        QTest::newRow("bad last row") << QList<QStringList>{good1, good2, {"Sum", "x"}}
                                      << "'Sum x' is not a valid date and time" << false << 3;
        QTest::newRow("bad middle row is no error")
            << QList<QStringList>{good1, {"?"}, good2} << "" << false << 3;
        QTest::newRow("one row") << QList<QStringList>{good1} << "" << false << 1;
    }

    void ends()
    {
        QFETCH(QList<QStringList>, rows);
        QFETCH(QString, error);
        QFETCH(bool, noData);
        QFETCH(int, count);
        TabularTable table;
        for (const QStringList& row : rows)
            table.appendRow(row);
        const TabularConversion::Ends ends = TabularConversion::ends(table, locale("de_DE"), today);
        QCOMPARE(ends.error, error);
        QCOMPARE(ends.noData, noData);
        if (noData)
            return;
        QCOMPARE(ends.count, count);
        if (error.isEmpty()) {
            QCOMPARE(msOf(ends.first), msOf(QDate(2010, 4, 14), QTime(9, 5, 7)));
            QCOMPARE(msOf(ends.last), msOf(QDate(2010, 4, 14), QTime(9, 5, count == 1 ? 7 : 9)));
        }
    }
};

AUDIMARK_TEST_MAIN_CORE(TestTabularConversion)
#include "tst_tabularconversion.moc"
