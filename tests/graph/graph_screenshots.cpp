// Pictures of the graph windows for the documentation, taken inside the main
// window at 1280 x 800: the DataLogger graph on a generated 2000-point set
// with both cursors, a cross and a text annotation, unzoomed and zoomed; the
// erase dialog; the empty real-time graph; sets of no and of one sample
// chosen with the arrow keys; a 15-second and a 15-minute view; the
// data-point marker with its switch in Graph Option. Run under xvfb-run:
//   graph_screenshots OUTPUT_DIR

#include "app/TfrmMain.h"
#include "data/GeneratedDataSets.h"
#include "data/GraphTexts.h"
#include "graph/PESGraph.h"
#include "graph/TfrmAnnoEdit.h"
#include "graph/TfrmDelAnno.h"
#include "graph/TfrmGraph.h"
#include "logger/DataSetListRow.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <qcustomplot.h>

#include <cstdio>
#include <utility>

namespace {
bool save(QWidget& widget, const QString& path)
{
    const bool ok = widget.grab().save(path);
    std::printf("%s %s\n", ok ? "saved" : "FAILED", qPrintable(path));
    return ok;
}

void settle()
{
    for (int i = 0; i < 10; ++i) {
        QApplication::processEvents();
        QTest::qWait(30);
    }
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("QV58M"));
    if (argc < 2) {
        std::fprintf(stderr, "usage: graph_screenshots OUTPUT_DIR\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    QTemporaryDir data;

    TfrmMain::Environment environment;
    environment.listPorts = [] { return QStringList(); };
    environment.dataDirectory = data.path();
    TfrmMain w(environment);
    w.resize(1280, 800);
    QSignalSpy started(&w, &TfrmMain::startUpFinished);
    w.show();
    if (!started.wait(20000))
        return 1;
    settle();

    GraphWindowState& state = w.graphState();
    QList<bool> ok;
    ok << save(w, out + QStringLiteral("/graph-realtime-empty.png"));

    w.openSampleGraph(2000);
    TfrmGraph* graph = state.LoggerGraph;
    QWidget* frame = graph->parentWidget();
    frame->setGeometry(0, 0, w.mdiArea()->width(), w.mdiArea()->height());
    settle();
    (void)graph->showDataSet(0);
    settle();

    // A cross and a text annotation, placed as clicks would place them.
    PESGraph* chart = graph->graph();
    const QRect plot = chart->plottingRect();
    graph->setCursorMode(GraphWindowState::CursorCross);
    graph->PESGraph1Click(plot.topLeft() + QPoint(plot.width() / 5, plot.height() / 6));
    graph->setCursorMode(GraphWindowState::CursorText);
    state.dialogs.exec = [](QDialog& dialog) {
        if (auto* edit = qobject_cast<TfrmAnnoEdit*>(&dialog))
            edit->Edit1()->setText(QStringLiteral("Noise"));
        return int(QDialog::Accepted);
    };
    graph->PESGraph1Click(plot.topLeft() + QPoint(plot.width() * 3 / 5, plot.height() / 8));
    graph->setCursorMode(GraphWindowState::CursorNormal);
    graph->PESGraph1MouseMove(plot.topLeft() + QPoint(plot.width() / 2, plot.height() / 2));
    settle();
    ok << save(w, out + QStringLiteral("/graph-unzoomed.png"));

    const QPointF from = chart->pixelToValue(plot.topLeft() + QPoint(plot.width() / 6, 0));
    const QPointF to = chart->pixelToValue(plot.topLeft() + QPoint(plot.width() * 3 / 4, 0));
    chart->zoomTo(from.x(), to.x(), 40, 120);
    settle();
    ok << save(w, out + QStringLiteral("/graph-zoomed.png"));

    state.dialogs.exec = [&ok, &out](QDialog& dialog) {
        if (auto* erase = qobject_cast<TfrmDelAnno*>(&dialog)) {
            erase->show();
            settle();
            ok << save(*erase, out + QStringLiteral("/graph-erase-dialog.png"));
        }
        return int(QDialog::Rejected);
    };
    graph->ToolButton13Click();
    chart->undoZoom();

    // Sets of 3000, 0 and 1 samples, the next one chosen with the arrow key.
    const double start = GraphTexts::fromDateTime(QDateTime(QDate(2010, 3, 10), QTime(10, 15, 42)));
    const DataSetCollection few = GeneratedDataSets::collection(
        {{start, 1, 3000, true}, {start + 1, 2, 0, true}, {start + 2, 2, 1, false}});
    state.dataSets = &few;
    QList<QStringList> rows;
    for (const DataSetListRow& row : dataSetListRows(few))
        rows << QStringList{row.number, row.date, row.time, row.interval, row.count, row.weighting};
    graph->setDataSetRows(rows);
    (void)graph->showDataSet(0);
    auto* list = graph->findChild<QTableWidget*>(QStringLiteral("Grid2"));
    list->setFocus();
    for (const char* name : {"/graph-set-no-samples.png", "/graph-set-one-sample.png"}) {
        QTest::keyClick(list, Qt::Key_Down);
        settle();
        ok << save(w, out + QLatin1String(name));
    }

    // Views of 15 seconds and 15 minutes of the 3000-point set.
    list->selectRow(0);
    for (const auto& [seconds, name] :
         {std::pair{15.0, "/graph-ticks-15s.png"}, std::pair{900.0, "/graph-ticks-15min.png"}}) {
        const double from = start + 600.48 / 86400.0;
        chart->zoomTo(from, from + seconds / 86400.0, 30, 130);
        settle();
        ok << save(w, out + QLatin1String(name));
        chart->undoZoom();
    }

    // Graph Option's switch for the data-point marker, then a press on a point.
    chart->setDialogExec([&ok, &out](QDialog& dialog) {
        auto* marker = dialog.findChild<QCheckBox*>(QStringLiteral("allowDataHotSpots"));
        if (auto* pages = dialog.findChild<QTabWidget*>())
            pages->setCurrentIndex(1);
        if (marker)
            marker->setChecked(true);
        dialog.show();
        settle();
        ok << save(dialog, out + QStringLiteral("/graph-option-style.png"));
        return int(marker ? QDialog::Accepted : QDialog::Rejected);
    });
    state.dialogs.ask = [](QWidget*, const QString&, QMessageBox::StandardButtons) {
        return QMessageBox::No;
    };
    graph->Button1Click();
    auto* customPlot = chart->findChild<QCustomPlot*>();
    const QPoint point =
        chart->valueToPixel(chart->xDataII(0, 700), chart->yData(0, 700)).toPoint();
    QTest::mouseClick(customPlot, Qt::LeftButton, {}, customPlot->mapFrom(chart, point));
    settle();
    ok << save(w, out + QStringLiteral("/graph-marker.png"));

    w.close();
    return ok.contains(false) ? 1 : 0;
}
