#include "app/WindowSetupUi.h"

#include "app/TfrmSetup.h"
#include "logger/SetupTexts.h"

#include <QApplication>
#include <QMessageBox>

WindowSetupUi::WindowSetupUi(QWidget* mainWindow, QMdiArea* mdiArea, LoggerDialogs dialogs)
    : mainWindow_(mainWindow), dialogs_(dialogs), windows_(mainWindow, mdiArea, nullptr, dialogs)
{
}

WindowSetupUi::~WindowSetupUi()
{
    setBusy(false);
}

void WindowSetupUi::showMessage(const QString& text)
{
    windows_.showMessage(text);
}

bool WindowSetupUi::askYesNo(const QString& text)
{
    QMessageBox box(QMessageBox::Question, QApplication::applicationDisplayName(), text,
                    QMessageBox::Yes | QMessageBox::No, mainWindow_);
    box.setDefaultButton(QMessageBox::No);
    // Closing the box answers No.
    box.setEscapeButton(QMessageBox::No);
    return dialogs_.exec(box) == QMessageBox::Yes;
}

void WindowSetupUi::setBusy(bool busy)
{
    if (busy == busy_.has_value())
        return;
    if (busy) {
        if (!windows_.infoWindow()) {
            windows_.showInfo(SetupTexts::WaitingForMeter);
            waitShown_ = true;
        }
        busy_.emplace(mainWindow_);
        return;
    }
    busy_.reset();
    if (waitShown_)
        windows_.closeInfo();
    waitShown_ = false;
}

void WindowSetupUi::setLabel(Label label, const QString& text)
{
    if (window_)
        window_->setLabelText(label, text);
}

void WindowSetupUi::startMemoryTestLog()
{
    if (window_)
        window_->startMemoryTestLog();
}

void WindowSetupUi::logMemoryTestRow(const QStringList& cells)
{
    if (window_)
        window_->logMemoryTestRow(cells);
}

void WindowSetupUi::showStage(const QString& text)
{
    // A stage takes over the window that said what is waited for.
    waitShown_ = false;
    if (TfrmInfo* info = windows_.infoWindow()) {
        info->setText(text);
        info->repaintNow();
        return;
    }
    windows_.showInfo(text);
}

void WindowSetupUi::closeStage()
{
    windows_.closeInfo();
}
