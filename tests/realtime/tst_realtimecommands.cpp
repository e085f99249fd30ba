#include <QApplication>

#include "common/TestMain.h"

#include "RealTimeRig.h"
#include "data/GraphTexts.h"
#include "graph/AcousticBox.h"
#include "graph/PESGraph.h"
#include "graph/Tslider2.h"

#include <QAction>
#include <QComboBox>
#include <QSignalSpy>
#include <qcustomplot.h>

namespace {
QComboBox* rateList(TfrmGraph& graph)
{
    return graph.findChild<QComboBox*>(QStringLiteral("txtSamplingRate"));
}

bool clearEnabled(TfrmGraph& graph)
{
    return graph.findChild<QAction*>(QStringLiteral("tbntClr"))->isEnabled();
}

QString field(TfrmGraph& graph, const char* name)
{
    return graph.findChild<QLineEdit*>(QLatin1String(name))->text();
}
} // namespace

class TestRealTimeCommands : public QObject
{
    Q_OBJECT

private slots:
    void runDoesNothingWithoutMeter()
    {
        RealTimeRig rig;
        rig.connected = false;
        rig.run(QStringLiteral(" 2000"), QStringLiteral("0.2"));
        QCOMPARE(rig.dialogsShown, 0);
        QVERIFY(!rig.window);
        QVERIFY(!rig.commands.recorder().isRunning());
    }

    void runCreatesTheGraphWhenThereIsNone()
    {
        RealTimeRig rig;
        QSignalSpy commands(&rig.commands, &RealTimeCommands::runStopChanged);
        rig.run(QStringLiteral("  500"), QStringLiteral("1.0"));
        QVERIFY(rig.window);
        QVERIFY(rig.questions.isEmpty());
        QVERIFY(rig.commands.recorder().isRunning());
        QVERIFY(rig.state.RealTimeRunning);
        QCOMPARE(rig.state.RealTimeInterval, 1.0f);
        QCOMPARE(rig.window->graph()->points(), 500);
        QCOMPARE(rateList(*rig.window)->currentIndex(), 3);
        QVERIFY(!clearEnabled(*rig.window));
        QCOMPARE(commands.last(), (QList<QVariant>{false, true}));
    }

    void dialogShowsTheGraphsRateAndPeriods()
    {
        RealTimeRig rig;
        rig.createGraph();
        rig.state.RealTimeInterval = 0.2f;
        rateList(*rig.window)->setCurrentIndex(1);
        QString rateShown, opened, changed;
        rig.setup = [&](TfrmSetupRealTime& form) {
            rateShown = form.rateText();
            opened = form.periodText();
            form.findChild<QLineEdit*>(QStringLiteral("edtRealTimeNo"))
                ->setText(QStringLiteral("1000"));
            changed = form.periodText();
            return false;
        };
        rig.commands.btnRunClick();
        QCOMPARE(rateShown, QStringLiteral("0.2"));
        QCOMPARE(opened, QStringLiteral("0:6:40"));
        QCOMPARE(changed, QStringLiteral("0:03:20"));
        QVERIFY(!rig.commands.recorder().isRunning());
    }

    void threePointsStopByThemselves()
    {
        RealTimeRig rig;
        QSignalSpy commands(&rig.commands, &RealTimeCommands::runStopChanged);
        rig.run(QStringLiteral("    3"), QStringLiteral("0.2"));
        rig.feed(60.0f);
        rig.feed(61.0f);
        QVERIFY(rig.commands.recorder().isRunning());
        rig.feed(62.0f);
        QVERIFY(!rig.commands.recorder().isRunning());
        QVERIFY(!rig.state.RealTimeRunning);
        QCOMPARE(commands.last(), (QList<QVariant>{true, false}));
        PESGraph* chart = rig.window->graph();
        QCOMPARE(chart->points(), 3);
        QCOMPARE(chart->yData(0, 2), 62.0f);
        QCOMPARE(rig.state.RealTimeSampleCount, 3);
        QVERIFY(clearEnabled(*rig.window));
        rig.feed(63.0f);
        QCOMPARE(rig.state.RealTimeSampleCount, 3);
    }

    void clearAfterRecordingNeedsNoQuestion()
    {
        RealTimeRig rig;
        rig.run(QStringLiteral("    3"), QStringLiteral("1.0"));
        for (int i = 0; i < 3; ++i)
            rig.feed(60.0f);
        QVERIFY(!rig.commands.recorder().isRunning());
        rig.window->findChild<QAction*>(QStringLiteral("tbntClr"))->trigger();
        QCOMPARE(rig.state.RealTimeSampleCount, 0);
        QCOMPARE(rig.window->graph()->points(), 200);
        rig.run(QStringLiteral("   10"), QStringLiteral("1.0"));
        QVERIFY(rig.questions.isEmpty());
        QVERIFY(rig.commands.recorder().isRunning());
        QCOMPARE(rig.window->graph()->points(), 10);
    }

    // Clear leaves nothing of the recording: empty fields, a slider move
    // that shows nothing, no save question at closing, the "dB" axis kept.
    void clearEmptiesTheGraph()
    {
        RealTimeRig rig;
        rig.run(QStringLiteral("    3"), QStringLiteral("1.0"));
        for (int i = 0; i < 3; ++i)
            rig.feed(60.0f + float(i));
        QVERIFY(!field(*rig.window, "txtMax").isEmpty());
        rig.window->findChild<QAction*>(QStringLiteral("tbntClr"))->trigger();
        QCOMPARE(field(*rig.window, "txtDataNo"), QStringLiteral("0"));
        rig.window->slider()->SetValue1(1);
        for (const char* name :
             {"txtStartTime", "txtAvgAll", "txtMax", "txtMaxTime", "txtMin", "txtMinTime",
              "txtCursorA", "txtCursorATime", "txtCursorB", "txtMaxAB", "txtAvgAB"})
            QVERIFY2(field(*rig.window, name).isEmpty(), name);
        QCOMPARE(rig.window->graph()->look().yAxisLabel, QStringLiteral("dB"));
        QVERIFY(rig.window->close());
        rig.window.release();
        QVERIFY(rig.questions.isEmpty());
    }

    void stopAfter150Samples()
    {
        RealTimeRig rig;
        rig.run(QStringLiteral(" 2000"), QStringLiteral("1.0"));
        double sum = 0;
        for (int i = 0; i < 150; ++i) {
            const float level = 40.0f + float(i % 37) * 1.3f;
            sum += level;
            rig.feed(level);
        }
        rig.commands.btnStopClick();
        QVERIFY(!rig.commands.recorder().isRunning());
        PESGraph* chart = rig.window->graph();
        QCOMPARE(chart->points(), 150);
        QCOMPARE(chart->yData(0, 149), 40.0f + float(149 % 37) * 1.3f);
        const Tslider2* slider = rig.window->slider();
        QCOMPARE(slider->Minimum(), 0);
        QCOMPARE(slider->Maximum(), 149);
        QCOMPARE(slider->Value1(), 50);
        QCOMPARE(slider->Value2(), 100);
        QCOMPARE(field(*rig.window, "txtAvgAll"), GraphTexts::levelText(sum / 150));
        QCOMPARE(field(*rig.window, "txtDataNo"), QStringLiteral("150"));
        QCOMPARE(chart->manualMaxX(), GraphTexts::fromDateTime(rig.clock.currentDateTime()));
    }

    void stopWithoutSamplesShowsZeroAverage()
    {
        RealTimeRig rig;
        rig.run(QStringLiteral(" 2000"), QStringLiteral("1.0"));
        rig.commands.btnStopClick();
        QCOMPARE(rig.window->graph()->points(), 0);
        QCOMPARE(field(*rig.window, "txtAvgAll"), GraphTexts::levelText(0));
        QCOMPARE(rig.window->slider()->Maximum(), 0);
    }

    void runningExtremesKeepTheFirstOfEqualLevels()
    {
        RealTimeRig rig;
        rig.run(QStringLiteral(" 2000"), QStringLiteral("1.0"));
        rig.feed(50.0f);
        rig.feed(70.0f);
        const double firstMaxTime = GraphTexts::fromDateTime(rig.clock.currentDateTime());
        rig.feed(40.0f);
        const double minTime = GraphTexts::fromDateTime(rig.clock.currentDateTime());
        rig.feed(70.0f);
        QCOMPARE(field(*rig.window, "txtMax"), QStringLiteral("70.0"));
        QCOMPARE(field(*rig.window, "txtMaxTime"), GraphTexts::dateTimeText(firstMaxTime));
        QCOMPARE(field(*rig.window, "txtMin"), QStringLiteral("40.0"));
        QCOMPARE(field(*rig.window, "txtMinTime"), GraphTexts::dateTimeText(minTime));
        QCOMPARE(field(*rig.window, "txtDataNo"), QStringLiteral("4"));
        QVERIFY(rig.state.RealTimeDataUnsaved);
    }

    void xRangeRunsThirtySecondsAhead()
    {
        RealTimeRig rig;
        rig.run(QStringLiteral(" 2000"), QStringLiteral("1.0"));
        PESGraph* chart = rig.window->graph();
        const double start = GraphTexts::fromDateTime(rig.clock.currentDateTime());
        QCOMPARE(chart->manualMinX(), start);
        QCOMPARE(chart->manualMaxX(), start + 100.0 / 86400.0);
        rig.feed(60.0f, 99000);
        QCOMPARE(chart->manualMaxX(), start + 100.0 / 86400.0);
        rig.feed(60.0f, 2000); // 101 s: past the end
        const double now = GraphTexts::fromDateTime(rig.clock.currentDateTime());
        QCOMPARE(chart->manualMaxX(), now + 30.0 / 86400.0);
    }

    void redraws_data()
    {
        QTest::addColumn<QString>("rate");
        QTest::addColumn<QList<int>>("redrawnAt");
        QTest::newRow("0.1 s: every second sample") << "0.1" << QList<int>{2, 4, 6};
        QTest::newRow("0.2 s: every sample") << "0.2" << QList<int>{1, 2, 3, 4, 5, 6};
        QTest::newRow("30.0 s: every sample") << "30.0" << QList<int>{1, 2, 3, 4, 5, 6};
    }

    void redraws()
    {
        QFETCH(QString, rate);
        QFETCH(QList<int>, redrawnAt);
        RealTimeRig rig;
        rig.run(QStringLiteral(" 2000"), rate);
        QSignalSpy redrawn(&rig.commands.graphController(), &RealTimeGraphController::graphRedrawn);
        for (int i = 0; i < 6; ++i)
            rig.feed(60.0f, 30000);
        QList<int> counts;
        for (const QList<QVariant>& call : redrawn)
            counts << call.at(0).toInt();
        QCOMPARE(counts, redrawnAt);
    }

    // Samples only mark the chart and the acoustic figures for the window's
    // next refresh tick: a burst of them is drawn once, with all its points,
    // and the figures are those of every level recorded, counted afresh.
    void samplesAreDrawnAtTheNextTick_data()
    {
        QTest::addColumn<QString>("rate");
        QTest::addColumn<QString>("points");
        QTest::addColumn<QList<float>>("levels");
        QList<float> steps;
        for (int i = 0; i < 40; ++i)
            steps << float((450 + i * 7 % 300) * 0.1); // as frames are read
        QTest::newRow("0.2 s, meter steps") << "0.2" << " 2000" << steps;
        QTest::newRow("0.1 s, meter steps") << "0.1" << " 2000" << steps;
        QList<float> offSteps = steps;
        offSteps[5] = 71.234f;
        QTest::newRow("a level off the steps") << "1.0" << " 2000" << offSteps;
        // The last sample fills the graph and recording stops by itself.
        QTest::newRow("the graph filling up") << "1.0" << "   40" << steps;
    }

    void samplesAreDrawnAtTheNextTick()
    {
        QFETCH(QString, rate);
        QFETCH(QString, points);
        QFETCH(QList<float>, levels);
        RealTimeRig rig;
        rig.run(points, rate);
        TfrmGraph& w = *rig.window;
        w.resize(1000, 600);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTRY_VERIFY(!w.refreshPending());
        auto* plot = w.graph()->findChild<QCustomPlot*>();
        QVERIFY(plot);
        QSignalSpy replots(plot, &QCustomPlot::afterReplot);
        QVERIFY(replots.isValid());

        // Whole seconds apart: every reading is a sample at every rate here.
        for (const float level : std::as_const(levels))
            rig.feed(level, 1000);
        QCOMPARE(rig.state.RealTimeSampleCount, int(levels.size()));
        const bool stopped = !rig.commands.recorder().isRunning();
        QCOMPARE(stopped, points.trimmed().toInt() == levels.size());
        if (!stopped) {
            QCOMPARE(replots.size(), 0);
            QVERIFY(w.refreshPending());
            QTRY_VERIFY(!w.refreshPending());
            QCOMPARE(replots.size(), 1);
        }
        QCOMPARE(plot->graph(0)->dataCount(), int(levels.size()));
        QCOMPARE(plot->graph(0)->data()->at(int(levels.size()) - 1)->value,
                 double(levels.last()));

        const std::span<const float> recorded(levels.constData(), size_t(levels.size()));
        const AcousticFigures full =
            AcousticStatistics::of(recorded, w.acousticIntervalSeconds(), w.acousticThreshold());
        const AcousticFigures shown = w.acousticFigures(false);
        QCOMPARE(shown.sampleCount, full.sampleCount);
        QCOMPARE(shown.leq, full.leq);
        QCOMPARE((QList<double>{shown.l5, shown.l10, shown.l50, shown.l90, shown.l95,
                                shown.lmax, shown.lmin, shown.secondsAbove}),
                 (QList<double>{full.l5, full.l10, full.l50, full.l90, full.l95, full.lmax,
                                full.lmin, full.secondsAbove}));
        const auto texts = AcousticBox::textsOf(full);
        for (int row = 0; row < AcousticBox::RowCount; ++row)
            QCOMPARE(w.acousticBox()->text(AcousticBox::Whole, AcousticBox::Row(row)),
                     texts[size_t(row)]);

        // A new recording counts from nothing again.
        rig.answer = QMessageBox::No;
        rig.run(points, rate);
        rig.feed(88.8f, 1000);
        QTRY_VERIFY(!w.refreshPending());
        QCOMPARE(w.acousticFigures(false).sampleCount, 1);
        QCOMPARE(w.acousticFigures(false).lmin, double(88.8f));
    }

    void questionWhileTheGraphHoldsSamples_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("saveWrites");
        QTest::addColumn<bool>("restarted");
        QTest::addColumn<int>("saves");
        QTest::newRow("Cancel") << int(QMessageBox::Cancel) << true << false << 0;
        QTest::newRow("No") << int(QMessageBox::No) << true << true << 0;
        QTest::newRow("Yes, saved") << int(QMessageBox::Yes) << true << true << 1;
        // The file dialog cancelled or the write failed: the samples stay.
        QTest::newRow("Yes, nothing saved") << int(QMessageBox::Yes) << false << false << 1;
    }

    void questionWhileTheGraphHoldsSamples()
    {
        QFETCH(int, answer);
        QFETCH(bool, saveWrites);
        QFETCH(bool, restarted);
        QFETCH(int, saves);
        RealTimeRig rig;
        rig.run(QStringLiteral("    5"), QStringLiteral("1.0"));
        for (int i = 0; i < 5; ++i)
            rig.feed(50.0f + float(i));
        QSignalSpy commands(&rig.commands, &RealTimeCommands::runStopChanged);
        rig.answer = QMessageBox::StandardButton(answer);
        rig.saveWrites = saveWrites;
        rig.dialogsShown = 0;
        rig.run(QStringLiteral("   10"), QStringLiteral("1.0"));

        QCOMPARE(rig.questions, QStringList{RealTimeCommands::ResetQuestion});
        QCOMPARE(RealTimeCommands::ResetQuestion,
                 QStringLiteral("There are datas in Real_Time graph ,it have to reset the graph.\n"
                                "Do you want to save the Real-Time graph ?"));
        QCOMPARE(rig.saves, saves);
        QCOMPARE(rig.dialogsShown, restarted ? 1 : 0);
        QCOMPARE(rig.commands.recorder().isRunning(), restarted);
        PESGraph* chart = rig.window->graph();
        if (restarted) {
            QCOMPARE(chart->points(), 10);
            QCOMPARE(rig.state.RealTimeSampleCount, 0);
            QCOMPARE(chart->yData(0, 0), 0.0f);
            QCOMPARE(field(*rig.window, "txtMax"), QString());
            QCOMPARE(commands.last(), (QList<QVariant>{false, true}));
        } else {
            QCOMPARE(chart->points(), 5);
            QCOMPARE(rig.state.RealTimeSampleCount, 5);
            QCOMPARE(chart->yData(0, 4), 54.0f);
            QCOMPARE(field(*rig.window, "txtMax"), QStringLiteral("54.0"));
            QVERIFY(commands.isEmpty());
        }
    }

    void questionWhileRecording()
    {
        RealTimeRig rig;
        rig.run(QStringLiteral(" 2000"), QStringLiteral("1.0"));
        rig.answer = QMessageBox::Cancel;
        rig.commands.btnRunClick();
        QCOMPARE(rig.questions.size(), 1);
        QVERIFY(rig.commands.recorder().isRunning());
    }

    void invalidInput_data()
    {
        QTest::addColumn<QString>("count");
        QTest::addColumn<QString>("rate");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty count") << ""
                                     << "0.2"
                                     << " is not valid.\n";
        QTest::newRow("zero points") << "0"
                                     << "0.2"
                                     << "0 is not valid.\n";
        QTest::newRow("rate not a number") << "100"
                                           << "fast"
                                           << "'fast' is not a valid floating point value";
        QTest::newRow("zero rate") << "100"
                                   << "0"
                                   << "'0' is not a valid sampling interval";
        QTest::newRow("negative rate") << "100"
                                       << "-1.0"
                                       << "'-1.0' is not a valid sampling interval";
        QTest::newRow("infinite rate") << "100"
                                       << "inf"
                                       << "'inf' is not a valid sampling interval";
        // Infinite as a float; and beyond the microseconds the recorder counts in.
        QTest::newRow("rate 1e39") << "100"
                                   << "1e39"
                                   << "'1e39' is not a valid sampling interval";
        QTest::newRow("rate 1e20") << "100"
                                   << "1e20"
                                   << "'1e20' is not a valid sampling interval";
        QTest::newRow("rate zero as a float") << "100"
                                              << "1e-50"
                                              << "'1e-50' is not a valid sampling interval";
        QTest::newRow("rate of a day and a second") << "100"
                                                    << "86401"
                                                    << "'86401' is not a valid sampling interval";
    }

    void invalidInput()
    {
        QFETCH(QString, count);
        QFETCH(QString, rate);
        QFETCH(QString, message);
        RealTimeRig rig;
        rig.createGraph();
        const int pointsBefore = rig.window->graph()->points();
        rig.run(count, rate);
        QCOMPARE(rig.messages, QStringList{message});
        QVERIFY(!rig.commands.recorder().isRunning());
        QCOMPARE(rig.window->graph()->points(), pointsBefore);
    }

    void rateChangeRefusedWhileRecording_data()
    {
        QTest::addColumn<QString>("runningRate");
        QTest::addColumn<int>("itemAfter");
        QTest::newRow("1.0 s: put back") << "1.0" << 3;
        QTest::newRow("60 s: no item, left as chosen") << "60" << 5;
    }

    void rateChangeRefusedWhileRecording()
    {
        QFETCH(QString, runningRate);
        QFETCH(int, itemAfter);
        RealTimeRig rig;
        rig.run(QStringLiteral(" 2000"), runningRate);
        QVERIFY(rig.commands.recorder().isRunning());
        QComboBox* list = rateList(*rig.window);
        list->setCurrentIndex(5); // "5.0"
        QCOMPARE(rig.messages, QStringList{QStringLiteral(
                                   "Can not change Sampling Rate while Real-Time is running.")});
        QCOMPARE(list->currentIndex(), itemAfter);
        QCOMPARE(rig.state.RealTimeInterval, runningRate.toFloat());
    }

    void rateChangeTakenWhileIdle()
    {
        RealTimeRig rig;
        rig.createGraph();
        rateList(*rig.window)->setCurrentIndex(6);
        QCOMPARE(rig.state.RealTimeInterval, 10.0f);
        QVERIFY(rig.messages.isEmpty());
    }

    void closingTheGraphEndsRecording()
    {
        RealTimeRig rig;
        rig.answer = QMessageBox::No;
        rig.run(QStringLiteral(" 2000"), QStringLiteral("1.0"));
        rig.feed(60.0f);
        QSignalSpy commands(&rig.commands, &RealTimeCommands::runStopChanged);
        QVERIFY(rig.window->close());
        QCOMPARE(rig.questions, QStringList{QStringLiteral("Save Real-Time Graph ?")});
        QVERIFY(!rig.commands.recorder().isRunning());
        QVERIFY(!rig.state.RealTimeRunning);
        QCOMPARE(rig.state.RealTimeSampleCount, 0);
        QCOMPARE(commands.last(), (QList<QVariant>{true, false}));
        rig.feed(61.0f);
        QCOMPARE(rig.window->graph()->yData(0, 1), 0.0f);
    }

    void rejectedCountIsReported()
    {
        RealTimeRig rig;
        QSignalSpy rejected(&rig.commands, &RealTimeCommands::rejectedCountText);
        rig.run(QStringLiteral(" 2000"), QStringLiteral("1.0"));
        QCOMPARE(rejected.last().at(0).toString(), QStringLiteral("0"));
        rig.feed(150.0f);
        QCOMPARE(rejected.last().at(0).toString(), QStringLiteral("1"));
        QCOMPARE(rig.state.RealTimeSampleCount, 0);
    }
};

AUDIMARK_TEST_MAIN_GUI(TestRealTimeCommands)
#include "tst_realtimecommands.moc"
