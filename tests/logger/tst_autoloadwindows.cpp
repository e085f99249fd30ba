// Scheduled auto-loading in the main window: the schedule dialog as the user
// sees it, Start / Stop / Cancel and the status bar's third panel, the hour
// text refused with a message, the recording key sent only to an idle meter,
// the schedule check of the one-second tick waiting for a connected meter,
// dump_and_clear_memory and the one-minute test, against the virtual meter.

#include <QApplication>

#include "common/TestMain.h"

#include "app/AutoLoadCommands.h"
#include "app/TfrmMain.h"
#include "logger/AcceleratedMeterClock.h"
#include "tools/virtual-meter/LoggerImageBuilder.h"
#include "tools/virtual-meter/VirtualMeter.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <memory>

using vmeter::LoggerImageBuilder;
using vmeter::LoggerRecordContent;
using vmeter::VirtualMeterOptions;

namespace {
constexpr int speedUp = 10;
const QLocale us(QLocale::English, QLocale::UnitedStates);
const QLocale de(QLocale::German, QLocale::Germany);

// Elapsed time ten times faster than the wall; the wall clock itself moved
// by a shift the test chooses (to 08:00, or an hour on).
class ShiftedClock : public AcceleratedMeterClock
{
public:
    ShiftedClock() : AcceleratedMeterClock(speedUp) {}
    QDateTime currentDateTime() const override
    {
        return QDateTime::currentDateTime().addMSecs(shiftMs);
    }
    void setWallTime(const QDateTime& wall)
    {
        shiftMs = QDateTime::currentDateTime().msecsTo(wall);
    }
    qint64 shiftMs = 0;
};

QByteArray threeSets()
{
    LoggerImageBuilder builder;
    for (int k = 0; k < 3; ++k) {
        LoggerRecordContent content;
        content.start = QDateTime(QDate(2010, 4, 13), QTime(9 + k, 15));
        content.intervalSeconds = 0x02;
        for (int i = 0; i < 40 + 10 * k; ++i)
            content.samplesTenths.append(550 + i);
        builder.append(content);
    }
    return builder.image();
}

// The main window with scripted dialogs: the schedule dialog gets `hours`
// typed and `accept` pressed; messages are noted.
struct WindowRig
{
    explicit WindowRig(vmeter::VirtualMeter* meter = nullptr)
    {
        TfrmMain::Environment environment;
        environment.clock = &clock;
        environment.listPorts = [meter] {
            return meter ? QStringList{meter->slavePath()} : QStringList{};
        };
        environment.dataDirectory = dataDir.path();
        environment.fileDialogs.exec = [this](QDialog& dialog) {
            shownDialogs << &dialog;
            if (auto* schedule = qobject_cast<TfrmAutoLoad*>(&dialog)) {
                if (onSchedule)
                    onSchedule(*schedule);
                schedule->ComboBox1->setEditText(hours);
            }
            return accept ? int(QDialog::Accepted) : int(QDialog::Rejected);
        };
        environment.fileDialogs.inform = [this](QWidget*, const QString& text) {
            messages << text;
        };
        window = std::make_unique<TfrmMain>(environment);
    }

    [[nodiscard]] bool startUp()
    {
        QSignalSpy finished(window.get(), &TfrmMain::startUpFinished);
        window->resize(1200, 800);
        window->show();
        return finished.wait(20000);
    }

    void start(const QString& text, bool ok = true)
    {
        hours = text;
        accept = ok;
        window->findChild<QAction*>(QStringLiteral("StartAutoLoading1"))->trigger();
    }

    [[nodiscard]] QString panel() const { return window->statusText(2); }
    [[nodiscard]] AutoLoadCommands& autoLoad() { return window->autoLoad(); }

    ShiftedClock clock;
    QTemporaryDir dataDir;
    QString hours = QStringLiteral("1");
    bool accept = true;
    std::function<void(TfrmAutoLoad&)> onSchedule;
    QList<QDialog*> shownDialogs;
    QStringList messages;
    std::unique_ptr<TfrmMain> window;
};

struct MeterWindowRig
{
    explicit MeterWindowRig(VirtualMeterOptions options)
        : meter(prepared(std::move(options))), started(meter.start()), rig(&meter)
    {
    }

    static VirtualMeterOptions prepared(VirtualMeterOptions options)
    {
        options.fast = true;
        options.protocol.model = vmeter::MeterModel::Model842;
        options.protocol.idReply = QByteArrayLiteral("0842");
        return options;
    }

    [[nodiscard]] bool connect() { return started && rig.startUp(); }

    [[nodiscard]] int recordingKeys() const
    {
        int keys = 0;
        for (const auto& frame : meter.receivedFrames())
            keys += frame.bytes.at(1) == 'E' ? 1 : 0;
        return keys;
    }

    vmeter::VirtualMeter meter;
    bool started = false; // before the window, which lists the meter's port
    WindowRig rig;
};

VirtualMeterOptions withMemory(const QByteArray& memory, bool recording = false)
{
    VirtualMeterOptions options;
    options.protocol.logger.memory = memory;
    options.protocol.recording = recording;
    return options;
}
} // namespace

class TestAutoLoadWindows : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void scheduleDialog()
    {
        WindowRig rig;
        TfrmAutoLoad* seen = nullptr;
        rig.onSchedule = [&seen](TfrmAutoLoad& dialog) {
            seen = &dialog;
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Data Logging Schedule"));
            QVERIFY(dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
            QCOMPARE(dialog.Label3->text(), QStringLiteral("Data Logging every "));
            QCOMPARE(dialog.Label1->text(), QStringLiteral("HOUR"));
            QCOMPARE(dialog.BitBtn1->text(), QStringLiteral("OK"));
            QCOMPARE(dialog.BitBtn2->text(), QStringLiteral("Cancel"));
            QVERIFY(dialog.ComboBox1->isEditable());
            QCOMPARE(dialog.ComboBox1->count(), 24);
            QCOMPARE(dialog.ComboBox1->itemText(0), QStringLiteral("1"));
            QCOMPARE(dialog.ComboBox1->itemText(23), QStringLiteral("24"));
        };
        QCOMPARE(rig.autoLoad().dialog(), nullptr);
        rig.start(QStringLiteral("1"), false);
        QVERIFY(seen);
        QCOMPARE(seen->ComboBox1->currentText(), QStringLiteral("1"));
        // Created on first use and kept: the second Start shows the same one.
        rig.start(QStringLiteral("3"), false);
        QCOMPARE(rig.shownDialogs.size(), 2);
        QCOMPARE(rig.shownDialogs.at(1), rig.shownDialogs.at(0));
    }

    void startShowsTheNextCycle_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("panel");
        QTest::newRow("en_US") << us << "Auto Loading Mode, next 4/15/2010 8:00 AM";
        QTest::newRow("de_DE") << de << "Auto Loading Mode, next 15.04.2010 08:00";
    }

    void startShowsTheNextCycle()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, panel);
        QLocale::setDefault(locale);
        WindowRig rig;
        rig.clock.setWallTime(QDateTime(QDate(2010, 4, 14), QTime(8, 0)));
        rig.start(QStringLiteral("24"));
        QVERIFY(rig.autoLoad().schedule().AutoLoadEnabled());
        QCOMPARE(rig.autoLoad().schedule().AutoLoadInterval(), 1.0);
        QCOMPARE(rig.panel(), panel);
        const QLabel* label = rig.window->findChild<QLabel*>(QStringLiteral("StatusPanel2"));
        QVERIFY(label->width() >= label->fontMetrics().horizontalAdvance(panel));
        QVERIFY(rig.messages.isEmpty());
    }

    void hourTextRefused_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << "0";
        QTest::newRow("25") << "25";
        QTest::newRow("fraction") << "1.5";
        QTest::newRow("words") << "every day";
        QTest::newRow("empty") << "";
    }

    void hourTextRefused()
    {
        QFETCH(QString, text);
        WindowRig rig;
        rig.start(text);
        QCOMPARE(rig.messages,
                 QStringList{QStringLiteral("\"%1\" is not a whole number of hours from 1 to "
                                            "24.\nAuto loading has not been started.")
                                 .arg(text)});
        QVERIFY(!rig.autoLoad().schedule().AutoLoadEnabled());
        QCOMPARE(rig.panel(), QString());
    }

    // Cancel turns auto-loading off and empties the panel, also when it was on.
    void cancelAndStopTurnItOff()
    {
        WindowRig rig;
        rig.start(QStringLiteral("2"));
        QVERIFY(rig.panel().startsWith(AutoLoadCommands::ModeText));
        rig.start(QStringLiteral("2"), false);
        QVERIFY(!rig.autoLoad().schedule().AutoLoadEnabled());
        QCOMPARE(rig.panel(), QString());

        rig.start(QStringLiteral("5"));
        QVERIFY(rig.autoLoad().schedule().AutoLoadEnabled());
        rig.window->findChild<QAction*>(QStringLiteral("StopAutoLoading1"))->trigger();
        QVERIFY(!rig.autoLoad().schedule().AutoLoadEnabled());
        QCOMPARE(rig.panel(), QString());
    }

    void startSendsTheRecordingKeyOnlyToAnIdleMeter_data()
    {
        QTest::addColumn<bool>("recording");
        QTest::newRow("idle meter") << false;
        QTest::newRow("recording meter") << true;
    }

    void startSendsTheRecordingKeyOnlyToAnIdleMeter()
    {
        QFETCH(bool, recording);
        MeterWindowRig m(withMemory(threeSets(), recording));
        QVERIFY(m.connect());
        QTRY_VERIFY(m.rig.window->link().MeterConnected());
        QTRY_COMPARE(m.rig.window->link().MeterRecording(), recording);
        m.rig.start(QStringLiteral("6"));
        QTRY_COMPARE(m.recordingKeys(), recording ? 0 : 1);
        QTRY_VERIFY(m.meter.isRecording());
        // Stop leaves the recording alone.
        m.rig.window->findChild<QAction*>(QStringLiteral("StopAutoLoading1"))->trigger();
        QTest::qWait(300);
        QCOMPARE(m.recordingKeys(), recording ? 0 : 1);
        QVERIFY(m.meter.isRecording());
    }

    // A cycle falls due while the meter is switched off: nothing happens
    // until the meter is back; the first tick after that runs the cycle.
    void dueCycleWaitsForTheMeter()
    {
        MeterWindowRig m(withMemory(threeSets()));
        QVERIFY(m.connect());
        MeterLink& link = m.rig.window->link();
        QTRY_VERIFY(link.MeterConnected());
        m.rig.start(QStringLiteral("1"));
        const QDateTime firstDue = m.rig.autoLoad().schedule().NextAutoLoad();

        m.meter.switchOff();
        QTRY_VERIFY_WITH_TIMEOUT(!link.MeterConnected(), 10000);
        m.rig.clock.shiftMs += 3600 * 1000 + 5000;
        QVERIFY(m.rig.clock.currentDateTime() > firstDue);
        // Several ticks pass without a cycle.
        QTest::qWait(2500);
        QVERIFY(!m.rig.autoLoad().lastOutcome());
        QVERIFY(!QFile::exists(m.rig.dataDir.filePath(AutoLoadLog::FileName)));

        m.meter.switchOn();
        QTRY_VERIFY_WITH_TIMEOUT(m.rig.autoLoad().lastOutcome().has_value(), 30000);
        const AutoLoadOutcome outcome = *m.rig.autoLoad().lastOutcome();
        QCOMPARE(outcome.result, AutoLoadOutcome::Result::Emptied);
        // The recording the start began may have grown a fourth set by the
        // time the cycle runs on a slow machine; every set is dumped.
        QVERIFY2(outcome.sets == 3 || outcome.sets == 4, qPrintable(QString::number(outcome.sets)));
        QVERIFY(outcome.started > firstDue);
        const QDateTime next = m.rig.autoLoad().schedule().NextAutoLoad();
        QVERIFY(qAbs(next.secsTo(outcome.started.addSecs(3600))) <= 2);
        QCOMPARE(QDir(m.rig.dataDir.path()).entryList({"*.CSV"}, QDir::Files).size(), outcome.sets);
        QVERIFY(link.Comm1().Active());
        QVERIFY(!link.Comm2().Active());
        QVERIFY(link.MainTimer().isActive());
        QTRY_VERIFY(m.meter.isRecording());
        // The panel still says when the next cycle comes, its tooltip what
        // the last one did.
        QVERIFY(m.rig.panel().startsWith(AutoLoadCommands::ModeText + ", next "));
        const QLabel* label = m.rig.window->findChild<QLabel*>(QStringLiteral("StatusPanel2"));
        QVERIFY2(label->toolTip().contains(QStringLiteral("; emptied; %1 sets").arg(outcome.sets)),
                 qPrintable(label->toolTip()));
    }

    void dumpAndClearMenuItem()
    {
        MeterWindowRig m(withMemory(threeSets()));
        QVERIFY(m.connect());
        QTRY_VERIFY(m.rig.window->link().MeterConnected());
        // While the cycle blocks, the panel says so under the busy cursor.
        QStringList panelTexts;
        QList<bool> busyWhileShown;
        connect(&m.rig.autoLoad(), &AutoLoadCommands::statusTextChanged, this,
                [&](const QString& text) {
                    panelTexts << text;
                    busyWhileShown << (QApplication::overrideCursor() != nullptr);
                });
        m.rig.window->findChild<QAction*>(QStringLiteral("dumpandclearmemory1"))->trigger();
        QCOMPARE(panelTexts, (QStringList{AutoLoadCommands::CycleRunningText, QString()}));
        QCOMPARE(busyWhileShown, (QList<bool>{true, false}));
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        QVERIFY(m.rig.autoLoad().lastOutcome());
        QCOMPARE(m.rig.autoLoad().lastOutcome()->result, AutoLoadOutcome::Result::Emptied);
        QCOMPARE(QDir(m.rig.dataDir.path()).entryList({"*.CSV", "*.rec"}, QDir::Files).size(), 4);
        // Not auto-loading: the panel stays empty.
        QCOMPARE(m.rig.panel(), QString());
        QVERIFY(m.rig.window->link().MainTimer().isActive());
    }

    // The one-minute test: "E" for an idle meter, then Timer1 runs a cycle
    // each time it fires (shortened here from its 60 s).
    void oneMinuteTest()
    {
        MeterWindowRig m(withMemory(threeSets()));
        QVERIFY(m.connect());
        QTRY_VERIFY(m.rig.window->link().MeterConnected());
        QTRY_VERIFY(m.rig.window->link().FrameSeen() || m.rig.window->link().MeterConnected());
        QCOMPARE(m.rig.window->Timer1.interval(), 60000);
        m.rig.window->findChild<QAction*>(QStringLiteral("estLoadingEvery1Minute1"))->trigger();
        QVERIFY(m.rig.window->Timer1.isActive());
        QTRY_COMPARE(m.recordingKeys(), 1);
        m.rig.window->Timer1.setInterval(200);
        QTRY_VERIFY_WITH_TIMEOUT(m.rig.autoLoad().lastOutcome().has_value(), 20000);
        m.rig.window->Timer1.stop();
        QCOMPARE(m.rig.autoLoad().lastOutcome()->result, AutoLoadOutcome::Result::Emptied);
        // The meter was recording a fourth set when the cycle stopped it.
        QCOMPARE(m.rig.autoLoad().lastOutcome()->sets, 4);
    }
};

AUDIMARK_TEST_MAIN_GUI(TestAutoLoadWindows)
#include "tst_autoloadwindows.moc"
