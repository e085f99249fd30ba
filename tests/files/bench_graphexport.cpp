// Benchmark: CSV export of a full graph series of 99,999 points (the most a
// real-time graph holds), beside the plain write of the same bytes through
// QSaveFile, so the figure shows what the line texts cost. Run by hand.

#include "files/formats/ExportRange.h"
#include "files/formats/ExportText.h"
#include "files/formats/GraphExport.h"
#include "logger/DateTimeValue.h"

#include <QSaveFile>
#include <QTemporaryDir>
#include <QtTest>

#include <vector>

namespace {
constexpr int kPoints = 99999;

struct Series
{
    Series()
    {
        const double start = DateTimeValue::fromDateTime(QDate(2010, 4, 14), QTime(23, 0));
        for (int i = 0; i < kPoints; ++i) {
            x.push_back(start + i * 0.1 / 86400.0); // 0.1 s apart, across midnight
            y.push_back(float((450 + (i * 37) % 500) * 0.1));
        }
    }
    std::vector<double> x;
    std::vector<float> y;
};
} // namespace

class BenchGraphExport : public QObject
{
    Q_OBJECT

private slots:
    void exportCsv_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("separator");
        QTest::newRow("en_US csv") << QLocale(QLocale::English, QLocale::UnitedStates) << ",";
        QTest::newRow("de_DE txt") << QLocale(QLocale::German, QLocale::Germany) << "\t";
    }

    void exportCsv()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, separator);
        const Series series;
        QTemporaryDir dir;
        const QString path = dir.filePath("export.csv");
        FileWriteOutcome outcome;
        QBENCHMARK
        {
            outcome = GraphExport::write(path, series.x, series.y, ExportRange::all(kPoints),
                                         separator.at(0), locale);
        }
        QCOMPARE(outcome.lines, kPoints);
    }

    void plainWriteOfTheSameBytes()
    {
        const Series series;
        const QLocale locale(QLocale::English, QLocale::UnitedStates);
        QByteArray bytes;
        for (int i = 0; i < kPoints; ++i)
            bytes += ExportText::graphExportLine(series.x[size_t(i)], series.y[size_t(i)],
                                                 ExportText::Comma, locale)
                         .toUtf8() +
                     ExportText::LineEnd;
        QTemporaryDir dir;
        QBENCHMARK
        {
            QSaveFile file(dir.filePath("plain.csv"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
            QVERIFY(file.commit());
        }
    }
};

QTEST_GUILESS_MAIN(BenchGraphExport)
#include "bench_graphexport.moc"
