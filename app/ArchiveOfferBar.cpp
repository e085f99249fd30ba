#include "app/ArchiveOfferBar.h"

#include "app/ArchiveFileOffer.h"
#include "app/ArchiveSession.h"

#include <QBoxLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>

ArchiveOfferBar* ArchiveOfferBar::offer(QWidget* window, ArchiveSession* session,
                                        const QString& path, std::function<QDateTime()> now)
{
    auto* layout = window ? qobject_cast<QBoxLayout*>(window->layout()) : nullptr;
    if (!layout)
        return nullptr;
    // The "DataLogger" window shows one collection at a time.
    for (ArchiveOfferBar* earlier :
         window->findChildren<ArchiveOfferBar*>(ObjectName, Qt::FindDirectChildrenOnly))
        delete earlier;
    const QDateTime at = now ? now() : QDateTime::currentDateTime();
    if (!ArchiveFileOffer::offered(session, path, at))
        return nullptr;
    auto* bar = new ArchiveOfferBar(session, path, std::move(now), window);
    layout->insertWidget(0, bar);
    return bar;
}

ArchiveOfferBar::ArchiveOfferBar(ArchiveSession* session, QString path,
                                 std::function<QDateTime()> now, QWidget* parent)
    : QFrame(parent), session_(session), path_(std::move(path)), now_(std::move(now))
{
    setObjectName(ObjectName);
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    QPalette look = palette();
    look.setColor(QPalette::Window, QColor(0xFF, 0xF6, 0xC8));
    look.setColor(QPalette::WindowText, Qt::black);
    setPalette(look);

    label_ = new QLabel(ArchiveFileOffer::offerText(path_), this);
    label_->setObjectName(QStringLiteral("lblArchiveOffer"));
    label_->setWordWrap(true);
    keep_ = new QPushButton(ArchiveFileOffer::KeepText, this);
    keep_->setObjectName(QStringLiteral("btnKeepInArchive"));
    close_ = new QToolButton(this);
    close_->setObjectName(QStringLiteral("btnCloseArchiveOffer"));
    close_->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    close_->setAutoRaise(true);
    close_->setToolTip(QStringLiteral("Close"));

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 2, 2, 2);
    row->addWidget(label_, 1);
    row->addWidget(keep_);
    row->addWidget(close_);

    connect(keep_, &QPushButton::clicked, this, &ArchiveOfferBar::btnKeepInArchiveClick);
    connect(close_, &QToolButton::clicked, this, &QObject::deleteLater);
}

void ArchiveOfferBar::btnKeepInArchiveClick()
{
    const QDateTime at = now_ ? now_() : QDateTime::currentDateTime();
    const ArchiveFileOffer::Result result = ArchiveFileOffer::keep(session_, path_, at);
    label_->setText(result.text);
    keep_->setVisible(!result.kept);
}
