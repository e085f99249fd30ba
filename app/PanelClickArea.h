#pragma once

// An invisible key on the picture of the meter's front. It reports the press
// and the release of the left mouse button separately, the release also when
// the pointer has left the key meanwhile (the MAX/MIN key tells a short press
// from a long one by them), and a click when the button went up over the key.

#include <QWidget>

class PanelClickArea : public QWidget
{
    Q_OBJECT

public:
    PanelClickArea(const QString& name, const QRect& geometry, const QString& hint,
                   QWidget* parent);

signals:
    void mouseDown();
    void mouseUp();
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool pressed_ = false;
};
