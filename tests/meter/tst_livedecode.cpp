#include "common/TestMain.h"

#include "meter/LiveFrame.h"
#include "meter/LiveFrameCutter.h"

namespace {
QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

const char* const SampleFrame = "02 18 E1 02 BC 02 BC 00 00 00 00 09 41 07 03";

MeterReading decode(const QByteArray& frame)
{
    return decodeFrame(reinterpret_cast<const std::uint8_t*>(frame.constData()));
}
} // namespace

class TestLiveDecode : public QObject
{
    Q_OBJECT

private slots:
    void sampleFrame()
    {
        const MeterReading r = decode(hex(SampleFrame));
        QCOMPARE(r.recording, false);
        QCOMPARE(r.maxMinMode, false);
        QCOMPARE(r.weightingA, true);
        QCOMPARE(r.fast, true);
        QCOMPARE(r.batteryLow, false);
        QCOMPARE(r.under, false);
        QCOMPARE(r.over, false);
        QCOMPARE(int(r.range), 1);
        QCOMPARE(rangeLowDb(r.range), 50);
        QCOMPARE(rangeHighDb(r.range), 100);
        QCOMPARE(r.memoryFull, false);
        QCOMPARE(r.level, 70.0f);
        QCOMPARE(r.displayTenths, 700);
        QCOMPARE(bcdText(r.clock[0]) + ':' + bcdText(r.clock[1]) + ':' + bcdText(r.clock[2]),
                 QStringLiteral("09:41:07"));
    }

    void flagBits_data()
    {
        QTest::addColumn<int>("flagsA");
        QTest::addColumn<int>("flagsB");
        QTest::addColumn<QString>("expected");
        QTest::newRow("recording") << 0x01 << 0xE0 << "rec";
        QTest::newRow("weighting C, slow") << 0x00 << 0xE0 << "";
        QTest::newRow("battery") << 0x20 << 0xE0 << "bat";
        QTest::newRow("under") << 0x40 << 0xE0 << "under";
        QTest::newRow("over") << 0x80 << 0xE0 << "over";
        QTest::newRow("bit 1 not interpreted") << 0x02 << 0xE0 << "";
        QTest::newRow("full") << 0x00 << 0xF0 << "full";
        QTest::newRow("range 3") << 0x00 << 0xE3 << "range3";
    }

    void flagBits()
    {
        QFETCH(int, flagsA);
        QFETCH(int, flagsB);
        QFETCH(QString, expected);
        QByteArray frame = hex(SampleFrame);
        frame[1] = char(flagsA);
        frame[2] = char(flagsB);
        const MeterReading r = decode(frame);
        QStringList seen;
        if (r.recording)
            seen << "rec";
        if (r.weightingA)
            seen << "A";
        if (r.fast)
            seen << "fast";
        if (r.batteryLow)
            seen << "bat";
        if (r.under)
            seen << "under";
        if (r.over)
            seen << "over";
        if (r.memoryFull)
            seen << "full";
        if (r.range)
            seen << QStringLiteral("range%1").arg(r.range);
        QCOMPARE(seen.join(' '), expected);
        QCOMPARE(int(r.flagsA), flagsA);
        QCOMPARE(int(r.flagsB), flagsB);
    }

    void displaySelection_data()
    {
        QTest::addColumn<int>("flagsA");
        QTest::addColumn<int>("flagsB");
        QTest::addColumn<int>("displayTenths");
        // display 1111, max 2222, min 3333
        QTest::newRow("MAX selected") << 0x0C << 0xE4 << 2222;
        QTest::newRow("MIN selected") << 0x0C << 0xE8 << 3333;
        QTest::newRow("alternating shows display") << 0x0C << 0xEC << 1111;
        QTest::newRow("no selection shows display") << 0x0C << 0xE0 << 1111;
        QTest::newRow("MAX selection outside MAX/MIN mode") << 0x00 << 0xE4 << 1111;
        QTest::newRow("MIN selection outside MAX/MIN mode") << 0x08 << 0xE8 << 1111;
    }

    void displaySelection()
    {
        QFETCH(int, flagsA);
        QFETCH(int, flagsB);
        QFETCH(int, displayTenths);
        QByteArray frame = hex("02 00 E0 02 BC 04 57 08 AE 0D 05 00 00 00 03");
        frame[1] = char(flagsA);
        frame[2] = char(flagsB);
        QCOMPARE(decode(frame).displayTenths, displayTenths);
    }

    void levelScaling_data()
    {
        QTest::addColumn<QByteArray>("levelBytes");
        QTest::addColumn<float>("level");
        QTest::newRow("03 E8 is 100.0 dB") << hex("03 E8") << 100.0f;
        QTest::newRow("02 8F is 65.5 dB") << hex("02 8F") << 65.5f;
        QTest::newRow("zero") << hex("00 00") << 0.0f;
        QTest::newRow("FF FF") << hex("FF FF") << 6553.5f;
    }

    void levelScaling()
    {
        QFETCH(QByteArray, levelBytes);
        QFETCH(float, level);
        QByteArray frame = hex(SampleFrame);
        frame.replace(3, 2, levelBytes);
        QCOMPARE(decode(frame).level, level);
    }

    void cutting_data()
    {
        QTest::addColumn<QByteArray>("buffer");
        QTest::addColumn<bool>("frameAtHead");
        QTest::addColumn<int>("remaining");
        const QByteArray frame = hex(SampleFrame);
        QTest::newRow("exact frame") << frame << true << 15;
        QTest::newRow("garbage before the sync") << hex("55 AA") + frame << true << 15;
        QTest::newRow("short buffer waits") << frame.left(14) << false << 14;
        QTest::newRow("short garbage kept until more arrives") << hex("55") + frame.left(13) << false << 14;
        QTest::newRow("15 bytes without sync emptied") << QByteArray(15, '\x55') << false << 0;
        QTest::newRow("40 bytes without sync emptied") << QByteArray(40, '\x00') << false << 0;
        QByteArray badEnd = frame;
        badEnd[14] = '\x04';
        QTest::newRow("wrong end byte costs one byte") << badEnd << false << 14;
        QTest::newRow("wrong end byte then a frame") << badEnd + frame << true << 15;
        QByteArray badMarker = frame;
        badMarker[2] = '\x1F';
        QTest::newRow("flagsB 1F rejected") << badMarker << false << 14;
        // A sync byte inside a broken frame: the search restarts there.
        QByteArray syncInside = hex("02 11") + frame;
        QTest::newRow("frame behind a false start") << syncInside << true << 15;
    }

    void cutting()
    {
        QFETCH(QByteArray, buffer);
        QFETCH(bool, frameAtHead);
        QFETCH(int, remaining);
        QCOMPARE(LiveFrameCutter::seekFrame(buffer), frameAtHead);
        QCOMPARE(int(buffer.size()), remaining);
        if (frameAtHead)
            QCOMPARE(buffer.left(15), hex(SampleFrame));
    }
};

AUDIMARK_TEST_MAIN_CORE(TestLiveDecode)
#include "tst_livedecode.moc"
