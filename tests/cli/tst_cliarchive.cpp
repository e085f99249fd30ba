// audimark-cli and the measurement archive: download keeps the memory and
// its data sets in an SQLite file or on a PostgreSQL server, once however
// often it runs; archive list, export, delete and import read and change
// them; an archive that cannot be opened leaves download its file and is
// itself left as it was.

#include "archive/Archive.h"
#include "archive/LoggerImageArchiver.h"
#include "common/CliProcess.h"
#include "common/NewArchives.h"
#include "common/TestMain.h"
#include "common/VirtualMeterProcess.h"
#include "data/DataSetCollection.h"
#include "data/LoggerMemory.h"
#include "files/formats/GraphFile.h"
#include "graph/PESGraphBlock.h"
#include "logger/RecordDecoder.h"
#include "tools/virtual-meter/LoggerImageBuilder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <memory>

using vmeter::LoggerImageBuilder;
using vmeter::LoggerRecordContent;

namespace {

// Three sets: 4 samples at 10 s (A), 9 at 11 s (C), 2 at 12 s (A), the
// second level of the last one below the valid range.
QByteArray memoryFile(const QString& path)
{
    const QList<int> lengths{4, 9, 2};
    LoggerImageBuilder builder;
    for (int k = 0; k < lengths.size(); ++k) {
        LoggerRecordContent content;
        content.start = QDateTime(QDate(2010, 4, 14 + k), QTime(15, 30 + k, 5));
        content.intervalSeconds = LoggerImageBuilder::bcd(10 + k);
        content.aWeighting = k != 1;
        for (int i = 0; i < lengths.at(k); ++i)
            content.samplesTenths.append(k == 2 && i == 1 ? 150 : 600 + 13 * i + k);
        builder.append(content);
    }
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(builder.image());
    return builder.image();
}

// The meter's wall clock read in Berlin, where April is two hours ahead of UTC.
QProcessEnvironment berlin()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TZ"), QStringLiteral("Europe/Berlin"));
    environment.remove(QStringLiteral("AUDIMARK_ARCHIVE"));
    return environment;
}

QJsonArray listed(const QString& archive, const QStringList& filter = {})
{
    const CliRun run =
        runCli(QStringList{"archive", "list", "--format", "json", "--archive", archive} + filter,
               berlin());
    if (run.status != 0)
        qWarning("%s", qPrintable(run.err));
    return QJsonDocument::fromJson(run.out.toUtf8()).array();
}

} // namespace

class TestCliArchive : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(QFile::exists(qEnvironmentVariable("AUDIMARK_VIRTUAL_METER")));
        QVERIFY(QFile::exists(qEnvironmentVariable("AUDIMARK_CLI")));
        QVERIFY(m_dir.isValid());
        m_memory = memoryFile(m_dir.filePath("memory.bin"));
    }

    void downloadIsArchived_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::newRow("sqlite") << "sqlite";
        QTest::newRow("postgresql") << "postgresql";
    }

    void downloadIsArchived()
    {
        QFETCH(QString, engine);
        const QString archive = newArchive(engine);
        QVERIFY(!archive.isEmpty());
        VirtualMeterProcess meter({"--memory", m_dir.filePath("memory.bin"), "--fast"});
        const QString port = meter.waitForPath();
        QVERIFY(!port.isEmpty());
        const QString rec = m_dir.filePath(engine + ".rec");

        const CliRun run =
            runCli({"download", "--port", port, "--out", rec, "--archive", archive}, berlin());
        QCOMPARE(run.status, 0);
        QVERIFY2(run.err.contains("3 data sets in the archive " + archive + " (3 new)\n"),
                 qPrintable(run.err));

        const QJsonArray sets = listed(archive);
        QCOMPARE(sets.size(), 3);
        struct Expected
        {
            const char* start;
            const char* end;
            double interval;
            int samples;
            const char* weighting;
            double leq;
        };
        // Newest first.
        const Expected expected[] = {
            {"2010-04-16T15:32:05.000+02:00", "2010-04-16T15:32:29.000+02:00", 12, 2, "A", 57.59},
            {"2010-04-15T15:31:05.000+02:00", "2010-04-15T15:32:44.000+02:00", 11, 9, "C", 66.53},
            {"2010-04-14T15:30:05.000+02:00", "2010-04-14T15:30:45.000+02:00", 10, 4, "A", 62.19}};
        for (int k = 0; k < 3; ++k) {
            const QJsonObject set = sets.at(k).toObject();
            QCOMPARE(set.keys(), (QStringList{"end", "id", "interval_s", "kind", "leq_db", "meter",
                                              "notes", "samples", "site", "start", "weighting"}));
            QCOMPARE(set.value("kind").toString(), "logger");
            QCOMPARE(set.value("start").toString(), expected[k].start);
            QCOMPARE(set.value("end").toString(), expected[k].end);
            QCOMPARE(set.value("interval_s").toDouble(), expected[k].interval);
            QCOMPARE(set.value("samples").toInt(), expected[k].samples);
            QCOMPARE(set.value("weighting").toString(), expected[k].weighting);
            QCOMPARE(set.value("meter").toString(), "QV58M model 842");
            QVERIFY2(std::abs(set.value("leq_db").toDouble() - expected[k].leq) < 0.015,
                     qPrintable(QString::number(set.value("leq_db").toDouble())));
        }

        // The same memory again adds nothing: the sets keep their ids.
        const CliRun again =
            runCli({"download", "--port", port, "--out", rec, "--archive", archive}, berlin());
        QCOMPARE(again.status, 0);
        QVERIFY2(again.err.contains("3 data sets in the archive " + archive + " (0 new)\n"),
                 qPrintable(again.err));
        QCOMPARE(listed(archive), sets);

        // One memory image, the one every set came from.
        ArchiveOpenResult opened = Archive::open(archive);
        QVERIFY2(opened.archive, qPrintable(opened.error));
        const auto all = opened.archive->listMeasurements();
        QVERIFY(all && all->size() == 3);
        QVERIFY(all->at(0).memoryImageId > 0);
        QCOMPARE(all->at(1).memoryImageId, all->at(0).memoryImageId);
        QCOMPARE(all->at(2).memoryImageId, all->at(0).memoryImageId);
        const auto image = opened.archive->memoryImage(all->at(0).memoryImageId);
        QVERIFY(image);
        const QByteArray written = fileBytes(rec);
        QCOMPARE(image->left(written.size()), written);

        // Export of an archived set: the bytes of the set exported from the file.
        const QString id = QString::number(sets.at(1).toObject().value("id").toInt());
        const CliRun fromArchive =
            runCli({"archive", "export", id, "--format", "csv", "--archive", archive}, berlin());
        const CliRun fromFile = runCli({"export", rec, "--set", "2", "--format", "csv"}, berlin());
        QCOMPARE(fromArchive.status, 0);
        QCOMPARE(fromFile.status, 0);
        QVERIFY(!fromFile.out.isEmpty());
        QCOMPARE(fromArchive.out, fromFile.out);
    }

    // An auto-load cycle keeps what it empties: its sets as autoload
    // measurements, beside its files.
    void autoloadIsArchived()
    {
        QTemporaryDir dir;
        VirtualMeterProcess meter({"--memory", m_dir.filePath("memory.bin"), "--fast"});
        const QString port = meter.waitForPath();
        QVERIFY(!port.isEmpty());
        const QString archive = newArchive("sqlite");
        const CliRun run = runCli(
            {"autoload", "--once", "--port", port, "--dir", dir.path(), "--archive", archive},
            berlin());
        QCOMPARE(run.status, 0);
        QVERIFY2(run.err.contains("3 data sets in the archive " + archive + " (3 new)\n"),
                 qPrintable(run.err));
        QVERIFY(QFile::exists(dir.filePath("201004141530.CSV")));
        const QJsonArray sets = listed(archive);
        QCOMPARE(sets.size(), 3);
        for (const QJsonValue& set : sets)
            QCOMPARE(set.toObject().value("kind").toString(), "autoload");
        QCOMPARE(sets.at(0).toObject().value("start").toString(), "2010-04-16T15:32:05.000+02:00");
    }

    // Collection files go in set by set; each set exports as the file's own
    // export writes it, to a file or to standard output.
    void importedSetsExportAsTheFile_data()
    {
        QTest::addColumn<int>("set");
        QTest::addColumn<QString>("format");
        QTest::addColumn<bool>("toFile");
        QTest::newRow("set 1 csv to stdout") << 1 << "csv" << false;
        QTest::newRow("set 2 txt to a file") << 2 << "txt" << true;
        QTest::newRow("set 3 csv to a file, level replaced") << 3 << "csv" << true;
    }

    void importedSetsExportAsTheFile()
    {
        QFETCH(int, set);
        QFETCH(QString, format);
        QFETCH(bool, toFile);
        const QString archive = newArchive("sqlite");
        const QString rec = m_dir.filePath("memory.bin");
        const CliRun import = runCli({"archive", "import", rec, "--archive", archive}, berlin());
        QCOMPARE(import.status, 0);
        QVERIFY2(import.err.contains(": 3 data sets (3 new)"), qPrintable(import.err));
        const QJsonArray sets = listed(archive, {"--kind", "import"});
        QCOMPARE(sets.size(), 3);
        const QString id = QString::number(sets.at(3 - set).toObject().value("id").toInt());

        QStringList arguments{"archive", "export", id, "--format", format, "--archive", archive};
        const QString out = m_dir.filePath(QStringLiteral("set%1.%2").arg(set).arg(format));
        if (toFile)
            arguments << "--out" << out;
        const CliRun fromArchive = runCli(arguments, berlin());
        const CliRun fromFile =
            runCli({"export", rec, "--set", QString::number(set), "--format", format}, berlin());
        QCOMPARE(fromArchive.status, 0);
        QCOMPARE(fromFile.status, 0);
        QCOMPARE(toFile ? fileBytes(out) : fromArchive.out.toUtf8(), fromFile.out.toUtf8());

        // Imported again: nothing new.
        const CliRun again = runCli({"archive", "import", rec, "--archive", archive}, berlin());
        QCOMPARE(again.status, 0);
        QVERIFY2(again.err.contains(": 3 data sets (0 new)"), qPrintable(again.err));
    }

    // A text or CSV file the program wrote comes in as one measurement and
    // goes out again as the same bytes; the same file twice is kept once.
    void importedExportFileRoundTrips_data()
    {
        QTest::addColumn<QString>("format");
        QTest::newRow("csv") << "csv";
        QTest::newRow("txt") << "txt";
    }

    void importedExportFileRoundTrips()
    {
        QFETCH(QString, format);
        const QString archive = newArchive("sqlite");
        const QString file = m_dir.filePath("set2." + format);
        QCOMPARE(runCli({"export", m_dir.filePath("memory.bin"), "--set", "2", "--format", format,
                         "--out", file},
                        berlin())
                     .status,
                 0);
        const CliRun import = runCli({"archive", "import", file, "--archive", archive}, berlin());
        QCOMPARE(import.status, 0);
        const QJsonArray sets = listed(archive);
        QCOMPARE(sets.size(), 1);
        const QJsonObject set = sets.at(0).toObject();
        QCOMPARE(set.value("kind").toString(), "import");
        QCOMPARE(set.value("samples").toInt(), 9);
        QCOMPARE(set.value("start").toString(), "2010-04-15T15:31:05.000+02:00");
        QCOMPARE(set.value("notes").toString(), "set2." + format);
        const QString id = QString::number(set.value("id").toInt());
        const CliRun exported =
            runCli({"archive", "export", id, "--format", format, "--archive", archive}, berlin());
        QCOMPARE(exported.status, 0);
        QCOMPARE(exported.out.toUtf8(), fileBytes(file));

        const CliRun again = runCli({"archive", "import", file, "--archive", archive}, berlin());
        QCOMPARE(again.status, 0);
        QVERIFY2(again.err.contains("(already in the archive)"), qPrintable(again.err));
        QCOMPARE(listed(archive).size(), 1);
    }

    // A graph file comes in series by series, each with the points the
    // chart holds (not its empty tail) and their spacing as its interval.
    void importedGraphFile_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<int>("series");
        QTest::addColumn<QString>("said");
        QTest::addColumn<QString>("saidAgain");
        QTest::newRow("one series") << "sqlite" << 1 << ": measurement 1\n"
                                    << ": measurement 1 (already in the archive)\n";
        QTest::newRow("two series") << "sqlite" << 2 << ": 2 series (2 new)\n"
                                    << ": 2 series (0 new)\n";
        QTest::newRow("two series, postgresql") << "postgresql" << 2 << ": 2 series (2 new)\n"
                                                << ": 2 series (0 new)\n";
    }

    void importedGraphFile()
    {
        QFETCH(QString, engine);
        QFETCH(int, series);
        QFETCH(QString, said);
        QFETCH(QString, saidAgain);
        const QString archive = newArchive(engine);
        QVERIFY(!archive.isEmpty());
        PESGraphState state;
        state.look = PESGraphLook::programDefault();
        state.content.points = 50;
        for (int s = 0; s < series; ++s) {
            PESGraphSeries one;
            for (int i = 0; i < 50; ++i) {
                // 14 April 2010, 15:30:05 + 2 s per point; the last 8 points empty.
                one.x.push_back(i < 42 ? 40282.0 + (15.5 * 3600 + 5 + 2 * i) / 86400.0 : 0.0);
                one.y.push_back(i < 42 ? 60.0f + float(s * 10 + i % 5) : 0.0f);
            }
            state.content.series.push_back(one);
        }
        const QString file = m_dir.filePath(QStringLiteral("graph%1.ghf").arg(series));
        QVERIFY(GraphFile::write(file, PESGraphBlock::encodeWhole(state)));

        const CliRun import = runCli({"archive", "import", file, "--archive", archive}, berlin());
        QCOMPARE(import.status, 0);
        QCOMPARE(import.err, file + said);
        const QJsonArray sets = listed(archive);
        QCOMPARE(sets.size(), series);
        for (const QJsonValue& value : sets) {
            const QJsonObject set = value.toObject();
            QCOMPARE(set.value("kind").toString(), "import");
            QCOMPARE(set.value("samples").toInt(), 42);
            QCOMPARE(set.value("interval_s").toDouble(), 2.0);
            QCOMPARE(set.value("start").toString(), "2010-04-14T15:30:05.000+02:00");
            QCOMPARE(set.value("weighting").toString(), "");
            QCOMPARE(set.value("notes").toString(), QFileInfo(file).fileName());
        }
        const CliRun again = runCli({"archive", "import", file, "--archive", archive}, berlin());
        QCOMPARE(again.status, 0);
        QCOMPARE(again.err, file + saidAgain);
        QCOMPARE(listed(archive).size(), series);
    }

    // Under a decimal comma: CSV is refused as the file export refuses it,
    // the text export and the list follow the locale.
    void decimalComma()
    {
        const QString archive = newArchive("sqlite");
        QProcessEnvironment german = berlin();
        german.insert("LC_ALL", "de_DE.UTF-8");
        german.insert("LANG", "de_DE.UTF-8");
        const QString rec = m_dir.filePath("memory.bin");
        QCOMPARE(runCli({"archive", "import", rec, "--archive", archive}, german).status, 0);
        const QString id = QString::number(listed(archive).at(0).toObject().value("id").toInt());
        const CliRun csv =
            runCli({"archive", "export", id, "--format", "csv", "--archive", archive}, german);
        QCOMPARE(csv.status, 2);
        QVERIFY2(csv.err.startsWith("audimark-cli: CSV is not offered where the decimal "
                                    "separator is a comma"),
                 qPrintable(csv.err));
        const CliRun txt =
            runCli({"archive", "export", id, "--format", "txt", "--archive", archive}, german);
        const CliRun fromFile = runCli({"export", rec, "--set", "3", "--format", "txt"}, german);
        QCOMPARE(txt.status, 0);
        QCOMPARE(txt.out, fromFile.out);
        QVERIFY(txt.out.contains("60,2"));
        const CliRun list = runCli({"archive", "list", "--archive", archive}, german);
        QCOMPARE(list.status, 0);
        const QStringList newest = list.out.split('\n').at(1).split('\t');
        QCOMPARE(newest.at(2), "16.04.2010 15:32:05");
        QCOMPARE(newest.at(7), "57,6");
    }

    // A set cut off while it was stored (added, no samples yet) is completed
    // by the next load of the same memory, not stored a second time.
    void cutOffSetIsCompleted()
    {
        const QString archive = newArchive("sqlite");
        LoggerMemory memory;
        memory.memoryImage() = m_memory;
        memory.setMemoryEnd(memory.memoryEndFromImage());
        DataSetCollection collection;
        QCOMPARE(decodeImage(memory, collection, QDateTime::currentDateTime()), LoadResult::Ok);
        {
            ArchiveOpenResult opened = Archive::open(archive);
            QVERIFY2(opened.archive, qPrintable(opened.error));
            const Measurement cut = LoggerImageArchiver::measurementOf(
                collection, 1, m_memory, {MeasurementKind::Logger, "QV58M model 842", "", ""}, 0);
            QVERIFY(!cut.key.isEmpty());
            QVERIFY(opened.archive->addMeasurement(cut));
        }
        const CliRun import = runCli(
            {"archive", "import", m_dir.filePath("memory.bin"), "--archive", archive}, berlin());
        QCOMPARE(import.status, 0);
        const QJsonArray sets = listed(archive);
        QCOMPARE(sets.size(), 3);
        QCOMPARE(sets.at(1).toObject().value("samples").toInt(), 9);
        QCOMPARE(sets.at(1).toObject().value("kind").toString(), "logger");
        ArchiveOpenResult opened = Archive::open(archive);
        QVERIFY(opened.archive);
        const auto all = opened.archive->listMeasurements();
        QVERIFY(all);
        for (const Measurement& m : *all)
            QVERIFY(!m.unfinished);
    }

    void listFilters_data()
    {
        QTest::addColumn<QStringList>("filter");
        QTest::addColumn<QList<int>>("samples");
        QTest::newRow("all") << QStringList{} << QList<int>{2, 9, 4};
        QTest::newRow("from a day on") << QStringList{"--from", "2010-04-15"} << QList<int>{2, 9};
        QTest::newRow("to a day, inclusive")
            << QStringList{"--to", "2010-04-15"} << QList<int>{9, 4};
        QTest::newRow("date and time, offset")
            << QStringList{"--from", "2010-04-15T13:31:05Z", "--to", "2010-04-16T15:32:05"}
            << QList<int>{9};
        QTest::newRow("other kind") << QStringList{"--kind", "realtime"} << QList<int>{};
        QTest::newRow("text in the notes")
            << QStringList{"--text", "MEMORY.BIN"} << QList<int>{2, 9, 4};
        QTest::newRow("wildcard taken literally") << QStringList{"--text", "l%4"} << QList<int>{};
    }

    void listFilters()
    {
        QFETCH(QStringList, filter);
        QFETCH(QList<int>, samples);
        if (m_filtered.isEmpty()) {
            m_filtered = newArchive("sqlite");
            QCOMPARE(
                runCli({"archive", "import", m_dir.filePath("memory.bin"), "--archive", m_filtered},
                       berlin())
                    .status,
                0);
        }
        const QJsonArray sets = listed(m_filtered, filter);
        QList<int> counts;
        for (const QJsonValue& set : sets)
            counts << set.toObject().value("samples").toInt();
        QCOMPARE(counts, samples);
    }

    void deleteNeedsYes()
    {
        const QString archive = newArchive("sqlite");
        QCOMPARE(runCli({"archive", "import", m_dir.filePath("memory.bin"), "--archive", archive})
                     .status,
                 0);
        const QString id = QString::number(listed(archive).at(0).toObject().value("id").toInt());
        const CliRun refused = runCli({"archive", "delete", id, "--archive", archive});
        QCOMPARE(refused.status, 2);
        QCOMPARE(refused.err, "audimark-cli: archive delete needs --yes\n"
                              "Try 'audimark-cli archive --help'.\n");
        QCOMPARE(listed(archive).size(), 3);

        const CliRun deleted = runCli({"archive", "delete", id, "--yes", "--archive", archive});
        QCOMPARE(deleted.status, 0);
        QCOMPARE(listed(archive).size(), 2);
        const CliRun gone = runCli({"archive", "delete", id, "--yes", "--archive", archive});
        QCOMPARE(gone.status, 1);
        QVERIFY2(gone.err.contains("holds no measurement " + id), qPrintable(gone.err));
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("no action")
            << QStringList{"archive"} << "archive needs list, export, delete or import";
        QTest::newRow("unknown action")
            << QStringList{"archive", "show"} << "unknown archive command 'show'";
        QTest::newRow("option of another action")
            << QStringList{"archive", "list", "--yes"} << "archive list takes no option '--yes'";
        QTest::newRow("export without format")
            << QStringList{"archive", "export", "3"} << "archive export needs --format csv or txt";
        QTest::newRow("export of no id")
            << QStringList{"archive", "export", "x", "--format", "csv"}
            << "archive export needs one measurement id, as archive list shows it";
        QTest::newRow("unknown kind") << QStringList{"archive", "list", "--kind", "daily"}
                                      << "--kind must be realtime, logger, autoload or import";
        QTest::newRow("date that does not read")
            << QStringList{"archive", "list", "--from", "yesterday"}
            << "--from needs a date, yyyy-mm-dd, or a date and time, yyyy-mm-ddThh:mm[:ss]";
        QTest::newRow("import of nothing")
            << QStringList{"archive", "import"} << "archive import needs at least one file";
        QTest::newRow("archive and no archive")
            << QStringList{"download", "--out", "x.rec", "--archive", "a.sqlite", "--no-archive"}
            << "--archive and --no-archive exclude each other";
    }

    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const CliRun run = runCli(arguments);
        QCOMPARE(run.status, 2);
        QCOMPARE(run.err, "audimark-cli: " + message + "\nTry 'audimark-cli " + arguments.first() +
                              " --help'.\n");
    }

    // A file that is no archive and a server that does not listen: download
    // warns in one line and writes its file (the server's sets are kept
    // locally until it is back); the file is left as it was; the archive
    // commands fail with the reason.
    void unopenableArchive_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("text file") << "file";
        QTest::newRow("no server") << "server";
    }

    void unopenableArchive()
    {
        QFETCH(QString, kind);
        QString archive;
        const QByteArray text("measurements, not a database\n");
        if (kind == "file") {
            archive = m_dir.filePath("notes.txt");
            QFile file(archive);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(text);
        } else {
            // Nothing listens on port 1: the connection is refused at once.
            archive = QStringLiteral("postgresql://audimark@127.0.0.1:1/none");
        }
        VirtualMeterProcess meter({"--memory", m_dir.filePath("memory.bin"), "--fast"});
        const QString port = meter.waitForPath();
        QVERIFY(!port.isEmpty());
        const QString rec = m_dir.filePath("unopenable-" + kind + ".rec");
        const CliRun run = runCli({"download", "--port", port, "--out", rec, "--archive", archive});
        QCOMPARE(run.status, 0);
        const QStringList warnings = run.err.split('\n').filter("warning");
        QCOMPARE(warnings.size(), 1);
        QVERIFY2(
            warnings.first().startsWith("audimark-cli: warning: ") &&
                warnings.first().contains(kind == "file" ? archive : QStringLiteral("127.0.0.1")) &&
                warnings.first().endsWith(kind == "file" ? "Nothing is stored in the archive."
                                                         : "/none is back."),
            qPrintable(run.err));
        QVERIFY(run.err.contains("3 data sets written to"));
        const QByteArray written = fileBytes(rec);
        QVERIFY(written.size() >= 256);
        QCOMPARE(written, m_memory.left(written.size()));
        if (kind == "file")
            QCOMPARE(fileBytes(archive), text);

        const CliRun list = runCli({"archive", "list", "--archive", archive});
        QCOMPARE(list.status, 1);
        QCOMPARE(list.err.count('\n'), 1);
        QVERIFY2(list.err.startsWith("audimark-cli: "), qPrintable(list.err));
        if (kind == "file")
            QCOMPARE(fileBytes(archive), text);
    }

    // Which archive: --no-archive, --archive, AUDIMARK_ARCHIVE, then
    // archive.sqlite in the data directory.
    void archiveIsChosen_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("fromEnvironment");
        QTest::addColumn<QString>("used"); // the file that holds the sets, or none
        QTest::newRow("data directory") << QStringList{} << false << "home/archive.sqlite";
        QTest::newRow("environment") << QStringList{} << true << "environment.sqlite";
        QTest::newRow("option before environment")
            << QStringList{"--archive", "option.sqlite"} << true << "option.sqlite";
        QTest::newRow("no archive") << QStringList{"--no-archive"} << true << "";
    }

    void archiveIsChosen()
    {
        QFETCH(QStringList, options);
        QFETCH(bool, fromEnvironment);
        QFETCH(QString, used);
        QTemporaryDir dir;
        QProcessEnvironment environment = berlin();
        environment.insert("AUDIMARK_HOME", dir.filePath("home"));
        if (fromEnvironment)
            environment.insert("AUDIMARK_ARCHIVE", dir.filePath("environment.sqlite"));
        for (QString& option : options)
            if (option.endsWith(".sqlite"))
                option = dir.filePath(option);
        VirtualMeterProcess meter({"--memory", m_dir.filePath("memory.bin"), "--fast"});
        const QString port = meter.waitForPath();
        QVERIFY(!port.isEmpty());
        const CliRun run = runCli(
            QStringList{"download", "--port", port, "--out", dir.filePath("sets.rec")} + options,
            environment);
        QCOMPARE(run.status, 0);
        for (const char* file : {"home/archive.sqlite", "environment.sqlite", "option.sqlite"})
            QCOMPARE(QFile::exists(dir.filePath(file)), file == used);
        if (!used.isEmpty())
            QCOMPARE(listed(dir.filePath(used)).size(), 3);
        else
            QVERIFY2(!run.err.contains("in the archive") && !run.err.contains("warning"),
                     qPrintable(run.err));
    }

private:
    // A new, empty archive of the engine; the server starts on first use.
    QString newArchive(const QString& engine) { return m_archives.create(engine); }

    QTemporaryDir m_dir;
    NewArchives m_archives{m_dir.path()};
    QString m_filtered;
    QByteArray m_memory;
};

AUDIMARK_TEST_MAIN_CORE(TestCliArchive)
#include "tst_cliarchive.moc"
