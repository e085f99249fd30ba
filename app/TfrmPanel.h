#pragma once

// The control panel: a picture of the meter's front with a working copy of
// its display, redrawn from every decoded live frame, and invisible keys
// over the meter's keys that send their command letters to the meter.
//
// Contract:
// - A frameless child window of fixed size 190 x 471, meant to live in a
//   QMdiSubWindow (which it makes frameless too, except while minimised,
//   when the caption bar is the only way back) or on its own. It frees
//   itself when closed and then emits closed().
// - renderReading() touches a widget only where what it shows changes; an
//   unchanged frame costs a few comparisons.
// - The MAX/MIN blink runs on the main window's maxMinTimer: renderReading()
//   starts and stops it, the main window calls MaxMinTimerTimer() on each of
//   its timeouts while the panel exists.
// - Key letters go out through a KeyCommandQueue, never while the receive
//   handler or the one-second tick runs.

#include "meter/KeyCommandQueue.h"
#include "meter/LiveReadingConsumers.h"

#include <QMetaObject>
#include <QPoint>
#include <QRect>
#include <QTimer>
#include <QWidget>

#include <array>

class DigitImages;
class MeterLink;
class PanelClickArea;
class QLabel;
class QMdiSubWindow;
class QToolButton;

class TfrmPanel : public QWidget, public LiveReadingView
{
    Q_OBJECT

public:
    static constexpr QSize ClientSize{190, 471};
    static constexpr int LongPressTicks = 3;

    TfrmPanel(MeterLink& link, const DigitImages& digits, QTimer& maxMinTimer,
              QWidget* parent = nullptr);

    void renderReading(const MeterReading& reading) override;

    // 841 shows its own lower front and model strip and has no clock; 842
    // shows the logger front with the clock. Both clear the REC label.
    void setModel(int model);
    void setNoConnectionVisible(bool visible);
    // The next frame redraws every digit and annunciator.
    void setForceRefresh();
    // One step of the MAX/MIN blink.
    void MaxMinTimerTimer();

signals:
    void closed();
    void activated();

protected:
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createFace();
    void createAnnunciators();
    void createKeys();
    QLabel* addImage(const char* name, const QString& picture, const QRect& geometry);
    QLabel* addLabel(const char* name, const QString& text, const QPoint& position,
                     const QString& widestText, int pixelSize, bool bold);

    void renderClock(const MeterReading& reading);
    void renderDigits(const MeterReading& reading);
    void renderAnnunciators(const MeterReading& reading);
    void renderMaxMin(const MeterReading& reading);
    void renderBar(const MeterReading& reading);

    void btnFastClick();
    void btnACClick();
    void btnRECClick();
    void btnLevelClick();
    void btnMaxMinMouseDown();
    void btnMaxMinMouseUp();
    void MMATimerTimer();
    void btnPowerClick();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void showNoConnectionMessage();

    // The window that moves, minimises and closes: the MDI subwindow that
    // hosts the panel, or the panel itself.
    [[nodiscard]] QWidget* frameWindow();
    void adoptHost();
    static void setHostFrameless(QMdiSubWindow& host, bool frameless);

    MeterLink& link_;
    const DigitImages& digits_;
    QTimer& maxMinTimer_;
    KeyCommandQueue keys_;
    QTimer MMATimer;

    QLabel* imgPanel = nullptr;
    std::array<QLabel*, 4> MainD{};
    QLabel* imgPoint = nullptr;
    QLabel* lblRangeLow = nullptr;
    QLabel* lblRangeHigh = nullptr;
    QLabel* lblMAX = nullptr;
    QLabel* lblMIN = nullptr;
    QLabel* lblFAST = nullptr;
    QLabel* lbldBA = nullptr;
    QLabel* lblREC = nullptr;
    QLabel* lblTime = nullptr;
    QLabel* lblSegTIME = nullptr;
    QLabel* imgUNDER = nullptr;
    QLabel* imgOVER = nullptr;
    QLabel* imgBAT = nullptr;
    QLabel* imgAutoOff = nullptr;
    QLabel* imgColorBar = nullptr;
    QLabel* lblNoConnection = nullptr;
    QLabel* img841Bottom = nullptr;
    QLabel* imgMask1 = nullptr;
    PanelClickArea* btnPower = nullptr;
    PanelClickArea* btnAC = nullptr;
    PanelClickArea* btnMaxMin = nullptr;
    PanelClickArea* btnFast = nullptr;
    PanelClickArea* btnREC = nullptr;
    PanelClickArea* btnLevel = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QToolButton* SpeedButton2 = nullptr;

    // Render state between frames.
    std::array<int, 4> lastDigits_{};
    int lastValue_ = 0;
    std::uint8_t lastFlagsA_ = 0;
    std::uint8_t lastFlagsB_ = 0;
    int lastClockSeconds_ = -1;
    bool forceRefresh_ = true;
    bool blinkPhase_ = false;
    bool blinkRunning_ = false;
    bool keyPressed_ = false;
    int keyTicks_ = 0;

    // Moving the window by its face.
    bool dragging_ = false;
    QPoint dragStartGlobal_;
    QPoint dragStartWindow_;
    QMetaObject::Connection hostActivation_;
    QMetaObject::Connection hostRestore_;
    // The host's place before it was minimised with its caption bar.
    QRect hostNormalGeometry_;
};
