#include "files/dialogs/TfrmScope.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {
template <typename W> W* named(W* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    widget->hide();
    return widget;
}
} // namespace

TfrmScope::TfrmScope(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmScope"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    groupBox1_ = named(new QGroupBox(this), "GroupBox1");
    radAll_ = named(new QRadioButton(QStringLiteral("&All"), groupBox1_), "radAll");
    radNo_ = named(new QRadioButton(QStringLiteral("&Select"), groupBox1_), "radNo");
    radAll_->setChecked(true);
    edtSelFrom_ = named(new QLineEdit(QStringLiteral("1"), groupBox1_), "edtSelFrom");
    edtSelTo_ = named(new QLineEdit(groupBox1_), "edtSelTo");
    auto* fromLabel = new QLabel(QStringLiteral("&from"), groupBox1_);
    fromLabel->setBuddy(edtSelFrom_);
    auto* toLabel = new QLabel(QStringLiteral("&to"), groupBox1_);
    toLabel->setBuddy(edtSelTo_);
    // The range fields only mean something with "Select".
    const auto followChoice = [this] {
        edtSelFrom_->setEnabled(radNo_->isChecked());
        edtSelTo_->setEnabled(radNo_->isChecked());
    };
    connect(radNo_, &QRadioButton::toggled, this, followChoice);
    followChoice();
    auto* range = new QGridLayout(groupBox1_);
    range->addWidget(radAll_, 0, 0);
    range->addWidget(radNo_, 1, 0);
    range->addWidget(fromLabel, 1, 1);
    range->addWidget(edtSelFrom_, 1, 2);
    range->addWidget(toLabel, 1, 3);
    range->addWidget(edtSelTo_, 1, 4);
    // The group's own children show with it.
    for (QWidget* child : {static_cast<QWidget*>(radAll_), static_cast<QWidget*>(radNo_),
                           static_cast<QWidget*>(edtSelFrom_), static_cast<QWidget*>(edtSelTo_)})
        child->show();

    sText1_ = named(new QLabel(QStringLiteral("bytes received"), this), "SText1");
    lblBytesReceived_ = named(new QLabel(QStringLiteral("0"), this), "lblBytesReceived");
    sText2_ = named(new QLabel(QStringLiteral("total bytes"), this), "SText2");
    lblTotalBytes_ = named(new QLabel(QStringLiteral("0"), this), "lblTotalBytes");
    for (QLabel* count : {lblBytesReceived_, lblTotalBytes_}) {
        count->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        count->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("000000000")));
    }
    progress1_ = named(new QProgressBar(this), "Progress1");
    progress1_->setRange(0, 100);
    progress1_->setValue(0);

    bitBtn1_ = named(new QPushButton(QStringLiteral("OK"), this), "BitBtn1");
    bitBtn2_ = named(new QPushButton(QStringLiteral("Cancel"), this), "BitBtn2");
    bitBtn1_->setDefault(true);
    connect(bitBtn1_, &QPushButton::clicked, this, &TfrmScope::BitBtn1Click);
    connect(bitBtn2_, &QPushButton::clicked, this, &TfrmScope::BitBtn2Click);

    auto* counters = new QGridLayout;
    counters->addWidget(sText1_, 0, 0);
    counters->addWidget(lblBytesReceived_, 0, 1);
    counters->addWidget(sText2_, 1, 0);
    counters->addWidget(lblTotalBytes_, 1, 1);
    counters->setColumnStretch(2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(bitBtn1_);
    buttons->addWidget(bitBtn2_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(groupBox1_);
    layout->addLayout(counters);
    layout->addWidget(progress1_);
    layout->addLayout(buttons);
    // The dialog takes the size of what a use shows, no wider than needed
    // but wide enough for a readable bar.
    layout->setSizeConstraint(QLayout::SetMinAndMaxSize);
    progress1_->setMinimumWidth(320);
}

void TfrmScope::showTransfer(int total)
{
    for (QWidget* control :
         {static_cast<QWidget*>(progress1_), static_cast<QWidget*>(sText1_),
          static_cast<QWidget*>(sText2_), static_cast<QWidget*>(lblBytesReceived_),
          static_cast<QWidget*>(lblTotalBytes_)})
        control->show();
    progress1_->setRange(0, total);
    progress1_->setValue(0);
    lblTotalBytes_->setText(QString::number(total));
    lblBytesReceived_->setText(QStringLiteral("0"));
}

void TfrmScope::setBytesReceived(int received)
{
    lblBytesReceived_->setText(QString::number(received));
    progress1_->setValue(received);
}

void TfrmScope::repaintNow()
{
    // A blocked main thread delivers no update requests; paint directly.
    repaint();
}

void TfrmScope::BitBtn1Click()
{
    modalResult_ = Ok;
    if (isModal())
        accept();
}

void TfrmScope::BitBtn2Click()
{
    modalResult_ = Cancel;
    if (isModal())
        reject();
}
