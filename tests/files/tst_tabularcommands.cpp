// The list window's commands end to end in an MDI test window: opening a
// text or CSV file as a list, saving the list through the dialogs, "Output
// Tabular to graph", printing a list and a graph to PDF, Printer Setup, and
// the "Output Tabular to graph" button following the active window.

#include <QApplication>

#include "common/TestMain.h"

#include "TabularRig.h"
#include "data/GraphTexts.h"
#include "files/dialogs/DialogFolders.h"
#include "files/formats/ExportText.h"
#include "files/formats/TabularTable.h"
#include "files/windows/GridPrinter.h"
#include "graph/PESGraph.h"
#include "graph/PESGraphCustomizeDialog.h"
#include "logger/DateTimeValue.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QSettings>
#include <QImage>
#include <QLineEdit>
#include <QDialogButtonBox>
#include <QPrintDialog>
#include <QPushButton>
#include <QProcess>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTableView>

#include <cmath>

namespace {
QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

qint64 msOf(double dateTime)
{
    return std::llround(dateTime * 86400000.0);
}

double at(int second, int ms = 0)
{
    return DateTimeValue::fromDateTime(QDate(2010, 4, 14), QTime(9, 5, second, ms));
}

// A file as the graph export writes it: one line per point.
QByteArray exportLines(const QList<double>& xs, const QList<float>& ys, QChar separator)
{
    QByteArray bytes;
    for (int i = 0; i < xs.size(); ++i)
        bytes += ExportText::graphExportLine(xs[i], ys[i], separator, QLocale()).toUtf8() + "\r\n";
    return bytes;
}

// Pages of a PDF, from its page objects.
int pdfPageCount(const QByteArray& pdf)
{
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page(?![a-zA-Z])"));
    return int(QString::fromLatin1(pdf).count(page));
}

// The share of dark pixels on each page, rendered by pdftoppm; empty when
// pdftoppm is not installed.
QList<double> inkPerPage(const QString& pdf)
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    if (tool.isEmpty())
        return {};
    const QString prefix = pdf + QStringLiteral("-page");
    if (QProcess::execute(tool, {"-r", "40", "-png", pdf, prefix}) != 0)
        return {};
    QList<double> ink;
    QDir dir = QFileInfo(pdf).dir();
    const QStringList pages =
        dir.entryList({QFileInfo(prefix).fileName() + "*.png"}, QDir::Files, QDir::Name);
    for (const QString& name : pages) {
        const QImage image(dir.filePath(name));
        qint64 dark = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                dark += qGray(image.pixel(x, y)) < 160;
        ink << double(dark) / double(image.width() * image.height());
    }
    return ink;
}

// The shared progress dialog lets events run at most every 20 ms, counted
// across dialogs; a short command after another one would otherwise run
// none and the test would not see its dialog.
void letProgressRunEvents()
{
    QTest::qWait(25);
}

void chooseRange(QDialog& dialog, const QString& from, const QString& to)
{
    auto* scope = qobject_cast<TfrmScope*>(&dialog);
    QVERIFY(scope);
    scope->radNo()->setChecked(true);
    scope->edtSelFrom()->setText(from);
    scope->edtSelTo()->setText(to);
}
} // namespace

class TestTabularCommands : public QObject
{
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale::c()); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    // ---- Open -------------------------------------------------------------------

    void openShowsTheListWindow()
    {
        TabularRig rig;
        rig.watchProgress();
        TfrmList* list = rig.open("14 Apr 2010,09:05:07.0,65.3\r\n14 Apr 2010,09:05:08.0,66.3\r\n"
                                  "14 Apr 2010,09:05:09.0,67.3\r\n");
        QVERIFY(list);
        QCOMPARE(list->windowTitle(), rig.dir.filePath("list.csv"));
        QCOMPARE(rig.area->activeSubWindow()->widget(), list);
        QVERIFY(list->isVisible());
        QVERIFY(rig.outputToGraphEnabled);

        QCOMPARE(rig.progressSeen.size(), 1);
        QCOMPARE(rig.progressSeen[0].caption, QStringLiteral("Open Progress"));
        QVERIFY(rig.progressSeen[0].textVisible && rig.progressSeen[0].cancelVisible);
        QCOMPARE(rig.progressSeen[0].text, QStringLiteral("1")); // the line count
        for (QWidget* top : QApplication::topLevelWidgets())
            QVERIFY(!qobject_cast<TfrmScope*>(top) || !top->isVisible());

        QTableView* grid = list->grid();
        QCOMPARE(grid->objectName(), QStringLiteral("Grid1"));
        QCOMPARE(grid->model()->rowCount(), 3);
        QCOMPARE(grid->model()->columnCount(), 7);
        QCOMPARE(grid->model()->index(1, 0).data().toString(), QStringLiteral("2"));
        QCOMPARE(grid->model()->index(2, 3).data().toString(), QStringLiteral("67.3"));
        QCOMPARE(grid->model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Time"));
        QVERIFY(grid->verticalHeader()->isHidden());
        QCOMPARE(grid->rowHeight(0), 18);
        QCOMPARE(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
        QCOMPARE(grid->selectionMode(), QAbstractItemView::ContiguousSelection);
        QCOMPARE(grid->horizontalHeader()->sectionResizeMode(1), QHeaderView::Interactive);
        QVERIFY(grid->showGrid());
        QCOMPARE(list->font().pointSize(), 8);
        // Dates and times show whole.
        QVERIFY(grid->columnWidth(1) > grid->fontMetrics().horizontalAdvance("14 Apr 2010"));
        QVERIFY(grid->columnWidth(2) > grid->fontMetrics().horizontalAdvance("09:05:07.0"));
        QCOMPARE(list->parentWidget()->size(), QSize(405, 460));

        // Closing frees the window.
        QPointer<TfrmList> gone(list);
        QVERIFY(list->parentWidget()->close());
        QTRY_VERIFY(gone.isNull());
    }

    void openFailures_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("windows");
        QTest::newRow("missing file: no window, no message") << false << QByteArray() << 0;
        QTest::newRow("first line without separator: an empty list")
            << true << QByteArray("Date Time Value\r\n14 Apr 2010,09:05:07.0,65.3\r\n") << 1;
    }

    void openFailures()
    {
        QFETCH(bool, exists);
        QFETCH(QByteArray, bytes);
        QFETCH(int, windows);
        TabularRig rig;
        const QString path = exists ? rig.writeFile("in.csv", bytes) : rig.dir.filePath("none.csv");
        TfrmList* list = rig.commands->openTextFile(path, ',');
        QCOMPARE(rig.listWindows().size(), windows);
        QVERIFY(rig.informed.isEmpty() && rig.errors.isEmpty());
        if (!list)
            return;
        QCOMPARE(list->table().gridRowCount(), 2);
        QCOMPARE(list->table().cell(1, 0), QString());
        QCOMPARE(list->table().cell(1, 1), QString());
    }

    void cancelledOpenKeepsTheLinesRead()
    {
        TabularRig rig;
        rig.watchProgress(true); // Cancel at the first event pass, after line 1
        QByteArray bytes;
        for (int i = 0; i < 1000; ++i)
            bytes += "a,b\r\n";
        TfrmList* list = rig.open(bytes);
        QVERIFY(list);
        QCOMPARE(list->table().dataRowCount(), 1);
    }

    // ---- Save -------------------------------------------------------------------

    void saveDialogTypes_data()
    {
        QTest::addColumn<QString>("localeName");
        QTest::addColumn<QStringList>("filters");
        QTest::newRow("C: text and CSV")
            << "C"
            << QStringList{"TXT file(*.txt,data seperated by tab) (*.txt *.TXT)",
                           "EXCEL file format(*.csv,seperated by comma)  (*.csv *.CSV)"};
        QTest::newRow("de_DE: only text, leading blank kept")
            << "de_DE" << QStringList{" TXT file(*.txt,data seperated by tab) (*.txt *.TXT)"};
    }

    void saveDialogTypes()
    {
        QFETCH(QString, localeName);
        QFETCH(QStringList, filters);
        QLocale::setDefault(QLocale(localeName));
        QSettings().remove(DialogFolders::key(DialogFolders::Kind::Exports));
        TabularRig rig;
        TfrmList* list = rig.open("a\tb\r\n", "in.txt");
        rig.saveName.clear(); // cancel
        rig.commands->saveList(*list);
        QCOMPARE(rig.saveRequests.size(), 1);
        QCOMPARE(rig.saveRequests[0].filters, filters);
        QCOMPARE(rig.saveRequests[0].defaultSuffix, QStringLiteral("TXT"));
        // No export chosen yet: the documents folder, not the data directory.
        QCOMPARE(rig.saveRequests[0].directory, DialogFolders::fallback());
        QVERIFY(rig.dialogTitles.isEmpty()); // a cancelled save asks for no range
    }

    void saveList_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("from"); // empty: All
        QTest::addColumn<QString>("to");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        const QByteArray all = "14 Apr 2010\t09:05:07.0\t65.3\t\t\t\t\r\n"
                               "14 Apr 2010\t09:05:08.0\t66.3\t\t\t\t\r\n"
                               "14 Apr 2010\t09:05:09.0\t67.3\t\t\t\t\r\n";
        QTest::newRow("a.dat, all: TAB-separated") << "a.dat"
                                                   << ""
                                                   << "" << all << "";
        QTest::newRow("from 3 to 2: rows 2 and 3")
            << "b.csv"
            << "3"
            << "2"
            << QByteArray("14 Apr 2010,09:05:08.0,66.3,,,,\r\n14 Apr 2010,09:05:09.0,67.3,,,,\r\n")
            << "";
        QTest::newRow("from -1 to 99: all rows") << "c.txt"
                                                 << "-1"
                                                 << "99" << all << "";
        QTest::newRow("x: invalid integer, no file") << "d.txt"
                                                     << "x"
                                                     << "2" << QByteArray() << "invalid integer";
    }

    void saveList()
    {
        QFETCH(QString, name);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        TabularRig rig;
        TfrmList* list = rig.open("14 Apr 2010,09:05:07.0,65.3\r\n14 Apr 2010,09:05:08.0,66.3\r\n"
                                  "14 Apr 2010,09:05:09.0,67.3\r\n");
        rig.saveName = rig.dir.filePath(name);
        QString offeredTo;
        rig.onExec = [&](QDialog& dialog) {
            if (auto* scope = qobject_cast<TfrmScope*>(&dialog)) {
                offeredTo = scope->edtSelTo()->text();
                if (!from.isEmpty())
                    chooseRange(dialog, from, to);
            }
            return int(QDialog::Accepted);
        };
        letProgressRunEvents();
        rig.watchProgress();
        rig.commands->saveList(*list);
        QCOMPARE(rig.dialogTitles, QStringList{"Save File"});
        QCOMPARE(offeredTo, QStringLiteral("3"));
        if (message.isEmpty()) {
            QVERIFY(rig.informed.isEmpty());
            QCOMPARE(fileBytes(rig.saveName), bytes);
            QCOMPARE(rig.progressSeen.size(), 1);
            QCOMPARE(rig.progressSeen[0].caption, QStringLiteral("Saving Progress"));
            QCOMPARE(rig.progressSeen[0].text, QStringLiteral("saving....."));
        } else {
            QCOMPARE(rig.informed, QStringList{message});
            QVERIFY(!QFile::exists(rig.saveName));
        }
        QVERIFY(rig.errors.isEmpty());
    }

    void cancelledOrFailedSave()
    {
        TabularRig rig;
        QByteArray lines;
        for (int i = 0; i < 200000; ++i)
            lines += "a,b\r\n";
        TfrmList* list = rig.open(lines);
        rig.saveName = rig.writeFile("kept.txt", "earlier\r\n");
        rig.watchProgress(true);
        rig.commands->saveList(*list);
        QCOMPARE(rig.progressSeen.size(), 1);
        QCOMPARE(fileBytes(rig.saveName), QByteArray("earlier\r\n"));
        QVERIFY(rig.errors.isEmpty());

        rig.saveName = rig.dir.filePath("no/such/folder/x.txt");
        rig.commands->saveList(*list);
        QCOMPARE(rig.errors.size(), 1);
        QVERIFY(rig.errors[0].contains(QStringLiteral("x.txt")));
    }

    // ---- Output Tabular to graph ---------------------------------------------------

    void noDataToGraph()
    {
        TabularRig rig;
        TfrmList* list = rig.open(",09:05:07.0,65.3\r\n");
        rig.commands->btnOutputToGraphClick(list);
        QCOMPARE(rig.informed, QStringList{"No data to graph !"});
        QVERIFY(rig.graphWindows().isEmpty());
        QVERIFY(rig.graphs.LastGraph.isNull());

        // Only a list window converts.
        rig.commands->btnOutputToGraphClick(nullptr);
        rig.commands->btnOutputToGraphClick(&rig.window);
        QCOMPARE(rig.informed.size(), 1);
        QVERIFY(rig.graphWindows().isEmpty());
    }

    void badFirstDateLeavesTheEmptyWindow()
    {
        TabularRig rig;
        TfrmList* list = rig.open("Sunday,noon,65.3\r\n14 Apr 2010,09:05:08.0,66.3\r\n");
        rig.commands->btnOutputToGraphClick(list->parentWidget()); // the frame works as well
        QCOMPARE(rig.errors, QStringList{"'Sunday noon' is not a valid date and time"});
        QCOMPARE(rig.graphWindows().size(), 1);
        TfrmGraph* graph = rig.graphWindows().first();
        QCOMPARE(rig.graphs.LastGraph.data(), graph);
        QCOMPARE(graph->windowTitle(), list->windowTitle());
        QCOMPARE(graph->graph()->points(), 0);
        QVERIFY(graph->isVisible());
    }

    void graphExportReadsBack_data()
    {
        QTest::addColumn<QString>("localeName");
        QTest::addColumn<QString>("name");
        QTest::newRow("C, CSV") << "C"
                                << "points.csv";
        QTest::newRow("de_DE, TXT") << "de_DE"
                                    << "points.txt";
        QTest::newRow("en_US, CSV") << "en_US"
                                    << "points.csv";
    }

    void graphExportReadsBack()
    {
        QFETCH(QString, localeName);
        QFETCH(QString, name);
        QLocale::setDefault(QLocale(localeName));
        TabularRig rig;
        const QList<double> xs = {at(7), at(7, 5), at(8, 500), at(9, 999), at(11)};
        const QList<float> ys = {65.3f, 80.0f, 30.0f, 129.9f, 60.0f};
        const QChar separator = name.endsWith(".csv") ? QChar(',') : QChar('\t');
        TfrmList* list = rig.open(exportLines(xs, ys, separator), name);
        letProgressRunEvents();
        rig.watchProgress();
        rig.commands->btnOutputToGraphClick(list);
        QVERIFY(rig.informed.isEmpty() && rig.errors.isEmpty());
        QCOMPARE(rig.progressSeen.size(), 1);
        QCOMPARE(rig.progressSeen[0].caption, QStringLiteral("Graphing Progress"));
        QCOMPARE(rig.progressSeen[0].text, QStringLiteral("graphing....."));

        TfrmGraph* graph = rig.graphs.LastGraph;
        QVERIFY(graph);
        QCOMPARE(graph->windowTitle(), list->windowTitle());
        QCOMPARE(rig.area->activeSubWindow()->widget(), graph);
        QVERIFY(!rig.outputToGraphEnabled);
        // Shown at a size that leaves the chart room, inside the work area.
        QVERIFY(rig.area->rect().contains(graph->parentWidget()->geometry()));
        QVERIFY(graph->parentWidget()->width() > rig.area->width() * 8 / 10);
        PESGraph* chart = graph->graph();
        QCOMPARE(chart->points(), 5);
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(msOf(chart->xDataII(0, i)), msOf(xs[i]));
            QCOMPARE(chart->yData(0, i), ys[i]);
        }
        QCOMPARE(msOf(chart->manualMinX()), msOf(xs.first()));
        QCOMPARE(msOf(chart->manualMaxX()), msOf(xs.last()));
        QCOMPARE(chart->manualMinY(), 30.0);
        QCOMPARE(chart->manualMaxY(), 130.0);
        const GraphStatisticTexts shown = graph->statisticFields().graph;
        QCOMPARE(shown.dataNo, QStringLiteral("5"));
        QCOMPARE(shown.startTime, GraphTexts::dateTimeText(xs.first()));
        QCOMPARE(shown.max, GraphTexts::levelText(129.9));
        QCOMPARE(shown.maxTime, GraphTexts::dateTimeText(xs[3]));

        // Activating the list again enables the button again.
        rig.area->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(list->parentWidget()));
        QVERIFY(rig.outputToGraphEnabled);
    }

    void rowThatDoesNotConvertIsSkipped_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("informed");
        QTest::newRow("a bad time: skipped without a word")
            << QByteArray("14 Apr 2010,09:05:07.0,65.3\r\n14 Apr 2010,lunch,99.9\r\n"
                          "14 Apr 2010,09:05:10.0,67.3\r\n")
            << QStringList{};
        QTest::newRow("OVER: no 0 dB sample, said once")
            << QByteArray("14 Apr 2010,09:05:07.0,65.3\r\n14 Apr 2010,09:05:09.0,OVER\r\n"
                          "14 Apr 2010,09:05:10.0,67.3\r\n")
            << QStringList{"1 row without a level skipped"};
        QTest::newRow("both, and an empty level")
            << QByteArray("14 Apr 2010,09:05:07.0,65.3\r\n14 Apr 2010,lunch,99.9\r\n"
                          "14 Apr 2010,09:05:09.0,level\r\n14 Apr 2010,09:05:09.5,\r\n"
                          "14 Apr 2010,09:05:10.0,67.3\r\n")
            << QStringList{"2 rows without a level skipped"};
    }

    void rowThatDoesNotConvertIsSkipped()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, informed);
        TabularRig rig;
        TfrmList* list = rig.open(bytes);
        rig.commands->btnOutputToGraphClick(list);
        QCOMPARE(rig.informed, informed);
        QVERIFY(rig.errors.isEmpty());
        // The points that convert follow one another: no hole at 0 dB.
        PESGraph* chart = rig.graphs.LastGraph->graph();
        QCOMPARE(chart->points(), 2);
        QCOMPARE(msOf(chart->xDataII(0, 0)), msOf(at(7)));
        QCOMPARE(chart->yData(0, 0), 65.3f);
        QCOMPARE(msOf(chart->xDataII(0, 1)), msOf(at(10)));
        QCOMPARE(chart->yData(0, 1), 67.3f);
        const GraphStatisticTexts shown = rig.graphs.LastGraph->statisticFields().graph;
        QCOMPARE(shown.dataNo, QStringLiteral("2"));
        QCOMPARE(shown.min, GraphTexts::levelText(65.3));
    }

    void cancelEndsTheConversion()
    {
        TabularRig rig;
        QByteArray bytes;
        for (int i = 0; i < 1000; ++i)
            bytes += "14 Apr 2010,09:05:07.0,65.3\r\n";
        TfrmList* list = rig.open(bytes);
        letProgressRunEvents();
        rig.watchProgress(true); // Cancel at the first event pass, on row 1
        rig.commands->btnOutputToGraphClick(list);
        TfrmGraph* graph = rig.graphs.LastGraph;
        QVERIFY(graph && graph->isVisible());
        QCOMPARE(graph->graph()->points(), 1000);
        QCOMPARE(graph->graph()->xDataII(0, 0), 0.0);
        QCOMPARE(graph->graph()->xDataII(0, 999), 0.0);
        QCOMPARE(graph->statisticFields().graph.dataNo, QStringLiteral("1000"));
    }

    // ---- Printing ---------------------------------------------------------------------

    void listPrintout()
    {
        TabularRig rig;
        const GridPrinter::PageLayout layout = GridPrinter::pageLayout(rig.printer);
        QVERIFY(layout.linesPerPage > 10);
        // Grid rows = 2 L + 10: pages of L, L and 10 lines.
        QByteArray bytes;
        const int dataRows = 2 * layout.linesPerPage + 10 - 1;
        for (int i = 0; i < dataRows; ++i)
            bytes += "14 Apr 2010,09:05:07.0,65.3\r\n";
        TfrmList* list = rig.open(bytes);

        rig.onExec = [](QDialog&) { return int(QDialog::Rejected); };
        rig.commands->btnPrintClick(list);
        QCOMPARE(rig.dialogTitles.size(), 1);
        QVERIFY(!QFile::exists(rig.pdfPath())); // cancelled: nothing printed

        rig.onExec = [](QDialog& dialog) {
            return qobject_cast<QPrintDialog*>(&dialog) ? int(QDialog::Accepted)
                                                        : int(QDialog::Rejected);
        };
        rig.commands->btnPrintClick(list);
        QVERIFY(rig.errors.isEmpty());
        QCOMPARE(pdfPageCount(fileBytes(rig.pdfPath())), 3);
        const QList<double> ink = inkPerPage(rig.pdfPath());
        if (ink.isEmpty())
            QSKIP("pdftoppm is not installed: pages not looked at");
        QCOMPARE(ink.size(), 3);
        QVERIFY(ink[0] > 0.002 && ink[1] > 0.002);
        QVERIFY(ink[2] > 0.0002 && ink[2] < ink[0] / 3); // 10 lines
    }

    void emptyListPrintsOnePage()
    {
        TabularRig rig;
        TfrmList* list = rig.open("no separator here\r\n");
        rig.commands->btnPrintClick(list);
        QCOMPARE(pdfPageCount(fileBytes(rig.pdfPath())), 1);
    }

    void graphPrinting()
    {
        TabularRig rig;
        TfrmList* list = rig.open(exportLines({at(7), at(8), at(9)}, {65.3f, 70.0f, 60.0f}, ','));
        rig.commands->btnOutputToGraphClick(list);
        TfrmGraph* graph = rig.graphs.LastGraph;
        QStringList customizePages;
        QStringList order;
        rig.onExec = [&](QDialog& dialog) {
            if (auto* customize = qobject_cast<PESGraphCustomizeDialog*>(&dialog)) {
                customizePages = customize->pageTitles();
                order << "customize";
            } else if (qobject_cast<QPrintDialog*>(&dialog)) {
                order << "print";
            }
            return int(QDialog::Accepted);
        };
        rig.commands->btnPrintClick(graph);
        QCOMPARE(order, (QStringList{"customize", "print"}));
        const PESGraphCustomizeDialog colorsOnly(PESGraphLook::programDefault(), {}, 1,
                                                 {PESCustomizePage::Colors});
        QCOMPARE(customizePages, colorsOnly.pageTitles());
        for (const PESCustomizePage page : {PESCustomizePage::Fonts, PESCustomizePage::General,
                                            PESCustomizePage::Style, PESCustomizePage::Subsets})
            QVERIFY(graph->graph()->customizePageEnabled(page));
        QCOMPARE(pdfPageCount(fileBytes(rig.pdfPath())), 1);
        const QList<double> ink = inkPerPage(rig.pdfPath());
        if (ink.isEmpty())
            QSKIP("pdftoppm is not installed: page not looked at");
        QCOMPARE(ink.size(), 1);
        QVERIFY(ink[0] > 0.05); // the chart's black plot area
    }

    void printWithoutListOrGraphDoesNothing()
    {
        TabularRig rig;
        rig.commands->btnPrintClick(nullptr);
        rig.commands->btnPrintClick(&rig.window);
        QVERIFY(rig.dialogTitles.isEmpty());
        QVERIFY(!QFile::exists(rig.pdfPath()));
    }

    void printerSetup()
    {
        TabularRig rig;
        QString printerName;
        QStringList confirmTexts;
        rig.onExec = [&](QDialog& dialog) {
            auto* print = qobject_cast<QPrintDialog*>(&dialog);
            printerName = print ? print->printer()->outputFileName() : QString();
            // As shown: the dialog may set its texts when it appears.
            dialog.show();
            QCoreApplication::processEvents();
            for (auto* buttons : dialog.findChildren<QDialogButtonBox*>())
                if (QPushButton* confirm = buttons->button(QDialogButtonBox::Ok))
                    confirmTexts << confirm->text();
            dialog.hide();
            return int(QDialog::Rejected);
        };
        rig.commands->PrinterSetup1Click();
        QCOMPARE(rig.dialogTitles, QStringList{"Printer Setup"});
        // Choosing a printer prints nothing: the button does not say "Print".
        QCOMPARE(confirmTexts, QStringList{TabularCommands::PrinterSetupConfirmText});
        QCOMPARE(printerName, rig.pdfPath()); // the dialog works on the shared printer
        QCOMPARE(rig.printer.outputFileName(), rig.pdfPath());
    }
};

AUDIMARK_TEST_MAIN_GUI(TestTabularCommands)
#include "tst_tabularcommands.moc"
