#pragma once

// Scripted answers to the file commands' dialogs, for tests that drive Save
// and Open through the main window: the names the file dialogs return (an
// empty name cancels), the button chosen in the choice dialog, the range
// typed into the range dialog; and what was asked and said.

#include "files/dialogs/FileDialogRunner.h"
#include "files/dialogs/TfrmScope.h"
#include "files/windows/TfrmOpenSave.h"
#include "files/windows/TfrmReportDetails.h"

#include <QFile>
#include <QInputDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QtEndian>

#include <functional>
#include <optional>
#include <utility>

struct FileScript
{
    QStringList saveNames; // one per save dialog, in order; missing = cancel
    QStringList openNames; // one per open dialog
    QList<int> choices;    // TfrmOpenSave::Sets, SingleSet or Cancel; missing = Cancel
    std::optional<std::pair<QString, QString>> range; // typed from/to; unset = All
    bool rangeAccepted = true;
    bool textInputAccepted = false; // a text asked for (the report's title and details)
    // Runs when an open dialog has returned a name, before the file is read
    // (the file may change in between).
    std::function<void(const QString& chosen)> afterOpenDialog;

    QList<FileDialogRequest> saveRequests;
    QList<FileDialogRequest> openRequests;
    QList<QStringList> choicesShown; // caption, first button, second button, third button
    QStringList rangeCaptions;
    QStringList informed;
    QStringList errors;

    FileDialogRunner runner()
    {
        FileDialogRunner runner;
        runner.saveFileName = [this](QWidget*, const FileDialogRequest& request) {
            saveRequests << request;
            return saveNames.isEmpty() ? QString() : saveNames.takeFirst();
        };
        runner.openFileName = [this](QWidget*, const FileDialogRequest& request) {
            openRequests << request;
            const QString chosen = openNames.isEmpty() ? QString() : openNames.takeFirst();
            if (afterOpenDialog && !chosen.isEmpty())
                afterOpenDialog(chosen);
            return chosen;
        };
        runner.exec = [this](QDialog& dialog) { return exec(dialog); };
        runner.inform = [this](QWidget*, const QString& text) { informed << text; };
        runner.showError = [this](QWidget*, const QString& text) { errors << text; };
        runner.ask = [](QWidget*, const QString&, QMessageBox::StandardButtons) {
            return QMessageBox::Cancel;
        };
        return runner;
    }

private:
    int exec(QDialog& dialog)
    {
        if (auto* choice = qobject_cast<TfrmOpenSave*>(&dialog)) {
            choicesShown << QStringList{choice->windowTitle(), choice->btnOpenSets()->text(),
                                        choice->btnOpenSingleSet()->text(),
                                        choice->Button1()->text()};
            const int pick = choices.isEmpty() ? int(TfrmOpenSave::Cancel) : choices.takeFirst();
            QPushButton* button = pick == TfrmOpenSave::Sets        ? choice->btnOpenSets()
                                  : pick == TfrmOpenSave::SingleSet ? choice->btnOpenSingleSet()
                                                                    : choice->Button1();
            button->click();
            return choice->result();
        }
        if (auto* scope = qobject_cast<TfrmScope*>(&dialog)) {
            rangeCaptions << scope->windowTitle();
            if (range) {
                scope->radNo()->setChecked(true);
                scope->edtSelFrom()->setText(range->first);
                scope->edtSelTo()->setText(range->second);
            }
            return rangeAccepted ? int(QDialog::Accepted) : int(QDialog::Rejected);
        }
        if (qobject_cast<QInputDialog*>(&dialog) || qobject_cast<TfrmReportDetails*>(&dialog))
            return textInputAccepted ? int(QDialog::Accepted) : int(QDialog::Rejected);
        return int(QDialog::Rejected);
    }
};

// What a file holds, empty when it cannot be read.
inline QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A graph file as it lies on disk: the block behind its little-endian length.
inline QByteArray graphFileBytes(const QByteArray& block)
{
    char length[4];
    qToLittleEndian<quint32>(quint32(block.size()), length);
    return QByteArray(length, 4) + block;
}
