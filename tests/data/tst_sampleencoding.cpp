#include "common/TestMain.h"

#include "data/SampleEncoding.h"

class tst_SampleEncoding : public QObject
{
    Q_OBJECT

private slots:
    void decodeSampleValue_data();
    void decodeSampleValue();
    void normalizeIntervalSeconds_data();
    void normalizeIntervalSeconds();
    void sampleTimeAdvancesByInterval();
    void zeroIntervalKeepsStartTime();
    void weightingBit_data();
    void weightingBit();
};

void tst_SampleEncoding::decodeSampleValue_data()
{
    QTest::addColumn<int>("b0");
    QTest::addColumn<int>("b1");
    QTest::addColumn<float>("expected");

    QTest::newRow("100.0 dB") << 0x03 << 0xE8 << 100.0f;
    QTest::newRow("high nibble ignored") << 0xF3 << 0xE8 << 100.0f;
    QTest::newRow("19.9 below range") << 0x00 << 0xC7 << 50.0f;
    QTest::newRow("20.0 lowest kept") << 0x00 << 0xC8 << 20.0f;
    QTest::newRow("140.0 highest kept") << 0x05 << 0x78 << 140.0f;
    QTest::newRow("140.1 above range") << 0x05 << 0x79 << 50.0f;
    QTest::newRow("zero") << 0x00 << 0x00 << 50.0f;
    QTest::newRow("largest raw value") << 0x0F << 0xFF << 50.0f;
    QTest::newRow("65.3 dB") << 0x02 << 0x8D << 65.3f;
}

void tst_SampleEncoding::decodeSampleValue()
{
    QFETCH(int, b0);
    QFETCH(int, b1);
    QFETCH(float, expected);
    QCOMPARE(SampleEncoding::decodeSampleValue(quint8(b0), quint8(b1)), expected);
}

void tst_SampleEncoding::normalizeIntervalSeconds_data()
{
    QTest::addColumn<int>("seconds");
    QTest::addColumn<int>("expected");

    QTest::newRow("75 s replaced") << 75 << 2;
    QTest::newRow("61 s replaced") << 61 << 2;
    QTest::newRow("60 s kept") << 60 << 60;
    QTest::newRow("1 s kept") << 1 << 1;
    QTest::newRow("0 s kept") << 0 << 0;
    QTest::newRow("negative replaced") << -1 << 2;
}

void tst_SampleEncoding::normalizeIntervalSeconds()
{
    QFETCH(int, seconds);
    QFETCH(int, expected);
    QCOMPARE(SampleEncoding::normalizeIntervalSeconds(seconds), expected);
}

void tst_SampleEncoding::sampleTimeAdvancesByInterval()
{
    const double start = 46000.5;
    const double t = SampleEncoding::sampleTime(start, 2, 3);
    QCOMPARE(qRound((t - start) * 86400.0), 6);
    QCOMPARE(SampleEncoding::sampleTime(start, 2, 0), start);
}

void tst_SampleEncoding::zeroIntervalKeepsStartTime()
{
    QCOMPARE(SampleEncoding::sampleTime(46000.5, 0, 1000), 46000.5);
}

void tst_SampleEncoding::weightingBit_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("aWeighting");
    QTest::newRow("bit 3 set") << 0x08 << true;
    QTest::newRow("other bits only") << 0xF7 << false;
    QTest::newRow("all bits") << 0xFF << true;
    QTest::newRow("none") << 0x00 << false;
}

void tst_SampleEncoding::weightingBit()
{
    QFETCH(int, status);
    QFETCH(bool, aWeighting);
    QCOMPARE(SampleEncoding::isAWeighting(quint8(status)), aWeighting);
}

AUDIMARK_TEST_MAIN_CORE(tst_SampleEncoding)
#include "tst_sampleencoding.moc"
