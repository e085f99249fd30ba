// The "Load Data" command with the program's windows, against the virtual
// meter on a pseudo-terminal: the message boxes and questions as the user
// sees them, the progress dialog, the "DataLogger" window with its data set
// list and chart, and the device back with the live port on every ending.

#include <QApplication>

#include "common/TestMain.h"

#include "app/LoggerGraphWindow.h"
#include "app/TfrmMain.h"
#include "app/WindowLoggerUi.h"
#include "graph/GraphWindowState.h"
#include "graph/PESGraph.h"
#include "graph/TfrmGraph.h"
#include "logger/AcceleratedMeterClock.h"
#include "logger/LoggerBoxScript.h"
#include "logger/LoggerRig.h"
#include "logger/LoggerTexts.h"

#include <QGroupBox>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>

using vmeter::LoggerImageBuilder;
using vmeter::LoggerRecordContent;
using vmeter::VirtualMeterOptions;
using Box = QMessageBox;

Q_DECLARE_METATYPE(vmeter::VirtualMeterOptions)

namespace {
constexpr int speedUp = 10;

LoggerRecordContent record(int samples, QDateTime start, int intervalByte, bool aWeighting)
{
    LoggerRecordContent content;
    content.start = start;
    content.intervalSeconds = intervalByte;
    content.aWeighting = aWeighting;
    for (int i = 0; i < samples; ++i)
        content.samplesTenths.append(600 + 13 * i % 300);
    return content;
}

// Three sets: 3, 7 and 11 samples, the second C weighted.
QByteArray threeSets()
{
    LoggerImageBuilder builder;
    const QDate day(2010, 4, 14);
    builder.append(record(3, QDateTime(day, QTime(15, 30, 5)), 0x05, true));
    builder.append(record(7, QDateTime(day, QTime(16, 0, 0)), 0x30, false));
    builder.append(record(11, QDateTime(day.addDays(1), QTime(9, 5, 59)), 0x10, true));
    return builder.image();
}

// What the progress dialog showed, noted while it was on the screen.
struct ProgressSeen
{
    QString caption;
    QString total;
    QString received;
    int barMaximum = -1;
    int barValue = -1;
    bool countersVisible = false;
    bool rangeAndButtonsHidden = false;
    bool staysOnTop = false;
    int updates = 0;
};

// The program's logger windows, noting what the transient windows showed.
class ObservedWindowUi : public WindowLoggerUi
{
public:
    using WindowLoggerUi::WindowLoggerUi;

    ProgressSeen progress;
    QString infoText;
    QString infoCaption;
    std::function<void(TfrmScope&)> onBlock;

    void setBytesReceived(int bytesReceived) override
    {
        WindowLoggerUi::setBytesReceived(bytesReceived);
        TfrmScope* dialog = transferProgressDialog();
        if (!dialog)
            return;
        progress.caption = dialog->windowTitle();
        progress.total = dialog->lblTotalBytes()->text();
        progress.received = dialog->lblBytesReceived()->text();
        progress.barMaximum = dialog->Progress1()->maximum();
        progress.barValue = dialog->Progress1()->value();
        progress.countersVisible = dialog->isVisible() && dialog->Progress1()->isVisible() &&
                                   dialog->SText1()->isVisible() && dialog->SText2()->isVisible() &&
                                   dialog->SText1()->text() == LoggerTexts::BytesReceived &&
                                   dialog->SText2()->text() == LoggerTexts::TotalBytes;
        progress.rangeAndButtonsHidden = !dialog->GroupBox1()->isVisible() &&
                                         !dialog->BitBtn1()->isVisible() &&
                                         !dialog->BitBtn2()->isVisible();
        progress.staysOnTop = dialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        ++progress.updates;
        if (onBlock)
            onBlock(*dialog);
    }
    void closeInfo() override
    {
        if (TfrmInfo* info = infoWindow()) {
            infoText = info->text();
            infoCaption = info->windowTitle();
        }
        WindowLoggerUi::closeInfo();
    }
};

// The program's side of the windows: an MDI area with the graph windows'
// state and the data set collection, outliving the meters it loads from.
class WindowSide
{
public:
    WindowSide()
        : graphWindow(graphs,
                      [this]() -> TfrmGraph* {
                          if (graphs.LoggerGraph)
                              return graphs.LoggerGraph;
                          auto* graph = new TfrmGraph(graphs);
                          graph->setWindowTitle(TfrmGraph::LoggerCaption);
                          graph->setDataSetsPanelVisible(true);
                          area.addSubWindow(graph)->setAttribute(Qt::WA_DeleteOnClose);
                          graphs.LoggerGraph = graph;
                          ++windowsCreated;
                          return graph;
                      }),
          ui(&area, &area, &graphWindow, boxes.dialogs())
    {
        graphs.dataSets = &collection;
        graphs.dialogs.ask = [](QWidget*, const QString&, QMessageBox::StandardButtons) {
            return QMessageBox::No;
        };
        area.resize(1000, 700);
        area.show();
    }

    // Runs the command against the meter of `rig`.
    LoadCommandOutcome load(LoggerRig& rig, const QLocale& locale = QLocale::c())
    {
        LoggerLoad command(rig.port, rig.memory, collection, ui);
        command.setLocale(locale);
        return command.loadDataCommand();
    }

    [[nodiscard]] QTableWidget* grid() const
    {
        return graphs.LoggerGraph ? graphs.LoggerGraph->findChild<QTableWidget*>("Grid2") : nullptr;
    }
    [[nodiscard]] QStringList row(int r) const
    {
        QStringList texts;
        for (int c = 0; c < grid()->columnCount(); ++c)
            texts << (grid()->item(r, c) ? grid()->item(r, c)->text() : QString());
        return texts;
    }
    [[nodiscard]] QList<float> plotted() const
    {
        QList<float> values;
        const PESGraph* chart = graphs.LoggerGraph->graph();
        for (int i = 0; i < chart->points(); ++i)
            values << chart->yData(0, i);
        return values;
    }
    [[nodiscard]] QList<float> setValues(int k) const
    {
        const auto values = collection.valuesOf(k);
        return QList<float>(values.begin(), values.end());
    }

    QMdiArea area;
    GraphWindowState graphs;
    DataSetCollection collection;
    LoggerBoxScript boxes;
    LoggerGraphWindow graphWindow;
    ObservedWindowUi ui;
    int windowsCreated = 0;
};

std::unique_ptr<LoggerRig> connectedRig(VirtualMeterOptions options, MeterClock& clock)
{
    auto rig = std::make_unique<LoggerRig>(options, clock);
    return rig->connect() ? std::move(rig) : nullptr;
}
} // namespace

class TestLoggerWindows : public QObject
{
    Q_OBJECT

private slots:
    void messages_data();
    void messages();
    void dataErrorQuestion_data();
    void dataErrorQuestion();
    void readErrorQuestion_data();
    void readErrorQuestion();
    void progressDialog();
    void informationWindowLeavesTheActiveWindow();
    void dataSetList();
    void rowClickShowsItsSet();
    void failedLoadKeepsShownData_data();
    void failedLoadKeepsShownData();
    void rowTextsUnderGermanLocale();
    void mainWindowLoadData();
};

void TestLoggerWindows::messages_data()
{
    QTest::addColumn<QByteArray>("memory");
    QTest::addColumn<bool>("connect");
    QTest::addColumn<bool>("recording");
    QTest::addColumn<QString>("text");

    QByteArray tooMany = threeSets();
    LoggerImageBuilder::writeControlPage(tooMany, 4001, 300);
    QTest::newRow("not connected") << threeSets() << false << false << LoggerTexts::NoConnection;
    QTest::newRow("meter recording") << threeSets() << true << true << LoggerTexts::MeterRecording;
    QTest::newRow("memory error") << tooMany << true << false << LoggerTexts::MemoryError;
    QTest::newRow("no data") << LoggerImageBuilder().image() << true << false
                             << LoggerTexts::NoData;
}

void TestLoggerWindows::messages()
{
    QFETCH(QByteArray, memory);
    QFETCH(bool, connect);
    QFETCH(bool, recording);
    QFETCH(QString, text);
    AcceleratedMeterClock clock(speedUp);
    VirtualMeterOptions options = meterWithMemory(memory);
    options.protocol.recording = recording;
    LoggerRig rig(options, clock);
    if (connect)
        QVERIFY(rig.connect());
    else
        QVERIFY(rig.meter->start());
    if (recording)
        QTRY_VERIFY(rig.link.MeterRecording());
    WindowSide side;

    const LoadCommandOutcome outcome = side.load(rig);
    QCOMPARE(side.boxes.texts(), QStringList{text});
    QCOMPARE(side.boxes.shown.first().buttons, Box::StandardButtons(Box::Ok));
    QCOMPARE(side.boxes.shown.first().title, QApplication::applicationDisplayName());
    QVERIFY(side.boxes.errors.isEmpty());
    QCOMPARE(side.collection.count(), 0);
    if (connect) {
        QVERIFY(rig.link.Comm1().Active());
        QVERIFY(rig.link.MainTimer().isActive());
        QVERIFY(!rig.link.Comm2().Active());
    }
    // Only a load that got past its checks opens the DataLogger window.
    QCOMPARE(side.windowsCreated, outcome.started ? 1 : 0);
}

void TestLoggerWindows::dataErrorQuestion_data()
{
    QTest::addColumn<QList<Box::StandardButton>>("answers");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<int>("loads");
    QTest::addColumn<int>("meterSetsAfter");
    QTest::addColumn<bool>("writesEchoed");

    const QString question = LoggerTexts::DataErrorQuestion;
    QTest::newRow("cancel") << QList<Box::StandardButton>{Box::Cancel} << QStringList{question} << 1
                            << 3 << true;
    QTest::newRow("closed") << QList<Box::StandardButton>{} << QStringList{question} << 1 << 3
                            << true;
    QTest::newRow("retry, then cancel") << QList<Box::StandardButton>{Box::Retry, Box::Cancel}
                                        << QStringList{question, question} << 2 << 3 << true;
    // OK drops the damaged second set and everything after it.
    QTest::newRow("ok repairs") << QList<Box::StandardButton>{Box::Ok}
                                << QStringList{question, LoggerTexts::PowerCycle} << 1 << 1 << true;
    // Each unechoed write says so (this meter applies the writes all the same).
    QStringList failedWrites{question};
    for (int i = 0; i < 5; ++i)
        failedWrites << LoggerTexts::FixingFailed;
    failedWrites << LoggerTexts::PowerCycle;
    QTest::newRow("ok, writes not echoed")
        << QList<Box::StandardButton>{Box::Ok} << failedWrites << 1 << 1 << false;
}

void TestLoggerWindows::dataErrorQuestion()
{
    QFETCH(QList<Box::StandardButton>, answers);
    QFETCH(QStringList, texts);
    QFETCH(int, loads);
    QFETCH(int, meterSetsAfter);
    QFETCH(bool, writesEchoed);
    AcceleratedMeterClock clock(speedUp);
    VirtualMeterOptions options = meterWithMemory(threeSets());
    options.protocol.logger.faults.damagedStartSets.insert(1);
    if (!writesEchoed)
        options.protocol.logger.faults.noEchoLetters = "w";
    auto rig = connectedRig(options, clock);
    QVERIFY(rig);
    WindowSide side;
    side.boxes.answers = answers;

    const LoadCommandOutcome outcome = side.load(*rig);
    QCOMPARE(outcome.result, LoadResult::DataError);
    QCOMPARE(outcome.loads, loads);
    QCOMPARE(side.boxes.texts(), texts);
    for (const ShownBox& box : side.boxes.shown)
        QCOMPARE(box.buttons, box.text == LoggerTexts::DataErrorQuestion
                                  ? Box::Retry | Box::Ok | Box::Cancel
                                  : Box::StandardButtons(Box::Ok));
    const QByteArray meterMemory = rig->meter->loggerMemory();
    QCOMPARE(quint8(meterMemory.at(0x09)) * 256 + quint8(meterMemory.at(0x0A)), meterSetsAfter);
    QCOMPARE(side.grid()->rowCount(), 1);
    QCOMPARE(side.row(0).join(""), QString());
    QVERIFY(rig->liveLinkBack());
}

void TestLoggerWindows::readErrorQuestion_data()
{
    QTest::addColumn<QList<Box::StandardButton>>("answers");
    QTest::addColumn<int>("loads");

    QTest::newRow("cancel") << QList<Box::StandardButton>{Box::Cancel} << 1;
    QTest::newRow("closed") << QList<Box::StandardButton>{} << 1;
    QTest::newRow("retry, retry, cancel")
        << QList<Box::StandardButton>{Box::Retry, Box::Retry, Box::Cancel} << 3;
}

void TestLoggerWindows::readErrorQuestion()
{
    QFETCH(QList<Box::StandardButton>, answers);
    QFETCH(int, loads);
    AcceleratedMeterClock clock(speedUp);
    VirtualMeterOptions options = meterWithMemory(threeSets());
    options.protocol.logger.faults.usedSize = 255;
    auto rig = connectedRig(options, clock);
    QVERIFY(rig);
    WindowSide side;
    side.boxes.answers = answers;

    const LoadCommandOutcome outcome = side.load(*rig);
    QCOMPARE(outcome.result, LoadResult::BadSize);
    QCOMPARE(outcome.loads, loads);
    QCOMPARE(side.boxes.shown.size(), loads);
    for (const ShownBox& box : side.boxes.shown) {
        QCOMPARE(box.text, LoggerTexts::ReadError);
        QCOMPARE(box.buttons, Box::Retry | Box::Cancel);
    }
    QVERIFY(rig->liveLinkBack());
}

void TestLoggerWindows::progressDialog()
{
    AcceleratedMeterClock clock(speedUp);
    auto rig = connectedRig(meterWithMemory(threeSets()), clock);
    QVERIFY(rig);
    WindowSide side;

    const LoadCommandOutcome outcome = side.load(*rig);
    QCOMPARE(outcome.result, LoadResult::Ok);
    const QByteArray meterMemory = rig->meter->loggerMemory();
    const int usedSize = quint8(meterMemory.at(0x0C)) * 256 + quint8(meterMemory.at(0x0D)) + 1;
    const int total = (usedSize + 63) / 64 * 64;
    QVERIFY(total > 256);

    const ProgressSeen& seen = side.ui.progress;
    QCOMPARE(seen.caption, QStringLiteral("Data Retriving Progress"));
    QCOMPARE(seen.total, QString::number(total));
    QCOMPARE(seen.received, QString::number(total));
    QCOMPARE(seen.barMaximum, total);
    QCOMPARE(seen.barValue, total);
    QCOMPARE(seen.updates, total / 64);
    QVERIFY(seen.countersVisible);
    QVERIFY(seen.rangeAndButtonsHidden);
    QVERIFY(seen.staysOnTop);
    QVERIFY(!side.ui.transferProgressDialog());

    QCOMPARE(side.ui.infoText, QStringLiteral("Preparing to load ....."));
    QCOMPARE(side.ui.infoCaption, QStringLiteral("Information"));
    QVERIFY(!side.ui.infoWindow());
    QVERIFY(side.boxes.shown.isEmpty());
    QVERIFY(rig->liveLinkBack());
}

void TestLoggerWindows::dataSetList()
{
    AcceleratedMeterClock clock(speedUp);
    auto rig = connectedRig(meterWithMemory(threeSets()), clock);
    QVERIFY(rig);
    WindowSide side;

    QCOMPARE(side.load(*rig).result, LoadResult::Ok);
    TfrmGraph* window = side.graphs.LoggerGraph;
    QVERIFY(window);
    QCOMPARE(window->windowTitle(), QStringLiteral("DataLogger"));
    const QString date1 = QLocale::c().toString(QDate(2010, 4, 14), QLocale::ShortFormat);
    const QString date3 = QLocale::c().toString(QDate(2010, 4, 15), QLocale::ShortFormat);
    QCOMPARE(side.grid()->rowCount(), 3);
    QCOMPARE(side.row(0), (QStringList{"1", date1, "15:30:05", "00:05", "3", "A"}));
    QCOMPARE(side.row(1), (QStringList{"2", date1, "16:00:00", "00:30", "7", "C"}));
    QCOMPARE(side.row(2), (QStringList{"3", date3, "09:05:59", "00:10", "11", "A"}));
    QCOMPARE(side.grid()->selectionModel()->selectedRows().size(), 1);
    QCOMPARE(side.grid()->selectionModel()->selectedRows().first().row(), 0);
    // Set 0 on the chart.
    QCOMPARE(side.plotted(), side.setValues(0));
    QCOMPARE(side.plotted().size(), 3);
    QVERIFY(rig->liveLinkBack());

    // A second load reuses the window.
    QCOMPARE(side.load(*rig).result, LoadResult::Ok);
    QCOMPARE(side.windowsCreated, 1);
    QCOMPARE(side.grid()->rowCount(), 3);
}

void TestLoggerWindows::rowClickShowsItsSet()
{
    AcceleratedMeterClock clock(speedUp);
    auto rig = connectedRig(meterWithMemory(threeSets()), clock);
    QVERIFY(rig);
    WindowSide side;
    QCOMPARE(side.load(*rig).result, LoadResult::Ok);
    QTableWidget* grid = side.grid();
    QTRY_VERIFY(grid->isVisible());

    const QRect third = grid->visualRect(grid->model()->index(2, 1));
    QVERIFY(third.isValid());
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, third.center());
    QCOMPARE(side.plotted(), side.setValues(2));
    QCOMPARE(side.plotted().size(), 11);
}

void TestLoggerWindows::failedLoadKeepsShownData_data()
{
    QTest::addColumn<VirtualMeterOptions>("failing");
    QTest::addColumn<QList<Box::StandardButton>>("answers");

    VirtualMeterOptions damaged = meterWithMemory(threeSets());
    damaged.protocol.logger.faults.damagedStartSets.insert(1);
    VirtualMeterOptions silent = meterWithMemory(threeSets());
    silent.protocol.logger.faults.silenceAfterBytes = 200;
    VirtualMeterOptions badSize = meterWithMemory(threeSets());
    badSize.protocol.logger.faults.usedSize = 255;
    VirtualMeterOptions empty = meterWithMemory(LoggerImageBuilder().image());

    QTest::newRow("data error, cancel") << damaged << QList<Box::StandardButton>{Box::Cancel};
    QTest::newRow("data error, retry, cancel")
        << damaged << QList<Box::StandardButton>{Box::Retry, Box::Cancel};
    QTest::newRow("transfer stops, cancel") << silent << QList<Box::StandardButton>{Box::Cancel};
    QTest::newRow("bad size, closed") << badSize << QList<Box::StandardButton>{};
    QTest::newRow("no data") << empty << QList<Box::StandardButton>{};
}

void TestLoggerWindows::failedLoadKeepsShownData()
{
    QFETCH(VirtualMeterOptions, failing);
    QFETCH(QList<Box::StandardButton>, answers);
    AcceleratedMeterClock clock(speedUp);
    WindowSide side;
    {
        auto first = connectedRig(meterWithMemory(threeSets()), clock);
        QVERIFY(first);
        QCOMPARE(side.load(*first).result, LoadResult::Ok);
    }
    const QList<QStringList> rowsBefore{side.row(0), side.row(1), side.row(2)};
    const QList<float> plottedBefore = side.plotted();

    auto rig = connectedRig(failing, clock);
    QVERIFY(rig);
    side.boxes.answers = answers;
    const LoadCommandOutcome outcome = side.load(*rig);
    QVERIFY(outcome.result != LoadResult::Ok);
    QCOMPARE(side.boxes.shown.size(), qMax<qsizetype>(answers.size(), 1));

    QCOMPARE(side.collection.count(), 3);
    QCOMPARE(side.grid()->rowCount(), 3);
    QCOMPARE((QList<QStringList>{side.row(0), side.row(1), side.row(2)}), rowsBefore);
    QCOMPARE(side.plotted(), plottedBefore);
    QCOMPARE(side.windowsCreated, 1);
    QVERIFY(rig->liveLinkBack());
}

void TestLoggerWindows::rowTextsUnderGermanLocale()
{
    AcceleratedMeterClock clock(speedUp);
    auto rig = connectedRig(meterWithMemory(threeSets()), clock);
    QVERIFY(rig);
    WindowSide side;
    QCOMPARE(side.load(*rig, QLocale(QLocale::German, QLocale::Germany)).result, LoadResult::Ok);
    QCOMPARE(side.row(2), (QStringList{"3", "15.04.10", "09:05:59", "00:10", "11", "A"}));
}

void TestLoggerWindows::mainWindowLoadData()
{
    AcceleratedMeterClock clock(speedUp);
    VirtualMeterOptions options = meterWithMemory(threeSets());
    options.fast = true;
    options.protocol.model = vmeter::MeterModel::Model842;
    options.protocol.idReply = QByteArrayLiteral("0842");
    vmeter::VirtualMeter meter(options);
    QVERIFY(meter.start());
    QTemporaryDir dataDir;
    LoggerBoxScript boxes;
    TfrmMain::Environment environment;
    environment.clock = &clock;
    environment.listPorts = [&meter] { return QStringList{meter.slavePath()}; };
    environment.dataDirectory = dataDir.path();
    environment.loggerDialogs = boxes.dialogs();
    TfrmMain w(environment);
    w.graphState().dialogs.ask = [](QWidget*, const QString&, QMessageBox::StandardButtons) {
        return QMessageBox::No;
    };
    QSignalSpy finished(&w, &TfrmMain::startUpFinished);
    w.resize(1200, 800);
    w.show();
    QVERIFY(finished.wait(20000));
    QTRY_VERIFY(w.link().MeterConnected());
    QAction* loadData = w.findChild<QAction*>(QStringLiteral("LoadData1"));
    QTRY_VERIFY(loadData->isEnabled());

    loadData->trigger();
    QVERIFY(boxes.shown.isEmpty());
    TfrmGraph* graph = w.graphState().LoggerGraph;
    QVERIFY(graph);
    QCOMPARE(graph->windowTitle(), QStringLiteral("DataLogger"));
    auto* grid = graph->findChild<QTableWidget*>(QStringLiteral("Grid2"));
    QCOMPARE(grid->rowCount(), 3);
    QCOMPARE(grid->item(1, 4)->text(), QStringLiteral("7"));
    QCOMPARE(graph->graph()->points(), 3);
    QCOMPARE(graph->graph()->yData(0, 2), w.dataSets().valuesOf(0)[2]);
    QVERIFY(w.graphState().LoggerDataUnsaved);
    QVERIFY(QFile::exists(dataDir.filePath(QStringLiteral("temp/DataSetsTemp.tmp"))));
    // At the top left, as wide as the client area and 60 less high.
    const QWidget* frame = graph->parentWidget();
    const QSize client = w.mdiArea()->viewport()->size();
    QCOMPARE(frame->geometry(), QRect(0, 0, client.width(), client.height() - 60));
    // The loaded data is in front, not hidden behind the control panel.
    QCOMPARE(w.mdiArea()->activeSubWindow(), frame);
    QVERIFY(w.link().Comm1().Active());
    QVERIFY(!w.link().Comm2().Active());
    QVERIFY(w.link().MainTimer().isActive());
}

// "Preparing to load" comes and goes without handing the area to the first
// window created (the control panel), which would be raised over the window
// the user looks at while the download blocks.
void TestLoggerWindows::informationWindowLeavesTheActiveWindow()
{
    WindowSide side;
    QMdiSubWindow* first = side.area.addSubWindow(new QWidget);
    first->show();
    QMdiSubWindow* looked = side.area.addSubWindow(new QWidget);
    looked->show();
    side.area.setActiveSubWindow(looked);
    side.ui.showInfo(LoggerTexts::PreparingToLoad);
    QVERIFY(side.ui.infoWindow());
    side.ui.closeInfo();
    QCOMPARE(side.area.activeSubWindow(), looked);
    QCOMPARE(side.area.subWindowList(QMdiArea::StackingOrder).constLast(), looked);
}

AUDIMARK_TEST_MAIN_GUI(TestLoggerWindows)
#include "tst_loggerwindows.moc"
