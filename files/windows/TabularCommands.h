#pragma once

// The list window's commands: the text and CSV import into a new list
// window, the list's export (Save with a list window active), "Output
// Tabular to graph", and printing (grid printout of a list window, the
// chart's print dialog of a graph window) with the printer chosen in
// Printer Setup.
//
// Contract: owned by the main window, main thread only; every dialog and
// question goes through Context::dialogs, so tests drive whole commands.

#include "files/dialogs/FileDialogRunner.h"

#include <QChar>
#include <QObject>
#include <QString>
#include <functional>

class QMdiArea;
class QPrinter;
class QWidget;
class TfrmGraph;
class TfrmList;
struct GraphWindowState;

class TabularCommands : public QObject
{
    Q_OBJECT

public:
    // Printer Setup's confirm button: it chooses, it does not print.
    static inline const QString PrinterSetupConfirmText = QStringLiteral("OK");

    struct Context
    {
        QWidget* mainWindow = nullptr;
        QMdiArea* mdiArea = nullptr;
        GraphWindowState* graphs = nullptr;
        // Creates a graph window with the caption in the MDI area (the main
        // window's addGraphWindow).
        std::function<TfrmGraph*(const QString& caption)> addGraphWindow;
        // The printer chosen in Printer Setup.
        std::function<QPrinter&()> printer;
        // The program's data directory (the file dialogs start in the last
        // folder of their kind instead, DialogFolders).
        QString dataDirectory;
        FileDialogRunner dialogs = FileDialogRunner::modal();
    };

    explicit TabularCommands(Context context, QObject* parent = nullptr);
    ~TabularCommands() override;

    // Text import of path (separator TAB or comma) into a new list window
    // captioned with the full path; nothing when the file cannot be opened.
    TfrmList* openTextFile(const QString& path, QChar separator);
    // Grid export of a list window: save dialog, range, progress.
    void saveList(TfrmList& list);
    // "Output Tabular to graph" with the active child window; nothing unless
    // it is a list window.
    void btnOutputToGraphClick(QWidget* activeChild);
    // Print with the active child window: list -> grid printout, graph ->
    // the chart's print dialog; anything else (or none) -> nothing.
    void btnPrintClick(QWidget* activeChild);
    // Chooses the printer that later printouts use.
    void PrinterSetup1Click();

signals:
    // A list window became active (true) - btnOutputToGraph follows it.
    void outputToGraphEnabled(bool enabled);

private:
    void showList(TfrmList& list);
    void listActivated();
    void showGraphWindow(TfrmGraph& graph);
    void printList(TfrmList& list);
    void printGraph(TfrmGraph& graph);

    Context context_;
};
