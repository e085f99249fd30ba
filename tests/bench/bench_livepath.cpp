// Cost of the live receive path without the port: cutting frames out of a
// noisy byte stream and decoding them, as the receive handler does, beside
// the same stream moved through the same buffer in frame-sized pieces with
// no search and no decoding (the buffer handling alone). Also prints the
// cost per frame against the time a frame takes on the wire. Run by hand;
// not part of the test run.

#include "common/BenchPairs.h"
#include "meter/LiveFrame.h"
#include "meter/LiveFrameCutter.h"

#include <QtTest>

class BenchLivePath : public QObject
{
    Q_OBJECT

private slots:
    void cutAndDecode()
    {
        const QByteArray frame = QByteArray::fromHex("0218E102BC02BC0000000009410703");
        QByteArray stream;
        constexpr int FramesPerRun = 200000;
        for (int i = 0; i < FramesPerRun; ++i) {
            if (i % 10 == 0)
                stream += QByteArray::fromHex("55AA02");
            stream += frame;
        }
        // Arrives as the port hands it over: at most 256 bytes per event.
        const auto feed = [&](auto takeFrames) {
            QByteArray buffer;
            for (qsizetype at = 0; at < stream.size(); at += 256) {
                buffer.append(stream.constData() + at,
                              std::min<qsizetype>(256, stream.size() - at));
                takeFrames(buffer);
            }
        };
        int decoded = 0;
        float sum = 0;
        int pieces = 0;
        const BenchPairs::Figures f = BenchPairs::timeInTurn(
            [&] {
                decoded = 0;
                feed([&](QByteArray& buffer) {
                    while (LiveFrameCutter::seekFrame(buffer)) {
                        const MeterReading r =
                            decodeFrame(reinterpret_cast<const std::uint8_t*>(buffer.constData()));
                        buffer.remove(0, LiveFrame::Size);
                        sum += r.level;
                        ++decoded;
                    }
                });
            },
            [&] {
                pieces = 0;
                feed([&](QByteArray& buffer) {
                    while (buffer.size() >= LiveFrame::Size) {
                        sum += float(buffer.at(1));
                        buffer.remove(0, LiveFrame::Size);
                        ++pieces;
                    }
                });
            });
        QCOMPARE(decoded, FramesPerRun);
        QVERIFY(pieces > 0);
        QVERIFY(sum > 0);
        QTest::setBenchmarkResult(f.oursMs, QTest::WalltimeMilliseconds);
        BenchPairs::report("200000 frames cut + decoded", "the buffer handling alone", f);
        // 15 bytes of 10 bits each at 9600 baud.
        constexpr double FrameOnWireMs = 15 * 10 * 1000.0 / 9600;
        const double perFrameUs = 1000.0 * f.oursMs / FramesPerRun;
        qInfo("%.3f us per frame, %.4f %% of the %.1f ms a frame takes on the wire", perFrameUs,
              100.0 * perFrameUs / 1000.0 / FrameOnWireMs, FrameOnWireMs);
    }
};

QTEST_GUILESS_MAIN(BenchLivePath)
#include "bench_livepath.moc"
