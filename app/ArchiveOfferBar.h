#pragma once

// A thin bar at the top of a window that shows an opened file: "<file> is
// not in the archive." with [Keep in the archive] and a close button. A
// click keeps the file and the bar says what happened (after a failure the
// button stays, to try again); the close button takes the bar away. The
// decision and the store are ArchiveFileOffer's.

#include <QDateTime>
#include <QFrame>
#include <QPointer>
#include <QString>

#include <functional>

class ArchiveSession;
class QLabel;
class QPushButton;
class QToolButton;

class ArchiveOfferBar : public QFrame
{
    Q_OBJECT

public:
    static inline const QString ObjectName = QStringLiteral("pnlArchiveOffer");

    // Puts the offer at the top of window (whose layout is a box layout)
    // when ArchiveFileOffer offers path, replacing an earlier offer there.
    // Null when nothing is offered.
    static ArchiveOfferBar* offer(QWidget* window, ArchiveSession* session, const QString& path,
                                  std::function<QDateTime()> now);

    ArchiveOfferBar(ArchiveSession* session, QString path, std::function<QDateTime()> now,
                    QWidget* parent = nullptr);

    [[nodiscard]] QLabel* lblArchiveOffer() const { return label_; }
    [[nodiscard]] QPushButton* btnKeepInArchive() const { return keep_; }
    [[nodiscard]] QToolButton* btnCloseArchiveOffer() const { return close_; }

private:
    void btnKeepInArchiveClick();

    QPointer<ArchiveSession> session_;
    QString path_;
    std::function<QDateTime()> now_;
    QLabel* label_ = nullptr;
    QPushButton* keep_ = nullptr;
    QToolButton* close_ = nullptr;
};
