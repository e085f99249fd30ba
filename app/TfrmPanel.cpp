#include "app/TfrmPanel.h"

#include "app/DigitImages.h"
#include "app/PanelClickArea.h"
#include "app/PanelReadout.h"
#include "files/dialogs/MessageBoxes.h"
#include "meter/MeterLink.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QMouseEvent>
#include <QStyle>
#include <QToolButton>

// The pictures live in a static library: their registration must be pulled
// in by name, from outside any namespace. Registering twice is harmless.
static void registerPanelPictures()
{
    Q_INIT_RESOURCE(resources);
}

namespace {
const QColor Backdrop(0xc9, 0xce, 0xd3);
const QColor GlassText(0x1c, 0x24, 0x18);
constexpr int GlassTextPixels = 9;
// MAX, MIN and FAST share one row with little room between their places.
constexpr int MaxMinPixels = 8;
constexpr int LongPressTickMs = 1000;

void setVisibleIfChanged(QWidget* widget, bool visible)
{
    if (widget->isHidden() == visible)
        widget->setVisible(visible);
}

void setTextIfChanged(QLabel* label, const QString& text)
{
    if (label->text() != text)
        label->setText(text);
}
} // namespace

TfrmPanel::TfrmPanel(MeterLink& link, const DigitImages& digits, QTimer& maxMinTimer,
                     QWidget* parent)
    : QWidget(parent), link_(link), digits_(digits), maxMinTimer_(maxMinTimer), keys_(link)
{
    setObjectName(QStringLiteral("frmPanel"));
    setWindowTitle(QStringLiteral("Control Panel"));
    setAttribute(Qt::WA_DeleteOnClose);
    if (!parent)
        setWindowFlag(Qt::FramelessWindowHint);
    setFixedSize(ClientSize);
    QPalette backdrop = palette();
    backdrop.setColor(QPalette::Window, Backdrop);
    setPalette(backdrop);
    setAutoFillBackground(true);

    MMATimer.setInterval(LongPressTickMs);
    connect(&MMATimer, &QTimer::timeout, this, &TfrmPanel::MMATimerTimer);

    registerPanelPictures();
    createFace();
    createAnnunciators();
    createKeys();
    setNoConnectionVisible(!link_.MeterConnected());
    setModel(link_.MeterModel());
    adoptHost();
}

QLabel* TfrmPanel::addImage(const char* name, const QString& picture, const QRect& geometry)
{
    auto* image = new QLabel(this);
    image->setObjectName(QLatin1String(name));
    image->setGeometry(geometry);
    image->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Only the face and the digits react to the mouse (they move the window);
    // a press on any other picture falls through to the face beneath.
    image->setAttribute(Qt::WA_TransparentForMouseEvents);
    if (!picture.isEmpty())
        image->setPixmap(QPixmap(picture));
    return image;
}

QLabel* TfrmPanel::addLabel(const char* name, const QString& text, const QPoint& position,
                            const QString& widestText, int pixelSize, bool bold)
{
    auto* label = new QLabel(text, this);
    label->setObjectName(QLatin1String(name));
    // Arial, or where it is missing a face of about its width, so that
    // the labels keep to their places on the glass.
    QFont font;
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("DejaVu Sans Condensed")});
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    label->setFont(font);
    QPalette glass = label->palette();
    glass.setColor(QPalette::WindowText, GlassText);
    label->setPalette(glass);
    // A fixed size for the longest text, so that a new text never resizes
    // the label (and repaints what lies around it).
    const QFontMetrics metrics(font);
    label->setGeometry(
        QRect(position, QSize(metrics.horizontalAdvance(widestText) + 2, metrics.height())));
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

void TfrmPanel::createFace()
{
    imgPanel = addImage("imgPanel", QStringLiteral(":/panel/front.png"), {-1, 0, 190, 469});
    imgPanel->setAttribute(Qt::WA_OpaquePaintEvent);
    imgPanel->setAttribute(Qt::WA_TransparentForMouseEvents, false);
    imgPanel->installEventFilter(this);

    img841Bottom =
        addImage("img841Bottom", QStringLiteral(":/panel/bottom841.png"), {21, 307, 144, 154});
    imgMask1 = addImage("imgMask1", QStringLiteral(":/panel/mask841.png"), {57, 31, 100, 11});
    img841Bottom->hide();
    imgMask1->hide();

    const std::array<int, 4> digitLeft{51, 69, 86, 108};
    const std::array<const char*, 4> digitNames{"MainD1", "MainD2", "MainD3", "MainD4"};
    for (int i = 0; i < 4; ++i) {
        MainD[i] =
            addImage(digitNames[i], {}, QRect(QPoint(digitLeft[i], 112), DigitImages::ImageSize));
        MainD[i]->setAttribute(Qt::WA_OpaquePaintEvent);
        MainD[i]->setPixmap(digits_.at(PanelReadout::BlankDigit));
        MainD[i]->setAttribute(Qt::WA_TransparentForMouseEvents, false);
        MainD[i]->installEventFilter(this);
    }
    lastDigits_.fill(PanelReadout::BlankDigit);
    imgPoint = addImage("imgPoint", QStringLiteral(":/panel/point.png"), {103, 133, 5, 5});
}

void TfrmPanel::createAnnunciators()
{
    imgUNDER = addImage("imgUNDER", QStringLiteral(":/panel/under.png"), {37, 66, 24, 9});
    imgOVER = addImage("imgOVER", QStringLiteral(":/panel/over.png"), {130, 66, 20, 9});
    imgBAT = addImage("imgBAT", QStringLiteral(":/panel/battery.png"), {41, 131, 10, 7});
    imgAutoOff = addImage("imgAutoOff", QStringLiteral(":/panel/autooff.png"), {44, 123, 7, 7});
    for (QLabel* hidden : {imgUNDER, imgOVER, imgBAT, imgAutoOff})
        hidden->hide();
    imgColorBar = addImage("imgColorBar", QStringLiteral(":/panel/colorbar.png"), {42, 80, 0, 8});
    imgColorBar->setAttribute(Qt::WA_OpaquePaintEvent);

    lblRangeLow = addLabel("lblRangeLow", QStringLiteral("30"), {40, 89}, QStringLiteral("130"),
                           GlassTextPixels, false);
    lblRangeHigh = addLabel("lblRangeHigh", QStringLiteral("80"), {139, 89}, QStringLiteral("130"),
                            GlassTextPixels, false);
    lblMAX = addLabel("lblMAX", QStringLiteral("MAX"), {63, 64}, QStringLiteral("MAX"),
                      MaxMinPixels, true);
    lblMIN = addLabel("lblMIN", QStringLiteral("MIN"), {83, 64}, QStringLiteral("MIN"),
                      MaxMinPixels, true);
    lblMAX->hide();
    lblMIN->hide();
    lblFAST = addLabel("lblFAST", QStringLiteral("FAST"), {101, 64}, QStringLiteral("SLOW"),
                       GlassTextPixels, false);
    lbldBA = addLabel("lbldBA", QStringLiteral("dBA"), {130, 119}, QStringLiteral("dBC"), 11, true);
    lblREC = addLabel("lblREC", QString(), {37, 109}, QStringLiteral("FULL"), 7, true);
    lblTime = addLabel("lblTime", QString(), {63, 98}, QStringLiteral("00:00:00"), GlassTextPixels,
                       false);
    lblSegTIME = addLabel("lblSegTIME", QStringLiteral("TIME"), {116, 98}, QStringLiteral("TIME"),
                          GlassTextPixels, false);

    lblNoConnection = addLabel("lblNoConnection", QStringLiteral("No Connection"), {40, 62},
                               QStringLiteral("No Connection"), 16, true);
    QPalette red = lblNoConnection->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    lblNoConnection->setPalette(red);
}

void TfrmPanel::createKeys()
{
    btnPower = new PanelClickArea(QStringLiteral("btnPower"), {36, 194, 41, 25},
                                  QStringLiteral("Close Control Panel"), this);
    btnAC = new PanelClickArea(QStringLiteral("btnAC"), {108, 194, 41, 25},
                               QStringLiteral("Frequency Weighting select button"), this);
    btnMaxMin = new PanelClickArea(
        QStringLiteral("btnMaxMin"), {33, 255, 48, 25},
        QStringLiteral("single click to change MAX/MIN mode, mouse down 2 seconds  to cancel ."),
        this);
    btnFast = new PanelClickArea(QStringLiteral("btnFast"), {108, 255, 44, 25},
                                 QStringLiteral("Time weighting select button"), this);
    btnREC = new PanelClickArea(QStringLiteral("btnREC"), {33, 311, 48, 30}, {}, this);
    btnLevel = new PanelClickArea(QStringLiteral("btnLevel"), {105, 311, 48, 30}, {}, this);

    connect(btnPower, &PanelClickArea::clicked, this, &TfrmPanel::btnPowerClick);
    connect(btnAC, &PanelClickArea::clicked, this, &TfrmPanel::btnACClick);
    connect(btnFast, &PanelClickArea::clicked, this, &TfrmPanel::btnFastClick);
    connect(btnREC, &PanelClickArea::clicked, this, &TfrmPanel::btnRECClick);
    connect(btnLevel, &PanelClickArea::clicked, this, &TfrmPanel::btnLevelClick);
    connect(btnMaxMin, &PanelClickArea::mouseDown, this, &TfrmPanel::btnMaxMinMouseDown);
    connect(btnMaxMin, &PanelClickArea::mouseUp, this, &TfrmPanel::btnMaxMinMouseUp);

    const auto addSpeedButton = [this](const char* name, QStyle::StandardPixmap glyph, int left) {
        auto* button = new QToolButton(this);
        button->setObjectName(QLatin1String(name));
        button->setGeometry(left, 8, 16, 14);
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setIcon(style()->standardIcon(glyph));
        button->setIconSize(QSize(10, 10));
        return button;
    };
    SpeedButton1 = addSpeedButton("SpeedButton1", QStyle::SP_TitleBarMinButton, 127);
    SpeedButton2 = addSpeedButton("SpeedButton2", QStyle::SP_TitleBarCloseButton, 144);
    connect(SpeedButton1, &QToolButton::clicked, this, &TfrmPanel::SpeedButton1Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TfrmPanel::SpeedButton2Click);
}

void TfrmPanel::setModel(int model)
{
    const bool logger = model != 841;
    setVisibleIfChanged(img841Bottom, !logger);
    setVisibleIfChanged(imgMask1, !logger);
    setVisibleIfChanged(lblSegTIME, logger);
    setVisibleIfChanged(lblTime, logger);
    setTextIfChanged(lblREC, QString());
}

void TfrmPanel::setNoConnectionVisible(bool visible)
{
    setVisibleIfChanged(lblNoConnection, visible);
}

void TfrmPanel::setForceRefresh()
{
    forceRefresh_ = true;
}

// ---- Rendering -------------------------------------------------------------

void TfrmPanel::renderReading(const MeterReading& reading)
{
    if (link_.MeterModel() == 842)
        renderClock(reading);
    renderDigits(reading);
    if (forceRefresh_ || reading.flagsA != lastFlagsA_ || reading.flagsB != lastFlagsB_)
        renderAnnunciators(reading);
    renderBar(reading);
    forceRefresh_ = false;
}

void TfrmPanel::renderClock(const MeterReading& reading)
{
    const int seconds = reading.clock[2];
    if (seconds == lastClockSeconds_)
        return;
    setTextIfChanged(lblTime, PanelReadout::clockText(reading.clock));
    lastClockSeconds_ = seconds;
}

void TfrmPanel::renderDigits(const MeterReading& reading)
{
    if (reading.displayTenths == lastValue_ && !forceRefresh_)
        return;
    lastValue_ = reading.displayTenths;
    const auto indices = PanelReadout::digitIndices(reading.displayTenths);
    if (!indices)
        return;
    for (int i = 0; i < 4; ++i) {
        const int index = (*indices)[i];
        if (index != lastDigits_[i] || forceRefresh_) {
            MainD[i]->setPixmap(digits_.at(index));
            lastDigits_[i] = index;
        }
    }
}

void TfrmPanel::renderAnnunciators(const MeterReading& reading)
{
    renderMaxMin(reading);
    setTextIfChanged(lblREC, reading.recording    ? QStringLiteral("REC")
                             : reading.memoryFull ? QStringLiteral("FULL")
                                                  : QString());
    setVisibleIfChanged(imgAutoOff, false);
    setVisibleIfChanged(imgBAT, reading.batteryLow);
    setTextIfChanged(lblFAST, reading.fast ? QStringLiteral("FAST") : QStringLiteral("SLOW"));
    setTextIfChanged(lbldBA, reading.weightingA ? QStringLiteral("dBA") : QStringLiteral("dBC"));
    setVisibleIfChanged(imgUNDER, reading.under);
    setVisibleIfChanged(imgOVER, reading.over);
    setTextIfChanged(lblRangeLow, QString::number(rangeLowDb(reading.range)));
    setTextIfChanged(lblRangeHigh, QString::number(rangeHighDb(reading.range)));
    lastFlagsA_ = reading.flagsA;
    lastFlagsB_ = reading.flagsB;
}

void TfrmPanel::renderMaxMin(const MeterReading& reading)
{
    if (!reading.maxMinMode) {
        maxMinTimer_.stop();
        setVisibleIfChanged(lblMAX, false);
        setVisibleIfChanged(lblMIN, false);
        return;
    }
    switch (reading.maxMinSelect) {
    case LiveFrame::FlagB::SelectMax:
        setVisibleIfChanged(lblMAX, true);
        setVisibleIfChanged(lblMIN, false);
        maxMinTimer_.stop();
        break;
    case LiveFrame::FlagB::SelectMin:
        setVisibleIfChanged(lblMAX, false);
        setVisibleIfChanged(lblMIN, true);
        maxMinTimer_.stop();
        break;
    case LiveFrame::FlagB::SelectAlternating:
        if (!maxMinTimer_.isActive())
            maxMinTimer_.start();
        break;
    default:
        maxMinTimer_.stop();
        break;
    }
}

void TfrmPanel::renderBar(const MeterReading& reading)
{
    const int width = PanelReadout::barWidth(reading.range, reading.level);
    if (width != imgColorBar->width())
        imgColorBar->resize(width, imgColorBar->height());
}

void TfrmPanel::MaxMinTimerTimer()
{
    blinkRunning_ = true;
    blinkPhase_ = !blinkPhase_;
    setVisibleIfChanged(lblMAX, blinkPhase_);
    setVisibleIfChanged(lblMIN, blinkPhase_);
    blinkRunning_ = false;
}

// ---- Keys ------------------------------------------------------------------

void TfrmPanel::btnFastClick()
{
    keys_.sendKey(CommandLetter::FastSlow);
}

void TfrmPanel::btnACClick()
{
    keys_.sendKey(CommandLetter::Weighting);
}

void TfrmPanel::btnRECClick()
{
    keys_.sendKey(link_.MeterModel() == 842 ? CommandLetter::Record842 : CommandLetter::Record841);
}

void TfrmPanel::btnLevelClick()
{
    keys_.sendKey(CommandLetter::Level);
}

void TfrmPanel::btnMaxMinMouseDown()
{
    keyPressed_ = true;
    keyTicks_ = 0;
    MMATimer.start();
}

void TfrmPanel::MMATimerTimer()
{
    if (++keyTicks_ < LongPressTicks)
        return;
    keys_.sendMaxMinKey(CommandLetter::MaxMinEnd);
    keyPressed_ = false;
    keyTicks_ = 0;
    MMATimer.stop();
}

void TfrmPanel::btnMaxMinMouseUp()
{
    if (!link_.MeterConnected()) {
        // The long-press timer runs on and ends without sending.
        showNoConnectionMessage();
        return;
    }
    if (!keyPressed_)
        return; // the long press has fired already
    keyPressed_ = false;
    keyTicks_ = 0;
    MMATimer.stop();
    keys_.sendMaxMinKey(CommandLetter::MaxMin);
}

void TfrmPanel::showNoConnectionMessage()
{
    // Shown without a nested event loop: frames and timers keep running.
    auto* box = new QMessageBox(QMessageBox::Information, QGuiApplication::applicationDisplayName(),
                                QStringLiteral("No Connection"), QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    MessageBoxes::widen(*box);
    box->open();
}

// ---- Window ----------------------------------------------------------------

QWidget* TfrmPanel::frameWindow()
{
    if (auto* host = qobject_cast<QMdiSubWindow*>(parentWidget()))
        return host;
    return this;
}

void TfrmPanel::btnPowerClick()
{
    frameWindow()->close();
}

void TfrmPanel::SpeedButton1Click()
{
    // A frameless subwindow minimises to nothing at all: while minimised the
    // host shows its caption bar, whose restore button brings the panel back.
    if (auto* host = qobject_cast<QMdiSubWindow*>(parentWidget())) {
        hostNormalGeometry_ = host->geometry();
        setHostFrameless(*host, false);
    }
    frameWindow()->showMinimized();
}

void TfrmPanel::SpeedButton2Click()
{
    frameWindow()->close();
}

void TfrmPanel::adoptHost()
{
    disconnect(hostActivation_);
    disconnect(hostRestore_);
    auto* host = qobject_cast<QMdiSubWindow*>(parentWidget());
    if (!host)
        return;
    // No title bar: the panel is moved by its face.
    setHostFrameless(*host, true);
    hostActivation_ = connect(host, &QMdiSubWindow::aboutToActivate, this, &TfrmPanel::activated);
    hostRestore_ = connect(host, &QMdiSubWindow::windowStateChanged, this,
                           [this, host](Qt::WindowStates, Qt::WindowStates state) {
                               if (state & Qt::WindowMinimized ||
                                   host->windowFlags().testFlag(Qt::FramelessWindowHint))
                                   return;
                               setHostFrameless(*host, true);
                               // Back where it was, at the size of its face.
                               if (hostNormalGeometry_.isValid())
                                   host->setGeometry(hostNormalGeometry_);
                           });
}

void TfrmPanel::setHostFrameless(QMdiSubWindow& host, bool frameless)
{
    if (host.windowFlags().testFlag(Qt::FramelessWindowHint) == frameless)
        return;
    const bool wasVisible = host.isVisible();
    if (frameless)
        host.setWindowFlag(Qt::FramelessWindowHint);
    else
        // A caption with restore and close only: the panel's size is fixed.
        host.setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                            Qt::WindowCloseButtonHint);
    // New window flags hide a widget.
    if (wasVisible)
        host.show();
}

bool TfrmPanel::event(QEvent* event)
{
    if (event->type() == QEvent::ParentChange)
        adoptHost();
    return QWidget::event(event);
}

void TfrmPanel::changeEvent(QEvent* event)
{
    // As a window of its own; inside an MDI area the subwindow reports it.
    if (event->type() == QEvent::ActivationChange && isWindow() && isActiveWindow())
        emit activated();
    QWidget::changeEvent(event);
}

void TfrmPanel::closeEvent(QCloseEvent* event)
{
    while (blinkRunning_)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    event->accept();
    emit closed();
}

bool TfrmPanel::eventFilter(QObject* watched, QEvent* event)
{
    // The face and the digits move the window, as a caption would.
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            break;
        dragging_ = true;
        dragStartGlobal_ = mouse->globalPosition().toPoint();
        dragStartWindow_ = frameWindow()->pos();
        return true;
    }
    case QEvent::MouseMove:
        if (dragging_) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            frameWindow()->move(dragStartWindow_ + mouse->globalPosition().toPoint() -
                                dragStartGlobal_);
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        if (dragging_ && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            dragging_ = false;
            return true;
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}
