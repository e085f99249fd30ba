// Pictures of "Load Data" for the documentation, taken in the main window at
// 1280 x 800 against a virtual model 842 with five generated data sets: the
// progress dialog half-way through the transfer (alone, and over the main
// window), the DataLogger window after the download (set 0) and after a
// click on the third row of its list. Run under xvfb-run
// or offscreen:
//   logger_screenshots OUTPUT_DIR

#include "app/LoggerDialogs.h"
#include "app/TfrmMain.h"
#include "files/dialogs/TfrmScope.h"
#include "graph/TfrmGraph.h"
#include "logger/AcceleratedMeterClock.h"
#include "tools/virtual-meter/VirtualMeter.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {
bool save(const QPixmap& picture, const QString& path)
{
    const bool ok = picture.save(path);
    std::printf("%s %s\n", ok ? "saved" : "FAILED", qPrintable(path));
    return ok;
}

// The download's waits all pass through the clock: the one after a block
// finds the progress dialog on the screen, and half-way it is photographed.
class PhotographingClock : public AcceleratedMeterClock
{
public:
    explicit PhotographingClock(QString directory)
        : AcceleratedMeterClock(10), directory_(std::move(directory))
    {
    }

    void setMainWindow(QWidget* window) { mainWindow_ = window; }

    void Delay(int ms) override
    {
        AcceleratedMeterClock::Delay(ms);
        if (!taken_ && mainWindow_)
            photograph();
    }

    bool taken() const { return taken_; }

private:
    void photograph()
    {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<TfrmScope*>(top);
            if (!dialog || !dialog->isVisible())
                continue;
            const QProgressBar* bar = dialog->Progress1();
            if (bar->value() * 2 < bar->maximum())
                return;
            taken_ = true;
            const QPixmap alone = dialog->grab();
            save(alone, directory_ + "/logger-progress.png");
            // Over the main window, with a plain frame where the window
            // manager would draw one.
            QPixmap over = mainWindow_->grab();
            QPainter painter(&over);
            const QPoint at =
                dialog->mapToGlobal(QPoint(0, 0)) - mainWindow_->mapToGlobal(QPoint(0, 0));
            const QRect frame(at - QPoint(4, 24),
                              alone.size() / alone.devicePixelRatio() + QSize(8, 28));
            painter.fillRect(frame, QColor(60, 90, 140));
            painter.setPen(Qt::white);
            painter.drawText(frame.adjusted(8, 0, 0, 0).topLeft() + QPoint(0, 17),
                             dialog->windowTitle());
            painter.drawPixmap(at, alone);
            painter.end();
            save(over, directory_ + "/logger-progress-over-main.png");
            return;
        }
    }

    QWidget* mainWindow_ = nullptr;
    QString directory_;
    bool taken_ = false;
};
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("QV58M"));
    if (argc < 2) {
        std::fprintf(stderr, "usage: logger_screenshots OUTPUT_DIR\n");
        return 2;
    }
    const QString directory = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    QDir().mkpath(directory);
    QTemporaryDir dataDir;
    // Dates as a user in the United States reads them.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));

    vmeter::VirtualMeterOptions options;
    options.fast = true;
    options.protocol.model = vmeter::MeterModel::Model842;
    options.protocol.idReply = QByteArrayLiteral("0842");
    options.protocol.logger.generatedSets = 5;
    vmeter::VirtualMeter meter(options);
    if (!meter.start()) {
        std::fprintf(stderr, "the virtual meter could not start\n");
        return 1;
    }

    TfrmMain::Environment environment;
    environment.listPorts = [&meter] { return QStringList{meter.slavePath()}; };
    environment.dataDirectory = dataDir.path();
    environment.loggerDialogs.exec = [](QMessageBox& box) {
        std::fprintf(stderr, "unexpected message: %s\n", qPrintable(box.text()));
        return QMessageBox::Cancel;
    };
    PhotographingClock clock(directory);
    environment.clock = &clock;
    TfrmMain w(environment);
    clock.setMainWindow(&w);

    QSignalSpy finished(&w, &TfrmMain::startUpFinished);
    w.resize(1280, 800);
    w.show();
    if (!finished.wait(20000))
        return 1;
    if (!QTest::qWaitFor([&w] { return w.link().MeterConnected(); }, 10000))
        return 1;
    w.findChild<QAction*>(QStringLiteral("LoadData1"))->trigger();
    for (int i = 0; i < 10; ++i) {
        QApplication::processEvents();
        QTest::qWait(30);
    }
    save(w.grab(), directory + "/logger-datalogger.png");

    // The user clicks the third set.
    if (TfrmGraph* graph = w.graphState().LoggerGraph) {
        auto* grid = graph->findChild<QTableWidget*>(QStringLiteral("Grid2"));
        const QRect third = grid->visualRect(grid->model()->index(2, 1));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, third.center());
        for (int i = 0; i < 10; ++i) {
            QApplication::processEvents();
            QTest::qWait(30);
        }
        save(w.grab(), directory + "/logger-datalogger-set3.png");
    }
    meter.stop();
    return clock.taken() ? 0 : 1;
}
