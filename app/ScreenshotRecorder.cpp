#include "app/ScreenshotRecorder.h"

#include "app/TfrmMain.h"
#include "files/dialogs/TfrmAbout.h"

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <cstdio>

ScreenshotRecorder::ScreenshotRecorder(TfrmMain& window, TfrmAbout& splash,
                                       const QString& directory)
    : window_(window), splash_(&splash), directory_(directory)
{
    (void)QDir().mkpath(directory_);
    // Without a window manager nobody maximises the window; the pictures
    // show it as it looks maximised.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window_.setGeometry(screen->availableGeometry());
    // Connected after the window's own handler, so the label already shows the text.
    connect(&window_.link(), &MeterLink::progressText, this, [this](const QString& text) {
        if (text.startsWith(QLatin1String("Searching Meter on ")))
            grabSplash();
    });
    connect(&window_, &TfrmMain::startUpFinished, this, [this] {
        QTimer::singleShot(SettleTime, this, &ScreenshotRecorder::grabMainWindowAndAbout);
    });
}

void ScreenshotRecorder::grabSplash()
{
    if (splashTaken_ || !splash_)
        return;
    splashTaken_ = true;
    (void)save(*splash_, QStringLiteral("splash.png"));
}

void ScreenshotRecorder::grabMainWindowAndAbout()
{
    const bool model841 = window_.link().MeterModel() == 841;
    (void)save(window_, model841 ? QStringLiteral("main-window-841.png")
                                 : QStringLiteral("main-window.png"));

    auto* about = new TfrmAbout(&window_);
    about->setAttribute(Qt::WA_DeleteOnClose);
    about->show();
    QTimer::singleShot(500, this, [this, about] {
        (void)save(*about, QStringLiteral("about.png"));
        about->close();
        window_.close();
    });
}

bool ScreenshotRecorder::save(QWidget& widget, const QString& name)
{
    const QString path = QDir(directory_).filePath(name);
    const bool saved = widget.grab().save(path);
    std::fprintf(stderr, "%s %s\n", saved ? "saved" : "could not save", qPrintable(path));
    return saved;
}
