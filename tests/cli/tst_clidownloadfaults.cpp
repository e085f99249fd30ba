// audimark-cli download when things go wrong, against the virtual meter
// program: a damaged data set is named and can be repaired or kept, a port
// that goes away is named with the block it went away at, the exit status
// is that of the first failed load, a port that cannot be opened is told
// apart from a silent one, and an interrupt leaves no temporary directory
// and no collection file behind.

#include "common/TestMain.h"
#include "common/VirtualMeterProcess.h"
#include "logger/LoggerTexts.h"
#include "tools/virtual-meter/LoggerImageBuilder.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <csignal>

using vmeter::LoggerImageBuilder;
using vmeter::LoggerRecordContent;

namespace {

struct CliRun
{
    int status = -1;
    QString err;
};

QProcessEnvironment environmentWith(const QString& name, const QString& value)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!name.isEmpty())
        environment.insert(name, value);
    return environment;
}

CliRun runCli(const QStringList& arguments,
              const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
{
    QProcess cli;
    cli.setProcessEnvironment(environment);
    cli.start(qEnvironmentVariable("AUDIMARK_CLI"), arguments);
    CliRun run;
    if (!cli.waitForFinished(60000))
        return run;
    run.status = cli.exitCode();
    run.err = QString::fromLocal8Bit(cli.readAllStandardError());
    return run;
}

// Reads the tool's standard error until it holds text (the progress line is
// written without a line end).
bool waitForError(QProcess& process, QString& seen, const QString& text)
{
    process.setReadChannel(QProcess::StandardError);
    while (!seen.contains(text)) {
        if (!process.waitForReadyRead(20000))
            return false;
        seen += QString::fromLocal8Bit(process.readAllStandardError());
    }
    return true;
}

// Three sets; the first is long enough that the second starts at 1472 and
// the transfer takes 24 blocks (1528 bytes used).
constexpr int SecondRecord = 1472;
constexpr int TransferBlocks = 24;

QByteArray writeMemory(const QString& path)
{
    LoggerImageBuilder builder;
    const QList<int> lengths{600, 5, 7};
    for (int k = 0; k < lengths.size(); ++k) {
        LoggerRecordContent content;
        content.start = QDateTime(QDate(2011, 6, 1 + k), QTime(9, 15, 0));
        for (int i = 0; i < lengths.at(k); ++i)
            content.samplesTenths.append(550 + i % 50);
        builder.append(content);
    }
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(builder.image());
    return builder.image();
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

quint32 bigEndian(const QByteArray& bytes, qsizetype at, int size)
{
    quint32 value = 0;
    for (int i = 0; i < size; ++i)
        value = value << 8 | quint8(bytes.at(at + i));
    return value;
}
} // namespace

class TestCliDownloadFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(QFile::exists(qEnvironmentVariable("AUDIMARK_VIRTUAL_METER")));
        QVERIFY(QFile::exists(qEnvironmentVariable("AUDIMARK_CLI")));
    }

    void damagedSet_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<bool>("repair");
        QTest::addColumn<bool>("keepDamaged");
        QTest::addColumn<QString>("offsetText");
        QTest::newRow("repair") << "en_US.UTF-8" << true << false << "1,472";
        QTest::newRow("repair, keeping the image") << "en_US.UTF-8" << true << true << "1,472";
        QTest::newRow("cancel under de_DE") << "de_DE.UTF-8" << false << false << "1.472";
        QTest::newRow("kept under de_DE") << "de_DE.UTF-8" << false << true << "1.472";
    }

    void damagedSet()
    {
        QFETCH(QString, locale);
        QFETCH(bool, repair);
        QFETCH(bool, keepDamaged);
        QFETCH(QString, offsetText);
        QTemporaryDir dir;
        QByteArray served = writeMemory(dir.filePath("memory.bin"));
        served[SecondRecord] = char(0x00); // what --damage-start 1 does to it
        VirtualMeterProcess meter(
            {"--memory", dir.filePath("memory.bin"), "--fast", "--damage-start", "1"});
        const QString port = meter.waitForPath();
        QVERIFY(!port.isEmpty());

        const QString rec = dir.filePath("sets.rec");
        QStringList arguments{"download", "--port", port, "--out", rec};
        if (repair)
            arguments << "--repair";
        if (keepDamaged)
            arguments << "--keep-damaged";
        const CliRun run = runCli(arguments, environmentWith("LC_ALL", locale));
        QCOMPARE(run.status, 11);
        QVERIFY2(run.err.contains(QStringLiteral("data set 2 is damaged: its record starts at "
                                                 "byte %1 (0x5C0) of the logger memory")
                                      .arg(offsetText)),
                 qPrintable(run.err));
        QVERIFY(run.err.contains(LoggerTexts::DataErrorQuestion +
                                 (repair ? QStringLiteral(" [OK]") : QStringLiteral(" [Cancel]"))));
        QCOMPARE(run.err.contains(LoggerTexts::PowerCycle), repair);
        QVERIFY(!run.err.contains(LoggerTexts::FixingFailed));
        QCOMPARE(run.err.contains(QLatin1String("--repair drops")), !repair);

        // The image as the meter served it, before any repair.
        QCOMPARE(QFile::exists(rec), keepDamaged);
        if (keepDamaged)
            QCOMPARE(readAll(rec), served.left(TransferBlocks * 64));

        // The meter's memory after the command: repaired down to the first
        // set, or untouched.
        if (!repair && keepDamaged)
            return;
        QFile::remove(rec);
        const CliRun again = runCli({"download", "--port", port, "--out", rec});
        if (!repair) {
            QCOMPARE(again.status, 11);
            return;
        }
        QCOMPARE(again.status, 0);
        const QByteArray repaired = readAll(rec);
        QCOMPARE(repaired.size(), SecondRecord);
        QCOMPARE(bigEndian(repaired, 0x09, 2), 1u);
        QCOMPARE(bigEndian(repaired, 0x0B, 3), quint32(SecondRecord - 1));
        QCOMPARE(repaired, served.left(SecondRecord).replace(0x09, 5, "\x00\x01\x00\x05\xBF", 5));
    }

    void portThatWentAwayIsNamed()
    {
        QTemporaryDir dir;
        writeMemory(dir.filePath("memory.bin"));
        // Ten whole blocks, then the meter falls silent.
        VirtualMeterProcess meter(
            {"--memory", dir.filePath("memory.bin"), "--fast", "--silence-after", "650"});
        const QString port = meter.waitForPath();
        QVERIFY(!port.isEmpty());

        QProcess cli;
        cli.start(qEnvironmentVariable("AUDIMARK_CLI"),
                  {"download", "--port", port, "--out", dir.filePath("sets.rec"), "--retry", "2"});
        QString err;
        QVERIFY(waitForError(cli, err, QStringLiteral("bytes received 640 total bytes 1536")));
        // The meter goes, and its pseudo-terminal with it, while the
        // transfer still waits for block 11.
        meter.process.write("quit\n");
        QVERIFY(meter.process.waitForFinished(5000));
        QVERIFY(!QFile::exists(port));

        QVERIFY(cli.waitForFinished(30000));
        err += QString::fromLocal8Bit(cli.readAllStandardError());
        QCOMPARE(cli.exitCode(), 13);
        QVERIFY2(err.contains(QLatin1String("the meter's port went away at block 11 of 24\n")),
                 qPrintable(err));
        QVERIFY(err.contains(LoggerTexts::ReadError + QStringLiteral(" [Cancel]")));
        QVERIFY(!err.contains(QLatin1String("[Retry]"))); // the device is gone
        QVERIFY(err.endsWith(
            QLatin1String("audimark-cli: the meter sent less of its memory than it announced\n")));
        QVERIFY(!QFile::exists(dir.filePath("sets.rec")));
    }

    void firstFailureGivesTheStatus()
    {
        QTemporaryDir dir;
        writeMemory(dir.filePath("memory.bin"));
        // The first transfer gives up on block 2 (21 bad checks), the retry
        // reads the whole memory and finds the second set damaged.
        VirtualMeterProcess meter({"--memory", dir.filePath("memory.bin"), "--fast", "--bad-check",
                                   "2:21", "--damage-start", "1"});
        const QString port = meter.waitForPath();
        const CliRun run =
            runCli({"download", "--port", port, "--out", dir.filePath("sets.rec"), "--retry", "1"});
        QCOMPARE(run.status, 13);
        QVERIFY(run.err.contains(LoggerTexts::ReadError + QStringLiteral(" [Retry]")));
        QVERIFY(run.err.contains(LoggerTexts::DataErrorQuestion + QStringLiteral(" [Cancel]")));
        QVERIFY2(run.err.endsWith(QLatin1String(
                     "audimark-cli: the meter sent less of its memory than it announced; at the "
                     "last try, a data set in the meter's memory is damaged\n")),
                 qPrintable(run.err));
    }

    void portThatCannotBeOpened_data()
    {
        QTest::addColumn<bool>("silentMeter");
        QTest::newRow("missing port") << false;
        QTest::newRow("meter does not answer K") << true;
    }

    void portThatCannotBeOpened()
    {
        QFETCH(bool, silentMeter);
        std::unique_ptr<VirtualMeterProcess> meter;
        QString port = QStringLiteral("/dev/no-such-meter");
        if (silentMeter) {
            meter = std::make_unique<VirtualMeterProcess>(QStringList{"--no-id-reply"});
            port = meter->waitForPath();
        }
        QTemporaryDir dir;
        const CliRun run = runCli({"download", "--port", port, "--out", dir.filePath("sets.rec")});
        QCOMPARE(run.status, 1);
        QCOMPARE(run.err, silentMeter
                              ? QStringLiteral("audimark-cli: no meter answered on %1\n").arg(port)
                              : QStringLiteral("audimark-cli: cannot open %1: No such file or "
                                               "directory\n")
                                    .arg(port));
    }

    void interruptLeavesNoTemporaryDirectory()
    {
        QTemporaryDir dir;
        writeMemory(dir.filePath("memory.bin"));
        // Paced like the real meter, so the transfer takes seconds.
        VirtualMeterProcess meter({"--memory", dir.filePath("memory.bin")});
        const QString port = meter.waitForPath();
        QTemporaryDir scratch;
        QProcess cli;
        cli.setProcessEnvironment(environmentWith("TMPDIR", scratch.path()));
        cli.start(qEnvironmentVariable("AUDIMARK_CLI"),
                  {"download", "--port", port, "--out", dir.filePath("sets.rec")});
        QString err;
        QVERIFY(waitForError(cli, err, QStringLiteral("bytes received 128")));
        ::kill(pid_t(cli.processId()), SIGINT);
        QVERIFY(cli.waitForFinished(10000));
        QCOMPARE(QDir(scratch.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList());
        QVERIFY(!QFile::exists(dir.filePath("sets.rec")));
    }
};

AUDIMARK_TEST_MAIN_CORE(TestCliDownloadFaults)
#include "tst_clidownloadfaults.moc"
