#include "graph/GraphDialogRunner.h"

#include <QApplication>
#include <QDialog>

GraphDialogRunner GraphDialogRunner::modal()
{
    GraphDialogRunner runner;
    runner.exec = [](QDialog& dialog) { return dialog.exec(); };
    runner.ask = [](QWidget* parent, const QString& text, QMessageBox::StandardButtons buttons) {
        return QMessageBox::question(parent, QApplication::applicationDisplayName(), text, buttons);
    };
    runner.inform = [](QWidget* parent, const QString& text) {
        QMessageBox::information(parent, QApplication::applicationDisplayName(), text);
    };
    return runner;
}
