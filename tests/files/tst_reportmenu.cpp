// File > "Export Report (PDF)..." in the main window: offered only while a
// graph window is the active child (not the control panel, not a list
// window), and, chosen there, the report of that graph window is written,
// also for the real-time graph before its first sample.

#include <QApplication>

#include "common/TestMain.h"

#include "app/TfrmMain.h"
#include "app/TfrmPanel.h"
#include "files/formats/NoiseReport.h"
#include "files/windows/TfrmReportDetails.h"
#include "graph/PESGraph.h"
#include "graph/TfrmGraph.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <memory>

class TestReportMenu : public QObject
{
    Q_OBJECT

    QTemporaryDir data_;
    QString reportPath_;
    QStringList titlesAsked_;
    std::unique_ptr<TfrmMain> w_;

    TfrmMain& mainWindow()
    {
        TfrmMain::Environment environment;
        environment.listPorts = [] { return QStringList{}; };
        environment.dataDirectory = data_.path();
        environment.fileDialogs.exec = [this](QDialog& dialog) {
            auto* input = qobject_cast<TfrmReportDetails*>(&dialog);
            if (!input)
                return int(QDialog::Rejected);
            titlesAsked_ << input->fieldText("title");
            input->setFieldText("title", QStringLiteral("Yard, week 49"));
            return int(QDialog::Accepted);
        };
        environment.fileDialogs.saveFileName = [this](QWidget*, const FileDialogRequest&) {
            return reportPath_;
        };
        w_ = std::make_unique<TfrmMain>(environment);
        QSignalSpy finished(w_.get(), &TfrmMain::startUpFinished);
        w_->resize(1200, 800);
        w_->show();
        if (!finished.wait(20000))
            qWarning("The main window did not finish its start-up.");
        return *w_;
    }

    QAction* exportReport() const { return w_->findChild<QAction*>("ExportReport1"); }

private slots:
    void offeredForTheActiveGraphWindowOnly()
    {
        TfrmMain& w = mainWindow();
        QVERIFY(exportReport());
        QCOMPARE(exportReport()->text(), QStringLiteral("Export Report (PDF)..."));

        w.openSampleGraph(120);
        auto* graphFrame = w.mdiArea()->currentSubWindow();
        QVERIFY(graphFrame && qobject_cast<TfrmGraph*>(graphFrame->widget()));
        QVERIFY(exportReport()->isEnabled());

        QVERIFY(w.PanelWindow());
        w.mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(w.PanelWindow()->parentWidget()));
        QVERIFY(!exportReport()->isEnabled());

        w.mdiArea()->setActiveSubWindow(graphFrame);
        QVERIFY(exportReport()->isEnabled());
        graphFrame->close();
        QTRY_VERIFY(w.mdiArea()->currentSubWindow() != graphFrame);
        const QMdiSubWindow* now = w.mdiArea()->currentSubWindow();
        QCOMPARE(exportReport()->isEnabled(), now && qobject_cast<TfrmGraph*>(now->widget()));
    }

    void chosenItWritesTheReportOfTheActiveGraph()
    {
        if (QStandardPaths::findExecutable("pdftotext").isEmpty())
            QSKIP("poppler-utils are not installed");
        TfrmMain& w = mainWindow();
        w.openSampleGraph(120);
        reportPath_ = data_.filePath("week49.pdf");
        exportReport()->trigger();
        QCOMPARE(titlesAsked_, QStringList{QStringLiteral("Noise Report")});
        QProcess text;
        text.start(QStandardPaths::findExecutable("pdftotext"), {reportPath_, "-"});
        QVERIFY(text.waitForFinished(30000));
        const QString page = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY2(page.contains("Yard, week 49"), qPrintable(page));
        const auto* graph = qobject_cast<TfrmGraph*>(w.mdiArea()->currentSubWindow()->widget());
        QVERIFY(graph);
        // The window's start time, with its four-digit year.
        const QString start = NoiseReportTexts::dateTimeText(graph->graph()->xDataII(0, 0));
        QVERIFY2(page.contains(start), qPrintable(start + " not in\n" + page));
    }

    // The real-time graph before any sample: a page all the same, without a chart.
    void emptyRealTimeGraphGivesAPageWithoutSamples()
    {
        if (QStandardPaths::findExecutable("pdftotext").isEmpty())
            QSKIP("poppler-utils are not installed");
        TfrmMain& w = mainWindow();
        TfrmGraph* realTime = w.graphState().RealTimeGraph;
        QVERIFY(realTime);
        w.mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(realTime->parentWidget()));
        QVERIFY(exportReport()->isEnabled());
        reportPath_ = data_.filePath("empty.pdf");
        exportReport()->trigger();
        QProcess text;
        text.start(QStandardPaths::findExecutable("pdftotext"), {reportPath_, "-"});
        QVERIFY(text.waitForFinished(30000));
        const QString page = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY2(page.contains("No samples"), qPrintable(page));
        QVERIFY2(page.contains("Yard, week 49"), qPrintable(page));
    }
};

AUDIMARK_TEST_MAIN_GUI(TestReportMenu)
#include "tst_reportmenu.moc"
