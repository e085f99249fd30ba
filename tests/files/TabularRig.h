#pragma once

// A test window for the list window's commands: an MDI area in a main
// window, the shared graph state, a PDF printer, and scripted answers to
// every dialog the commands show (what was shown is recorded).

#include "data/ExportStatistic.h"
#include "files/dialogs/TfrmScope.h"
#include "files/windows/TabularCommands.h"
#include "files/windows/TfrmList.h"
#include "graph/GraphWindowState.h"
#include "graph/TfrmGraph.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <memory>

struct TabularRig
{
    QTemporaryDir dir;
    QMainWindow window;
    QMdiArea* area = new QMdiArea;
    GraphWindowState graphs;
    QPrinter printer{QPrinter::HighResolution};
    std::unique_ptr<TabularCommands> commands;

    // Answers: the save dialog's file name ("" cancels) and every modal
    // dialog (accepted unless onExec says otherwise).
    QString saveName;
    std::function<int(QDialog&)> onExec;
    // What the commands showed.
    QList<FileDialogRequest> saveRequests;
    QStringList dialogTitles;
    QStringList informed;
    QStringList errors;
    bool outputToGraphEnabled = false;

    TabularRig()
    {
        window.setCentralWidget(area);
        window.resize(1200, 860);
        graphs.dataDirectory = dir.path();
        graphs.dialogs.ask = [](QWidget*, const QString&, QMessageBox::StandardButtons) {
            return QMessageBox::No;
        };
        graphs.dialogs.inform = [this](QWidget*, const QString& text) { informed << text; };
        graphs.dialogs.exec = [](QDialog&) { return int(QDialog::Rejected); };
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdfPath());

        TabularCommands::Context context;
        context.mainWindow = &window;
        context.mdiArea = area;
        context.graphs = &graphs;
        context.addGraphWindow = [this](const QString& caption) {
            auto* graph = new TfrmGraph(graphs);
            graph->setWindowTitle(caption);
            QMdiSubWindow* frame = area->addSubWindow(graph);
            frame->setAttribute(Qt::WA_DeleteOnClose);
            // As in the main window: an active graph window disables the button.
            QObject::connect(frame, &QMdiSubWindow::aboutToActivate,
                             [this] { outputToGraphEnabled = false; });
            return graph;
        };
        context.printer = [this]() -> QPrinter& { return printer; };
        context.dataDirectory = dir.path();
        context.dialogs.saveFileName = [this](QWidget*, const FileDialogRequest& request) {
            saveRequests << request;
            return saveName;
        };
        context.dialogs.openFileName = [](QWidget*, const FileDialogRequest&) { return QString(); };
        context.dialogs.exec = [this](QDialog& dialog) {
            dialogTitles << dialog.windowTitle();
            return onExec ? onExec(dialog) : int(QDialog::Accepted);
        };
        context.dialogs.ask = [](QWidget*, const QString&, QMessageBox::StandardButtons) {
            return QMessageBox::No;
        };
        context.dialogs.inform = [this](QWidget*, const QString& text) { informed << text; };
        context.dialogs.showError = [this](QWidget*, const QString& text) { errors << text; };
        commands = std::make_unique<TabularCommands>(std::move(context));
        QObject::connect(commands.get(), &TabularCommands::outputToGraphEnabled,
                         [this](bool enabled) { outputToGraphEnabled = enabled; });
        window.show();
    }

    [[nodiscard]] QString pdfPath() const { return dir.filePath(QStringLiteral("print.pdf")); }

    QString writeFile(const QString& name, const QByteArray& bytes) const
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    // Opens a file of these bytes as a list (TAB for .txt, comma otherwise).
    TfrmList* open(const QByteArray& bytes, const QString& name = QStringLiteral("list.csv"))
    {
        const QChar separator =
            name.endsWith(QStringLiteral(".txt"), Qt::CaseInsensitive) ? QChar('\t') : QChar(',');
        return commands->openTextFile(writeFile(name, bytes), separator);
    }

    [[nodiscard]] QList<TfrmGraph*> graphWindows() const
    {
        return window.findChildren<TfrmGraph*>();
    }
    [[nodiscard]] QList<TfrmList*> listWindows() const { return window.findChildren<TfrmList*>(); }

    // The visible progress dialogs, seen from inside a running command.
    struct ProgressSeen
    {
        QString caption;
        QString text;
        bool textVisible = false;
        bool cancelVisible = false;
    };
    QList<ProgressSeen> progressSeen;
    // Records the progress dialogs at the command's first event pass; with
    // cancel, also clicks their Cancel.
    void watchProgress(bool cancel = false)
    {
        QTimer::singleShot(0, &window, [this, cancel] {
            for (QWidget* top : QApplication::topLevelWidgets()) {
                auto* scope = qobject_cast<TfrmScope*>(top);
                if (!scope || !scope->isVisible())
                    continue;
                progressSeen << ProgressSeen{scope->windowTitle(), scope->SText1()->text(),
                                             scope->SText1()->isVisible(),
                                             scope->BitBtn2()->isVisible()};
                if (cancel)
                    scope->BitBtn2()->click();
            }
        });
    }
};
