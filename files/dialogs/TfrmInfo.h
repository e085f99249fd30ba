#pragma once

// The information window: caption "Information" and one label, Label1, that
// tells the user what a long logger command is doing. It is placed as an
// MDI child by its user and frees itself when closed.

#include <QWidget>

class QLabel;

class TfrmInfo : public QWidget
{
    Q_OBJECT

public:
    static inline const QString Caption = QStringLiteral("Information");

    explicit TfrmInfo(QWidget* parent = nullptr);

    void setText(const QString& text);
    [[nodiscard]] QString text() const;

    // Paints the window now, for users that block the main thread.
    void repaintNow();

private:
    QLabel* Label1 = nullptr;
};
