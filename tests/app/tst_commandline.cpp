// The program's command line as a user meets it on a terminal: --help and
// --version answer without any display (no X server, no Wayland, no platform
// chosen), the way they do on a server or over ssh.

#include "common/TestMain.h"

#include <QProcess>

namespace {
struct ProgramRun
{
    int status = -1;
    QProcess::ExitStatus exit = QProcess::CrashExit;
    QString out;
    QString err;
};

// Runs the built program with no display of any kind in its environment.
ProgramRun runWithoutDisplay(const QStringList& arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(qEnvironmentVariable("AUDIMARK_PROGRAM"), arguments);
    ProgramRun run;
    if (!program.waitForFinished(20000)) {
        program.kill();
        program.waitForFinished();
        return run;
    }
    run.status = program.exitCode();
    run.exit = program.exitStatus();
    run.out = QString::fromLocal8Bit(program.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(program.readAllStandardError());
    return run;
}
} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(QFile::exists(qEnvironmentVariable("AUDIMARK_PROGRAM"))); }

    void versionWithoutDisplay_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("--version") << QStringList{"--version"};
        QTest::newRow("-v") << QStringList{"-v"};
        QTest::newRow("after other options") << QStringList{"--demo", "--version"};
    }

    void versionWithoutDisplay()
    {
        QFETCH(QStringList, arguments);
        const ProgramRun run = runWithoutDisplay(arguments);
        QCOMPARE(run.exit, QProcess::NormalExit);
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out, QStringLiteral("Audimark " AUDIMARK_VERSION "\n"));
        QCOMPARE(run.err, QString());
    }

    // A bad option is told, with the usage, before a display is needed:
    // status 2, never an abort for want of a display.
    void badOptionWithoutDisplay_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown option") << QStringList{"--bogus"} << "unknown option --bogus";
        QTest::newRow("bad demo model") << QStringList{"--demo=843"}
                                        << "--demo takes 841 or 842, not \"843\"";
        QTest::newRow("stray argument") << QStringList{"notes.txt"}
                                        << "unexpected argument notes.txt";
        QTest::newRow("after the toolkit's own options")
            << QStringList{"-style", "fusion", "-reverse", "--port"} << "--port needs a value";
        QTest::newRow("with a platform") << QStringList{"-platform", "offscreen", "--bogus"}
                                         << "unknown option --bogus";
    }

    void badOptionWithoutDisplay()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const ProgramRun run = runWithoutDisplay(arguments);
        QCOMPARE(run.exit, QProcess::NormalExit);
        QCOMPARE(run.status, 2);
        QVERIFY2(run.err.startsWith("audimark: " + message + "\nUsage: audimark [options]\n"),
                 qPrintable(run.err));
        QCOMPARE(run.out, QString());
    }

    void helpWithoutDisplayNamesTheEnvironment()
    {
        const ProgramRun run = runWithoutDisplay({"--help"});
        QCOMPARE(run.exit, QProcess::NormalExit);
        QCOMPARE(run.status, 0);
        QVERIFY(run.out.startsWith(QStringLiteral("Usage: audimark [options]\n")));
        for (const char* named :
             {"--demo", "--port", "--data-dir", "--version", "AUDIMARK_PORTS", "AUDIMARK_HOME"})
            QVERIFY2(run.out.contains(QLatin1String(named)), named);
    }
};

AUDIMARK_TEST_MAIN_CORE(TestCommandLine)
#include "tst_commandline.moc"
