#include "app/TfrmAutoLoad.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

TfrmAutoLoad::TfrmAutoLoad(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frmAutoLoad"));
    setWindowTitle(Caption);
    setModal(true);

    Label3 = new QLabel(QStringLiteral("Data Logging every "), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    for (int hours = 1; hours <= 24; ++hours)
        ComboBox1->addItem(QString::number(hours));
    ComboBox1->setCurrentIndex(0);
    ComboBox1->setMinimumContentsLength(3);
    Label1 = new QLabel(QStringLiteral("HOUR"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label3->setBuddy(ComboBox1);

    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton),
                              QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                              QStringLiteral("Cancel"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    auto* schedule = new QHBoxLayout;
    schedule->addWidget(Label3);
    schedule->addWidget(ComboBox1);
    schedule->addWidget(Label1);
    schedule->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(schedule);
    layout->addSpacing(12);
    layout->addLayout(buttons);
    // Fixed to its controls, yet wide enough that a window manager shows
    // the whole caption beside its title bar buttons.
    const int captionRoom = fontMetrics().horizontalAdvance(Caption) * 3 / 2 + 90;
    setFixedSize(std::max(sizeHint().width(), captionRoom), sizeHint().height());
}

QString TfrmAutoLoad::hourText() const
{
    return ComboBox1->currentText();
}

void TfrmAutoLoad::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (const QScreen* screen =
            this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}
