// The line settings as they land in a termios record (what a real UART
// driver gets; a pty would hide the data bits and parity enable).

#include "common/TestMain.h"
#include "serial/TermiosMapping.h"

Q_DECLARE_METATYPE(TBaudRate)
Q_DECLARE_METATYPE(TDataBits)
Q_DECLARE_METATYPE(TParity)
Q_DECLARE_METATYPE(TStopBits)
Q_DECLARE_METATYPE(TXOnXOffControl)

namespace {

// A tty as the kernel hands it out before anyone configured it.
termios freshTty()
{
    termios tio{};
    tio.c_iflag = ICRNL | IXON;
    tio.c_oflag = OPOST | ONLCR;
    tio.c_cflag = CS8 | CREAD | HUPCL;
    tio.c_lflag = ISIG | ICANON | ECHO | ECHOE | IEXTEN;
    tio.c_cc[VMIN] = 1;
    cfsetispeed(&tio, B38400);
    cfsetospeed(&tio, B38400);
    return tio;
}

} // namespace

class TestTermiosMapping : public QObject
{
    Q_OBJECT

private slots:
    void frameFormat_data();
    void frameFormat();
    void defaultsLeaveTheRecordAlone();
    void alwaysRaw();
    void softwareFlowControl_data();
    void softwareFlowControl();
    void unusualRatesGoThroughTheArbitrarySpeedPath_data();
    void unusualRatesGoThroughTheArbitrarySpeedPath();
    void impossibleSettingsAreRejected();
};

void TestTermiosMapping::frameFormat_data()
{
    QTest::addColumn<TBaudRate>("baudRate");
    QTest::addColumn<TDataBits>("dataBits");
    QTest::addColumn<TParity>("parity");
    QTest::addColumn<TStopBits>("stopBits");
    QTest::addColumn<int>("speed");
    QTest::addColumn<int>("cflagBits");

    QTest::newRow("9600 8N1") << br9600 << db8 << paNone << sb1 << int(B9600) << int(CS8);
    QTest::newRow("19200 7E2") << br19200 << db7 << paEven << sb2 << int(B19200)
                               << int(CS7 | PARENB | CSTOPB);
    QTest::newRow("4800 7O1") << br4800 << db7 << paOdd << sb1 << int(B4800)
                              << int(CS7 | PARENB | PARODD);
    QTest::newRow("115200 6 mark 1")
        << br115200 << db6 << paMark << sb1 << int(B115200) << int(CS6 | PARENB | PARODD | CMSPAR);
    QTest::newRow("1200 5 space 1.5")
        << br1200 << db5 << paSpace << sb1_5 << int(B1200) << int(CS5 | PARENB | CMSPAR | CSTOPB);
}

void TestTermiosMapping::frameFormat()
{
    QFETCH(TBaudRate, baudRate);
    QFETCH(TDataBits, dataBits);
    QFETCH(TParity, parity);
    QFETCH(TStopBits, stopBits);
    QFETCH(int, speed);
    QFETCH(int, cflagBits);

    termios tio = freshTty();
    tio.c_cflag |= PARENB | PARODD | CSTOPB; // must all be overwritten
    SerialSettings settings;
    settings.baudRate = baudRate;
    settings.dataBits = dataBits;
    settings.parity = parity;
    settings.stopBits = stopBits;
    QCOMPARE(applyToTermios(tio, settings), 0);
    QCOMPARE(int(cfgetospeed(&tio)), speed);
    QCOMPARE(int(cfgetispeed(&tio)), speed);
    QCOMPARE(int(tio.c_cflag & (CSIZE | PARENB | PARODD | CMSPAR | CSTOPB)), cflagBits);
}

void TestTermiosMapping::defaultsLeaveTheRecordAlone()
{
    termios tio = freshTty();
    tio.c_cflag = (tio.c_cflag & ~CSIZE) | CS7 | PARENB | CSTOPB;
    cfsetospeed(&tio, B2400);
    cfsetispeed(&tio, B2400);
    QCOMPARE(applyToTermios(tio, SerialSettings{}), 0);
    QCOMPARE(cfgetospeed(&tio), speed_t(B2400));
    QCOMPARE(int(tio.c_cflag & (CSIZE | PARENB | PARODD | CSTOPB)), int(CS7 | PARENB | CSTOPB));
}

void TestTermiosMapping::alwaysRaw()
{
    termios tio = freshTty();
    QCOMPARE(applyToTermios(tio, SerialSettings{}), 0);
    QCOMPARE(int(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN)), 0);
    QCOMPARE(int(tio.c_oflag & OPOST), 0);
    QCOMPARE(int(tio.c_iflag & (ICRNL | IXON | IXOFF)), 0);
    QCOMPARE(int(tio.c_cflag & (CLOCAL | CREAD)), int(CLOCAL | CREAD));
    QCOMPARE(int(tio.c_cc[VMIN]), 0);
    QCOMPARE(int(tio.c_cc[VTIME]), 0);
}

void TestTermiosMapping::softwareFlowControl_data()
{
    QTest::addColumn<TXOnXOffControl>("mode");
    QTest::addColumn<int>("flags");
    QTest::newRow("default (binary line)") << xcDefault << 0;
    QTest::newRow("disabled") << xcDisable << 0;
    QTest::newRow("input") << xcInput << int(IXOFF);
    QTest::newRow("output") << xcOutput << int(IXON);
    QTest::newRow("both") << xcInputOutput << int(IXON | IXOFF);
}

void TestTermiosMapping::softwareFlowControl()
{
    QFETCH(TXOnXOffControl, mode);
    QFETCH(int, flags);
    termios tio = freshTty();
    SerialSettings settings;
    settings.xonXoff = mode;
    settings.xon = 0x21;
    settings.xoff = 0x23;
    QCOMPARE(applyToTermios(tio, settings), 0);
    QCOMPARE(int(tio.c_iflag & (IXON | IXOFF)), flags);
    QCOMPARE(int(tio.c_cc[VSTART]), 0x21);
    QCOMPARE(int(tio.c_cc[VSTOP]), 0x23);
}

void TestTermiosMapping::unusualRatesGoThroughTheArbitrarySpeedPath_data()
{
    QTest::addColumn<TBaudRate>("baudRate");
    QTest::addColumn<int>("customBaudRate");
    QTest::addColumn<int>("expected");
    QTest::newRow("br14400") << br14400 << 0 << 14400;
    QTest::newRow("br256000") << br256000 << 0 << 256000;
    QTest::newRow("custom 250000") << brCustom << 250000 << 250000;
    QTest::newRow("custom 9600 has a code") << brCustom << 9600 << 0;
}

void TestTermiosMapping::unusualRatesGoThroughTheArbitrarySpeedPath()
{
    QFETCH(TBaudRate, baudRate);
    QFETCH(int, customBaudRate);
    QFETCH(int, expected);
    termios tio = freshTty();
    SerialSettings settings;
    settings.baudRate = baudRate;
    settings.customBaudRate = customBaudRate;
    QCOMPARE(applyToTermios(tio, settings), expected);
}

void TestTermiosMapping::impossibleSettingsAreRejected()
{
    termios tio = freshTty();
    SerialSettings fourBits;
    fourBits.dataBits = db4;
    QVERIFY_THROWS_EXCEPTION(EComError, (void)applyToTermios(tio, fourBits));
    SerialSettings noRate;
    noRate.baudRate = brCustom;
    QVERIFY_THROWS_EXCEPTION(EComError, (void)applyToTermios(tio, noRate));
}

AUDIMARK_TEST_MAIN_CORE(TestTermiosMapping)
#include "tst_termiosmapping.moc"
