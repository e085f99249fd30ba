#pragma once

// The two dialogs of every text and CSV export, both the shared TfrmScope:
// - the range choice "Save File" (All, or Select from .. to), modal;
// - the progress dialog, modeless, with a working Cancel.

#include "files/dialogs/FileDialogRunner.h"
#include "files/formats/ExportRange.h"

#include <QElapsedTimer>
#include <QLocale>
#include <QPointer>
#include <QString>
#include <optional>

class TfrmScope;
class QWidget;

namespace ExportDialogs {

inline const QString RangeCaption = QStringLiteral("Save File");
// The progress dialog of every text and CSV export.
inline const QString SavingCaption = QStringLiteral("Saving Progress");
inline const QString SavingText = QStringLiteral("saving.....");

// Asks which of `count` items to write. Nothing when the user does not
// choose OK, or when a field is not an integer ("invalid integer" is shown).
[[nodiscard]] std::optional<ExportRange> chooseRange(QWidget* parent, int count,
                                                     const FileDialogRunner& dialogs);

// A name ending in ".csv" typed into a save dialog where the decimal
// separator is a comma: the decimal commas would split every value into two
// fields, so nothing is written. True (and the user is told why) when the
// name is refused; the dialogs do not offer CSV there in the first place.
[[nodiscard]] bool refuseCsvUnderDecimalComma(QWidget* parent, const QString& path,
                                              const QLocale& locale,
                                              const FileDialogRunner& dialogs);

} // namespace ExportDialogs

// A modeless progress dialog for one long operation: caption, SText1 with a
// text, Progress1 from 0 to maximum, BitBtn2 (Cancel). step() moves the bar,
// lets pending events run (so Cancel and repaints work) and tells whether
// the user has cancelled. The dialog closes when the object goes.
class ProgressDialog
{
public:
    ProgressDialog(QWidget* parent, const QString& caption, const QString& text, int maximum);
    ~ProgressDialog();
    ProgressDialog(const ProgressDialog&) = delete;
    ProgressDialog& operator=(const ProgressDialog&) = delete;

    // Moves the bar to value; false once Cancel was clicked.
    [[nodiscard]] bool step(int value);
    [[nodiscard]] bool cancelled() const;
    [[nodiscard]] TfrmScope* dialog() const;

private:
    QPointer<TfrmScope> dialog_;
    QElapsedTimer sinceEvents_; // since pending events last ran
    int maximum_ = 0;
    int shownValue_ = 0; // the bar's value as last set
    int stride_ = 1;     // a step the bar can show: a thousandth of the range
};
