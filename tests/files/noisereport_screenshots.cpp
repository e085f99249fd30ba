// Pages of the PDF noise report for a person to look at: the DataLogger
// graph's report through File > "Export Report (PDF)..." on A4 (de_DE) and
// Letter (en_US), with the cursors on a span and annotations, and without
// cursors, with the details of a consultant; and the reports of a set of
// one sample and of a 7-day set, on A4 and Letter, in de_DE and zh_TW.
// Writes the PDFs into the folder given (default: the current one); render
// them with `pdftoppm -r 100 -png`.

#include <QApplication>

#include "data/GeneratedDataSets.h"
#include "data/GraphTexts.h"
#include "files/windows/FileCommands.h"
#include "graph/GraphWindowState.h"
#include "graph/PESGraph.h"
#include "graph/TfrmGraph.h"
#include "graph/Tslider2.h"

#include <QDir>
#include <QStandardPaths>

#include "data/SeriesStatistics.h"
#include "files/windows/NoiseReportPrinter.h"
#include "files/windows/TfrmReportDetails.h"
#include <cmath>
#include <utility>

namespace {
bool writeReport(const QString& path, const QLocale& locale, bool cursors)
{
    QLocale::setDefault(locale);
    const double start = GraphTexts::fromDateTime(QDateTime(QDate(2010, 4, 14), QTime(21, 30)));
    const DataSetCollection sets = GeneratedDataSets::collection({{start, 5, 1440, true}});
    GraphWindowState state;
    state.dataSets = &sets;
    TfrmGraph window(state);
    window.setWindowTitle(TfrmGraph::LoggerCaption);
    window.resize(1100, 650);
    window.show();
    if (!window.showDataSet(0))
        return false;
    if (cursors) {
        window.slider()->SetValue1(300);
        window.slider()->SetValue2(700);
    } else {
        window.clearCursorTexts();
    }
    const auto annotate = [&](int slot, int point, const QString& text, PESAnnotationType type) {
        PESGraphAnnotation annotation;
        annotation.x = window.graph()->xDataII(0, point);
        annotation.y = window.graph()->yData(0, point) + 6;
        annotation.type = type;
        annotation.text = text;
        window.graph()->setGraphAnnotation(slot, annotation);
        state.AnnotationCount = std::max(state.AnnotationCount, slot);
    };
    annotate(5, 420, QStringLiteral("Lorry unloading"), PESAnnotationType::TextOnly);
    annotate(6, 1100, QString(), PESAnnotationType::Cross);

    FileCommands::Context context;
    context.graphs = &state;
    context.dialogs.exec = [](QDialog& dialog) {
        if (auto* input = qobject_cast<TfrmReportDetails*>(&dialog)) {
            input->setFieldText("title", QStringLiteral("Night noise at the northern boundary "
                                                        "of the container terminal, Harbour "
                                                        "Road 12, reefer units and straddle "
                                                        "carriers at work"));
            const QList<std::pair<QString, QString>> details = {
                {"site", "Container terminal north, Harbour Road 12"},
                {"position", "MP 2, 1.5 m above ground, 3.5 m from the facade"},
                {"client", "Harbour Residents' Association"},
                {"operator", "A. Weber"},
                {"instrument-serial", "842-004711"},
                {"instrument-class", "2"},
                {"calibration-before", QLocale().toString(94.0, 'f', 1)},
                {"calibration-after", QLocale().toString(94.2, 'f', 1)},
                {"weather", QString::fromUtf8("dry, 8 \u00b0C, wind 2 m/s from the west")},
                {"notes", "Reefer units ran all night; two lorries unloaded at 23:10."}};
            for (const auto& [name, text] : details)
                input->setFieldText(name, text);
        }
        return int(QDialog::Accepted);
    };
    context.dialogs.saveFileName = [path](QWidget*, const FileDialogRequest&) { return path; };
    context.dialogs.showError = [](QWidget*, const QString& text) { qWarning("%s", qPrintable(text)); };
    FileCommands commands(context);
    return commands.ExportReport1Click(&window);
}
} // namespace

// The report of a series of `samples` levels `interval` seconds apart,
// drawn straight by the printer.
bool writeSeriesReport(const QString& path, const QLocale& locale, int samples, int interval,
                       ReportPaper paper)
{
    QLocale::setDefault(locale);
    std::vector<double> times;
    std::vector<float> levels;
    const double start = GraphTexts::fromDateTime(QDateTime(QDate(2024, 3, 4), QTime(7, 0)));
    for (int i = 0; i < samples; ++i) {
        const double t = start + double(i) * interval / 86400.0;
        const double hour = std::fmod(t, 1.0) * 24.0;
        const bool day = hour >= 7.0 && hour < 22.0;
        times.push_back(t);
        levels.push_back(float((day ? 48.0 : 31.0) + 6.0 * std::sin(double(i) * 0.37) +
                               (i % 53 == 0 ? 25.0 : 0.0)));
    }
    const GraphStatisticTexts texts =
        GraphStatisticTexts::of(SeriesStatistics::whole(times, levels), locale);
    ReportSeries series = ReportSeries::fromPoints(times, levels, texts);
    // As a data set of the logger gives it.
    series.intervalSeconds = interval;
    series.weighting = AcousticWeighting::A;
    NoiseReport report = NoiseReport::of(series, {}, 65.0, locale);
    report.paper = paper;
    report.title = samples == 1 ? QStringLiteral("One reading") : QStringLiteral("Week 10 at MP 2");
    report.created = QDateTime::currentDateTime();
    report.details.site = QStringLiteral("Harbour Road 12");
    report.details.calibrationBefore = 94.0;
    report.details.calibrationAfter = 93.9;
    report.makeSections(series);
    NoiseReportChart chart;
    chart.times = series.times;
    chart.levels = series.levels;
    chart.intervalSeconds = series.intervalSeconds;
    return NoiseReportPrinter::writePdf(path, report, chart).written();
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // The details it types are remembered in settings of its own, not the user's.
    QStandardPaths::setTestModeEnabled(true);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath());
    const QLocale de(QLocale::German, QLocale::Germany);
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    bool ok = writeReport(out.filePath("noise-report-a4.pdf"), de, true);
    ok = writeReport(out.filePath("noise-report-a4-no-cursors.pdf"), de, false) && ok;
    ok = writeReport(out.filePath("noise-report-letter.pdf"), us, true) && ok;
    ok = writeReport(out.filePath("noise-report-letter-no-cursors.pdf"), us, false) && ok;
    const QLocale tw(QLocale::Chinese, QLocale::Taiwan);
    // The details dialog as the report asks it, filled in.
    {
        QLocale::setDefault(de);
        TfrmReportDetails dialog;
        ReportDetailsStore::Entry entry;
        entry.title = QStringLiteral("Nachtmessung Hafenstra\u00dfe 12");
        entry.details.site = QStringLiteral("Containerterminal Nord");
        entry.details.instrumentModel = QStringLiteral("QV58M model 842");
        entry.details.calibrationBefore = 94.0;
        entry.details.calibrationAfter = 93.8;
        entry.details.notes = QStringLiteral("K\u00fchlcontainer liefen die ganze Nacht.");
        dialog.setEntry(entry);
        dialog.show();
        ok = dialog.grab().save(out.filePath("report-details-dialog.png")) && ok;
    }
    ok = writeReport(out.filePath("noise-report-zh-tw.pdf"), tw, true) && ok;
    for (const auto& [name, locale] : {std::pair{"de", de}, {"zh-tw", tw}}) {
        for (const auto& [paperName, paper] :
             {std::pair{"a4", ReportPaper::A4}, {"letter", ReportPaper::Letter}}) {
            const QString suffix = QStringLiteral("%1-%2.pdf").arg(name, paperName);
            ok =
                writeSeriesReport(out.filePath("one-sample-" + suffix), locale, 1, 60, paper) && ok;
            ok = writeSeriesReport(out.filePath("seven-days-" + suffix), locale, 7 * 1440, 60,
                                   paper) &&
                 ok;
        }
    }
    return ok ? 0 : 1;
}
