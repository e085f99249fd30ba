#pragma once

// How the graph windows show their message boxes and modal dialogs. The
// defaults are the real modal calls; tests replace them to answer a question
// or to fill a dialog and accept it, without blocking.

#include <QMessageBox>

#include <functional>

class QDialog;

struct GraphDialogRunner
{
    // Shows the dialog modally and returns its result (QDialog::Accepted or
    // QDialog::Rejected).
    std::function<int(QDialog& dialog)> exec;
    // A confirmation dialog; returns the button chosen.
    std::function<QMessageBox::StandardButton(QWidget* parent, const QString& text,
                                              QMessageBox::StandardButtons buttons)>
        ask;
    // A message box with one OK button.
    std::function<void(QWidget* parent, const QString& text)> inform;

    [[nodiscard]] static GraphDialogRunner modal();
};
