// The "Load Data" command against the virtual meter: every way it ends, with
// the live port open again and the tick running afterwards; the repair of a
// damaged record as the meter's memory sees it; the temporary image file.

#include "common/TestMain.h"
#include "logger/AcceleratedMeterClock.h"
#include "logger/ImageFile.h"
#include "logger/LoggerRig.h"
#include "logger/LoggerTexts.h"

#include <QTemporaryDir>

using vmeter::LoggerImageBuilder;
using vmeter::LoggerRecordContent;
using vmeter::VirtualMeterOptions;
using Answer = LoggerUi::Answer;

namespace {
constexpr int speedUp = 10;

LoggerRecordContent record(int samples,
                           QDateTime start = QDateTime(QDate(2010, 4, 14), QTime(15, 30, 5)))
{
    LoggerRecordContent content;
    content.start = start;
    content.intervalSeconds = 0x05;
    for (int i = 0; i < samples; ++i)
        content.samplesTenths.append(600 + i);
    return content;
}

QByteArray memoryWithSets(int sets)
{
    LoggerImageBuilder builder;
    for (int i = 0; i < sets; ++i)
        builder.append(record(3 + 4 * i));
    return builder.image();
}

QString message(const QString& text)
{
    return QStringLiteral("message:") + text;
}
} // namespace

class TestLoggerLoad : public QObject
{
    Q_OBJECT

private slots:
    void endings_data();
    void endings();
    void successfulLoad();
    void notConnected();
    void meterRecording();
    void loggerPortHeldElsewhere();
    void repairOfDamagedFirstRecord();
    void slowMachine_data();
    void slowMachine();
    void repairWritesNotEchoed();
    void tempDirectoryNotCreatable();
};

void TestLoggerLoad::endings_data()
{
    QTest::addColumn<QByteArray>("memory");
    QTest::addColumn<int>("usedSize");
    QTest::addColumn<int>("damagedStart");
    QTest::addColumn<QList<Answer>>("answers");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("loads");
    QTest::addColumn<QStringList>("shown");

    QByteArray tooMany = memoryWithSets(1);
    LoggerImageBuilder::writeControlPage(tooMany, 4001, 300);
    const QString readError = "askRetryCancel:" + LoggerTexts::ReadError;
    const QString dataError = "askRetryOkCancel:" + LoggerTexts::DataErrorQuestion;

    QTest::newRow("no data") << memoryWithSets(0) << 0 << -1 << QList<Answer>{}
                             << int(LoadResult::NoData) << 1
                             << QStringList{message(LoggerTexts::NoData)};
    QTest::newRow("memory error") << tooMany << 0 << -1 << QList<Answer>{}
                                  << int(LoadResult::MemoryError) << 1
                                  << QStringList{message(LoggerTexts::MemoryError)};
    QTest::newRow("data error, cancel")
        << memoryWithSets(3) << 0 << 1 << QList<Answer>{} << int(LoadResult::DataError) << 1
        << QStringList{dataError};
    QTest::newRow("data error, retry then cancel")
        << memoryWithSets(3) << 0 << 1 << QList<Answer>{Answer::Retry, Answer::Cancel}
        << int(LoadResult::DataError) << 2 << QStringList{dataError, dataError};
    QTest::newRow("bad size, cancel") << memoryWithSets(1) << 255 << -1 << QList<Answer>{}
                                      << int(LoadResult::BadSize) << 1 << QStringList{readError};
    QTest::newRow("bad size, retry twice")
        << memoryWithSets(1) << 255 << -1 << QList<Answer>{Answer::Retry, Answer::Retry}
        << int(LoadResult::BadSize) << 3 << QStringList{readError, readError, readError};
}

void TestLoggerLoad::endings()
{
    QFETCH(QByteArray, memory);
    QFETCH(int, usedSize);
    QFETCH(int, damagedStart);
    QFETCH(QList<Answer>, answers);
    QFETCH(int, result);
    QFETCH(int, loads);
    QFETCH(QStringList, shown);
    AcceleratedMeterClock clock(speedUp);
    VirtualMeterOptions options = meterWithMemory(memory);
    if (usedSize > 0)
        options.protocol.logger.faults.usedSize = usedSize;
    if (damagedStart >= 0)
        options.protocol.logger.faults.damagedStartSets.insert(damagedStart);
    LoggerRig rig(options, clock);
    QVERIFY(rig.connect());
    rig.ui.answers = answers;
    rig.collection.clear();

    const LoadCommandOutcome outcome = rig.load.loadDataCommand();
    QVERIFY(outcome.started);
    QCOMPARE(int(outcome.result), result);
    QCOMPARE(outcome.loads, loads);
    QVERIFY(!outcome.dataLoaded);
    QStringList seen = rig.ui.events.filter(QRegularExpression("^(message|ask)"));
    QCOMPARE(seen, shown);
    QVERIFY(rig.memory.memoryImage().isEmpty());
    QVERIFY(rig.collection.isEmpty());
    QCOMPARE(rig.letters().count('P') > 0, result != int(LoadResult::BadSize));
    QVERIFY(rig.liveLinkBack());
}

void TestLoggerLoad::successfulLoad()
{
    QTemporaryDir dataDir;
    AcceleratedMeterClock clock(speedUp);
    LoggerRig rig(meterWithMemory(memoryWithSets(3)), clock);
    rig.load.setDataDirectory(dataDir.path());
    rig.load.setLocale(QLocale(QLocale::German, QLocale::Germany));
    QVERIFY(rig.connect());

    const LoadCommandOutcome outcome = rig.load.loadDataCommand();
    QCOMPARE(outcome.result, LoadResult::Ok);
    QVERIFY(outcome.dataLoaded);
    QCOMPARE(rig.collection.count(), 3);
    QCOMPARE(rig.collection.headers().sampleCount(), (QList<qint32>{3, 7, 11}));
    QCOMPARE(rig.collection.valuesOf(2).size(), size_t(11));
    QCOMPARE(rig.collection.valuesOf(2)[10], 61.0f);
    QCOMPARE(rig.ui.rows.size(), 3);
    QCOMPARE(rig.ui.rows.at(1).date, QStringLiteral("14.04.10"));
    QCOMPARE(rig.ui.rows.at(1).time, QStringLiteral("15:30:05"));
    QCOMPARE(rig.ui.rows.at(1).interval, QStringLiteral("00:05"));
    QVERIFY(rig.ui.events.indexOf("rows:3") < rig.ui.events.indexOf("show:0"));
    QVERIFY(rig.ui.messages().isEmpty());

    QFile temp(ImageFile::tempFilePath(dataDir.path()));
    QVERIFY(temp.open(QIODevice::ReadOnly));
    const QByteArray meterMemory = rig.meter->loggerMemory();
    const int memoryEnd = quint8(meterMemory.at(0x0C)) * 256 + quint8(meterMemory.at(0x0D));
    // The image ends with its last whole block, before memory end + 257.
    const int downloaded = (memoryEnd + 1 + 63) / 64 * 64;
    QVERIFY(downloaded < memoryEnd + 257);
    QCOMPARE(temp.readAll(), meterMemory.left(downloaded));
    QVERIFY(rig.memory.memoryImage().isEmpty());
    QVERIFY(rig.liveLinkBack());
}

void TestLoggerLoad::notConnected()
{
    AcceleratedMeterClock clock(speedUp);
    LoggerRig rig(meterWithMemory(memoryWithSets(1)), clock);
    QVERIFY(rig.meter->start());
    const LoadCommandOutcome outcome = rig.load.loadDataCommand();
    QVERIFY(!outcome.started);
    QCOMPARE(rig.ui.events, QStringList{message(LoggerTexts::NoConnection)});
}

void TestLoggerLoad::meterRecording()
{
    AcceleratedMeterClock clock(speedUp);
    VirtualMeterOptions options = meterWithMemory(memoryWithSets(1));
    options.protocol.recording = true;
    LoggerRig rig(options, clock);
    QVERIFY(rig.connect());
    QTRY_VERIFY(rig.link.MeterRecording());

    const LoadCommandOutcome outcome = rig.load.loadDataCommand();
    QVERIFY(!outcome.started);
    QCOMPARE(rig.ui.events, QStringList{message(LoggerTexts::MeterRecording)});
    QVERIFY(!rig.letters().contains('r'));
    QVERIFY(rig.link.Comm1().Active());
    QVERIFY(rig.link.MainTimer().isActive());
}

void TestLoggerLoad::loggerPortHeldElsewhere()
{
    AcceleratedMeterClock clock(speedUp);
    LoggerRig rig(meterWithMemory(memoryWithSets(1)), clock);
    QVERIFY(rig.connect());
    // Another program grabs the device between the close of the live port
    // and the open of the logger port, and lets it go while the question is
    // open.
    TComPort other;
    rig.link.Comm2().setBeforeOpen([&](TCustomComPort&) {
        other.setDeviceName(rig.meter->slavePath());
        other.setActive(true);
    });
    rig.ui.beforeAnswer = [&] { other.setActive(false); };

    const LoadCommandOutcome outcome = rig.load.loadDataCommand();
    QCOMPARE(outcome.result, LoadResult::BadSize);
    QCOMPARE(rig.ui.events.filter("ask").size(), 1);
    QVERIFY(rig.ui.events.contains("askRetryCancel:" + LoggerTexts::ReadError));
    QVERIFY(!rig.letters().contains('r'));
    QVERIFY(rig.liveLinkBack());
}

void TestLoggerLoad::repairOfDamagedFirstRecord()
{
    AcceleratedMeterClock clock(speedUp);
    VirtualMeterOptions options = meterWithMemory(memoryWithSets(1));
    options.protocol.logger.faults.damagedEndSets.insert(0);
    LoggerRig rig(options, clock);
    QVERIFY(rig.connect());
    rig.ui.answers = {Answer::Ok};

    const LoadCommandOutcome first = rig.load.loadDataCommand();
    QCOMPARE(first.result, LoadResult::DataError);
    QVERIFY(first.repaired);
    QCOMPARE(rig.memory.errorPosition(), (DecodeErrorPosition{0, 255}));
    QList<QByteArray> writes;
    for (const QByteArray& frame : rig.frames()) {
        if (frame.at(1) == 'w')
            writes.append(frame);
    }
    QCOMPARE(writes, (QList<QByteArray>{QByteArray::fromHex("02774500000900 03"),
                                        QByteArray::fromHex("02774500000A00 03"),
                                        QByteArray::fromHex("02774500000B00 03"),
                                        QByteArray::fromHex("02774500000C00 03"),
                                        QByteArray::fromHex("02774500000DFF 03")}));
    QCOMPARE(rig.meter->loggerMemory().mid(0x09, 5), QByteArray::fromHex("00000000FF"));
    QCOMPARE(rig.ui.messages(), QStringList{message(LoggerTexts::PowerCycle)});
    QVERIFY(rig.liveLinkBack());

    rig.ui.events.clear();
    const LoadCommandOutcome second = rig.load.loadDataCommand();
    QCOMPARE(second.result, LoadResult::NoData);
    QCOMPARE(rig.ui.messages(),
             QStringList{message("There was not any data recorded in momery of meter !")});
    QVERIFY(rig.liveLinkBack());
}

// On a loaded machine the meter's thread answers late, later than the
// shortened reply windows of the accelerated clock: the load and its repair
// still see a meter that answers at once.
void TestLoggerLoad::slowMachine_data()
{
    QTest::addColumn<int>("latencyMs");
    QTest::newRow("answers 40 ms late") << 40;
    QTest::newRow("answers 120 ms late") << 120;
}

void TestLoggerLoad::slowMachine()
{
    QFETCH(int, latencyMs);
    AcceleratedMeterClock clock(speedUp);
    VirtualMeterOptions options = meterWithMemory(memoryWithSets(1));
    options.protocol.logger.faults.damagedEndSets.insert(0);
    options.answerLatency = std::chrono::milliseconds(latencyMs);
    LoggerRig rig(options, clock);
    QVERIFY(rig.connect());
    rig.ui.answers = {Answer::Ok};
    const LoadCommandOutcome outcome = rig.load.loadDataCommand();
    QCOMPARE(outcome.result, LoadResult::DataError);
    QVERIFY(outcome.repaired);
    QCOMPARE(rig.meter->loggerMemory().mid(0x09, 5), QByteArray::fromHex("00000000FF"));
    QVERIFY(rig.liveLinkBack());
}

void TestLoggerLoad::repairWritesNotEchoed()
{
    AcceleratedMeterClock clock(speedUp);
    VirtualMeterOptions options = meterWithMemory(memoryWithSets(3));
    options.protocol.logger.faults.damagedStartSets.insert(2);
    options.protocol.logger.faults.noEchoLetters = "w";
    LoggerRig rig(options, clock);
    QVERIFY(rig.connect());
    rig.ui.answers = {Answer::Ok};

    const LoadCommandOutcome outcome = rig.load.loadDataCommand();
    QCOMPARE(outcome.result, LoadResult::DataError);
    const QList<int> offsets = LoggerImageBuilder::walkRecords(memoryWithSets(3));
    QCOMPARE(rig.memory.errorPosition().badSetIndex, 2);
    QCOMPARE(rig.memory.errorPosition().badOffset, offsets.at(2) - 1);
    QStringList expected(5, message(LoggerTexts::FixingFailed));
    expected << message(LoggerTexts::PowerCycle);
    QCOMPARE(rig.ui.messages(), expected);
    // Three attempts for each of the five writes.
    QCOMPARE(rig.letters().count('w'), 15);
    // The writes still reached the memory.
    QCOMPARE(quint8(rig.meter->loggerMemory().at(0x0A)), quint8(2));
    QVERIFY(rig.liveLinkBack());
}

void TestLoggerLoad::tempDirectoryNotCreatable()
{
    QTemporaryDir base;
    QFile blocker(base.filePath("file"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString dataDir = base.filePath("file/data");
    AcceleratedMeterClock clock(speedUp);
    LoggerRig rig(meterWithMemory(memoryWithSets(2)), clock);
    rig.load.setDataDirectory(dataDir);
    QVERIFY(rig.connect());

    const LoadCommandOutcome outcome = rig.load.loadDataCommand();
    QVERIFY(outcome.aborted);
    QVERIFY(!outcome.dataLoaded);
    QCOMPARE(rig.ui.events.filter("error:"), QStringList{"error:" + dataDir + "/temp"});
    QVERIFY(!rig.ui.events.contains("show:0"));
    QVERIFY(rig.memory.memoryImage().isEmpty());
    QVERIFY(rig.liveLinkBack());
}

AUDIMARK_TEST_MAIN_CORE(TestLoggerLoad)
#include "tst_loggerload.moc"
