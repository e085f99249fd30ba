#include "app/LoggerDialogs.h"

#include "serial/ComErrors.h"

#include <stdexcept>

LoggerDialogs LoggerDialogs::modal()
{
    LoggerDialogs dialogs;
    dialogs.exec = [](QMessageBox& box) {
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
