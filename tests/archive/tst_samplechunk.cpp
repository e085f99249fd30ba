#include "archive/SampleChunk.h"
#include "common/TestMain.h"
#include "data/SampleEncoding.h"

#include <bit>
#include <cmath>

namespace {
bool sameBits(const std::vector<double>& a, const std::vector<double>& b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](double p, double q) {
               return std::bit_cast<quint64>(p) == std::bit_cast<quint64>(q);
           });
}
bool sameBits(const std::vector<float>& a, const std::vector<float>& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](float p, float q) {
               return std::bit_cast<quint32>(p) == std::bit_cast<quint32>(q);
           });
}
} // namespace

class TestSampleChunk : public QObject
{
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
    void damagedBlobIsRefused();
};

void TestSampleChunk::roundTrip_data()
{
    QTest::addColumn<std::vector<double>>("x");
    QTest::addColumn<std::vector<float>>("y");
    QTest::addColumn<qint64>("firstIndex");
    QTest::addColumn<double>("origin");
    QTest::addColumn<qint64>("intervalMs");
    QTest::addColumn<int>("maxBytes");

    const double start = 46000.5; // a logger set's start
    std::vector<double> x;
    std::vector<float> y;
    for (int i = 0; i < 4096; ++i) {
        x.push_back(SampleEncoding::sampleTime(start, 2, 8192 + i));
        y.push_back(SampleEncoding::decodeSampleValue(quint8(3), quint8(i % 200)));
    }
    // The grid's origin is point 0 of the series; this chunk starts at 8192.
    QTest::newRow("logger grid: no times stored")
        << x << y << qint64(8192) << start << qint64(2000) << 4096 + 64;

    std::vector<double> rx;
    std::vector<float> ry;
    qint64 ms = 46000LL * 86400000 + 123;
    for (int i = 0; i < 3000; ++i) {
        ms += 1000 + (i % 7) - 3; // a clock that wanders a little
        rx.push_back(SampleChunk::daysFromMs(ms));
        ry.push_back(float(600 + (i * 37) % 90) / 10.0f);
    }
    QTest::newRow("real-time clock times")
        << rx << ry << qint64(0) << 46000.0 << qint64(1000) << 3000 * 3;

    const std::vector<double> odd{46000.1234567891, 0.0, std::nan(""), 46000.2, 46000.2};
    const std::vector<float> oddY{85.27f, std::nanf(""), 140.0f, -3.5f, 1e30f};
    QTest::newRow("values outside the steps kept whole")
        << odd << oddY << qint64(0) << 0.0 << qint64(0) << 80;
    QTest::newRow("empty") << std::vector<double>() << std::vector<float>() << qint64(0) << 0.0
                           << qint64(1000) << 24;
}

void TestSampleChunk::roundTrip()
{
    QFETCH(std::vector<double>, x);
    QFETCH(std::vector<float>, y);
    QFETCH(qint64, firstIndex);
    QFETCH(double, origin);
    QFETCH(qint64, intervalMs);
    QFETCH(int, maxBytes);

    const QByteArray blob = SampleChunk::encode(x, y, firstIndex, {origin, intervalMs});
    QVERIFY2(blob.size() <= maxBytes, qPrintable(QString::number(blob.size())));
    std::vector<double> dx{1.0};
    std::vector<float> dy{2.0f};
    QVERIFY(SampleChunk::decode(blob, firstIndex, qsizetype(x.size()), dx, dy));
    x.insert(x.begin(), 1.0);
    y.insert(y.begin(), 2.0f);
    QVERIFY(sameBits(dx, x));
    QVERIFY(sameBits(dy, y));
}

void TestSampleChunk::damagedBlobIsRefused()
{
    std::vector<double> x{46000.0, 46000.1};
    std::vector<float> y{60.0f, 61.0f};
    const QByteArray blob = SampleChunk::encode(x, y, 0, {46000.0, 1000});
    std::vector<double> dx;
    std::vector<float> dy;
    QVERIFY(!SampleChunk::decode(blob, 0, 3, dx, dy));
    QVERIFY(!SampleChunk::decode(blob.left(blob.size() - 1), 0, 2, dx, dy));
    QVERIFY(!SampleChunk::decode(QByteArray("\x07", 1) + blob.mid(1), 0, 2, dx, dy));
    QVERIFY(!SampleChunk::decode(blob + QByteArray(1, '\0'), 0, 2, dx, dy));
    QVERIFY(dx.empty() && dy.empty());
}

AUDIMARK_TEST_MAIN_CORE(TestSampleChunk)
#include "tst_samplechunk.moc"
