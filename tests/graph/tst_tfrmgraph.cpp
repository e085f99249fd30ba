#include <QApplication>

#include "common/TestMain.h"

#include "data/GeneratedDataSets.h"
#include "data/GraphTexts.h"
#include "graph/GraphFlowLayout.h"
#include "graph/PESGraph.h"
#include "graph/PESGraphDateTimeTicker.h"
#include "graph/TfrmAnnoEdit.h"
#include "graph/TfrmDelAnno.h"
#include "graph/TfrmGraph.h"
#include "graph/Tslider2.h"
#include "serial/ComErrors.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtEndian>
#include <qcustomplot.h>

#include <cmath>
#include <memory>

namespace {
// 14 April 2010 10:15:42 as days since 30 December 1899.
const double kMorning = GraphTexts::fromDateTime(QDateTime(QDate(2010, 4, 14), QTime(10, 15, 42)));
constexpr double kSecond = 1.0 / 86400.0;

// Answers every question with one button and records the texts shown.
struct ScriptedDialogs
{
    QMessageBox::StandardButton answer = QMessageBox::Yes;
    QStringList asked;
    QStringList told;
    std::function<int(QDialog&)> exec = [](QDialog&) { return int(QDialog::Rejected); };

    GraphDialogRunner runner()
    {
        GraphDialogRunner r;
        r.exec = [this](QDialog& dialog) { return exec(dialog); };
        r.ask = [this](QWidget*, const QString& text, QMessageBox::StandardButtons) {
            asked << text;
            return answer;
        };
        r.inform = [this](QWidget*, const QString& text) { told << text; };
        return r;
    }
};

// A text dialog that the "user" fills with text and confirms, or cancels.
std::function<int(QDialog&)> typeText(const QString& text, bool confirm = true)
{
    return [text, confirm](QDialog& dialog) {
        auto* edit = qobject_cast<TfrmAnnoEdit*>(&dialog);
        if (!edit)
            return int(QDialog::Rejected);
        edit->Edit1()->setText(text);
        return int(confirm ? QDialog::Accepted : QDialog::Rejected);
    };
}

QString field(const TfrmGraph& w, const char* name)
{
    if (auto* edit = w.findChild<QLineEdit*>(QLatin1String(name)))
        return edit->text();
    if (auto* combo = w.findChild<QComboBox*>(QLatin1String(name)))
        return combo->currentText();
    return QStringLiteral("<no field %1>").arg(QLatin1String(name));
}

// A file graph: the series written point by point, then its statistics.
void fill(TfrmGraph& w, const QList<float>& levels, double step = kSecond)
{
    const int n = int(levels.size());
    w.prepareGraph(1, 130, 30, kMorning + (n - 1) * step, kMorning, n);
    for (int i = 0; i < n; ++i) {
        w.graph()->setXDataII(0, i, kMorning + i * step);
        w.graph()->setYData(0, i, levels[i]);
    }
    w.updateGraphStatistic();
}

QList<float> wave(int n)
{
    QList<float> levels;
    for (int i = 0; i < n; ++i)
        levels << float(std::round((70.0 + 20.0 * std::sin(i / 7.0)) * 10.0) / 10.0);
    return levels;
}

QPoint pixelOf(const PESGraph& chart, double x, double y)
{
    return chart.valueToPixel(x, y).toPoint();
}

// Pixels of the chart as painted, in a box of 9 x 9 around `at`, that have
// the colour of series 0 (yellow).
int seriesPixelsAround(PESGraph& chart, QPoint at)
{
    const QImage image = chart.grab().toImage();
    int found = 0;
    for (int y = at.y() - 4; y <= at.y() + 4; ++y)
        for (int x = at.x() - 4; x <= at.x() + 4; ++x) {
            const QColor c = image.pixelColor(x, y);
            found += c.red() > 200 && c.green() > 200 && c.blue() < 100;
        }
    return found;
}
} // namespace

class TestTfrmGraph : public QObject
{
    Q_OBJECT

    QTemporaryDir data_;
    GraphWindowState state_;
    ScriptedDialogs dialogs_;
    DataSetCollection sets_;
    std::unique_ptr<TfrmGraph> window_;

    TfrmGraph& window(const QString& caption = QStringLiteral("trace.ghf"))
    {
        window_ = std::make_unique<TfrmGraph>(state_);
        window_->setWindowTitle(caption);
        window_->resize(1100, 650);
        window_->show();
        return *window_;
    }

    void writeTemplate(const QByteArray& block)
    {
        QDir().mkpath(state_.templateFolder());
        QFile file(state_.templatePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        char length[4];
        qToLittleEndian<quint32>(quint32(block.size()), length);
        file.write(length, 4);
        file.write(block);
    }

private slots:
    void init()
    {
        QLocale::setDefault(QLocale::c());
        state_ = GraphWindowState{};
        state_.dataDirectory = data_.path();
        dialogs_ = ScriptedDialogs{};
        state_.dialogs = dialogs_.runner();
        state_.dataSets = &sets_;
        QFile::remove(state_.templatePath());
    }
    void cleanup() { window_.reset(); }

    // ---- Statistics ------------------------------------------------------

    void statisticsOfTheWholeSeries()
    {
        TfrmGraph& w = window();
        QList<float> levels(10, 60.f);
        levels[3] = levels[7] = 90.f; // the first of equal extremes wins
        levels[2] = levels[8] = 40.f;
        fill(w, levels);
        QCOMPARE(field(w, "txtStartTime"), QStringLiteral("14 Apr 2010 10:15:42"));
        QCOMPARE(field(w, "txtSamplingRate"), QStringLiteral("0.9")); // 9 s / 10 points
        QCOMPARE(field(w, "txtDataNo"), QStringLiteral("10"));
        QCOMPARE(field(w, "txtAvgAll"), QStringLiteral("62.0"));
        QCOMPARE(field(w, "txtMax"), QStringLiteral("90.0"));
        QCOMPARE(field(w, "txtMaxTime"), QStringLiteral("14 Apr 2010 10:15:45"));
        QCOMPARE(field(w, "txtMin"), QStringLiteral("40.0"));
        QCOMPARE(field(w, "txtMinTime"), QStringLiteral("14 Apr 2010 10:15:44"));
    }

    void averageOf60And80Is70()
    {
        TfrmGraph& w = window();
        fill(w, {60.f, 80.f});
        QCOMPARE(field(w, "txtAvgAll"), QStringLiteral("70.0"));
        // Two points: the slider spans 0..1 with the thumbs at 0 and 1.
        QCOMPARE(w.slider()->Maximum(), 1);
        QCOMPARE(w.slider()->Value1(), 0);
        QCOMPARE(w.slider()->Value2(), 1);
    }

    void statisticsUnderGerman()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        TfrmGraph& w = window();
        fill(w, {60.f, 80.25f});
        QCOMPARE(field(w, "txtAvgAll"), QStringLiteral("70,1"));
        QCOMPARE(field(w, "txtSamplingRate"), QStringLiteral("0,5"));
        QCOMPARE(field(w, "txtStartTime"), QStringLiteral("14.04.10 10:15:42"));
        // The rate list carries the comma once the window has been shown.
        auto* rates = w.findChild<QComboBox*>(QStringLiteral("txtSamplingRate"));
        QCOMPARE(rates->itemText(0), QStringLiteral("0,1"));
        QCOMPARE(rates->itemText(8), QStringLiteral("30,0"));
    }

    void emptySeriesShowsEmptyFields()
    {
        TfrmGraph& w = window();
        w.prepareGraph(1, 130, 30, 0, 0, 0);
        w.updateGraphStatistic();
        QCOMPARE(field(w, "txtDataNo"), QStringLiteral("0"));
        for (const char* name : {"txtStartTime", "txtSamplingRate", "txtAvgAll", "txtMax",
                                 "txtMaxTime", "txtMin", "txtMinTime", "txtAvgAB"})
            QVERIFY2(field(w, name).isEmpty(), name);
        QCOMPARE(w.slider()->Maximum(), 0);
    }

    void initialFields()
    {
        TfrmGraph& w = window();
        QCOMPARE(field(w, "txtAvgAll"), QStringLiteral("***.* dB "));
        QCOMPARE(field(w, "txtDataNo"), QStringLiteral("0"));
        QCOMPARE(field(w, "txtSamplingRate"), QStringLiteral("0.1"));
    }

    // ---- Cursors -----------------------------------------------------------

    void cursorStatisticsCoverLoToHi_data()
    {
        QTest::addColumn<int>("a");
        QTest::addColumn<int>("b");
        QTest::newRow("A right of B") << 10 << 4;
        QTest::newRow("A left of B") << 4 << 10;
    }
    void cursorStatisticsCoverLoToHi()
    {
        QFETCH(int, a);
        QFETCH(int, b);
        TfrmGraph& w = window();
        QList<float> levels(20, 50.f);
        levels[3] = 99.f;  // outside
        levels[11] = 10.f; // outside
        levels[5] = levels[9] = 80.f;
        levels[7] = 30.f;
        fill(w, levels);
        w.slider()->SetValue1(a);
        w.slider()->SetValue2(b);
        QCOMPARE(state_.CursorIndexA, a);
        QCOMPARE(state_.CursorIndexB, b);
        QCOMPARE(field(w, "txtMaxAB"), QStringLiteral("80.0"));
        QCOMPARE(field(w, "txtMaxABTime"), QStringLiteral("14 Apr 2010 10:15:47"));
        QCOMPARE(field(w, "txtMinAB"), QStringLiteral("30.0"));
        // Points 4..10: four of 50, two of 80 and one of 30.
        QCOMPARE(field(w, "txtAvgAB"), GraphTexts::levelText((4 * 50.0 + 2 * 80 + 30) / 7));
        QCOMPARE(field(w, "txtCursorA"), QStringLiteral("50.0"));
        QCOMPARE(field(w, "txtCursorATime"), GraphTexts::dateTimeText(kMorning + a * kSecond));
        QCOMPARE(w.graph()->vertLineAnnotation(0), kMorning + a * kSecond);
        QCOMPARE(w.graph()->vertLineAnnotation(1), kMorning + b * kSecond);
        QCOMPARE(w.graph()->vertLineAnnotationText(1),
                 QStringLiteral("|t10:15:%1\n50.0dB").arg(42 + b));
    }

    void bothCursorsOnOnePoint()
    {
        TfrmGraph& w = window();
        QList<float> levels(12, 50.f);
        levels[6] = 77.7f;
        fill(w, levels);
        w.slider()->SetValue1(6);
        w.slider()->SetValue2(6);
        QCOMPARE(field(w, "txtMaxAB"), QStringLiteral("77.7"));
        QCOMPARE(field(w, "txtMinAB"), QStringLiteral("77.7"));
        QCOMPARE(field(w, "txtAvgAB"), QStringLiteral("77.7"));
    }

    void cursorLinesCanBeDragged()
    {
        TfrmGraph& w = window();
        fill(w, wave(100));
        PESGraph* chart = w.graph();
        QCOMPARE(w.slider()->Value1(), 33);
        w.PESGraph1VertLineAnnotHotSpot(0);
        w.PESGraph1MouseMove(pixelOf(*chart, kMorning + 50.2 * kSecond, 60));
        QCOMPARE(w.slider()->Value1(), 50);
        QCOMPARE(field(w, "txtCursorATime"), GraphTexts::dateTimeText(kMorning + 50 * kSecond));
        // A little past the point: the pixel the pointer lands on may round down.
        w.PESGraph1MouseMove(pixelOf(*chart, kMorning + 10.2 * kSecond, 60));
        QCOMPARE(w.slider()->Value1(), 10);
        QCOMPARE(w.slider()->Value2(), 66);
        w.PESGraph1MouseUp();
        w.PESGraph1MouseMove(pixelOf(*chart, kMorning + 80 * kSecond, 60));
        QCOMPARE(w.slider()->Value1(), 10);
    }

    void pressOnACursorLineStartsTheDrag()
    {
        TfrmGraph& w = window();
        fill(w, wave(100));
        QCoreApplication::processEvents();
        PESGraph* chart = w.graph();
        auto* plot = chart->findChild<QCustomPlot*>();
        QVERIFY(plot);
        const QPoint line = pixelOf(*chart, chart->vertLineAnnotation(1), 80);
        const QPoint target = pixelOf(*chart, kMorning + 90.2 * kSecond, 80);
        QTest::mousePress(plot, Qt::LeftButton, {}, plot->mapFrom(chart, line));
        QTest::mouseMove(plot, plot->mapFrom(chart, target));
        QTest::mouseRelease(plot, Qt::LeftButton, {}, plot->mapFrom(chart, target));
        QCOMPARE(w.slider()->Value2(), 90);
        QVERIFY(!w.undoZoomEnabled()); // a drag on a line is no rubber band
    }

    // ---- Data sets -------------------------------------------------------

    void showDataSetPlotsTheSetsOwnSamples()
    {
        sets_ =
            GeneratedDataSets::collection({{kMorning, 1, 120, true}, {kMorning + 1, 2, 90, false}});
        TfrmGraph& w = window(TfrmGraph::LoggerCaption);
        QVERIFY(w.showDataSet(1));
        PESGraph* chart = w.graph();
        QCOMPARE(chart->points(), 90);
        QCOMPARE(chart->xDataII(0, 0), sets_.sampleTimes().at(120));
        QCOMPARE(chart->yData(0, 0), sets_.sampleValues().at(120));
        QCOMPARE(chart->yData(0, 89), sets_.sampleValues().at(209));
        QCOMPARE(chart->manualMinX(), kMorning + 1);
        QCOMPARE(chart->manualMaxX(), kMorning + 1 + 90 * 2 * kSecond);
        QCOMPARE(field(w, "txtSamplingRate"), QStringLiteral("2"));
        QCOMPARE(field(w, "txtDataNo"), QStringLiteral("90"));
        QCOMPARE(field(w, "txtMax"),
                 GraphTexts::levelText(chart->yData(0, sets_.maxIndex().at(1))));
        QCOMPARE(field(w, "txtAvgAll"), GraphTexts::levelText(sets_.average().at(1)));
        QCOMPARE(w.slider()->Maximum(), 89);
        QCOMPARE(w.slider()->Value1(), 30);
        QCOMPARE(w.slider()->Value2(), 60);
    }

    void showDataSetRefusesWhatItCannotShow()
    {
        sets_ = GeneratedDataSets::collection({{kMorning, 1, 120, true}});
        TfrmGraph& w = window(TfrmGraph::LoggerCaption);
        QVERIFY(w.showDataSet(0));
        QVERIFY(!w.showDataSet(1));
        QVERIFY(!w.showDataSet(-1));
        // Headers replaced without samples: the set is refused, the chart kept.
        DataSetHeaderColumns headers = sets_.headers();
        DataSetHeader longer = headers.at(0);
        longer.sampleCount = 5000;
        headers.clear();
        headers.append(longer);
        sets_.replaceHeaders(headers);
        QVERIFY(!w.showDataSet(0));
        QCOMPARE(w.graph()->points(), 120);
    }

    void cursorFieldsFollowASetOfTheSameLength()
    {
        sets_ =
            GeneratedDataSets::collection({{kMorning, 1, 60, true}, {kMorning + 1, 1, 60, true}});
        TfrmGraph& w = window(TfrmGraph::LoggerCaption);
        QVERIFY(w.showDataSet(0));
        const QString first = field(w, "txtCursorATime");
        QVERIFY(w.showDataSet(1));
        QCOMPARE(field(w, "txtCursorATime"), GraphTexts::dateTimeText(kMorning + 1 + 20 * kSecond));
        QVERIFY(first != field(w, "txtCursorATime"));
    }

    void clickingARowShowsItsSet()
    {
        sets_ =
            GeneratedDataSets::collection({{kMorning, 1, 30, true}, {kMorning + 1, 1, 40, true}});
        TfrmGraph& w = window(TfrmGraph::LoggerCaption);
        w.setDataSetsPanelVisible(true);
        w.setDataSetRows({{"1", "14 Apr 2010", "10:15:42", "00:01", "30", "A"},
                          {"2", "15 Apr 2010", "10:15:42", "00:01", "40", "A"}});
        auto* grid = w.findChild<QTableWidget*>(QStringLiteral("Grid2"));
        QCOMPARE(grid->rowCount(), 2);
        grid->selectRow(1);
        w.Grid2Click();
        QCOMPARE(w.graph()->points(), 40);
        // A row whose date is empty shows nothing.
        w.setDataSetRows({});
        grid->selectRow(0);
        w.Grid2Click();
        QCOMPARE(w.graph()->points(), 40);
    }

    // A set without samples, or with one, replaces the set shown before it
    // (3000 samples): its own start, rate and count, and cursor fields that
    // are empty or hold its one point, which is drawn.
    void setsOfFewSamples_data()
    {
        QTest::addColumn<int>("samples");
        QTest::newRow("no samples") << 0;
        QTest::newRow("one sample") << 1;
    }

    void setsOfFewSamples()
    {
        QFETCH(int, samples);
        const double start = kMorning + 1;
        sets_ =
            GeneratedDataSets::collection({{kMorning, 1, 3000, true}, {start, 2, samples, true}});
        TfrmGraph& w = window(TfrmGraph::LoggerCaption);
        QVERIFY(w.showDataSet(0));
        const QString before = w.exportStatisticText();
        QVERIFY(w.showDataSet(1));
        QVERIFY(w.exportStatisticText() != before);
        QCOMPARE(w.graph()->points(), samples);
        QCOMPARE(field(w, "txtStartTime"), GraphTexts::dateTimeText(start));
        QCOMPARE(field(w, "txtSamplingRate"), QStringLiteral("2"));
        QCOMPARE(field(w, "txtDataNo"), QString::number(samples));
        const QString level =
            samples ? GraphTexts::levelText(sets_.sampleValues().at(3000)) : QString();
        const QString time = samples ? GraphTexts::dateTimeText(start) : QString();
        for (const char* name : {"txtAvgAll", "txtMax", "txtMin", "txtCursorA", "txtCursorB",
                                 "txtMaxAB", "txtMinAB", "txtAvgAB"})
            QCOMPARE(field(w, name), level);
        for (const char* name : {"txtMaxTime", "txtMinTime", "txtCursorATime", "txtCursorBTime",
                                 "txtMaxABTime", "txtMinABTime"})
            QCOMPARE(field(w, name), time);
        if (samples) {
            QCoreApplication::processEvents();
            const QPoint point = pixelOf(*w.graph(), start, sets_.sampleValues().at(3000));
            QVERIFY(seriesPixelsAround(*w.graph(), point) > 4);
        }
    }

    void arrowKeysShowTheSet()
    {
        sets_ = GeneratedDataSets::collection(
            {{kMorning, 1, 30, true}, {kMorning + 1, 1, 40, true}, {kMorning + 2, 1, 50, true}});
        TfrmGraph& w = window(TfrmGraph::LoggerCaption);
        w.setDataSetsPanelVisible(true);
        w.setDataSetRows({{"1", "14 Apr 2010", "10:15:42", "00:01", "30", "A"},
                          {"2", "15 Apr 2010", "10:15:42", "00:01", "40", "A"},
                          {"3", "16 Apr 2010", "10:15:42", "00:01", "50", "A"}});
        QCOMPARE(w.graph()->points(), 0); // filling the list shows nothing by itself
        QVERIFY(w.showDataSet(0));
        auto* grid = w.findChild<QTableWidget*>(QStringLiteral("Grid2"));
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(w.graph()->points(), 40);
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(w.graph()->points(), 50);
        QTest::keyClick(grid, Qt::Key_Up);
        QCOMPARE(w.graph()->points(), 40);
    }

    // Every cell of the data set list shows its whole text, in any locale.
    void dataSetListFitsItsTexts_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::newRow("C") << QLocale::c();
        QTest::newRow("de_DE") << QLocale(QLocale::German, QLocale::Germany);
        QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates);
    }

    void dataSetListFitsItsTexts()
    {
        QFETCH(QLocale, locale);
        QLocale::setDefault(locale);
        TfrmGraph& w = window(TfrmGraph::LoggerCaption);
        w.setDataSetsPanelVisible(true);
        const QString date = locale.toString(QDate(2010, 3, 10), QLocale::ShortFormat);
        w.setDataSetRows({{"12", date, "23:58:58", "01:00", "49152", "A"}});
        auto* grid = w.findChild<QTableWidget*>(QStringLiteral("Grid2"));
        const int margins = 2 * (grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
        for (int c = 0; c < 6; ++c) {
            const QString text = grid->item(0, c)->text();
            QVERIFY2(grid->columnWidth(c) >= grid->fontMetrics().horizontalAdvance(text) + margins,
                     qPrintable(text));
        }
    }

    // The real-time graph beside the control panel of a 1024-pixel screen
    // (or a window not yet maximised) shows every cursor field whole.
    void cursorFieldsFitANarrowWindow_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::newRow("C") << QLocale::c();
        QTest::newRow("de_DE") << QLocale(QLocale::German, QLocale::Germany);
    }

    void cursorFieldsFitANarrowWindow()
    {
        QFETCH(QLocale, locale);
        QLocale::setDefault(locale);
        TfrmGraph& w = window(TfrmGraph::RealTimeCaption);
        w.makeRealTimeGraph();
        w.resize(741, 600);
        QCoreApplication::processEvents();
        QCOMPARE(w.width(), 741);
        for (const QLineEdit* field :
             w.findChild<QWidget*>(QStringLiteral("pnlStatistic"))->findChildren<QLineEdit*>())
            QVERIFY2(field->mapTo(&w, QPoint(field->width(), 0)).x() <= w.width(),
                     qPrintable(field->objectName()));
    }

    // At any size the fields and labels of the statistic panels lie side by
    // side or on further lines, never over each other and inside their
    // panel; at the design size the panels keep their lines.
    void panelFieldsNeverOverlapTheirLabels_data()
    {
        QTest::addColumn<QSize>("size");
        // Lines of the statistic and of the cursor panel; a negative count
        // is at least that many (the wrapping follows the font).
        QTest::addColumn<int>("statisticLines");
        QTest::addColumn<int>("cursorLines");
        QTest::newRow("design size") << QSize(1020, 567) << 2 << 1;
        QTest::newRow("tiled on 1920 x 1080") << QSize(960, 520) << 2 << 1;
        QTest::newRow("tiled on 1280 x 1024") << QSize(640, 500) << -3 << 2;
        QTest::newRow("tiled on 1024 x 768") << QSize(512, 370) << -3 << 2;
        QTest::newRow("smaller than the fields") << QSize(300, 250) << -4 << 2;
    }

    void panelFieldsNeverOverlapTheirLabels()
    {
        QFETCH(QSize, size);
        QFETCH(int, statisticLines);
        QFETCH(int, cursorLines);
        TfrmGraph& w = window();
        fill(w, wave(60));
        w.resize(size);
        QTRY_COMPARE(w.size(), size);
        QCoreApplication::processEvents();
        const int lines =
            w.findChild<GraphFlowLayout*>(QStringLiteral("graphStatisticRows"))->lineCount();
        if (statisticLines > 0)
            QCOMPARE(lines, statisticLines);
        else
            QVERIFY2(lines >= -statisticLines, qPrintable(QString::number(lines)));
        QCOMPARE(w.findChild<GraphFlowLayout*>(QStringLiteral("cursorBlocks"))->lineCount(),
                 cursorLines);
        for (const char* name : {"pnlGraphStatistic", "pnlStatistic"}) {
            auto* panel = w.findChild<QWidget*>(QLatin1String(name));
            const QRect area(panel->mapTo(&w, QPoint(0, 0)), panel->size());
            QList<QPair<QString, QRect>> boxes;
            for (QWidget* child : panel->findChildren<QWidget*>()) {
                const bool inCombo = qobject_cast<QComboBox*>(child->parentWidget());
                if (!child->isVisible() || inCombo ||
                    !(qobject_cast<QLabel*>(child) || qobject_cast<QLineEdit*>(child) ||
                      qobject_cast<QComboBox*>(child)))
                    continue;
                const QRect box(child->mapTo(&w, QPoint(0, 0)), child->size());
                const QString what =
                    child->objectName() + QLatin1Char(' ') +
                    (qobject_cast<QLabel*>(child) ? qobject_cast<QLabel*>(child)->text()
                                                  : QString());
                QVERIFY2(area.contains(box), qPrintable(what));
                for (const auto& [other, otherBox] : boxes)
                    QVERIFY2(!box.intersects(otherBox),
                             qPrintable(what + QStringLiteral(" over ") + other));
                boxes.append({what, box});
            }
            QVERIFY(boxes.size() >= 10);
        }
    }

    // ---- Export Statistic --------------------------------------------------

    void exportStatisticOfAFreshGraph()
    {
        TfrmGraph& w = window();
        fill(w, {60.f, 61.f, 62.f, 90.f, 64.f, 40.f, 66.f, 67.f, 68.f}); // thumbs at 3 and 6
        w.Button2Click();
        const QString expected = QStringLiteral("Start Time:14 Apr 2010 10:15:42\n"
                                                "Sampling Rate:0.9\n"
                                                "DataNo:9\n"
                                                "Avg.:64.2\n"
                                                "Maximum:90.0@14 Apr 2010 10:15:45\n"
                                                "Minimum:40.0@14 Apr 2010 10:15:47\n"
                                                "Cursor A:90.0@14 Apr 2010 10:15:45\n"
                                                "Cursor B:66.0@14 Apr 2010 10:15:48\n"
                                                "Max.Between A and B:90.0@14 Apr 2010 10:15:45\n"
                                                "Min.Between A and B:40.0@14 Apr 2010 10:15:47\n"
                                                "Avg. Between A and B:65.0\n");
        QCOMPARE(QApplication::clipboard()->text(), expected);
        QCOMPARE(dialogs_.told, QStringList{"The statistic has been copy to clipboard"});
    }

    // ---- Annotations ---------------------------------------------------------

    void annotationsTakeSlotsAndAreListed()
    {
        TfrmGraph& w = window();
        fill(w, wave(60));
        const QPoint inside = w.graph()->plottingRect().center();

        w.setCursorMode(GraphWindowState::CursorCross);
        w.PESGraph1Click(inside);
        QCOMPARE(state_.AnnotationCount, 5);
        QCOMPARE(w.graph()->graphAnnotationType(5), PESAnnotationType::Cross);
        // The click is taken where the cross picture points.
        QCOMPARE(w.graph()->graphAnnotationX(5),
                 w.graph()->pixelToValue(inside + QPoint(15, 15)).x());

        w.setCursorMode(GraphWindowState::CursorText);
        dialogs_.exec = typeText(QStringLiteral("Noise"));
        w.PESGraph1Click(inside);
        dialogs_.exec = typeText(QString());
        w.PESGraph1Click(inside); // an empty text takes a slot, unlisted
        QCOMPARE(state_.AnnotationCount, 7);
        dialogs_.exec = typeText(QStringLiteral("Lost"), false);
        w.PESGraph1Click(inside); // cancelled: no slot
        QCOMPARE(state_.AnnotationCount, 7);
        w.setCursorMode(GraphWindowState::CursorNormal);
        w.PESGraph1Click(inside);
        QCOMPARE(state_.AnnotationCount, 7);

        QList<QStringList> listed;
        dialogs_.exec = [&listed](QDialog& dialog) {
            auto* erase = qobject_cast<TfrmDelAnno*>(&dialog);
            QTableWidget* grid = erase->StringGrid1();
            for (int r = 0; r < grid->rowCount(); ++r)
                listed << QStringList{grid->item(r, 0)->text(), grid->item(r, 2)->text()};
            return int(QDialog::Rejected);
        };
        w.ToolButton13Click();
        QCOMPARE(listed, (QList<QStringList>{{"1", "X"}, {"2", "Noise"}}));
    }

    void clicksOutsideThePlotPlaceNothing()
    {
        TfrmGraph& w = window();
        fill(w, wave(60));
        w.setCursorMode(GraphWindowState::CursorCross);
        const QRect plot = w.graph()->plottingRect();
        w.PESGraph1Click(QPoint(plot.right() - 5, plot.center().y())); // +15 leaves the plot
        QCOMPARE(state_.AnnotationCount, 4);
    }

    void erasingRowsTwoAndThreeLeavesRowOne()
    {
        TfrmGraph& w = window();
        fill(w, wave(60));
        const QPoint inside = w.graph()->plottingRect().center();
        w.setCursorMode(GraphWindowState::CursorText);
        for (const char* text : {"one", "two", "three"}) {
            dialogs_.exec = typeText(QLatin1String(text));
            w.PESGraph1Click(inside);
        }
        dialogs_.exec = [](QDialog& dialog) {
            auto* erase = qobject_cast<TfrmDelAnno*>(&dialog);
            if (!erase || !erase->BitBtn1()->isEnabled())
                return int(QDialog::Rejected);
            erase->selectRows(2, 3);
            return int(QDialog::Accepted);
        };
        w.ToolButton13Click();
        QCOMPARE(w.graph()->graphAnnotationText(5), QStringLiteral("one"));
        QVERIFY(w.graph()->graphAnnotationText(6).isEmpty());
        QVERIFY(w.graph()->graphAnnotationText(7).isEmpty());

        QStringList contents;
        dialogs_.exec = [&contents](QDialog& dialog) {
            QTableWidget* grid = qobject_cast<TfrmDelAnno*>(&dialog)->StringGrid1();
            for (int r = 0; r < grid->rowCount(); ++r)
                contents << grid->item(r, 2)->text();
            return int(QDialog::Rejected);
        };
        w.ToolButton13Click();
        QCOMPARE(contents, QStringList{"one"});
    }

    void clearOnTheRealTimeGraphRemovesTheAnnotations()
    {
        TfrmGraph& w = window(TfrmGraph::RealTimeCaption);
        w.makeRealTimeGraph();
        fill(w, wave(60));
        const QPoint inside = w.graph()->plottingRect().center();
        w.setCursorMode(GraphWindowState::CursorCross);
        w.PESGraph1Click(inside);
        w.PESGraph1Click(inside);
        QCOMPARE(state_.AnnotationCount, 6);
        QSignalSpy cleared(&w, &TfrmGraph::realTimeGraphCleared);
        w.tbntClrClick();
        QCOMPARE(cleared.size(), 1);
        QCOMPARE(state_.AnnotationCount, 3);
        QCOMPARE(w.graph()->points(), 200);
        QCOMPARE(w.graph()->graphAnnotationType(5), PESAnnotationType::TextOnly);
        // The next annotation still goes where the erase list sees it.
        w.PESGraph1Click(inside);
        QCOMPARE(state_.AnnotationCount, 5);
    }

    void aSlotInUseInThisChartIsNeverTaken()
    {
        TfrmGraph& w = window();
        fill(w, wave(60));
        w.graph()->setGraphAnnotation(
            5, {kMorning, 100.0, PESAnnotationType::TextOnly, QStringLiteral("kept"), QColor()});
        state_.AnnotationCount =
            AnnotationSlots::kClearedAnnotationCount; // after a Clear elsewhere
        w.setCursorMode(GraphWindowState::CursorCross);
        w.PESGraph1Click(w.graph()->plottingRect().center());
        QCOMPARE(state_.AnnotationCount, 6);
        QCOMPARE(w.graph()->graphAnnotationText(5), QStringLiteral("kept"));
        QCOMPARE(w.graph()->graphAnnotationType(6), PESAnnotationType::Cross);
    }

    void eraseDialogHasNoRowLimit()
    {
        TfrmDelAnno dialog;
        QVERIFY(!dialog.BitBtn1()->isEnabled());
        QList<AnnotationSlots::Row> rows;
        for (int i = 0; i < 300; ++i)
            rows.append({1000 + i, QString::number(i + 1), QString(), QStringLiteral("X")});
        dialog.setRows(rows);
        QVERIFY(dialog.BitBtn1()->isEnabled());
        dialog.selectRows(299, 300);
        QCOMPARE(dialog.selectedSlots(), (QList<int>{1298, 1299}));
    }

    void doubleClickDeletesAnAnnotation()
    {
        TfrmGraph& w = window();
        fill(w, wave(60));
        QCoreApplication::processEvents();
        PESGraph* chart = w.graph();
        const double x = kMorning + 30 * kSecond;
        chart->setGraphAnnotation(5, {x, 100.0, PESAnnotationType::Cross, QString(), QColor()});
        state_.AnnotationCount = 5;
        w.refreshGraph();
        auto* plot = chart->findChild<QCustomPlot*>();
        const QPoint at = plot->mapFrom(chart, pixelOf(*chart, x, 100.0));
        w.PESGraph1MouseMove(pixelOf(*chart, x, 100.0));
        QCOMPARE(chart->toolTip(), QStringLiteral("Double click to delete."));
        QTest::mouseClick(plot, Qt::LeftButton, {}, at);
        QCOMPARE(chart->graphAnnotationType(5), PESAnnotationType::Cross);
        QTest::mouseDClick(plot, Qt::LeftButton, {}, at);
        QCOMPARE(chart->graphAnnotationType(5), PESAnnotationType::TextOnly);
        QVERIFY(chart->graphAnnotationText(5).isEmpty());
    }

    void dataPointMarker()
    {
        TfrmGraph& w = window();
        fill(w, {60.f, 65.27f, 70.f});
        w.PESGraph1DataHotSpot(0, 1);
        const PESGraphAnnotation marker = w.graph()->graphAnnotation(2);
        QCOMPARE(marker.type, PESAnnotationType::Cross);
        QCOMPARE(marker.color, QColor(Qt::yellow));
        QCOMPARE(marker.x, kMorning + kSecond);
        QCOMPARE(marker.text, QStringLiteral("10:15:43\r65.3 dB"));
    }

    void readoutOnlyInsideThePlot()
    {
        TfrmGraph& w = window();
        fill(w, wave(60));
        PESGraph* chart = w.graph();
        const QPoint inside = pixelOf(*chart, kMorning + 20 * kSecond, 65.3);
        w.PESGraph1MouseMove(inside);
        const QPointF v = chart->pixelToValue(inside);
        QCOMPARE(w.readoutText(), GraphTexts::readoutText(v.x(), v.y()));
        QVERIFY(w.readoutText().contains(QStringLiteral("dB@10:16:")));
        const QRect plot = chart->plottingRect();
        w.PESGraph1MouseMove(QPoint(plot.left() - 3, plot.top() - 3));
        QCOMPARE(w.readoutText(), GraphTexts::readoutText(v.x(), v.y()));
    }

    void sliderStaysUnderThePlot()
    {
        TfrmGraph& w = window();
        fill(w, wave(60));
        for (int width : {1100, 800}) {
            w.resize(width, 600);
            QCoreApplication::processEvents();
            const QRect plot = w.graph()->plottingRect();
            const int thumbMiddle = w.slider()->ThumbHeight() / 2;
            const int left = w.slider()->mapTo(&w, QPoint(thumbMiddle, 0)).x();
            QCOMPARE(left, w.graph()->mapTo(&w, plot.topLeft()).x());
            QCOMPARE(w.slider()->width() - 2 * thumbMiddle, plot.right() - plot.left());
        }
    }

    void panelTogglesHideTheirPanels()
    {
        TfrmGraph& w = window();
        fill(w, wave(60));
        auto* cursors = w.findChild<QAction*>(QStringLiteral("ToolButton2"));
        cursors->trigger();
        QVERIFY(w.findChild<QWidget*>(QStringLiteral("pnlStatistic"))->isHidden());
        QVERIFY(!w.graph()->look().showVertLineAnnotations);
        cursors->trigger();
        QVERIFY(w.graph()->look().showVertLineAnnotations);
        w.findChild<QAction*>(QStringLiteral("ToolButton1"))->trigger();
        QVERIFY(w.findChild<QWidget*>(QStringLiteral("pnlGraphStatistic"))->isHidden());
    }

    void cursorModeIsProgramWideAndResetOnShow()
    {
        TfrmGraph& w = window();
        w.findChild<QAction*>(QStringLiteral("ToolButton5"))->trigger();
        QCOMPARE(state_.CursorMode, int(GraphWindowState::CursorCross));
        w.findChild<QAction*>(QStringLiteral("ToolButton9"))->trigger();
        QCOMPARE(state_.CursorMode, int(GraphWindowState::CursorText));
        TfrmGraph other(state_);
        other.show();
        QCOMPARE(state_.CursorMode, int(GraphWindowState::CursorNormal));
    }

    // ---- Chart state, template and zoom ------------------------------------------

    // Each tick label reads back as its tick's own time: no tick sits at a
    // half second or half minute that the label would cut off.
    void tickLabelsShowTheirTickExactly_data()
    {
        QTest::addColumn<double>("spanSeconds");
        QTest::newRow("3 s") << 3.0;
        QTest::newRow("12 s") << 12.0;
        QTest::newRow("15 s") << 15.0;
        QTest::newRow("4 min") << 240.0;
        QTest::newRow("15 min") << 900.0;
        QTest::newRow("5 h") << 18000.0;
        QTest::newRow("10 days") << 864000.0;
    }

    void tickLabelsShowTheirTickExactly()
    {
        QFETCH(double, spanSeconds);
        // Keys are wall-clock seconds since 1970; the view starts off the second.
        const double lower = (kMorning - 25569.0) * 86400.0 + 0.48;
        PESGraphDateTimeTicker ticker;
        QVector<double> ticks;
        QVector<QString> labels;
        ticker.generate(QCPRange(lower, lower + spanSeconds), QLocale(), QLatin1Char('g'), 6, ticks,
                        nullptr, &labels);
        QVERIFY(ticks.size() >= 3);
        // A label without its date line is on the day of the label before.
        QDate day;
        for (qsizetype i = 0; i < ticks.size(); ++i) {
            QString label = labels.at(i);
            if (ticker.dateTimeFormat().contains(QLatin1Char('\n')) &&
                !label.contains(QLatin1Char('\n')))
                label += QLatin1Char('\n') + QLocale().toString(day, QLocale::ShortFormat);
            const QDateTime read = QLocale().toDateTime(label, ticker.dateTimeFormat());
            day = read.date();
            QVERIFY2(read.isValid(), qPrintable(label));
            const QDateTime asUtc(read.date(), read.time(), Qt::UTC);
            QVERIFY2(qAbs(asUtc.toMSecsSinceEpoch() / 1000.0 - ticks.at(i)) < 1e-3,
                     qPrintable(labels.at(i) + QStringLiteral(" at ") +
                                QString::number(ticks.at(i), 'f', 3)));
        }
    }

    // Preparing the chart again (a set shown, Clear) sets only the items the
    // preparation owns: a look chosen in Graph Option and not saved, and
    // what the window added itself, stay.
    void preparingKeepsTheUsersLook()
    {
        sets_ =
            GeneratedDataSets::collection({{kMorning, 1, 30, true}, {kMorning + 1, 1, 40, true}});
        TfrmGraph& w = window(TfrmGraph::LoggerCaption);
        QVERIFY(w.showDataSet(0));
        w.graph()->setDialogExec([](QDialog& dialog) {
            dialog.findChild<QLineEdit*>(QStringLiteral("mainTitle"))
                ->setText(QStringLiteral("Hall 3"));
            dialog.findChild<QComboBox*>(QStringLiteral("gridStyle"))->setCurrentIndex(0);
            return int(QDialog::Accepted);
        });
        dialogs_.answer = QMessageBox::No; // not saved as the template
        w.Button1Click();
        QVERIFY(!QFile::exists(state_.templatePath()));
        QVERIFY(w.showDataSet(1));
        QCOMPARE(w.graph()->look().mainTitle, QStringLiteral("Hall 3"));
        QCOMPARE(w.graph()->look().gridStyle, PESGridStyle::Thin);

        // Another window is prepared from the program's look, its own
        // additions kept.
        TfrmGraph other(state_);
        other.makeRealTimeGraph();
        other.graph()->setSubsetLineType(0, PESLineType::ThickSolid);
        other.tbntClrClick();
        QCOMPARE(other.graph()->look().yAxisLabel, QStringLiteral("dB"));
        QCOMPARE(other.graph()->look().mainTitle, QString());
        QCOMPARE(other.graph()->look().subsetLineType(0), PESLineType::ThinSolid);
    }

    // The data-point marker is switched on in Graph Option, kept in the
    // template, and a press on a point of a chart prepared from it marks
    // the point.
    void dataPointMarkerSwitchedOnInGraphOption()
    {
        sets_ = GeneratedDataSets::collection({{kMorning, 1, 30, true}});
        TfrmGraph& w = window(TfrmGraph::LoggerCaption);
        QVERIFY(w.showDataSet(0));
        QVERIFY(!w.graph()->look().allowDataHotSpots);
        w.graph()->setDialogExec([](QDialog& dialog) {
            auto* marker = dialog.findChild<QCheckBox*>(QStringLiteral("allowDataHotSpots"));
            if (!marker)
                return int(QDialog::Rejected);
            marker->setChecked(true);
            return int(QDialog::Accepted);
        });
        dialogs_.answer = QMessageBox::Yes;
        w.Button1Click();
        QVERIFY(QFile::exists(state_.templatePath()));

        TfrmGraph& later = window(TfrmGraph::LoggerCaption);
        QVERIFY(later.showDataSet(0));
        QVERIFY(later.graph()->look().allowDataHotSpots);
        QCoreApplication::processEvents();
        PESGraph* chart = later.graph();
        const double x = chart->xDataII(0, 5); // away from the cursor lines at 10 and 20
        auto* plot = chart->findChild<QCustomPlot*>();
        QTest::mouseClick(plot, Qt::LeftButton, {},
                          plot->mapFrom(chart, pixelOf(*chart, x, chart->yData(0, 5))));
        QCOMPARE(chart->graphAnnotation(2).type, PESAnnotationType::Cross);
        QCOMPARE(chart->graphAnnotation(2).x, x);
    }

    void withoutATemplateTheDefaultLook()
    {
        TfrmGraph& w = window();
        fill(w, wave(10));
        const PESGraphLook& look = w.graph()->look();
        QCOMPARE(look.graphBackColor, QColor(Qt::black));
        QCOMPARE(look.graphForeColor, QColor(0, 128, 0));
        QCOMPARE(look.subsetColor(0), QColor(Qt::yellow));
        QCOMPARE(look.deskColor, QColor(192, 192, 192));
        QCOMPARE(look.xAxisLabel, QStringLiteral("Time"));
        QCOMPARE(w.graph()->vertLineAnnotationColor(0), QColor(Qt::blue));
        QCOMPARE(w.graph()->vertLineAnnotationColor(1), QColor(Qt::red));
        QVERIFY(!look.allowPopup);
        QVERIFY(!w.graph()->customizePageEnabled(PESCustomizePage::Subsets));
        QVERIFY(!w.graph()->customizePageEnabled(PESCustomizePage::Axis));
        QCOMPARE(w.graph()->manualScaleControlY(), PESManualScale::MinMax);
        QCOMPARE(w.graph()->manualMinY(), 30.0);
        QCOMPARE(w.graph()->manualMaxY(), 130.0);
    }

    void withATemplateItsLookButTheFixedItems()
    {
        PESGraph designer;
        designer.setDefaultLook();
        designer.setGraphBackColor(Qt::white);
        designer.setMainTitle(QStringLiteral("Plant noise"));
        designer.setAllowPopup(true);
        writeTemplate(designer.saveCustomization());

        TfrmGraph& w = window();
        fill(w, wave(10));
        const PESGraphLook& look = w.graph()->look();
        QCOMPARE(look.graphBackColor, QColor(Qt::white));
        QCOMPARE(look.mainTitle, QStringLiteral("Plant noise"));
        QVERIFY(!look.allowPopup);
        QCOMPARE(w.graph()->vertLineAnnotationColor(1), QColor(Qt::red));
        QCOMPARE(w.graph()->manualMaxY(), 130.0);
        QCOMPARE(w.graph()->manualMinX(), kMorning);
    }

    void aDamagedTemplateGivesTheDefaultLook()
    {
        writeTemplate(QByteArray("not a chart at all"));
        TfrmGraph& w = window();
        fill(w, wave(10));
        QCOMPARE(w.graph()->look().graphBackColor, QColor(Qt::black));
    }

    void graphOptionSavesTheTemplate()
    {
        TfrmGraph& w = window();
        fill(w, wave(10));
        w.graph()->setGraphBackColor(Qt::darkBlue);
        dialogs_.answer = QMessageBox::No;
        emit w.graph()->customizeDialogClosed(true);
        QCOMPARE(dialogs_.asked, QStringList{"Do you want to save the changes ?"});
        QVERIFY(!QFile::exists(state_.templatePath()));

        dialogs_.answer = QMessageBox::Yes;
        emit w.graph()->customizeDialogClosed(true);
        QFile file(state_.templatePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        const QByteArray block = w.graph()->saveCustomization();
        QCOMPARE(qFromLittleEndian<quint32>(bytes.constData()), quint32(block.size()));
        QCOMPARE(bytes.mid(4), block);

        // A cancelled dialog asks nothing.
        emit w.graph()->customizeDialogClosed(false);
        QCOMPARE(dialogs_.asked.size(), 2);
    }

    void templateFolderThatCannotBeCreated()
    {
        QTemporaryDir scratch;
        const QString blocker = scratch.filePath(QStringLiteral("plainfile"));
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        state_.dataDirectory = blocker;
        QStringList errors;
        HandlerGuard::setErrorDisplay([&errors](const QString& message) { errors << message; });
        TfrmGraph& w = window();
        fill(w, wave(10));
        dialogs_.answer = QMessageBox::Yes;
        emit w.graph()->customizeDialogClosed(true);
        HandlerGuard::setErrorDisplay({});
        QCOMPARE(errors, QStringList{QStringLiteral("Cannot create ") + blocker +
                                     QStringLiteral("/template/ directory.")});
    }

    void zoomEnablesUndoZoom()
    {
        TfrmGraph& w = window();
        fill(w, wave(100));
        PESGraph* chart = w.graph();
        const QPointF x = chart->visibleRangeX();
        const QPointF y = chart->visibleRangeY();
        QVERIFY(!w.undoZoomEnabled());
        chart->zoomTo(kMorning + 10 * kSecond, kMorning + 40 * kSecond, 50, 90);
        QVERIFY(w.undoZoomEnabled());
        QVERIFY(chart->visibleRangeX() != x);
        // Moving a cursor keeps the zoom.
        w.slider()->SetValue1(20);
        QVERIFY(chart->isZoomed());
        w.UndoZoomClick();
        QVERIFY(!w.undoZoomEnabled());
        QCOMPARE(chart->visibleRangeX(), x);
        QCOMPARE(chart->visibleRangeY(), y);
    }

    // ---- Closing -------------------------------------------------------------------

    void closingAnotherKindKeepsTheLoggerData()
    {
        state_.LoggerDataUnsaved = true;
        TfrmGraph& w = window(QStringLiteral("trace.ghf"));
        QVERIFY(w.close());
        QVERIFY(state_.LoggerDataUnsaved);
        QVERIFY(dialogs_.asked.isEmpty());
        window_.release(); // freed on close
    }

    void closingTheLoggerGraph_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<bool>("saved");
        QTest::newRow("Cancel keeps window and data") << int(QMessageBox::Cancel) << false << false;
        QTest::newRow("No closes without saving") << int(QMessageBox::No) << true << false;
        QTest::newRow("Yes saves, then closes") << int(QMessageBox::Yes) << true << true;
    }
    void closingTheLoggerGraph()
    {
        QFETCH(int, answer);
        QFETCH(bool, closes);
        QFETCH(bool, saved);
        state_.LoggerDataUnsaved = true;
        TfrmGraph& w = window(TfrmGraph::LoggerCaption);
        state_.LoggerGraph = &w;
        dialogs_.answer = QMessageBox::StandardButton(answer);
        QSignalSpy save(&w, &TfrmGraph::saveRequested);
        QCOMPARE(w.close(), closes);
        QCOMPARE(dialogs_.asked, QStringList{"Save DataLogger Data ?"});
        QCOMPARE(save.size(), saved ? 1 : 0);
        QCOMPARE(state_.LoggerDataUnsaved, !closes);
        QCOMPARE(state_.LoggerGraph.isNull(), closes);
        if (closes)
            window_.release();
    }

    void aSaveThatDidNotSaveKeepsTheWindow()
    {
        state_.LoggerDataUnsaved = true;
        TfrmGraph& w = window(TfrmGraph::LoggerCaption);
        dialogs_.answer = QMessageBox::Yes;
        // The Save command was cancelled: the data is still unsaved.
        connect(&w, &TfrmGraph::saveRequested, this, [this] { state_.LoggerDataUnsaved = true; });
        QVERIFY(!w.close());
        QVERIFY(w.isVisible());
        QVERIFY(state_.LoggerDataUnsaved);
    }

    void closingTheRealTimeGraph()
    {
        state_.RealTimeDataUnsaved = true;
        state_.RealTimeRunning = true;
        state_.RealTimeSampleCount = 12;
        TfrmGraph& w = window(TfrmGraph::RealTimeCaption);
        state_.RealTimeGraph = &w;
        dialogs_.answer = QMessageBox::No;
        QSignalSpy closed(&w, &TfrmGraph::realTimeGraphClosed);
        QVERIFY(w.close());
        window_.release();
        QCOMPARE(dialogs_.asked, QStringList{"Save Real-Time Graph ?"});
        QCOMPARE(closed.size(), 1);
        QVERIFY(!state_.RealTimeDataUnsaved);
        QVERIFY(!state_.RealTimeRunning);
        QCOMPARE(state_.RealTimeSampleCount, 0);
        QTRY_VERIFY(state_.RealTimeGraph.isNull());
    }

    void realTimeRateList()
    {
        state_.RealTimeInterval = 5.0f;
        TfrmGraph& w = window(TfrmGraph::RealTimeCaption);
        w.makeRealTimeGraph();
        auto* rates = w.findChild<QComboBox*>(QStringLiteral("txtSamplingRate"));
        QVERIFY(!rates->isEditable());
        QCOMPARE(rates->currentText(), QStringLiteral("5.0"));
        QCOMPARE(w.graph()->points(), 2000);
        rates->setCurrentIndex(1);
        QCOMPARE(state_.RealTimeInterval, 0.2f);
        state_.RealTimeRunning = true;
        rates->setCurrentIndex(7);
        QCOMPARE(rates->currentText(), QStringLiteral("0.2"));
        QCOMPARE(dialogs_.told,
                 QStringList{"Can not change Sampling Rate while Real-Time is running."});
        // The recorder selects an item without the change handler.
        w.selectSamplingRate(6);
        QCOMPARE(w.samplingRateIndex(), 6);
        QCOMPARE(state_.RealTimeInterval, 0.2f);
        QCOMPARE(dialogs_.told.size(), 1);
        w.clearCursorTexts();
        QVERIFY(field(w, "txtCursorA").isEmpty() && field(w, "txtAvgAB").isEmpty());
    }
};

AUDIMARK_TEST_MAIN_GUI(TestTfrmGraph)
#include "tst_tfrmgraph.moc"
