#pragma once

// Tslider2: a track with two independent thumbs, each holding an integer value
// in the common range Minimum..Maximum. Values are not kept in order (Value1
// may exceed Value2). Every change of a value, by a program call or by a drag,
// goes through SetValue1/SetValue2, which clamp it and emit valueChange1() or
// valueChange2() only when the stored value really changed.
//
// A value v sits at pixel pos(v) = (L - ThumbHeight) * (v - Minimum) /
// (Maximum - Minimum) along the track (integer arithmetic, truncating toward
// zero), L being the width (horizontal) or height (vertical); vertical sliders
// grow upward. With Maximum == Minimum, or a control no longer than a thumb,
// both thumbs sit at position 0 and dragging does nothing.
//
// Moving a thumb repaints only the old and new thumb strips; a full repaint
// happens when a visual property, Minimum or Maximum changes.

#include <QColor>
#include <QWidget>

class QPainter;

enum TSliderOrientation
{
    slHoriz = 0,
    slVertical = 1
};

class Tslider2 : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int TrackWidth READ TrackWidth WRITE SetTrackWidth)
    Q_PROPERTY(QColor TrackColor READ TrackColor WRITE SetTrackColor)
    Q_PROPERTY(int ThumbHeight READ ThumbHeight WRITE SetThumbHeight)
    Q_PROPERTY(int ThumbWidth READ ThumbWidth WRITE SetThumbWidth)
    Q_PROPERTY(QColor ThumbColor READ ThumbColor WRITE SetThumbColor)
    Q_PROPERTY(int Minimum READ Minimum WRITE SetMin)
    Q_PROPERTY(int Maximum READ Maximum WRITE SetMax)
    Q_PROPERTY(int Value1 READ Value1 WRITE SetValue1 NOTIFY valueChange1)
    Q_PROPERTY(int Value2 READ Value2 WRITE SetValue2 NOTIFY valueChange2)

public:
    explicit Tslider2(QWidget* parent = nullptr);

    [[nodiscard]] int TrackWidth() const { return m_trackWidth; }
    [[nodiscard]] QColor TrackColor() const { return m_trackColor; }
    [[nodiscard]] int ThumbHeight() const { return m_thumbHeight; }
    [[nodiscard]] int ThumbWidth() const { return m_thumbWidth; }
    [[nodiscard]] QColor ThumbColor() const { return m_thumbColor; }
    [[nodiscard]] TSliderOrientation Orientation() const { return m_orientation; }
    [[nodiscard]] int Minimum() const { return m_minimum; }
    [[nodiscard]] int Maximum() const { return m_maximum; }
    [[nodiscard]] int Value1() const { return m_value1; }
    [[nodiscard]] int Value2() const { return m_value2; }

    // Visual properties: a different value is stored and the control repainted.
    void SetTrackWidth(int width);
    void SetTrackColor(const QColor& color);
    void SetThumbHeight(int height);
    void SetThumbWidth(int width);
    void SetThumbColor(const QColor& color);
    void SetOrientation(TSliderOrientation orientation);

    // Range ends; a value outside the new range is pulled in through its
    // setter (and so reported).
    void SetMin(int minimum);
    void SetMax(int maximum);

    // Clamped into Minimum..Maximum; reported only when the value changes.
    void SetValue1(int value);
    void SetValue2(int value);

    // Pixel offset of a value along the track.
    [[nodiscard]] int positionOf(int value) const;
    // Where thumb 1 and thumb 2 are drawn and can be grabbed.
    [[nodiscard]] QRect thumbRect1() const { return thumbRectAt(m_value1); }
    [[nodiscard]] QRect thumbRect2() const { return thumbRectAt(m_value2); }

    [[nodiscard]] QSize sizeHint() const override { return {200, 50}; }

signals:
    void valueChange1();
    void valueChange2();
    // A mouse press that grabs no thumb (elsewhere, or another button).
    void mouseDown(Qt::MouseButton button, QPoint position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    struct Drag
    {
        bool active = false;
        QPoint start;
        int startValue = 0;
    };

    [[nodiscard]] QRect thumbRectAt(int value) const;
    [[nodiscard]] int trackLength() const;
    [[nodiscard]] int draggedValue(const Drag& drag, QPoint position) const;
    [[nodiscard]] int clamped(int value) const;
    void thumbMoved(const QRect& before, const QRect& after);
    void drawTrack(QPainter& painter) const;
    void drawThumb(QPainter& painter, const QRect& rect) const;

    int m_trackWidth = 5;
    QColor m_trackColor;
    int m_thumbHeight = 20;
    int m_thumbWidth = 8;
    QColor m_thumbColor;
    TSliderOrientation m_orientation = slHoriz;
    int m_minimum = 0;
    int m_maximum = 100;
    int m_value1 = 0;
    int m_value2 = 100;
    Drag m_drag1;
    Drag m_drag2;
    bool m_paintedOnce = false;
};
