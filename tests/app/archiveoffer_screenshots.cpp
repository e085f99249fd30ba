// Pictures of the offer to keep an opened file in the archive, run by hand
// under xvfb-run with a window manager: a graph file opened with its bar,
// then the bar after "Keep in the archive".
//   archiveoffer_screenshots OUTPUT_DIRECTORY

#include "app/ArchiveOfferBar.h"
#include "app/ArchiveSession.h"
#include "app/FileScript.h"
#include "app/TfrmMain.h"
#include "files/formats/GraphFile.h"
#include "graph/PESGraphBlock.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
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
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("QV58M"));
    if (argc < 2) {
        std::fprintf(stderr, "usage: archiveoffer_screenshots OUTPUT_DIRECTORY\n");
        return 2;
    }
    const QDir output(QString::fromLocal8Bit(argv[1]));
    QTemporaryDir data;
    const QString file = data.filePath(QStringLiteral("Main street 12.ghf"));
    PESGraphState state;
    state.look = PESGraphLook::programDefault();
    state.content.points = 600;
    PESGraphSeries series;
    for (int i = 0; i < 600; ++i) {
        series.x.push_back(46000.375 + i / 86400.0);
        series.y.push_back(float(std::round((62.0 + 9.0 * std::sin(i * 0.04)) * 10.0) / 10.0));
    }
    state.content.series = {series};
    if (!GraphFile::write(file, PESGraphBlock::encodeWhole(state)))
        return 1;

    ArchiveSession session;
    if (!session.open(data.filePath(QStringLiteral("archive.sqlite"))))
        return 1;
    FileScript files;
    files.choices << TfrmOpenSave::SingleSet;
    files.openNames << file;
    TfrmMain::Environment environment;
    environment.listPorts = [] { return QStringList{}; };
    environment.dataDirectory = data.path();
    environment.fileDialogs = files.runner();
    environment.archive = &session;
    TfrmMain w(environment);
    QSignalSpy started(&w, &TfrmMain::startUpFinished);
    w.showMaximized();
    if (!started.wait(20000))
        return 1;
    w.findChild<QAction*>(QStringLiteral("Open1"))->trigger();
    QTest::qWait(800);
    (void)grabScreen(output.filePath(QStringLiteral("archive-offer.png")));
    auto* bar = w.findChild<ArchiveOfferBar*>(ArchiveOfferBar::ObjectName);
    if (!bar)
        return 1;
    bar->btnKeepInArchive()->click();
    QTest::qWait(800);
    (void)grabScreen(output.filePath(QStringLiteral("archive-offer-kept.png")));
    return 0;
}
