// Pictures of the list window for a person to look at, taken on the screen
// of a real window system (run under xvfb-run with a window manager):
//   tabular_screenshots OUTPUT_DIR
// The list window of a graph export CSV, the "Open Progress" and "Graphing
// Progress" dialogs half-way, the graph made from the table, the chart's
// customisation dialog of graph printing, and the printouts (PDF files in
// OUTPUT_DIR, to be turned into pictures with pdftoppm).

#include "TabularRig.h"
#include "files/formats/ExportText.h"
#include "graph/PESGraph.h"
#include "logger/DateTimeValue.h"

#include <QApplication>
#include <QPrintDialog>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>

#include <cmath>
#include <cstdio>

namespace {
QString out;

void settle()
{
    for (int i = 0; i < 10; ++i) {
        QApplication::processEvents();
        QTest::qWait(30);
    }
}

void shoot(const QString& name)
{
    const QString path = out + QLatin1Char('/') + name;
    const bool ok = QGuiApplication::primaryScreen()->grabWindow(0).save(path);
    std::printf("%s %s\n", ok ? "saved" : "FAILED", qPrintable(path));
}

// A day's levels, one point a second: a slow swell with some noise.
QByteArray levels(int lines)
{
    const double start = DateTimeValue::fromDateTime(QDate(2010, 4, 14), QTime(9, 5, 7));
    QByteArray bytes;
    for (int i = 0; i < lines; ++i) {
        const float level = float(62.0 + 12.0 * std::sin(i / 60.0) + 4.0 * std::sin(i * 1.7) +
                                  (i % 97 == 0 ? 25 : 0));
        bytes +=
            ExportText::graphExportLine(start + i / 86400.0, level, ExportText::Comma, QLocale())
                .toUtf8() +
            "\r\n";
    }
    return bytes;
}
} // namespace

int main(int argc, char** argv)
{
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("QV58M"));
    if (argc < 2) {
        std::fprintf(stderr, "usage: tabular_screenshots OUTPUT_DIR\n");
        return 2;
    }
    out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);

    TabularRig rig;
    rig.window.setWindowTitle(QStringLiteral("QV58M"));
    rig.window.setGeometry(0, 0, 1280, 960);
    settle();

    // The list window.
    TfrmList* list = rig.open(levels(600), QStringLiteral("levels.csv"));
    settle();
    shoot(QStringLiteral("list-window.png"));

    // Progress dialogs half-way through long runs.
    const QString big = rig.writeFile(QStringLiteral("long.csv"), levels(400000));
    QTimer::singleShot(60, [] { shoot(QStringLiteral("open-progress.png")); });
    TfrmList* bigList = rig.commands->openTextFile(big, ExportText::Comma);
    settle();
    QTimer::singleShot(150, [] { shoot(QStringLiteral("graphing-progress.png")); });
    rig.commands->btnOutputToGraphClick(bigList);
    settle();
    for (QMdiSubWindow* frame : rig.area->subWindowList())
        if (frame->widget() != list)
            frame->close();
    settle();

    // The graph made from the table.
    rig.commands->btnOutputToGraphClick(list);
    TfrmGraph* graph = rig.graphs.LastGraph;
    settle();
    shoot(QStringLiteral("graph-from-table.png"));

    // Printing: the dialogs as they show, then the PDF printouts.
    rig.onExec = [](QDialog& dialog) {
        dialog.show();
        settle();
        const bool print = qobject_cast<QPrintDialog*>(&dialog) != nullptr;
        shoot(print ? QStringLiteral("print-dialog.png")
                    : QStringLiteral("graph-print-customize.png"));
        dialog.hide();
        return int(QDialog::Accepted);
    };
    rig.printer.setOutputFileName(out + QStringLiteral("/graph-printout.pdf"));
    rig.commands->btnPrintClick(graph);
    rig.onExec = {};
    rig.printer.setOutputFileName(out + QStringLiteral("/list-printout.pdf"));
    rig.commands->btnPrintClick(list);
    std::printf("printed %s and %s\n", qPrintable(out + "/graph-printout.pdf"),
                qPrintable(out + "/list-printout.pdf"));
    return 0;
}
