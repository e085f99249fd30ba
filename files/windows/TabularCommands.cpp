#include "files/windows/TabularCommands.h"

#include "files/dialogs/ExportDialogs.h"
#include "files/dialogs/TfrmScope.h"
#include "files/formats/ExportText.h"
#include "files/formats/GridExport.h"
#include "files/formats/TabularConversion.h"
#include "files/formats/TabularTable.h"
#include "files/formats/TextImport.h"
#include "files/windows/GridPrinter.h"
#include "files/windows/TfrmList.h"
#include "graph/GraphWindowState.h"
#include "graph/PESGraph.h"
#include "graph/TfrmGraph.h"
#include "logger/RegularFile.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

#include <algorithm>
#include <array>
#include <optional>

namespace {
const QString kOpenProgressCaption = QStringLiteral("Open Progress");
const QString kGraphingProgressCaption = QStringLiteral("Graphing Progress");
const QString kGraphingText = QStringLiteral("graphing.....");
const QString kPrinterSetupCaption = QStringLiteral("Printer Setup");
const QString kTxtType = QStringLiteral("TXT file(*.txt,data seperated by tab)");
const QString kCsvType = QStringLiteral("EXCEL file format(*.csv,seperated by comma) ");
const QString kTxtPattern = QStringLiteral("*.TXT");
const QString kCsvPattern = QStringLiteral("*.CSV");
const QString kListSuffix = QStringLiteral("TXT");
constexpr int kEventIntervalMs = 20;
constexpr int kOpenProgressWidth = 320;
// The progress bar is moved every this many rows (and at the first and the
// last): moving it measures its text, which would cost more than the row.
constexpr int kRowsPerProgressStep = 100;

bool progressStepAt(int row, int last)
{
    return row == 1 || row % kRowsPerProgressStep == 0 || row == last;
}

// The customisation pages that graph printing hides.
constexpr std::array kPagesHiddenForPrinting = {PESCustomizePage::Fonts, PESCustomizePage::General,
                                                PESCustomizePage::Style, PESCustomizePage::Subsets};

// The window an MDI frame holds, or the widget itself.
QWidget* contentOf(QWidget* active)
{
    if (auto* frame = qobject_cast<QMdiSubWindow*>(active))
        return frame->widget();
    return active;
}

// The list's save types: a comma decimal separator withdraws CSV (and the
// program's text keeps its leading blank then).
QStringList listSaveFilters(const QLocale& locale)
{
    if (!ExportText::csvOffered(locale))
        return {FileDialogRunner::filter(QLatin1Char(' ') + kTxtType, kTxtPattern)};
    return {FileDialogRunner::filter(kTxtType, kTxtPattern),
            FileDialogRunner::filter(kCsvType, kCsvPattern)};
}

// The import's progress: the line count in SText1 and Cancel. Events run a
// few times per tenth of a second, so Cancel and repaints stay live without
// slowing a long file down.
class OpenProgress
{
public:
    explicit OpenProgress(QWidget* parent) : dialog_(new TfrmScope(parent))
    {
        dialog_->setWindowTitle(kOpenProgressCaption);
        dialog_->SText1()->setText(QStringLiteral("0"));
        // As wide as the other progress dialogs, so that the caption shows whole.
        dialog_->SText1()->setMinimumWidth(kOpenProgressWidth);
        dialog_->SText1()->show();
        dialog_->BitBtn2()->show();
        dialog_->setModalResult(TfrmScope::None);
        dialog_->show();
        dialog_->repaintNow();
    }
    ~OpenProgress()
    {
        if (dialog_) {
            dialog_->close();
            delete dialog_;
        }
    }
    OpenProgress(const OpenProgress&) = delete;
    OpenProgress& operator=(const OpenProgress&) = delete;

    // Line n was counted; false once the user has cancelled.
    bool lineCounted(int n)
    {
        if (!dialog_ || dialog_->cancelled())
            return false;
        if (!sinceEvents_.isValid() || sinceEvents_.elapsed() >= kEventIntervalMs) {
            dialog_->SText1()->setText(QString::number(n));
            QCoreApplication::processEvents();
            sinceEvents_.restart();
        }
        return true;
    }

private:
    QPointer<TfrmScope> dialog_;
    QElapsedTimer sinceEvents_;
};
} // namespace

TabularCommands::TabularCommands(Context context, QObject* parent)
    : QObject(parent), context_(std::move(context))
{
}

TabularCommands::~TabularCommands() = default;

TfrmList* TabularCommands::openTextFile(const QString& path, QChar separator)
{
    // A file that cannot be read opens nothing and says nothing; nor does a
    // FIFO or a device, which would hold the open for ever.
    if (QFile probe; !RegularFile::openForReading(probe, path))
        return nullptr;

    auto* list = new TfrmList;
    list->setWindowTitle(QFileInfo(path).absoluteFilePath());
    list->setGridUpdatesEnabled(false);
    TextImport::Outcome outcome;
    {
        OpenProgress progress(context_.mainWindow);
        outcome = TextImport::read(path, separator, list->table(),
                                   [&progress](int n) { return progress.lineCounted(n); });
    }
    if (!outcome.opened) {
        delete list;
        return nullptr;
    }
    list->setGridUpdatesEnabled(true);
    showList(*list);
    list->fitColumnsToText();
    return list;
}

void TabularCommands::showList(TfrmList& list)
{
    if (!context_.mdiArea) {
        list.resize(TfrmList::DesignWidth, TfrmList::DesignHeight);
        list.show();
        return;
    }
    QMdiSubWindow* frame = context_.mdiArea->addSubWindow(&list);
    frame->setAttribute(Qt::WA_DeleteOnClose);
    connect(frame, &QMdiSubWindow::aboutToActivate, this, &TabularCommands::listActivated);
    frame->resize(TfrmList::DesignWidth, TfrmList::DesignHeight);
    frame->show();
    context_.mdiArea->setActiveSubWindow(frame);
}

void TabularCommands::listActivated()
{
    emit outputToGraphEnabled(true);
}

void TabularCommands::saveList(TfrmList& list)
{
    QWidget* parent = context_.mainWindow;
    const QPointer<TfrmList> alive(&list);
    FileDialogRequest request;
    request.filters = listSaveFilters(QLocale());
    request.defaultSuffix = kListSuffix;
    const QString path =
        context_.dialogs.chooseSaveName(parent, request, DialogFolders::Kind::Exports);
    if (path.isEmpty() || !alive)
        return;
    if (ExportDialogs::refuseCsvUnderDecimalComma(parent, path, QLocale(), context_.dialogs))
        return;
    const std::optional<ExportRange> range =
        ExportDialogs::chooseRange(parent, list.table().dataRowCount(), context_.dialogs);
    if (!range || !alive)
        return;

    FileWriteOutcome outcome;
    {
        ProgressDialog progress(parent, ExportDialogs::SavingCaption, ExportDialogs::SavingText,
                                range->size());
        // The list may be closed while events run; its table goes with it.
        const int last = range->size();
        outcome = GridExport::write(
            path, list.table(), *range, GridExport::separatorForFileName(path), [&](int lines) {
                return !progressStepAt(lines, last) || (progress.step(lines) && alive);
            });
    }
    if (outcome.kind == FileWriteOutcome::Failed)
        context_.dialogs.showError(parent, QStringLiteral("Cannot write %1: %2")
                                               .arg(QDir::toNativeSeparators(path), outcome.error));
}

void TabularCommands::btnOutputToGraphClick(QWidget* activeChild)
{
    auto* list = qobject_cast<TfrmList*>(contentOf(activeChild));
    if (!list || !context_.addGraphWindow)
        return;
    QWidget* parent = context_.mainWindow;
    const QLocale locale;
    // Asked once: the clock is a system call, too slow for every row.
    const QDate today = QDate::currentDate();
    const TabularConversion::Ends ends = TabularConversion::ends(list->table(), locale, today);
    if (ends.noData) {
        context_.dialogs.inform(parent, ends.error);
        return;
    }
    TfrmGraph* created = context_.addGraphWindow(list->windowTitle());
    if (!created)
        return;
    if (context_.graphs)
        context_.graphs->LastGraph = created;
    if (!ends.error.isEmpty()) {
        // The new window stays, empty.
        showGraphWindow(*created);
        context_.dialogs.showError(parent, ends.error);
        return;
    }

    created->prepareGraph(1, TfrmGraph::GraphYMax, TfrmGraph::GraphYMin, ends.last, ends.first,
                          ends.count);
    // Events run during the loop: either window may be closed meanwhile.
    const QPointer<TfrmList> listAlive(list);
    const QPointer<TfrmGraph> graph(created);
    // Points go one after the other: a row that is skipped leaves no hole
    // (a hole would be a point at 0 dB on 30 December 1899).
    int points = 0;
    int withoutLevel = 0;
    bool cancelled = false;
    {
        ProgressDialog progress(parent, kGraphingProgressCaption, kGraphingText, ends.count);
        for (int row = 1; row <= ends.count; ++row) {
            if (progressStepAt(row, ends.count) && (!progress.step(row) || !listAlive || !graph)) {
                cancelled = true;
                break;
            }
            const std::optional<TabularConversion::Point> point =
                TabularConversion::point(list->table(), row, locale, today);
            if (!point)
                continue; // a row whose date and time do not convert is skipped
            if (!point->y) {
                ++withoutLevel; // nor is a level of 0 dB made up for it
                continue;
            }
            graph->graph()->setXDataII(0, points, point->x);
            graph->graph()->setYData(0, points, *point->y);
            ++points;
        }
    }
    if (!graph)
        return;
    if (!cancelled)
        graph->graph()->setPoints(points);
    showGraphWindow(*graph);
    graph->updateGraphStatistic();
    graph->graph()->PEactions(PESGraph::ActionStateLoaded);
    graph->refreshGraph();
    if (withoutLevel > 0)
        context_.dialogs.inform(parent, TabularConversion::rowsWithoutLevelNote(withoutLevel));
}

void TabularCommands::showGraphWindow(TfrmGraph& graph)
{
    QWidget* frame = graph.parentWidget();
    auto* subWindow = qobject_cast<QMdiSubWindow*>(frame);
    if (!subWindow) {
        graph.showNormal();
        return;
    }
    // A graph window at its smallest leaves the chart a thin strip: it
    // takes most of the work area, as the DataLogger graph does.
    if (QMdiArea* area = context_.mdiArea) {
        subWindow->resize(area->width() * 9 / 10, area->height() * 9 / 10);
        subWindow->move(std::clamp(subWindow->x(), 0, area->width() - subWindow->width()),
                        std::clamp(subWindow->y(), 0, area->height() - subWindow->height()));
    }
    subWindow->showNormal();
    if (context_.mdiArea)
        context_.mdiArea->setActiveSubWindow(subWindow);
}

void TabularCommands::btnPrintClick(QWidget* activeChild)
{
    QWidget* content = contentOf(activeChild);
    if (auto* list = qobject_cast<TfrmList*>(content))
        printList(*list);
    else if (auto* graph = qobject_cast<TfrmGraph*>(content))
        printGraph(*graph);
}

void TabularCommands::printList(TfrmList& list)
{
    if (!context_.printer)
        return;
    QWidget* parent = context_.mainWindow;
    QPrinter& printer = context_.printer();
    // The printout is the whole list: no page range to choose.
    printer.setPrintRange(QPrinter::AllPages);
    QPrintDialog dialog(&printer, parent);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    if (context_.dialogs.exec(dialog) != QDialog::Accepted)
        return;
    if (!GridPrinter::print(list.table(), printer))
        context_.dialogs.showError(parent, QStringLiteral("The printer could not be started."));
}

void TabularCommands::printGraph(TfrmGraph& graph)
{
    PESGraph* chart = graph.graph();
    const PESGraph::DialogExec previous = chart->dialogExec();
    chart->setDialogExec(context_.dialogs.exec);
    for (const PESCustomizePage page : kPagesHiddenForPrinting)
        chart->setCustomizePageEnabled(page, false);
    chart->PEactions(PESGraph::ActionCustomize);
    for (const PESCustomizePage page : kPagesHiddenForPrinting)
        chart->setCustomizePageEnabled(page, true);
    // The chart's own print dialog, on the printer chosen in Printer Setup.
    if (context_.printer)
        chart->printDialog(context_.printer());
    chart->setDialogExec(previous);
}

void TabularCommands::PrinterSetup1Click()
{
    if (!context_.printer)
        return;
    QPrintDialog dialog(&context_.printer(), context_.mainWindow);
    dialog.setWindowTitle(kPrinterSetupCaption);
    // The dialog only chooses the printer; a confirm button reading "Print"
    // would promise a printout that never comes.
    for (auto* buttons : dialog.findChildren<QDialogButtonBox*>())
        if (QPushButton* confirm = buttons->button(QDialogButtonBox::Ok))
            confirm->setText(PrinterSetupConfirmText);
    // An accepted dialog leaves its choice in the printer.
    (void)context_.dialogs.exec(dialog);
}
