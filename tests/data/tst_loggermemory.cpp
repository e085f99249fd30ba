#include "common/TestMain.h"

#include "data/LoggerMemory.h"

class tst_LoggerMemory : public QObject
{
    Q_OBJECT

private slots:
    void readsControlPage_data();
    void readsControlPage();
    void shortImageReadsAsZero();
    void byteAtOutsideImageIsNothing();
    void clearImageKeepsMemoryEndAndErrorPosition();
};

void tst_LoggerMemory::readsControlPage_data()
{
    QTest::addColumn<QByteArray>("control");
    QTest::addColumn<int>("dataSets");
    QTest::addColumn<int>("memoryEnd");

    // Bytes 0x09..0x0D: set count (2 bytes), end address (3 bytes).
    QTest::newRow("4000 sets") << QByteArray::fromHex("0FA0000123") << 4000 << 0x0123;
    QTest::newRow("no sets") << QByteArray::fromHex("0000000000") << 0 << 0;
    QTest::newRow("end address high byte unused")
        << QByteArray::fromHex("0001FF8000") << 1 << 0x8000;
    QTest::newRow("largest values") << QByteArray::fromHex("FFFFFFFFFF") << 0xFFFF << 0xFFFF;
}

void tst_LoggerMemory::readsControlPage()
{
    QFETCH(QByteArray, control);
    QFETCH(int, dataSets);
    QFETCH(int, memoryEnd);

    LoggerMemory memory;
    memory.memoryImage() = QByteArray(9, '\x77') + control + QByteArray(300, '\x11');
    QCOMPARE(memory.storedDataSetCount(), dataSets);
    QCOMPARE(memory.memoryEndFromImage(), memoryEnd);
}

void tst_LoggerMemory::shortImageReadsAsZero()
{
    LoggerMemory memory;
    QCOMPARE(memory.storedDataSetCount(), 0);
    QCOMPARE(memory.memoryEndFromImage(), 0);
    memory.memoryImage() = QByteArray(11, '\x01'); // bytes 0x09, 0x0A present, 0x0B.. missing
    QCOMPARE(memory.storedDataSetCount(), 0x0101);
    QCOMPARE(memory.memoryEndFromImage(), 0);
}

void tst_LoggerMemory::byteAtOutsideImageIsNothing()
{
    LoggerMemory memory;
    memory.memoryImage() = QByteArray::fromHex("A55A");
    QCOMPARE(memory.byteAt(0), std::optional<quint8>(0xA5));
    QCOMPARE(memory.byteAt(1), std::optional<quint8>(0x5A));
    QVERIFY(!memory.byteAt(2).has_value());
    QVERIFY(!memory.byteAt(-1).has_value());
}

void tst_LoggerMemory::clearImageKeepsMemoryEndAndErrorPosition()
{
    LoggerMemory memory;
    memory.memoryImage() = QByteArray(512, '\0');
    memory.setMemoryEnd(0x1FF);
    memory.setErrorPosition({3, 0x2A0});
    memory.clearImage();
    QVERIFY(memory.memoryImage().isEmpty());
    QCOMPARE(memory.memoryEnd(), 0x1FF);
    QCOMPARE(memory.errorPosition(), (DecodeErrorPosition{3, 0x2A0}));
}

AUDIMARK_TEST_MAIN_CORE(tst_LoggerMemory)
#include "tst_loggermemory.moc"
