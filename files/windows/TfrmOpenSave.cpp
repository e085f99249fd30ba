#include "files/windows/TfrmOpenSave.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {
QPushButton* choiceButton(QWidget* parent, const char* name, QStyle::StandardPixmap icon)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setIcon(parent->style()->standardIcon(icon));
    button->setMinimumHeight(36);
    // Long texts stay on one line and the button grows with them.
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    button->setStyleSheet(QStringLiteral("text-align: left; padding: 4px 10px;"));
    button->setAutoDefault(false);
    return button;
}
} // namespace

TfrmOpenSave::TfrmOpenSave(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmOpenSave"));
    // A title and a close box only: the dialog has nothing to minimise or enlarge.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setModal(true);

    btnOpenSets_ = choiceButton(this, "btnOpenSets", QStyle::SP_DirIcon);
    btnOpenSingleSet_ = choiceButton(this, "btnOpenSingleSet", QStyle::SP_FileIcon);
    Button1_ = new QPushButton(QStringLiteral("Cancel"), this);
    Button1_->setObjectName(QStringLiteral("Button1"));
    Button1_->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->setSpacing(8);
    layout->addWidget(btnOpenSets_);
    layout->addWidget(btnOpenSingleSet_);
    layout->addSpacing(6);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    btnOpenSets_->setMinimumWidth(380);

    connect(btnOpenSets_, &QPushButton::clicked, this, [this] { done(Sets); });
    connect(btnOpenSingleSet_, &QPushButton::clicked, this, [this] { done(SingleSet); });
    connect(Button1_, &QPushButton::clicked, this, [this] { done(Cancel); });
}

void TfrmOpenSave::setChoices(const QString& setsText, const QString& singleSetText)
{
    btnOpenSets_->setText(setsText);
    btnOpenSingleSet_->setText(singleSetText);
}

void TfrmOpenSave::reject()
{
    // Escape and the close box count as the Cancel button.
    done(Cancel);
}
