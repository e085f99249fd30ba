// audimark-cli record against the virtual meter on a real pty: the archive
// holds one finished realtime measurement with the levels the meter sent,
// --out holds the bytes the real-time graph's save writes for those samples
// (the graph file: the program's Run, its recorder and graph window, on a
// clock that gives the recording's times),
// Ctrl-C and SIGTERM end it cleanly; stats and report read archive:ID as
// the file archive export writes.

#include "archive/Archive.h"
#include "common/CliProcess.h"
#include "common/NewArchives.h"
#include "common/TestMain.h"
#include "common/VirtualMeterProcess.h"
#include "data/GraphTexts.h"
#include "files/formats/ExportText.h"
#include "files/formats/GraphExport.h"
#include "graph/GraphWindowState.h"
#include "graph/PESGraph.h"
#include "graph/PESGraphBlock.h"
#include "graph/TfrmGraph.h"
#include "realtime/RealTimeCommands.h"
#include "realtime/TfrmSetupRealTime.h"
#include "tools/virtual-meter/LevelGenerator.h"

#include <QLineEdit>
#include <QTemporaryDir>

#include <csignal>
#include <memory>

namespace {

constexpr std::uint32_t Seed = 4711;

// Also with a runtime directory, which the report program would otherwise
// warn about.
QProcessEnvironment withoutArchive()
{
    static QTemporaryDir runtime;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("AUDIMARK_ARCHIVE"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    return environment;
}

// The levels the virtual meter sends, frame after frame, in tenths of a dB.
std::vector<int> sentTenths()
{
    vmeter::LevelGenerator generator(65.0, Seed);
    std::vector<int> tenths(20000);
    for (int& t : tenths)
        t = generator.next();
    return tenths;
}

// Each level is one the meter sent, in the order it sent them.
bool takenFromSent(const std::vector<float>& levels)
{
    const std::vector<int> sent = sentTenths();
    size_t at = 0;
    for (const float level : levels) {
        while (at < sent.size() && float(sent[at] * 0.1) != level)
            ++at;
        if (at++ >= sent.size())
            return false;
    }
    return true;
}

// Gives the wall times of a recording in the order they are asked for: its
// start, each sample, its stop.
class ScriptedClock : public MeterClock
{
public:
    TimePoint now() const override { return now_; }
    QDateTime currentDateTime() const override
    {
        if (times.size() > 1)
            return GraphTexts::toDateTime(times.takeFirst());
        return GraphTexts::toDateTime(times.value(0));
    }
    void Delay(int ms) override { advance(ms); }
    void advance(int ms) { now_ += std::chrono::milliseconds(ms); }

    mutable QList<double> times;

private:
    TimePoint now_{std::chrono::seconds(1000)};
};

// The graph file the program saves after recording these samples with Run
// (count points at interval), started at start and stopped at end.
QByteArray programGraphFile(const ArchiveSeries& series, int count, const QString& interval,
                            double start, double end)
{
    ScriptedClock clock;
    clock.times << start << QList<double>(series.x.begin(), series.x.end()) << end;
    GraphWindowState state;
    state.dataDirectory = qEnvironmentVariable("AUDIMARK_HOME");
    std::unique_ptr<TfrmGraph> window;
    RealTimeCommands* run = nullptr;
    RealTimeCommands commands(state, clock,
                              {[] { return true; },
                               [&] {
                                   window = std::make_unique<TfrmGraph>(state);
                                   window->setWindowTitle(TfrmGraph::RealTimeCaption);
                                   state.RealTimeGraph = window.get();
                                   window->makeRealTimeGraph();
                                   run->attachGraph(window.get());
                               },
                               nullptr,
                               {}});
    run = &commands;
    state.dialogs.exec = [&](QDialog& dialog) {
        auto& form = static_cast<TfrmSetupRealTime&>(dialog);
        form.findChild<QLineEdit*>(QStringLiteral("edtRealTimeNo"))
            ->setText(QString::number(count));
        form.setRateText(interval);
        return int(QDialog::Accepted);
    };
    commands.btnRunClick();
    const int ms = qRound(interval.toDouble() * 1000);
    for (const float level : series.y) {
        clock.advance(ms);
        MeterReading reading;
        reading.level = level;
        reading.weightingA = true;
        commands.recorder().sampleReading(reading);
    }
    commands.btnStopClick();
    const QByteArray block = window->graph()->saveWholeGraph();
    state.RealTimeGraph = nullptr;
    QByteArray file(4, '\0');
    qToLittleEndian(quint32(block.size()), file.data());
    return file + block;
}

} // namespace

class TestCliRecord : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(QFile::exists(qEnvironmentVariable("AUDIMARK_VIRTUAL_METER")));
        QVERIFY(QFile::exists(qEnvironmentVariable("AUDIMARK_CLI")));
        QVERIFY(m_dir.isValid());
    }

    void countIsRecordedIntoArchiveAndFile_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("interval");
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("quiet");
        QTest::newRow("sqlite, text, 0.1 s") << "sqlite"
                                             << "txt"
                                             << "0.1" << 6 << false;
        QTest::newRow("sqlite, csv, 0.2 s") << "sqlite"
                                            << "csv"
                                            << "0.2" << 4 << false;
        QTest::newRow("postgresql, csv, quiet") << "postgresql"
                                                << "csv"
                                                << "0.1" << 5 << true;
        QTest::newRow("sqlite, graph, 0.1 s") << "sqlite"
                                              << "ghf"
                                              << "0.1" << 5 << false;
        QTest::newRow("sqlite, graph, quiet") << "sqlite"
                                              << "GHF"
                                              << "0.5" << 3 << true;
    }

    void countIsRecordedIntoArchiveAndFile()
    {
        QFETCH(QString, engine);
        QFETCH(QString, extension);
        QFETCH(QString, interval);
        QFETCH(int, count);
        QFETCH(bool, quiet);
        const QString archive = newArchive(engine);
        QVERIFY(!archive.isEmpty());
        VirtualMeterProcess meter({"--seed", QString::number(Seed)});
        const QString port = meter.waitForPath();
        QVERIFY(!port.isEmpty());
        const QString out =
            m_dir.filePath(QStringLiteral("rec%1.%2").arg(++m_count).arg(extension));

        const CliRun run =
            runCli(QStringList{"record", "--port", port, "--interval", interval, "--count",
                               QString::number(count), "--out", out, "--archive", archive} +
                       (quiet ? QStringList{"--quiet"} : QStringList{}),
                   withoutArchive());
        QVERIFY2(run.status == 0, qPrintable(run.err));
        if (quiet)
            QCOMPARE(run.err, QString());
        else
            QVERIFY2(run.err.contains(
                         QStringLiteral("%1 samples recorded, measurement 1 in the archive %2\n")
                             .arg(count)
                             .arg(archive)),
                     qPrintable(run.err));

        ArchiveOpenResult opened = Archive::open(archive);
        QVERIFY2(opened.archive, qPrintable(opened.error));
        const auto measurements = opened.archive->listMeasurements({});
        QVERIFY(measurements);
        QCOMPARE(measurements->size(), size_t(1));
        const Measurement& m = measurements->front();
        QCOMPARE(m.kind, MeasurementKind::RealTime);
        QVERIFY(!m.unfinished);
        QCOMPARE(m.sampleCount, qint64(count));
        QCOMPARE(m.intervalMs, qint64(qRound(interval.toDouble() * 1000)));
        QCOMPARE(m.meterModel, QStringLiteral("QV58M model 842"));
        QCOMPARE(m.meterPort, port);
        const std::optional<ArchiveSeries> series = opened.archive->readSamples(m.id);
        QVERIFY(series);
        QCOMPARE(series->y.size(), size_t(count));
        QVERIFY(takenFromSent(series->y));
        for (size_t i = 1; i < series->x.size(); ++i)
            QVERIFY(series->x[i] > series->x[i - 1]);

        if (extension.compare("ghf", Qt::CaseInsensitive) == 0) {
            // The recording's start and stop, as the file's X range holds them.
            const QByteArray file = fileBytes(out);
            const std::optional<PESGraphState> chart = PESGraphBlock::decodeWhole(file.mid(4));
            QVERIFY(chart);
            const double start = chart->content.scaleX.min;
            const double end = chart->content.scaleX.max;
            QVERIFY(std::abs(GraphTexts::toDateTime(start).msecsTo(m.start)) < 1000);
            QVERIFY(std::abs(GraphTexts::toDateTime(end).msecsTo(m.end)) < 1000);
            QCOMPARE(file, programGraphFile(*series, count, interval, start, end));
            return;
        }
        const QString expected = m_dir.filePath(QStringLiteral("expected.") + extension);
        QVERIFY(GraphExport::write(expected, series->x, series->y, ExportRange::all(count),
                                   *GraphExport::separatorForExtension(out), QLocale())
                    .written());
        QCOMPARE(fileBytes(out), fileBytes(expected));
    }

    // A signal after three samples, or the end of --duration (signal 0).
    void recordingEndsCleanly_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<QString>("duration");
        QTest::newRow("SIGINT") << SIGINT << "1h";
        QTest::newRow("SIGTERM") << SIGTERM << "1h";
        QTest::newRow("duration") << 0 << "2s";
    }

    void recordingEndsCleanly()
    {
        QFETCH(int, signal);
        QFETCH(QString, duration);
        const QString archive = newArchive(QStringLiteral("sqlite"));
        VirtualMeterProcess meter({"--seed", QString::number(Seed)});
        const QString port = meter.waitForPath();
        QVERIFY(!port.isEmpty());
        const QString out = m_dir.filePath(QStringLiteral("ended%1.txt").arg(signal));
        QProcess cli;
        cli.setProcessEnvironment(withoutArchive());
        cli.start(qEnvironmentVariable("AUDIMARK_CLI"),
                  {"record", "--port", port, "--interval", "0.1", "--duration", duration, "--out",
                   out, "--archive", archive, "--verbose"});
        if (signal != 0) {
            QString err;
            // Three samples, however loaded the machine.
            QTRY_VERIFY_WITH_TIMEOUT((err += QString::fromLocal8Bit(cli.readAllStandardError()),
                                      err.contains("\nsample 3\t")),
                                     30000);
            ::kill(pid_t(cli.processId()), signal);
        }
        QVERIFY(cli.waitForFinished(60000));
        QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
        QCOMPARE(cli.exitCode(), 0);

        ArchiveOpenResult opened = Archive::open(archive);
        QVERIFY2(opened.archive, qPrintable(opened.error));
        const auto measurements = opened.archive->listMeasurements({});
        QVERIFY(measurements);
        QCOMPARE(measurements->size(), size_t(1));
        const Measurement& m = measurements->front();
        QVERIFY(!m.unfinished);
        QVERIFY(m.sampleCount >= (signal != 0 ? 3 : 1));
        if (signal == 0)
            QVERIFY(m.start.msecsTo(m.end) >= 1990);
        const QByteArray written = fileBytes(out);
        QCOMPARE(written.count(ExportText::LineEnd), qsizetype(m.sampleCount));
    }

    // A meter switched off takes no samples and does not end the recording,
    // as in the program; it goes on when the meter is back. A sample a
    // second leaves three seconds to switch it off before the fifth.
    void lostLinkDoesNotEndRecording()
    {
        const QString archive = newArchive(QStringLiteral("sqlite"));
        VirtualMeterProcess meter({"--seed", QString::number(Seed)});
        const QString port = meter.waitForPath();
        QVERIFY(!port.isEmpty());
        QProcess cli;
        cli.setProcessEnvironment(withoutArchive());
        cli.start(qEnvironmentVariable("AUDIMARK_CLI"),
                  {"record", "--port", port, "--interval", "1", "--count", "5", "--archive",
                   archive, "--verbose"});
        QString err;
        const auto said = [&](const char* text) {
            err += QString::fromLocal8Bit(cli.readAllStandardError());
            return err.contains(QLatin1String(text));
        };
        QTRY_VERIFY_WITH_TIMEOUT(said("\nsample 2\t"), 30000);
        meter.process.write("off\n");
        QVERIFY(meter.process.waitForBytesWritten(5000));
        QTRY_VERIFY_WITH_TIMEOUT(said("meter stopped answering on "), 30000);
        QCOMPARE(cli.state(), QProcess::Running);
        meter.process.write("on\n");
        QVERIFY(meter.process.waitForBytesWritten(5000));
        QVERIFY(cli.waitForFinished(60000));
        QCOMPARE(cli.exitCode(), 0);
        QVERIFY2(said("meter back on "), qPrintable(err));
        ArchiveOpenResult opened = Archive::open(archive);
        QVERIFY2(opened.archive, qPrintable(opened.error));
        const auto measurements = opened.archive->listMeasurements({});
        QVERIFY(measurements && measurements->size() == 1);
        QCOMPARE(measurements->front().sampleCount, qint64(5));
        QVERIFY(!measurements->front().unfinished);
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("message");
        const QString c = QStringLiteral("C.UTF-8");
        QTest::newRow("no interval")
            << QStringList{"--count", "3"} << c << "record needs --interval SECONDS";
        for (const char* bad : {"0", "-1", "abc", "86401", "1e39", "nan"})
            QTest::addRow("interval %s", bad)
                << QStringList{"--interval", bad, "--count", "3"} << c
                << "--interval needs a number of seconds above 0, up to a day";
        QTest::newRow("neither count nor duration")
            << QStringList{"--interval", "1"} << c
            << "record needs either --count N or --duration TIME";
        QTest::newRow("both count and duration")
            << QStringList{"--interval", "1", "--count", "3", "--duration", "1m"} << c
            << "record needs either --count N or --duration TIME";
        QTest::newRow("count 0") << QStringList{"--interval", "1", "--count", "0"} << c
                                 << "--count needs a positive number";
        for (const char* bad : {"1x", "0s", "1h5", "m", "1m1h", "400d", "9000h"})
            QTest::addRow("duration %s", bad)
                << QStringList{"--interval", "1", "--duration", bad} << c
                << "--duration needs a time like 1h30m, 45m or 90s";
        QTest::newRow("out of no format")
            << QStringList{"--interval", "1", "--count", "3", "--out", "a.pdf"} << c
            << "--out needs a graph (.ghf), text (.txt) or CSV (.csv) file name";
        QTest::newRow("csv under a decimal comma")
            << QStringList{"--interval", "1", "--count", "3", "--out", "a.csv"} << "de_DE.UTF-8"
            << "CSV is not offered where the decimal separator is a comma; use a .txt file";
        QTest::newRow("archive and no archive")
            << QStringList{"--interval", "1",        "--count",     "3",
                           "--archive",  "a.sqlite", "--no-archive"}
            << c << "--archive and --no-archive exclude each other";
        QTest::newRow("an argument") << QStringList{"--interval", "1", "--count", "3", "extra"} << c
                                     << "unexpected argument 'extra'";
    }

    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, locale);
        QFETCH(QString, message);
        const CliRun run = runCli(QStringList{"record"} + arguments, localeEnvironment(locale));
        QCOMPARE(run.status, 2);
        QCOMPARE(run.err, "audimark-cli: " + message + "\nTry 'audimark-cli record --help'.\n");
        QCOMPARE(run.out, QString());
    }

    // Also without --archive: AUDIMARK_ARCHIVE names it.
    void statsOfArchiveEqualsStatsOfExport_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("byEnvironment");
        QTest::newRow("text") << QStringList{} << false;
        QTest::newRow("json, span")
            << QStringList{"--format", "json", "--from", "10:00:02", "--to", "10:00:05"} << false;
        QTest::newRow("threshold, AUDIMARK_ARCHIVE") << QStringList{"--threshold", "66"} << true;
    }

    void statsOfArchiveEqualsStatsOfExport()
    {
        QFETCH(QStringList, options);
        QFETCH(bool, byEnvironment);
        const QString archive = storedArchive();
        QVERIFY(!archive.isEmpty());
        const QString exported = m_dir.filePath(QStringLiteral("exported.txt"));
        QCOMPARE(runCli({"archive", "export", "1", "--format", "txt", "--out", exported,
                         "--archive", archive},
                        withoutArchive())
                     .status,
                 0);
        const CliRun ofFile = runCli(QStringList{"stats", exported} + options, withoutArchive());
        QCOMPARE(ofFile.status, 0);
        QProcessEnvironment environment = withoutArchive();
        QStringList archiveOptions{"--archive", archive};
        if (byEnvironment) {
            environment.insert(QStringLiteral("AUDIMARK_ARCHIVE"), archive);
            archiveOptions.clear();
        }
        const CliRun ofArchive =
            runCli(QStringList{"stats", "archive:1"} + options + archiveOptions, environment);
        QCOMPARE(ofArchive.status, 0);
        QCOMPARE(ofArchive.err, ofFile.err);
        QString expected = ofFile.out;
        expected.replace(exported, QStringLiteral("archive:1"));
        QCOMPARE(ofArchive.out, expected);
    }

    // Each one line on standard error, status 1, before anything is read.
    void failures_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("stats, no such ID")
            << QStringList{"stats", "archive:99"} << "The archive %1 holds no measurement 99.";
        QTest::newRow("report, no such ID") << QStringList{"report", "archive:99", "--out", "x.pdf"}
                                            << "The archive %1 holds no measurement 99.";
        QTest::newRow("record, --out into no directory")
            << QStringList{"record",  "--port", "/dev/null", "--interval",        "1",
                           "--count", "1",      "--out",     "/nonexistent/x.txt"}
            << "cannot write /nonexistent/x.txt: no such directory";
        QTest::newRow("stats, no number")
            << QStringList{"stats", "archive:first"}
            << "archive:first: an archive measurement is named archive:ID, ID a number that "
               "`archive list` shows";
    }

    void failures()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const QString archive = storedArchive();
        QVERIFY(!archive.isEmpty());
        const CliRun run = runCli(arguments + QStringList{"--archive", archive}, withoutArchive());
        QCOMPARE(run.status, 1);
        const QString expected = message.contains("%1") ? message.arg(archive) : message;
        QCOMPARE(run.err, "audimark-cli: " + expected + '\n');
        QCOMPARE(run.out, QString());
    }

private:
    // An archive with one measurement (ID 1) of ten samples a second apart.
    QString storedArchive()
    {
        if (!m_stored.isEmpty())
            return m_stored;
        const QString path = m_dir.filePath(QStringLiteral("stored.sqlite"));
        ArchiveOpenResult opened = Archive::open(path);
        if (!opened.archive)
            return {};
        Measurement m;
        m.kind = MeasurementKind::RealTime;
        m.start = QDateTime(QDate(2026, 3, 2), QTime(10, 0));
        m.intervalMs = 1000;
        m.weighting = QStringLiteral("A");
        const std::optional<qint64> id = opened.archive->addMeasurement(m);
        std::vector<double> x;
        std::vector<float> y;
        for (int i = 0; i < 10; ++i) {
            x.push_back(GraphTexts::fromDateTime(m.start.addSecs(i)));
            y.push_back(float((600 + 17 * (i % 4) + i) * 0.1));
        }
        if (id != 1 || !opened.archive->appendSamples(*id, x, y) || !opened.archive->finish(*id))
            return {};
        m_stored = path;
        return m_stored;
    }

    QString newArchive(const QString& engine) { return m_archives.create(engine); }

    QTemporaryDir m_dir;
    NewArchives m_archives{m_dir.path()};
    QString m_stored;
    int m_count = 0;
};

AUDIMARK_TEST_MAIN_GUI(TestCliRecord)
#include "tst_clirecord.moc"
