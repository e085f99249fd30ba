#include "common/TestMain.h"

#include "realtime/RecordingPeriod.h"

class TestRecordingPeriod : public QObject
{
    Q_OBJECT

private slots:
    void text_data()
    {
        QTest::addColumn<qint64>("points");
        QTest::addColumn<double>("interval");
        QTest::addColumn<bool>("padded");
        QTest::addColumn<QString>("expected");

        QTest::newRow("2000 at 0.2 s unpadded") << qint64(2000) << 0.2 << false << "0:6:40";
        QTest::newRow("2000 at 0.2 s padded") << qint64(2000) << 0.2 << true << "0:06:40";
        QTest::newRow("1000 at 0.2 s padded") << qint64(1000) << 0.2 << true << "0:03:20";
        QTest::newRow("half a second rounds up") << qint64(5) << 0.1 << true << "0:00:01";
        QTest::newRow("just under half rounds down") << qint64(4) << 0.1 << true << "0:00:00";
        QTest::newRow("99999 at 30 s: hours unpadded")
            << qint64(99999) << 30.0 << true << "833:19:30";
        QTest::newRow("2000 at 30 s unpadded") << qint64(2000) << 30.0 << false << "16:40:0";
        QTest::newRow("no points") << qint64(0) << 0.2 << true << "0:00:00";
        // Never converted when out of range (the sanitizer build aborts on that).
        QTest::newRow("99999 at 1e20 s stops at its largest")
            << qint64(99999) << 1e20 << true << "2555555555555555:33:20";
        QTest::newRow("nan") << qint64(2000) << qQNaN() << true << "0:00:00";
    }

    void text()
    {
        QFETCH(qint64, points);
        QFETCH(double, interval);
        QFETCH(bool, padded);
        QFETCH(QString, expected);
        QCOMPARE(RecordingPeriod::text(RecordingPeriod::seconds(points, interval), padded),
                 expected);
    }

    void pointCount_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected"); // -1: not valid

        QTest::newRow("leading blank") << " 2000" << 2000;
        QTest::newRow("blanks around") << "  12  " << 12;
        QTest::newRow("five digits") << "99999" << 99999;
        QTest::newRow("empty mask") << "     " << -1;
        QTest::newRow("empty") << "" << -1;
        QTest::newRow("zero has nowhere to put a sample") << "    0" << -1;
        QTest::newRow("not a number") << "12a" << -1;
        QTest::newRow("more than the graph holds") << "100000" << -1;
        QTest::newRow("beyond int") << "99999999999" << -1;
    }

    void pointCount()
    {
        QFETCH(QString, text);
        QFETCH(int, expected);
        const std::optional<int> n = RecordingPeriod::pointCount(text);
        QCOMPARE(n.value_or(-1), expected);
    }

    void typedPointCount()
    {
        QCOMPARE(RecordingPeriod::typedPointCount(QStringLiteral(" 1000")), 1000);
        QCOMPARE(RecordingPeriod::typedPointCount(QStringLiteral("")), 0);
        QCOMPARE(RecordingPeriod::typedPointCount(QStringLiteral("x")), 0);
    }
};

AUDIMARK_TEST_MAIN_CORE(TestRecordingPeriod)
#include "tst_recordingperiod.moc"
