// Pictures of Save and Open, run by hand under xvfb-run with a window
// manager: the choice dialog as Save shows it for the DataLogger window
// ("Save File") and as Open shows it ("Open File"), and the main window with
// a graph window opened from a graph file; the save dialog with the text
// type chosen for a name typed without extension, and the message that
// refuses a typed .csv where the decimal separator is a comma; the messages
// for a collection file chosen as a single file ("invalid integer" and the
// help without a browser too), Printer Setup, and the setup commands'
// waiting window. The dialogs
// are taken from the screen, so their frames show as the window manager
// draws them.
//   files_screenshots OUTPUT_DIRECTORY

#include "app/FileScript.h"
#include "app/TfrmMain.h"
#include "app/WindowSetupUi.h"
#include "graph/GraphWindowState.h"
#include "graph/TfrmGraph.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>

namespace {
bool grabScreen(const QString& path)
{
    const bool ok = QGuiApplication::primaryScreen()->grabWindow(0).save(path);
    std::printf("%s %s\n", ok ? "saved" : "FAILED", qPrintable(path));
    return ok;
}
} // namespace

int main(int argc, char** argv)
{
    // The dialog driven below is Qt's own, as under a plain window manager.
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("QV58M"));
    if (argc < 2) {
        std::fprintf(stderr, "usage: files_screenshots OUTPUT_DIRECTORY\n");
        return 2;
    }
    const QDir output(QString::fromLocal8Bit(argv[1]));
    QTemporaryDir data;
    QTemporaryDir saved;
    const QString graphPath = saved.filePath(QStringLiteral("hall-3.ghf"));

    FileScript script;
    FileDialogRunner runner = script.runner();
    int shots = 0;
    // The choice dialog is shown for a moment, taken from the screen, then
    // answered as the script says.
    const auto scriptedExec = runner.exec;
    runner.exec = [&](QDialog& dialog) {
        if (qobject_cast<TfrmOpenSave*>(&dialog)) {
            dialog.show();
            QTest::qWait(700);
            (void)grabScreen(output.filePath(
                shots == 0 ? QStringLiteral("choice-save.png")
                           : QStringLiteral("choice-open-%1.png").arg(shots)));
            ++shots;
            dialog.hide();
        }
        return scriptedExec(dialog);
    };

    // The messages, shown for real as the program shows them.
    int messages = 0;
    runner.inform = [&](QWidget* parent, const QString& text) {
        script.informed << text;
        QTimer::singleShot(700, [&output, &messages, text] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            std::printf("message %d: %s\n", messages, qPrintable(text));
            (void)grabScreen(output.filePath(QStringLiteral("message-%1.png").arg(messages++)));
            if (box)
                box->accept();
        });
        FileDialogRunner::modal().inform(parent, text);
    };
    // Printer Setup, shown for a moment.
    const auto choiceExec = runner.exec;
    runner.exec = [&](QDialog& dialog) {
        if (!qobject_cast<QPrintDialog*>(&dialog))
            return choiceExec(dialog);
        dialog.show();
        QTest::qWait(700);
        (void)grabScreen(output.filePath(QStringLiteral("printer-setup.png")));
        dialog.hide();
        return int(QDialog::Rejected);
    };
    // The program's own save dialog once script.saveNames runs out: the
    // text type chosen, "set1b" typed, taken from the screen, accepted.
    const auto scriptedSave = runner.saveFileName;
    runner.saveFileName = [&](QWidget* parent, const FileDialogRequest& request) {
        if (!script.saveNames.isEmpty())
            return scriptedSave(parent, request);
        QTimer::singleShot(700, [&output] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            if (auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) {
                types->setFocus();
                QTest::keyClick(types, Qt::Key_Down);
            }
            if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                name->setText(QStringLiteral("set1b"));
            QTest::qWait(300);
            (void)grabScreen(output.filePath(QStringLiteral("save-dialog-text-type.png")));
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        });
        return FileDialogRunner::modal().saveFileName(parent, request);
    };

    TfrmMain::Environment environment;
    environment.openUrl = [](const QUrl&) { return false; }; // no browser
    environment.listPorts = [] { return QStringList{}; };
    environment.dataDirectory = data.path();
    environment.fileDialogs = runner;
    TfrmMain w(environment);
    w.resize(1280, 800);
    QSignalSpy started(&w, &TfrmMain::startUpFinished);
    w.show();
    if (!started.wait(20000))
        return 1;
    w.graphState().dialogs.ask = [](QWidget*, const QString&, QMessageBox::StandardButtons) {
        return QMessageBox::No;
    };

    // Save of the DataLogger window: the set shown, as a graph file.
    w.openSampleGraph(600);
    QTest::qWait(300);
    script.choices << TfrmOpenSave::SingleSet;
    script.saveNames << graphPath;
    w.findChild<QAction*>(QStringLiteral("Save1"))->trigger();
    if (!QFile::exists(graphPath)) {
        std::fprintf(stderr, "the graph file was not written\n");
        return 1;
    }
    // The DataLogger window goes; the graph file comes back in a window of its own.
    w.graphState().LoggerGraph->parentWidget()->close();
    script.choices << TfrmOpenSave::SingleSet;
    script.openNames << graphPath;
    w.findChild<QAction*>(QStringLiteral("Open1"))->trigger();
    QTest::qWait(700);
    bool ok = grabScreen(output.filePath(QStringLiteral("graph-file-opened.png")));

    // The opened graph saved through the program's save dialog, which starts
    // where the graph file came from: the text type chosen gives set1b.txt.
    w.findChild<QAction*>(QStringLiteral("Save1"))->trigger();
    if (!QFile::exists(saved.filePath(QStringLiteral("set1b.txt")))) {
        std::fprintf(stderr, "set1b.txt was not written\n");
        ok = false;
    }
    // Where the decimal separator is a comma, a typed .csv is refused.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    script.saveNames << saved.filePath(QStringLiteral("punkte.csv"));
    w.findChild<QAction*>(QStringLiteral("Save1"))->trigger();
    if (script.informed.size() != 1 || QFile::exists(saved.filePath(QStringLiteral("punkte.csv"))))
        ok = false;
    // A collection file chosen as a single file.
    script.choices << TfrmOpenSave::SingleSet;
    script.openNames << saved.filePath(QStringLiteral("sets.rec"));
    w.findChild<QAction*>(QStringLiteral("Open1"))->trigger();
    // A short message.
    runner.inform(&w, QStringLiteral("invalid integer"));
    // Help without a browser.
    QFile help(QDir(data.path()).filePath(QStringLiteral("QV58M.htm")));
    (void)help.open(QIODevice::WriteOnly);
    help.close();
    QTimer::singleShot(700, [&output] {
        (void)grabScreen(output.filePath(QStringLiteral("help-without-browser.png")));
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            box->accept();
    });
    w.findChild<QAction*>(QStringLiteral("Contents1"))->trigger();
    w.findChild<QAction*>(QStringLiteral("PrinterSetup1"))->trigger();
    if (script.informed.size() != 3)
        ok = false;
    // A setup command waiting for the meter.
    {
        WindowSetupUi setupUi(&w, w.mdiArea(), LoggerDialogs::modal());
        setupUi.setBusy(true);
        QTest::qWait(700);
        (void)grabScreen(output.filePath(QStringLiteral("setup-waiting.png")));
        setupUi.setBusy(false);
    }
    return ok && shots == 3 ? 0 : 1;
}
