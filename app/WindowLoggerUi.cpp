#include "app/WindowLoggerUi.h"

#include "app/LoggerGraphWindow.h"
#include "files/dialogs/TfrmInfo.h"
#include "files/dialogs/TfrmScope.h"
#include "files/dialogs/WindowOnScreen.h"
#include "logger/LoggerTexts.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>

WindowLoggerUi::WindowLoggerUi(QWidget* mainWindow, QMdiArea* mdiArea,
                               LoggerGraphWindow* graphWindow, LoggerDialogs dialogs)
    : mainWindow_(mainWindow), mdiArea_(mdiArea), graphWindow_(graphWindow),
      dialogs_(std::move(dialogs))
{
}

WindowLoggerUi::~WindowLoggerUi()
{
    closeInfo();
    closeTransferProgress();
}

void WindowLoggerUi::showInfo(const QString& text)
{
    closeInfo();
    auto* info = new TfrmInfo;
    info->setText(text);
    info_ = info;
    if (mdiArea_) {
        activeBeforeInfo_ = mdiArea_->activeSubWindow();
        QMdiSubWindow* frame = mdiArea_->addSubWindow(info);
        frame->setAttribute(Qt::WA_DeleteOnClose);
        infoFrame_ = frame;
        frame->adjustSize();
        // Centred in the client area, where the user is looking.
        frame->move((mdiArea_->width() - frame->width()) / 2,
                    (mdiArea_->height() - frame->height()) / 3);
        frame->show();
    } else {
        info->show();
    }
    info->repaintNow();
}

void WindowLoggerUi::closeInfo()
{
    const bool framed = infoFrame_;
    if (infoFrame_)
        infoFrame_->close();
    else if (info_)
        info_->close();
    infoFrame_ = nullptr;
    info_ = nullptr;
    // The area would activate the first window created instead (the control
    // panel), raised over the window the user was looking at - and painted
    // there while the command still blocks.
    if (framed && activeBeforeInfo_ && mdiArea_)
        mdiArea_->setActiveSubWindow(activeBeforeInfo_);
    activeBeforeInfo_ = nullptr;
}

void WindowLoggerUi::showTransferProgress(int totalBytes)
{
    closeTransferProgress();
    auto* dialog = new TfrmScope(mainWindow_);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(LoggerTexts::ProgressCaption);
    dialog->setWindowFlag(Qt::WindowStaysOnTopHint);
    dialog->showTransfer(totalBytes);
    progress_ = dialog;
    dialog->show();
    // Under X11 the new dialog can be painted only once the window system
    // has exposed it. At this point of a download the live port is closed and
    // MainTimer stopped, and user input is held back while the loop runs.
    (void)WindowOnScreen::waitUntilShown(*dialog);
    dialog->repaintNow();
    if (mainWindow_)
        mainWindow_->repaint();
}

void WindowLoggerUi::setBytesReceived(int bytesReceived)
{
    if (!progress_)
        return;
    progress_->setBytesReceived(bytesReceived);
    progress_->repaintNow();
}

void WindowLoggerUi::repaintTransferProgress()
{
    if (progress_)
        progress_->repaintNow();
}

void WindowLoggerUi::closeTransferProgress()
{
    if (progress_)
        progress_->close();
    progress_ = nullptr;
}

void WindowLoggerUi::showMessage(const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, mainWindow_);
    (void)dialogs_.exec(box);
}

LoggerUi::Answer WindowLoggerUi::ask(const QString& text, Buttons buttons)
{
    const QMessageBox::StandardButtons offered =
        buttons == Buttons::RetryOkCancel
            ? QMessageBox::Retry | QMessageBox::Ok | QMessageBox::Cancel
            : QMessageBox::Retry | QMessageBox::Cancel;
    QMessageBox box(QMessageBox::Question, QApplication::applicationDisplayName(), text, offered,
                    mainWindow_);
    box.setDefaultButton(QMessageBox::Retry);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (dialogs_.exec(box)) {
    case QMessageBox::Retry:
        return Answer::Retry;
    case QMessageBox::Ok:
        // Only offered with the data error question.
        return buttons == Buttons::RetryOkCancel ? Answer::Ok : Answer::Cancel;
    default:
        return Answer::Cancel;
    }
}

void WindowLoggerUi::showError(const QString& text)
{
    dialogs_.showError(text);
}

bool WindowLoggerUi::prepareLoggerWindow()
{
    return graphWindow_ ? graphWindow_->prepare() : false;
}

void WindowLoggerUi::showDataSetRows(const QList<DataSetListRow>& rows)
{
    if (graphWindow_)
        graphWindow_->showRows(rows);
}

void WindowLoggerUi::showDataSet(int index)
{
    if (graphWindow_)
        graphWindow_->showDataSet(index);
}
