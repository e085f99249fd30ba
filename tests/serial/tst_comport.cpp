// The serial port component against real pseudo-terminals.

#include "common/PtyPair.h"
#include "common/TestMain.h"
#include "serial/TComPort.h"
#include "serial/UucpLockFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <poll.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

Q_DECLARE_METATYPE(TBaudRate)
Q_DECLARE_METATYPE(TParity)
Q_DECLARE_METATYPE(TStopBits)

namespace {

const QString kClosedPort = QStringLiteral("Can't perform this operation on a closed port");
const QString kOpenPort = QStringLiteral("Can't perform this operation on an open port");

// The live port's settings in the program: 9600 8N1, DTR off, RTS on.
void configureLikeLivePort(TComPort& port, const QString& device)
{
    port.setDeviceName(device);
    port.setBaudRate(br9600);
    port.setDataBits(db8);
    port.setParity(paNone);
    port.setStopBits(sb1);
    port.FlowControl().setDTR(dcDisable);
    port.FlowControl().setRTS(rcEnable);
}

// Records what reached OnError and answers with the given action.
struct ErrorRecorder
{
    TComAction answer = caAbort;
    QList<int> codes;
    QStringList messages;
    QList<QThread*> threads;

    TComErrorEvent handler()
    {
        return [this](TCustomComPort&, const EComError& error, TComAction& action) {
            codes.append(error.code());
            messages.append(error.message());
            threads.append(QThread::currentThread());
            action = answer;
        };
    }
};

// The program's receive handler in small: takes what waits, at most 256 bytes.
struct Receiver
{
    QByteArray bytes;
    int events = 0;
    QList<QThread*> threads;

    TNotifyEvent handler()
    {
        return [this](TCustomComPort& port) {
            ++events;
            threads.append(QThread::currentThread());
            const int count = std::min(port.InputCount(), 256);
            if (count <= 0)
                return;
            QByteArray chunk(count, '\0');
            const int read = port.Read(chunk.data(), count, false);
            bytes.append(chunk.left(read));
        };
    }
};

QByteArray pattern(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i * 7 + 3);
    return bytes;
}

// Writes to the master until told to stop; ignores a full queue and the
// moments when no slave is open.
class Flooder
{
public:
    explicit Flooder(int masterFd)
        : thread_([this, masterFd] {
              const QByteArray chunk = pattern(64);
              while (!stop_.load()) {
                  if (::write(masterFd, chunk.constData(), chunk.size()) < 0) {
                      pollfd pfd{masterFd, POLLOUT, 0};
                      ::poll(&pfd, 1, 2);
                  }
              }
          })
    {
    }
    ~Flooder()
    {
        stop_.store(true);
        thread_.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace

class TestComPort : public QObject
{
    Q_OBJECT

private slots:
    void settingsReachTheLine_data();
    void settingsReachTheLine();
    void defaultBaudRateLeavesTheLineAlone();
    void customBaudRateUsesAnArbitrarySpeed();
    void closingRestoresTheLineSettings_data();
    void closingRestoresTheLineSettings();
    void writeStringSendsEveryByte();
    void backToBackWritesKeepTheirOrder();
    void fullOutputQueue_data();
    void fullOutputQueue();
    void writtenBytesOutliveResetAndHandOver_data();
    void writtenBytesOutliveResetAndHandOver();
    void readWaitsForTheRest();
    void readReportsTimeoutWhenBytesAreMissing();
    void deviceNameCannotChangeWhileOpen();
    void operationsOnClosedPortFail_data();
    void operationsOnClosedPortFail();
    void openingMissingDeviceAbortsSilently();
    void openingDeviceInUseAbortsSilently();
    void lockFileOfTerminalPrograms_data();
    void lockFileOfTerminalPrograms();
    void lockPathThatIsNoRegularFile_data();
    void lockPathThatIsNoRegularFile();
    void removingTheHandlerStopsTheEventThread();
    void receiveEventsRunOnTheMainThread();
    void inputCountTellsBytesWaiting();
    void backlogIsWorkedOffOverSeveralEvents();
    void handlerExceptionDoesNotEndTheThread();
    void bytesLeftUnreadAreNotReportedAgain();
    void unsynchronisedEventsRunOnTheEventThread();
    void closingWhileEventsArriveNeverDeadlocks();
    void closingFromInsideTheHandler();
    void detachingAndReattachingInsideTheHandler();
    void destroyingThePortInsideTheHandler();
    void destroyingAnOpenPortReleasesTheDevice();
    void vanishingDeviceIsReportedAndClosed();
    void portListHasExtraAndEnvironmentPorts();
};

void TestComPort::settingsReachTheLine_data()
{
    // A pty keeps the speed, the stop bits and the parity kind but forces 8
    // data bits without parity; data bits and parity enable are checked
    // on the termios record itself in tst_termiosmapping.
    QTest::addColumn<TBaudRate>("baudRate");
    QTest::addColumn<TParity>("parity");
    QTest::addColumn<TStopBits>("stopBits");
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("parityKind");
    QTest::addColumn<bool>("twoStopBits");

    QTest::newRow("9600 8N1") << br9600 << paNone << sb1 << 9600 << 0 << false;
    QTest::newRow("19200 even 2") << br19200 << paEven << sb2 << 19200 << 0 << true;
    QTest::newRow("4800 odd 1") << br4800 << paOdd << sb1 << 4800 << int(PARODD) << false;
    QTest::newRow("115200 mark 1")
        << br115200 << paMark << sb1 << 115200 << int(PARODD | CMSPAR) << false;
    QTest::newRow("1200 space 1.5") << br1200 << paSpace << sb1_5 << 1200 << int(CMSPAR) << true;
}

void TestComPort::settingsReachTheLine()
{
    QFETCH(TBaudRate, baudRate);
    QFETCH(TParity, parity);
    QFETCH(TStopBits, stopBits);
    QFETCH(int, baud);
    QFETCH(int, parityKind);
    QFETCH(bool, twoStopBits);

    PtyPair pty;
    QVERIFY(pty.isValid());
    TComPort port;
    port.setDeviceName(pty.slavePath());
    port.setBaudRate(baudRate);
    port.setDataBits(db8);
    port.setParity(parity);
    port.setStopBits(stopBits);
    port.setActive(true);
    QVERIFY(port.Active());

    termios line{};
    QVERIFY(pty.slaveTermios(line));
    QCOMPARE(pty.slaveBaudRate(), baud);
    QCOMPARE(int(line.c_cflag & (PARODD | CMSPAR)), parityKind);
    QCOMPARE(bool(line.c_cflag & CSTOPB), twoStopBits);
    // Raw: binary bytes pass untouched and reads never wait in the driver.
    QCOMPARE(int(line.c_lflag & (ICANON | ECHO | ISIG | IEXTEN)), 0);
    QCOMPARE(int(line.c_oflag & OPOST), 0);
    QCOMPARE(int(line.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | IXON | IXOFF)), 0);
    QCOMPARE(int(line.c_cc[VMIN]), 0);
    QCOMPARE(int(line.c_cc[VTIME]), 0);
}

void TestComPort::defaultBaudRateLeavesTheLineAlone()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    termios line{};
    QVERIFY(pty.slaveTermios(line));
    cfsetispeed(&line, B2400);
    cfsetospeed(&line, B2400);
    QCOMPARE(::tcsetattr(pty.masterFd(), TCSANOW, &line), 0);

    TComPort port;
    port.setDeviceName(pty.slavePath());
    port.setDataBits(db8);
    port.setActive(true);
    QVERIFY(port.Active());
    QCOMPARE(pty.slaveBaudRate(), 2400);

    port.setBaudRate(br9600);
    QCOMPARE(pty.slaveBaudRate(), 9600);
}

void TestComPort::customBaudRateUsesAnArbitrarySpeed()
{
    // The kernel's "other baud rate" code in the speed bits of c_cflag.
    constexpr tcflag_t arbitrarySpeed = 0010000;
    PtyPair pty;
    QVERIFY(pty.isValid());
    TComPort port;
    port.setDeviceName(pty.slavePath());
    port.setCustomBaudRate(250000);
    QCOMPARE(port.BaudRate(), brCustom);
    port.setActive(true);
    QVERIFY(port.Active());
    termios line{};
    QVERIFY(pty.slaveTermios(line));
    QCOMPARE(line.c_cflag & CBAUD, arbitrarySpeed);
}

void TestComPort::closingRestoresTheLineSettings_data()
{
    QTest::addColumn<int>("customBaud");
    QTest::newRow("9600 raw") << 0;
    QTest::newRow("arbitrary speed") << 250000;
}

void TestComPort::closingRestoresTheLineSettings()
{
    QFETCH(int, customBaud);
    PtyPair pty;
    QVERIFY(pty.isValid());
    // A terminal as a shell leaves it: line editing, echo, 2400 baud.
    termios terminal{};
    QVERIFY(pty.slaveTermios(terminal));
    terminal.c_lflag |= ICANON | ECHO | ISIG;
    terminal.c_oflag |= OPOST;
    terminal.c_iflag |= ICRNL | IXON;
    cfsetispeed(&terminal, B2400);
    cfsetospeed(&terminal, B2400);
    QCOMPARE(::tcsetattr(pty.masterFd(), TCSANOW, &terminal), 0);
    QVERIFY(pty.slaveTermios(terminal));

    TComPort port;
    configureLikeLivePort(port, pty.slavePath());
    if (customBaud > 0)
        port.setCustomBaudRate(customBaud);
    port.setActive(true);
    termios raw{};
    QVERIFY(pty.slaveTermios(raw));
    QCOMPARE(int(raw.c_lflag & ICANON), 0);
    port.setActive(false);

    termios after{};
    QVERIFY(pty.slaveTermios(after));
    QCOMPARE(after.c_lflag, terminal.c_lflag);
    QCOMPARE(after.c_oflag, terminal.c_oflag);
    QCOMPARE(after.c_iflag, terminal.c_iflag);
    QCOMPARE(after.c_cflag, terminal.c_cflag);
    QCOMPARE(pty.slaveBaudRate(), 2400);
}

void TestComPort::writeStringSendsEveryByte()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    TComPort port;
    configureLikeLivePort(port, pty.slavePath());
    port.setActive(true);

    const QByteArray frame = QByteArray::fromHex("0241000000000003");
    QCOMPARE(port.WriteString(frame), 8);
    QCOMPARE(pty.readMaster(8), frame);
    QCOMPARE(pty.readMaster(1, 50), QByteArray());
}

void TestComPort::backToBackWritesKeepTheirOrder()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    TComPort port;
    configureLikeLivePort(port, pty.slavePath());
    port.setActive(true);

    const QByteArray first = pattern(1500);
    const QByteArray second = QByteArray::fromHex("0258000000000003");
    QCOMPARE(port.Write(first.constData(), int(first.size()), false), int(first.size()));
    QCOMPARE(port.WriteString(second), 8);
    QCOMPARE(pty.readMaster(int(first.size() + second.size())), first + second);
}

void TestComPort::fullOutputQueue_data()
{
    QTest::addColumn<bool>("waitOnCompletion");
    QTest::newRow("waiting writes") << true;
    QTest::newRow("non-waiting writes") << false;
}

// A peer that stops reading: the queue fills, and then a waiting write times
// out after its timeout, while a non-waiting one returns at once, the port
// holding what did not fit; the next write behind held bytes fails at once.
// Once the peer reads again, everything accepted arrives in order and whole.
void TestComPort::fullOutputQueue()
{
    QFETCH(bool, waitOnCompletion);
    PtyPair pty;
    QVERIFY(pty.isValid());
    TComPort port;
    configureLikeLivePort(port, pty.slavePath());
    port.Timeouts().setWriteConstant(waitOnCompletion ? 50 : 10000);
    port.setActive(true);

    // Numbered frames, so that order and wholeness can be seen at the end.
    const auto numbered = [](int n) {
        QByteArray frame = QByteArray::fromHex("0258000000000003");
        frame[2] = char(n >> 8);
        frame[3] = char(n);
        return frame;
    };
    QByteArray accepted;
    QString error;
    QElapsedTimer clock;
    for (int n = 0; n < 100000 && error.isEmpty(); ++n) {
        const QByteArray frame = numbered(n);
        clock.start();
        try {
            QCOMPARE(port.Write(frame.constData(), 8, waitOnCompletion), 8);
            accepted += frame;
        } catch (const EComError& e) {
            error = e.message();
        }
    }
    QCOMPARE(error, QStringLiteral("Timeout"));
    QVERIFY(clock.elapsed() < 5000);
    QCOMPARE(port.HeldOutputCount() > 0, !waitOnCompletion);

    QByteArray arrived;
    QElapsedTimer reading;
    reading.start();
    while ((port.HeldOutputCount() > 0 || arrived.size() < accepted.size()) &&
           reading.elapsed() < 5000) {
        arrived += pty.readAvailable();
        QThread::msleep(1);
    }
    // A waiting write that timed out may have sent part of its frame.
    QCOMPARE(arrived.left(accepted.size()), accepted);
    QVERIFY(arrived.size() < accepted.size() + 8);
    if (!waitOnCompletion)
        QCOMPARE(arrived.size(), accepted.size());
}

void TestComPort::writtenBytesOutliveResetAndHandOver_data()
{
    QTest::addColumn<bool>("reset");
    QTest::addColumn<bool>("handOver");
    QTest::newRow("reset") << true << false;
    QTest::newRow("opened by the next port") << false << true;
    QTest::newRow("reset, then the next port") << true << true;
}

void TestComPort::writtenBytesOutliveResetAndHandOver()
{
    QFETCH(bool, reset);
    QFETCH(bool, handOver);
    PtyPair pty;
    QVERIFY(pty.isValid());
    QVERIFY(pty.enablePacketMode());
    TComPort live;
    configureLikeLivePort(live, pty.slavePath());
    live.setActive(true);
    QVERIFY(pty.writeMaster("stale"));
    QTRY_COMPARE(live.InputCount(), 5);

    // The meter has not read the frame yet when the port is reset and closed.
    const QByteArray frame = QByteArray::fromHex("0258000000000003");
    QCOMPARE(live.WriteString(frame), 8);
    if (reset) {
        live.ResetDevice();
        QCOMPARE(live.InputCount(), 0);
    }
    live.setActive(false);
    if (handOver) {
        TComPort logger;
        configureLikeLivePort(logger, pty.slavePath());
        logger.setActive(true);
        QVERIFY(logger.Active());
    }

    const PtyPair::Packets packets = pty.readPackets(int(frame.size()));
    QCOMPARE(packets.data, frame);
    QCOMPARE(packets.status & TIOCPKT_FLUSHWRITE, 0);
}

void TestComPort::readWaitsForTheRest()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    TComPort port;
    configureLikeLivePort(port, pty.slavePath());
    port.setActive(true);

    QVERIFY(pty.writeMaster("08"));
    bool lateWritten = false;
    std::thread late([&pty, &lateWritten] {
        QThread::msleep(50); // the rest comes while the read waits
        lateWritten = pty.writeMaster("42");
    });
    char reply[4] = {};
    int read = -1;
    try {
        read = port.Read(reply, 4, true);
    } catch (const EComError& error) {
        qWarning() << error.message();
    }
    late.join();
    QVERIFY(lateWritten);
    QCOMPARE(read, 4);
    QCOMPARE(QByteArray(reply, 4), QByteArray("0842"));
}

void TestComPort::readReportsTimeoutWhenBytesAreMissing()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    TComPort port;
    configureLikeLivePort(port, pty.slavePath());
    port.Timeouts().setReadConstant(100);
    port.setActive(true);
    QVERIFY(pty.writeMaster("84"));
    QTRY_COMPARE(port.InputCount(), 2);

    char reply[4] = {};
    try {
        (void)port.Read(reply, 4, true);
        QFAIL("a short waited read must fail");
    } catch (const EComError& error) {
        QCOMPARE(error.message(), QStringLiteral("Timeout"));
        QCOMPARE(error.code(), 0);
    }
    QCOMPARE(QByteArray(reply, 2), QByteArray("84"));
}

void TestComPort::deviceNameCannotChangeWhileOpen()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    TComPort port;
    configureLikeLivePort(port, pty.slavePath());
    port.setActive(true);

    ErrorRecorder errors;
    errors.answer = caFail;
    port.setOnError(errors.handler());
    try {
        port.setDeviceName(QStringLiteral("/dev/null"));
        QFAIL("renaming an open port must fail");
    } catch (const EComError& error) {
        QCOMPARE(error.message(), kOpenPort);
        QCOMPARE(error.code(), 0);
    }
    QCOMPARE(errors.messages, QStringList{kOpenPort});

    errors.answer = caAbort;
    QVERIFY_THROWS_EXCEPTION(EAbort, port.setDeviceName(QStringLiteral("/dev/null")));
    QVERIFY_THROWS_EXCEPTION(EAbort, port.setSynchronizeEvents(false));
    QVERIFY_THROWS_EXCEPTION(EAbort, port.setPriorityClass(pcHigh));
    QCOMPARE(errors.messages, QStringList(4, kOpenPort));
    QCOMPARE(port.DeviceName(), pty.slavePath());
    QVERIFY(port.Active());
}

void TestComPort::operationsOnClosedPortFail_data()
{
    QTest::addColumn<int>("operation");
    QTest::newRow("Read") << 0;
    QTest::newRow("Write") << 1;
    QTest::newRow("WriteString") << 2;
    QTest::newRow("InputCount") << 3;
    QTest::newRow("ResetDevice") << 4;
    QTest::newRow("ModemStatus") << 5;
}

void TestComPort::operationsOnClosedPortFail()
{
    QFETCH(int, operation);
    TComPort port;
    char buffer[4] = {};
    const auto run = [&] {
        switch (operation) {
        case 0:
            (void)port.Read(buffer, 4, false);
            break;
        case 1:
            (void)port.Write(buffer, 4, false);
            break;
        case 2:
            (void)port.WriteString("A");
            break;
        case 3:
            (void)port.InputCount();
            break;
        case 4:
            port.ResetDevice();
            break;
        case 5:
            (void)port.ModemStatus();
            break;
        }
    };
    try {
        run();
        QFAIL("an operation on a closed port must fail");
    } catch (const EComError& error) {
        QCOMPARE(error.message(), kClosedPort);
        QCOMPARE(error.code(), 0);
    }

    ErrorRecorder errors;
    port.setOnError(errors.handler());
    QVERIFY_THROWS_EXCEPTION(EAbort, run());
    QCOMPARE(errors.messages, QStringList{kClosedPort});
}

void TestComPort::openingMissingDeviceAbortsSilently()
{
    TComPort port;
    ErrorRecorder errors;
    port.setOnError(errors.handler());
    port.setDeviceName(QStringLiteral("/dev/audimark-no-such-port"));
    QVERIFY_THROWS_EXCEPTION(EAbort, port.setActive(true));
    QVERIFY(!port.Active());
    QCOMPARE(errors.codes, QList<int>{ENOENT});
    QVERIFY(!errors.messages.first().isEmpty());
}

void TestComPort::openingDeviceInUseAbortsSilently()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    TComPort first;
    configureLikeLivePort(first, pty.slavePath());
    first.setActive(true);
    QVERIFY(first.Active());

    TComPort second;
    configureLikeLivePort(second, pty.slavePath());
    ErrorRecorder errors;
    second.setOnError(errors.handler());
    QVERIFY_THROWS_EXCEPTION(EAbort, second.setActive(true));
    QVERIFY(!second.Active());
    QCOMPARE(errors.codes, QList<int>{EBUSY});

    // The holder is unaffected; once it lets go the device can be taken.
    QCOMPARE(first.WriteString("K"), 1);
    QCOMPARE(pty.readMaster(1), QByteArray("K"));
    first.setActive(false);
    second.setActive(true);
    QVERIFY(second.Active());
}

void TestComPort::lockFileOfTerminalPrograms_data()
{
    QTest::addColumn<QString>("holder");
    QTest::addColumn<bool>("writableDirectory");
    QTest::addColumn<bool>("opens");
    QTest::newRow("no lock") << QString() << true << true;
    QTest::newRow("terminal program running") << "running" << true << false;
    QTest::newRow("left by a dead program") << "dead" << true << true;
    QTest::newRow("lock directory missing") << QString() << false << true;
}

void TestComPort::lockFileOfTerminalPrograms()
{
    QFETCH(QString, holder);
    QFETCH(bool, writableDirectory);
    QFETCH(bool, opens);
    PtyPair pty;
    QVERIFY(pty.isValid());
    QTemporaryDir dir;
    const QString directory = writableDirectory ? dir.path() : dir.filePath("missing");
    const QString previous = UucpLockFile::directory();
    UucpLockFile::setDirectory(directory);
    auto restore = qScopeGuard([&] { UucpLockFile::setDirectory(previous); });
    const QString lockPath = directory + "/LCK.." + pty.slavePath().mid(5).replace('/', '_');
    QCOMPARE(UucpLockFile::lockPathFor(pty.slavePath()), lockPath);

    QProcess terminal;
    QByteArray lock;
    if (holder == "running") {
        terminal.start("sleep", {"30"});
        QVERIFY(terminal.waitForStarted());
        lock = QByteArray::number(terminal.processId()).rightJustified(10, ' ') + '\n';
    } else if (holder == "dead") {
        lock =
            QByteArray::number(std::numeric_limits<int>::max() - 1).rightJustified(10, ' ') + '\n';
    }
    if (!lock.isEmpty()) {
        QFile file(lockPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(lock);
    }

    TComPort port;
    configureLikeLivePort(port, pty.slavePath());
    ErrorRecorder errors;
    port.setOnError(errors.handler());
    try {
        port.setActive(true);
    } catch (const EAbort&) {
    }
    QCOMPARE(port.Active(), opens);
    QFile file(lockPath);
    if (!opens) {
        QCOMPARE(errors.codes, QList<int>{EBUSY});
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), lock);
    } else if (writableDirectory) {
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(),
                 QByteArray::number(QCoreApplication::applicationPid()).rightJustified(10, ' ') +
                     '\n');
        file.close();
        port.setActive(false);
        QVERIFY(!file.exists());
    } else {
        QVERIFY(!file.exists());
    }
    if (terminal.state() != QProcess::NotRunning) {
        terminal.kill();
        terminal.waitForFinished();
    }
}

void TestComPort::lockPathThatIsNoRegularFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("fifo") << "fifo";
    QTest::newRow("link to a dead program's lock") << "link to stale lock";
    QTest::newRow("link to a fifo") << "link to fifo";
    QTest::newRow("dangling link") << "dangling link";
    QTest::newRow("directory") << "directory";
}

// Anybody may put anything at a lock path: the port must neither hang on it
// nor read, write or remove through it; the device counts as held.
void TestComPort::lockPathThatIsNoRegularFile()
{
    QFETCH(QString, kind);
    PtyPair pty;
    QVERIFY(pty.isValid());
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString previous = UucpLockFile::directory();
    UucpLockFile::setDirectory(dir.path());
    auto restore = qScopeGuard([&] { UucpLockFile::setDirectory(previous); });
    const QString lockPath = UucpLockFile::lockPathFor(pty.slavePath());
    const QByteArray lockName = QFile::encodeName(lockPath);
    const QString fifoPath = dir.filePath("fifo");
    const QString victimPath = dir.filePath("victim");
    const QByteArray staleLock =
        QByteArray::number(std::numeric_limits<int>::max() - 1).rightJustified(10, ' ') + '\n';

    QString fifo;
    if (kind == "fifo") {
        fifo = lockPath;
    } else if (kind == "link to fifo") {
        fifo = fifoPath;
        QVERIFY(QFile::link(fifoPath, lockPath));
    } else if (kind == "link to stale lock") {
        QFile victim(victimPath);
        QVERIFY(victim.open(QIODevice::WriteOnly));
        victim.write(staleLock);
        victim.close();
        QVERIFY(QFile::link(victimPath, lockPath));
    } else if (kind == "dangling link") {
        QVERIFY(QFile::link(victimPath, lockPath));
    } else {
        QVERIFY(QDir(dir.path()).mkdir(QFileInfo(lockPath).fileName()));
    }
    if (!fifo.isEmpty())
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0666), 0);
    struct stat before
    {
    };
    QCOMPARE(::lstat(lockName.constData(), &before), 0);

    // Should the open hang on the FIFO, a writer comes by after a long while
    // and lets it go on, so that the test fails instead of hanging.
    std::atomic<bool> done{false};
    std::atomic<bool> rescued{false};
    std::thread rescuer([&] {
        for (int i = 0; i < 300 && !done.load(); ++i)
            QThread::msleep(100);
        if (done.load() || fifo.isEmpty())
            return;
        rescued.store(true);
        const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
    });
    auto joinRescuer = qScopeGuard([&] {
        done.store(true);
        rescuer.join();
    });

    TComPort port;
    configureLikeLivePort(port, pty.slavePath());
    ErrorRecorder errors;
    port.setOnError(errors.handler());
    try {
        port.setActive(true);
    } catch (const EAbort&) {
    }
    done.store(true);
    QVERIFY2(!rescued.load(), "opening the port blocked on the lock path");
    QVERIFY(!port.Active());
    QCOMPARE(errors.codes, QList<int>{EBUSY});

    struct stat after
    {
    };
    QCOMPARE(::lstat(lockName.constData(), &after), 0);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_mode, before.st_mode);
    if (kind == "link to stale lock") {
        QFile victim(victimPath);
        QVERIFY(victim.open(QIODevice::ReadOnly));
        QCOMPARE(victim.readAll(), staleLock);
    } else if (kind == "dangling link") {
        QVERIFY(!QFileInfo::exists(victimPath));
    }
}

void TestComPort::removingTheHandlerStopsTheEventThread()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    TComPort port;
    configureLikeLivePort(port, pty.slavePath());
    Receiver receiver;
    port.setOnRxChar(receiver.handler());
    QVERIFY(!port.eventThreadRunning());
    port.setActive(true);
    QVERIFY(port.eventThreadRunning());
    QCOMPARE(port.eventMask(), ComEvent::RxChar);

    const TNotifyEvent handler = port.OnRxChar();
    port.setOnRxChar(nullptr);
    QVERIFY(!port.eventThreadRunning());
    QCOMPARE(port.eventMask(), 0u);

    const QByteArray reply("0842");
    QVERIFY(pty.writeMaster(reply));
    QTRY_COMPARE(port.InputCount(), 4);
    QCoreApplication::processEvents();
    QCOMPARE(receiver.events, 0);

    port.setOnRxChar(handler);
    QVERIFY(port.eventThreadRunning());
    QTRY_COMPARE(receiver.bytes, reply);

    port.setActive(false);
    QVERIFY(!port.eventThreadRunning());
}

void TestComPort::receiveEventsRunOnTheMainThread()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    TComPort port;
    configureLikeLivePort(port, pty.slavePath());
    Receiver receiver;
    port.setOnRxChar(receiver.handler());
    port.setActive(true);

    const QByteArray frame = pattern(15);
    QVERIFY(pty.writeMaster(frame));
    QTRY_COMPARE(receiver.bytes, frame);
    QVERIFY(!receiver.threads.isEmpty());
    for (QThread* thread : receiver.threads)
        QCOMPARE(thread, QCoreApplication::instance()->thread());
}

void TestComPort::inputCountTellsBytesWaiting()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    TComPort port;
    configureLikeLivePort(port, pty.slavePath());
    port.setActive(true);
    QCOMPARE(port.InputCount(), 0);
    QVERIFY(pty.writeMaster(pattern(37)));
    QTRY_COMPARE(port.InputCount(), 37);
    char head[10];
    QCOMPARE(port.Read(head, 10, false), 10);
    QCOMPARE(port.InputCount(), 27);
    port.PurgeInput();
    QCOMPARE(port.InputCount(), 0);
}

void TestComPort::backlogIsWorkedOffOverSeveralEvents()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    TComPort port;
    configureLikeLivePort(port, pty.slavePath());
    port.setActive(true);

    const QByteArray burst = pattern(1000);
    QVERIFY(pty.writeMaster(burst));
    QTRY_COMPARE(port.InputCount(), 1000);

    Receiver receiver;
    port.setOnRxChar(receiver.handler());
    QTRY_COMPARE(receiver.bytes, burst);
    QVERIFY(receiver.events >= 4);
}

void TestComPort::handlerExceptionDoesNotEndTheThread()
{
    QStringList shown;
    HandlerGuard::setErrorDisplay([&shown](const QString& message) { shown.append(message); });

    PtyPair pty;
    QVERIFY(pty.isValid());
    TComPort port;
    configureLikeLivePort(port, pty.slavePath());
    Receiver receiver;
    bool thrown = false;
    port.setOnRxChar([&](TCustomComPort& sender) {
        receiver.handler()(sender);
        if (!thrown) {
            thrown = true;
            throw std::runtime_error("handler failed");
        }
    });
    port.setActive(true);

    QVERIFY(pty.writeMaster("ab"));
    QTRY_COMPARE(shown, QStringList{QStringLiteral("handler failed")});
    QVERIFY(pty.writeMaster("cd"));
    QTRY_COMPARE(receiver.bytes, QByteArray("abcd"));
    QVERIFY(port.eventThreadRunning());
    HandlerGuard::setErrorDisplay([](const QString& message) { qWarning().noquote() << message; });
}

void TestComPort::bytesLeftUnreadAreNotReportedAgain()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    TComPort port;
    configureLikeLivePort(port, pty.slavePath());
    int events = 0;
    port.setOnRxChar([&events](TCustomComPort&) { ++events; });
    port.setActive(true);

    QVERIFY(pty.writeMaster("abc"));
    QTRY_COMPARE(events, 1);
    QVERIFY(pty.writeMaster("d"));
    QTRY_COMPARE(port.InputCount(), 4);
    QTRY_COMPARE(events, 2);
    // A thread re-reporting the unread bytes would have fired many times by now.
    QCoreApplication::processEvents();
    QCOMPARE(events, 2);
}

void TestComPort::unsynchronisedEventsRunOnTheEventThread()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    TComPort port;
    configureLikeLivePort(port, pty.slavePath());
    port.setSynchronizeEvents(false);
    std::atomic<QThread*> handlerThread{nullptr};
    port.setOnRxChar([&handlerThread](TCustomComPort& sender) {
        handlerThread.store(QThread::currentThread());
        sender.setActive(false); // handed over to the main thread
    });
    port.setActive(true);
    QVERIFY(pty.writeMaster("x"));
    QTRY_VERIFY(!port.Active());
    QVERIFY(handlerThread.load() != nullptr);
    QVERIFY(handlerThread.load() != QCoreApplication::instance()->thread());
    QVERIFY(!port.eventThreadRunning());
}

void TestComPort::closingWhileEventsArriveNeverDeadlocks()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    TComPort port;
    configureLikeLivePort(port, pty.slavePath());
    int eventsWhileClosed = 0;
    int events = 0;
    port.setOnRxChar([&](TCustomComPort& sender) {
        if (!sender.Active())
            ++eventsWhileClosed;
        ++events;
        char buffer[256];
        (void)sender.Read(buffer, std::min(sender.InputCount(), 256), false);
    });
    Flooder flooder(pty.masterFd());

    for (int round = 0; round < 200; ++round) {
        port.setActive(true);
        if (round % 2 == 0) {
            // Bytes wait, so the event thread is about to hand over (or is
            // waiting for) a dispatch that this thread never runs before closing.
            QDeadlineTimer deadline(2000);
            while (port.InputCount() == 0 && !deadline.hasExpired())
                QThread::yieldCurrentThread();
        } else {
            const int before = events;
            QTRY_VERIFY(events > before);
        }
        port.setActive(false);
        QVERIFY(!port.eventThreadRunning());
        QCoreApplication::processEvents(); // runs any stale queued dispatch
    }
    QCOMPARE(eventsWhileClosed, 0);
    QVERIFY(events >= 100);
}

void TestComPort::closingFromInsideTheHandler()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    TComPort port;
    configureLikeLivePort(port, pty.slavePath());
    int events = 0;
    port.setOnRxChar([&](TCustomComPort& sender) {
        ++events;
        sender.setActive(false);
    });
    port.setActive(true);
    QVERIFY(pty.writeMaster("x"));
    QTRY_VERIFY(!port.Active());
    QVERIFY(!port.eventThreadRunning());
    QCOMPARE(events, 1);

    // And it opens again with its handler working.
    port.setOnRxChar(nullptr);
    Receiver receiver;
    port.setOnRxChar(receiver.handler());
    port.setActive(true);
    QVERIFY(pty.writeMaster("yz"));
    QTRY_COMPARE(receiver.bytes, QByteArray("yz"));
}

void TestComPort::detachingAndReattachingInsideTheHandler()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    TComPort port;
    configureLikeLivePort(port, pty.slavePath());
    Receiver receiver;
    bool identified = false;
    port.setOnRxChar([&](TCustomComPort& sender) {
        receiver.handler()(sender);
        if (identified)
            return;
        identified = true;
        // The identification: detach, talk, reattach.
        const TNotifyEvent self = sender.OnRxChar();
        sender.setOnRxChar(nullptr);
        QVERIFY(!sender.eventThreadRunning());
        sender.PurgeInput();
        (void)sender.WriteString("K");
        sender.setOnRxChar(self);
        QVERIFY(sender.eventThreadRunning());
    });
    port.setActive(true);

    QVERIFY(pty.writeMaster("1"));
    QTRY_VERIFY(identified);
    QCOMPARE(pty.readMaster(1), QByteArray("K"));
    QVERIFY(pty.writeMaster("234"));
    QTRY_COMPARE(receiver.bytes, QByteArray("1234"));
}

void TestComPort::destroyingThePortInsideTheHandler()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    auto port = std::make_unique<TComPort>();
    configureLikeLivePort(*port, pty.slavePath());
    int events = 0;
    port->setOnRxChar([&](TCustomComPort&) {
        ++events;
        port.reset();
    });
    port->setOnTxEmpty([&](TCustomComPort&) { ++events; });
    port->setActive(true);
    QVERIFY(pty.writeMaster("x"));
    QTRY_VERIFY(!port);
    QCoreApplication::processEvents();
    QCOMPARE(events, 1);

    TComPort next;
    configureLikeLivePort(next, pty.slavePath());
    next.setActive(true);
    QVERIFY(next.Active());
}

void TestComPort::destroyingAnOpenPortReleasesTheDevice()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    Receiver receiver;
    {
        TComPort port;
        configureLikeLivePort(port, pty.slavePath());
        port.setOnRxChar(receiver.handler());
        port.setActive(true);
        QVERIFY(pty.writeMaster("ab"));
        QTRY_COMPARE(receiver.bytes, QByteArray("ab"));
        QVERIFY(pty.writeMaster("cd"));
    }
    QCoreApplication::processEvents();
    TComPort next;
    configureLikeLivePort(next, pty.slavePath());
    next.setActive(true);
    QVERIFY(next.Active());
}

void TestComPort::vanishingDeviceIsReportedAndClosed()
{
    auto pty = std::make_unique<PtyPair>();
    QVERIFY(pty->isValid());
    TComPort port;
    configureLikeLivePort(port, pty->slavePath());
    Receiver receiver;
    port.setOnRxChar(receiver.handler());
    ErrorRecorder errors;
    port.setOnError(errors.handler());
    int closes = 0;
    port.setAfterClose([&closes](TCustomComPort&) { ++closes; });
    port.setActive(true);

    std::thread streamer([&pty] {
        const QByteArray frame = pattern(15);
        for (int i = 0; i < 50; ++i) {
            if (!pty->writeMaster(frame))
                break;
            QThread::msleep(1);
        }
        pty->closeMaster(); // the cable is pulled mid-stream
    });
    QTRY_VERIFY(!port.Active());
    streamer.join();

    QVERIFY(!port.eventThreadRunning());
    QCOMPARE(closes, 1);
    QVERIFY(!errors.codes.isEmpty());
    QVERIFY(errors.codes.contains(EIO));
    for (QThread* thread : errors.threads)
        QCOMPARE(thread, QCoreApplication::instance()->thread());
    QVERIFY(receiver.bytes.size() > 0);
}

void TestComPort::portListHasExtraAndEnvironmentPorts()
{
    qputenv("AUDIMARK_PORTS", "/tmp/audimark-a:/tmp/audimark-b::/tmp/audimark-a");
    TComPort::setExtraPorts({QStringLiteral("/tmp/audimark-b"), QStringLiteral("/tmp/audimark-c")});
    QStringList ports{QStringLiteral("kept")};
    TComPort::EnumComPorts(ports);
    qunsetenv("AUDIMARK_PORTS");
    TComPort::setExtraPorts({});

    QCOMPARE(ports.first(), QStringLiteral("kept"));
    for (const char* name : {"/tmp/audimark-a", "/tmp/audimark-b", "/tmp/audimark-c"})
        QCOMPARE(ports.count(QLatin1String(name)), 1);
    QVERIFY(ports.indexOf("/tmp/audimark-b") < ports.indexOf("/tmp/audimark-c"));
    QVERIFY(ports.indexOf("/tmp/audimark-c") < ports.indexOf("/tmp/audimark-a"));
    QCOMPARE(ports.removeDuplicates(), 0);
    QVERIFY(!ports.contains(QString()));
}

AUDIMARK_TEST_MAIN_CORE(TestComPort)
#include "tst_comport.moc"
