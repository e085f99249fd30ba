#pragma once

// How the logger commands show their message boxes and report errors. The
// box is built completely (caption, text, icon, buttons) by the caller and
// only shown here, so a test that replaces exec sees exactly the box the
// user would see and answers it without blocking.

#include <QMessageBox>

#include <functional>

struct LoggerDialogs
{
    // Shows the box modally; returns the button chosen (the escape button,
    // Cancel, when the box was closed).
    std::function<QMessageBox::StandardButton(QMessageBox& box)> exec;
    // The application's general error display.
    std::function<void(const QString& text)> showError;

    // The real modal boxes, and errors through HandlerGuard's display.
    [[nodiscard]] static LoggerDialogs modal();
};
