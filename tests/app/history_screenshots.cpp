// Pictures of the History window, run by hand under xvfb-run with a window
// manager: the main window with File > "History..." open on an archive of a
// few measurements, then with one of them opened into a graph window.
//   history_screenshots OUTPUT_DIRECTORY

#include "app/TfrmHistory.h"
#include "app/TfrmMain.h"
#include "archive/Archive.h"
#include "archive/SampleChunk.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <cstdio>

namespace {
bool grabScreen(const QString& path)
{
    const bool ok = QGuiApplication::primaryScreen()->grabWindow(0).save(path);
    std::printf("%s %s\n", ok ? "saved" : "FAILED", qPrintable(path));
    return ok;
}

void store(Archive& archive, MeasurementKind kind, const QDateTime& start, qint64 intervalMs,
           int points, const QString& site, const QString& notes, bool finished = true)
{
    Measurement m;
    m.kind = kind;
    m.start = start;
    m.meterModel = kind == MeasurementKind::Import ? QString() : QStringLiteral("QV58M-842");
    m.meterPort = kind == MeasurementKind::Import ? QString() : QStringLiteral("/dev/ttyUSB0");
    m.intervalMs = intervalMs;
    m.weighting = QStringLiteral("A");
    m.site = site;
    m.notes = notes;
    const qint64 id = archive.addMeasurement(m).value_or(0);
    std::vector<double> x;
    std::vector<float> y;
    const qint64 ms0 = start.toMSecsSinceEpoch() + start.offsetFromUtc() * 1000LL + 2209161600000LL;
    for (int i = 0; i < points; ++i) {
        x.push_back(SampleChunk::daysFromMs(ms0 + qint64(i) * intervalMs));
        y.push_back(
            float(std::round((58.0 + 8.0 * std::sin(i * 0.05) + (i % 11) * 0.5) * 10.0) / 10.0));
    }
    (void)archive.appendSamples(id, x, y);
    if (finished)
        (void)archive.finish(id);
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("QV58M"));
    if (argc < 2) {
        std::fprintf(stderr, "usage: history_screenshots OUTPUT_DIRECTORY\n");
        return 2;
    }
    const QDir output(QString::fromLocal8Bit(argv[1]));
    QTemporaryDir data;
    ArchiveOpenResult opened = Archive::open(data.filePath(QStringLiteral("archive.sqlite")));
    if (!opened.archive)
        return 1;
    Archive& archive = *opened.archive;
    const auto at = [](int month, int day, int hour) {
        return QDateTime(QDate(2026, month, day), QTime(hour, 0), Qt::OffsetFromUTC, 3600);
    };
    store(archive, MeasurementKind::Import, at(10, 2, 9), 1000, 900, {},
          QStringLiteral("Sent by the client"));
    store(archive, MeasurementKind::Logger, at(11, 12, 22), 2000, 4000,
          QStringLiteral("Factory gate"), QStringLiteral("Night shift"));
    store(archive, MeasurementKind::RealTime, at(11, 20, 14), 1000, 1800, QStringLiteral("Roof"),
          {});
    store(archive, MeasurementKind::AutoLoad, at(12, 1, 6), 60000, 600, QStringLiteral("Quarry"),
          QStringLiteral("Cut off by a power failure"), false);
    store(archive, MeasurementKind::Logger, at(12, 5, 7), 1000, 3600,
          QStringLiteral("Main street 12"), QStringLiteral("Rush hour"));

    TfrmMain::Environment environment;
    environment.listPorts = [] { return QStringList{}; };
    environment.dataDirectory = data.path();
    TfrmMain w(environment);
    QSignalSpy started(&w, &TfrmMain::startUpFinished);
    w.showMaximized();
    if (!started.wait(20000))
        return 1;
    w.setArchive(&archive);
    w.findChild<QAction*>(QStringLiteral("History1"))->trigger();
    QTest::qWait(800);
    (void)grabScreen(output.filePath(QStringLiteral("history.png")));

    TfrmHistory* history = w.historyWindow();
    if (!history)
        return 1;
    history->selectRow(1);
    (void)history->btnOpenClick();
    QTest::qWait(800);
    (void)grabScreen(output.filePath(QStringLiteral("history-opened.png")));
    return 0;
}
