#pragma once

// Date-time ticks whose label format follows the tick step, so the labels
// stay readable from a span of a second to many days: milliseconds below a
// second, seconds below a minute, minutes below a day, dates above. The date
// goes on a second label line, in the locale's short date format, and only
// where it is news: on the first tick shown and on the ticks where the day
// changes. Keys are wall-clock seconds shown as UTC (see PESGraphTime).
//
// Between a second and a day the steps are ones the label shows exactly
// (1, 2, 5, 10, 15 and 30 s, the same in minutes, 1, 2, 3, 6 and 12 h):
// a tick never sits at a half second or half minute that its label cuts off.
//
// Given its axis, the ticker asks for the axis's length in pixels and takes
// no more ticks than their labels have room for, so that neighbouring labels
// never run into each other, on screen as on paper, however narrow the
// chart; at most tickCount() ticks when there is room.

#include <qcustomplot.h>

#include <QHash>
#include <QPointer>

class PESGraphDateTimeTicker : public QCPAxisTickerDateTime
{
public:
    explicit PESGraphDateTimeTicker(QCPAxis* axis = nullptr);

    // The label format for a tick step in seconds; with fourDigitYears the
    // date line's year has four digits whatever the locale's short date
    // has (printed reports).
    static QString formatForStep(double stepSeconds, bool fourDigitYears = false);
    void setFourDigitYears(bool fourDigitYears) { fourDigitYears_ = fourDigitYears; }

    // The width in pixels the widest label of a format takes in a font, and
    // the least free room kept between two neighbouring labels.
    static int labelWidth(const QString& format, const QFont& font);
    static int labelGap(const QFont& font);

protected:
    double getTickStep(const QCPRange& range) override;
    QVector<QString> createLabelVector(const QVector<double>& ticks, const QLocale& locale,
                                       QChar formatChar, int precision) override;

private:
    // The step for about `count` ticks over the range.
    double stepForCount(const QCPRange& range, int count);
    // The axis's length in pixels for the layout under way, and where it
    // starts in the plot (left); 0 without an axis.
    [[nodiscard]] double axisPixels(double* left = nullptr) const;
    // The chart would leave out this label as sticking out of it.
    [[nodiscard]] bool cutByTheBorder(double tick, const QString& label) const;
    [[nodiscard]] bool labelsFit(double step, const QCPRange& range, double pixels) const;

    QPointer<QCPAxis> axis_;
    bool fourDigitYears_ = false;
    // The room a label takes, by format and font.
    mutable QHash<QString, int> measured_;
};
