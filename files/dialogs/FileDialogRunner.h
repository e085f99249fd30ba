#pragma once

// How the file commands ask the user: file dialogs, modal dialogs and
// message boxes. The defaults are the real modal calls; tests replace them
// to pick a file name, cancel, or fill a dialog and accept it, without
// blocking.

#include "files/dialogs/DialogFolders.h"

#include <QMessageBox>
#include <QString>
#include <QStringList>

#include <functional>

class QDialog;
class QWidget;

struct FileDialogRequest
{
    QString caption;
    QString directory;       // where the dialog starts
    QStringList filters;     // Qt name filters, e.g. "TXT file(...) (*.txt *.TXT)"
    // Appended when the name has no extension ("GHF"), until another type is
    // chosen in the dialog, whose extension is appended instead.
    QString defaultSuffix;
    bool confirmOverwrite = true; // save dialogs: ask before replacing a file
};

struct FileDialogRunner
{
    // The chosen file's full path, or an empty string when cancelled.
    std::function<QString(QWidget* parent, const FileDialogRequest& request)> saveFileName;
    std::function<QString(QWidget* parent, const FileDialogRequest& request)> openFileName;
    // Shows a dialog modally and returns its result.
    std::function<int(QDialog& dialog)> exec;
    // A confirmation dialog; returns the button chosen.
    std::function<QMessageBox::StandardButton(QWidget* parent, const QString& text,
                                              QMessageBox::StandardButtons buttons)>
        ask;
    // A message box with one OK button.
    std::function<void(QWidget* parent, const QString& text)> inform;
    // An error of a file operation (a file that cannot be read or written).
    std::function<void(QWidget* parent, const QString& text)> showError;

    [[nodiscard]] static FileDialogRunner modal();

    // The save or open dialog started in the last folder of this kind of
    // file; the folder of the file chosen is remembered for the next time.
    [[nodiscard]] QString chooseSaveName(QWidget* parent, FileDialogRequest request,
                                         DialogFolders::Kind kind) const;
    [[nodiscard]] QString chooseOpenName(QWidget* parent, FileDialogRequest request,
                                         DialogFolders::Kind kind) const;

    // "Description (*.EXT)" for the dialog, from the program's type text and
    // its pattern ("Graph file(*.ghf,only for RX842)", "*.GHF"); the pattern
    // matches either case of the extension. The lower-case pattern comes
    // first: choosing a type rewrites a typed extension into the first
    // pattern's, which must not turn "data.csv" into "data.CSV".
    [[nodiscard]] static QString filter(const QString& description, const QString& pattern);
    // The extension of a filter's first pattern ("txt" of "... (*.txt *.TXT)"),
    // empty when it has none ("All files (*)").
    [[nodiscard]] static QString suffixOfFilter(const QString& filter);
};
