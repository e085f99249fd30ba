// Benchmarks of the list window on 100,000 lines, as the user meets them:
// - the import of a CSV file written by the graph export into a list
//   window, time and memory added, beside a plain line-by-line read of the
//   same file;
// - "Output Tabular to graph" of those 100,000 rows with the progress dialog
//   live, beside QLocale's own date-time reading of the same texts, and the
//   first paint of the graph;
// - a file of millions of short lines ("1,\n", 3 bytes each; 2 million
//   unless AUDIMARK_BENCH_SHORT_LINES says how many) read into a bare table,
//   as the command line's stats do, and into a list window with its first
//   paint: time and memory added, beside the file's size.
// Prints figures; asserts no timings.

#include <QApplication>

#include "common/TestMain.h"

#include "TabularRig.h"
#include "files/formats/ExportText.h"
#include "files/formats/TabularConversion.h"
#include "files/formats/TabularTable.h"
#include "files/formats/TextImport.h"
#include "graph/PESGraph.h"
#include "logger/DateTimeValue.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTableView>

#include <unistd.h>

namespace {
constexpr int kLines = 100000;
constexpr int kShortLines = 2000000;

int shortLineCount()
{
    bool ok = false;
    const int lines = qEnvironmentVariableIntValue("AUDIMARK_BENCH_SHORT_LINES", &ok);
    return ok && lines > 0 ? lines : kShortLines;
}

double residentMegabytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0.0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / 1048576.0
                             : 0.0;
}

QByteArray graphExportFile(int lines)
{
    const double start = DateTimeValue::fromDateTime(QDate(2010, 4, 14), QTime(9, 5, 7));
    QByteArray bytes;
    for (int i = 0; i < lines; ++i)
        bytes += ExportText::graphExportLine(start + i * 0.1 / 86400.0, float(40 + (i % 800) * 0.1),
                                             ExportText::Comma, QLocale())
                     .toUtf8() +
                 "\r\n";
    return bytes;
}
} // namespace

class BenchTabular : public QObject
{
    Q_OBJECT

private slots:
    void importAndGraph()
    {
        TabularRig rig;
        const QString path = rig.writeFile(QStringLiteral("100000.csv"), graphExportFile(kLines));

        QElapsedTimer plain;
        plain.start();
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        int plainLines = 0;
        while (!file.readLine().isEmpty())
            ++plainLines;
        const qint64 plainMs = plain.elapsed();
        QCOMPARE(plainLines, kLines);

        const double before = residentMegabytes();
        QElapsedTimer import;
        import.start();
        TfrmList* list = rig.commands->openTextFile(path, ExportText::Comma);
        QApplication::processEvents(); // the list's first paint
        const qint64 importMs = import.elapsed();
        const double added = residentMegabytes() - before;
        QVERIFY(list);
        QCOMPARE(list->table().dataRowCount(), kLines);
        qInfo("import of %d lines into a list window: %lld ms (plain line read of the file: %lld "
              "ms), %.1f MB added",
              kLines, importMs, plainMs, added);

        QElapsedTimer qtReading;
        qtReading.start();
        const QLocale c = QLocale::c();
        int read = 0;
        for (int row = 1; row <= kLines; ++row)
            read += c.toDateTime(list->table().cell(row, 1) + QLatin1Char(' ') +
                                     list->table().cell(row, 2),
                                 QStringLiteral("d MMM yyyy hh:mm:ss.z"))
                        .isValid();
        const qint64 qtMs = qtReading.elapsed();

        QElapsedTimer core;
        core.start();
        int points = 0;
        const QLocale locale;
        const QDate today = QDate::currentDate();
        for (int row = 1; row <= kLines; ++row)
            points += TabularConversion::point(list->table(), row, locale, today).has_value();
        const qint64 coreMs = core.elapsed();
        QCOMPARE(points, kLines);

        QElapsedTimer graphing;
        graphing.start();
        rig.commands->btnOutputToGraphClick(list);
        const qint64 graphMs = graphing.elapsed();
        QVERIFY(rig.graphs.LastGraph);
        QCOMPARE(rig.graphs.LastGraph->graph()->points(), kLines);
        QElapsedTimer paint;
        paint.start();
        rig.graphs.LastGraph->repaint();
        QApplication::processEvents();
        const qint64 paintMs = paint.elapsed();
        qInfo("output tabular to graph of %d rows with the progress dialog: %lld ms; the rows' "
              "points alone: %lld ms (QLocale's own date-time reading of the same rows: %lld ms, "
              "%d read); first paint of the graph window: %lld ms",
              kLines, graphMs, coreMs, qtMs, read, paintMs);
    }

    void shortLines()
    {
        const int lines = shortLineCount();
        TabularRig rig;
        const QString path = rig.writeFile(QStringLiteral("short.csv"),
                                           QByteArray("1,\n").repeated(lines));
        const double fileMb = double(QFileInfo(path).size()) / 1048576.0;

        double before = residentMegabytes();
        QElapsedTimer bare;
        bare.start();
        {
            TabularTable table;
            const TextImport::Outcome outcome = TextImport::read(path, ExportText::Comma, table);
            QCOMPARE(outcome.lines, lines);
            qInfo("%d short lines (%.1f MB) into a bare table: %lld ms, %.1f MB added", lines,
                  fileMb, bare.elapsed(), residentMegabytes() - before);
        }

        before = residentMegabytes();
        QElapsedTimer window;
        window.start();
        TfrmList* list = rig.commands->openTextFile(path, ExportText::Comma);
        QApplication::processEvents(); // the list's first paint
        QVERIFY(list);
        QCOMPARE(list->table().dataRowCount(), lines);
        qInfo("the same into a list window with its first paint: %lld ms, %.1f MB added",
              window.elapsed(), residentMegabytes() - before);
    }
};

AUDIMARK_TEST_MAIN_GUI(BenchTabular)
#include "bench_tabular.moc"
