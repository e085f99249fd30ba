// The graph export of text and CSV files: the export line in several
// locales, the range rules, and the bytes of the written files.

#include "common/TestMain.h"
#include "files/formats/ExportRange.h"
#include "files/formats/ExportText.h"
#include "files/formats/GraphExport.h"
#include "logger/DateTimeValue.h"

#include <QTemporaryDir>

#include <vector>

namespace {
const QLocale us(QLocale::English, QLocale::UnitedStates);
const QLocale de(QLocale::German, QLocale::Germany);

double at(const QDate& date, const QTime& time)
{
    return DateTimeValue::fromDateTime(date, time);
}

// n points one second apart from 14 April 2010 09:05:07, levels 60.0, 60.1, ...
struct Series
{
    explicit Series(int n)
    {
        for (int i = 0; i < n; ++i) {
            x.push_back(at(QDate(2010, 4, 14), QTime(9, 5, 7)) + i / 86400.0);
            y.push_back(float((600 + i) * 0.1));
        }
    }
    std::vector<double> x;
    std::vector<float> y;
};

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}
} // namespace

class TestGraphExport : public QObject
{
    Q_OBJECT

private slots:
    void exportLine_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<double>("dateTime");
        QTest::addColumn<float>("value");
        QTest::addColumn<QString>("line");
        const QDate day(2010, 4, 14);
        QTest::newRow("us 0 ms") << us << at(day, QTime(9, 5, 7, 0)) << 65.27f
                                 << "4/14/2010\t09:05:07.000\t65.3";
        QTest::newRow("us 5 ms") << us << at(day, QTime(9, 5, 7, 5)) << 65.27f
                                 << "4/14/2010\t09:05:07.005\t65.3";
        QTest::newRow("us 500 ms")
            << us << at(day, QTime(9, 5, 7, 500)) << 65.27f << "4/14/2010\t09:05:07.500\t65.3";
        QTest::newRow("de 0 ms") << de << at(day, QTime(9, 5, 7, 0)) << 65.27f
                                 << "14.04.2010\t09:05:07.000\t65,3";
        QTest::newRow("de 500 ms")
            << de << at(day, QTime(9, 5, 7, 500)) << 65.27f << "14.04.2010\t09:05:07.500\t65,3";
        QTest::newRow("C") << QLocale::c() << at(day, QTime(9, 5, 7, 5)) << 65.27f
                           << "14 Apr 2010\t09:05:07.005\t65.3";
        QTest::newRow("no group separator")
            << us << at(day, QTime(9, 5, 7)) << 1234.56f << "4/14/2010\t09:05:07.000\t1234.6";
        QTest::newRow("de no group separator")
            << de << at(day, QTime(9, 5, 7)) << 1234.56f << "14.04.2010\t09:05:07.000\t1234,6";
        // The value of a point just before midnight that rounds up to it: the
        // date moves with the time.
        const double lastMs = at(QDate(2009, 12, 31), QTime(23, 59, 59, 999));
        QTest::newRow("rounds into the next day")
            << us << lastMs + 0.6 / 86400000.0 << 50.0f << "1/1/2010\t00:00:00.000\t50.0";
        QTest::newRow("de rounds into the next day")
            << de << lastMs + 0.6 / 86400000.0 << 50.0f << "01.01.2010\t00:00:00.000\t50,0";
        QTest::newRow("stays on its day")
            << us << lastMs + 0.4 / 86400000.0 << 50.0f << "12/31/2009\t23:59:59.999\t50.0";
    }

    void exportLine()
    {
        QFETCH(QLocale, locale);
        QFETCH(double, dateTime);
        QFETCH(float, value);
        QFETCH(QString, line);
        QCOMPARE(ExportText::graphExportLine(dateTime, value, ExportText::Tab, locale), line);
        QString commaLine = line;
        QCOMPARE(ExportText::graphExportLine(dateTime, value, ExportText::Comma, locale),
                 commaLine.replace('\t', ','));
    }

    // A spreadsheet reads "ss.mmm" as a decimal number of seconds: the times
    // of a 0.1 s series must read back increasing, by 0.1 s each.
    void timesReadAsDecimalSeconds()
    {
        const double start = at(QDate(2010, 4, 14), QTime(17, 28, 3, 42));
        double previous = -1.0;
        for (int i = 0; i < 39; ++i) {
            const QString time = ExportText::timeText(start + i * 0.1 / 86400.0);
            const QStringList fields = time.split(':');
            QCOMPARE(fields.size(), 3);
            const double seconds = fields.at(1).toInt() * 60 + fields.at(2).toDouble();
            if (i > 0)
                QVERIFY2(qAbs(seconds - previous - 0.1) < 1e-6, qPrintable(time));
            previous = seconds;
        }
    }

    void shortDateFormat_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("format");
        QTest::newRow("en_US") << us << "M/d/yyyy";
        QTest::newRow("de_DE") << de << "dd.MM.yyyy";
        QTest::newRow("already four digits")
            << QLocale(QLocale::Japanese, QLocale::Japan) << "yyyy/MM/dd";
        QTest::newRow("quoted text kept")
            << QLocale(QLocale::Bulgarian, QLocale::Bulgaria) << "d.MM.yyyy 'г'.";
    }

    void shortDateFormat()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, format);
        QCOMPARE(ExportText::shortDateFormat(locale), format);
    }

    void csvOnlyWithoutCommaDecimal()
    {
        QVERIFY(ExportText::csvOffered(us));
        QVERIFY(ExportText::csvOffered(QLocale::c()));
        QVERIFY(!ExportText::csvOffered(de));
    }

    void ranges_data()
    {
        QTest::addColumn<bool>("all");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::newRow("all") << true << "x"
                             << "y" << 100 << true << 1 << 100;
        QTest::newRow("swapped") << false << "50"
                                 << "10" << 100 << true << 10 << 50;
        QTest::newRow("clamped, from 0") << false << "0"
                                         << "500" << 100 << true << 1 << 100;
        QTest::newRow("negative") << false << "-3"
                                  << "7" << 100 << true << 3 << 7;
        QTest::newRow("both negative, swapped") << false << "-30"
                                                << "-7" << 100 << true << 7 << 30;
        QTest::newRow("blanks around") << false << " 12 "
                                       << "\t20" << 100 << true << 12 << 20;
        QTest::newRow("beyond the end") << false << "200"
                                        << "300" << 100 << true << 200 << 100;
        QTest::newRow("letters") << false << "x"
                                 << "7" << 100 << false << 0 << 0;
        QTest::newRow("fraction") << false << "1"
                                  << "7.5" << 100 << false << 0 << 0;
        QTest::newRow("empty") << false << ""
                               << "7" << 100 << false << 0 << 0;
        QTest::newRow("too large") << false << "1"
                                   << "99999999999" << 100 << false << 0 << 0;
    }

    void ranges()
    {
        QFETCH(bool, all);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(int, count);
        QFETCH(bool, valid);
        QFETCH(int, first);
        QFETCH(int, last);
        const std::optional<ExportRange> range = ExportRange::fromFields(all, from, to, count);
        QCOMPARE(range.has_value(), valid);
        if (valid) {
            QCOMPARE(range->from, first);
            QCOMPARE(range->to, last);
            QCOMPARE(range->size(), std::max(0, last - first + 1));
        }
    }

    void separatorForExtension_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("separator");
        QTest::newRow("txt") << "/data/a.txt"
                             << "\t";
        QTest::newRow("TXT") << "A.TXT"
                             << "\t";
        QTest::newRow("Csv") << "b.Csv"
                             << ",";
        QTest::newRow("dat") << "a.dat"
                             << "";
        QTest::newRow("no extension") << "csv"
                                      << "";
        QTest::newRow("txt inside the name") << "a.txt.bak"
                                             << "";
    }

    void separatorForExtension()
    {
        QFETCH(QString, name);
        QFETCH(QString, separator);
        const std::optional<QChar> found = GraphExport::separatorForExtension(name);
        QCOMPARE(found ? QString(*found) : QString(), separator);
    }

    void writtenFile_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<int>("lines");
        QTest::addColumn<QByteArray>("firstLine");
        QTest::addColumn<QByteArray>("lastLine");
        // Point 121 holds no sample (X = 0): the file ends after point 120.
        QTest::newRow("txt, all") << us << "\t"
                                  << "1"
                                  << "300" << 120 << QByteArray("4/14/2010\t09:05:07.000\t60.0\r\n")
                                  << QByteArray("4/14/2010\t09:07:06.000\t71.9\r\n");
        QTest::newRow("csv, all") << us << ","
                                  << "1"
                                  << "300" << 120 << QByteArray("4/14/2010,09:05:07.000,60.0\r\n")
                                  << QByteArray("4/14/2010,09:07:06.000,71.9\r\n");
        QTest::newRow("de txt, all")
            << de << "\t"
            << "1"
            << "300" << 120 << QByteArray("14.04.2010\t09:05:07.000\t60,0\r\n")
            << QByteArray("14.04.2010\t09:07:06.000\t71,9\r\n");
        QTest::newRow("txt, 50 to 10")
            << us << "\t"
            << "50"
            << "10" << 41 << QByteArray("4/14/2010\t09:05:16.000\t60.9\r\n")
            << QByteArray("4/14/2010\t09:05:56.000\t64.9\r\n");
        QTest::newRow("txt, from beyond the empty point")
            << us << "\t"
            << "122"
            << "124" << 3 << QByteArray("4/14/2010\t09:07:08.000\t72.1\r\n")
            << QByteArray("4/14/2010\t09:07:10.000\t72.3\r\n");
        QTest::newRow("txt, starting on the empty point")
            << us << "\t"
            << "121"
            << "124" << 0 << QByteArray() << QByteArray();
    }

    void writtenFile()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, separator);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(int, lines);
        QFETCH(QByteArray, firstLine);
        QFETCH(QByteArray, lastLine);
        Series series(300);
        series.x[120] = 0.0;
        const auto range = ExportRange::fromFields(false, from, to, 300);
        QVERIFY(range);
        QTemporaryDir dir;
        const QString path = dir.filePath("export");
        const FileWriteOutcome outcome =
            GraphExport::write(path, series.x, series.y, *range, separator.at(0), locale);
        QCOMPARE(outcome.kind, FileWriteOutcome::Written);
        QCOMPARE(outcome.lines, lines);

        const QByteArray bytes = fileBytes(path);
        QCOMPARE(bytes.count("\r\n"), lines);
        QCOMPARE(bytes.count('\n'), lines);
        QVERIFY(bytes.isEmpty() || bytes.endsWith("\r\n"));
        QVERIFY(bytes.startsWith(firstLine));
        QVERIFY(bytes.endsWith(lastLine));
    }

    void cancelLeavesTheEarlierFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("a.txt");
        const Series series(300);
        QVERIFY(
            GraphExport::write(path, series.x, series.y, ExportRange::all(10), ExportText::Tab, us)
                .written());
        const QByteArray earlier = fileBytes(path);

        QList<int> reported;
        const FileWriteOutcome outcome = GraphExport::write(
            path, series.x, series.y, ExportRange::all(300), ExportText::Tab, us, [&](int written) {
                reported.append(written);
                return written < 5;
            });
        QCOMPARE(outcome.kind, FileWriteOutcome::Cancelled);
        QCOMPARE(reported, (QList<int>{1, 2, 3, 4, 5}));
        QCOMPARE(fileBytes(path), earlier);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"a.txt"});
    }

    void uncreatableFileFails()
    {
        QTemporaryDir dir;
        QFile notADirectory(dir.filePath("plain"));
        QVERIFY(notADirectory.open(QIODevice::WriteOnly));
        notADirectory.close();
        const Series series(3);
        const FileWriteOutcome outcome =
            GraphExport::write(dir.filePath("plain/a.csv"), series.x, series.y, ExportRange::all(3),
                               ExportText::Comma, us);
        QCOMPARE(outcome.kind, FileWriteOutcome::Failed);
        QVERIFY(!outcome.error.isEmpty());
    }
};

AUDIMARK_TEST_MAIN_CORE(TestGraphExport)
#include "tst_graphexport.moc"
