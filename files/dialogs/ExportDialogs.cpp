#include "files/dialogs/ExportDialogs.h"

#include "files/dialogs/TfrmScope.h"
#include "files/formats/ExportText.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <cstdlib>

namespace ExportDialogs {

std::optional<ExportRange> chooseRange(QWidget* parent, int count, const FileDialogRunner& dialogs)
{
    std::optional<ExportRange> range;
    bool invalid = false;
    {
        TfrmScope scope(parent);
        scope.setWindowTitle(RangeCaption);
        scope.GroupBox1()->show();
        scope.BitBtn1()->show();
        scope.BitBtn2()->show();
        scope.radAll()->setChecked(true);
        scope.edtSelFrom()->setText(QStringLiteral("1"));
        scope.edtSelTo()->setText(QString::number(count));
        if (dialogs.exec(scope) != QDialog::Accepted)
            return std::nullopt;
        range = ExportRange::fromFields(scope.radAll()->isChecked(), scope.edtSelFrom()->text(),
                                        scope.edtSelTo()->text(), count);
        invalid = !range;
    }
    if (invalid)
        dialogs.inform(parent, ExportRange::InvalidIntegerMessage);
    return range;
}

bool refuseCsvUnderDecimalComma(QWidget* parent, const QString& path, const QLocale& locale,
                                const FileDialogRunner& dialogs)
{
    if (ExportText::csvOffered(locale) ||
        QFileInfo(path).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) != 0)
        return false;
    dialogs.inform(parent, QStringLiteral("%1 was not saved: where the decimal separator is a "
                                          "comma, the values of a CSV file would be split at their "
                                          "decimal commas. Save it as a text file (*.txt).")
                               .arg(QDir::toNativeSeparators(path)));
    return true;
}

} // namespace ExportDialogs

ProgressDialog::ProgressDialog(QWidget* parent, const QString& caption, const QString& text,
                               int maximum)
    : dialog_(new TfrmScope(parent)), maximum_(std::max(maximum, 0)),
      stride_(std::max(1, maximum_ / 1000))
{
    dialog_->setWindowTitle(caption);
    dialog_->SText1()->setText(text);
    dialog_->SText1()->show();
    dialog_->Progress1()->setRange(0, std::max(maximum, 0));
    dialog_->Progress1()->setValue(0);
    dialog_->Progress1()->show();
    dialog_->BitBtn2()->show();
    dialog_->setModalResult(TfrmScope::None);
    dialog_->show();
    dialog_->repaintNow();
}

ProgressDialog::~ProgressDialog()
{
    if (dialog_) {
        dialog_->close();
        delete dialog_;
    }
}

bool ProgressDialog::step(int value)
{
    if (!dialog_)
        return false;
    // Setting the bar and letting events run for every item of a long loop
    // would cost more than the item itself: the bar moves by visible steps,
    // and a few times per tenth of a second keeps Cancel and repaints live.
    const bool eventsDue = !sinceEvents_.isValid() || sinceEvents_.elapsed() >= 20;
    if (eventsDue || std::abs(value - shownValue_) >= stride_ || value >= maximum_) {
        dialog_->Progress1()->setValue(value);
        shownValue_ = value;
    }
    if (eventsDue) {
        QCoreApplication::processEvents();
        sinceEvents_.restart();
    }
    return !cancelled();
}

TfrmScope* ProgressDialog::dialog() const
{
    return dialog_.data();
}

bool ProgressDialog::cancelled() const
{
    return !dialog_ || dialog_->cancelled();
}
