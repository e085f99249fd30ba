#include "files/windows/TfrmReportDetails.h"

#include "data/GraphTexts.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace {
const QString kTitle = QStringLiteral("title");
const QString kNotes = QStringLiteral("notes");
} // namespace

TfrmReportDetails::TfrmReportDetails(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(Caption);
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    title_ = new QLineEdit(this);
    form->addRow(TitleLabel, title_);
    for (const ReportDetails::Field& field : ReportDetails::fields()) {
        if (field.multiline) {
            notes_ = new QPlainTextEdit(this);
            notes_->setTabChangesFocus(true);
            notes_->setFixedHeight(notes_->fontMetrics().lineSpacing() * 5 + 12);
            form->addRow(field.label, notes_);
            continue;
        }
        auto* edit = new QLineEdit(this);
        edit->setObjectName(field.name);
        if (field.level) {
            edit->setPlaceholderText(QLocale().toString(94.0, 'f', 1));
            connect(edit, &QLineEdit::textChanged, this, &TfrmReportDetails::showDrift);
        }
        lines_.insert(field.name, edit);
        form->addRow(field.label, edit);
        if (field.name == QLatin1String("calibration-after")) {
            drift_ = new QLabel(this);
            form->addRow(QStringLiteral("Drift:"), drift_);
        }
    }
    layout->addLayout(form);
    error_ = new QLabel(this);
    error_->setStyleSheet(QStringLiteral("color: #b00000"));
    error_->setWordWrap(true);
    error_->hide();
    layout->addWidget(error_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    setMinimumWidth(460);
    showDrift();
}

void TfrmReportDetails::setEntry(const ReportDetailsStore::Entry& entry)
{
    title_->setText(entry.title);
    for (const ReportDetails::Field& field : ReportDetails::fields())
        setFieldText(field.name, entry.details.value(field.name));
}

ReportDetailsStore::Entry TfrmReportDetails::entry() const
{
    ReportDetailsStore::Entry entry;
    entry.title = title_->text().trimmed();
    for (const ReportDetails::Field& field : ReportDetails::fields())
        (void)entry.details.setValue(field.name, fieldText(field.name));
    return entry;
}

void TfrmReportDetails::setFieldText(const QString& name, const QString& text)
{
    if (name == kTitle)
        title_->setText(text);
    else if (name == kNotes)
        notes_->setPlainText(text);
    else if (QLineEdit* edit = lines_.value(name))
        edit->setText(text);
}

QString TfrmReportDetails::fieldText(const QString& name) const
{
    if (name == kTitle)
        return title_->text();
    if (name == kNotes)
        return notes_->toPlainText();
    const QLineEdit* edit = lines_.value(name);
    return edit ? edit->text() : QString();
}

QString TfrmReportDetails::driftText() const
{
    return drift_->text();
}

QString TfrmReportDetails::errorText() const
{
    return error_->isHidden() ? QString() : error_->text();
}

void TfrmReportDetails::showDrift()
{
    const std::optional<double> drift = entry().details.drift();
    if (!drift) {
        drift_->setText(QStringLiteral("(after - before, once both are given)"));
        return;
    }
    drift_->setText((*drift > 0.0 ? QStringLiteral("+") : QString()) +
                    GraphTexts::levelText(*drift) + QStringLiteral(" dB"));
}

QString TfrmReportDetails::unreadable() const
{
    QStringList bad;
    for (const ReportDetails::Field& field : ReportDetails::fields()) {
        ReportDetails probe;
        if (field.level && !probe.setValue(field.name, fieldText(field.name)))
            bad << field.label.chopped(1);
    }
    if (bad.isEmpty())
        return {};
    return QStringLiteral("%1: a level in dB from 0 to 200 reads like %2.")
        .arg(bad.join(QStringLiteral(", ")), QLocale().toString(94.0, 'f', 1));
}

void TfrmReportDetails::done(int result)
{
    if (result == QDialog::Accepted) {
        const QString why = unreadable();
        error_->setText(why);
        error_->setVisible(!why.isEmpty());
        if (!why.isEmpty())
            return;
    }
    QDialog::done(result);
}
