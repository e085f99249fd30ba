#include <QApplication>

#include "common/FakeMeterClock.h"
#include "common/TestMain.h"

#include "data/AcousticStatistics.h"
#include "data/GeneratedDataSets.h"
#include "data/GraphTexts.h"
#include "graph/AcousticBox.h"
#include "graph/PESGraph.h"
#include "graph/TfrmGraph.h"
#include "graph/Tslider2.h"
#include "realtime/RealTimeGraphController.h"
#include "realtime/RealTimeRecorder.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>

#include <memory>

namespace {
const double kMorning = GraphTexts::fromDateTime(QDateTime(QDate(2010, 4, 14), QTime(10, 15, 42)));
constexpr double kSecond = 1.0 / 86400.0;

QString level(double value)
{
    return QLocale().toString(value, 'f', 1);
}

QString decimal(double value)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'f', 1);
}

// What a column of the box must show for these figures, top to bottom.
QStringList expectedTexts(const AcousticFigures& f, const QString& duration)
{
    return {level(f.leq),  level(f.l5),   level(f.l10),
            level(f.l50),  level(f.l90),  level(f.l95),
            level(f.lmax), level(f.lmin), duration,
            decimal(f.secondsAbove) + QStringLiteral(" s"),
            decimal(f.percentAbove) + QStringLiteral(" %")};
}

QStringList shown(const AcousticBox& box, AcousticBox::Column column)
{
    QStringList texts;
    for (int row = 0; row < AcousticBox::RowCount; ++row)
        texts << box.text(column, AcousticBox::Row(row));
    return texts;
}

const QStringList kEmptyColumn = QStringList(AcousticBox::RowCount, QString());
} // namespace

// The "Acoustic" box of the graph window: what it shows for a data set, a
// file graph and the real-time graph, beside the figures of the same
// samples; the cursor span; the threshold field; and that it moves none of
// the statistic fields.
class TestAcousticBox : public QObject
{
    Q_OBJECT

    QTemporaryDir data_;
    GraphWindowState state_;
    DataSetCollection sets_;
    std::unique_ptr<TfrmGraph> window_;

    TfrmGraph& window(const QString& caption)
    {
        window_ = std::make_unique<TfrmGraph>(state_);
        window_->setWindowTitle(caption);
        window_->resize(1100, 650);
        window_->show();
        return *window_;
    }

private slots:
    void init()
    {
        QLocale::setDefault(QLocale::c());
        QSettings().clear();
        state_ = GraphWindowState{};
        state_.dataDirectory = data_.path();
        state_.dataSets = &sets_;
        state_.dialogs.inform = [](QWidget*, const QString&) {};
    }
    void cleanup() { window_.reset(); }

    void dataSetFiguresWholeAndBetweenTheCursors_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("interval");
        QTest::addColumn<bool>("aWeighting");
        QTest::addColumn<QString>("leqName");
        QTest::addColumn<QString>("wholeDuration");
        QTest::addColumn<QString>("spanDuration");

        // Thumbs at n/3 and 2n/3: 101 and 2401 samples between them.
        QTest::newRow("dBA set, 300 samples of 1 s")
            << QLocale::c() << 300 << 1 << true << "LAeq" << "0:05:00" << "0:01:41";
        QTest::newRow("dBC set, 7200 samples of 2 s, de_DE")
            << QLocale(QLocale::German, QLocale::Germany) << 7200 << 2 << false << "LCeq"
            << "4:00:00" << "1:20:02";
    }

    void dataSetFiguresWholeAndBetweenTheCursors()
    {
        QFETCH(QLocale, locale);
        QFETCH(int, count);
        QFETCH(int, interval);
        QFETCH(bool, aWeighting);
        QFETCH(QString, leqName);
        QFETCH(QString, wholeDuration);
        QFETCH(QString, spanDuration);
        QLocale::setDefault(locale);
        state_.acousticBox.threshold = 70.0;
        sets_ = GeneratedDataSets::collection({{kMorning, interval, count, aWeighting}});
        TfrmGraph& w = window(TfrmGraph::LoggerCaption);
        QVERIFY(w.showDataSet(0));

        const std::span<const float> levels = sets_.valuesOf(0);
        const AcousticFigures whole = AcousticStatistics::of(levels, interval, 70.0);
        const AcousticFigures span = AcousticStatistics::between(
            levels, w.slider()->Value1(), w.slider()->Value2(), interval, 70.0);
        QVERIFY(whole.secondsAbove > 0 && whole.percentAbove < 100);
        const AcousticBox& box = *w.acousticBox();
        QCOMPARE(box.rowName(AcousticBox::Leq), leqName);
        QCOMPARE(shown(box, AcousticBox::Whole), expectedTexts(whole, wholeDuration));
        QCOMPARE(shown(box, AcousticBox::Cursors), expectedTexts(span, spanDuration));
        QCOMPARE(w.acousticWeighting(),
                 std::optional(aWeighting ? AcousticWeighting::A : AcousticWeighting::C));
    }

    // Either thumb, also past the other one: the span figures follow, the
    // whole series' stay.
    void movingAThumbChangesTheSpanFigures()
    {
        sets_ = GeneratedDataSets::collection({{kMorning, 1, 600, true}});
        TfrmGraph& w = window(TfrmGraph::LoggerCaption);
        QVERIFY(w.showDataSet(0));
        const AcousticBox& box = *w.acousticBox();
        const QStringList whole = shown(box, AcousticBox::Whole);
        const QStringList before = shown(box, AcousticBox::Cursors);
        const std::span<const float> levels = sets_.valuesOf(0);
        const double threshold = AcousticBox::DefaultThreshold;

        for (const auto& [value1, value2] : {std::pair{0, 400}, std::pair{599, 400}}) {
            w.slider()->SetValue1(value1);
            w.slider()->SetValue2(value2);
            const QStringList after = shown(box, AcousticBox::Cursors);
            QVERIFY(after != before);
            const AcousticFigures span =
                AcousticStatistics::between(levels, value1, value2, 1.0, threshold);
            QCOMPARE(after, expectedTexts(span, AcousticBox::durationText(span.durationSeconds)));
            QCOMPARE(after.at(AcousticBox::Duration),
                     value1 == 0 ? QStringLiteral("0:06:41") : QStringLiteral("0:03:20"));
        }
        QCOMPARE(shown(box, AcousticBox::Whole), whole);
    }

    // A file graph names no weighting; its interval is the spacing of its points.
    void fileGraph_data()
    {
        QTest::addColumn<QList<float>>("levels");
        QTest::addColumn<double>("spacing");
        QTest::addColumn<double>("threshold");
        QTest::addColumn<QString>("thresholdShown");
        QTest::addColumn<QStringList>("whole");
        QTest::newRow("60 and 80 dB, 1 s apart: 77.0 dB, not 70.0")
            << QList<float>{60.f, 80.f} << 1.0 << 85.0 << "85.0"
            << QStringList{"77.0", "80.0", "80.0", "60.0", "60.0", "60.0", "80.0", "60.0",
                           "0:00:02", "0.0 s", "0.0 %"};
        QTest::newRow("four levels 0.5 s apart, one above 85")
            << QList<float>{70.f, 90.f, 70.f, 70.f} << 0.5 << 85.0 << "85.0"
            << QStringList{"84.1", "90.0", "90.0", "70.0", "70.0", "70.0", "90.0", "70.0",
                           "0:00:02", "0.5 s", "25.0 %"};
        QTest::newRow("85.3 dB at a threshold of 85.3 is not above")
            << QList<float>{85.3f, 85.3f, 85.4f, 85.2f} << 1.0 << 85.3 << "85.3"
            << QStringList{"85.3", "85.4", "85.4", "85.3", "85.2", "85.2", "85.4", "85.2",
                           "0:00:04", "1.0 s", "25.0 %"};
        QTest::newRow("a threshold of 72.36 counts and shows as 72.4")
            << QList<float>{72.4f} << 1.0 << 72.36 << "72.4"
            << QStringList{"72.4", "72.4", "72.4", "72.4", "72.4", "72.4", "72.4", "72.4",
                           "0:00:00", "0.0 s", "0.0 %"};
        QTest::newRow("times that run backwards: no duration, no time above")
            << QList<float>{70.f, 90.f, 70.f, 70.f} << -0.5 << 85.0 << "85.0"
            << QStringList{"84.1", "90.0", "90.0", "70.0", "70.0", "70.0", "90.0", "70.0",
                           "", "", "25.0 %"};
        QTest::newRow("no points: empty texts")
            << QList<float>{} << 1.0 << 85.0 << "85.0" << kEmptyColumn;
    }

    void fileGraph()
    {
        QFETCH(QList<float>, levels);
        QFETCH(double, spacing);
        QFETCH(double, threshold);
        QFETCH(QString, thresholdShown);
        QFETCH(QStringList, whole);
        TfrmGraph& w = window(QStringLiteral("trace.ghf"));
        w.acousticBox()->setThreshold(threshold);
        const int n = int(levels.size());
        w.prepareGraph(1, 130, 30, kMorning + n * spacing * kSecond, n ? kMorning : 0.0, n);
        for (int i = 0; i < n; ++i) {
            w.graph()->setXDataII(0, i, kMorning + i * spacing * kSecond);
            w.graph()->setYData(0, i, levels[i]);
        }
        w.updateGraphStatistic();
        QCOMPARE(w.acousticBox()->rowName(AcousticBox::Leq), QStringLiteral("Leq"));
        QCOMPARE(shown(*w.acousticBox(), AcousticBox::Whole), whole);
        QCOMPARE(w.acousticWeighting(), std::nullopt);
        // The field shows the threshold counted with.
        QCOMPARE(w.findChild<QLineEdit*>(QStringLiteral("txtThreshold"))->text(), thresholdShown);
        QCOMPARE(decimal(w.acousticThreshold()), thresholdShown);
    }

    // The real-time graph: the recorded points only, under the run's
    // weighting as the recorder names it; the span once recording stopped.
    void realTimeGraph_data()
    {
        QTest::addColumn<AcousticWeighting>("runWeighting");
        QTest::addColumn<QString>("leqName");
        QTest::newRow("dBA run") << AcousticWeighting::A << "LAeq";
        QTest::newRow("dBC run") << AcousticWeighting::C << "LCeq";
        QTest::newRow("mixed run") << AcousticWeighting::Mixed << "Leq";
    }

    void realTimeGraph()
    {
        QFETCH(AcousticWeighting, runWeighting);
        QFETCH(QString, leqName);
        FakeMeterClock clock;
        RealTimeGraphController controller(state_, clock);
        TfrmGraph& w = window(TfrmGraph::RealTimeCaption);
        state_.RealTimeGraph = &w;
        w.makeRealTimeGraph();
        controller.resetForRecording(50);
        const AcousticBox& box = *w.acousticBox();
        QCOMPARE(shown(box, AcousticBox::Whole), kEmptyColumn);

        const QList<float> levels{60.f, 62.f, 90.f, 64.f, 66.f, 68.f};
        for (int i = 0; i < levels.size(); ++i)
            (void)controller.appendSample(kMorning + i * 0.2 * kSecond, levels[i], runWeighting);
        QCOMPARE(box.rowName(AcousticBox::Leq), leqName);
        const std::span<const float> values(levels.constData(), size_t(levels.size()));
        const AcousticFigures recorded = AcousticStatistics::of(values, 0.2, 85.0);
        // The figures follow the samples at the window's next refresh tick.
        QTRY_COMPARE(shown(box, AcousticBox::Whole), expectedTexts(recorded, "0:00:01.2"));
        QCOMPARE(shown(box, AcousticBox::Cursors), kEmptyColumn); // no cursors while recording
        QVERIFY(w.acousticFigures(true).isEmpty());
        QCOMPARE(w.acousticFigures(false).leq, recorded.leq);

        state_.RealTimeRunning = false;
        controller.finishRealTimeGraph();
        QCOMPARE(w.slider()->Value1(), 2);
        QCOMPARE(w.slider()->Value2(), 4);
        QCOMPARE(shown(box, AcousticBox::Whole), expectedTexts(recorded, "0:00:01.2"));
        QCOMPARE(shown(box, AcousticBox::Cursors),
                 expectedTexts(AcousticStatistics::between(values, 2, 4, 0.2, 85.0), "0:00:00.6"));
        QCOMPARE(w.acousticFigures(true).sampleCount, 3);

        controller.resetForRecording(50);
        QCOMPARE(box.rowName(AcousticBox::Leq), QStringLiteral("Leq"));
        QCOMPARE(shown(box, AcousticBox::Whole), kEmptyColumn);
        QCOMPARE(shown(box, AcousticBox::Cursors), kEmptyColumn);
    }

    // The recorder follows the frames' fast/slow flag; the box names the
    // levels of a run after it, and a new recording names them anew.
    void realTimeTimeWeighting_data()
    {
        QTest::addColumn<QList<bool>>("fastFrames");
        QTest::addColumn<TimeWeighting>("timeWeighting");
        QTest::addColumn<QStringList>("names"); // the rows L10, L90, Lmax, Lmin
        QTest::newRow("all fast") << QList<bool>{true, true, true} << TimeWeighting::Fast
                                  << QStringList{"LAF10", "LAF90", "LAFmax", "LAFmin"};
        QTest::newRow("all slow") << QList<bool>{false, false, false} << TimeWeighting::Slow
                                  << QStringList{"LAS10", "LAS90", "LASmax", "LASmin"};
        QTest::newRow("mixed") << QList<bool>{true, false, true} << TimeWeighting::Mixed
                               << QStringList{"L10", "L90", "Lmax", "Lmin"};
    }

    void realTimeTimeWeighting()
    {
        QFETCH(QList<bool>, fastFrames);
        QFETCH(TimeWeighting, timeWeighting);
        QFETCH(QStringList, names);
        FakeMeterClock clock;
        RealTimeGraphController controller(state_, clock);
        TfrmGraph& w = window(TfrmGraph::RealTimeCaption);
        state_.RealTimeGraph = &w;
        w.makeRealTimeGraph();
        controller.resetForRecording(50);
        RealTimeRecorder recorder(clock);
        recorder.setSink(&controller);
        recorder.start(0.2f);
        const AcousticBox& box = *w.acousticBox();
        const auto levelNames = [&] {
            return QStringList{box.rowName(AcousticBox::L10), box.rowName(AcousticBox::L90),
                               box.rowName(AcousticBox::Lmax), box.rowName(AcousticBox::Lmin)};
        };
        QCOMPARE(levelNames(), QStringList({"L10", "L90", "Lmax", "Lmin"}));
        for (const bool fast : fastFrames) {
            clock.advance(200);
            MeterReading reading;
            reading.level = 70.0f;
            reading.weightingA = true;
            reading.fast = fast;
            recorder.sampleReading(reading);
        }
        QCOMPARE(state_.RealTimeSampleCount, int(fastFrames.size()));
        QCOMPARE(recorder.timeWeighting().timeWeighting(), timeWeighting);
        QCOMPARE(w.acousticTimeWeighting(), timeWeighting);
        QCOMPARE(levelNames(), names);
        QCOMPARE(box.rowName(AcousticBox::Leq), QStringLiteral("LAeq"));

        recorder.stop();
        controller.resetForRecording(50);
        QCOMPARE(levelNames(), QStringList({"L10", "L90", "Lmax", "Lmin"}));
        recorder.start(0.2f);
        QCOMPARE(recorder.timeWeighting().timeWeighting(), TimeWeighting::Unknown);
    }

    // Typed in the user's number format; a valid threshold counts at once,
    // is saved and is the next window's; anything else is not taken.
    void threshold()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        sets_ = GeneratedDataSets::collection({{kMorning, 1, 300, true}});
        TfrmGraph& w = window(TfrmGraph::LoggerCaption);
        QVERIFY(w.showDataSet(0));
        auto* field = w.findChild<QLineEdit*>(QStringLiteral("txtThreshold"));
        QVERIFY(field);
        QCOMPARE(field->text(), QStringLiteral("85,0"));

        field->selectAll();
        QTest::keyClicks(field, QStringLiteral("70,5"));
        QCOMPARE(w.acousticThreshold(), 85.0); // not while typing
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(w.acousticThreshold(), 70.5);
        const std::span<const float> levels = sets_.valuesOf(0);
        const AcousticFigures whole = AcousticStatistics::of(levels, 1.0, 70.5);
        QCOMPARE(shown(*w.acousticBox(), AcousticBox::Whole), expectedTexts(whole, "0:05:00"));
        QCOMPARE(QSettings().value(AcousticBoxSettings::ThresholdKey).toDouble(), 70.5);

        field->selectAll();
        QTest::keyClicks(field, QStringLiteral("250"));
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(w.acousticThreshold(), 70.5);
        QCOMPARE(field->text(), QStringLiteral("70,5"));
        field->selectAll();
        QTest::keyClicks(field, QStringLiteral("x"));
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(w.acousticThreshold(), 70.5);
        QCOMPARE(field->text(), QStringLiteral("70,5"));

        TfrmGraph& next = window(QStringLiteral("next.ghf"));
        QCOMPARE(next.acousticThreshold(), 70.5);
        QCOMPARE(AcousticBoxSettings::read(QSettings()).threshold, 70.5);
    }

    // Shown or hidden, the box leaves every field and label of both
    // statistic panels where it was (the slider follows the plot), and it is
    // whole inside the chart's area, also in the narrow real-time graph
    // beside the control panel.
    void theBoxMovesNoStatisticField_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QSize>("size");
        QTest::newRow("DataLogger graph") << TfrmGraph::LoggerCaption << QSize(1100, 650);
        QTest::newRow("real-time graph, 741 wide") << TfrmGraph::RealTimeCaption << QSize(741, 600);
    }

    void theBoxMovesNoStatisticField()
    {
        QFETCH(QString, caption);
        QFETCH(QSize, size);
        sets_ = GeneratedDataSets::collection({{kMorning, 1, 300, true}});
        TfrmGraph& w = window(caption);
        if (caption == TfrmGraph::RealTimeCaption)
            w.makeRealTimeGraph();
        else
            QVERIFY(w.showDataSet(0));
        w.resize(size);
        QVERIFY(QTest::qWaitForWindowExposed(&w));

        const auto places = [&w] {
            QList<QRect> rects;
            for (const char* panel : {"pnlGraphStatistic", "pnlStatistic"})
                for (const QWidget* c :
                     w.findChild<QWidget*>(QLatin1String(panel))->findChildren<QWidget*>())
                    if (qobject_cast<const QLineEdit*>(c) || qobject_cast<const QLabel*>(c) ||
                        qobject_cast<const QComboBox*>(c))
                        rects << QRect(c->mapTo(&w, QPoint()), c->size());
            return rects;
        };
        QVERIFY(w.acousticBoxVisible());
        const QList<QRect> withBox = places();
        const QWidget* box = w.acousticBox();
        const QWidget* area = w.findChild<QWidget*>(QStringLiteral("pnlGraph"));
        QVERIFY(area->rect().contains(QRect(box->mapTo(area, QPoint()), box->size())));
        QVERIFY(box->height() >= box->sizeHint().height());
        QVERIFY(w.graph()->width() > box->width());

        const auto sliderUnderThePlot = [&w] {
            const QRect plot = w.graph()->plottingRect();
            const int thumbMiddle = w.slider()->ThumbHeight() / 2;
            return w.slider()->mapTo(&w, QPoint(thumbMiddle, 0)).x() ==
                       w.graph()->mapTo(&w, plot.topLeft()).x() &&
                   w.slider()->width() - 2 * thumbMiddle == plot.right() - plot.left();
        };
        QVERIFY(sliderUnderThePlot());

        w.setAcousticBoxVisible(false);
        QCoreApplication::processEvents();
        QVERIFY(!w.acousticBoxVisible());
        QCOMPARE(places(), withBox);
        // The chart took the box's room: the slider's track still spans the plot.
        QVERIFY(w.graph()->width() > box->width() + area->width() / 2);
        QVERIFY(sliderUnderThePlot());
    }

    // A hidden box computes nothing; shown again it has the current figures.
    void hiddenBoxIsFilledWhenShown()
    {
        state_.acousticBox.shown = false;
        sets_ = GeneratedDataSets::collection({{kMorning, 1, 300, false}});
        TfrmGraph& w = window(TfrmGraph::LoggerCaption);
        QVERIFY(w.showDataSet(0));
        QVERIFY(!w.acousticBoxVisible());
        QCOMPARE(shown(*w.acousticBox(), AcousticBox::Whole), kEmptyColumn);
        w.setAcousticBoxVisible(true);
        const AcousticFigures whole =
            AcousticStatistics::of(sets_.valuesOf(0), 1.0, AcousticBox::DefaultThreshold);
        QCOMPARE(shown(*w.acousticBox(), AcousticBox::Whole), expectedTexts(whole, "0:05:00"));
        QCOMPARE(w.acousticBox()->rowName(AcousticBox::Leq), QStringLiteral("LCeq"));
        QVERIFY(shown(*w.acousticBox(), AcousticBox::Cursors) != kEmptyColumn);
    }
};

AUDIMARK_TEST_MAIN_GUI(TestAcousticBox)
#include "tst_acousticbox.moc"
