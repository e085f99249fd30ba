#pragma once

// Pictures of the program for its documentation (--screenshot DIR): the
// splash while it searches, the main window once the live stream has run for
// a moment, and the About box; then the program quits. The main window's
// picture is named after the meter model (main-window.png for 842,
// main-window-841.png for 841).

#include <QObject>
#include <QPointer>

class TfrmAbout;
class TfrmMain;

class ScreenshotRecorder : public QObject
{
    Q_OBJECT

public:
    static constexpr int SettleTime = 2500;

    ScreenshotRecorder(TfrmMain& window, TfrmAbout& splash, const QString& directory);

private:
    void grabSplash();
    void grabMainWindowAndAbout();
    bool save(QWidget& widget, const QString& name);

    TfrmMain& window_;
    QPointer<TfrmAbout> splash_;
    QString directory_;
    bool splashTaken_ = false;
};
