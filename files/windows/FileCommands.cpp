#include "files/windows/FileCommands.h"

#include "data/DataSetCollection.h"
#include "data/LoggerMemory.h"
#include "files/dialogs/ExportDialogs.h"
#include "files/dialogs/TVersionInfo.h"
#include "files/formats/CollectionFile.h"
#include "files/formats/ExportText.h"
#include "files/formats/GraphExport.h"
#include "files/formats/GraphFile.h"
#include "files/windows/NoiseReportPrinter.h"
#include "files/windows/TabularCommands.h"
#include "files/windows/TfrmList.h"
#include "files/windows/TfrmOpenSave.h"
#include "files/windows/TfrmReportDetails.h"
#include "graph/GraphWindowState.h"
#include "graph/PESGraph.h"
#include "graph/TfrmGraph.h"
#include "logger/DataSetListRow.h"
#include "logger/ImageFile.h"
#include "logger/LoggerUi.h"

#include <QDir>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSettings>

#include <algorithm>

namespace {
const QString GraphFileType = QStringLiteral("Graph file(*.ghf,only for RX842)");
const QString TextFileType = QStringLiteral("TXT file(*.txt,data seperated by tab)");
const QString CsvFileType = QStringLiteral("EXCEL file format(*.CSV,seperated by comma)");
const QString CollectionSaveType = QStringLiteral("Data Set Collection file(*.rec,only for RX842)");
const QString CollectionOpenType = QStringLiteral("Data Sets Collection (*.REC)");

QString shownPath(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

QString extensionOf(const QString& path)
{
    return QFileInfo(path).suffix().toLower();
}
} // namespace

FileCommands::FileCommands(Context context, QObject* parent)
    : QObject(parent), context_(std::move(context))
{
}

QStringList FileCommands::graphFilters(const QLocale& locale)
{
    QStringList filters{FileDialogRunner::filter(GraphFileType, QStringLiteral("*.GHF")),
                        FileDialogRunner::filter(TextFileType, QStringLiteral("*.TXT"))};
    if (ExportText::csvOffered(locale))
        filters << FileDialogRunner::filter(CsvFileType, QStringLiteral("*.CSV"));
    return filters;
}

QStringList FileCommands::collectionSaveFilters()
{
    return {FileDialogRunner::filter(CollectionSaveType, QStringLiteral("*.REC"))};
}

QStringList FileCommands::collectionOpenFilters()
{
    return {FileDialogRunner::filter(CollectionOpenType, QStringLiteral("*.REC"))};
}

FileDialogRequest FileCommands::request(const QStringList& filters,
                                        const QString& defaultSuffix) const
{
    FileDialogRequest request;
    request.filters = filters;
    request.defaultSuffix = defaultSuffix;
    request.confirmOverwrite = true;
    return request;
}

int FileCommands::choose(const QString& caption, const QString& setsText, const QString& singleText)
{
    // Destroyed before whatever the choice leads to is shown.
    TfrmOpenSave choice(context_.mainWindow);
    choice.setWindowTitle(caption);
    choice.setChoices(setsText, singleText);
    return context_.dialogs.exec(choice);
}

// ---- Save ---------------------------------------------------------------------------

void FileCommands::Save1Click(QWidget* window)
{
    if (!window)
        return;
    if (auto* list = qobject_cast<TfrmList*>(window)) {
        if (context_.tabular)
            context_.tabular->saveList(*list);
        return;
    }
    if (auto* graph = qobject_cast<TfrmGraph*>(window))
        (void)saveGraphWindow(*graph);
}

bool FileCommands::saveBeforeDiscard(TfrmGraph& graph)
{
    const bool saved = saveGraphWindow(graph);
    if (!saved && context_.graphs) {
        if (graph.windowTitle() == TfrmGraph::LoggerCaption)
            context_.graphs->LoggerDataUnsaved = true;
        else if (graph.windowTitle() == TfrmGraph::RealTimeCaption)
            context_.graphs->RealTimeDataUnsaved = true;
    }
    return saved;
}

bool FileCommands::saveGraphWindow(TfrmGraph& graph)
{
    const bool logger = graph.windowTitle() == TfrmGraph::LoggerCaption;
    bool saved = false;
    if (logger) {
        switch (choose(SaveCaption, SaveSetsText, SaveSingleSetText)) {
        case TfrmOpenSave::Sets:
            saved = saveCollection();
            break;
        case TfrmOpenSave::SingleSet:
            saved = graphSave(graph);
            break;
        default:
            break;
        }
    } else {
        saved = graphSave(graph);
    }
    if (saved && context_.graphs) {
        if (logger)
            context_.graphs->LoggerDataUnsaved = false;
        else if (graph.windowTitle() == TfrmGraph::RealTimeCaption)
            context_.graphs->RealTimeDataUnsaved = false;
    }
    return saved;
}

bool FileCommands::graphSave(TfrmGraph& graph)
{
    const QString path = context_.dialogs.chooseSaveName(
        &graph, request(graphFilters(QLocale()), QStringLiteral("GHF")),
        DialogFolders::Kind::Graphs);
    if (path.isEmpty())
        return false;
    if (ExportDialogs::refuseCsvUnderDecimalComma(&graph, path, QLocale(), context_.dialogs))
        return false;

    const QString extension = extensionOf(path);
    if (extension == QLatin1String("ghf")) {
        QString error;
        if (GraphFile::write(path, graph.graph()->saveWholeGraph(), &error))
            return true;
        context_.dialogs.showError(&graph, error);
        return false;
    }
    if (const std::optional<QChar> separator = GraphExport::separatorForExtension(path))
        return exportGraph(graph, path, *separator);
    // Silently writing nothing would look like a successful save.
    context_.dialogs.inform(&graph,
                            QStringLiteral("%1 was not saved: a graph is saved as a graph file "
                                           "(*.ghf), a text file (*.txt) or a CSV file (*.csv).")
                                .arg(shownPath(path)));
    return false;
}

bool FileCommands::exportGraph(TfrmGraph& graph, const QString& path, QChar separator)
{
    const PESGraph& chart = *graph.graph();
    const std::optional<ExportRange> range =
        ExportDialogs::chooseRange(&graph, chart.points(), context_.dialogs);
    if (!range)
        return false;
    FileWriteOutcome outcome;
    {
        ProgressDialog progress(&graph, ExportDialogs::SavingCaption, ExportDialogs::SavingText,
                                range->size());
        outcome =
            GraphExport::write(path, chart.xSeries(0), chart.ySeries(0), *range, separator,
                               QLocale(), [&progress](int lines) { return progress.step(lines); });
    }
    if (outcome.kind == FileWriteOutcome::Failed)
        context_.dialogs.showError(
            &graph,
            QStringLiteral("Cannot create the file %1: %2.").arg(shownPath(path), outcome.error));
    return outcome.written();
}

QStringList FileCommands::reportFilters()
{
    return {FileDialogRunner::filter(QStringLiteral("PDF file(*.pdf)"), QStringLiteral("*.PDF"))};
}

bool FileCommands::ExportReport1Click(QWidget* window)
{
    auto* graph = qobject_cast<TfrmGraph*>(window);
    if (!graph)
        return false;
    NoiseReportPrinter::GraphWindowReport source = NoiseReportPrinter::reportOfGraphWindow(*graph);

    // The title and details, as last entered for this measurement; kept
    // once confirmed, also when no file is chosen after.
    QSettings store;
    const QString key = ReportDetailsStore::measurementKey(source.series);
    ReportDetailsStore::Entry remembered = ReportDetailsStore::read(store, key);
    if (remembered.title.isEmpty())
        remembered.title = NoiseReport::DefaultTitle;
    if (remembered.details.instrumentModel.isEmpty())
        remembered.details.instrumentModel = source.series.meterModel;
    TfrmReportDetails detailsDialog(graph);
    detailsDialog.setEntry(remembered);
    detailsDialog.setHasSpan(source.report.span.has_value());
    if (context_.dialogs.exec(detailsDialog) != QDialog::Accepted)
        return false;
    const ReportDetailsStore::Entry entered = detailsDialog.entry();
    ReportDetailsStore::write(store, key, entered);

    const QString path = context_.dialogs.chooseSaveName(
        graph, request(reportFilters(), QStringLiteral("PDF")), DialogFolders::Kind::Reports);
    if (path.isEmpty())
        return false;

    NoiseReport& report = source.report;
    report.title = entered.title.isEmpty() ? NoiseReport::DefaultTitle : entered.title;
    report.details = entered.details;
    report.makeSections(source.series, entered.settings);
    report.version = TVersionInfo().versionText();
    report.created = context_.now ? context_.now() : QDateTime::currentDateTime();
    const FileWriteOutcome outcome = NoiseReportPrinter::writePdf(path, report, source.chart());
    if (!outcome.written())
        context_.dialogs.showError(
            graph,
            QStringLiteral("Cannot create the file %1: %2.").arg(shownPath(path), outcome.error));
    return outcome.written();
}

bool FileCommands::saveCollection()
{
    const QString path = context_.dialogs.chooseSaveName(
        context_.mainWindow, request(collectionSaveFilters(), QStringLiteral("REC")),
        DialogFolders::Kind::Collections);
    if (path.isEmpty())
        return false;
    switch (CollectionFile::save(context_.dataDirectory, path)) {
    case CollectionFile::SaveOutcome::Written:
        return true;
    case CollectionFile::SaveOutcome::Failed:
        context_.dialogs.showError(
            context_.mainWindow, QStringLiteral("Cannot create the file %1.").arg(shownPath(path)));
        return false;
    case CollectionFile::SaveOutcome::NoTempFile:
        // Nothing to copy: the data shown cannot be saved as a collection.
        context_.dialogs.inform(context_.mainWindow,
                                QStringLiteral("There is no downloaded data set collection to "
                                               "save; nothing was written."));
        return false;
    }
    return false;
}

// ---- Open ---------------------------------------------------------------------------

void FileCommands::Open1Click()
{
    const QString singleText =
        ExportText::csvOffered(QLocale()) ? OpenSingleText : OpenSingleTextWithoutCsv;
    switch (choose(OpenCaption, OpenSetsText, singleText)) {
    case TfrmOpenSave::Sets:
        openCollection();
        break;
    case TfrmOpenSave::SingleSet:
        openSingleFile();
        break;
    default:
        break;
    }
}

void FileCommands::openSingleFile()
{
    const QString path = context_.dialogs.chooseOpenName(
        context_.mainWindow, request(graphFilters(QLocale()), {}), DialogFolders::Kind::Graphs);
    if (path.isEmpty())
        return;
    const QString extension = extensionOf(path);
    if (extension == QLatin1String("ghf")) {
        tellOpened(openGraphFile(path), path);
    } else if (extension == QLatin1String("txt") || extension == QLatin1String("csv")) {
        if (context_.tabular)
            tellOpened(context_.tabular->openTextFile(path, extension == QLatin1String("txt")
                                                                ? ExportText::Tab
                                                                : ExportText::Comma),
                       path);
    } else if (extension == QLatin1String("rec")) {
        // Opening nothing without a word would look like a broken command.
        context_.dialogs.inform(context_.mainWindow, collectionChosenAsSingleText(path));
    } else {
        context_.dialogs.inform(context_.mainWindow, unknownSingleFileText(path));
    }
}

QString FileCommands::collectionChosenAsSingleText(const QString& path)
{
    return QStringLiteral("%1 is a data set collection file. To open it, choose File > Open "
                          "and then \"%2\".")
        .arg(shownPath(path), OpenSetsText);
}

QString FileCommands::unknownSingleFileText(const QString& path)
{
    return QStringLiteral("%1 was not opened: a single data file is a graph file (*.ghf), a "
                          "text file (*.txt) or a CSV file (*.csv).")
        .arg(shownPath(path));
}

TfrmGraph* FileCommands::openGraphFile(const QString& path)
{
    const GraphFile::ReadResult file = GraphFile::read(path);
    if (!file.block) {
        context_.dialogs.showError(context_.mainWindow, file.error);
        return nullptr;
    }
    if (!context_.addGraphWindow)
        return nullptr;
    TfrmGraph* graph = context_.addGraphWindow(QDir::toNativeSeparators(path));
    if (!graph)
        return nullptr;
    if (!graph->graph()->loadWholeGraph(*file.block)) {
        // Not shown yet: the window goes before anyone sees it.
        QWidget* window = graph->parentWidget() ? graph->parentWidget() : graph;
        delete window;
        context_.dialogs.showError(
            context_.mainWindow,
            QStringLiteral("%1 is not a graph file or is damaged.").arg(shownPath(path)));
        return nullptr;
    }
    if (context_.graphs)
        context_.graphs->LastGraph = graph;
    placeFileGraph(*graph);
    graph->updateGraphStatistic();
    graph->refreshGraph();
    return graph;
}

void FileCommands::placeFileGraph(TfrmGraph& graph)
{
    QWidget* frame = graph.parentWidget();
    if (!frame) {
        graph.show();
        return;
    }
    // At the top left, as wide as the main window and 40 less high than its
    // client area, kept inside the client area.
    const QWidget* client = frame->parentWidget();
    const QSize area = client ? client->size() : frame->size();
    const int mainWidth = context_.mainWindow ? context_.mainWindow->width() : area.width();
    frame->setGeometry(0, 0, std::min(mainWidth, area.width()),
                       std::max(area.height() - GraphWindowHeightMargin, 100));
    frame->showNormal();
    if (auto* sub = qobject_cast<QMdiSubWindow*>(frame))
        if (QMdiArea* mdi = sub->mdiArea())
            mdi->setActiveSubWindow(sub);
}

void FileCommands::openCollection()
{
    // The window comes first, so a cancelled open still leaves it.
    if (context_.loggerWindow)
        (void)context_.loggerWindow->prepareLoggerWindow();
    const QString path = context_.dialogs.chooseOpenName(
        context_.mainWindow, request(collectionOpenFilters(), QStringLiteral("REC")),
        DialogFolders::Kind::Collections);
    if (path.isEmpty() || !context_.dataSets)
        return;

    LoggerMemory memory;
    const QDateTime now = context_.now ? context_.now() : QDateTime::currentDateTime();
    const CollectionFile::OpenOutcome outcome =
        CollectionFile::open(path, memory, *context_.dataSets, context_.dataDirectory, now);
    // A file that does not read or decode ends the open without a word;
    // the collection and the window keep what they held.
    if (!outcome.read || outcome.result != LoadResult::Ok)
        return;
    if (context_.loggerWindow)
        context_.loggerWindow->showDataSetRows(dataSetListRows(*context_.dataSets));
    if (outcome.temp == ImageFile::Outcome::DirectoryMissing) {
        context_.dialogs.showError(context_.mainWindow,
                                   ImageFile::tempDirectory(context_.dataDirectory));
        return;
    }
    if (context_.loggerWindow)
        context_.loggerWindow->showDataSet(0);
    if (context_.graphs)
        tellOpened(context_.graphs->LoggerGraph, path);
}

void FileCommands::tellOpened(QWidget* window, const QString& path)
{
    if (window && context_.fileOpened)
        context_.fileOpened(window, path);
}
