// The graph file container: a block behind its 32-bit little-endian length.
// Damaged files are refused with a message before anything is allocated.

#include "common/FileBytes.h"
#include "common/TestMain.h"
#include "files/formats/GraphFile.h"

#include <QTemporaryDir>
#include <QtEndian>

#include <sys/resource.h>
#include <sys/stat.h>

namespace {
QByteArray lengthField(quint32 length)
{
    QByteArray field(4, '\0');
    qToLittleEndian<quint32>(length, field.data());
    return field;
}

// Caps the process's address space a little above what it uses, so that an
// allocation of the size a length field claims would fail instead of
// passing unnoticed.
class AddressSpaceCap
{
public:
    explicit AddressSpaceCap(rlim_t headroomBytes)
    {
        getrlimit(RLIMIT_AS, &saved_);
        QFile status(QStringLiteral("/proc/self/status"));
        rlim_t used = 0;
        if (status.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : status.readAll().split('\n')) {
                if (line.startsWith("VmSize:"))
                    used = rlim_t(line.mid(7).trimmed().split(' ').first().toULongLong()) * 1024;
            }
        }
        rlimit capped = saved_;
        capped.rlim_cur = used + headroomBytes;
        active_ = used > 0 && setrlimit(RLIMIT_AS, &capped) == 0;
    }
    ~AddressSpaceCap() { setrlimit(RLIMIT_AS, &saved_); }
    AddressSpaceCap(const AddressSpaceCap&) = delete;
    AddressSpaceCap& operator=(const AddressSpaceCap&) = delete;
    [[nodiscard]] bool active() const { return active_; }

private:
    rlimit saved_{};
    bool active_ = false;
};
} // namespace

class TestGraphFile : public QObject
{
    Q_OBJECT

    QTemporaryDir fifoDir_;

private slots:
    void roundTrip_data()
    {
        QTest::addColumn<QByteArray>("block");
        QTest::newRow("empty block") << QByteArray();
        QTest::newRow("a few bytes") << QByteArray("\x00\x01\xFE\xFF", 4);
        QByteArray large(300000, '\0');
        for (int i = 0; i < large.size(); ++i)
            large[i] = char(i * 7);
        QTest::newRow("300,000 bytes") << large;
    }

    void roundTrip()
    {
        QFETCH(QByteArray, block);
        QTemporaryDir dir;
        const QString path = dir.filePath("graph.ghf");
        QVERIFY(writeBytes(path, "an earlier, longer file of another kind"));
        QString error;
        QVERIFY(GraphFile::write(path, block, &error));
        QVERIFY(error.isEmpty());
        QCOMPARE(fileBytes(path), lengthField(quint32(block.size())) + block);

        const GraphFile::ReadResult read = GraphFile::read(path);
        QVERIFY2(read.block.has_value(), qPrintable(read.error));
        QCOMPARE(*read.block, block);
    }

    void bytesAfterTheBlockAreIgnored()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("graph.ghf");
        QVERIFY(writeBytes(path, lengthField(3) + "abcdef"));
        const GraphFile::ReadResult read = GraphFile::read(path);
        QCOMPARE(read.block, std::optional<QByteArray>("abc"));
    }

    void damagedFileIsRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("3-byte file") << QByteArray("\x01\x00\x00", 3);
        QTest::newRow("length one past the rest") << lengthField(10) + QByteArray(9, 'x');
        QTest::newRow("length 2,000,000,000 in a tiny file")
            << lengthField(2000000000) + QByteArray("tiny");
        QTest::newRow("length 0xFFFFFFFF") << lengthField(0xFFFFFFFF) + QByteArray(8, 'x');
    }

    void damagedFileIsRefused()
    {
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        const QString path = dir.filePath("damaged.ghf");
        QVERIFY(writeBytes(path, bytes));
        GraphFile::ReadResult read;
        {
            const AddressSpaceCap cap(256 * 1024 * 1024);
            QVERIFY(cap.active());
            read = GraphFile::read(path);
        }
        QVERIFY(!read.block.has_value());
        QVERIFY2(read.error.contains(QDir::toNativeSeparators(path)), qPrintable(read.error));
        QVERIFY2(read.error.contains("shorter than its length field"), qPrintable(read.error));
    }

    // A length the (sparse) file can hold but no chart of the program needs.
    void lengthBeyondAnyChartIsRefused()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("sparse.ghf");
        QVERIFY(writeBytes(path, lengthField(0xFFFFFFFF)));
        QVERIFY(QFile::resize(path, qint64(5) << 30));
        GraphFile::ReadResult read;
        {
            const AddressSpaceCap cap(256 * 1024 * 1024);
            QVERIFY(cap.active());
            read = GraphFile::read(path);
        }
        QVERIFY(!read.block.has_value());
        QVERIFY2(read.error.contains("its length field is too large"), qPrintable(read.error));
    }

    // Refused at once: a FIFO with no writer would hold a plain open for ever.
    void nonRegularFileIsRefused_data()
    {
        QTest::addColumn<QString>("path");
        const QString fifo = fifoDir_.filePath("pipe.ghf");
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        QTest::newRow("a FIFO without a writer") << fifo;
        QTest::newRow("/dev/zero") << QStringLiteral("/dev/zero");
        QTest::newRow("a directory") << fifoDir_.path();
    }

    void nonRegularFileIsRefused()
    {
        QFETCH(QString, path);
        const GraphFile::ReadResult read = GraphFile::read(path);
        QVERIFY(!read.block.has_value());
        QCOMPARE(read.error, QStringLiteral("Cannot open the file %1: it is not a regular file.")
                                 .arg(QDir::toNativeSeparators(path)));
    }

    void missingFileIsRefused()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("missing.ghf");
        const GraphFile::ReadResult read = GraphFile::read(path);
        QVERIFY(!read.block.has_value());
        QVERIFY(read.error.contains(QDir::toNativeSeparators(path)));
        QVERIFY2(read.error.contains("No such file"), qPrintable(read.error));
    }

    void uncreatableFileFails()
    {
        QTemporaryDir dir;
        QVERIFY(writeBytes(dir.filePath("plain"), "not a directory"));
        const QString path = dir.filePath("plain/graph.ghf");
        QString error;
        QVERIFY(!GraphFile::write(path, "block", &error));
        QVERIFY2(error.contains(QDir::toNativeSeparators(path)), qPrintable(error));
        QCOMPARE(fileBytes(dir.filePath("plain")), QByteArray("not a directory"));
    }
};

AUDIMARK_TEST_MAIN_CORE(TestGraphFile)
#include "tst_graphfile.moc"
