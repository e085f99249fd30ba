#pragma once

// Date-time ticks whose label format follows the tick step, so the labels
// stay readable from a span of a second to many days: milliseconds below a
// second, seconds below a minute, minutes below a day, dates above. The date
// goes on a second label line, in the locale's short date format. Keys are
// wall-clock seconds shown as UTC (see PESGraphTime).
//
// Between a second and a day the steps are ones the label shows exactly
// (1, 2, 5, 10, 15 and 30 s, the same in minutes, 1, 2, 3, 6 and 12 h):
// a tick never sits at a half second or half minute that its label cuts off.

#include <qcustomplot.h>

class PESGraphDateTimeTicker : public QCPAxisTickerDateTime
{
public:
    PESGraphDateTimeTicker();

    // The label format for a tick step in seconds.
    static QString formatForStep(double stepSeconds);

protected:
    double getTickStep(const QCPRange& range) override;
};
