#include "graph/TfrmAnnoEdit.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfrmAnnoEdit::TfrmAnnoEdit(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frmAnnoEdit"));
    setModal(true);
    setFrameless();

    edit1_ = new QLineEdit(this);
    edit1_->setObjectName(QStringLiteral("Edit1"));
    edit1_->setMinimumWidth(220);
    bitBtn1_ = new QPushButton(QStringLiteral("OK"), this);
    bitBtn1_->setObjectName(QStringLiteral("BitBtn1"));
    bitBtn1_->setDefault(true);
    bitBtn2_ = new QPushButton(QStringLiteral("Cancel"), this);
    bitBtn2_->setObjectName(QStringLiteral("BitBtn2"));
    connect(bitBtn1_, &QPushButton::clicked, this, &QDialog::accept);
    connect(bitBtn2_, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(bitBtn1_);
    buttons->addWidget(bitBtn2_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(edit1_);
    layout->addLayout(buttons);
    edit1_->setFocus();
}

void TfrmAnnoEdit::setFrameless()
{
    // Without a caption the window still needs an edge to stand out.
    setAutoFillBackground(true);
    setStyleSheet(QStringLiteral("TfrmAnnoEdit { border: 1px solid palette(dark); }"));
}

QString TfrmAnnoEdit::text() const
{
    return edit1_->text();
}
