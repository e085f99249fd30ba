// audimark-cli live when its meter goes away, against the virtual meter
// program under a stable link name: the device pulled out and plugged in
// again, the meter switched off, and --give-up-after.

#include "common/TestMain.h"
#include "common/VirtualMeterProcess.h"

#include <QProcess>
#include <QTemporaryDir>

namespace {
QString tool(const char* variable)
{
    return qEnvironmentVariable(variable);
}

// Collects what the command line tool writes while it runs.
struct LiveRun
{
    QProcess cli;
    QString out;
    QString err;

    explicit LiveRun(const QStringList& arguments)
    {
        QObject::connect(&cli, &QProcess::readyReadStandardOutput, &cli,
                         [this] { out += QString::fromLocal8Bit(cli.readAllStandardOutput()); });
        QObject::connect(&cli, &QProcess::readyReadStandardError, &cli,
                         [this] { err += QString::fromLocal8Bit(cli.readAllStandardError()); });
        cli.start(tool("AUDIMARK_CLI"), QStringList{"live"} + arguments);
    }
    ~LiveRun()
    {
        if (cli.state() != QProcess::NotRunning) {
            cli.kill();
            cli.waitForFinished(3000);
        }
    }
    [[nodiscard]] int readings() const { return int(out.count('\n')); }
};
} // namespace

class TestCliLinkFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(tool("AUDIMARK_VIRTUAL_METER")), "virtual meter not built");
        QVERIFY2(QFile::exists(tool("AUDIMARK_CLI")), "command-line tool not built");
    }

    // The device goes away for 5 s: one line says so, one says it is back,
    // and the readings go on.
    void liveComesBackAfterUnplugging()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath("meter");
        VirtualMeterProcess meter({"--link", link, "--fast", "--interval", "50"});
        QVERIFY(meter.waitForPath().startsWith("/dev/"));
        LiveRun run({"--port", link});
        QTRY_VERIFY_WITH_TIMEOUT(run.readings() >= 3, 10000);

        meter.process.write("unplug 5\n");
        QTRY_VERIFY_WITH_TIMEOUT(run.err.contains("stopped answering"), 8000);
        const int readingsWhileAway = run.readings();
        QTRY_VERIFY_WITH_TIMEOUT(run.err.contains("back"), 12000);
        QTRY_VERIFY_WITH_TIMEOUT(run.readings() >= readingsWhileAway + 3, 5000);

        QCOMPARE(
            run.err.split('\n', Qt::SkipEmptyParts),
            (QStringList{"Model 842 on " + link, "audimark-cli: meter stopped answering on " + link,
                         "audimark-cli: meter back on " + link}));
        run.cli.terminate();
        QVERIFY(run.cli.waitForFinished(5000));
        QCOMPARE(run.cli.exitCode(), 0);
    }

    void giveUpAfter_data()
    {
        QTest::addColumn<QByteArray>("fault");
        QTest::addColumn<QString>("portNote");
        QTest::newRow("device gone") << QByteArray("unplug 60\n") << " (the port is gone)";
        QTest::newRow("meter switched off") << QByteArray("off\n") << "";
    }

    void giveUpAfter()
    {
        QFETCH(QByteArray, fault);
        QFETCH(QString, portNote);
        QTemporaryDir dir;
        const QString link = dir.filePath("meter");
        VirtualMeterProcess meter({"--link", link, "--fast", "--interval", "50"});
        QVERIFY(meter.waitForPath().startsWith("/dev/"));
        LiveRun run({"--port", link, "--give-up-after", "3"});
        QTRY_VERIFY_WITH_TIMEOUT(run.readings() >= 3, 10000);

        meter.process.write(fault);
        QVERIFY(meter.process.waitForBytesWritten(2000));
        QVERIFY(run.cli.waitForFinished(15000));
        QCOMPARE(run.cli.exitStatus(), QProcess::NormalExit);
        QCOMPARE(run.cli.exitCode(), 1);
        run.err += QString::fromLocal8Bit(run.cli.readAllStandardError());
        QCOMPARE(run.err.split('\n', Qt::SkipEmptyParts).last(),
                 "audimark-cli: no reading from the meter on " + link + " for 3 s" + portNote +
                     ", giving up");
    }

    void giveUpAfterNeedsSeconds()
    {
        QProcess cli;
        cli.start(tool("AUDIMARK_CLI"), {"live", "--port", "/dev/null", "--give-up-after", "0"});
        QVERIFY(cli.waitForFinished(5000));
        QCOMPARE(cli.exitCode(), 2);
        QVERIFY(cli.readAllStandardError().startsWith(
            "audimark-cli: --give-up-after needs a positive number of seconds\n"));
    }
};

AUDIMARK_TEST_MAIN_CORE(TestCliLinkFaults)
#include "tst_clilinkfaults.moc"
