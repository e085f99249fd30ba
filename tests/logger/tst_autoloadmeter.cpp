// The auto-load cycle end to end against the virtual meter (unpaced, its
// recording time-compressed) on the program's meter link: every set in
// memory written to its own dump file equal to the set, the memory image
// beside them, the memory erased and the recording started again; and the
// failures that must leave the memory as it was (a read-only target, a
// download broken off, an erase the meter ignores, a meter that answers
// nothing or garbage), each with the live link back and a log line.

#include "common/FileBytes.h"
#include "common/ReadOnlyDirectory.h"
#include "common/TestMain.h"
#include "data/LoggerMemory.h"
#include "logger/AcceleratedMeterClock.h"
#include "logger/AutoLoadCycle.h"
#include "logger/LinkAutoLoadDevice.h"
#include "logger/LoggerPort.h"
#include "logger/MemoryDownload.h"
#include "logger/ScriptedLoggerUi.h"
#include "logger/SettlingPeer.h"
#include "meter/MeterLink.h"
#include "tools/virtual-meter/LoggerImageBuilder.h"
#include "tools/virtual-meter/VirtualMeter.h"

#include <QTemporaryDir>

#include <memory>

using vmeter::LoggerImageBuilder;
using vmeter::LoggerRecordContent;
using vmeter::VirtualMeterOptions;
using Result = AutoLoadOutcome::Result;

namespace {
constexpr int speedUp = 10;
const QLocale us(QLocale::English, QLocale::UnitedStates);

LoggerRecordContent record(const QDateTime& start, int samples, int first)
{
    LoggerRecordContent content;
    content.start = start;
    content.intervalSeconds = 0x02;
    for (int i = 0; i < samples; ++i)
        content.samplesTenths.append(first + i % 400);
    return content;
}

const QList<LoggerRecordContent> threeRecords{
    record(QDateTime(QDate(2010, 4, 13), QTime(9, 15, 3)), 120, 400),
    record(QDateTime(QDate(2010, 4, 13), QTime(17, 40)), 250, 500),
    record(QDateTime(QDate(2010, 4, 14), QTime(6, 5, 30)), 180, 300)};
const QStringList threeNames{"201004130915.CSV", "201004131740.CSV", "201004140605.CSV"};

QByteArray memoryOf(const QList<LoggerRecordContent>& records)
{
    LoggerImageBuilder builder;
    for (const LoggerRecordContent& content : records)
        builder.append(content);
    return builder.image();
}

int endAddressOf(const QByteArray& memory)
{
    return quint8(memory.at(0x0B)) * 65536 + quint8(memory.at(0x0C)) * 256 +
           quint8(memory.at(0x0D));
}

int setCountOf(const QByteArray& memory)
{
    return quint8(memory.at(0x09)) * 256 + quint8(memory.at(0x0A));
}

// The value fields of a dump file, in tenths of a dB.
QList<int> dumpValues(const QString& path)
{
    QList<int> values;
    for (const QByteArray& line : fileBytes(path).split('\n')) {
        if (line.trimmed().isEmpty())
            continue;
        values << qRound(line.split(',').at(2).trimmed().toDouble() * 10);
    }
    return values;
}

// The first sample times of a dump file's lines.
QString firstTime(const QString& path)
{
    return QString::fromLatin1(fileBytes(path).split('\n').at(0).split(',').at(1).trimmed());
}

// The transfer's progress reports, with a hook for a test that changes the
// world half-way.
class HookedUi : public ScriptedLoggerUi
{
public:
    std::function<void(int)> onBytes;
    void setBytesReceived(int bytesReceived) override
    {
        ScriptedLoggerUi::setBytesReceived(bytesReceived);
        if (onBytes)
            onBytes(bytesReceived);
    }
};

struct MeterRig
{
    explicit MeterRig(VirtualMeterOptions options)
        : meter(std::make_unique<vmeter::VirtualMeter>(fast(std::move(options)))), link(clock),
          port(link), download(port, ui), device(port, download), cycle(device, memory, clock)
    {
        cycle.setDataDirectory(dir.path());
        cycle.setLocale(us);
        SettlingPeer::attach(clock, link, meter);
    }

    [[nodiscard]] bool connect()
    {
        if (!meter->start())
            return false;
        link.setPortList({meter->slavePath()});
        if (!link.searchPorts())
            return false;
        link.startLiveLink();
        return link.Comm1().Active();
    }

    [[nodiscard]] QByteArray lettersFrom(qsizetype from) const
    {
        QByteArray out;
        const auto frames = meter->receivedFrames();
        for (qsizetype i = from; i < frames.size(); ++i)
            out.append(frames.at(i).bytes.at(1));
        // The live link's request for its next frame may still have been on
        // its way when `from` was counted; the cycle's own letters follow it.
        while (out.startsWith('X'))
            out.remove(0, 1);
        return out;
    }

    [[nodiscard]] bool liveLinkBack()
    {
        return link.Comm1().Active() && !link.Comm2().Active() && link.MainTimer().isActive();
    }

    static VirtualMeterOptions fast(VirtualMeterOptions options)
    {
        options.fast = true;
        return options;
    }

    AcceleratedMeterClock clock{speedUp};
    std::unique_ptr<vmeter::VirtualMeter> meter;
    MeterLink link;
    LoggerPort port;
    HookedUi ui;
    MemoryDownload download;
    LinkAutoLoadDevice device;
    LoggerMemory memory;
    QTemporaryDir dir;
    AutoLoadCycle cycle;
};

VirtualMeterOptions meterWith(const QByteArray& memory)
{
    VirtualMeterOptions options;
    options.protocol.logger.memory = memory;
    return options;
}

QStringList logLines(const QString& directory)
{
    QStringList lines = QString::fromUtf8(fileBytes(QDir(directory).filePath("autoload.log")))
                            .split("\r\n", Qt::SkipEmptyParts);
    return lines;
}
} // namespace

class TestAutoLoadMeter : public QObject
{
    Q_OBJECT

private slots:
    void threeSetsEmptied();
    void recordingMeterStoppedFirst();
    void failureLeavesTheMemory_data();
    void failureLeavesTheMemory();
    void meterVanishesMidTransfer();
};

// Three sets in memory, the meter idle: three dump files equal to the sets,
// the image file equal to the memory, the memory erased, recording started.
void TestAutoLoadMeter::threeSetsEmptied()
{
    const QByteArray before = memoryOf(threeRecords);
    MeterRig rig(meterWith(before));
    QVERIFY(rig.connect());
    QTRY_VERIFY(rig.link.MeterConnected() && rig.link.FrameSeen());
    QVERIFY(!rig.link.MeterRecording());
    const qsizetype framesBefore = rig.meter->receivedFrames().size();

    const AutoLoadOutcome outcome = rig.cycle.dumpAndClearMemory();
    QCOMPARE(outcome.result, Result::Emptied);
    QVERIFY2(outcome.reason.isEmpty(), qPrintable(outcome.reason));
    QCOMPARE(outcome.sets, 3);
    QCOMPARE(outcome.samples, 120 + 250 + 180);
    QCOMPARE(outcome.files, threeNames + QStringList{"201004140605.rec"});

    for (int k = 0; k < 3; ++k) {
        const QString path = rig.dir.filePath(threeNames.at(k));
        QCOMPARE(dumpValues(path), threeRecords.at(k).samplesTenths);
    }
    QCOMPARE(firstTime(rig.dir.filePath(threeNames.at(0))), QString("09:15:03.000"));
    const QByteArray rec = fileBytes(rig.dir.filePath("201004140605.rec"));
    // The used memory as downloaded: whole 64-byte blocks up to the end address.
    QCOMPARE(rec.size(), (endAddressOf(before) + 1 + 63) / 64 * 64);
    QCOMPARE(rec, before.left(rec.size()));

    // On the wire: "c", the download, the erase, the information read of the
    // set count, "boot", "E" to record again, and the live stream asked for
    // again with "a"; no recording key before the download (the meter idle).
    const QByteArray letters = rig.lettersFrom(framesBefore);
    const qsizetype erase = letters.indexOf('e');
    QVERIFY2(letters.startsWith('c') && letters.indexOf('E') > erase, letters.constData());
    // Then only the frames the cycle watched to see the meter record again.
    const QByteArray fromErase = letters.mid(erase);
    QVERIFY2(fromErase.startsWith("ePQbEaXX") &&
                 fromErase.mid(6).count('X') == fromErase.size() - 6,
             fromErase.constData());
    QVERIFY(rig.link.RecordingKnown() && rig.link.MeterRecording());
    QVERIFY(letters.left(erase).contains("rrrP"));

    QVERIFY(rig.liveLinkBack());
    QTRY_VERIFY(rig.meter->isRecording());
    const QByteArray after = rig.meter->loggerMemory();
    QVERIFY(setCountOf(after) <= 1);
    QVERIFY(after.mid(256, 64) != before.mid(256, 64));
    QTRY_VERIFY(rig.link.MeterRecording());
    QCOMPARE(logLines(rig.dir.path()).size(), 1);
    QVERIFY(logLines(rig.dir.path()).at(0).contains("; emptied; 3 sets, 550 samples;"));
}

// A recording meter: the recording key stops it before the download, so the
// set it was growing is written too, and it records again afterwards.
void TestAutoLoadMeter::recordingMeterStoppedFirst()
{
    VirtualMeterOptions options = meterWith(memoryOf(threeRecords.mid(0, 2)));
    options.protocol.recording = true;
    MeterRig rig(options);
    QVERIFY(rig.connect());
    QTRY_VERIFY(rig.link.MeterRecording());
    const qsizetype framesBefore = rig.meter->receivedFrames().size();

    const AutoLoadOutcome outcome = rig.cycle.dumpAndClearMemory();
    QCOMPARE(outcome.result, Result::Emptied);
    QCOMPARE(outcome.sets, 3);
    QVERIFY(outcome.samples > 370);
    const QByteArray letters = rig.lettersFrom(framesBefore);
    QVERIFY2(letters.startsWith("cE"), letters.constData());
    QVERIFY(rig.liveLinkBack());
    QTRY_VERIFY(rig.meter->isRecording());
}

void TestAutoLoadMeter::failureLeavesTheMemory_data()
{
    QTest::addColumn<VirtualMeterOptions>("options");
    QTest::addColumn<bool>("readOnlyTarget");
    QTest::addColumn<bool>("switchedOff");
    QTest::addColumn<bool>("eraseSent");
    QTest::addColumn<QString>("reason");
    const VirtualMeterOptions plain = meterWith(memoryOf(threeRecords));

    QTest::newRow("read-only target directory")
        << plain << true << false << false << "cannot write 201004130915.CSV: ";
    VirtualMeterOptions brokenOff = plain;
    brokenOff.protocol.logger.faults.silenceAfterBytes = 700;
    QTest::newRow("download broken off") << brokenOff << false << false << false
                                         << "the download broke off after 640 of 1408 bytes";
    VirtualMeterOptions ignored = plain;
    ignored.protocol.setup.faults.ignoreErase = true;
    QTest::newRow("erase ignored") << ignored << false << false << true
                                   << "the meter still reports 3 data sets after the erase";
    VirtualMeterOptions garbled = plain;
    garbled.protocol.logger.faults.changedEchoLetters = "P";
    QTest::newRow("garbled handshake") << garbled << false << false << false
                                       << "the meter did not acknowledge the start of the transfer";
    QTest::newRow("meter answers nothing")
        << plain << false << true << false
        << "the meter's used memory size could not be read";
}

void TestAutoLoadMeter::failureLeavesTheMemory()
{
    QFETCH(VirtualMeterOptions, options);
    QFETCH(bool, readOnlyTarget);
    QFETCH(bool, switchedOff);
    QFETCH(bool, eraseSent);
    QFETCH(QString, reason);

    const QByteArray before = options.protocol.logger.memory;
    MeterRig rig(options);
    ReadOnlyDirectory target;
    if (readOnlyTarget) {
        if (!target.isReadOnly())
            QSKIP("no way to make a directory read-only here");
        rig.cycle.setDataDirectory(target.path());
        rig.cycle.setLogDirectory(rig.dir.path());
    }
    QVERIFY(rig.connect());
    QTRY_VERIFY(rig.link.MeterConnected() && rig.link.FrameSeen());
    if (switchedOff)
        rig.meter->switchOff();
    const qsizetype framesBefore = rig.meter->receivedFrames().size();

    const AutoLoadOutcome outcome = rig.cycle.dumpAndClearMemory();
    QVERIFY(!outcome.erased());
    QVERIFY2(outcome.reason.startsWith(reason), qPrintable(outcome.reason));
    QCOMPARE(rig.lettersFrom(framesBefore).contains('e'), eraseSent);

    // The recorded sets are all still there, byte for byte.
    const QByteArray after = rig.meter->loggerMemory();
    const int end = endAddressOf(before);
    QVERIFY(setCountOf(after) >= 3);
    QCOMPARE(after.mid(256, end - 255), before.mid(256, end - 255));
    QVERIFY(rig.liveLinkBack());
    if (!switchedOff)
        QTRY_VERIFY(rig.meter->isRecording());
    const QStringList lines = logLines(rig.dir.path());
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.at(0).contains("erased no; reason: " + reason), qPrintable(lines.at(0)));
    if (readOnlyTarget)
        QVERIFY(target.isEmpty());
}

// The meter's device goes away half-way through the transfer (its
// pseudo-terminal closed): the cycle ends within its time-outs, erases
// nothing, leaves the tick running and says why.
void TestAutoLoadMeter::meterVanishesMidTransfer()
{
    MeterRig rig(meterWith(memoryOf(threeRecords)));
    QVERIFY(rig.connect());
    QTRY_VERIFY(rig.link.MeterConnected() && rig.link.FrameSeen());
    rig.ui.onBytes = [&rig](int bytes) {
        if (bytes >= 640 && rig.meter)
            rig.meter.reset();
    };

    const auto start = std::chrono::steady_clock::now();
    const AutoLoadOutcome outcome = rig.cycle.dumpAndClearMemory();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    QVERIFY(!rig.meter);
    QCOMPARE(outcome.result, Result::NothingErased);
    QCOMPARE(outcome.download, LoadResult::Incomplete);
    QVERIFY2(outcome.reason.startsWith("the download broke off after 640 of 1408"),
             qPrintable(outcome.reason));
    QVERIFY(outcome.files.isEmpty());
    // The cycle's own waits take 1.3 s on this clock; the transfer's
    // silence limit and the information read are all that may add to it.
    QVERIFY2(seconds < 10.0, qPrintable(QString::number(seconds)));
    QVERIFY(!rig.link.Comm2().Active());
    QVERIFY(rig.link.MainTimer().isActive());
    QCOMPARE(logLines(rig.dir.path()).size(), 1);
}

AUDIMARK_TEST_MAIN_CORE(TestAutoLoadMeter)
#include "tst_autoloadmeter.moc"
