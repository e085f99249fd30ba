#include "common/TestMain.h"

#include "app/AppSettings.h"
#include "app/CommandLineOptions.h"
#include "app/DateOrder.h"
#include "app/HelpFile.h"
#include "data/DataDirectory.h"

#include <QFile>
#include <QTemporaryDir>

class TestAppCore : public QObject
{
    Q_OBJECT

private:
    // A settings file of its own for each test, in the test's temporary home.
    QSettings freshStore(const QString& name)
    {
        const QString path = dir_.filePath(name + QStringLiteral(".conf"));
        QFile::remove(path);
        return QSettings(path, QSettings::IniFormat);
    }

    static void writeRaw(const QString& path, const QByteArray& content)
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
    }

    QTemporaryDir dir_;
    int rawFiles_ = 0;

private slots:
    void settingsOfAFirstStartAreTheDefaults()
    {
        QSettings store = freshStore(QStringLiteral("first"));
        const SavedSettings s = AppSettings::read(store);
        QCOMPARE(s.realTimeRate, 0.2);
        QCOMPARE(s.lastConnectedPort, 0);
        QCOMPARE(s.lastConnectedModel, 842);
    }

    void settingsRoundTrip()
    {
        const SavedSettings written{5.0, 2, 841};
        {
            QSettings store = freshStore(QStringLiteral("roundtrip"));
            QVERIFY(AppSettings::write(store, written));
        }
        QSettings again(dir_.filePath(QStringLiteral("roundtrip.conf")), QSettings::IniFormat);
        QCOMPARE(again.value(QStringLiteral("RealTimeRate")).toDouble(), 5.0);
        QCOMPARE(again.value(QStringLiteral("LastConnectedPort")).toInt(), 2);
        QCOMPARE(again.value(QStringLiteral("LastConnectedModel")).toInt(), 841);
        QCOMPARE(AppSettings::read(again), written);
    }

    void unreadableValuesFallBackOneByOne_data()
    {
        QTest::addColumn<QByteArray>("fileContent");
        QTest::addColumn<double>("rate");
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("model");

        QTest::newRow("garbage rate, the others kept")
            << QByteArray(
                   "[General]\nRealTimeRate=fast\nLastConnectedPort=2\nLastConnectedModel=841\n")
            << 0.2 << 2 << 841;
        QTest::newRow("garbage port, the others kept")
            << QByteArray(
                   "[General]\nRealTimeRate=1.5\nLastConnectedPort=COM3\nLastConnectedModel=841\n")
            << 1.5 << 0 << 841;
        QTest::newRow("garbage model, the others kept")
            << QByteArray("[General]\nRealTimeRate=1.5\nLastConnectedPort=1\nLastConnectedModel=@"
                          "ByteArray(\\x1)\n")
            << 1.5 << 1 << 842;
        QTest::newRow("a list where a number belongs")
            << QByteArray(
                   "[General]\nRealTimeRate=1, 2\nLastConnectedPort=1, 2\nLastConnectedModel=841\n")
            << 0.2 << 0 << 841;
        QTest::newRow("a rate that is no interval")
            << QByteArray(
                   "[General]\nRealTimeRate=-1\nLastConnectedPort=1\nLastConnectedModel=842\n")
            << 0.2 << 1 << 842;
        QTest::newRow("a rate that is not finite")
            << QByteArray(
                   "[General]\nRealTimeRate=nan\nLastConnectedPort=1\nLastConnectedModel=842\n")
            << 0.2 << 1 << 842;
        // As floats these are inf or 0: the real-time axis would leave the calendar.
        QTest::newRow("RealTimeRate=1e39")
            << QByteArray(
                   "[General]\nRealTimeRate=1e39\nLastConnectedPort=1\nLastConnectedModel=842\n")
            << 0.2 << 1 << 842;
        QTest::newRow("RealTimeRate=1e300, a port beyond int")
            << QByteArray("[General]\nRealTimeRate=1e300\nLastConnectedPort=99999999999\n"
                          "LastConnectedModel=841\n")
            << 0.2 << 0 << 841;
        QTest::newRow("RealTimeRate=inf, a model of 1e39")
            << QByteArray(
                   "[General]\nRealTimeRate=inf\nLastConnectedPort=2\nLastConnectedModel=1e39\n")
            << 0.2 << 2 << 842;
        QTest::newRow("RealTimeRate=1e-300, zero as a float")
            << QByteArray(
                   "[General]\nRealTimeRate=1e-300\nLastConnectedPort=2\nLastConnectedModel=841\n")
            << 0.2 << 2 << 841;
        QTest::newRow("RealTimeRate of a day is kept")
            << QByteArray(
                   "[General]\nRealTimeRate=86400\nLastConnectedPort=2\nLastConnectedModel=841\n")
            << 86400.0 << 2 << 841;
        QTest::newRow("a model out of range is kept for the start-up fall-back")
            << QByteArray(
                   "[General]\nRealTimeRate=0.5\nLastConnectedPort=5\nLastConnectedModel=100\n")
            << 0.5 << 5 << 100;
        QTest::newRow("a half-written file")
            << QByteArray("[General]\nRealTimeRate=0.") << 0.2 << 0 << 842;
    }

    void unreadableValuesFallBackOneByOne()
    {
        QFETCH(QByteArray, fileContent);
        QFETCH(double, rate);
        QFETCH(int, port);
        QFETCH(int, model);
        // One file per row: QSettings caches what it read from a path.
        const QString path = dir_.filePath(QStringLiteral("raw-%1.conf").arg(++rawFiles_));
        writeRaw(path, fileContent);
        QSettings store(path, QSettings::IniFormat);
        const SavedSettings s = AppSettings::read(store);
        QCOMPARE(s.realTimeRate, rate);
        QCOMPARE(s.lastConnectedPort, port);
        QCOMPARE(s.lastConnectedModel, model);
    }

    // A store of another kind hands numbers over as numbers, not texts.
    void numbersOutOfRangeFallBack_data()
    {
        QTest::addColumn<QVariant>("rate");
        QTest::addColumn<QVariant>("port");
        QTest::addColumn<double>("expectedRate");
        QTest::addColumn<int>("expectedPort");
        QTest::newRow("1e39 and 1e39") << QVariant(1e39) << QVariant(1e39) << 0.2 << 0;
        QTest::newRow("nan and -inf") << QVariant(qQNaN()) << QVariant(-qInf()) << 0.2 << 0;
        QTest::newRow("2.5 and 2.5: a port is whole") << QVariant(2.5) << QVariant(2.5) << 2.5 << 0;
        QTest::newRow("a port of 2^40") << QVariant(0.5) << QVariant(qint64(1) << 40) << 0.5 << 0;
        QTest::newRow("a port of -1.0") << QVariant(30.0) << QVariant(-1.0) << 30.0 << -1;
    }

    void numbersOutOfRangeFallBack()
    {
        QFETCH(QVariant, rate);
        QFETCH(QVariant, port);
        QFETCH(double, expectedRate);
        QFETCH(int, expectedPort);
        QSettings store(dir_.filePath(QStringLiteral("typed-%1.conf").arg(++rawFiles_)),
                        QSettings::IniFormat);
        store.setValue(AppSettings::RealTimeRateKey, rate);
        store.setValue(AppSettings::LastConnectedPortKey, port);
        const SavedSettings s = AppSettings::read(store);
        QCOMPARE(s.realTimeRate, expectedRate);
        QCOMPARE(s.lastConnectedPort, expectedPort);
    }

    void dateOrder_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("order");
        QTest::newRow("dd/MM/yyyy day first") << "dd/MM/yyyy" << 1;
        QTest::newRow("M/d/yyyy month first") << "M/d/yyyy" << 2;
        QTest::newRow("yyyy-MM-dd year month day") << "yyyy-MM-dd" << 3;
        QTest::newRow("yyyy.dd.MM year day month") << "yyyy.dd.MM" << 4;
        QTest::newRow("dd.MM.yy German") << "dd.MM.yy" << 1;
        QTest::newRow("d. M. yyyy with blanks") << "d. M. yyyy" << 1;
        QTest::newRow("yyyy/M/d Japanese") << "yyyy/M/d" << 3;
        QTest::newRow("a slash is looked for before a dash") << "yyyy-dd/MM" << 1;
        QTest::newRow("comma separator") << "MM,dd,yyyy" << 2;
        QTest::newRow("no separator, day first") << "ddMMyyyy" << 1;
        QTest::newRow("no separator, year month day") << "yyyyMMdd" << 3;
        QTest::newRow("no separator, month first") << "MMddyy" << 2;
        QTest::newRow("no separator, year day month") << "yyyyddMM" << 4;
        QTest::newRow("no fields at all") << "" << 2;
        QTest::newRow("separator but no fields") << "/" << 2;
    }

    void dateOrder()
    {
        QFETCH(QString, format);
        QFETCH(int, order);
        QCOMPARE(DateOrder::fromShortDateFormat(format), order);
    }

    void dataDirectoryChoice()
    {
        const QByteArray saved = qgetenv("AUDIMARK_HOME");
        qputenv("AUDIMARK_HOME", dir_.filePath(QStringLiteral("fromEnv")).toLocal8Bit());
        QCOMPARE(DataDirectory::choose(dir_.filePath(QStringLiteral("fromOption"))),
                 dir_.filePath(QStringLiteral("fromOption")));
        QCOMPARE(DataDirectory::choose(QString()), dir_.filePath(QStringLiteral("fromEnv")));
        qunsetenv("AUDIMARK_HOME");
        const QString standard = DataDirectory::choose(QString());
        QVERIFY(!standard.isEmpty());
        QVERIFY(QDir::isAbsolutePath(standard));
        qputenv("AUDIMARK_HOME", saved);

        const QString nested = dir_.filePath(QStringLiteral("a/b/c"));
        QVERIFY(DataDirectory::ensureExists(nested));
        QVERIFY(QFileInfo(nested).isDir());
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("demo");
        QTest::addColumn<QStringList>("ports");
        QTest::addColumn<QString>("dataDir");
        QTest::addColumn<bool>("error");

        QTest::newRow("nothing") << QStringList{} << 0 << QStringList{} << QString() << false;
        QTest::newRow("--demo") << QStringList{"--demo"} << 842 << QStringList{} << QString()
                                << false;
        QTest::newRow("--demo=841")
            << QStringList{"--demo=841"} << 841 << QStringList{} << QString() << false;
        QTest::newRow("--demo=843")
            << QStringList{"--demo=843"} << 0 << QStringList{} << QString() << true;
        QTest::newRow("--demo 841")
            << QStringList{"--demo", "841"} << 841 << QStringList{} << QString() << false;
        QTest::newRow("--demo 842 and a port")
            << QStringList{"--demo", "842", "--port", "/dev/pts/3"} << 842
            << QStringList{"/dev/pts/3"} << QString() << false;
        QTest::newRow("--demo before another option")
            << QStringList{"--demo", "--port", "/dev/pts/3"} << 842 << QStringList{"/dev/pts/3"}
            << QString() << false;
        QTest::newRow("--demo 843")
            << QStringList{"--demo", "843"} << 0 << QStringList{} << QString() << true;
        QTest::newRow("--version")
            << QStringList{"--version"} << 0 << QStringList{} << QString() << false;
        QTest::newRow("two ports")
            << QStringList{"--port", "/dev/ttyUSB0", "--port=/dev/pts/3"} << 0
            << QStringList{"/dev/ttyUSB0", "/dev/pts/3"} << QString() << false;
        QTest::newRow("data dir") << QStringList{"--data-dir", "/tmp/x"} << 0 << QStringList{}
                                  << "/tmp/x" << false;
        QTest::newRow("port without value")
            << QStringList{"--port"} << 0 << QStringList{} << QString() << true;
        QTest::newRow("unknown option")
            << QStringList{"--colour"} << 0 << QStringList{} << QString() << true;
    }

    void commandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(int, demo);
        QFETCH(QStringList, ports);
        QFETCH(QString, dataDir);
        QFETCH(bool, error);
        args.prepend(QStringLiteral("audimark"));
        const CommandLineOptions o = CommandLineOptions::parse(args);
        QCOMPARE(!o.error.isEmpty(), error);
        if (error)
            return;
        QCOMPARE(o.demoModel, demo);
        QCOMPARE(o.extraPorts, ports);
        QCOMPARE(o.dataDirectory, dataDir);
    }

    void requestsAnsweredBeforeTheDisplay_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("request");
        using R = CommandLineOptions::EarlyRequest;
        QTest::newRow("nothing") << QStringList{} << int(R::None);
        QTest::newRow("--help") << QStringList{"--help"} << int(R::Help);
        QTest::newRow("-h") << QStringList{"-h"} << int(R::Help);
        QTest::newRow("--version") << QStringList{"--version"} << int(R::Version);
        QTest::newRow("-v after Qt's own option")
            << QStringList{"-platform", "offscreen", "-v"} << int(R::Version);
        QTest::newRow("the first one wins") << QStringList{"-v", "--help"} << int(R::Version);
        QTest::newRow("a value, not a request") << QStringList{"--data-dir", "-v"} << int(R::None);
        QTest::newRow("ordinary options") << QStringList{"--demo", "841"} << int(R::None);
    }

    void requestsAnsweredBeforeTheDisplay()
    {
        QFETCH(QStringList, args);
        QFETCH(int, request);
        args.prepend(QStringLiteral("audimark"));
        QCOMPARE(int(CommandLineOptions::earlyRequest(args)), request);
    }

    void helpPageIsCopiedIntoTheDataDirectory()
    {
        QTemporaryDir installed;
        QTemporaryDir data;
        const QString source = installed.filePath(HelpFile::FileName);
        writeRaw(source, "<html>first</html>");

        QVERIFY(HelpFile::installInto(data.path(),
                                      {installed.filePath(QStringLiteral("missing.htm")), source}));
        QFile copy(HelpFile::pathIn(data.path()));
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QCOMPARE(copy.readAll(), QByteArray("<html>first</html>"));
        copy.close();

        // A newer installed page replaces the copy.
        writeRaw(source, "<html>second</html>");
        {
            QFile newer(source);
            QVERIFY(newer.open(QIODevice::ReadWrite));
            QVERIFY(newer.setFileTime(QDateTime::currentDateTime().addSecs(60),
                                      QFileDevice::FileModificationTime));
        }
        QVERIFY(HelpFile::installInto(data.path(), {source}));
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QCOMPARE(copy.readAll(), QByteArray("<html>second</html>"));
        copy.close();

        // The page already in the data directory is never removed by copying it onto itself.
        QVERIFY(HelpFile::installInto(data.path(), {HelpFile::pathIn(data.path())}));
        QVERIFY(QFileInfo::exists(HelpFile::pathIn(data.path())));

        // No installed page anywhere is not an error.
        QTemporaryDir empty;
        QVERIFY(HelpFile::installInto(empty.path(), {}));
        QVERIFY(!QFileInfo::exists(HelpFile::pathIn(empty.path())));
    }
};

AUDIMARK_TEST_MAIN_CORE(TestAppCore)
#include "tst_appcore.moc"
