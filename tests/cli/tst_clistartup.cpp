// audimark-cli starts on QtCore alone: its binary needs none of the window
// toolkit's or the chart's libraries. The report, which draws with widgets,
// runs in audimark-cli-report, found beside audimark-cli in the build tree
// and in libexec/audimark once installed; without it the report fails with
// one line while the other commands still work. The options reach the
// runner unchanged, whatever their text.

#include "common/TestMain.h"
#include "data/GraphTexts.h"
#include "files/formats/ExportText.h"
#include "tools/cli/ReportRunner.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

namespace {
QString cliPath()
{
    return qEnvironmentVariable("AUDIMARK_CLI");
}

QString runnerPath()
{
    return QFileInfo(cliPath()).dir().filePath(ReportRunner::programName());
}

struct Run
{
    int status = -1;
    QByteArray out;
    QString err;
};

// A private runtime directory, as a desktop session has one.
QString runtimeDirectory()
{
    static QTemporaryDir directory;
    QFile::setPermissions(directory.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ExeOwner);
    return directory.path();
}

Run run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("en_US.UTF-8"));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDirectory());
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    Run result;
    if (!process.waitForFinished(60000))
        return result;
    result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = QString::fromLocal8Bit(process.readAllStandardError());
    return result;
}

bool copyExecutable(const QString& from, const QString& to)
{
    return QDir().mkpath(QFileInfo(to).path()) && QFile::copy(from, to) &&
           QFile::setPermissions(to, QFile::permissions(from));
}
} // namespace

class TestCliStartup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(cliPath()), "command-line tool not built");
        QVERIFY2(QFile::exists(runnerPath()), "report program not built");
    }

    void cliNeedsNoToolkitLibrary_data()
    {
        QTest::addColumn<QString>("library");
        QTest::newRow("gui") << "libQt6Gui";
        QTest::newRow("widgets") << "libQt6Widgets";
        QTest::newRow("print support") << "libQt6PrintSupport";
        QTest::newRow("svg") << "libQt6Svg";
        QTest::newRow("opengl") << "libQt6OpenGL";
        QTest::newRow("chart") << "qcustomplot";
    }

    void cliNeedsNoToolkitLibrary()
    {
        QFETCH(QString, library);
        QProcess readelf;
        readelf.start(QStringLiteral("readelf"), {QStringLiteral("--dynamic"), cliPath()});
        if (!readelf.waitForStarted())
            QSKIP("readelf is not installed");
        QVERIFY(readelf.waitForFinished(60000));
        QCOMPARE(readelf.exitCode(), 0);
        QStringList needed;
        for (const QString& line : QString::fromLocal8Bit(readelf.readAllStandardOutput()).split('\n'))
            if (line.contains(QLatin1String("(NEEDED)")))
                needed.append(line.section('[', 1).section(']', 0, 0));
        QVERIFY2(needed.filter(QStringLiteral("libQt6Core")).size() == 1, qPrintable(needed.join(' ')));
        QVERIFY2(needed.filter(library, Qt::CaseInsensitive).isEmpty(), qPrintable(needed.join(' ')));
        // The runner does carry them: the same reading finds what it looks for.
        if (library == QLatin1String("libQt6Widgets")) {
            readelf.start(QStringLiteral("readelf"), {QStringLiteral("--dynamic"), runnerPath()});
            QVERIFY(readelf.waitForFinished(60000));
            QVERIFY(readelf.readAllStandardOutput().contains("[libQt6Widgets"));
        }
    }

    // The report from a copy of the tools laid out as in the build tree, as
    // installed, and without the runner.
    void reportFindsItsProgram_data()
    {
        QTest::addColumn<QString>("runnerPlace"); // relative to the cli's folder, empty: none
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("beside, as built") << ReportRunner::programName() << 0 << QString();
        QTest::newRow("libexec, as installed")
            << QStringLiteral(AUDIMARK_LIBEXEC_FROM_BINDIR "/") + ReportRunner::programName() << 0
            << QString();
        QTest::newRow("missing") << QString() << 1
                                 << "audimark-cli: cannot find the report program audimark-cli-report";
    }

    void reportFindsItsProgram()
    {
        QFETCH(QString, runnerPlace);
        QFETCH(int, status);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString bin = dir.filePath(QStringLiteral("prefix/bin"));
        const QString cli = bin + QStringLiteral("/audimark-cli");
        QVERIFY(copyExecutable(cliPath(), cli));
        if (!runnerPlace.isEmpty())
            QVERIFY(copyExecutable(runnerPath(), QDir::cleanPath(bin + '/' + runnerPlace)));

        QFile csv(dir.filePath(QStringLiteral("levels.csv")));
        QVERIFY(csv.open(QIODevice::WriteOnly));
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        const double t0 = GraphTexts::fromDateTime(QDateTime(QDate(2024, 3, 5), QTime(9, 0)));
        for (int i = 0; i < 30; ++i)
            csv.write(ExportText::graphExportLine(t0 + i / 86400.0, 60.0f + i % 7, ExportText::Comma, us)
                          .toUtf8() +
                      ExportText::LineEnd);
        csv.close();

        const QString pdf = dir.filePath(QStringLiteral("-report.pdf"));
        const Run report = run(cli, {QStringLiteral("report"), csv.fileName(), QStringLiteral("--out"),
                                     pdf, QStringLiteral("--title"), QStringLiteral("-reverse")});
        QCOMPARE(report.status, status);
        QVERIFY(report.out.isEmpty());
        if (status == 0) {
            QCOMPARE(report.err, QString());
            QFile written(pdf);
            QVERIFY(written.open(QIODevice::ReadOnly));
            QVERIFY(written.read(5) == "%PDF-");
        } else {
            QVERIFY2(report.err.startsWith(message), qPrintable(report.err));
            QCOMPARE(report.err.count('\n'), 1);
            QVERIFY(!QFile::exists(pdf));
        }
        // The other commands never need the runner.
        const Run stats = run(cli, {QStringLiteral("stats"), csv.fileName()});
        QCOMPARE(stats.status, 0);
        QVERIFY(stats.out.startsWith("file\t"));
    }

    void runnerGetsTheOptionsUnchanged_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("threshold");
        QTest::newRow("defaults") << "sets.rec" << QString() << QString() << QString();
        QTest::newRow("texts like options")
            << "--out" << "-platform xcb" << "--" << "-3";
        QTest::newRow("spaces and accents")
            << "/tmp/Mes relevés/été.csv" << "Lärm  am Tor" << "2024-03-05T09:00" << "85.5";
    }

    void runnerGetsTheOptionsUnchanged()
    {
        QFETCH(QString, file);
        QFETCH(QString, title);
        QFETCH(QString, from);
        QFETCH(QString, threshold);
        ReportOptions options;
        options.source.file = file;
        options.source.set = 3;
        options.source.fromText = from;
        options.source.toText = from.isEmpty() ? QString() : QStringLiteral("10:00");
        options.source.thresholdText = threshold;
        options.outFile = QStringLiteral("out put.pdf");
        options.title = title;
        const QStringList arguments = ReportRunner::arguments(options);
        QCOMPARE(arguments.first(), QStringLiteral("report"));
        const std::optional<ReportOptions> back = ReportRunner::optionsFrom(arguments);
        QVERIFY(back);
        QCOMPARE(back->source.file, file);
        QCOMPARE(back->source.set, 3);
        QCOMPARE(back->source.fromText, options.source.fromText);
        QCOMPARE(back->source.toText, options.source.toText);
        QCOMPARE(back->source.thresholdText, threshold);
        QCOMPARE(back->outFile, options.outFile);
        QCOMPARE(back->title, title);
        QVERIFY(!ReportRunner::optionsFrom(arguments.mid(1)));
        QVERIFY(!ReportRunner::optionsFrom(arguments + QStringList{QStringLiteral("x")}));
    }
};

AUDIMARK_TEST_MAIN_CORE(TestCliStartup)
#include "tst_clistartup.moc"
