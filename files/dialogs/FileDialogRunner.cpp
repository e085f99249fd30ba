#include "files/dialogs/FileDialogRunner.h"

#include "files/dialogs/MessageBoxes.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>

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
    // A name typed without an extension gets the type chosen in the dialog,
    // not always the first type's: "set1b" with the text type chosen is
    // set1b.txt, written as text.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog, &request](const QString& filter) {
                         const QString suffix = FileDialogRunner::suffixOfFilter(filter);
                         dialog.setDefaultSuffix(suffix.isEmpty() ? request.defaultSuffix : suffix);
                     });
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
        return MessageBoxes::show(parent, QMessageBox::Question,
                                  QApplication::applicationDisplayName(), text, buttons);
    };
    runner.inform = [](QWidget* parent, const QString& text) {
        (void)MessageBoxes::show(parent, QMessageBox::Information,
                                 QApplication::applicationDisplayName(), text);
    };
    runner.showError = [](QWidget* parent, const QString& text) {
        (void)MessageBoxes::show(parent, QMessageBox::Critical,
                                 QApplication::applicationDisplayName(), text);
    };
    return runner;
}

QString FileDialogRunner::chooseSaveName(QWidget* parent, FileDialogRequest request,
                                         DialogFolders::Kind kind) const
{
    request.directory = DialogFolders::startFolder(kind);
    const QString chosen = saveFileName(parent, request);
    DialogFolders::remember(kind, chosen);
    return chosen;
}

QString FileDialogRunner::chooseOpenName(QWidget* parent, FileDialogRequest request,
                                         DialogFolders::Kind kind) const
{
    request.directory = DialogFolders::startFolder(kind);
    const QString chosen = openFileName(parent, request);
    DialogFolders::remember(kind, chosen);
    return chosen;
}

QString FileDialogRunner::suffixOfFilter(const QString& filter)
{
    // "Description (*.EXT *.ext)": the patterns are in the last brackets (the
    // description may hold brackets of its own); the first one counts.
    static const QRegularExpression patterns(QStringLiteral("\\(([^()]*)\\)\\s*$"));
    const QRegularExpressionMatch match = patterns.match(filter);
    if (!match.hasMatch())
        return {};
    const QString first =
        match.captured(1).section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty);
    if (!first.startsWith(QLatin1String("*.")))
        return {};
    const QString suffix = first.mid(2);
    return suffix.contains(QLatin1Char('*')) ? QString() : suffix;
}

QString FileDialogRunner::filter(const QString& description, const QString& pattern)
{
    return QStringLiteral("%1 (%2 %3)").arg(description, pattern.toLower(), pattern.toUpper());
}
