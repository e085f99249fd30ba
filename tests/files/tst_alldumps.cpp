// Every data set of a logger memory in its own dump file, and the memory
// image beside them: what the scheduled emptying of the logger keeps before
// it erases anything. File bytes under en_US and de_DE, a dump's lines in
// fourteen locales, the name rule that
// never replaces a file, and the failures that must stop an erase.

#include "common/FileBytes.h"
#include "common/ReadOnlyDirectory.h"
#include "common/TestMain.h"
#include "logger/DateTimeValue.h"
#include "logger/DumpFile.h"
#include "logger/DumpLine.h"
#include "tools/virtual-meter/LoggerImageBuilder.h"

#include <QTemporaryDir>

using vmeter::LoggerImageBuilder;
using vmeter::LoggerRecordContent;

namespace {
const QLocale us(QLocale::English, QLocale::UnitedStates);
const QLocale de(QLocale::German, QLocale::Germany);
const QDateTime fixedNow(QDate(2026, 1, 5), QTime(10, 0));

LoggerRecordContent record(const QDateTime& start, int intervalSeconds, QList<int> tenths)
{
    LoggerRecordContent content;
    content.start = start;
    content.intervalSeconds = LoggerImageBuilder::bcd(intervalSeconds);
    content.samplesTenths = std::move(tenths);
    return content;
}

// Three sets, the first two started in the same minute; the third has two
// samples outside 20.0 .. 140.0 dB.
LoggerImageBuilder threeSets()
{
    LoggerImageBuilder builder;
    builder.append(record(QDateTime(QDate(2010, 4, 14), QTime(15, 30, 5)), 5, {600, 653}));
    builder.append(record(QDateTime(QDate(2010, 4, 14), QTime(15, 30, 40)), 2, {700}));
    builder.append(record(QDateTime(QDate(2010, 4, 15), QTime(8, 0)), 10, {1401, 150, 655}));
    return builder;
}

qint32 memoryEndOf(const QByteArray& image)
{
    return quint8(image.at(0x0C)) * 256 + quint8(image.at(0x0D));
}

QStringList fileNames(const QList<DumpFile::WrittenDump>& dumps)
{
    QStringList names;
    for (const DumpFile::WrittenDump& dump : dumps)
        names << QFileInfo(dump.path).fileName();
    return names;
}
} // namespace

using FileTexts = QMap<QString, QByteArray>;

class TestAllDumps : public QObject
{
    Q_OBJECT

private slots:
    void everySetInItsOwnFile_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<FileTexts>("texts");
        QTest::newRow("en_US") << us
                               << FileTexts{
                                      {"201004141530.CSV", "4/14/2010, 15:30:05.000,60.0\r\n"
                                                           "4/14/2010, 15:30:10.000,65.3\r\n"},
                                      {"201004141530-2.CSV", "4/14/2010, 15:30:40.000,70.0\r\n"},
                                      {"201004150800.CSV", "4/15/2010, 08:00:00.000,50.0\r\n"
                                                           "4/15/2010, 08:00:10.000,50.0\r\n"
                                                           "4/15/2010, 08:00:20.000,65.5\r\n"}};
        // The field separator stays a comma beside the comma decimal.
        QTest::newRow("de_DE") << de
                               << FileTexts{
                                      {"201004141530.CSV", "14.04.2010, 15:30:05.000,60,0\r\n"
                                                           "14.04.2010, 15:30:10.000,65,3\r\n"},
                                      {"201004141530-2.CSV", "14.04.2010, 15:30:40.000,70,0\r\n"},
                                      {"201004150800.CSV", "15.04.2010, 08:00:00.000,50,0\r\n"
                                                           "15.04.2010, 08:00:10.000,50,0\r\n"
                                                           "15.04.2010, 08:00:20.000,65,5\r\n"}};
    }

    void everySetInItsOwnFile()
    {
        QFETCH(QLocale, locale);
        QFETCH(FileTexts, texts);
        QTemporaryDir dir;
        const QByteArray image = threeSets().image();

        const DumpFile::AllSetsOutcome outcome =
            DumpFile::exportAllDataSets(image, memoryEndOf(image), dir.path(), fixedNow, locale);
        QVERIFY2(outcome.complete, qPrintable(outcome.error));
        QCOMPARE(outcome.result, LoadResult::Ok);
        QCOMPARE(outcome.setCount, 3);
        QCOMPARE(fileNames(outcome.dumps),
                 QStringList({"201004141530.CSV", "201004141530-2.CSV", "201004150800.CSV"}));
        QCOMPARE(outcome.dumps.at(0).samples, 2);
        QCOMPARE(outcome.dumps.at(2).samples, 3);
        for (auto it = texts.cbegin(); it != texts.cend(); ++it)
            QCOMPARE(fileBytes(dir.filePath(it.key())), it.value());

        // The image as a collection file: the memory up to its end address
        // and the rest of the last 256-byte page the collection file keeps.
        QCOMPARE(outcome.imagePath, dir.filePath("201004150800.rec"));
        const QByteArray rec = fileBytes(outcome.imagePath);
        QCOMPARE(rec, image.left(memoryEndOf(image) + 257));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 4);
    }

    // A dump holds the dump line of each sample, in any locale: across
    // midnight and the year, samples outside 20.0 .. 140.0 dB.
    void dumpIsTheDumpLines_data()
    {
        QTest::addColumn<QLocale>("locale");
        for (const char* name : {"en_US", "de_DE", "fr_FR", "C", "ja_JP", "ar_EG", "fa_IR", "hi_IN",
                                 "de_CH", "sv_SE", "bn_BD", "ru_RU", "zh_CN", "ko_KR"})
            QTest::newRow(name) << QLocale(QString::fromLatin1(name));
    }

    void dumpIsTheDumpLines()
    {
        QFETCH(QLocale, locale);
        QList<int> tenths;
        for (int i = 0; i < 300; ++i)
            tenths << 150 + i * 37 % 1300;
        LoggerImageBuilder builder;
        builder.append(record(QDateTime(QDate(2009, 12, 31), QTime(23, 58, 30)), 1, tenths));
        const QByteArray image = builder.image();
        QTemporaryDir dir;
        const DumpFile::AllSetsOutcome outcome =
            DumpFile::exportAllDataSets(image, memoryEndOf(image), dir.path(), fixedNow, locale);
        QVERIFY2(outcome.complete, qPrintable(outcome.error));
        const double start = DateTimeValue::fromDateTime(QDate(2009, 12, 31), QTime(23, 58, 30));
        QByteArray expected;
        for (int i = 0; i < tenths.size(); ++i) {
            const int t = tenths[i];
            const float level = t < 200 || t > 1400 ? 50.0f : float(t * 0.1);
            expected +=
                DumpLine::line(start + double(i) * (1 / 86400.0), level, locale).toUtf8() + "\r\n";
        }
        const QList<QByteArray> written = fileBytes(outcome.dumps.at(0).path).split('\n');
        const QList<QByteArray> lines = expected.split('\n');
        QCOMPARE(written.size(), lines.size());
        for (qsizetype i = 0; i < lines.size(); ++i)
            QCOMPARE(written.at(i), lines.at(i));
    }

    void existingFilesAreNeverReplaced()
    {
        QTemporaryDir dir;
        const QByteArray earlier = "an earlier dump of the same minute\r\n";
        QVERIFY(writeBytes(dir.filePath("201004141530.CSV"), earlier));
        QVERIFY(writeBytes(dir.filePath("201004150800.rec"), earlier));
        const QByteArray image = threeSets().image();

        const DumpFile::AllSetsOutcome outcome =
            DumpFile::exportAllDataSets(image, memoryEndOf(image), dir.path(), fixedNow, us);
        QVERIFY2(outcome.complete, qPrintable(outcome.error));
        QCOMPARE(fileNames(outcome.dumps),
                 QStringList({"201004141530-2.CSV", "201004141530-3.CSV", "201004150800.CSV"}));
        QCOMPARE(QFileInfo(outcome.imagePath).fileName(), QString("201004150800-2.rec"));
        QCOMPARE(fileBytes(dir.filePath("201004141530.CSV")), earlier);
        QCOMPARE(fileBytes(dir.filePath("201004150800.rec")), earlier);
        QCOMPARE(fileBytes(dir.filePath("201004141530-2.CSV")),
                 QByteArray("4/14/2010, 15:30:05.000,60.0\r\n4/14/2010, 15:30:10.000,65.3\r\n"));
    }

    void unusedName_data()
    {
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QStringList>("taken");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        QTest::newRow("free") << QStringList{} << QStringList{} << "201004141530.CSV"
                              << "201004141530.CSV";
        QTest::newRow("on disk") << QStringList{"201004141530.CSV"} << QStringList{}
                                 << "201004141530.CSV"
                                 << "201004141530-2.CSV";
        QTest::newRow("-2 on disk too") << QStringList{"201004141530.CSV", "201004141530-2.CSV"}
                                        << QStringList{} << "201004141530.CSV"
                                        << "201004141530-3.CSV";
        QTest::newRow("taken by this export")
            << QStringList{} << QStringList{"201004141530.CSV"} << "201004141530.CSV"
            << "201004141530-2.CSV";
        QTest::newRow("other case is another name")
            << QStringList{"201004141530.csv"} << QStringList{} << "201004141530.CSV"
            << "201004141530.CSV";
    }

    void unusedName()
    {
        QFETCH(QStringList, existing);
        QFETCH(QStringList, taken);
        QFETCH(QString, name);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        for (const QString& file : existing)
            QVERIFY(writeBytes(dir.filePath(file), "x"));
        QCOMPARE(DumpFile::unusedName(dir.path(), name, taken), expected);
    }

    void headerPassFailureWritesNothing_data()
    {
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<LoadResult>("result");
        QTest::addColumn<DecodeErrorPosition>("errorPosition");
        QTest::newRow("no data sets")
            << LoggerImageBuilder().image() << LoadResult::NoData << DecodeErrorPosition{};
        const LoggerImageBuilder builder = threeSets();
        QByteArray damaged = builder.image();
        const int third = builder.recordOffsets().at(2);
        damaged[third + 1] = char(0x00);
        QTest::newRow("third set damaged")
            << damaged << LoadResult::DataError << DecodeErrorPosition{2, third - 1};
        QByteArray tooMany = builder.image();
        LoggerImageBuilder::writeControlPage(tooMany, 4001, builder.endAddress());
        QTest::newRow("4001 data sets")
            << tooMany << LoadResult::MemoryError << DecodeErrorPosition{};
    }

    void headerPassFailureWritesNothing()
    {
        QFETCH(QByteArray, image);
        QFETCH(LoadResult, result);
        QFETCH(DecodeErrorPosition, errorPosition);
        QTemporaryDir dir;
        const DumpFile::AllSetsOutcome outcome =
            DumpFile::exportAllDataSets(image, memoryEndOf(image), dir.path(), fixedNow, us);
        QCOMPARE(outcome.result, result);
        QVERIFY(!outcome.complete);
        QVERIFY(outcome.dumps.isEmpty());
        QVERIFY(QDir(dir.path()).isEmpty());
        if (result == LoadResult::DataError)
            QCOMPARE(outcome.errorPosition, errorPosition);
    }

    void readOnlyDirectoryIsNotComplete()
    {
        ReadOnlyDirectory dir;
        if (!dir.isReadOnly())
            QSKIP("no way to make a directory read-only here");
        const QByteArray image = threeSets().image();
        const DumpFile::AllSetsOutcome outcome =
            DumpFile::exportAllDataSets(image, memoryEndOf(image), dir.path(), fixedNow, us);
        QCOMPARE(outcome.result, LoadResult::Ok);
        QVERIFY(!outcome.complete);
        QVERIFY(outcome.dumps.isEmpty());
        QVERIFY(outcome.imagePath.isEmpty());
        QVERIFY2(outcome.error.startsWith("cannot write 201004141530.CSV: "),
                 qPrintable(outcome.error));
        QVERIFY(dir.isEmpty());
    }
};

AUDIMARK_TEST_MAIN_CORE(TestAllDumps)
#include "tst_alldumps.moc"
