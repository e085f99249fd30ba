#include "files/FileDialogRunner.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>

namespace {
QString runFileDialog(QWidget* parent, const FileDialogRequest& request,
                      QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(parent, request.caption, request.directory);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile
                                                       : QFileDialog::ExistingFile);
    dialog.setNameFilters(request.filters);
    dialog.setDefaultSuffix(request.defaultSuffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
    dialog.setSizeGripEnabled(true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return QFileInfo(dialog.selectedFiles().constFirst()).absoluteFilePath();
}
} // namespace

FileDialogRunner FileDialogRunner::modal()
{
    FileDialogRunner runner;
    runner.saveFileName = [](QWidget* parent, const FileDialogRequest& request) {
        return runFileDialog(parent, request, QFileDialog::AcceptSave);
    };
    runner.openFileName = [](QWidget* parent, const FileDialogRequest& request) {
        return runFileDialog(parent, request, QFileDialog::AcceptOpen);
    };
    runner.exec = [](QDialog& dialog) { return dialog.exec(); };
    runner.ask = [](QWidget* parent, const QString& text, QMessageBox::StandardButtons buttons) {
        return QMessageBox::question(parent, QApplication::applicationDisplayName(), text, buttons);
    };
    runner.inform = [](QWidget* parent, const QString& text) {
        QMessageBox::information(parent, QApplication::applicationDisplayName(), text);
    };
    runner.showError = [](QWidget* parent, const QString& text) {
        QMessageBox::critical(parent, QApplication::applicationDisplayName(), text);
    };
    return runner;
}

QString FileDialogRunner::filter(const QString& description, const QString& pattern)
{
    return QStringLiteral("%1 (%2 %3)").arg(description, pattern.toUpper(), pattern.toLower());
}
