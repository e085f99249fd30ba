// Cost of the live receive path without the port: cutting frames out of a
// noisy byte stream and decoding them. Run by hand; not part of the test run.

#include "meter/LiveFrame.h"
#include "meter/LiveFrameCutter.h"

#include <QtTest>

class BenchLivePath : public QObject
{
    Q_OBJECT

private slots:
    void cutAndDecode()
    {
        const QByteArray frame = QByteArray::fromHex("0218E102BC02BC000000000941 0703");
        QByteArray stream;
        constexpr int FramesPerRun = 200000;
        for (int i = 0; i < FramesPerRun; ++i) {
            if (i % 10 == 0)
                stream += QByteArray::fromHex("55AA02");
            stream += frame;
        }
        int decoded = 0;
        float sum = 0;
        QBENCHMARK {
            QByteArray buffer;
            // Arrives as the port hands it over: at most 256 bytes per event.
            for (qsizetype at = 0; at < stream.size(); at += 256) {
                buffer.append(stream.constData() + at, std::min<qsizetype>(256, stream.size() - at));
                while (LiveFrameCutter::seekFrame(buffer)) {
                    const MeterReading r = decodeFrame(reinterpret_cast<const std::uint8_t*>(buffer.constData()));
                    buffer.remove(0, LiveFrame::Size);
                    sum += r.level;
                    ++decoded;
                }
            }
        }
        QVERIFY(decoded % FramesPerRun == 0);
        QVERIFY(sum > 0);
    }
};

QTEST_GUILESS_MAIN(BenchLivePath)
#include "bench_livepath.moc"
