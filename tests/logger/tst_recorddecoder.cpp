// Decoding of logger memory images, without a meter: the data set count,
// the record walk with its marker checks and scans, the header fields, the
// samples and statistics, the list rows and the image and dump files.

#include "common/FakeMeterClock.h"
#include "common/TestMain.h"
#include "logger/DataSetListRow.h"
#include "logger/DateTimeValue.h"
#include "logger/DumpLine.h"
#include "logger/ImageFile.h"
#include "logger/RecordDecoder.h"
#include "tools/virtual-meter/LoggerImageBuilder.h"

#include <QTemporaryDir>

using vmeter::LoggerImageBuilder;

namespace {
// A control page and records laid out by hand.
class Image
{
public:
    Image() : bytes(256, '\0') {}

    // A record at the end: header as given, samples as raw byte pairs.
    Image& record(const QByteArray& samples, QByteArray header = {})
    {
        if (header.isEmpty())
            header = QByteArray::fromHex("A55A08 100414 153005 0002");
        const int n = int(samples.size() / 2);
        bytes += header + QByteArray(1, char(n >> 16)) + char(n >> 8) + char(n) + samples;
        bytes += QByteArray::fromHex("5AA5");
        return *this;
    }
    // Count and end address in the control page; the end is the last byte.
    Image& close(int count = -1)
    {
        if (count < 0)
            count = sets;
        LoggerImageBuilder::writeControlPage(bytes, count, int(bytes.size()) - 1);
        return *this;
    }
    Image& add(const QByteArray& samples, const QByteArray& header = {})
    {
        ++sets;
        return record(samples, header);
    }
    [[nodiscard]] qint32 memoryEnd() const
    {
        return quint8(bytes.at(0x0C)) * 256 + quint8(bytes.at(0x0D));
    }

    QByteArray bytes;
    int sets = 0;
};

QByteArray samples(std::initializer_list<int> tenths)
{
    QByteArray out;
    for (int t : tenths)
        out += char(t >> 8) + QByteArray(1, char(t));
    return out;
}

const QDateTime fixedNow(QDate(2026, 1, 5), QTime(10, 0));

RecordWalk walk(const Image& image)
{
    return walkRecords(image.bytes, image.memoryEnd(), fixedNow);
}

LoadResult decode(const Image& image, DataSetCollection& collection, LoggerMemory& memory)
{
    memory.memoryImage() = image.bytes;
    memory.setMemoryEnd(image.memoryEnd());
    return decodeImage(memory, collection, fixedNow);
}
} // namespace

class TestRecordDecoder : public QObject
{
    Q_OBJECT

private slots:
    void setCount_data();
    void setCount();
    void threeSampleRecordAt256();
    void firstRecordWithWrongFirstByteAccepted();
    void countPastMemoryEndFromScan();
    void untrustedCountAtPageEnd();
    void damagedRecordPosition_data();
    void damagedRecordPosition();
    void walkOffTheImageIsDamaged();
    void intervals_data();
    void intervals();
    void sampleValues_data();
    void sampleValues();
    void firstMaximumAndMinimumWin();
    void secondDecodeLeavesNothingOfFirst();
    void failedDecodeKeepsCollection();
    void invalidDateTakesCurrentTime();
    void listRows_data();
    void listRows();
    void imageFiles();
    void dumpLines_data();
    void dumpLines();
    void dumpFileName();
};

void TestRecordDecoder::setCount_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("result");
    QTest::newRow("00 00 no data") << 0 << int(LoadResult::NoData);
    QTest::newRow("0F A0 accepted") << 4000 << int(LoadResult::Ok);
    QTest::newRow("0F A1 memory error") << 4001 << int(LoadResult::MemoryError);
}

void TestRecordDecoder::setCount()
{
    QFETCH(int, count);
    QFETCH(int, result);
    Image image;
    // Records without samples: 4000 of them fit below the 16-bit memory end.
    for (int i = 0; i < std::min(count, 4000); ++i)
        image.add({});
    image.close(count);
    const RecordWalk w = walk(image);
    QCOMPARE(int(w.result), result);
    QCOMPARE(w.headers.count(), result == int(LoadResult::Ok) ? count : 0);
}

void TestRecordDecoder::threeSampleRecordAt256()
{
    Image image;
    image.add(samples({600, 610, 620})).add(samples({700})).close();
    const RecordWalk w = walk(image);
    QCOMPARE(w.result, LoadResult::Ok);
    QCOMPARE(w.headers.recordOffset(), (QList<qint32>{256, 278}));
    QCOMPARE(w.headers.recordEnd(), (QList<qint32>{277, 295}));
    QCOMPARE(w.headers.sampleCount(), (QList<qint32>{3, 1}));
    QCOMPARE(image.bytes.mid(276, 2), QByteArray::fromHex("5AA5"));
}

void TestRecordDecoder::firstRecordWithWrongFirstByteAccepted()
{
    Image image;
    image.add(samples({600, 610}));
    image.bytes[256] = 0x00;
    image.bytes[image.bytes.size() - 1] = 0x00; // and a broken end marker
    image.close();
    QCOMPARE(walk(image).result, LoadResult::Ok);
}

void TestRecordDecoder::countPastMemoryEndFromScan()
{
    Image image;
    image.add(samples({600, 610, 620}));
    image.bytes[256 + 13] = char(200); // header claims 200 samples
    image.close();
    const RecordWalk w = walk(image);
    QCOMPARE(w.result, LoadResult::Ok);
    QCOMPARE(w.headers.sampleCount(), QList<qint32>{3});
    QCOMPARE(w.headers.recordEnd(), QList<qint32>{277});
}

void TestRecordDecoder::untrustedCountAtPageEnd()
{
    // The second record starts at 500, so its count begins at 511 = 255 mod 256.
    Image image;
    QByteArray first;
    for (int i = 0; i < (500 - 256 - 16) / 2; ++i)
        first += samples({600});
    image.add(first).add(samples({650, 660}));
    image.bytes[500 + 13] = 0x09; // a count the header must not be trusted for
    image.close();
    const RecordWalk w = walk(image);
    QCOMPARE(w.result, LoadResult::Ok);
    QCOMPARE(w.headers.recordOffset().at(1), 500);
    QCOMPARE(w.headers.sampleCount().at(1), 2);
}

void TestRecordDecoder::damagedRecordPosition_data()
{
    QTest::addColumn<int>("damagedSet");
    QTest::addColumn<int>("byteInRecord"); // from the end when negative
    QTest::newRow("start marker of set 1") << 1 << 0;
    QTest::newRow("second start byte of set 2") << 2 << 1;
    // A broken end marker of an earlier set would make its scan run on to
    // the next set's end marker; only the last one has none to find.
    QTest::newRow("end marker of set 2") << 2 << -1;
}

void TestRecordDecoder::damagedRecordPosition()
{
    QFETCH(int, damagedSet);
    QFETCH(int, byteInRecord);
    Image image;
    image.add(samples({600, 601, 602})).add(samples({700})).add(samples({800, 801})).close();
    const QList<int> offsets = LoggerImageBuilder::walkRecords(image.bytes);
    const QList<int> ends{277, 295, 315};
    const int at = byteInRecord >= 0 ? offsets.at(damagedSet) + byteInRecord
                                     : ends.at(damagedSet) + 1 + byteInRecord;
    image.bytes[at] = 0x00;
    DataSetCollection collection;
    LoggerMemory memory;
    QCOMPARE(decode(image, collection, memory), LoadResult::DataError);
    QCOMPARE(memory.errorPosition(), (DecodeErrorPosition{damagedSet, offsets.at(damagedSet) - 1}));
    QVERIFY(collection.isEmpty());
}

void TestRecordDecoder::walkOffTheImageIsDamaged()
{
    // Two sets claimed, one present: the second header lies past the image.
    Image image;
    image.add(samples({600}));
    image.close(2);
    const RecordWalk w = walk(image);
    QCOMPARE(w.result, LoadResult::DataError);
    QCOMPARE(w.errorPosition, (DecodeErrorPosition{1, 273}));
}

void TestRecordDecoder::intervals_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("seconds");
    QTest::newRow("01 00 -> 60") << QByteArray::fromHex("0100") << 60;
    QTest::newRow("01 30 -> 90 -> 2") << QByteArray::fromHex("0130") << 2;
    QTest::newRow("00 00 -> 0") << QByteArray::fromHex("0000") << 0;
    QTest::newRow("12 00 -> 2 min -> 2") << QByteArray::fromHex("1200") << 2;
    QTest::newRow("12 xx -> 2") << QByteArray::fromHex("1205") << 2;
    QTest::newRow("00 59 -> 59") << QByteArray::fromHex("0059") << 59;
}

void TestRecordDecoder::intervals()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, seconds);
    Image image;
    image.add(samples({600, 610, 620}), QByteArray::fromHex("A55A08 100414 153005") + bytes)
        .close();
    DataSetCollection collection;
    LoggerMemory memory;
    QCOMPARE(decode(image, collection, memory), LoadResult::Ok);
    QCOMPARE(collection.headers().intervalSeconds().at(0), seconds);
    const auto times = collection.timesOf(0);
    QCOMPARE(times.size(), size_t(3));
    const double start = DateTimeValue::fromDateTime(QDate(2010, 4, 14), QTime(15, 30, 5));
    QCOMPARE(times[0], start);
    QCOMPARE(qRound64((times[2] - times[0]) * 86400.0), qint64(2 * seconds));
}

void TestRecordDecoder::sampleValues_data()
{
    QTest::addColumn<QByteArray>("pair");
    QTest::addColumn<float>("value");
    QTest::newRow("03 E8 -> 100.0") << QByteArray::fromHex("03E8") << 100.0f;
    QTest::newRow("F3 E8 -> 100.0") << QByteArray::fromHex("F3E8") << 100.0f;
    QTest::newRow("00 C7 -> 50.0") << QByteArray::fromHex("00C7") << 50.0f;
    QTest::newRow("00 C8 kept") << QByteArray::fromHex("00C8") << 20.0f;
    QTest::newRow("05 78 kept") << QByteArray::fromHex("0578") << 140.0f;
    QTest::newRow("05 79 -> 50.0") << QByteArray::fromHex("0579") << 50.0f;
}

void TestRecordDecoder::sampleValues()
{
    QFETCH(QByteArray, pair);
    QFETCH(float, value);
    Image image;
    image.add(samples({600}) + pair).close();
    DataSetCollection collection;
    LoggerMemory memory;
    QCOMPARE(decode(image, collection, memory), LoadResult::Ok);
    QCOMPARE(collection.valuesOf(0)[1], value);
    QCOMPARE(collection.average().at(0), (60.0 + double(value)) / 2.0);
}

void TestRecordDecoder::firstMaximumAndMinimumWin()
{
    Image image;
    image.add(samples({600, 900, 300, 900, 300, 700})).close();
    DataSetCollection collection;
    LoggerMemory memory;
    QCOMPARE(decode(image, collection, memory), LoadResult::Ok);
    QCOMPARE(collection.maxIndex().at(0), 1);
    QCOMPARE(collection.minIndex().at(0), 2);
}

void TestRecordDecoder::secondDecodeLeavesNothingOfFirst()
{
    Image first;
    first.add(samples({600, 610})).add(samples({900, 910, 920})).add(samples({500})).close();
    Image second;
    second.add(samples({700, 300, 800})).close();
    DataSetCollection collection;
    LoggerMemory memory;
    QCOMPARE(decode(first, collection, memory), LoadResult::Ok);
    QCOMPARE(decode(second, collection, memory), LoadResult::Ok);
    QCOMPARE(collection.count(), 1);
    QCOMPARE(collection.sampleValues(), (QList<float>{70.0f, 30.0f, 80.0f}));
    QCOMPARE(collection.sampleTimes().size(), 3);
    QCOMPARE(collection.maxIndex(), QList<qint32>{2});
    QCOMPARE(collection.minIndex(), QList<qint32>{1});
    QCOMPARE(collection.average(), QList<double>{60.0});
    QCOMPARE(collection.headers().recordEnd(), QList<qint32>{277});
}

void TestRecordDecoder::failedDecodeKeepsCollection()
{
    Image good;
    good.add(samples({600, 610})).close();
    Image bad;
    bad.add(samples({600})).add(samples({700})).close();
    bad.bytes[274] = 0x00;
    DataSetCollection collection;
    LoggerMemory memory;
    QCOMPARE(decode(good, collection, memory), LoadResult::Ok);
    QCOMPARE(decode(bad, collection, memory), LoadResult::DataError);
    QCOMPARE(collection.sampleValues(), (QList<float>{60.0f, 61.0f}));
    Image none;
    none.close(0);
    QCOMPARE(decode(none, collection, memory), LoadResult::NoData);
    QCOMPARE(collection.count(), 1);
}

void TestRecordDecoder::invalidDateTakesCurrentTime()
{
    FakeMeterClock clock;
    Image image;
    image.add(samples({600}), QByteArray::fromHex("A55A08 101399 153005 0002"))
        .add(samples({600}), QByteArray::fromHex("A55A08 10043A 153005 0002"))
        .add(samples({600}), QByteArray::fromHex("A55A08 100414 256005 0002"))
        .close();
    const RecordWalk w = walkRecords(image.bytes, image.memoryEnd(), clock.currentDateTime());
    QCOMPARE(w.result, LoadResult::Ok);
    const double now = DateTimeValue::fromDateTime(clock.currentDateTime());
    QCOMPARE(w.headers.startTime(), (QList<double>{now, now, now}));
}

void TestRecordDecoder::listRows_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("date");
    QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates) << "4/14/10";
    QTest::newRow("de_DE") << QLocale(QLocale::German, QLocale::Germany) << "14.04.10";
}

void TestRecordDecoder::listRows()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, date);
    Image image;
    image.add(samples({600, 610}), QByteArray::fromHex("A55A08 100414 090507 0100"))
        .add(samples({600}), QByteArray::fromHex("A55A00 091231 235959 0009"))
        .close();
    DataSetCollection collection;
    LoggerMemory memory;
    QCOMPARE(decode(image, collection, memory), LoadResult::Ok);
    const QList<DataSetListRow> rows = dataSetListRows(collection, locale);
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows.at(0), (DataSetListRow{"1", date, "09:05:07", "01:00", "2", "A"}));
    QCOMPARE(rows.at(1).number, QStringLiteral("2"));
    QCOMPARE(rows.at(1).time, QStringLiteral("23:59:59"));
    QCOMPARE(rows.at(1).interval, QStringLiteral("00:09"));
    QCOMPARE(rows.at(1).weighting, QStringLiteral("C"));
    QCOMPARE(intervalText(0), QStringLiteral("00:00"));
}

void TestRecordDecoder::imageFiles()
{
    QTemporaryDir dir;
    Image image;
    image.add(samples({600, 610})).close();
    QByteArray downloaded = image.bytes + QByteArray(1000, char(0x77));
    QCOMPARE(ImageFile::writeTemp(dir.path(), downloaded), ImageFile::Outcome::Written);
    QFile temp(dir.filePath("temp/DataSetsTemp.tmp"));
    QVERIFY(temp.open(QIODevice::ReadOnly));
    QCOMPARE(temp.readAll(), downloaded.left(image.memoryEnd() + 257));
    // Shorter than memory end + 257: the whole image.
    QVERIFY(ImageFile::write(dir.filePath("short.rec"), image.bytes));
    QFile shortFile(dir.filePath("short.rec"));
    QVERIFY(shortFile.open(QIODevice::ReadOnly));
    QCOMPARE(shortFile.readAll(), image.bytes);
}

void TestRecordDecoder::dumpLines_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<int>("ms");
    QTest::addColumn<QString>("line");
    const QLocale de(QLocale::German, QLocale::Germany);
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    QTest::newRow("de 0 ms") << de << 0 << "14.04.2010, 09:05:07.000,65,3";
    QTest::newRow("de 5 ms") << de << 5 << "14.04.2010, 09:05:07.005,65,3";
    QTest::newRow("us 500 ms") << us << 500 << "4/14/2010, 09:05:07.500,65.3";
}

void TestRecordDecoder::dumpLines()
{
    QFETCH(QLocale, locale);
    QFETCH(int, ms);
    QFETCH(QString, line);
    const double t = DateTimeValue::fromDateTime(QDate(2010, 4, 14), QTime(9, 5, 7, ms));
    QCOMPARE(DumpLine::line(t, 65.27f, locale), line);
}

void TestRecordDecoder::dumpFileName()
{
    QCOMPARE(DumpLine::fileName(QByteArray::fromHex("1004141530")),
             QStringLiteral("201004141530.CSV"));
    QCOMPARE(DumpLine::fileName(QByteArray::fromHex("0912312359")),
             QStringLiteral("200912312359.CSV"));
}

AUDIMARK_TEST_MAIN_CORE(TestRecordDecoder)
#include "tst_recorddecoder.moc"
