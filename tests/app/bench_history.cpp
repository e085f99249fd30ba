// History window benchmark: listing 10,000 measurements in the window (the
// archive's listing, the table's reset and its paint) and opening a
// 99,999-sample measurement into a graph window (read, fill, statistics,
// paint). The archive's own listing and read are printed beside them. Run by
// hand, under a display or QT_QPA_PLATFORM=offscreen:
//   bench_history [directory]

#include "app/TfrmHistory.h"
#include "archive/Archive.h"
#include "archive/MeasurementTableModel.h"
#include "archive/SampleChunk.h"
#include "graph/GraphWindowState.h"
#include "graph/TfrmGraph.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTableView>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

double medianMs(const std::function<void()>& run, int rounds = 7)
{
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        run();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTemporaryDir temp;
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temp.path();
    ArchiveOpenResult opened = Archive::open(dir + QStringLiteral("/history-bench.sqlite"));
    if (!opened.archive) {
        std::fprintf(stderr, "%s\n", qPrintable(opened.error));
        return 1;
    }
    Archive& archive = *opened.archive;

    QElapsedTimer fill;
    fill.start();
    Measurement m;
    m.kind = MeasurementKind::Logger;
    m.meterModel = QStringLiteral("QV58M-842");
    m.meterPort = QStringLiteral("/dev/ttyUSB0");
    m.intervalMs = 1000;
    m.weighting = QStringLiteral("A");
    m.site = QStringLiteral("Site");
    const QDateTime first(QDate(2020, 1, 1), QTime(0, 0), Qt::OffsetFromUTC, 3600);
    for (int i = 0; i < 9999; ++i) {
        m.start = first.addSecs(qint64(i) * 3600);
        m.end = m.start.addSecs(600);
        (void)archive.addMeasurement(m);
    }
    m.start = first.addSecs(qint64(9999) * 3600);
    m.end = QDateTime();
    const qint64 big = archive.addMeasurement(m).value_or(0);
    {
        std::vector<double> x;
        std::vector<float> y;
        // Local wall-clock milliseconds since 30 December 1899.
        const qint64 ms0 = m.start.toMSecsSinceEpoch() + 3600000LL + 2209161600000LL;
        for (int i = 0; i < 99999; ++i) {
            x.push_back(SampleChunk::daysFromMs(ms0 + qint64(i) * 1000));
            y.push_back(float(std::round((60.0 + 10.0 * std::sin(i * 0.01)) * 10.0) / 10.0));
        }
        (void)archive.appendSamples(big, x, y);
        (void)archive.finish(big);
    }
    const double fillSeconds = double(fill.nsecsElapsed()) / 1e9;

    QMainWindow main;
    auto* mdi = new QMdiArea(&main);
    main.setCentralWidget(mdi);
    main.resize(1280, 900);
    main.show();
    GraphWindowState graphs;
    TfrmHistory::Context context;
    context.addGraphWindow = [&](const QString& caption) {
        auto* graph = new TfrmGraph(graphs);
        graph->setWindowTitle(caption);
        mdi->addSubWindow(graph)->setAttribute(Qt::WA_DeleteOnClose);
        return graph;
    };
    auto* history = new TfrmHistory(archive, context);
    QMdiSubWindow* frame = mdi->addSubWindow(history);
    frame->resize(1000, 500);
    frame->show();
    QApplication::processEvents();

    size_t listed = 0;
    const double archiveListMs = medianMs([&] { listed = archive.listMeasurements()->size(); });
    const double windowListMs = medianMs([&] {
        history->btnRefreshClick();
        history->table()->viewport()->repaint();
    });

    size_t read = 0;
    const double archiveReadMs = medianMs([&] { read = archive.readSamples(big)->x.size(); });
    const int bigRow = history->model().rowOf(big);
    history->selectRow(bigRow);
    int points = 0;
    const double openMs = medianMs([&] {
        TfrmGraph* graph = history->btnOpenClick();
        if (graph) {
            graph->parentWidget()->repaint();
            points = int(graph->acousticFigures(false).sampleCount);
            delete graph->parentWidget();
        }
    });

    std::printf("listing %zu measurements: window %.1f ms (archive alone %.1f ms)\n", listed,
                windowListMs, archiveListMs);
    std::printf("opening %d samples into a graph window: %.1f ms (archive read alone %.1f ms, "
                "%zu samples)\n",
                points, openMs, archiveReadMs, read);
    std::printf("(archive filled in %.1f s)\n", fillSeconds);
    return 0;
}
