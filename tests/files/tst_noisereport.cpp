// File > "Export Report (PDF)..." on a graph window: the title and details
// asked (prefilled with those entered for the measurement before), the file
// chosen, a PDF of the locale's paper whose first page holds the title, the
// details, the start time and the cursor times of the window (with
// four-digit years) and the set's LAeq, numbered "Page n of N"; long titles
// wrap, whole; the pages of a report for a person to look at;
// cancelling either question writes nothing; a failed write is shown and
// leaves no file. And the paper by the locale's country, the points a span
// of times takes, and the report of times that run backwards.

#include <QApplication>

#include "common/TestMain.h"
#include "data/GeneratedDataSets.h"
#include "data/GraphTexts.h"
#include "files/formats/NoiseReport.h"
#include "files/windows/FileCommands.h"
#include "graph/AcousticBox.h"
#include "graph/GraphWindowState.h"
#include "graph/PESGraph.h"
#include "graph/TfrmGraph.h"
#include "graph/Tslider2.h"

#include "files/windows/NoiseReportPrinter.h"
#include "files/windows/TfrmReportDetails.h"
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimeEdit>

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
    QStringList details;                                         // name=text typed into the dialog
    QStringList titlesOffered;
    QStringList detailsOffered; // name=text of the fields not empty
    QStringList settingsOffered; // name=text of the tables' settings
    QList<FileDialogRequest> saveRequests;
    QStringList errors;

    FileDialogRunner runner()
    {
        FileDialogRunner runner;
        runner.exec = [this](QDialog& dialog) {
            auto* input = qobject_cast<TfrmReportDetails*>(&dialog);
            if (!input)
                return int(QDialog::Rejected);
            titlesOffered << input->fieldText("title");
            for (const ReportDetails::Field& field : ReportDetails::fields())
                if (!input->fieldText(field.name).isEmpty())
                    detailsOffered << field.name + "=" + input->fieldText(field.name);
            for (const QString& name : ReportSettings::names())
                settingsOffered << name + "=" + input->fieldText(name);
            if (!title)
                return int(QDialog::Rejected);
            input->setFieldText("title", *title);
            for (const QString& detail : details)
                input->setFieldText(detail.section('=', 0, 0), detail.section('=', 1));
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
        QSettings().clear(); // the details remembered for the measurements
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
        QVERIFY2(info.contains(QRegularExpression("Pages:\\s+3\n")), qPrintable(info));
        QVERIFY2(info.contains("(" + paper + ")"), qPrintable(info));
        const QString page = runTool("pdftotext", {"-layout", "-l", "1", script.fileName, "-"});
        // The LAeq the window's "Acoustic" box shows, whole and between the cursors.
        const AcousticBox& box = *window.acousticBox();
        QCOMPARE(box.rowName(AcousticBox::Leq), QStringLiteral("LAeq"));
        const QString laeq = box.text(AcousticBox::Whole, AcousticBox::Leq);
        const QString spanLaeq = box.text(AcousticBox::Cursors, AcousticBox::Leq);
        QVERIFY(!laeq.isEmpty() && !spanLaeq.isEmpty());
        // The window's times, with four-digit years.
        const auto shownTime = [&window](int point) {
            return NoiseReportTexts::dateTimeText(window.graph()->xDataII(0, point));
        };
        const int a = cursorA >= 0 ? cursorA : window.slider()->Value1();
        const int b = cursorA >= 0 ? cursorB : window.slider()->Value2();
        QVERIFY(shownTime(0).contains("2010"));
        for (const QString& text :
             {QStringLiteral("Night shift"), shownTime(0), shownTime(a), shownTime(b),
              shown.between.avgAB, aboveName, QStringLiteral("QV58M model 842"), spanLaeq + " dB",
              QStringLiteral("Page 1 of 3"), QStringLiteral("Arithmetic mean of dB values"),
              QStringLiteral("Created ") +
                  NoiseReportTexts::dateTimeText(GraphTexts::fromDateTime(created))})
            QVERIFY2(page.contains(text), qPrintable(text + " not in\n" + page));
        // The whole series' LAeq on its row, before the span's.
        QVERIFY2(page.contains(QRegularExpression("LAeq\\s+" + QRegularExpression::escape(laeq) +
                                                  " dB\\s+" +
                                                  QRegularExpression::escape(spanLaeq) + " dB")),
                 qPrintable(page));
    }

    // The details typed for a measurement come back for it, and reach the
    // first page.
    void detailsAreRememberedPerMeasurement()
    {
        if (QStandardPaths::findExecutable("pdftotext").isEmpty())
            QSKIP("poppler-utils are not installed");
        QLocale::setDefault(us);
        TfrmGraph& window = loggerWindow();
        ReportScript script;
        script.fileName = dir_.filePath("site.pdf");
        script.details = {"site=Harbour Road 12", "instrument-serial=4711",
                          "calibration-before=94.0", "calibration-after=94.2",
                          "weather=dry, wind 2 m/s"};
        QVERIFY(commands(script)->ExportReport1Click(&window));
        QCOMPARE(script.detailsOffered, QStringList{"instrument-model=QV58M model 842"});
        const QString page = runTool("pdftotext", {"-layout", "-l", "1", script.fileName, "-"});
        for (const QString text :
             {"Harbour Road 12", "QV58M model 842, serial 4711",
              "94.0 dB before, 94.2 dB after, drift +0.2 dB", "dry, wind 2 m/s"})
            QVERIFY2(page.contains(text), qPrintable(text + " not in\n" + page));

        ReportScript again;
        again.title.reset();
        QVERIFY(!commands(again)->ExportReport1Click(&window));
        QCOMPARE(again.titlesOffered, QStringList{"Night shift"});
        QCOMPARE(again.detailsOffered,
                 (QStringList{"site=Harbour Road 12", "instrument-model=QV58M model 842",
                              "instrument-serial=4711", "calibration-before=94.0",
                              "calibration-after=94.2", "weather=dry, wind 2 m/s"}));
    }

    // The tables' settings set in the dialog make the pages after the
    // first, and are offered again for the measurement.
    void dialogSettingsMakeTheTables()
    {
        if (QStandardPaths::findExecutable("pdftotext").isEmpty())
            QSKIP("poppler-utils are not installed");
        QLocale::setDefault(us);
        TfrmGraph& window = loggerWindow();
        window.acousticBox()->setThreshold(50.0);
        ReportScript script;
        script.fileName = dir_.filePath("tables.pdf");
        script.details = {"period=1m", "min-duration=30s", "hysteresis=1",
                          "den-hours=06:00,18:00,22:00", "den-penalties=3,8"};
        QVERIFY(commands(script)->ExportReport1Click(&window));
        const QString rest = runTool("pdftotext", {"-f", "2", script.fileName, "-"}).simplified();
        for (const QString text : {"LAeq,1min", "Day 06:00\u201318:00", "(+3.0 dB)", "(+8.0 dB)",
                                   "for at least 30.0 s, ended by a level below 49.0 dB"})
            QVERIFY2(rest.contains(text), qPrintable(text + " not in\n" + rest));

        ReportScript again;
        again.title.reset();
        QVERIFY(!commands(again)->ExportReport1Click(&window));
        for (const QString& setting : script.details)
            QVERIFY2(again.settingsOffered.contains(setting), qPrintable(setting));
    }

    // The pages as the printer lays them out: a title of any length wraps
    // whole, the details and dates on the first page, the pages numbered.
    void pagesOfTheReport_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<int>("samples");
        QTest::addColumn<int>("interval");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("notes");
        QTest::addColumn<QString>("firstDate");
        QTest::addColumn<int>("pages");
        QTest::addColumn<int>("periodPages"); // the period table's heading row on each
        const QString longTitle = QStringLiteral(
            "Environmental noise survey at the northern boundary of the container terminal, "
            "Harbour Road 12, night-time operations with reefer units and straddle carriers");
        QTest::newRow("de_DE, a long title, 7 days") << de << 10080 << 60 << longTitle << ""
                                                     << "05.03.2024" << 6 << 4;
        QTest::newRow("zh_TW, 1 sample") << QLocale(QLocale::Chinese, QLocale::Taiwan) << 1 << 1
                                         << QString::fromUtf8("夜間噪音測量") << ""
                                         << "2024/3/5" << 3 << 1;
        QTest::newRow("en_US, notes too long for the first page")
            << us << 600 << 2 << "Night" << QString("Wind picked up after midnight. ").repeated(40)
            << "3/5/2024" << 3 << 1;
    }

    void pagesOfTheReport()
    {
        QFETCH(QLocale, locale);
        QFETCH(int, samples);
        QFETCH(int, interval);
        QFETCH(QString, title);
        QFETCH(QString, notes);
        QFETCH(QString, firstDate);
        QFETCH(int, pages);
        QFETCH(int, periodPages);
        if (QStandardPaths::findExecutable("pdftotext").isEmpty())
            QSKIP("poppler-utils are not installed");
        QLocale::setDefault(locale);
        std::vector<double> times;
        std::vector<float> levels;
        const double start = GraphTexts::fromDateTime(QDateTime(QDate(2024, 3, 5), QTime(21, 0)));
        for (int i = 0; i < samples; ++i) {
            times.push_back(start + double(i) * interval / 86400.0);
            levels.push_back(28.f + float(i % 97) / 10.f);
        }
        ReportSeries series = ReportSeries::fromPoints(times, levels, {});
        series.weighting = AcousticWeighting::A;
        NoiseReport report = NoiseReport::of(series, {}, 85.0, locale);
        report.title = title;
        report.created = created;
        report.details.site = "Harbour Road 12";
        report.details.notes = notes;
        report.makeSections(series);
        NoiseReportChart chart;
        chart.times = series.times;
        chart.levels = series.levels;
        chart.intervalSeconds = series.intervalSeconds;
        const QString pdf = dir_.filePath(QStringLiteral("pages-%1.pdf").arg(samples));
        const FileWriteOutcome outcome = NoiseReportPrinter::writePdf(pdf, report, chart);
        QVERIFY2(outcome.written(), qPrintable(outcome.error));
        QCOMPARE(outcome.lines, pages);

        const QString first = runTool("pdftotext", {"-l", "1", pdf, "-"});
        const QString all = runTool("pdftotext", {pdf, "-"});
        // Every word of the title, none cut off.
        for (const QString& word : title.split(' '))
            QVERIFY2(first.contains(word), qPrintable(word + " not in\n" + first));
        QVERIFY(!first.contains(QChar(0x2026)) || !notes.isEmpty());
        for (const QString& text : {firstDate, QStringLiteral("Harbour Road 12"),
                                    QStringLiteral("Page 1 of %1").arg(pages)})
            QVERIFY2(first.contains(text), qPrintable(text + " not in\n" + first));
        QVERIFY2(all.contains(QStringLiteral("Page %1 of %1").arg(pages)), qPrintable(all));
        QVERIFY(all.contains("nearest rank"));
        // The tables after the first page; none of the levels lies above
        // the threshold; a table that flows on repeats its heading row.
        for (const QString& heading :
             {"Period levels", "Day, evening and night", "Exceedance events",
              "None: the level never stayed above", "Level distribution"})
            QVERIFY2(all.contains(heading), qPrintable(heading));
        QCOMPARE(all.count("Samples"), periodPages);
        // Notes too long for the first page follow whole after it.
        if (!notes.isEmpty())
            QCOMPARE(runTool("pdftotext", {"-f", "2", pdf, "-"})
                         .simplified()
                         .count("Wind picked up after midnight."),
                     40);
    }

    // The dialog shows the drift as the levels are typed and keeps OK from
    // closing it while a level does not read.
    void detailsDialogDriftAndLevels_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("drift");
        QTest::addColumn<bool>("closes");
        QTest::newRow("drift down") << "94.0"
                                    << "93.7"
                                    << "-0.3 dB" << true;
        QTest::newRow("no drift yet") << "94.0"
                                      << ""
                                      << "(after - before, once both are given)" << true;
        QTest::newRow("a level that does not read")
            << "94.0"
            << "94 dB"
            << "(after - before, once both are given)" << false;
    }

    void detailsDialogDriftAndLevels()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(QString, drift);
        QFETCH(bool, closes);
        QLocale::setDefault(us);
        TfrmReportDetails dialog;
        dialog.show();
        dialog.setFieldText("calibration-before", before);
        dialog.setFieldText("calibration-after", after);
        QCOMPARE(dialog.driftText(), drift);
        QSignalSpy accepted(&dialog, &QDialog::accepted);
        dialog.accept();
        QCOMPARE(accepted.size(), closes ? 1 : 0);
        QCOMPARE(dialog.isVisible(), !closes);
        QCOMPARE(dialog.errorText().contains("Calibration after (dB)"), !closes);
    }

    // The day, evening and night must follow each other round the clock.
    void detailsDialogKeepsTheDayBeforeTheEvening()
    {
        QLocale::setDefault(us);
        TfrmReportDetails dialog;
        dialog.show();
        auto* evening = dialog.findChild<QTimeEdit*>("evening-start");
        QVERIFY(evening);
        evening->setTime(QTime(6, 0));
        QSignalSpy accepted(&dialog, &QDialog::accepted);
        dialog.accept();
        QCOMPARE(accepted.size(), 0);
        QVERIFY2(dialog.errorText().contains("in that order round the clock"),
                 qPrintable(dialog.errorText()));
        evening->setTime(QTime(20, 30));
        dialog.accept();
        QCOMPARE(accepted.size(), 1);
        QCOMPARE(dialog.entry().settings.value("den-hours"), QString("07:00,20:30,23:00"));
    }

    // The tables over the span between the cursors are offered only with
    // one; without, the choice shows the whole series and stays remembered.
    void detailsDialogOffersTheSpanOnlyWithOne()
    {
        TfrmReportDetails dialog;
        auto* over = dialog.findChild<QComboBox*>("tables-over");
        QVERIFY(over);
        ReportDetailsStore::Entry entry;
        QVERIFY(entry.settings.setValue("tables-over", "span"));
        dialog.setEntry(entry);
        QVERIFY(!over->isEnabled());
        QCOMPARE(over->currentText(), QString("The whole series"));
        QCOMPARE(dialog.entry().settings.value("tables-over"), QString("span"));
        dialog.setHasSpan(true);
        QVERIFY(over->isEnabled());
        QCOMPARE(over->currentText(), QString("Between the cursors"));
        over->setCurrentIndex(0);
        QCOMPARE(dialog.entry().settings.value("tables-over"), QString("whole"));
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

    // The points from --from up to, not including, --to; a start before the
    // first point is the first point; a date and time reaches any day.
    void spanOfTimes_data()
    {
        QTest::addColumn<QDateTime>("start");
        QTest::addColumn<int>("spacing");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::addColumn<QString>("error");
        const QDateTime morning(QDate(2024, 3, 5), QTime(8, 29));
        const QDateTime evening(QDate(2024, 3, 5), QTime(22, 0));
        const QDateTime days(QDate(2024, 3, 4), QTime(12, 0));
        QTest::newRow("a start before the first point is the first point")
            << morning << 30 << 400 << "08:00" << "09:00" << 0 << 61 << "";
        QTest::newRow("23:00 to 07:00 at 60 s is 480 points, not 481")
            << evening << 60 << 720 << "23:00" << "07:00" << 60 << 539 << "";
        QTest::newRow("a stretch that ended before the series is the next day's")
            << evening << 60 << 720 << "00:00" << "01:00:00" << 120 << 179 << "";
        QTest::newRow("a later day by date and time")
            << days << 60 << 4320 << "2024-03-05T23:00" << "2024-03-06T07:00" << 2100 << 2579
            << "";
        QTest::newRow("a date and time, then a time of day")
            << days << 60 << 4320 << "2024-03-05T23:00" << "07:00" << 2100 << 2579 << "";
        QTest::newRow("a time of day, then a date and time")
            << days << 60 << 4320 << "23:00" << "2024-03-06T07:00:00" << 2100 << 2579 << "";
        QTest::newRow("a blank for the T")
            << days << 60 << 4320 << "2024-03-05 23:00" << "2024-03-06 07:00" << 2100 << 2579
            << "";
        QTest::newRow("equal times of day are a whole day")
            << days << 60 << 4320 << "12:00" << "12:00" << 0 << 1439 << "";
        QTest::newRow("to before from")
            << days << 60 << 4320 << "2024-03-06T07:00" << "2024-03-05T23:00" << -1 << -1
            << "--to 2024-03-05T23:00 is not after --from 2024-03-06T07:00";
        QTest::newRow("no point in the span")
            << morning << 30 << 400 << "2024-03-06T08:00" << "2024-03-06T09:00" << -1 << -1
            << "no point lies from 2024-03-06T08:00 to 2024-03-06T09:00";
        QTest::newRow("no such date")
            << morning << 30 << 400 << "2024-02-30T08:00" << "09:00" << -1 << -1
            << "not \"2024-02-30T08:00\"";
    }

    void spanOfTimes()
    {
        QFETCH(QDateTime, start);
        QFETCH(int, spacing);
        QFETCH(int, count);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(QString, error);
        std::vector<double> times;
        for (int i = 0; i < count; ++i)
            times.push_back(GraphTexts::fromDateTime(start) + i * spacing / 86400.0);
        const ReportSpanChoice choice = reportSpanOfTimes(times, from, to);
        if (first < 0) {
            QVERIFY(!choice.span);
            QVERIFY2(choice.error.contains(error), qPrintable(choice.error));
            return;
        }
        QVERIFY2(choice.span, qPrintable(choice.error));
        QCOMPARE(choice.span->first, first);
        QCOMPARE(choice.span->last, last);
    }

    // The report of points whose times run backwards (a graph window's
    // series) shows no interval, duration or time in seconds, and its end
    // does not come before its start.
    void reportOfTimesThatRunBackwards()
    {
        const double t0 = GraphTexts::fromDateTime(QDateTime(QDate(2024, 3, 5), QTime(9, 0)));
        const ReportSeries series = ReportSeries::fromPoints(
            {t0, t0 - 24 / 86400.0, t0 - 48 / 86400.0}, {70.f, 90.f, 70.f}, {});
        const NoiseReport report = NoiseReport::of(series, ReportSpan{0, 1}, 85.0, us);
        QCOMPARE(report.interval, QString());
        QCOMPARE(report.startTime, GraphTexts::dateTimeText(t0 - 48 / 86400.0, us));
        QCOMPARE(report.endTime, GraphTexts::dateTimeText(t0, us));
        QStringList duration;
        QStringList above;
        for (const ReportTableRow& row : report.tableRows(us)) {
            if (row.name == "Duration")
                duration << row.whole << row.span;
            if (row.name.startsWith("Time above"))
                above << row.whole << row.span;
        }
        QCOMPARE(duration, (QStringList{"", ""}));
        QCOMPARE(above, (QStringList{"33.3 %", "50.0 %"}));
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
