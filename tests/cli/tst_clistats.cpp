// audimark-cli stats and report on a collection written by audimark-cli
// download against the virtual meter: the statistic texts are the graph
// window's for the same set and cursors (en_US and de_DE), the acoustic
// figures those of the window's series; the CSV and TXT exports and the
// logger dump of a set give that set's figures back; failures give one line
// on stderr and their status. The report is a PDF of the locale's paper
// whose first page holds the set's start time (four-digit year), its LAeq
// and the details given as options, and renders to a picture that is not
// blank.

#include <QApplication>

#include "common/TestMain.h"
#include "common/VirtualMeterProcess.h"
#include "data/DataSetCollection.h"
#include "data/GraphTexts.h"
#include "data/LoggerMemory.h"
#include "files/formats/ExportText.h"
#include "graph/GraphWindowState.h"
#include "graph/PESGraph.h"
#include "graph/TfrmGraph.h"
#include "graph/Tslider2.h"
#include "logger/DumpLine.h"
#include "logger/RecordDecoder.h"
#include "tools/virtual-meter/LoggerImageBuilder.h"

#include <QDir>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

using vmeter::LoggerImageBuilder;
using vmeter::LoggerRecordContent;

namespace {
const QLocale us(QLocale::English, QLocale::UnitedStates);
const QLocale de(QLocale::German, QLocale::Germany);

struct CliRun
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

CliRun run(const QString& program, const QStringList& arguments,
           const QString& localeName = QStringLiteral("en_US.UTF-8"),
           const QString& timeZone = QString())
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), localeName);
    if (!timeZone.isEmpty())
        environment.insert(QStringLiteral("TZ"), timeZone);
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDirectory());
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    CliRun result;
    if (!process.waitForFinished(60000))
        return result;
    result.status = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = QString::fromLocal8Bit(process.readAllStandardError());
    return result;
}

CliRun runCli(const QStringList& arguments,
              const QString& localeName = QStringLiteral("en_US.UTF-8"),
              const QString& timeZone = QString())
{
    return run(qEnvironmentVariable("AUDIMARK_CLI"), arguments, localeName, timeZone);
}

// Set 1: 600 samples 2 s apart from 23:50:00 (over midnight), A weighting,
// levels 55..94.9 dB in a saw with a few loud ones; set 2: 40 samples 1 s
// apart, C weighting, alternating 60 and 80 dB.
QList<LoggerRecordContent> recordContents()
{
    LoggerRecordContent first;
    first.start = QDateTime(QDate(2010, 4, 14), QTime(23, 50, 0));
    first.intervalSeconds = LoggerImageBuilder::bcd(2);
    first.aWeighting = true;
    for (int i = 0; i < 600; ++i)
        first.samplesTenths.append(i % 97 == 5 ? 1049 : 550 + (i * 37) % 400);
    LoggerRecordContent second;
    second.start = QDateTime(QDate(2010, 4, 16), QTime(9, 5, 7));
    second.intervalSeconds = LoggerImageBuilder::bcd(1);
    second.aWeighting = false;
    for (int i = 0; i < 40; ++i)
        second.samplesTenths.append(i % 2 ? 800 : 600);
    return {first, second};
}

QJsonObject jsonOf(const CliRun& result)
{
    return QJsonDocument::fromJson(result.out).object();
}

QJsonObject section(const QJsonObject& root, const char* part, const char* kind)
{
    return root.value(QLatin1String(part)).toObject().value(QLatin1String(kind)).toObject();
}

void compareAcoustic(const QJsonObject& json, const AcousticFigures& f)
{
    const auto near = [](double a, double b) { return std::abs(a - b) < 0.006; };
    QCOMPARE(json.value("samples").toInteger(), f.sampleCount);
    QVERIFY(near(json.value("leq_db").toDouble(), f.leq));
    QVERIFY(near(json.value("l5_db").toDouble(), f.l5));
    QVERIFY(near(json.value("l10_db").toDouble(), f.l10));
    QVERIFY(near(json.value("l50_db").toDouble(), f.l50));
    QVERIFY(near(json.value("l90_db").toDouble(), f.l90));
    QVERIFY(near(json.value("l95_db").toDouble(), f.l95));
    QVERIFY(near(json.value("lmax_db").toDouble(), f.lmax));
    QVERIFY(near(json.value("lmin_db").toDouble(), f.lmin));
    QVERIFY(near(json.value("duration_s").toDouble(), f.durationSeconds));
    QVERIFY(near(json.value("seconds_above").toDouble(), f.secondsAbove));
    QVERIFY(near(json.value("percent_above").toDouble(), f.percentAbove));
}

// Non-white pixels of a rendered page.
int inkOf(const QString& png)
{
    const QImage image(png);
    int ink = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ink += qGray(image.pixel(x, y)) < 200;
    return ink;
}
} // namespace

class TestCliStats : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;
    QString rec_;
    DataSetCollection sets_;

private slots:
    void initTestCase()
    {
        QVERIFY(QFile::exists(qEnvironmentVariable("AUDIMARK_VIRTUAL_METER")));
        QVERIFY(QFile::exists(qEnvironmentVariable("AUDIMARK_CLI")));
        LoggerImageBuilder builder;
        for (const LoggerRecordContent& content : recordContents())
            builder.append(content);
        QFile memory(dir_.filePath("memory.bin"));
        QVERIFY(memory.open(QIODevice::WriteOnly));
        memory.write(builder.image());
        memory.close();

        VirtualMeterProcess meter({"--memory", dir_.filePath("memory.bin"), "--fast"});
        const QString port = meter.waitForPath();
        QVERIFY(!port.isEmpty());
        rec_ = dir_.filePath("sets.rec");
        const CliRun download = runCli(
            {"download", "--port", port, "--out", rec_, "--csv-dir", dir_.filePath("dumps")});
        QCOMPARE(download.status, 0);

        QFile file(rec_);
        QVERIFY(file.open(QIODevice::ReadOnly));
        LoggerMemory loggerMemory;
        loggerMemory.memoryImage() = file.readAll();
        loggerMemory.setMemoryEnd(loggerMemory.memoryEndFromImage());
        QCOMPARE(decodeImage(loggerMemory, sets_, QDateTime::currentDateTime()), LoadResult::Ok);
        QCOMPARE(sets_.count(), 2);
    }

    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void statsEqualTheGraphWindow_data()
    {
        QTest::addColumn<QString>("localeName");
        QTest::addColumn<int>("set");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::addColumn<QString>("leqName");
        QTest::newRow("en_US set 1 whole") << "en_US.UTF-8" << 1 << "" << "" << -1 << -1 << "LAeq";
        // A span takes its points from --from up to, not including, --to.
        QTest::newRow("de_DE set 1 over midnight")
            << "de_DE.UTF-8" << 1 << "23:58:00" << "00:02:00" << 240 << 359 << "LAeq";
        QTest::newRow("en_US set 2 span")
            << "en_US.UTF-8" << 2 << "09:05:10" << "09:05:20" << 3 << 12 << "LCeq";
        QTest::newRow("en_US set 2 from before its first sample")
            << "en_US.UTF-8" << 2 << "09:00" << "09:05:10" << 0 << 2 << "LCeq";
        QTest::newRow("de_DE set 2 by date and time")
            << "de_DE.UTF-8" << 2 << "2010-04-16T09:05:10" << "2010-04-16T09:05:20" << 3 << 12
            << "LCeq";
        QTest::newRow("de_DE set 2 whole") << "de_DE.UTF-8" << 2 << "" << "" << -1 << -1 << "LCeq";
    }

    void statsEqualTheGraphWindow()
    {
        QFETCH(QString, localeName);
        QFETCH(int, set);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(QString, leqName);
        QStringList arguments{"stats", rec_, "--set", QString::number(set), "--format", "json"};
        if (!from.isEmpty())
            arguments << "--from" << from << "--to" << to;
        const CliRun stats = runCli(arguments, localeName);
        QCOMPARE(stats.status, 0);
        QCOMPARE(stats.err, QString());
        const QJsonObject json = jsonOf(stats);
        QCOMPARE(json.value("leq_name").toString(), leqName);
        QCOMPARE(json.value("weighting").toString(), leqName.mid(1, 1));

        // The same set in a graph window of the program.
        QLocale::setDefault(localeName.startsWith("de") ? de : us);
        GraphWindowState state;
        state.dataSets = &sets_;
        TfrmGraph window(state);
        window.setWindowTitle(TfrmGraph::LoggerCaption);
        window.resize(1100, 650);
        window.show();
        QVERIFY(window.showDataSet(set - 1));
        const StatisticFields shown = window.statisticFields();
        const QJsonObject whole = section(json, "whole", "statistics");
        QCOMPARE(whole.value("start_time").toString(), shown.graph.startTime);
        QCOMPARE(whole.value("sampling_rate").toString(), shown.graph.samplingRate);
        QCOMPARE(whole.value("data_no").toString(), shown.graph.dataNo);
        QCOMPARE(whole.value("avg").toString(), shown.graph.avgAll);
        QCOMPARE(whole.value("max").toString(), shown.graph.max);
        QCOMPARE(whole.value("max_time").toString(), shown.graph.maxTime);
        QCOMPARE(whole.value("min").toString(), shown.graph.min);
        QCOMPARE(whole.value("min_time").toString(), shown.graph.minTime);
        QCOMPARE(window.acousticThreshold(), 85.0);
        compareAcoustic(section(json, "whole", "acoustic"), window.acousticFigures(false));

        if (first < 0) {
            QVERIFY(json.value("span").isNull());
            return;
        }
        const QJsonObject span = json.value("span").toObject();
        QCOMPARE(span.value("first_index").toInt(), first);
        QCOMPARE(span.value("last_index").toInt(), last);
        // The cursors on the same points: the window's fields below the chart.
        window.slider()->SetValue1(first);
        window.slider()->SetValue2(last);
        const StatisticFields cursors = window.statisticFields();
        const QJsonObject between = section(json, "span", "statistics");
        QCOMPARE(between.value("cursor_a").toString(), cursors.cursorA);
        QCOMPARE(between.value("cursor_a_time").toString(), cursors.cursorATime);
        QCOMPARE(between.value("cursor_b").toString(), cursors.cursorB);
        QCOMPARE(between.value("cursor_b_time").toString(), cursors.cursorBTime);
        QCOMPARE(between.value("max").toString(), cursors.between.maxAB);
        QCOMPARE(between.value("max_time").toString(), cursors.between.maxABTime);
        QCOMPARE(between.value("min").toString(), cursors.between.minAB);
        QCOMPARE(between.value("min_time").toString(), cursors.between.minABTime);
        QCOMPARE(between.value("avg").toString(), cursors.between.avgAB);
        compareAcoustic(section(json, "span", "acoustic"), window.acousticFigures(true));
    }

    // Beside the window's texts, the JSON carries the figures as numbers and
    // the times in ISO 8601 with the UTC offset of the local clock then.
    // Set 2: 60 dB at even points, 80 dB at odd ones, from 09:05:07, 1 s apart.
    void jsonHasIsoTimesAndNumbers_data()
    {
        QTest::addColumn<QString>("timeZone");
        QTest::addColumn<QString>("offset");
        QTest::newRow("Berlin, summer time") << "Europe/Berlin" << "+02:00";
        QTest::newRow("New York") << "America/New_York" << "-04:00";
        QTest::newRow("UTC") << "UTC" << "+00:00";
    }

    void jsonHasIsoTimesAndNumbers()
    {
        QFETCH(QString, timeZone);
        QFETCH(QString, offset);
        const CliRun stats = runCli({"stats", rec_, "--set", "2", "--from", "09:05:10", "--to",
                                     "09:05:20", "--format", "json"},
                                    "de_DE.UTF-8", timeZone);
        QCOMPARE(stats.status, 0);
        QJsonParseError error;
        const QJsonObject json = QJsonDocument::fromJson(stats.out, &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        const auto at = [&](const char* time) { return "2010-04-16T09:05:" + QString(time) + offset; };
        QCOMPARE(json.value("start_iso").toString(), at("07.000"));
        QCOMPARE(json.value("end_iso").toString(), at("47.000"));
        QCOMPARE(json.value("start").toString(), QStringLiteral("16.04.10 09:05:07"));
        const QJsonObject whole = section(json, "whole", "statistics");
        QCOMPARE(whole.value("start_time_iso").toString(), at("07.000"));
        QCOMPARE(whole.value("points").toDouble(), 40.0);
        QCOMPARE(whole.value("data_no").toString(), QStringLiteral("40"));
        QCOMPARE(whole.value("avg_db").toDouble(), 70.0);
        QCOMPARE(whole.value("max_db").toDouble(), 80.0);
        QCOMPARE(whole.value("max_time_iso").toString(), at("08.000"));
        QCOMPARE(whole.value("min_db").toDouble(), 60.0);
        QCOMPARE(whole.value("min_time_iso").toString(), at("07.000"));
        QCOMPARE(whole.value("max").toString(), QStringLiteral("80,0"));
        const QJsonObject span = section(json, "span", "statistics");
        QCOMPARE(span.value("cursor_a_db").toDouble(), 80.0);
        QCOMPARE(span.value("cursor_a_time_iso").toString(), at("10.000"));
        QCOMPARE(span.value("cursor_b_db").toDouble(), 60.0);
        QCOMPARE(span.value("cursor_b_time_iso").toString(), at("19.000"));
        QCOMPARE(span.value("points").toDouble(), 10.0);
        QCOMPARE(span.value("avg_db").toDouble(), 70.0);
        QCOMPARE(span.value("max_time_iso").toString(), at("10.000"));
        QCOMPARE(span.value("min_time_iso").toString(), at("11.000"));
        QCOMPARE(span.value("cursor_a_time").toString(), QStringLiteral("16.04.10 09:05:10"));
    }

    // An export of a set, and the logger's dump of it, read back: the same
    // points, so the same figures (the rate is the file graph's: the span
    // over the number of points).
    void exportedFilesGiveTheSetsFigures_data()
    {
        QTest::addColumn<QString>("localeName");
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("set");
        QTest::newRow("en_US csv") << "en_US.UTF-8" << "csv" << 1;
        QTest::newRow("en_US txt") << "en_US.UTF-8" << "txt" << 2;
        QTest::newRow("de_DE txt") << "de_DE.UTF-8" << "txt" << 1;
        QTest::newRow("en_US dump") << "en_US.UTF-8" << "dump" << 1;
        QTest::newRow("de_DE dump") << "de_DE.UTF-8" << "dump" << 2;
    }

    void exportedFilesGiveTheSetsFigures()
    {
        QFETCH(QString, localeName);
        QFETCH(QString, format);
        QFETCH(int, set);
        QTemporaryDir out;
        QString file;
        if (format == "dump" && localeName.startsWith("en")) {
            // As the download wrote it beside the collection.
            const QDir dumps(dir_.filePath("dumps"));
            file = dumps.filePath(dumps.entryList(QDir::Files, QDir::Name).at(set - 1));
        } else if (format == "dump") {
            // As the logger dump writes it where the decimal separator is a comma.
            file = out.filePath("201004160905.CSV");
            QFile dump(file);
            QVERIFY(dump.open(QIODevice::WriteOnly));
            for (size_t i = 0; i < sets_.valuesOf(set - 1).size(); ++i)
                dump.write(DumpLine::line(sets_.timesOf(set - 1)[i], sets_.valuesOf(set - 1)[i], de)
                               .toUtf8() +
                           "\r\n");
        } else {
            file = out.filePath("set." + format);
            const CliRun exported = runCli(
                {"export", rec_, "--set", QString::number(set), "--format", format, "--out", file},
                localeName);
            QCOMPARE(exported.status, 0);
        }

        const CliRun fromFile = runCli({"stats", file, "--format", "json"}, localeName);
        QCOMPARE(fromFile.status, 0);
        const CliRun fromSet =
            runCli({"stats", rec_, "--set", QString::number(set), "--format", "json"}, localeName);
        QCOMPARE(fromSet.status, 0);
        const QJsonObject a = section(jsonOf(fromFile), "whole", "statistics");
        const QJsonObject b = section(jsonOf(fromSet), "whole", "statistics");
        for (const char* key : {"start_time", "data_no", "avg", "max", "max_time", "min", "min_time"})
            QCOMPARE(a.value(key).toString(), b.value(key).toString());
        QCOMPARE(section(jsonOf(fromFile), "whole", "acoustic"),
                 section(jsonOf(fromSet), "whole", "acoustic"));
        QCOMPARE(jsonOf(fromFile).value("leq_name").toString(), QStringLiteral("Leq"));
        QCOMPARE(jsonOf(fromFile).value("weighting").toString(), QStringLiteral("unknown"));
    }

    void textOutput_data()
    {
        QTest::addColumn<QString>("localeName");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("en_US") << "en_US.UTF-8"
                               << QStringList{"weighting\tC\n", "start\t4/16/10 9:05:07 AM\n",
                                              "interval\t1 s\n",
                                              "Avg                 70.0                       70.0\n",
                                              "LCeq                77.0 dB                    77.0 dB\n",
                                              "Cursor B                                       60.0 @ 4/16/10 9:05:19 AM\n",
                                              "Time above 85.0 dB  0.0 s (0.0 %)              0.0 s (0.0 %)\n"};
        QTest::newRow("de_DE") << "de_DE.UTF-8"
                               << QStringList{"start\t16.04.10 09:05:07\n",
                                              "Maximum             80,0 @ 16.04.10 09:05:08  80,0 @ 16.04.10 09:05:10\n",
                                              "LCeq                77,0 dB                   77,0 dB\n",
                                              "Duration            0:00:40                   0:00:10\n"};
    }

    void textOutput()
    {
        QFETCH(QString, localeName);
        QFETCH(QStringList, lines);
        const CliRun stats = runCli(
            {"stats", rec_, "--set", "2", "--from", "09:05:10", "--to", "09:05:20"}, localeName);
        QCOMPARE(stats.status, 0);
        const QString out = QString::fromUtf8(stats.out);
        for (const QString& line : lines)
            QVERIFY2(out.contains(line), qPrintable(line + " not in\n" + out));
    }

    void failureIsOneLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        const QString rec = dir_.filePath("sets.rec");
        QTest::newRow("no set 3") << QStringList{"stats", rec, "--set", "3"} << 1 << "no data set 3";
        QTest::newRow("missing file") << QStringList{"stats", dir_.filePath("missing.rec")} << 1
                                      << "No such file";
        QTest::newRow("undecodable") << QStringList{"stats", dir_.filePath("zeros.rec")} << 16
                                     << "zeros.rec: the file holds no data sets";
        QTest::newRow("from alone") << QStringList{"stats", rec, "--from", "23:55:00"} << 2
                                    << "--from and --to go together";
        QTest::newRow("bad time") << QStringList{"stats", rec, "--from", "25:00", "--to", "1:00"}
                                  << 2 << "hh:mm:ss";
        QTest::newRow("span without points")
            << QStringList{"stats", rec, "--set", "2", "--from", "10:00:00", "--to", "10:01:00"} << 2
            << "no point lies from 10:00:00 to 10:01:00";
        QTest::newRow("a directory") << QStringList{"stats", dir_.path()} << 1
                                     << "not a regular file";
        QTest::newRow("a text file that is a directory")
            << QStringList{"stats", dir_.filePath("folder.txt")} << 1 << "not a regular file";
        QTest::newRow("bad threshold") << QStringList{"stats", rec, "--threshold", "loud"} << 2
                                       << "--threshold";
        QTest::newRow("times that run backwards")
            << QStringList{"stats", dir_.filePath("backwards.csv")} << 1
            << "the time on line 3 lies before the time on line 2";
        QTest::newRow("report on times that run backwards")
            << QStringList{"report", dir_.filePath("backwards.csv"), "--out",
                           dir_.filePath("backwards.pdf")}
            << 1 << "the time on line 3 lies before the time on line 2";
        QTest::newRow("to before from")
            << QStringList{"stats", rec, "--from", "2010-04-15T00:00", "--to", "2010-04-14T23:55"}
            << 2 << "is not after";
        QTest::newRow("text file without lines")
            << QStringList{"stats", dir_.filePath("empty.txt")} << 1 << "no date, time and level";
        QTest::newRow("report with a calibration that does not read")
            << QStringList{"report", rec, "--out", dir_.filePath("r.pdf"), "--calibration-after",
                           "94 dB"}
            << 2 << "--calibration-after needs a level in dB from 0 to 200, not \"94 dB\"";
        QTest::newRow("report with tables over a span it was not given")
            << QStringList{"report", rec, "--out", dir_.filePath("r.pdf"), "--tables-over", "span"}
            << 2 << "--tables-over span needs --from and --to";
        QTest::newRow("report to a missing folder")
            << QStringList{"report", rec, "--out", dir_.filePath("no/such/folder/r.pdf")} << 1
            << "cannot write";
    }

    void failureIsOneLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, message);
        QFile zeros(dir_.filePath("zeros.rec"));
        QVERIFY(zeros.open(QIODevice::WriteOnly));
        zeros.write(QByteArray(300, '\0'));
        zeros.close();
        QDir(dir_.path()).mkpath("folder.txt");
        QFile empty(dir_.filePath("empty.txt"));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        // Line 3 is 24 s before line 2.
        QFile backwards(dir_.filePath("backwards.csv"));
        QVERIFY(backwards.open(QIODevice::WriteOnly));
        const double t0 = GraphTexts::fromDateTime(QDateTime(QDate(2024, 3, 5), QTime(9, 0)));
        for (const double seconds : {0.0, 24.0, 0.0, 48.0})
            backwards.write(
                ExportText::graphExportLine(t0 + seconds / 86400.0, 70.0f, ExportText::Comma, us)
                    .toUtf8() +
                ExportText::LineEnd);
        backwards.close();
        const CliRun stats = runCli(arguments);
        QCOMPARE(stats.status, status);
        QVERIFY2(stats.err.contains(message), qPrintable(stats.err));
        // A usage error is followed by the hint at the command's help.
        QCOMPARE(stats.err.count('\n'), status == 2 ? 2 : 1);
        if (status == 2)
            QVERIFY(stats.err.endsWith("\nTry 'audimark-cli " + arguments.first() + " --help'.\n"));
        QVERIFY(stats.out.isEmpty());
    }

    // A level on the threshold is not above it; a threshold between the
    // meter's 0.1 dB steps is counted and named at the nearest one. Set 2
    // alternates 60 and 80 dB.
    void thresholdIsCountedAtItsStep_data()
    {
        QTest::addColumn<QString>("localeName");
        QTest::addColumn<QString>("threshold");
        QTest::addColumn<double>("step");
        QTest::addColumn<double>("percent");
        QTest::addColumn<QString>("line");
        QTest::newRow("79.96 counts as 80.0") << "en_US.UTF-8" << "79.96" << 80.0 << 0.0
                                              << "Time above 80.0 dB  0.0 s (0.0 %)\n";
        QTest::newRow("80.04 counts as 80.0") << "en_US.UTF-8" << "80.04" << 80.0 << 0.0
                                              << "Time above 80.0 dB  0.0 s (0.0 %)\n";
        QTest::newRow("79.94 counts as 79.9") << "en_US.UTF-8" << "79.94" << 79.9 << 50.0
                                              << "Time above 79.9 dB  20.0 s (50.0 %)\n";
        QTest::newRow("de_DE 79,96 counts as 80,0") << "de_DE.UTF-8" << "79,96" << 80.0 << 0.0
                                                    << "Time above 80,0 dB  0,0 s (0,0 %)\n";
    }

    void thresholdIsCountedAtItsStep()
    {
        QFETCH(QString, localeName);
        QFETCH(QString, threshold);
        QFETCH(double, step);
        QFETCH(double, percent);
        QFETCH(QString, line);
        const CliRun json = runCli(
            {"stats", rec_, "--set", "2", "--threshold", threshold, "--format", "json"}, localeName);
        QCOMPARE(json.status, 0);
        QCOMPARE(jsonOf(json).value("threshold_db").toDouble(), step);
        QCOMPARE(section(jsonOf(json), "whole", "acoustic").value("percent_above").toDouble(),
                 percent);
        const CliRun text =
            runCli({"stats", rec_, "--set", "2", "--threshold", threshold}, localeName);
        QCOMPARE(text.status, 0);
        QVERIFY2(text.out.contains(line.toUtf8()), text.out.constData());
    }

    void reportHoldsTheFiguresAndDetails_data()
    {
        QTest::addColumn<QString>("localeName");
        QTest::addColumn<QStringList>("span");
        QTest::addColumn<QString>("paper");
        QTest::addColumn<QString>("startTime");
        QTest::addColumn<QStringList>("details");
        QTest::addColumn<QStringList>("texts"); // on the first page
        QTest::addColumn<int>("pages");
        QTest::addColumn<QStringList>("after"); // on the pages after it
        QTest::newRow("en_US Letter, cursors")
            << "en_US.UTF-8" << QStringList{"--from", "23:55:00", "--to", "00:05:00"} << "letter"
            << "4/14/2010 11:50:00 PM"
            << QStringList{"--site",
                           "Harbour Road 12",
                           "--calibration-before",
                           "94.0",
                           "--calibration-after",
                           "94.2",
                           "--instrument-model",
                           "QV58M 842",
                           "--instrument-serial",
                           "4711",
                           "--instrument-class",
                           "2"}
            << QStringList{"Harbour Road 12", "94.0 dB before, 94.2 dB after, drift +0.2 dB",
                           "QV58M 842, serial 4711, class 2"}
            << 3 << QStringList{"LAeq,5min", "(+5.0 dB)"};
        QTest::newRow("de_DE A4, no cursors")
            << "de_DE.UTF-8" << QStringList{} << "A4"
            << "14.04.2010 23:50:00" << QStringList{"--position",
                                                    "MP 2",
                                                    "--client",
                                                    "Hafenverein",
                                                    "--operator",
                                                    "A. Weber",
                                                    "--calibration-before",
                                                    "93,8",
                                                    "--weather",
                                                    "trocken",
                                                    "--notes",
                                                    "Kühlcontainer liefen"}
            << QStringList{"MP 2",           "Hafenverein", "A. Weber",
                           "93,8 dB before", "trocken",     "Kühlcontainer liefen"}
            << 3 << QStringList{"LAeq,5min", "(+5,0 dB)"};
        QTest::newRow("no details: the calibration not stated")
            << "en_US.UTF-8" << QStringList{} << "letter"
            << "4/14/2010 11:50:00 PM" << QStringList{} << QStringList{"Calibration not stated"}
            << 3 << QStringList{};
        QTest::newRow("the tables over the span between the cursors")
            << "en_US.UTF-8" << QStringList{"--from", "23:55:00", "--to", "00:05:00"} << "letter"
            << "4/14/2010 11:50:00 PM" << QStringList{"--tables-over", "span"} << QStringList{}
            << 3 << QStringList{"Between the cursors, 4/14/2010 11:55:00 PM to 4/15/2010"};
        QTest::newRow("the tables' settings")
            << "en_US.UTF-8" << QStringList{} << "letter"
            << "4/14/2010 11:50:00 PM"
            << QStringList{"--period",    "1m",           "--den-penalties",
                           "0,3",         "--den-hours",  "06:00,18:00,22:00",
                           "--threshold", "61",           "--min-duration",
                           "4s",          "--hysteresis", "0.5"}
            << QStringList{"Dashed line: the threshold, 61.0 dB"} << 4
            << QStringList{"LAeq,1min", "Day 06:00\u201318:00", "(+0.0 dB)",
                           "(+3.0 dB)", "for at least 4.0 s",   "ended by a level below 60.5 dB"};
    }

    void reportHoldsTheFiguresAndDetails()
    {
        QFETCH(QString, localeName);
        QFETCH(QStringList, span);
        QFETCH(QString, paper);
        QFETCH(QString, startTime);
        QFETCH(QStringList, details);
        QFETCH(QStringList, texts);
        QFETCH(int, pages);
        QFETCH(QStringList, after);
        const QString pdfinfo = QStandardPaths::findExecutable("pdfinfo");
        if (pdfinfo.isEmpty())
            QSKIP("poppler-utils are not installed");
        QTemporaryDir out;
        const QString pdf = out.filePath("report.pdf");
        const CliRun report = runCli(
            QStringList{"report", rec_, "--set", "1", "--out", pdf, "--title", "Site 7 night"} +
                span + details,
            localeName);
        QCOMPARE(report.status, 0);
        QCOMPARE(report.err, QString());

        const CliRun info = run(pdfinfo, {pdf});
        QCOMPARE(info.status, 0);
        // The first page, then the tables and the method.
        QVERIFY2(QString::fromUtf8(info.out).contains(
                     QRegularExpression(QStringLiteral("Pages:\\s+%1\n").arg(pages))),
                 info.out.constData());
        QVERIFY2(info.out.contains("(" + paper.toUtf8() + ")"), info.out.constData());

        const CliRun text =
            run(QStandardPaths::findExecutable("pdftotext"), {"-layout", "-l", "1", pdf, "-"});
        QCOMPARE(text.status, 0);
        const QString page = QString::fromUtf8(text.out);
        const CliRun stats = runCli(QStringList{"stats", rec_, "--format", "json"} + span,
                                    localeName);
        const double leq = section(jsonOf(stats), "whole", "acoustic").value("leq_db").toDouble();
        const QLocale locale = localeName.startsWith("de") ? de : us;
        QVERIFY2(page.contains("Site 7 night"), qPrintable(page));
        QVERIFY2(page.contains(startTime), qPrintable(page));
        QVERIFY2(page.contains("LAeq"), qPrintable(page));
        QVERIFY2(page.contains(locale.toString(leq, 'f', 1) + " dB"), qPrintable(page));
        QCOMPARE(page.contains("Cursor A"), !span.isEmpty());
        QVERIFY2(page.contains(QStringLiteral("Page 1 of %1").arg(pages)), qPrintable(page));
        const QString rest = QString::fromUtf8(
            run(QStandardPaths::findExecutable("pdftotext"), {"-f", "2", pdf, "-"}).out);
        for (const char* heading : {"Period levels", "Day, evening and night",
                                       "Exceedance events", "Level distribution", "Method"})
            QVERIFY2(rest.contains(QLatin1String(heading)), qPrintable(heading + (" not in\n" + rest)));
        for (const QString& text : after)
            QVERIFY2(rest.simplified().contains(text), qPrintable(text + " not in\n" + rest));
        for (const QString& detail : texts)
            QVERIFY2(page.simplified().contains(detail), qPrintable(detail + " not in\n" + page));

        const CliRun png = run(QStandardPaths::findExecutable("pdftoppm"),
                               {"-r", "40", "-png", "-singlefile", pdf, out.filePath("page")});
        QCOMPARE(png.status, 0);
        const QImage image(out.filePath("page.png"));
        QVERIFY(!image.isNull());
        QVERIFY2(inkOf(out.filePath("page.png")) > image.width() * image.height() / 50,
                 "the page is blank");
    }
};

AUDIMARK_TEST_MAIN_GUI(TestCliStats)
#include "tst_clistats.moc"
