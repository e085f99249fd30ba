#include "common/TestMain.h"

#include "data/DataSetCollection.h"

#include <vector>

namespace {

// Lays records out in a memory image the way the meter does, from byte 256 on,
// and collects the header columns a decoder would produce for them.
class ImageBuilder
{
public:
    ImageBuilder() : m_image(256, '\0') {}

    // Samples given as raw byte pairs (b0, b1).
    void addRecord(const std::vector<std::pair<quint8, quint8>>& samples,
                   double startTime = 46000.0, qint32 intervalSeconds = 1, quint8 status = 0x08)
    {
        const qint32 p = qint32(m_image.size());
        const qint32 n = qint32(samples.size());
        m_image.append(QByteArray("\xA5\x5A", 2));
        m_image.append(char(status));
        m_image.append(QByteArray(8, '\0')); // date, time and interval bytes: not read here
        m_image.append(char((n >> 16) & 0xFF));
        m_image.append(char((n >> 8) & 0xFF));
        m_image.append(char(n & 0xFF));
        for (const auto& [b0, b1] : samples) {
            m_image.append(char(b0));
            m_image.append(char(b1));
        }
        m_image.append(QByteArray("\x5A\xA5", 2));
        m_headers.append(DataSetHeader{startTime, intervalSeconds, n, status, p, p + 15 + 2 * n});
    }

    // A record of `count` samples of tenths first, first + 1, ...
    void addRamp(int count, int firstTenths, double startTime = 46000.0)
    {
        std::vector<std::pair<quint8, quint8>> samples;
        for (int i = 0; i < count; ++i) {
            const int t = firstTenths + i;
            samples.emplace_back(quint8(t >> 8), quint8(t & 0xFF));
        }
        addRecord(samples, startTime);
    }

    QByteArray& image() { return m_image; }
    const DataSetHeaderColumns& headers() const { return m_headers; }

private:
    QByteArray m_image;
    DataSetHeaderColumns m_headers;
};

std::pair<quint8, quint8> tenths(int t)
{
    return {quint8(t >> 8), quint8(t & 0xFF)};
}

// Checks the invariants every reader relies on.
void verifyInvariants(const DataSetCollection& c)
{
    QCOMPARE(c.maxIndex().size(), c.count());
    QCOMPARE(c.minIndex().size(), c.count());
    QCOMPARE(c.average().size(), c.count());
    QCOMPARE(c.sampleTimes().size(), c.sampleValues().size());
    QCOMPARE(qint64(c.sampleValues().size()), c.sampleOffset(c.count()));
    for (qsizetype k = 0; k < c.count(); ++k) {
        const qint32 n = c.headers().sampleCount().at(k);
        if (n > 0) {
            QVERIFY(c.maxIndex().at(k) >= 0 && c.maxIndex().at(k) < n);
            QVERIFY(c.minIndex().at(k) >= 0 && c.minIndex().at(k) < n);
        }
    }
}

} // namespace

class tst_DataSetCollection : public QObject
{
    Q_OBJECT

private slots:
    void startsEmpty();
    void replaceDecodesSamplesAndStatistics();
    void outOfRangeSamplesCountAsFifty();
    void extremeIndices_data();
    void extremeIndices();
    void zeroIntervalPutsAllSamplesAtStartTime();
    void intervalAboveSixtyIsStoredAsTwo();
    void secondReplaceLeavesNothingOfFirst();
    void sampleOffsetsFollowCounts();
    void emptySetHasZeroAverage();
    void recordRunningPastImageKeepsInvariants();
    void replaceHeadersKeepsSamplesAndStatistics();
    void replaceHeadersWithChangedSetsWithholdsTheirSamples();
    void benchmarkReplaceFullMemory();
};

void tst_DataSetCollection::startsEmpty()
{
    DataSetCollection c;
    QCOMPARE(c.count(), 0);
    QVERIFY(!c.dataSet(0).has_value());
    QVERIFY(c.valuesOf(0).empty());
    QCOMPARE(c.sampleOffset(3), 0);
    verifyInvariants(c);
}

void tst_DataSetCollection::replaceDecodesSamplesAndStatistics()
{
    ImageBuilder b;
    b.addRecord({tenths(600), tenths(800), tenths(700)}, 46000.25, 2, 0x08);
    DataSetCollection c;
    c.replace(b.headers(), b.image());

    QCOMPARE(c.count(), 1);
    QCOMPARE(c.sampleValues(), (QList<float>{60.0f, 80.0f, 70.0f}));
    QCOMPARE(c.sampleTimes().at(0), 46000.25);
    QCOMPARE(qRound((c.sampleTimes().at(2) - 46000.25) * 86400.0), 4);

    const auto set = c.dataSet(0);
    QVERIFY(set.has_value());
    QVERIFY(set->hasSamples);
    QVERIFY(set->isAWeighting());
    QCOMPARE(set->header.sampleCount, 3);
    QCOMPARE(set->header.recordOffset, 256);
    QCOMPARE(set->header.recordEnd, 256 + 15 + 6);
    QCOMPARE(set->maxIndex, 1);
    QCOMPARE(set->minIndex, 0);
    QCOMPARE(set->average, 70.0);
    verifyInvariants(c);
}

void tst_DataSetCollection::outOfRangeSamplesCountAsFifty()
{
    ImageBuilder b;
    // 19.9, 60.0, 140.1 are stored as 50.0, 60.0, 50.0.
    b.addRecord({tenths(199), tenths(600), tenths(1401)});
    DataSetCollection c;
    c.replace(b.headers(), b.image());

    QCOMPARE(c.sampleValues(), (QList<float>{50.0f, 60.0f, 50.0f}));
    QCOMPARE(c.maxIndex().at(0), 1);
    QCOMPARE(c.minIndex().at(0), 0);
    QCOMPARE(c.average().at(0), (50.0 + 60.0 + 50.0) / 3.0);
}

void tst_DataSetCollection::extremeIndices_data()
{
    QTest::addColumn<QList<int>>("levels");
    QTest::addColumn<int>("maxIndex");
    QTest::addColumn<int>("minIndex");

    QTest::newRow("all equal") << QList<int>{700, 700, 700, 700} << 0 << 0;
    QTest::newRow("highest twice") << QList<int>{600, 900, 650, 900} << 1 << 0;
    QTest::newRow("lowest twice") << QList<int>{800, 300, 900, 300} << 2 << 1;
    QTest::newRow("single sample") << QList<int>{555} << 0 << 0;
}

void tst_DataSetCollection::extremeIndices()
{
    QFETCH(QList<int>, levels);
    QFETCH(int, maxIndex);
    QFETCH(int, minIndex);

    std::vector<std::pair<quint8, quint8>> samples;
    for (int t : levels)
        samples.push_back(tenths(t));
    ImageBuilder b;
    b.addRecord(samples);
    DataSetCollection c;
    c.replace(b.headers(), b.image());

    QCOMPARE(c.dataSet(0)->maxIndex, maxIndex);
    QCOMPARE(c.dataSet(0)->minIndex, minIndex);
}

void tst_DataSetCollection::zeroIntervalPutsAllSamplesAtStartTime()
{
    ImageBuilder b;
    b.addRecord({tenths(600), tenths(610), tenths(620), tenths(630)}, 46001.5, 0);
    DataSetCollection c;
    c.replace(b.headers(), b.image());

    QCOMPARE(c.headers().intervalSeconds().at(0), 0);
    const auto times = c.timesOf(0);
    QCOMPARE(times.size(), size_t(4));
    for (double t : times)
        QCOMPARE(t, 46001.5);
}

void tst_DataSetCollection::intervalAboveSixtyIsStoredAsTwo()
{
    ImageBuilder b;
    b.addRecord({tenths(600), tenths(610)}, 46001.5, 75);
    DataSetCollection c;
    c.replace(b.headers(), b.image());

    QCOMPARE(c.headers().intervalSeconds().at(0), 2);
    QCOMPARE(qRound((c.sampleTimes().at(1) - 46001.5) * 86400.0), 2);
}

void tst_DataSetCollection::secondReplaceLeavesNothingOfFirst()
{
    ImageBuilder first;
    first.addRamp(10, 300, 46000.0);
    first.addRamp(20, 400, 46001.0);
    first.addRamp(30, 500, 46002.0);
    DataSetCollection c;
    c.replace(first.headers(), first.image());
    QCOMPARE(c.count(), 3);

    ImageBuilder second;
    second.addRecord({tenths(900), tenths(800)}, 46100.0);
    c.replace(second.headers(), second.image());

    QCOMPARE(c.count(), 1);
    QCOMPARE(c.headers().startTime(), QList<double>{46100.0});
    QCOMPARE(c.headers().sampleCount(), QList<qint32>{2});
    QCOMPARE(c.sampleValues(), (QList<float>{90.0f, 80.0f}));
    QCOMPARE(c.maxIndex(), QList<qint32>{0});
    QCOMPARE(c.minIndex(), QList<qint32>{1});
    QCOMPARE(c.average(), QList<double>{85.0});
    QVERIFY(!c.dataSet(1).has_value());
    verifyInvariants(c);
}

void tst_DataSetCollection::sampleOffsetsFollowCounts()
{
    ImageBuilder b;
    b.addRamp(120, 300);
    b.addRamp(5, 900);
    b.addRamp(7, 500);
    DataSetCollection c;
    c.replace(b.headers(), b.image());

    QCOMPARE(c.sampleOffset(0), 0);
    QCOMPARE(c.sampleOffset(1), 120);
    QCOMPARE(c.sampleOffset(2), 125);
    QCOMPARE(c.dataSet(1)->sampleOffset, 120);
    // Set 1 starts with its own first sample, 90.0 dB, at flat position 120.
    QCOMPARE(c.sampleValues().at(120), 90.0f);
    const auto values = c.valuesOf(1);
    QCOMPARE(values.size(), size_t(5));
    QCOMPARE(values.front(), 90.0f);
    QCOMPARE(values.back(), 90.4f);
    QCOMPARE(c.valuesOf(2).front(), 50.0f);
    verifyInvariants(c);
}

void tst_DataSetCollection::emptySetHasZeroAverage()
{
    ImageBuilder b;
    b.addRecord({});
    b.addRecord({tenths(650)});
    DataSetCollection c;
    c.replace(b.headers(), b.image());

    QCOMPARE(c.count(), 2);
    QCOMPARE(c.dataSet(0)->average, 0.0);
    QVERIFY(c.valuesOf(0).empty());
    QCOMPARE(c.sampleOffset(1), 0);
    QCOMPARE(c.valuesOf(1).front(), 65.0f);
    verifyInvariants(c);
}

void tst_DataSetCollection::recordRunningPastImageKeepsInvariants()
{
    ImageBuilder b;
    b.addRamp(4, 600);
    // A header that claims far more samples than the image holds.
    DataSetHeaderColumns headers;
    DataSetHeader h = b.headers().at(0);
    h.sampleCount = 1'000'000;
    h.recordEnd = h.recordOffset + 15 + 2 * h.sampleCount;
    headers.append(h);

    DataSetCollection c;
    c.replace(headers, b.image());

    // Only the 4 samples and the end marker pair lie inside the image: 5 pairs.
    const qint32 stored = c.headers().sampleCount().at(0);
    QCOMPARE(stored, 5);
    QCOMPARE(c.valuesOf(0).size(), size_t(stored));
    verifyInvariants(c);
}

void tst_DataSetCollection::replaceHeadersKeepsSamplesAndStatistics()
{
    ImageBuilder b;
    b.addRamp(3, 600);
    b.addRamp(2, 700);
    DataSetCollection c;
    c.replace(b.headers(), b.image());
    const QList<float> values = c.sampleValues();

    c.replaceHeaders(b.headers());

    QCOMPARE(c.sampleValues(), values);
    QCOMPARE(c.average().size(), 2);
    QVERIFY(c.hasSamples(0));
    QVERIFY(c.hasSamples(1));
}

void tst_DataSetCollection::replaceHeadersWithChangedSetsWithholdsTheirSamples()
{
    ImageBuilder b;
    b.addRamp(3, 600);
    b.addRamp(2, 700);
    DataSetCollection c;
    c.replace(b.headers(), b.image());

    // The dump of a newer download: set 0 unchanged, set 1 grew, set 2 is new.
    ImageBuilder newer;
    newer.addRamp(3, 600);
    newer.addRamp(9, 700);
    newer.addRamp(4, 800);
    c.replaceHeaders(newer.headers());

    QCOMPARE(c.count(), 3);
    QCOMPARE(c.headers().sampleCount(), (QList<qint32>{3, 9, 4}));
    // Sample arrays and statistics columns are left as the decode made them.
    QCOMPARE(c.sampleValues().size(), 5);
    QCOMPARE(c.average().size(), 2);
    QVERIFY(c.hasSamples(0));
    QCOMPARE(c.valuesOf(0).size(), size_t(3));
    QVERIFY(!c.hasSamples(1));
    QVERIFY(!c.hasSamples(2));
    QVERIFY(c.valuesOf(1).empty());
    QVERIFY(c.timesOf(2).empty());
    const auto set2 = c.dataSet(2);
    QVERIFY(set2.has_value());
    QVERIFY(!set2->hasSamples);
    QCOMPARE(set2->header.sampleCount, 4);
}

void tst_DataSetCollection::benchmarkReplaceFullMemory()
{
    // A full logger memory: 98 304 bytes, just under 49 152 samples, here in
    // 100 sets.
    ImageBuilder b;
    for (int k = 0; k < 100; ++k)
        b.addRamp(480, 300 + k, 46000.0 + k);
    QVERIFY(b.image().size() <= 98304);

    DataSetCollection c;
    QBENCHMARK
    {
        c.replace(b.headers(), b.image());
    }
    QCOMPARE(c.sampleValues().size(), 48000);
    QCOMPARE(c.sampleOffset(99), 99 * 480);
}

AUDIMARK_TEST_MAIN_CORE(tst_DataSetCollection)
#include "tst_datasetcollection.moc"
