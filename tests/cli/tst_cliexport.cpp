// audimark-cli export: the graph export lines of one data set of a
// collection file, byte for byte what the program's text and CSV export
// writes, to a file or to standard output, under en_US and de_DE; its
// failures give one line on stderr. And a collection written by
// audimark-cli download opens in the program with the sets the meter held.

#include "common/FileBytes.h"
#include "common/TestMain.h"
#include "common/VirtualMeterProcess.h"
#include "files/formats/CollectionFile.h"
#include "files/formats/ExportText.h"
#include "files/formats/GraphExport.h"
#include "logger/RecordDecoder.h"
#include "tools/virtual-meter/LoggerImageBuilder.h"

#include <QProcess>
#include <QTemporaryDir>

#include <sys/stat.h>

using vmeter::LoggerImageBuilder;
using vmeter::LoggerRecordContent;

namespace {
const QLocale us(QLocale::English, QLocale::UnitedStates);
const QLocale de(QLocale::German, QLocale::Germany);
const QDateTime fixedNow(QDate(2026, 1, 5), QTime(10, 0));

struct CliRun
{
    int status = -1;
    QByteArray out;
    QString err;
};

CliRun runCli(const QStringList& arguments,
              const QString& localeName = QStringLiteral("en_US.UTF-8"))
{
    QProcess cli;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), localeName);
    cli.setProcessEnvironment(environment);
    cli.start(qEnvironmentVariable("AUDIMARK_CLI"), arguments);
    CliRun run;
    if (!cli.waitForFinished(60000))
        return run;
    run.status = cli.exitCode();
    run.out = cli.readAllStandardOutput();
    run.err = QString::fromLocal8Bit(cli.readAllStandardError());
    return run;
}

// Three sets starting at 15:30:05 on 14, 15 and 16 April 2010; the second
// holds 60 samples, one of them outside 20.0 .. 140.0 dB.
QList<LoggerRecordContent> recordContents()
{
    QList<LoggerRecordContent> contents;
    const QList<int> lengths{4, 60, 2};
    for (int k = 0; k < lengths.size(); ++k) {
        LoggerRecordContent content;
        content.start = QDateTime(QDate(2010, 4, 14 + k), QTime(15, 30 + k, 5));
        content.intervalSeconds = LoggerImageBuilder::bcd(10 + k);
        content.aWeighting = k != 1;
        for (int i = 0; i < lengths.at(k); ++i)
            content.samplesTenths.append(k == 1 && i == 7 ? 150 : 600 + 13 * i + k);
        contents.append(content);
    }
    return contents;
}

QByteArray memoryImage()
{
    LoggerImageBuilder builder;
    for (const LoggerRecordContent& content : recordContents())
        builder.append(content);
    return builder.image();
}

// The program's own export of set k (0-based) of a collection file.
QByteArray programExport(const QString& collectionPath, qsizetype k, ExportRange range,
                         QChar separator, const QLocale& locale)
{
    QFile file(collectionPath);
    if (!file.open(QIODevice::ReadOnly))
        return "<unreadable>";
    LoggerMemory memory;
    memory.memoryImage() = file.readAll();
    memory.setMemoryEnd(memory.memoryEndFromImage());
    DataSetCollection collection;
    if (decodeImage(memory, collection, fixedNow) != LoadResult::Ok)
        return "<undecodable>";
    QTemporaryDir dir;
    const QString path = dir.filePath("expected");
    if (!GraphExport::write(path, collection.timesOf(k), collection.valuesOf(k), range, separator,
                            locale)
             .written())
        return "<not written>";
    return fileBytes(path);
}
} // namespace

class TestCliExport : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString collection_;

private slots:
    void initTestCase()
    {
        QVERIFY(QFile::exists(qEnvironmentVariable("AUDIMARK_CLI")));
        collection_ = dir_.filePath("sets.rec");
        QVERIFY(writeBytes(collection_, memoryImage()));
    }

    void exportEqualsTheProgramsExport_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QByteArray>("firstLine");
        QTest::newRow("en_US csv") << "en_US.UTF-8"
                                   << "csv" << QByteArray("4/15/2010,15:31:05.000,60.1\r\n");
        QTest::newRow("en_US txt") << "en_US.UTF-8"
                                   << "txt" << QByteArray("4/15/2010\t15:31:05.000\t60.1\r\n");
        QTest::newRow("de_DE txt") << "de_DE.UTF-8"
                                   << "txt" << QByteArray("15.04.2010\t15:31:05.000\t60,1\r\n");
    }

    void exportEqualsTheProgramsExport()
    {
        QFETCH(QString, locale);
        QFETCH(QString, format);
        QFETCH(QByteArray, firstLine);
        const QLocale qtLocale = locale.startsWith("de") ? de : us;
        const QChar separator = format == "csv" ? ExportText::Comma : ExportText::Tab;
        const QByteArray expected =
            programExport(collection_, 1, ExportRange::all(60), separator, qtLocale);
        QVERIFY(expected.startsWith(firstLine));
        QCOMPARE(expected.count("\r\n"), 60);

        QTemporaryDir out;
        const QString path = out.filePath("set2." + format);
        const CliRun toFile = runCli(
            {"export", collection_, "--set", "2", "--format", format, "--out", path}, locale);
        QCOMPARE(toFile.status, 0);
        QCOMPARE(toFile.err, QString());
        QCOMPARE(fileBytes(path), expected);

        const CliRun toStdout =
            runCli({"export", collection_, "--set", "2", "--format", format}, locale);
        QCOMPARE(toStdout.status, 0);
        QCOMPARE(toStdout.out, expected);
    }

    void pointRange_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::newRow("50 to 10") << QStringList{"--from", "50", "--to", "10"} << 10 << 50;
        QTest::newRow("0 to 500") << QStringList{"--from", "0", "--to", "500"} << 1 << 60;
        QTest::newRow("-3 to 7") << QStringList{"--from", "-3", "--to", "7"} << 3 << 7;
        QTest::newRow("from alone") << QStringList{"--from", "55"} << 55 << 60;
        QTest::newRow("to alone") << QStringList{"--to", "4"} << 1 << 4;
    }

    void pointRange()
    {
        QFETCH(QStringList, options);
        QFETCH(int, first);
        QFETCH(int, last);
        const CliRun run =
            runCli(QStringList{"export", collection_, "--set", "2", "--format", "csv"} + options);
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out,
                 programExport(collection_, 1, ExportRange{first, last}, ExportText::Comma, us));
        QCOMPARE(run.out.count("\r\n"), last - first + 1);
    }

    void failureIsOneLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        const QString rec = dir_.filePath("sets.rec");
        const QStringList set2{"--set", "2", "--format", "txt"};
        QTest::newRow("no set 4") << QStringList{"export", rec, "--set", "4", "--format", "txt"}
                                  << "en_US.UTF-8" << 1 << "no data set 4";
        QTest::newRow("no set 0") << QStringList{"export", rec, "--set", "0", "--format", "txt"}
                                  << "en_US.UTF-8" << 1 << "no data set 0";
        QTest::newRow("invalid integer") << QStringList{"export", rec, "--from", "x"} + set2
                                         << "en_US.UTF-8" << 2 << "invalid integer";
        QTest::newRow("unreadable file")
            << QStringList{"export", dir_.filePath("missing.rec")} + set2 << "en_US.UTF-8" << 1
            << "No such file";
        QTest::newRow("undecodable file")
            << QStringList{"export", dir_.filePath("zeros.rec")} + set2 << "en_US.UTF-8" << 16
            << "zeros.rec: the file holds no data sets";
        QTest::newRow("csv under a comma decimal")
            << QStringList{"export", rec, "--set", "2", "--format", "csv"} << "de_DE.UTF-8" << 2
            << "decimal separator is a comma";
    }

    void failureIsOneLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, locale);
        QFETCH(int, status);
        QFETCH(QString, message);
        QVERIFY(writeBytes(dir_.filePath("zeros.rec"), QByteArray(300, '\0')));
        QTemporaryDir out;
        const QString path = out.filePath("out.txt");
        const CliRun run = runCli(arguments + QStringList{"--out", path}, locale);
        QCOMPARE(run.status, status);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        // A usage error is followed by the hint at the command's help.
        const QString hint = status == 2 ? QStringLiteral("Try 'audimark-cli export --help'.\n")
                                         : QString();
        QCOMPARE(run.err.count('\n'), hint.isEmpty() ? 1 : 2);
        QVERIFY(run.err.endsWith('\n' + hint));
        QVERIFY(run.out.isEmpty());
        QVERIFY(!QFile::exists(path));
    }

    void downloadedCollectionOpensWithTheSameSets()
    {
        QVERIFY(QFile::exists(qEnvironmentVariable("AUDIMARK_VIRTUAL_METER")));
        QTemporaryDir dir;
        const QByteArray memory = memoryImage();
        QVERIFY(writeBytes(dir.filePath("memory.bin"), memory));
        VirtualMeterProcess meter({"--memory", dir.filePath("memory.bin"), "--fast"});
        const QString port = meter.waitForPath();
        QVERIFY(!port.isEmpty());
        const QString rec = dir.filePath("downloaded.rec");
        const CliRun download = runCli({"download", "--port", port, "--out", rec});
        QCOMPARE(download.status, 0);

        LoggerMemory loggerMemory;
        DataSetCollection collection;
        const QString dataDirectory = dir.filePath("program");
        const CollectionFile::OpenOutcome opened =
            CollectionFile::open(rec, loggerMemory, collection, dataDirectory, fixedNow);
        QVERIFY(opened.read);
        QCOMPARE(opened.result, LoadResult::Ok);
        const qint32 memoryEnd = quint8(memory.at(0x0C)) * 256 + quint8(memory.at(0x0D));
        QCOMPARE(collection.headers(), walkRecords(memory, memoryEnd, fixedNow).headers);
        QCOMPARE(collection.count(), 3);
        QCOMPARE(collection.valuesOf(1).size(), size_t(60));
        QCOMPARE(collection.valuesOf(1)[7], 50.0f);

        const CliRun sets = runCli({"sets", rec});
        QCOMPARE(sets.status, 0);
        QCOMPARE(QString::fromLocal8Bit(sets.out).split('\n', Qt::SkipEmptyParts).size(),
                 int(collection.count()) + 1);

        // Saved again by the program, it is the downloaded file.
        const QString saved = dir.filePath("saved.rec");
        QCOMPARE(CollectionFile::save(dataDirectory, saved), CollectionFile::SaveOutcome::Written);
        QCOMPARE(fileBytes(saved), fileBytes(rec));
    }

    // What is no regular file is refused at once with one line: a FIFO with
    // no writer (a plain open would wait for ever), a device without an end,
    // a directory.
    void nonRegularFileIsRefused_data()
    {
        QTest::addColumn<QStringList>("arguments");
        const QString fifo = dir_.filePath("pipe.rec");
        QVERIFY(QFile::exists(fifo) || ::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        for (const char* command : {"sets", "export"}) {
            const QStringList tail = QByteArray(command) == "export"
                                         ? QStringList{"--set", "1", "--format", "txt"}
                                         : QStringList{};
            for (const auto& [what, path] : {std::pair{"a FIFO", fifo},
                                             std::pair{"/dev/zero", QStringLiteral("/dev/zero")},
                                             std::pair{"a directory", dir_.path()}})
                QTest::addRow("%s of %s", command, what)
                    << QStringList{QString::fromLatin1(command), path} + tail;
        }
    }

    void nonRegularFileIsRefused()
    {
        QFETCH(QStringList, arguments);
        const CliRun run = runCli(arguments);
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.endsWith(QStringLiteral(": it is not a regular file\n")),
                 qPrintable(run.err));
        QCOMPARE(run.err.count('\n'), 1);
        QVERIFY(run.out.isEmpty());
    }

    // A collection padded to 64 GB (sparse) is read only as far as its memory
    // end: the same sets and the same export as the file itself.
    void hugeFileIsReadOnlyAsFarAsItsMemoryEnd()
    {
        const QString padded = dir_.filePath("padded.rec");
        QVERIFY(writeBytes(padded, memoryImage()));
        QVERIFY(QFile::resize(padded, qint64(64) << 30));
        for (const QStringList& arguments :
             {QStringList{"sets"}, QStringList{"export", "--set", "2", "--format", "txt"}}) {
            QStringList plainArguments = arguments;
            plainArguments.insert(1, collection_);
            QStringList paddedArguments = arguments;
            paddedArguments.insert(1, padded);
            const CliRun plain = runCli(plainArguments);
            const CliRun big = runCli(paddedArguments);
            QCOMPARE(plain.status, 0);
            QCOMPARE(big.status, 0);
            QVERIFY(!plain.out.isEmpty());
            QCOMPARE(big.out, plain.out);
            QCOMPARE(big.err, QString());
        }
    }
};

AUDIMARK_TEST_MAIN_CORE(TestCliExport)
#include "tst_cliexport.moc"
