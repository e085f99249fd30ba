// Writes the seed inputs of the fuzz targets from the program's own writers
// and the virtual meter: live frames the meter sends, logger images it
// holds, chart blocks and graph files the graph window saves, text and CSV
// files the graph export writes, and the command frames the program sends.
// Each target's seeds go to <directory>/<target>/; the kept corpus is these
// seeds minimised with libFuzzer's -merge=1 (see README.md).
//
// Usage: audimark_fuzz_corpus DIRECTORY

#include "files/formats/ExportRange.h"
#include "files/formats/GraphExport.h"
#include "files/formats/GraphFile.h"
#include "graph/PESGraph.h"
#include "graph/PESGraphBlock.h"
#include "graph/PESGraphTestData.h"
#include "logger/MemoryDownload.h"
#include "logger/SetupFrames.h"
#include "meter/CommandFrame.h"
#include "meter/LiveFrame.h"
#include "tools/virtual-meter/LoggerImageBuilder.h"
#include "tools/virtual-meter/MeterProtocol.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QtEndian>

#include <cstdio>

namespace {
QDir outDir;

void writeSeed(const QString& target, const QString& name, const QByteArray& bytes)
{
    outDir.mkpath(target);
    QFile file(outDir.filePath(target + QLatin1Char('/') + name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
}

// A byte stream cut into events of the given size, each behind its size byte
// (the live stream target's input).
QByteArray asEvents(const QByteArray& stream, int eventSize)
{
    QByteArray input;
    for (qsizetype at = 0; at < stream.size(); at += eventSize) {
        const QByteArray event = stream.mid(at, eventSize);
        input.append(char(event.size() - 1)).append(event);
    }
    return input;
}

QByteArray command(char letter)
{
    return CommandFrame(letter).toByteArray();
}

// The live frames a virtual meter sends while the program asks for them,
// with the keys pressed in between.
QByteArray liveFrames(vmeter::MeterModel model, int frames)
{
    vmeter::ProtocolSettings settings;
    settings.model = model;
    vmeter::MeterProtocol meter(settings, [] { return QDateTime(QDate(2010, 4, 14), QTime(12, 0)); });
    const char keys[] = {CommandLetter::FastSlow, CommandLetter::Weighting, CommandLetter::Level,
                         CommandLetter::MaxMin, CommandLetter::MaxMin, CommandLetter::MaxMinEnd,
                         CommandLetter::Record842};
    vmeter::SteadyTime now{};
    QByteArray stream;
    (void)meter.receive(command(CommandLetter::StartLive), now);
    for (int i = 0; i < frames; ++i) {
        now += std::chrono::milliseconds(100);
        (void)meter.poll(now);
        for (const vmeter::OutgoingMessage& m : meter.takeOutput())
            stream.append(m.bytes);
        (void)meter.receive(command(CommandLetter::NextFrame), now);
        if (i % 7 == 3)
            (void)meter.receive(command(keys[(i / 7) % sizeof keys]), now);
    }
    return stream;
}

void liveStreamSeeds()
{
    const QByteArray stream842 = liveFrames(vmeter::MeterModel::Model842, 60);
    writeSeed("livestream", "frames-842-one-per-event", asEvents(stream842, LiveFrame::Size));
    writeSeed("livestream", "frames-842-256-per-event", asEvents(stream842, 256));
    writeSeed("livestream", "frames-841-7-per-event",
              asEvents(liveFrames(vmeter::MeterModel::Model841, 30), 7));
    // Noise, a cut frame and a frame with a wrong end byte among real ones.
    QByteArray noisy = QByteArray::fromHex("55aa02ff") + stream842.left(40);
    noisy += stream842.mid(45, 14) + QByteArray(1, '\x04') + stream842.mid(60, 60);
    writeSeed("livestream", "frames-with-noise", asEvents(noisy, 11));
}

// The image as the download delivers it: the used memory in 64-byte blocks.
QByteArray downloaded(const vmeter::LoggerImageBuilder& builder)
{
    const int used = builder.endAddress() + 1;
    return builder.image().left((used + 63) / 64 * 64);
}

void loggerImageSeeds()
{
    for (int sets : {1, 3, 12, 60}) {
        vmeter::LoggerImageBuilder builder;
        builder.appendGenerated(sets, std::uint32_t(sets));
        const QString name = QStringLiteral("image-%1-sets").arg(sets);
        writeSeed("loggerimage", name, downloaded(builder));
        writeSeed("collection", name + ".rec", downloaded(builder));
    }
    vmeter::LoggerImageBuilder empty;
    writeSeed("loggerimage", "image-empty", downloaded(empty));
    vmeter::LoggerImageBuilder full;
    full.appendGenerated(4000, 7);
    writeSeed("loggerimage", "image-full-memory", full.image());
    writeSeed("collection", "image-full-memory.rec", full.image());
    // The largest download the meter can give: the rest of its memory erased.
    const QByteArray largest = full.image() + QByteArray(MemoryDownload::MaxUsedSize - full.image().size(), '\xFF');
    writeSeed("loggerimage", "image-largest-download", largest);
}

// Chart blocks: the first byte is the target's mode (bit 0: look only, bit
// 1: length and checksum put right by the target, which then gets the block
// without its checksum).
void chartSeeds()
{
    int argc = 1;
    char name[] = "audimark_fuzz_corpus";
    char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    auto add = [](const QString& seed, const QByteArray& block, bool look) {
        const char kind = look ? 1 : 0;
        writeSeed("chartblock", seed, QByteArray(1, kind) + block);
        writeSeed("chartblock", seed + "-sealed", QByteArray(1, char(kind | 2)) + block.chopped(4));
        char length[4];
        qToLittleEndian<quint32>(quint32(block.size()), length);
        writeSeed("graphfile", seed + ".ghf", QByteArray(length, 4) + block);
    };

    PESGraph graph;
    graph.setDefaultLook();
    add("chart-empty", graph.saveWholeGraph(), false);
    add("look-default", graph.saveCustomization(), true);
    for (int points : {1, 40}) {
        PESGraphTestData::prepare(graph, points);
        add(QStringLiteral("chart-%1-points").arg(points), graph.saveWholeGraph(), false);
    }
    graph.setMainTitle("Traffic noise");
    graph.setSubsetColor(0, Qt::red);
    graph.setGridStyle(PESGridStyle(1));
    graph.setVertLineAnnotation(0, PESGraphTestData::kStartDay + 3 * PESGraphTestData::kSecond);
    graph.setVertLineAnnotationText(0, "|tA");
    PESGraphAnnotation note;
    note.x = PESGraphTestData::kStartDay;
    note.y = 80;
    note.text = QStringLiteral("Lärm");
    graph.setGraphAnnotation(2, note);
    add("chart-annotated", graph.saveWholeGraph(), false);
    add("look-customised", graph.saveCustomization(), true);

    // Found before these targets existed: a block with a valid checksum that
    // declares 2,000,000,000 points and no series was taken, and the
    // statistics died allocating for them.
    PESGraphState pointsWithoutSeries;
    pointsWithoutSeries.look = graph.look();
    pointsWithoutSeries.content.points = 2'000'000'000;
    const QByteArray unsound = PESGraphBlock::encodeWhole(pointsWithoutSeries);
    writeSeed("chartblock", "crash-points-without-series", QByteArray(1, 0) + unsound);
    char length[4];
    qToLittleEndian<quint32>(quint32(unsound.size()), length);
    writeSeed("graphfile", "crash-points-without-series.ghf", QByteArray(length, 4) + unsound);
}

// Text and CSV files as the graph export writes them; the first byte is the
// target's mode (bit 0: TAB, bits 1-2: locale C, de_DE, en_US, zh_TW).
void tabularSeeds()
{
    const int points = 30;
    const auto x = PESGraphTestData::times(points);
    const auto y = PESGraphTestData::levels(points);
    const QLocale locales[] = {QLocale::c(), QLocale(QLocale::German, QLocale::Germany),
                               QLocale(QLocale::English, QLocale::UnitedStates),
                               QLocale(QLocale::Chinese, QLocale::Taiwan)};
    for (int l = 0; l < 4; ++l)
        for (bool tab : {false, true}) {
            const QString path = outDir.filePath(QStringLiteral("export.tmp"));
            if (!GraphExport::write(path, x, y, ExportRange::all(points), tab ? QChar('\t') : QChar(','),
                                   locales[l])
                     .written())
                std::fprintf(stderr, "export failed\n");
            QFile file(path);
            (void)file.open(QIODevice::ReadOnly);
            const QByteArray text = char((l << 1) | (tab ? 1 : 0)) + file.readAll();
            file.remove();
            const QString name = QStringLiteral("export-%1-%2").arg(locales[l].name(), tab ? "txt" : "csv");
            writeSeed("textimport", name, text);
            writeSeed("tabular", name, text);
        }
}

// What the program sends: events of a time step, a size and the bytes
// (the meter commands target's input), behind the meter's mode byte.
void meterCommandSeeds()
{
    auto events = [](const QList<QByteArray>& frames, int stepTenMs) {
        QByteArray input(1, 0);
        for (const QByteArray& frame : frames)
            input.append(char(stepTenMs)).append(char(frame.size())).append(frame);
        return input;
    };
    QList<QByteArray> live{command(CommandLetter::Poll), command(CommandLetter::Identify),
                           command(CommandLetter::StartLive)};
    for (int i = 0; i < 6; ++i)
        live << command(CommandLetter::NextFrame);
    live << command(CommandLetter::Weighting) << command(CommandLetter::Record842);
    writeSeed("metercommands", "live", events(live, 10));

    QList<QByteArray> setup{SetupFrames::c(), SetupFrames::rtc(),
                            SetupFrames::clock(QDateTime(QDate(2026, 12, 7), QTime(14, 0))),
                            SetupFrames::interval(0x00, 0x05), SetupFrames::firmware(),
                            SetupFrames::meterTime(), SetupFrames::informationStart(),
                            SetupFrames::memoryRead(0x0B), SetupFrames::memoryWrite(0x300, 0x5A),
                            SetupFrames::informationStop(), SetupFrames::erase(), SetupFrames::boot(),
                            SetupFrames::startLive()};
    writeSeed("metercommands", "setup", events(setup, 20));

    QList<QByteArray> download;
    for (quint32 address : {0x0B, 0x0C, 0x0D})
        download << SetupFrames::memoryRead(address);
    download << command('P') << command('y') << command('n') << command('y') << command('Q');
    writeSeed("metercommands", "download", events(download, 5));
}
// What users type and settings hold: a rate and a point count, logger
// intervals, auto-loading hours, a saved rate out of range, and a meter's
// clock reply.
void numberSeeds()
{
    const QList<QPair<const char*, QByteArray>> seeds{
        {"typed-rate", "0.2\n 2000"},          {"typed-rate-de", "0,5\n  100"},
        {"typed-huge-rate", "1e39\n99999"},     {"logger-interval", "00\n05"},
        {"cli-interval", "01:00\n1"},          {"autoload-hours", " 24\n842"},
        {"saved-huge-rate", "1e300\n-1"},      {"meter-clock", QByteArray::fromHex("10001207140000")},
        // Found before these targets existed: intervals that became inf as
        // a float and then an integer of microseconds or seconds.
        {"crash-typed-rate-1e20", "1e20\n 2000"}, {"crash-saved-rate-1e39", "1e39\n0"}};
    for (const auto& [name, text] : seeds)
        writeSeed("numbers", name, text);
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
        return 2;
    }
    outDir = QDir(QString::fromLocal8Bit(argv[1]));
    outDir.mkpath(".");
    liveStreamSeeds();
    loggerImageSeeds();
    tabularSeeds();
    meterCommandSeeds();
    numberSeeds();
    chartSeeds();
    return 0;
}
