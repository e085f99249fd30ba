#include "realtime/TfrmSetupRealTime.h"

#include "data/SamplingRateList.h"
#include "realtime/RecordingPeriod.h"
#include "realtime/SamplingInterval.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {
QLabel* namedLabel(const char* name, const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    return label;
}
} // namespace

TfrmSetupRealTime::TfrmSetupRealTime(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmSetupRealTime"));
    setWindowTitle(QStringLiteral("Real-Time Setup"));
    // Only a close box, and always above the main window.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);

    Label1 = namedLabel("Label1", QStringLiteral("Real-Time data no to be recorded"), this);
    Label2 = namedLabel("Label2", QStringLiteral("(Adjust the number to meet your need)"), this);

    edtRealTimeNo = new QLineEdit(this);
    edtRealTimeNo->setObjectName(QStringLiteral("edtRealTimeNo"));
    // Up to five digits, none of them required ("0" is an optional digit
    // here); places not typed show as blanks, so " 2000" shows as it stands.
    edtRealTimeNo->setInputMask(QStringLiteral("00000; "));
    edtRealTimeNo->setText(InitialPointCountText);
    edtRealTimeNo->setAlignment(Qt::AlignRight);

    Label3 = namedLabel("Label3", QStringLiteral("Real -Time Sampling Rate"), this);
    txtRate = new QComboBox(this);
    txtRate->setObjectName(QStringLiteral("txtRate"));
    txtRate->setEditable(true);
    txtRate->setInsertPolicy(QComboBox::NoInsert);
    Label6 = namedLabel("Label6", QStringLiteral("second"), this);

    Label4 = namedLabel("Label4", QStringLiteral("Recording Period"), this);
    // The period is computed, never typed: its panel is disabled.
    pnlPeriod = new QWidget(this);
    pnlPeriod->setObjectName(QStringLiteral("pnlPeriod"));
    pnlPeriod->setEnabled(false);
    edtPeriod = new QLineEdit(pnlPeriod);
    edtPeriod->setObjectName(QStringLiteral("edtPeriod"));
    edtPeriod->setReadOnly(true);
    auto* periodLayout = new QHBoxLayout(pnlPeriod);
    periodLayout->setContentsMargins(0, 0, 0, 0);
    periodLayout->addWidget(edtPeriod);
    Label5 = namedLabel("Label5", QStringLiteral("HH:MM:SS"), this);

    btnOpenSingleSet = new QPushButton(QStringLiteral("Start"), this);
    btnOpenSingleSet->setObjectName(QStringLiteral("btnOpenSingleSet"));
    btnOpenSingleSet->setDefault(true);
    Button1 = new QPushButton(QStringLiteral("Cancel"), this);
    Button1->setObjectName(QStringLiteral("Button1"));

    auto* grid = new QGridLayout;
    grid->addWidget(Label1, 0, 0, 1, 3);
    grid->addWidget(edtRealTimeNo, 1, 0);
    grid->addWidget(Label2, 1, 1, 1, 2);
    grid->addWidget(Label3, 2, 0, 1, 3);
    grid->addWidget(txtRate, 3, 0);
    grid->addWidget(Label6, 3, 1);
    grid->addWidget(Label4, 4, 0, 1, 3);
    grid->addWidget(pnlPeriod, 5, 0);
    grid->addWidget(Label5, 5, 1);
    grid->setColumnStretch(2, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOpenSingleSet);
    buttons->addWidget(Button1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addLayout(buttons);

    connect(btnOpenSingleSet, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button1, &QPushButton::clicked, this, &QDialog::reject);
    connect(edtRealTimeNo, &QLineEdit::textChanged, this, [this] { edtRealTimeNoChange(); });
    connect(txtRate, &QComboBox::currentTextChanged, this, [this] { edtRealTimeNoChange(); });

    fillRateItems();
}

void TfrmSetupRealTime::setRateText(const QString& text)
{
    const bool wasFilling = filling_;
    filling_ = true;
    txtRate->setEditText(text);
    filling_ = wasFilling;
}

QString TfrmSetupRealTime::rateText() const
{
    return txtRate->currentText();
}

QString TfrmSetupRealTime::pointCountText() const
{
    return edtRealTimeNo->text();
}

QString TfrmSetupRealTime::periodText() const
{
    return edtPeriod->text();
}

void TfrmSetupRealTime::setInitialPeriod(double intervalSeconds)
{
    edtPeriod->setText(
        RecordingPeriod::text(RecordingPeriod::seconds(InitialPointCount, intervalSeconds), false));
}

void TfrmSetupRealTime::edtRealTimeNoChange()
{
    if (filling_)
        return;
    bool ok = false;
    const double rate = QLocale().toDouble(rateText().trimmed(), &ok);
    // A rate half typed is no rate yet, and one out of range none at all:
    // the period waits for a usable number.
    if (!ok || !SamplingInterval::usable(rate))
        return;
    const qint64 n = RecordingPeriod::typedPointCount(pointCountText());
    edtPeriod->setText(RecordingPeriod::text(RecordingPeriod::seconds(n, rate), true));
}

void TfrmSetupRealTime::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TfrmSetupRealTime::FormShow()
{
    fillRateItems();
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

void TfrmSetupRealTime::fillRateItems()
{
    // Rewriting the items keeps the text the dialog was opened with.
    filling_ = true;
    const QString text = txtRate->currentText();
    txtRate->clear();
    txtRate->addItems(SamplingRateList::itemTexts(QLocale()));
    txtRate->setEditText(text);
    filling_ = false;
}
