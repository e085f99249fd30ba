#include "app/SetupCommands.h"

#include "app/TfrmSetup.h"

#include <QMdiArea>
#include <QMdiSubWindow>

SetupCommands::SetupCommands(Context context)
    : mdiArea_(context.mdiArea), port_(*context.link), setupPort_(port_),
      ui_(context.mainWindow, context.mdiArea, context.dialogs), setup_(setupPort_, ui_)
{
    setup_.setDateFormat(context.dateOrder, context.dateSeparator);
}

void SetupCommands::Setup1Click()
{
    if (window_) {
        QWidget* shown = frame_ ? static_cast<QWidget*>(frame_) : window_;
        shown->showNormal();
        if (frame_ && mdiArea_)
            mdiArea_->setActiveSubWindow(frame_);
        return;
    }
    auto* window = new TfrmSetup(setup_);
    window_ = window;
    ui_.setWindow(window);
    if (mdiArea_) {
        QMdiSubWindow* frame = mdiArea_->addSubWindow(window);
        frame->setAttribute(Qt::WA_DeleteOnClose);
        frame_ = frame;
        frame->adjustSize();
        frame->showNormal();
        mdiArea_->setActiveSubWindow(frame);
    } else {
        window->show();
    }
}

void SetupCommands::EraseMemory1Click()
{
    (void)setup_.EraseMemory1Click();
}
