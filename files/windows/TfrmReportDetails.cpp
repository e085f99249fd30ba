#include "files/windows/TfrmReportDetails.h"

#include "data/GraphTexts.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimeEdit>
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
    // The details at the left, the tables' settings at the right.
    auto* columns = new QHBoxLayout;
    columns->addLayout(form, 3);
    auto* tables = new QGroupBox(QStringLiteral("Tables after the first page"), this);
    auto* tableForm = new QFormLayout(tables);
    period_ = new QComboBox(tables);
    period_->addItem(QStringLiteral("By the span"), 0);
    for (const qint64 ms : {60'000LL, 300'000LL, 900'000LL, 1'800'000LL, 3'600'000LL, 86'400'000LL})
        period_->addItem(ReportSettings::periodText(ms), ms);
    tableForm->addRow(QStringLiteral("Period length:"), period_);
    tablesOver_ = new QComboBox(tables);
    tablesOver_->setObjectName(QStringLiteral("tables-over"));
    tablesOver_->addItem(QStringLiteral("The whole series"), false);
    tablesOver_->addItem(QStringLiteral("Between the cursors"), true);
    tablesOver_->setEnabled(false);
    connect(tablesOver_, &QComboBox::currentIndexChanged, this, [this] {
        if (tablesOver_->isEnabled())
            overSpanChosen_ = tablesOver_->currentData().toBool();
    });
    tableForm->addRow(QStringLiteral("Tables over:"), tablesOver_);
    const auto spin = [tables](double low, double high, double step, const QString& suffix) {
        auto* box = new QDoubleSpinBox(tables);
        box->setRange(low, high);
        box->setDecimals(1);
        box->setSingleStep(step);
        box->setSuffix(suffix);
        return box;
    };
    minDuration_ = spin(0.1, 86400.0, 1.0, QStringLiteral(" s"));
    tableForm->addRow(QStringLiteral("Events lasting at least:"), minDuration_);
    hysteresis_ = spin(0.0, 30.0, 0.5, QStringLiteral(" dB"));
    tableForm->addRow(QStringLiteral("Event hysteresis:"), hysteresis_);
    const auto clock = [tables](const QString& name) {
        auto* edit = new QTimeEdit(tables);
        edit->setObjectName(name);
        edit->setDisplayFormat(QStringLiteral("HH:mm"));
        return edit;
    };
    dayStart_ = clock(QStringLiteral("day-start"));
    eveningStart_ = clock(QStringLiteral("evening-start"));
    nightStart_ = clock(QStringLiteral("night-start"));
    tableForm->addRow(QStringLiteral("Day begins:"), dayStart_);
    tableForm->addRow(QStringLiteral("Evening begins:"), eveningStart_);
    tableForm->addRow(QStringLiteral("Night begins:"), nightStart_);
    eveningPenalty_ = spin(0.0, 30.0, 1.0, QStringLiteral(" dB"));
    nightPenalty_ = spin(0.0, 30.0, 1.0, QStringLiteral(" dB"));
    tableForm->addRow(QStringLiteral("Evening penalty:"), eveningPenalty_);
    tableForm->addRow(QStringLiteral("Night penalty:"), nightPenalty_);
    auto* eventsNote =
        new QLabel(QStringLiteral("Events lie above the graph window's threshold."), tables);
    eventsNote->setWordWrap(true);
    tableForm->addRow(eventsNote);
    columns->addWidget(tables, 2, Qt::AlignTop);
    layout->addLayout(columns);
    setSettings(ReportSettings{});
    error_ = new QLabel(this);
    error_->setStyleSheet(QStringLiteral("color: #b00000"));
    error_->setWordWrap(true);
    error_->hide();
    layout->addWidget(error_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    setMinimumWidth(760);
    showDrift();
}

void TfrmReportDetails::setEntry(const ReportDetailsStore::Entry& entry)
{
    title_->setText(entry.title);
    for (const ReportDetails::Field& field : ReportDetails::fields())
        setFieldText(field.name, entry.details.value(field.name));
    setSettings(entry.settings);
}

void TfrmReportDetails::setHasSpan(bool hasSpan)
{
    hasSpan_ = hasSpan;
    tablesOver_->setEnabled(hasSpan);
    tablesOver_->setCurrentIndex(hasSpan && overSpanChosen_ ? 1 : 0);
}

void TfrmReportDetails::setSettings(const ReportSettings& settings)
{
    overSpanChosen_ = settings.tablesOverSpan;
    tablesOver_->setCurrentIndex(hasSpan_ && overSpanChosen_ ? 1 : 0);
    const int period = period_->findData(settings.periodMs);
    if (period < 0)
        period_->addItem(ReportSettings::periodText(settings.periodMs), settings.periodMs);
    period_->setCurrentIndex(period_->findData(settings.periodMs));
    minDuration_->setValue(settings.minDurationSeconds);
    hysteresis_->setValue(settings.hysteresisDb);
    const auto time = [](int minute) { return QTime(minute / 60, minute % 60); };
    dayStart_->setTime(time(settings.den.dayStartMinute));
    eveningStart_->setTime(time(settings.den.eveningStartMinute));
    nightStart_->setTime(time(settings.den.nightStartMinute));
    eveningPenalty_->setValue(settings.den.eveningPenaltyDb);
    nightPenalty_->setValue(settings.den.nightPenaltyDb);
}

ReportSettings TfrmReportDetails::settings() const
{
    ReportSettings settings;
    settings.periodMs = period_->currentData().toLongLong();
    settings.minDurationSeconds = minDuration_->value();
    settings.hysteresisDb = hysteresis_->value();
    const auto minute = [](const QTimeEdit* edit) {
        return edit->time().hour() * 60 + edit->time().minute();
    };
    settings.den.dayStartMinute = minute(dayStart_);
    settings.den.eveningStartMinute = minute(eveningStart_);
    settings.den.nightStartMinute = minute(nightStart_);
    settings.den.eveningPenaltyDb = eveningPenalty_->value();
    settings.den.nightPenaltyDb = nightPenalty_->value();
    settings.tablesOverSpan = overSpanChosen_;
    return settings;
}

ReportDetailsStore::Entry TfrmReportDetails::entry() const
{
    ReportDetailsStore::Entry entry;
    entry.title = title_->text().trimmed();
    for (const ReportDetails::Field& field : ReportDetails::fields())
        (void)entry.details.setValue(field.name, fieldText(field.name));
    entry.settings = settings();
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
    else if (ReportSettings::names().contains(name)) {
        ReportSettings changed = settings();
        if (changed.setValue(name, text))
            setSettings(changed);
    }
}

QString TfrmReportDetails::fieldText(const QString& name) const
{
    if (name == kTitle)
        return title_->text();
    if (name == kNotes)
        return notes_->toPlainText();
    if (ReportSettings::names().contains(name))
        return settings().value(name);
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
    QString why;
    if (!bad.isEmpty())
        why = QStringLiteral("%1: a level in dB from 0 to 200 reads like %2.")
                  .arg(bad.join(QStringLiteral(", ")), QLocale().toString(94.0, 'f', 1));
    if (!settings().den.isValid())
        why += (why.isEmpty() ? QString() : QStringLiteral(" ")) +
               QStringLiteral("The day, evening and night must begin in that order round the "
                              "clock, each at least a minute long.");
    return why;
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
