// audimark-cli never reports success for output that was lost: a command
// whose standard output cannot be written ends with a status and a message,
// a file it writes onto a full disk leaves the earlier file alone, and an
// output that is a pipe or a device is written into, never replaced.

#include "common/FileBytes.h"
#include "common/CliProcess.h"
#include "common/FullFilesystem.h"
#include "common/OneSetImage.h"
#include "common/TestMain.h"
#include "common/VirtualMeterProcess.h"

#include <QTemporaryDir>

#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {
CliRun runCliUs(const QStringList& arguments)
{
    return runCli(arguments, localeEnvironment(QStringLiteral("en_US.UTF-8")));
}

// Runs the tool with its standard output going to `out`.
CliRun runCliInto(const QStringList& arguments, const QString& out)
{
    QProcess cli;
    cli.setProcessEnvironment(localeEnvironment(QStringLiteral("en_US.UTF-8")));
    cli.setStandardOutputFile(out);
    cli.start(qEnvironmentVariable("AUDIMARK_CLI"), arguments);
    CliRun run;
    if (!cli.waitForFinished(90000))
        return run;
    run.status = cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -2;
    run.err = QString::fromLocal8Bit(cli.readAllStandardError());
    return run;
}

// A command line with FILE for the collection file and PORT for a virtual
// meter's port.
QStringList filledIn(QStringList arguments, const QString& file, const QString& port)
{
    arguments.replaceInStrings(QStringLiteral("FILE"), file);
    arguments.replaceInStrings(QStringLiteral("PORT"), port);
    return arguments;
}
} // namespace

class TestCliOutput : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(QFile::exists(qEnvironmentVariable("AUDIMARK_VIRTUAL_METER")));
        QVERIFY(QFile::exists(qEnvironmentVariable("AUDIMARK_CLI")));
    }

    void lostStandardOutputFails_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("meter");
        QTest::newRow("sets") << QStringList{"sets", "FILE"} << false;
        QTest::newRow("stats") << QStringList{"stats", "FILE", "--set", "1"} << false;
        QTest::newRow("stats json")
            << QStringList{"stats", "FILE", "--set", "1", "--format", "json"} << false;
        QTest::newRow("export") << QStringList{"export", "FILE", "--set", "1", "--format", "csv"}
                                << false;
        QTest::newRow("info") << QStringList{"info", "--port", "PORT"} << true;
        QTest::newRow("info json")
            << QStringList{"info", "--port", "PORT", "--format", "json"} << true;
        QTest::newRow("live") << QStringList{"live", "--port", "PORT", "--count", "2"} << true;
    }

    void lostStandardOutputFails()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, meter);
        QTemporaryDir dir;
        const QString rec = dir.filePath("sets.rec");
        QVERIFY(writeBytes(rec, oneSetImage(20)));
        std::unique_ptr<VirtualMeterProcess> virtualMeter;
        QString port;
        if (meter) {
            QVERIFY(writeBytes(dir.filePath("memory.bin"), oneSetImage(20)));
            virtualMeter = std::make_unique<VirtualMeterProcess>(
                QStringList{"--fast", "--memory", dir.filePath("memory.bin")});
            port = virtualMeter->waitForPath();
            QVERIFY(!port.isEmpty());
        }
        const QStringList command = filledIn(arguments, rec, port);
        // Where the output can be written, the command succeeds.
        const CliRun kept = runCliInto(command, dir.filePath("out.txt"));
        QCOMPARE(kept.status, 0);
        QVERIFY(QFileInfo(dir.filePath("out.txt")).size() > 0);

        const CliRun lost = runCliInto(command, QStringLiteral("/dev/full"));
        QVERIFY2(lost.status > 0, qPrintable(lost.err));
        QVERIFY2(lost.err.contains("cannot write to standard output"), qPrintable(lost.err));
    }

    void exportIntoPipe()
    {
        QTemporaryDir dir;
        const QString rec = dir.filePath("sets.rec");
        QVERIFY(writeBytes(rec, oneSetImage(20)));
        const QStringList command{"export", rec, "--set", "1", "--format", "csv", "--out"};
        QCOMPARE(runCliUs(command + QStringList{dir.filePath("plain.csv")}).status, 0);
        const QByteArray expected = fileBytes(dir.filePath("plain.csv"));
        QVERIFY(expected.size() > 0);

        const QString fifo = dir.filePath("fifo");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const int reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
        QVERIFY(reader >= 0);
        const CliRun run = runCliUs(command + QStringList{fifo});
        QByteArray received(expected.size() + 100, '\0');
        const ssize_t n = ::read(reader, received.data(), size_t(received.size()));
        ::close(reader);
        QCOMPARE(run.status, 0);
        QCOMPARE(received.left(int(std::max<ssize_t>(n, 0))), expected);
        QCOMPARE(fileType(fifo), mode_t(S_IFIFO));

        // Nobody reading: a failure, not a wait and not a file.
        const CliRun unread = runCliUs(command + QStringList{fifo});
        QCOMPARE(unread.status, 1);
        QVERIFY2(unread.err.contains("no program reads from the pipe"), qPrintable(unread.err));
        QCOMPARE(fileType(fifo), mode_t(S_IFIFO));

        // /dev/stdout is whatever standard output is, here a file.
        const CliRun toStdout =
            runCliInto(command + QStringList{"/dev/stdout"}, dir.filePath("stdout.csv"));
        QCOMPARE(toStdout.status, 0);
        QCOMPARE(fileBytes(dir.filePath("stdout.csv")), expected);
    }

    void exportOntoDeviceOrDirectory_data()
    {
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("type");
        QTest::newRow("/dev/full") << "/dev/full"
                                   << "cannot write /dev/full: " << int(S_IFCHR);
        QTest::newRow("directory") << "DIR"
                                   << "it is a directory" << int(S_IFDIR);
    }

    void exportOntoDeviceOrDirectory()
    {
        QFETCH(QString, out);
        QFETCH(QString, message);
        QFETCH(int, type);
        QTemporaryDir dir;
        const QString rec = dir.filePath("sets.rec");
        QVERIFY(writeBytes(rec, oneSetImage(20)));
        if (out == QLatin1String("DIR"))
            out = dir.path();
        const CliRun run = runCliUs({"export", rec, "--set", "1", "--format", "csv", "--out", out});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QCOMPARE(fileType(out), mode_t(type));
    }

    void fullDiskKeepsTheEarlierFile_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("name");
        QTest::newRow("export --out")
            << QStringList{"export", "FILE", "--set", "1", "--format", "csv", "--out", "OUT"}
            << "out.csv";
        QTest::newRow("report --out")
            << QStringList{"report", "FILE", "--set", "1", "--out", "OUT"} << "out.pdf";
        QTest::newRow("download --out")
            << QStringList{"download", "--port", "PORT", "--out", "OUT"} << "old.rec";
    }

    void fullDiskKeepsTheEarlierFile()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, name);
        const FullFilesystem disk;
        if (!disk.isMounted())
            QSKIP(qPrintable(disk.whyNot()));
        QTemporaryDir dir;
        const QByteArray image = oneSetImage(2100);
        const QString rec = dir.filePath("sets.rec");
        QVERIFY(writeBytes(rec, image));
        QVERIFY(writeBytes(dir.filePath("memory.bin"), image));
        VirtualMeterProcess meter({"--fast", "--memory", dir.filePath("memory.bin")});
        const QString port = meter.waitForPath();
        QVERIFY(!port.isEmpty());
        arguments.replaceInStrings(QStringLiteral("OUT"), disk.filePath(name));
        const QStringList command = filledIn(arguments, rec, port);

        const QByteArray old = "the earlier file\r\n";
        QVERIFY(writeBytes(disk.filePath(name), old));
        QVERIFY(disk.leaveFree(FullFilesystem::PageBytes));
        const CliRun run = runCliUs(command);
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains("cannot write " + disk.filePath(name)), qPrintable(run.err));
        QCOMPARE(fileBytes(disk.filePath(name)), old);
        QStringList names{FullFilesystem::fillerName(), name};
        names.sort();
        QCOMPARE(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), names);

        // Elsewhere the same command writes more than the page that was free.
        const QStringList elsewhere =
            filledIn(arguments, rec, port)
                .replaceInStrings(disk.filePath(name), dir.filePath(name));
        const CliRun roomy = runCliUs(elsewhere);
        QCOMPARE(roomy.status, 0);
        QVERIFY(QFileInfo(dir.filePath(name)).size() > FullFilesystem::PageBytes);
    }
};

AUDIMARK_TEST_MAIN_CORE(TestCliOutput)
#include "tst_clioutput.moc"
