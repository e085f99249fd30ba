// Real Time > "Monitor...": the window's intervals and events from the live
// readings, each stored in the station's outbox in the archive; a click on
// an event puts the real-time graph's cursors on it; and the live link of
// the main window feeding the monitoring from the virtual meter.

#include <QApplication>

#include "common/MosquittoBroker.h"
#include "common/TestMain.h"

#include "app/ArchiveSession.h"
#include "app/TfrmMain.h"
#include "app/TfrmMonitor.h"
#include "archive/Archive.h"
#include "graph/Tslider2.h"
#include "monitor/SqlMonitorOutbox.h"
#include "realtime/RealTimeRig.h"
#include "tools/virtual-meter/VirtualMeter.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>

#include <cmath>

namespace {
constexpr int StartUpTimeout = 20000;
constexpr int LinkTimeout = 10000;

QString dB(double value)
{
    return QLocale().toString(value, 'f', 1);
}
} // namespace

class TestMonitorWindow : public QObject
{
    Q_OBJECT

private slots:
    void intervalsAndEventsStoredAndShownOnTheGraph()
    {
        QTemporaryDir dir;
        ArchiveSession session;
        QVERIFY(session.open(dir.filePath(QStringLiteral("archive.sqlite"))));
        RealTimeRig rig;
        rig.run(QStringLiteral("2000"), QStringLiteral("1"));
        MeterLink link(rig.clock);
        TfrmMonitor w(link, &session, dir.path(), [&] { return rig.window.get(); });
        w.findChild<QComboBox*>(QStringLiteral("cmbInterval"))->setCurrentIndex(0); // 10 s
        w.findChild<QCheckBox*>(QStringLiteral("chkEvents"))->setChecked(true);
        w.findChild<QDoubleSpinBox*>(QStringLiteral("edtThreshold"))->setValue(85.0);
        w.findChild<QDoubleSpinBox*>(QStringLiteral("edtMinDuration"))->setValue(3.0);
        w.findChild<QDoubleSpinBox*>(QStringLiteral("edtHysteresis"))->setValue(2.0);
        w.findChild<QLineEdit*>(QStringLiteral("edtStation"))->setText(QStringLiteral("st-1"));
        w.show();
        // A broker URL that cannot be used: nothing starts.
        auto* broker = w.findChild<QLineEdit*>(QStringLiteral("edtBroker"));
        broker->setText(QStringLiteral("ftp://broker"));
        w.findChild<QPushButton*>(QStringLiteral("btnStart"))->click();
        QVERIFY(!w.station().isRunning());
        QVERIFY(w.findChild<QLabel*>(QStringLiteral("lblStatus"))->text().contains("Broker"));
        broker->clear();
        w.findChild<QPushButton*>(QStringLiteral("btnStart"))->click();
        QVERIFY(w.station().isRunning());
        QVERIFY(w.findChild<QLabel*>(QStringLiteral("lblStatus"))
                    ->text()
                    .contains(session.archive()->location().displayName()));

        // Monitoring starts at :40; one reading a second from :41 to :69,
        // far above the threshold from :53 to :58.
        const auto levelOf = [](int i) { return i >= 12 && i <= 17 ? 95.0f : 70.0f + i % 3; };
        for (int i = 0; i < 29; ++i) {
            rig.clock.advance(1000);
            MeterReading reading;
            reading.level = levelOf(i);
            reading.weightingA = true;
            rig.commands.recorder().sampleReading(reading);
            w.station().renderReading(reading);
            w.station().advance();
        }
        w.findChild<QPushButton*>(QStringLiteral("btnStop"))->click();
        QVERIFY(!w.station().isRunning());

        // Three intervals, newest on top: readings 19..28, 9..18, 0..8.
        auto* intervals = w.findChild<QTableWidget*>(QStringLiteral("gridIntervals"));
        QCOMPARE(intervals->rowCount(), 3);
        const int firsts[] = {19, 9, 0};
        const int lasts[] = {28, 18, 8};
        for (int row = 0; row < 3; ++row) {
            double energy = 0.0;
            for (int i = firsts[row]; i <= lasts[row]; ++i)
                energy += std::pow(10.0, levelOf(i) / 10.0);
            const int count = lasts[row] - firsts[row] + 1;
            QCOMPARE(intervals->item(row, 1)->text(), dB(10.0 * std::log10(energy / count)));
            QCOMPARE(intervals->item(row, 7)->text(), QString::number(count));
            QVERIFY(intervals->item(row, 9)->text().startsWith(QLatin1Char('#')));
        }
        QCOMPARE(intervals->horizontalHeaderItem(1)->text(), QStringLiteral("LAeq"));
        QCOMPARE(intervals->item(2, 8)->text(), QStringLiteral("%1 %").arg(dB(90.0)));
        auto* events = w.findChild<QTableWidget*>(QStringLiteral("gridEvents"));
        QCOMPARE(events->rowCount(), 1);
        QCOMPARE(events->item(0, 2)->text(), QStringLiteral("%1 s").arg(dB(6.0)));
        QCOMPARE(events->item(0, 3)->text(), dB(95.0));
        QCOMPARE(events->item(0, 4)->text(), dB(95.0 + 10.0 * std::log10(6.0)));
        QVERIFY(events->item(0, 5)->text().startsWith(QLatin1Char('#')));

        // All four in the station's outbox.
        auto opened = SqlMonitorOutbox::open(session.archive()->location(), QStringLiteral("st-1"));
        QVERIFY2(opened.outbox, qPrintable(opened.error));
        const QList<OutboxMessage> stored = opened.outbox->unsent(100);
        QCOMPARE(stored.size(), 4);
        QCOMPARE(std::count_if(stored.begin(), stored.end(),
                               [](const OutboxMessage& m) { return m.subtopic == "event"; }),
                 1);
        const QJsonObject newest = QJsonDocument::fromJson(stored.last().payload).object();
        QCOMPARE(dB(newest.value(QStringLiteral("laeq_db")).toDouble()),
                 intervals->item(0, 1)->text());

        // The event's span on the real-time graph: the samples of readings 12 to 17.
        w.rowClick(events, 0);
        QCOMPARE(rig.window->slider()->Value1(), 12);
        QCOMPARE(rig.window->slider()->Value2(), 17);
    }

    void intervalsPublishedToTheBroker()
    {
        MosquittoBroker broker;
        QVERIFY2(broker.start(), qPrintable(broker.error()));
        MosquittoSubscriber subscriber(broker, QStringLiteral("audimark/st-3/#"));
        QVERIFY2(subscriber.start(), qPrintable(subscriber.error()));
        QTemporaryDir dir;
        FakeMeterClock clock;
        MeterLink link(clock);
        TfrmMonitor w(link, nullptr, dir.path(), [] { return nullptr; });
        w.findChild<QComboBox*>(QStringLiteral("cmbInterval"))->setCurrentIndex(0);
        w.findChild<QLineEdit*>(QStringLiteral("edtStation"))->setText(QStringLiteral("st-3"));
        w.findChild<QLineEdit*>(QStringLiteral("edtBroker"))->setText(broker.url());
        w.btnStartClick();
        QVERIFY(w.station().isRunning());
        auto* status = w.findChild<QLabel*>(QStringLiteral("lblBroker"));
        QTRY_VERIFY_WITH_TIMEOUT(status->text().startsWith("MQTT: connected"), 30000);

        for (int i = 0; i < 12; ++i) {
            clock.advance(1000);
            MeterReading reading;
            reading.level = 64.0f;
            reading.weightingA = true;
            w.station().renderReading(reading);
            w.station().advance();
        }
        QTRY_VERIFY_WITH_TIMEOUT(
            !subscriber.payloads(QStringLiteral("audimark/st-3/interval")).isEmpty(), 30000);
        const QJsonObject first =
            QJsonDocument::fromJson(subscriber.payloads("audimark/st-3/interval").first()).object();
        QCOMPARE(first.value(QStringLiteral("laeq_db")).toDouble(), 64.0);
        w.btnStopClick();
        QVERIFY(status->isHidden());
    }

    void mainWindowLinkFeedsTheMonitor()
    {
        vmeter::VirtualMeterOptions options;
        options.fast = true;
        vmeter::VirtualMeter meter(options);
        QVERIFY(meter.start());
        meter.setLevel(60.0);
        QTemporaryDir dir;
        TfrmMain::Environment environment;
        const QString port = meter.slavePath();
        environment.listPorts = [port] { return QStringList{port}; };
        environment.dataDirectory = dir.path();
        TfrmMain main(environment);
        QSignalSpy finished(&main, &TfrmMain::startUpFinished);
        main.show();
        QVERIFY(finished.wait(StartUpTimeout));

        main.findChild<QAction*>(QStringLiteral("Monitor1"))->trigger();
        TfrmMonitor* w = main.monitorWindow();
        QVERIFY(w);
        w->findChild<QLineEdit*>(QStringLiteral("edtStation"))->setText(QStringLiteral("st-2"));
        w->btnStartClick();
        QVERIFY(w->station().isRunning());
        QTRY_VERIFY_WITH_TIMEOUT(w->station().readings() >= 3, LinkTimeout);

        // Closing the window ends monitoring: the open interval is stored in
        // the queue file (no archive).
        w->parentWidget()->close();
        QTRY_VERIFY(!main.monitorWindow());
        auto opened = SqlMonitorOutbox::open(SqlMonitorOutbox::queueFile(dir.path(), "st-2"),
                                             QStringLiteral("st-2"));
        QVERIFY2(opened.outbox, qPrintable(opened.error));
        const QList<OutboxMessage> stored = opened.outbox->unsent(100);
        QVERIFY(!stored.isEmpty());
        const QJsonObject last = QJsonDocument::fromJson(stored.last().payload).object();
        QVERIFY(last.value(QStringLiteral("samples")).toInt() >= 3);

        // The settings of the run are remembered.
        main.findChild<QAction*>(QStringLiteral("Monitor1"))->trigger();
        QVERIFY(main.monitorWindow());
        QCOMPARE(main.monitorWindow()->findChild<QLineEdit*>(QStringLiteral("edtStation"))->text(),
                 QStringLiteral("st-2"));
        QVERIFY(!main.monitorWindow()->station().isRunning());
    }
};

AUDIMARK_TEST_MAIN_GUI(TestMonitorWindow)
#include "tst_monitorwindow.moc"
