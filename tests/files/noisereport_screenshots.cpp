// Pages of the PDF noise report for a person to look at: the DataLogger
// graph's report through File > "Export Report (PDF)..." on A4 (de_DE) and
// Letter (en_US), with the cursors on a span and annotations, and without
// cursors. Writes the PDFs into the folder given (default: the current
// one); render them with `pdftoppm -r 100 -png`.

#include <QApplication>

#include "data/GeneratedDataSets.h"
#include "data/GraphTexts.h"
#include "files/windows/FileCommands.h"
#include "graph/GraphWindowState.h"
#include "graph/PESGraph.h"
#include "graph/TfrmGraph.h"
#include "graph/Tslider2.h"

#include <QDir>
#include <QInputDialog>

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
        if (auto* input = qobject_cast<QInputDialog*>(&dialog))
            input->setTextValue(QStringLiteral("Night noise, Harbour Road 12"));
        return int(QDialog::Accepted);
    };
    context.dialogs.saveFileName = [path](QWidget*, const FileDialogRequest&) { return path; };
    context.dialogs.showError = [](QWidget*, const QString& text) { qWarning("%s", qPrintable(text)); };
    FileCommands commands(context);
    return commands.ExportReport1Click(&window);
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath());
    const QLocale de(QLocale::German, QLocale::Germany);
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    bool ok = writeReport(out.filePath("noise-report-a4.pdf"), de, true);
    ok = writeReport(out.filePath("noise-report-a4-no-cursors.pdf"), de, false) && ok;
    ok = writeReport(out.filePath("noise-report-letter.pdf"), us, true) && ok;
    ok = writeReport(out.filePath("noise-report-letter-no-cursors.pdf"), us, false) && ok;
    return ok ? 0 : 1;
}
