// The files made from a logger memory image: the dump file of the newest
// data set and the data set collection file (save and open).

#include "common/FileBytes.h"
#include "common/TestMain.h"
#include "data/GeneratedDataSets.h"
#include "files/formats/CollectionFile.h"
#include "logger/DumpFile.h"
#include "logger/ImageFile.h"
#include "logger/RecordDecoder.h"
#include "tools/virtual-meter/LoggerImageBuilder.h"

#include <QTemporaryDir>

using vmeter::LoggerImageBuilder;
using vmeter::LoggerRecordContent;

namespace {
const QLocale us(QLocale::English, QLocale::UnitedStates);
const QLocale de(QLocale::German, QLocale::Germany);
const QDateTime fixedNow(QDate(2026, 1, 5), QTime(10, 0));

LoggerRecordContent record(const QDateTime& start, QList<int> tenths)
{
    LoggerRecordContent content;
    content.start = start;
    content.intervalSeconds = LoggerImageBuilder::bcd(10);
    content.samplesTenths = std::move(tenths);
    return content;
}

// Two sets; the newest starts at 23:59:50 on 31 December 2009 and runs
// past midnight, two of its samples lie outside 20.0 .. 140.0 dB.
LoggerImageBuilder twoSets()
{
    LoggerImageBuilder builder;
    builder.append(record(QDateTime(QDate(2009, 12, 30), QTime(12, 0)), {600, 610}));
    builder.append(
        record(QDateTime(QDate(2009, 12, 31), QTime(23, 59, 50)), {653, 150, 700, 1401}));
    return builder;
}

qint32 memoryEndOf(const QByteArray& image)
{
    return quint8(image.at(0x0C)) * 256 + quint8(image.at(0x0D));
}

// A collection from an earlier decode, to see that a failure leaves it alone.
DataSetCollection earlierCollection()
{
    return GeneratedDataSets::collection({{40000.5, 1, 5, true}, {40001.5, 2, 3, false}});
}
} // namespace

class TestLoggerFiles : public QObject
{
    Q_OBJECT

private slots:
    void dumpOfTheNewestSet_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("en_US") << us
                               << QByteArray("12/31/2009, 23:59:50.000,65.3\r\n"
                                             "1/1/2010, 00:00:00.000,50.0\r\n"
                                             "1/1/2010, 00:00:10.000,70.0\r\n"
                                             "1/1/2010, 00:00:20.000,50.0\r\n");
        // The separator stays a comma next to a comma decimal.
        QTest::newRow("de_DE") << de
                               << QByteArray("31.12.2009, 23:59:50.000,65,3\r\n"
                                             "01.01.2010, 00:00:00.000,50,0\r\n"
                                             "01.01.2010, 00:00:10.000,70,0\r\n"
                                             "01.01.2010, 00:00:20.000,50,0\r\n");
    }

    void dumpOfTheNewestSet()
    {
        QFETCH(QLocale, locale);
        QFETCH(QByteArray, text);
        QTemporaryDir dir;
        const QString expectedPath = dir.filePath("200912312359.CSV");
        QVERIFY(writeBytes(expectedPath, "an earlier dump of the same minute, longer than this one"
                                         "\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n"));
        LoggerMemory memory;
        memory.memoryImage() = twoSets().image();
        memory.setMemoryEnd(memory.memoryEndFromImage());
        DataSetCollection collection = earlierCollection();

        const DumpFile::Outcome outcome =
            DumpFile::exportNewestDataSet(memory, collection, dir.path(), fixedNow, locale);
        QCOMPARE(outcome.result, LoadResult::Ok);
        QVERIFY2(outcome.written, qPrintable(outcome.error));
        QCOMPARE(outcome.path, expectedPath);
        QCOMPARE(fileBytes(expectedPath), text);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"200912312359.CSV"});

        const RecordWalk walk = walkRecords(memory.memoryImage(), memory.memoryEnd(), fixedNow);
        QCOMPARE(collection.headers(), walk.headers);
        QVERIFY(!collection.hasSamples(1));
    }

    void failedHeaderPassWritesNothing_data()
    {
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<LoadResult>("result");
        QTest::addColumn<DecodeErrorPosition>("errorPosition");
        QTest::newRow("no data sets")
            << LoggerImageBuilder().image() << LoadResult::NoData << DecodeErrorPosition{};
        const LoggerImageBuilder builder = twoSets();
        QByteArray damaged = builder.image();
        const int second = builder.recordOffsets().at(1);
        damaged[second] = char(0x00);
        QTest::newRow("damaged newest record")
            << damaged << LoadResult::DataError << DecodeErrorPosition{1, second - 1};
        QByteArray tooMany = builder.image();
        LoggerImageBuilder::writeControlPage(tooMany, 4001, builder.endAddress());
        QTest::newRow("4001 data sets")
            << tooMany << LoadResult::MemoryError << DecodeErrorPosition{};
    }

    void failedHeaderPassWritesNothing()
    {
        QFETCH(QByteArray, image);
        QFETCH(LoadResult, result);
        QFETCH(DecodeErrorPosition, errorPosition);
        QTemporaryDir dir;
        LoggerMemory memory;
        memory.memoryImage() = image;
        memory.setMemoryEnd(memory.memoryEndFromImage());
        DataSetCollection collection = earlierCollection();

        const DumpFile::Outcome outcome =
            DumpFile::exportNewestDataSet(memory, collection, dir.path(), fixedNow, us);
        QCOMPARE(outcome.result, result);
        QVERIFY(!outcome.written);
        QVERIFY(QDir(dir.path()).isEmpty());
        QCOMPARE(collection.headers(), earlierCollection().headers());
        QVERIFY(collection.hasSamples(0));
        QCOMPARE(memory.errorPosition(), errorPosition);
    }

    void dumpThatCannotBeWrittenIsNotSuccess()
    {
        QTemporaryDir dir;
        LoggerMemory memory;
        memory.memoryImage() = twoSets().image();
        memory.setMemoryEnd(memory.memoryEndFromImage());
        DataSetCollection collection;
        const DumpFile::Outcome outcome = DumpFile::exportNewestDataSet(
            memory, collection, dir.filePath("no such directory"), fixedNow, us);
        QCOMPARE(outcome.result, LoadResult::Ok);
        QVERIFY(!outcome.written);
        QVERIFY(!outcome.error.isEmpty());
        QVERIFY(!QFile::exists(outcome.path));
    }

    void saveCopiesTheTemporaryImageFile()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath("sets.rec");
        const QByteArray first = twoSets().image();
        QCOMPARE(ImageFile::writeTemp(dir.path(), first), ImageFile::Outcome::Written);
        QCOMPARE(CollectionFile::save(dir.path(), target), CollectionFile::SaveOutcome::Written);
        QCOMPARE(fileBytes(target), first.left(memoryEndOf(first) + 257));

        // Saving again replaces the first file with the current temporary file.
        LoggerImageBuilder three = twoSets();
        three.append(record(QDateTime(QDate(2010, 1, 2), QTime(8, 0)), {500}));
        QCOMPARE(ImageFile::writeTemp(dir.path(), three.image()), ImageFile::Outcome::Written);
        QCOMPARE(CollectionFile::save(dir.path(), target), CollectionFile::SaveOutcome::Written);
        QCOMPARE(fileBytes(target), three.image().left(memoryEndOf(three.image()) + 257));
    }

    void saveWithoutTemporaryFileWritesNothing()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath("sets.rec");
        QCOMPARE(CollectionFile::save(dir.path(), target), CollectionFile::SaveOutcome::NoTempFile);
        QVERIFY(!QFile::exists(target));
    }

    void saveThatCannotBeWrittenFails()
    {
        QTemporaryDir dir;
        QCOMPARE(ImageFile::writeTemp(dir.path(), twoSets().image()), ImageFile::Outcome::Written);
        QVERIFY(writeBytes(dir.filePath("plain"), "not a directory"));
        QCOMPARE(CollectionFile::save(dir.path(), dir.filePath("plain/sets.rec")),
                 CollectionFile::SaveOutcome::Failed);
    }

    void openThenSave_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("name");
        const QByteArray whole = twoSets().image();
        QTest::newRow("whole memory") << whole << "sets.rec";
        QTest::newRow("cut to the memory end + 257")
            << whole.left(memoryEndOf(whole) + 257) << "sets.rec";
        QTest::newRow("another extension") << whole << "sets.bin";
    }

    void openThenSave()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, name);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        QVERIFY(writeBytes(path, file));
        LoggerMemory memory;
        memory.memoryImage() = "left over";
        DataSetCollection collection = earlierCollection();

        const CollectionFile::OpenOutcome outcome =
            CollectionFile::open(path, memory, collection, dir.path(), fixedNow);
        QVERIFY(outcome.read);
        QCOMPARE(outcome.result, LoadResult::Ok);
        QCOMPARE(outcome.temp, ImageFile::Outcome::Written);
        QVERIFY(memory.memoryImage().isEmpty());
        QCOMPARE(memory.memoryEnd(), memoryEndOf(file));
        QCOMPARE(collection.count(), 2);
        QCOMPARE(collection.headers(), walkRecords(file, memoryEndOf(file), fixedNow).headers);
        QCOMPARE(collection.valuesOf(1).size(), size_t(4));
        QCOMPARE(collection.valuesOf(1)[2], 70.0f);

        const QString saved = dir.filePath("saved.rec");
        QCOMPARE(CollectionFile::save(dir.path(), saved), CollectionFile::SaveOutcome::Written);
        QCOMPARE(fileBytes(saved), file.left(memoryEndOf(file) + 257));
    }

    void openWithoutData_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("read");
        QTest::addColumn<LoadResult>("result");
        QTest::newRow("300 zero bytes") << QByteArray(300, '\0') << true << LoadResult::NoData;
        QTest::newRow("empty file") << QByteArray() << false << LoadResult::NoData;
        QByteArray damaged = twoSets().image();
        damaged[twoSets().recordOffsets().at(1) + 1] = char(0x00);
        QTest::newRow("damaged record") << damaged << true << LoadResult::DataError;
        // Positions past the file's end hold no marker: the last record is damaged.
        const QByteArray whole = twoSets().image();
        QTest::newRow("cut inside the last record")
            << whole.left(memoryEndOf(whole) - 1) << true << LoadResult::DataError;
    }

    void openWithoutData()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, read);
        QFETCH(LoadResult, result);
        QTemporaryDir dir;
        const QString path = dir.filePath("sets.rec");
        QVERIFY(writeBytes(path, file));
        const QByteArray earlierTemp = LoggerImageBuilder().image();
        QCOMPARE(ImageFile::writeTemp(dir.path(), earlierTemp), ImageFile::Outcome::Written);
        LoggerMemory memory;
        DataSetCollection collection = earlierCollection();

        const CollectionFile::OpenOutcome outcome =
            CollectionFile::open(path, memory, collection, dir.path(), fixedNow);
        QCOMPARE(outcome.read, read);
        QCOMPARE(outcome.result, result);
        QCOMPARE(outcome.temp, ImageFile::Outcome::NotWritten);
        QCOMPARE(collection.headers(), earlierCollection().headers());
        QVERIFY(memory.memoryImage().isEmpty());
        QCOMPARE(fileBytes(ImageFile::tempFilePath(dir.path())), ImageFile::keptBytes(earlierTemp));
    }

    void openOfAMissingFileReadsNothing()
    {
        QTemporaryDir dir;
        LoggerMemory memory;
        DataSetCollection collection = earlierCollection();
        const CollectionFile::OpenOutcome outcome = CollectionFile::open(
            dir.filePath("missing.rec"), memory, collection, dir.path(), fixedNow);
        QVERIFY(!outcome.read);
        QCOMPARE(collection.headers(), earlierCollection().headers());
        QVERIFY(!QFile::exists(ImageFile::tempFilePath(dir.path())));
    }
};

AUDIMARK_TEST_MAIN_CORE(TestLoggerFiles)
#include "tst_loggerfiles.moc"
