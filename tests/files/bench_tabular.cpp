// Benchmarks of the list window on 100,000 lines, as the user meets them,
// each paired with the floor of the same file: a plain read of its lines
// (the file in pieces of 1 MiB, its line ends counted). A and the floor run
// in turn for several rounds (AUDIMARK_BENCH_ROUNDS, default 5); the median
// of the rounds' ratios is quoted (tests/bench/PairedRounds.h):
// - the import of a CSV file written by the graph export into a list window
//   with its first paint;
// - "Output Tabular to graph" of those 100,000 rows with the progress dialog
//   live, and the rows' points alone;
// - the same file's series as the command line's stats read it
//   (loadReportSeries: line by line, no table);
// - a file of millions of short lines ("1,\n", 3 bytes each; 2 million
//   unless AUDIMARK_BENCH_SHORT_LINES says how many) read into a bare table
//   and into a list window with its first paint; memory added, beside the
//   file's size, from the first run.
// Prints figures; asserts no timings, only what was read.

#include <QApplication>

#include "common/TestMain.h"

#include "TabularRig.h"
#include "bench/PairedRounds.h"
#include "files/formats/ExportText.h"
#include "files/formats/NoiseReport.h"
#include "files/formats/TabularConversion.h"
#include "files/formats/TabularTable.h"
#include "files/formats/TextImport.h"
#include "graph/PESGraph.h"
#include "logger/DateTimeValue.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTableView>

#include <cstring>

#include <unistd.h>

namespace {
constexpr int kLines = 100000;
constexpr int kShortLines = 2000000;
constexpr int kRounds = 5;

int rounds()
{
    bool ok = false;
    const int n = qEnvironmentVariableIntValue("AUDIMARK_BENCH_ROUNDS", &ok);
    return ok && n > 0 ? n : kRounds;
}

// The floor: the file read in pieces of 1 MiB and its lines counted, the
// least any reading of its lines does.
int plainLineRead(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    QByteArray piece(1 << 20, Qt::Uninitialized);
    int lines = 0;
    qint64 read = 0;
    while ((read = file.read(piece.data(), piece.size())) > 0) {
        const char* at = piece.constData();
        const char* end = at + read;
        while (const auto* newline =
                   static_cast<const char*>(std::memchr(at, '\n', size_t(end - at)))) {
            ++lines;
            at = newline + 1;
        }
    }
    return lines;
}

// Closes the rig's windows and lets them go, between rounds.
void closeWindows(TabularRig& rig)
{
    rig.area->closeAllSubWindows();
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

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
        int plainLines = 0;
        const auto floor = [&] { plainLines = plainLineRead(path); };

        // The import, its memory from the first run.
        const double before = residentMegabytes();
        TfrmList* list = rig.commands->openTextFile(path, ExportText::Comma);
        QApplication::processEvents();
        QVERIFY(list);
        QCOMPARE(list->table().dataRowCount(), kLines);
        const double added = residentMegabytes() - before;
        closeWindows(rig);
        int imported = 0;
        const auto import = [&] {
            TfrmList* opened = rig.commands->openTextFile(path, ExportText::Comma);
            QApplication::processEvents(); // the list's first paint
            imported = opened ? opened->table().dataRowCount() : 0;
            closeWindows(rig);
        };
        qInfo("%s; %.1f MB added",
              PairedRounds::line(
                  QStringLiteral("import of %1 lines into a list window / plain line read")
                      .arg(kLines),
                  PairedRounds::run(rounds(), import, floor))
                  .constData(),
              added);
        QCOMPARE(imported, kLines);
        QCOMPARE(plainLines, kLines);

        list = rig.commands->openTextFile(path, ExportText::Comma);
        QVERIFY(list);
        int graphed = 0;
        const auto graph = [&] {
            rig.commands->btnOutputToGraphClick(list);
            graphed = rig.graphs.LastGraph ? rig.graphs.LastGraph->graph()->points() : 0;
            if (rig.graphs.LastGraph)
                rig.graphs.LastGraph->repaint(); // its first paint
            QApplication::processEvents();
            for (TfrmGraph* window : rig.graphWindows())
                window->parentWidget()->close();
            QApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        };
        qInfo("%s", PairedRounds::line(QStringLiteral("output tabular to graph of %1 rows with the "
                                                      "progress dialog and the first paint / plain "
                                                      "line read")
                                           .arg(kLines),
                                       PairedRounds::run(rounds(), graph, floor))
                        .constData());
        QCOMPARE(graphed, kLines);

        int points = 0;
        const QLocale locale;
        const QDate today = QDate::currentDate();
        const auto rowPoints = [&] {
            points = 0;
            for (int row = 1; row <= kLines; ++row)
                points += TabularConversion::point(list->table(), row, locale, today).has_value();
        };
        qInfo("%s", PairedRounds::line(
                        QStringLiteral("the %1 rows' points alone / plain line read").arg(kLines),
                        PairedRounds::run(rounds(), rowPoints, floor))
                        .constData());
        QCOMPARE(points, kLines);

        qsizetype series = 0;
        const QDateTime now = QDateTime::currentDateTime();
        const auto statsRead = [&] {
            const ReportSeriesLoad load = loadReportSeries(path, 1, now, locale);
            series = load.series ? load.series->size() : 0;
        };
        qInfo("%s", PairedRounds::line(QStringLiteral("the file's series as the command line's "
                                                      "stats read it / plain line read"),
                                       PairedRounds::run(rounds(), statsRead, floor))
                        .constData());
        QCOMPARE(series, qsizetype(kLines));
    }

    void shortLines()
    {
        const int lines = shortLineCount();
        TabularRig rig;
        const QString path = rig.writeFile(QStringLiteral("short.csv"),
                                           QByteArray("1,\n").repeated(lines));
        const double fileMb = double(QFileInfo(path).size()) / 1048576.0;
        int plainLines = 0;
        const auto floor = [&] { plainLines = plainLineRead(path); };

        double before = residentMegabytes();
        double bareMb = 0.0;
        int bareLines = 0;
        const auto bare = [&] {
            TabularTable table;
            bareLines = TextImport::read(path, ExportText::Comma, table).lines;
            if (bareMb == 0.0)
                bareMb = residentMegabytes() - before;
        };
        const PairedRounds::Figures bareFigures = PairedRounds::run(rounds(), bare, floor);
        qInfo("%s; %.1f MB added to a file of %.1f MB",
              PairedRounds::line(
                  QStringLiteral("%1 short lines into a bare table / plain line read").arg(lines),
                  bareFigures)
                  .constData(),
              bareMb, fileMb);
        QCOMPARE(bareLines, lines);
        QCOMPARE(plainLines, lines);

        before = residentMegabytes();
        double windowMb = 0.0;
        int listed = 0;
        const auto window = [&] {
            TfrmList* list = rig.commands->openTextFile(path, ExportText::Comma);
            QApplication::processEvents(); // the list's first paint
            if (windowMb == 0.0)
                windowMb = residentMegabytes() - before;
            listed = list ? list->table().dataRowCount() : 0;
            closeWindows(rig);
        };
        qInfo("%s; %.1f MB added",
              PairedRounds::line(QStringLiteral("the same into a list window with its first "
                                                "paint / plain line read"),
                                 PairedRounds::run(rounds(), window, floor))
                  .constData(),
              windowMb);
        QCOMPARE(listed, lines);
    }
};

AUDIMARK_TEST_MAIN_GUI(BenchTabular)
#include "bench_tabular.moc"
