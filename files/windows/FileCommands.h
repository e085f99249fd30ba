#pragma once

// The main window's Save and Open commands (Save1Click, Open1Click) and the
// saves that the save questions ask for.
//
// Save looks at the window it is given: a list window -> the list's export;
// the "DataLogger" graph -> the choice between the whole collection (*.rec)
// and the set now shown; any other graph window -> the graph save (*.ghf
// graph file, or a *.txt / *.csv export of a range of its points); anything
// else -> nothing. Open offers the collection or a single file (*.ghf into a
// new graph window, *.txt / *.csv into a new list window).
//
// Unsaved data: a save of the DataLogger graph or the real-time graph that
// wrote its file clears LoggerDataUnsaved / RealTimeDataUnsaved. The saves
// of the save questions (saveBeforeDiscard) set the flag when nothing was
// written - cancelled dialogs, a failed write - so the data is kept.
//
// Contract: owned by the main window, main thread only; every dialog,
// question and message goes through Context::dialogs.

#include "files/dialogs/FileDialogRunner.h"

#include <QDateTime>
#include <QLocale>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class DataSetCollection;
class LoggerUi;
class QMdiArea;
class TabularCommands;
class TfrmGraph;
struct GraphWindowState;

class FileCommands : public QObject
{
    Q_OBJECT

public:
    // The choice dialog's texts.
    static inline const QString SaveCaption = QStringLiteral("Save File");
    static inline const QString SaveSetsText =
        QStringLiteral("Save all data sets to a data set collection file(*.set)");
    static inline const QString SaveSingleSetText =
        QStringLiteral("Save single selected  data set to a  file");
    static inline const QString OpenCaption = QStringLiteral("Open File");
    static inline const QString OpenSetsText =
        QStringLiteral("Open a data set collection file(*.rec)");
    static inline const QString OpenSingleText =
        QStringLiteral("Open single data file(*.TXT,*.CSV,*.GHF)");
    static inline const QString OpenSingleTextWithoutCsv =
        QStringLiteral("Open single data flle(*.TXT,*.GHF)");

    static inline const QString ExportReportCaption = QStringLiteral("Export Report (PDF)");
    static inline const QString ReportTitleLabel = QStringLiteral("Title of the report:");

    // The progress dialog of a text or CSV export.

    // Where a graph file opened into a window leaves room below it.
    static constexpr int GraphWindowHeightMargin = 40;

    struct Context
    {
        QWidget* mainWindow = nullptr;
        QMdiArea* mdiArea = nullptr;
        GraphWindowState* graphs = nullptr;
        // The data set collection that an opened collection file replaces.
        DataSetCollection* dataSets = nullptr;
        // Creates a graph window with the caption in the MDI area (the main
        // window's addGraphWindow); the window is not shown yet.
        std::function<TfrmGraph*(const QString& caption)> addGraphWindow;
        // The "DataLogger" window as a download shows it: created or
        // restored, its data set list, a set on its chart.
        LoggerUi* loggerWindow = nullptr;
        // The list window's commands (export of a list, text import).
        TabularCommands* tabular = nullptr;
        // Where the temporary image file is. The file dialogs start in the
        // last folder of their kind (DialogFolders).
        QString dataDirectory;
        // The time a collection open decodes at; the system clock when empty.
        std::function<QDateTime()> now;
        FileDialogRunner dialogs = FileDialogRunner::modal();
        // Told of every file Open has shown in a window (a graph window, a
        // list window, the "DataLogger" window for a collection), with the
        // path: the main window offers to keep it in the archive.
        std::function<void(QWidget* window, const QString& path)> fileOpened;
    };

    explicit FileCommands(Context context, QObject* parent = nullptr);

    // Save with `window` active (the active MDI child's widget, or null).
    void Save1Click(QWidget* window);
    // The save a save question's "Yes" asks for: the same save of this graph
    // window. True when its file was written; otherwise its unsaved flag is
    // set, so the data is not given up.
    [[nodiscard]] bool saveBeforeDiscard(TfrmGraph& graph);
    void Open1Click();
    // File > "Export Report (PDF)..." with `window` active: for a graph
    // window, asks the title and the report details (TfrmReportDetails,
    // prefilled with what was entered for the measurement before, default
    // title "Noise Report") and the file name, then writes the PDF report
    // of its series with
    // its cursors and annotations, complete or not at all (a failed write
    // is shown). True when the report was written.
    bool ExportReport1Click(QWidget* window);

    // Graph file open: a new graph window captioned with the path, or null
    // (with a message) when the file cannot be read or holds no graph.
    TfrmGraph* openGraphFile(const QString& path);

    // The file type lists of the graph save and the single file open, in
    // the dialog's form; CSV only where the decimal separator is no comma.
    [[nodiscard]] static QStringList graphFilters(const QLocale& locale);
    [[nodiscard]] static QStringList collectionSaveFilters();
    [[nodiscard]] static QStringList collectionOpenFilters();
    [[nodiscard]] static QStringList reportFilters();

    // What a single file open says about a collection file, and about a
    // file of another type.
    [[nodiscard]] static QString collectionChosenAsSingleText(const QString& path);
    [[nodiscard]] static QString unknownSingleFileText(const QString& path);

private:
    [[nodiscard]] bool saveGraphWindow(TfrmGraph& graph);
    [[nodiscard]] bool graphSave(TfrmGraph& graph);
    [[nodiscard]] bool exportGraph(TfrmGraph& graph, const QString& path, QChar separator);
    [[nodiscard]] bool saveCollection();
    void openCollection();
    void openSingleFile();
    void placeFileGraph(TfrmGraph& graph);
    void tellOpened(QWidget* window, const QString& path);
    [[nodiscard]] int choose(const QString& caption, const QString& setsText,
                             const QString& singleText);
    [[nodiscard]] FileDialogRequest request(const QStringList& filters,
                                            const QString& defaultSuffix) const;

    Context context_;
};
