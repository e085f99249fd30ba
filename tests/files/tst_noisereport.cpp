// File > "Export Report (PDF)..." on a graph window: the title asked, the
// file chosen, one PDF page of the locale's paper that holds the title, the
// start time and the cursor time the window shows and the set's LAeq;
// cancelling either question writes nothing; a failed write is shown and
// leaves no file. And the paper by the locale's country.

#include <QApplication>

#include "common/TestMain.h"
#include "data/GeneratedDataSets.h"
#include "data/GraphTexts.h"
#include "files/FileCommands.h"
#include "files/NoiseReport.h"
#include "graph/AcousticBox.h"
#include "graph/GraphWindowState.h"
#include "graph/PESGraph.h"
#include "graph/TfrmGraph.h"
#include "graph/Tslider2.h"

#include <QDir>
#include <QFileInfo>
#include <QInputDialog>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <memory>

namespace {
const QLocale us(QLocale::English, QLocale::UnitedStates);
const QLocale de(QLocale::German, QLocale::Germany);
const QDateTime created(QDate(2026, 12, 7), QTime(14, 30, 5));

QString runTool(const char* tool, const QStringList& arguments)
{
    QProcess process;
    process.start(QStandardPaths::findExecutable(QLatin1String(tool)), arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return QStringLiteral("<%1 failed>").arg(QLatin1String(tool));
    return QString::fromUtf8(process.readAllStandardOutput());
}

// What the dialogs are told to answer, and what they were asked.
struct ReportScript
{
    std::optional<QString> title = QStringLiteral("Night shift"); // none: Cancel
    QString fileName;                                            // empty: Cancel
    QStringList titlesOffered;
    QList<FileDialogRequest> saveRequests;
    QStringList errors;

    FileDialogRunner runner()
    {
        FileDialogRunner runner;
        runner.exec = [this](QDialog& dialog) {
            auto* input = qobject_cast<QInputDialog*>(&dialog);
            if (!input)
                return int(QDialog::Rejected);
            titlesOffered << input->textValue();
            if (!title)
                return int(QDialog::Rejected);
            input->setTextValue(*title);
            return int(QDialog::Accepted);
        };
        runner.saveFileName = [this](QWidget*, const FileDialogRequest& request) {
            saveRequests << request;
            return fileName;
        };
        runner.showError = [this](QWidget*, const QString& text) { errors << text; };
        runner.inform = [this](QWidget*, const QString& text) { errors << text; };
        return runner;
    }
};
} // namespace

class TestNoiseReport : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;
    GraphWindowState state_;
    DataSetCollection sets_;
    std::unique_ptr<TfrmGraph> window_;

    // The DataLogger graph showing a set of 600 samples 2 s apart, A weighting.
    TfrmGraph& loggerWindow()
    {
        const double start = GraphTexts::fromDateTime(QDateTime(QDate(2010, 4, 14), QTime(23, 55)));
        sets_ = GeneratedDataSets::collection({{start - 0.5, 1, 30, false}, {start, 2, 600, true}});
        state_ = GraphWindowState{};
        state_.dataDirectory = dir_.path();
        state_.dataSets = &sets_;
        window_ = std::make_unique<TfrmGraph>(state_);
        window_->setWindowTitle(TfrmGraph::LoggerCaption);
        window_->resize(1100, 650);
        window_->show();
        [&] { QVERIFY(window_->showDataSet(1)); }();
        return *window_;
    }

    std::unique_ptr<FileCommands> commands(ReportScript& script)
    {
        FileCommands::Context context;
        context.graphs = &state_;
        context.dataSets = &sets_;
        context.dataDirectory = dir_.path();
        context.now = [] { return created; };
        context.dialogs = script.runner();
        return std::make_unique<FileCommands>(std::move(context));
    }

private slots:
    void cleanup()
    {
        window_.reset();
        QLocale::setDefault(QLocale::c());
    }

    void paperByCountry_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<bool>("letter");
        QTest::newRow("en_US") << us << true;
        QTest::newRow("en_CA") << QLocale(QLocale::English, QLocale::Canada) << true;
        QTest::newRow("es_MX") << QLocale(QLocale::Spanish, QLocale::Mexico) << true;
        QTest::newRow("fil_PH") << QLocale(QLocale::Filipino, QLocale::Philippines) << true;
        QTest::newRow("de_DE") << de << false;
        QTest::newRow("en_GB") << QLocale(QLocale::English, QLocale::UnitedKingdom) << false;
        QTest::newRow("zh_TW") << QLocale(QLocale::Chinese, QLocale::Taiwan) << false;
    }

    void paperByCountry()
    {
        QFETCH(QLocale, locale);
        QFETCH(bool, letter);
        QCOMPARE(reportPaperFor(locale) == ReportPaper::Letter, letter);
    }

    void reportOfTheWindowsSeriesAndCursors_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<int>("cursorA");
        QTest::addColumn<int>("cursorB");
        QTest::addColumn<QString>("paper");
        QTest::addColumn<double>("threshold");
        QTest::addColumn<QString>("aboveName");
        QTest::newRow("de_DE, thumbs crossed over midnight")
            << de << 450 << 60 << "A4" << 70.0 << "Time above 70,0 dB";
        QTest::newRow("en_US, thumbs as placed")
            << us << -1 << -1 << "letter" << 0.0 << "Time above 85.0 dB";
    }

    void reportOfTheWindowsSeriesAndCursors()
    {
        QFETCH(QLocale, locale);
        QFETCH(int, cursorA);
        QFETCH(int, cursorB);
        QFETCH(QString, paper);
        QFETCH(double, threshold);
        QFETCH(QString, aboveName);
        if (QStandardPaths::findExecutable("pdftotext").isEmpty())
            QSKIP("poppler-utils are not installed");
        QLocale::setDefault(locale);
        TfrmGraph& window = loggerWindow();
        if (cursorA >= 0) {
            window.slider()->SetValue1(cursorA);
            window.slider()->SetValue2(cursorB);
        }
        if (threshold > 0)
            window.acousticBox()->setThreshold(threshold);
        const StatisticFields shown = window.statisticFields();
        ReportScript script;
        script.fileName = dir_.filePath("night.pdf");
        QVERIFY(commands(script)->ExportReport1Click(&window));
        QCOMPARE(script.titlesOffered, QStringList{NoiseReport::DefaultTitle});
        QCOMPARE(script.saveRequests.size(), 1);
        QCOMPARE(script.saveRequests.first().defaultSuffix, QStringLiteral("PDF"));
        QCOMPARE(script.errors, QStringList());

        const QString info = runTool("pdfinfo", {script.fileName});
        QVERIFY2(info.contains(QRegularExpression("Pages:\\s+1\n")), qPrintable(info));
        QVERIFY2(info.contains("(" + paper + ")"), qPrintable(info));
        const QString page = runTool("pdftotext", {"-layout", script.fileName, "-"});
        // The LAeq the window's "Acoustic" box shows, whole and between the cursors.
        const AcousticBox& box = *window.acousticBox();
        QCOMPARE(box.rowName(AcousticBox::Leq), QStringLiteral("LAeq"));
        const QString laeq = box.text(AcousticBox::Whole, AcousticBox::Leq);
        const QString spanLaeq = box.text(AcousticBox::Cursors, AcousticBox::Leq);
        QVERIFY(!laeq.isEmpty() && !spanLaeq.isEmpty());
        for (const QString& text :
             {QStringLiteral("Night shift"), shown.graph.startTime, shown.cursorATime,
              shown.cursorBTime, shown.between.avgAB, aboveName, QStringLiteral("QV58M model 842"),
              spanLaeq + " dB",
              QStringLiteral("Created ") + GraphTexts::dateTimeText(GraphTexts::fromDateTime(created))})
            QVERIFY2(page.contains(text), qPrintable(text + " not in\n" + page));
        // The whole series' LAeq on its row, before the span's.
        QVERIFY2(page.contains(QRegularExpression("LAeq\\s+" + QRegularExpression::escape(laeq) +
                                                  " dB\\s+" +
                                                  QRegularExpression::escape(spanLaeq) + " dB")),
                 qPrintable(page));
    }

    void cancelledQuestionsWriteNothing_data()
    {
        QTest::addColumn<bool>("titleGiven");
        QTest::addColumn<bool>("fileGiven");
        QTest::addColumn<int>("fileDialogs");
        QTest::newRow("title cancelled") << false << true << 0;
        QTest::newRow("file cancelled") << true << false << 1;
    }

    void cancelledQuestionsWriteNothing()
    {
        QFETCH(bool, titleGiven);
        QFETCH(bool, fileGiven);
        QFETCH(int, fileDialogs);
        TfrmGraph& window = loggerWindow();
        ReportScript script;
        if (!titleGiven)
            script.title.reset();
        const QString path = dir_.filePath("cancelled.pdf");
        if (fileGiven)
            script.fileName = path;
        QVERIFY(!commands(script)->ExportReport1Click(&window));
        QCOMPARE(script.saveRequests.size(), fileDialogs);
        QVERIFY(!QFile::exists(path));
        QCOMPARE(script.errors, QStringList());
    }

    void failedWriteIsShownAndLeavesNoFile()
    {
        TfrmGraph& window = loggerWindow();
        ReportScript script;
        script.fileName = dir_.filePath("no/such/folder/report.pdf");
        QVERIFY(!commands(script)->ExportReport1Click(&window));
        QCOMPARE(script.errors.size(), 1);
        QVERIFY2(script.errors.first().startsWith("Cannot create the file"),
                 qPrintable(script.errors.first()));
        QVERIFY(!QFile::exists(script.fileName));
        QVERIFY(!QFileInfo::exists(dir_.filePath("no")));
    }

    void onlyAGraphWindowHasAReport()
    {
        QWidget other;
        ReportScript script;
        script.fileName = dir_.filePath("other.pdf");
        QVERIFY(!commands(script)->ExportReport1Click(&other));
        QVERIFY(!commands(script)->ExportReport1Click(nullptr));
        QCOMPARE(script.titlesOffered, QStringList());
        QVERIFY(!QFile::exists(script.fileName));
    }
};

AUDIMARK_TEST_MAIN_GUI(TestNoiseReport)
#include "tst_noisereport.moc"
