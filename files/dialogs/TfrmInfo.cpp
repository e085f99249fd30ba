#include "files/dialogs/TfrmInfo.h"

#include <QLabel>
#include <QVBoxLayout>

TfrmInfo::TfrmInfo(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmInfo"));
    setWindowTitle(Caption);
    setAttribute(Qt::WA_DeleteOnClose);
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 18, 24, 18);
    layout->addWidget(Label1);
    setMinimumWidth(280);
}

void TfrmInfo::setText(const QString& text)
{
    Label1->setText(text);
}

QString TfrmInfo::text() const
{
    return Label1->text();
}

void TfrmInfo::repaintNow()
{
    // A blocked main thread delivers no update requests; paint directly
    // (the frame too, when the window sits in an MDI area).
    if (parentWidget())
        parentWidget()->repaint();
    else
        repaint();
}
