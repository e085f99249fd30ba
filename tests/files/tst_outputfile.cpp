// Every file the program writes goes through OutputFile: on a full disk the
// earlier file stays as it was and the write is reported as failed; a pipe
// or a device is written into, never replaced; a directory is refused.
// The full disk is a 16 KB tmpfs (root only, skipped otherwise).

#include "common/FileBytes.h"
#include "common/FullFilesystem.h"
#include "common/OneSetImage.h"
#include "common/TestMain.h"
#include "files/formats/CollectionFile.h"
#include "files/formats/ExportText.h"
#include "files/formats/GraphExport.h"
#include "files/formats/GraphFile.h"
#include "files/formats/GridExport.h"
#include "files/formats/TabularTable.h"
#include "logger/AutoLoadLog.h"
#include "logger/DateTimeValue.h"
#include "logger/DumpFile.h"
#include "logger/ImageFile.h"
#include "logger/OutputFile.h"

#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QLocale us(QLocale::English, QLocale::UnitedStates);
const QDateTime fixedNow(QDate(2026, 1, 5), QTime(10, 0));
// More than the one page a full disk leaves, less than what it holds.
constexpr int kPoints = 200;

// The writers of the program, each writing `name` in `directory`; true when
// the writer says it wrote the file.
bool writeWith(const QString& writer, const QString& directory, const QString& name)
{
    const QString path = QDir(directory).filePath(name);
    const double start = DateTimeValue::fromDateTime(QDate(2010, 4, 14), QTime(9, 5, 7));
    std::vector<double> x;
    std::vector<float> y;
    for (int i = 0; i < kPoints; ++i) {
        x.push_back(start + i / 86400.0);
        y.push_back(60.0f + float(i % 300) / 10.0f);
    }
    if (writer == QLatin1String("graph export"))
        return GraphExport::write(path, x, y, ExportRange::all(kPoints), ExportText::Tab, us)
            .written();
    if (writer == QLatin1String("grid export")) {
        TabularTable table;
        for (int i = 0; i < kPoints; ++i)
            table.appendRow({"4/14/2010", "09:05:07.000", "65.3", "a", "b", "c"});
        return GridExport::write(path, table, ExportRange::all(kPoints), ExportText::Tab).written();
    }
    if (writer == QLatin1String("graph file"))
        return GraphFile::write(path, QByteArray(6000, 'g'));
    if (writer == QLatin1String("image file"))
        return ImageFile::write(path, oneSetImage(3000));
    if (writer == QLatin1String("collection save")) {
        static QTemporaryDir data;
        if (ImageFile::writeTemp(data.path(), oneSetImage(3000)) != ImageFile::Outcome::Written)
            return false;
        return CollectionFile::save(data.path(), path) == CollectionFile::SaveOutcome::Written;
    }
    if (writer == QLatin1String("dump file")) {
        LoggerMemory memory;
        memory.memoryImage() = oneSetImage(kPoints);
        memory.setMemoryEnd(memory.memoryEndFromImage());
        DataSetCollection collection;
        return DumpFile::exportNewestDataSet(memory, collection, directory, fixedNow, us).written;
    }
    if (writer == QLatin1String("autoload log")) {
        AutoLoadOutcome outcome;
        outcome.started = fixedNow;
        outcome.result = AutoLoadOutcome::Result::Emptied;
        return AutoLoadLog::append(directory, outcome, us).isEmpty();
    }
    return OutputFile::writeWhole(path, QByteArray(6000, 'w')).isEmpty();
}
} // namespace

class TestOutputFile : public QObject
{
    Q_OBJECT

private slots:
    void fullDiskKeepsTheEarlierFile_data()
    {
        QTest::addColumn<QString>("writer");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("oldBytes");
        QTest::newRow("whole bytes") << ""
                                     << "out.bin" << 100;
        QTest::newRow("graph export") << "graph export"
                                      << "out.txt" << 100;
        QTest::newRow("grid export") << "grid export"
                                     << "out.txt" << 100;
        QTest::newRow("graph file") << "graph file"
                                    << "out.ghf" << 100;
        QTest::newRow("image file") << "image file"
                                    << "out.rec" << 100;
        QTest::newRow("collection save") << "collection save"
                                         << "out.rec" << 100;
        QTest::newRow("dump file") << "dump file"
                                   << "201004141530.CSV" << 100;
        // The log is rewritten whole: an earlier log of more than a page.
        QTest::newRow("autoload log") << "autoload log"
                                      << "autoload.log" << 5000;
    }

    void fullDiskKeepsTheEarlierFile()
    {
        QFETCH(QString, writer);
        QFETCH(QString, name);
        QFETCH(int, oldBytes);
        const FullFilesystem disk;
        if (!disk.isMounted())
            QSKIP(qPrintable(disk.whyNot()));
        QByteArray old;
        for (int i = 0; old.size() < oldBytes; ++i)
            old += "earlier line " + QByteArray::number(i) + "\r\n";
        QVERIFY(writeBytes(disk.filePath(name), old));

        QVERIFY(disk.leaveFree(FullFilesystem::PageBytes));
        QVERIFY(!writeWith(writer, disk.path(), name));
        QCOMPARE(fileBytes(disk.filePath(name)), old);
        // No temporary file is left behind.
        QStringList names{name, FullFilesystem::fillerName()};
        names.sort();
        QCOMPARE(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), names);

        // With room, the same writer replaces the file with more than a page.
        QVERIFY(QFile::remove(disk.filePath(FullFilesystem::fillerName())));
        QVERIFY(writeWith(writer, disk.path(), name));
        const QByteArray now = fileBytes(disk.filePath(name));
        QVERIFY(now != old);
        QVERIFY2(now.size() > FullFilesystem::PageBytes, QByteArray::number(now.size()));
    }

    void pipeIsWrittenIntoNotReplaced()
    {
        QTemporaryDir dir;
        const QString fifo = dir.filePath("fifo");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const int reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
        QVERIFY(reader >= 0);
        QCOMPARE(OutputFile::writeWhole(fifo, "4/14/2010\t09:05:07.000\t65.3\r\n"), QString());
        char buffer[64] = {};
        const ssize_t n = ::read(reader, buffer, sizeof buffer);
        ::close(reader);
        QCOMPARE(QByteArray(buffer, int(std::max<ssize_t>(n, 0))),
                 QByteArray("4/14/2010\t09:05:07.000\t65.3\r\n"));
        QCOMPARE(fileType(fifo), mode_t(S_IFIFO));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
                 QStringList{"fifo"});
    }

    void pipeWithoutReaderFails()
    {
        QTemporaryDir dir;
        const QString fifo = dir.filePath("fifo");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QCOMPARE(OutputFile::writeWhole(fifo, "x"), OutputFile::NoReaderReason);
        QCOMPARE(fileType(fifo), mode_t(S_IFIFO));
    }

    void pipeWhoseReaderLeftFails()
    {
        QTemporaryDir dir;
        const QString fifo = dir.filePath("fifo");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const int reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
        QVERIFY(reader >= 0);
        OutputFile file(fifo);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.isDirect());
        ::close(reader);
        // Without the held signal the program would end here.
        QCOMPARE(file.write("x"), qint64(-1));
        QVERIFY(!file.commit());
        QCOMPARE(file.errorString(), OutputFile::NoReaderReason);
    }

    void devices_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("written");
        QTest::newRow("/dev/null takes it") << "/dev/null" << true;
        QTest::newRow("/dev/full refuses it") << "/dev/full" << false;
    }

    void devices()
    {
        QFETCH(QString, path);
        QFETCH(bool, written);
        const QString reason = OutputFile::writeWhole(path, QByteArray(100, 'x'));
        QCOMPARE(reason.isEmpty(), written);
        // The device stays a device.
        QCOMPARE(fileType(path), mode_t(S_IFCHR));
    }

    void directoryIsRefused()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("sub"));
        OutputFile file(dir.filePath("sub"));
        QVERIFY(!file.open(QIODevice::WriteOnly));
        QCOMPARE(file.errorString(), OutputFile::DirectoryReason);
        QCOMPARE(fileType(dir.filePath("sub")), mode_t(S_IFDIR));
    }

    // A descriptor's name (as /dev/stdout is) is written through, appending
    // to the file behind it, which keeps its identity.
    void descriptorNameAppendsToItsFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("out.txt");
        QVERIFY(writeBytes(path, "head\n"));
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND);
        QVERIFY(fd >= 0);
        struct stat before = {};
        QCOMPARE(::fstat(fd, &before), 0);
        const QString reason =
            OutputFile::writeWhole(QStringLiteral("/proc/self/fd/%1").arg(fd), "tail\n");
        ::close(fd);
        QCOMPARE(reason, QString());
        QCOMPARE(fileBytes(path), QByteArray("head\ntail\n"));
        struct stat after = {};
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &after), 0);
        QCOMPARE(after.st_ino, before.st_ino);
    }

    // The log is read back before a line is added: only a regular file of a
    // log's size, never a device without end or a pipe that waits.
    void autoLoadLogReadBackIsBounded_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("link to /dev/zero") << "zero"
                                           << "it is not a regular file";
        QTest::newRow("FIFO") << "fifo"
                              << "it is not a regular file";
        QTest::newRow("larger than a log") << "large"
                                           << "it is larger than 16 MB";
    }

    void autoLoadLogReadBackIsBounded()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString log = dir.filePath(AutoLoadLog::FileName);
        if (kind == QLatin1String("zero")) {
            QVERIFY(QFile::link("/dev/zero", log));
        } else if (kind == QLatin1String("fifo")) {
            QCOMPARE(::mkfifo(QFile::encodeName(log).constData(), 0600), 0);
        } else {
            QFile file(log);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.resize(AutoLoadLog::MaxBytes + 1));
        }
        const mode_t type = fileType(log);
        AutoLoadOutcome outcome;
        outcome.started = fixedNow;
        const QString error = AutoLoadLog::append(dir.path(), outcome, us);
        QVERIFY2(error.startsWith(reason), qPrintable(error));
        QCOMPARE(fileType(log), type);
        if (kind == QLatin1String("large"))
            QCOMPARE(QFileInfo(log).size(), AutoLoadLog::MaxBytes + 1);
        else
            QCOMPARE(QFileInfo(log).isSymLink(), kind == QLatin1String("zero"));
    }

    // Save copies the temporary image file: a device in its place is not read.
    void collectionSaveReadsOnlyARegularTempFile()
    {
        QTemporaryDir data;
        QVERIFY(QDir().mkpath(ImageFile::tempDirectory(data.path())));
        QVERIFY(QFile::link("/dev/zero", ImageFile::tempFilePath(data.path())));
        const QString target = data.filePath("out.rec");
        QCOMPARE(CollectionFile::save(data.path(), target), CollectionFile::SaveOutcome::Failed);
        QVERIFY(!QFile::exists(target));
    }

    void cancelledWriteKeepsTheEarlierFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("out.txt");
        QVERIFY(writeBytes(path, "earlier"));
        {
            OutputFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write("later"), qint64(5));
            file.cancelWriting();
            QVERIFY(!file.commit());
        }
        {
            // Nor does a write that is never committed.
            OutputFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write("later"), qint64(5));
        }
        QCOMPARE(fileBytes(path), QByteArray("earlier"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"out.txt"});
        QCOMPARE(OutputFile::writeWhole(path, "later"), QString());
        QCOMPARE(fileBytes(path), QByteArray("later"));
    }
};

AUDIMARK_TEST_MAIN_CORE(TestOutputFile)
#include "tst_outputfile.moc"
