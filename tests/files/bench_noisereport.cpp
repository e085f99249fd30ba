// Benchmark: the one-page PDF noise report of a 49,152-sample data set
// (the chart, the statistics, the acoustic figures of the whole set and of a
// cursor span, the page), beside a plain baseline: the same series in a
// plain QCustomPlot drawn onto a PDF page through QSaveFile, with no
// statistics and no text. Target: under 1 s. Prints figures, times nothing.

#include <QApplication>

#include "common/BenchPairs.h"
#include "common/TestMain.h"
#include "data/GeneratedDataSets.h"
#include "data/GraphTexts.h"
#include "files/windows/NoiseReportPrinter.h"
#include "graph/PlainChart.h"

#include <QPdfWriter>
#include <QSaveFile>
#include <QTemporaryDir>

namespace {
constexpr qint32 kSamples = 49152;

bool plainPdf(const QString& path, PlainChart& chart)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    {
        QPdfWriter writer(&file);
        writer.setResolution(96);
        QCPPainter painter(&writer);
        chart.plot().toPainter(&painter, 680, 420);
    }
    return file.commit();
}
} // namespace

class BenchNoiseReport : public QObject
{
    Q_OBJECT

private slots:
    void reportOf49152Samples()
    {
        const double start = GraphTexts::fromDateTime(QDateTime(QDate(2010, 4, 14), QTime(8, 0)));
        const DataSetCollection sets =
            GeneratedDataSets::collection({{start, 1, kSamples, true}});
        const std::optional<ReportSeries> series = ReportSeries::fromDataSet(sets, 0);
        QVERIFY(series);
        QCOMPARE(series->size(), kSamples);
        const ReportSpan span{kSamples / 3, kSamples * 2 / 3};
        QTemporaryDir dir;

        const auto ours = [&] {
            NoiseReport report = NoiseReport::of(*series, span, 85.0);
            report.version = QStringLiteral("bench");
            report.created = QDateTime::currentDateTime();
            NoiseReportChart chart;
            chart.times = series->times;
            chart.levels = series->levels;
            chart.intervalSeconds = series->intervalSeconds;
            chart.cursors = span;
            QVERIFY(NoiseReportPrinter::writePdf(dir.filePath("report.pdf"), report, chart)
                        .written());
        };
        PlainChart plain;
        plain.plot().resize(680, 420);
        const auto baseline = [&] {
            plain.setSeries(series->times, series->levels);
            QVERIFY(plainPdf(dir.filePath("plain.pdf"), plain));
        };
        const BenchPairs::Figures figures = BenchPairs::timeInTurn(ours, baseline);
        BenchPairs::report("noise report PDF of 49,152 samples", "plain QCustomPlot PDF page",
                           figures);
        qInfo("report PDF: %lld bytes; plain PDF: %lld bytes",
              QFileInfo(dir.filePath("report.pdf")).size(),
              QFileInfo(dir.filePath("plain.pdf")).size());
    }
};

AUDIMARK_TEST_MAIN_GUI(BenchNoiseReport)
#include "bench_noisereport.moc"
