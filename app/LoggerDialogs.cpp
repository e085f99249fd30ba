#include "app/LoggerDialogs.h"

#include "files/dialogs/BusyCursor.h"
#include "files/dialogs/MessageBoxes.h"
#include "serial/ComErrors.h"

#include <stdexcept>

LoggerDialogs LoggerDialogs::modal()
{
    LoggerDialogs dialogs;
    dialogs.exec = [](QMessageBox& box) {
        // Asked in the middle of a blocking command: the arrow, not the
        // busy cursor, over the question.
        const BusyCursor::Pause arrow;
        MessageBoxes::widen(box);
        box.exec();
        const QMessageBox::StandardButton chosen = box.standardButton(box.clickedButton());
        return chosen == QMessageBox::NoButton ? QMessageBox::Cancel : chosen;
    };
    dialogs.showError = [](const QString& text) {
        // The display every other unhandled error of a command goes to.
        HandlerGuard::run([&text] { throw std::runtime_error(text.toLocal8Bit().toStdString()); });
    };
    return dialogs;
}
