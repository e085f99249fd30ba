#include "tools/cli/LiveReadingPrinter.h"

#include "meter/LiveFrame.h"

namespace {
QString maxMinText(const MeterReading& r)
{
    if (!r.maxMinMode)
        return QStringLiteral("-");
    switch (r.maxMinSelect) {
    case LiveFrame::FlagB::SelectMax:
        return QStringLiteral("MAX");
    case LiveFrame::FlagB::SelectMin:
        return QStringLiteral("MIN");
    case LiveFrame::FlagB::SelectAlternating:
        return QStringLiteral("MAX/MIN");
    default:
        return QStringLiteral("on");
    }
}

QString limitText(const MeterReading& r)
{
    if (r.over)
        return QStringLiteral("OVER");
    if (r.under)
        return QStringLiteral("UNDER");
    return QStringLiteral("-");
}

QString rangeText(const MeterReading& r)
{
    return QStringLiteral("%1-%2").arg(rangeLowDb(r.range)).arg(rangeHighDb(r.range));
}

QString clockText(const MeterReading& r, int model)
{
    if (model != 842)
        return QStringLiteral("-");
    return bcdText(r.clock[0]) + ':' + bcdText(r.clock[1]) + ':' + bcdText(r.clock[2]);
}
} // namespace

LiveReadingPrinter::LiveReadingPrinter(QTextStream& out, Format format, int model, QLocale locale)
    : out_(out), format_(format), model_(model), locale_(std::move(locale))
{
}

void LiveReadingPrinter::printHeader()
{
    if (format_ == Format::Csv)
        out_ << "time,level_db,display_db,weighting,response,range_db,maxmin,rec,full,battery,"
                "limit,meter_clock\n";
    out_.flush();
}

void LiveReadingPrinter::renderReading(const MeterReading& reading)
{
    out_ << formatLine(reading, QDateTime::currentDateTime()) << '\n';
    out_.flush();
    ++printed_;
}

QString LiveReadingPrinter::formatLine(const MeterReading& reading, const QDateTime& time) const
{
    return format_ == Format::Csv ? csvLine(reading, time) : textLine(reading, time);
}

QString LiveReadingPrinter::textLine(const MeterReading& r, const QDateTime& time) const
{
    const QString date = locale_.toString(time, locale_.dateFormat(QLocale::ShortFormat)) + ' ' +
                         locale_.toString(time.time(), locale_.timeFormat(QLocale::LongFormat));
    return QStringLiteral("%1  %2 dB  display %3  dB%4 %5  range %6  maxmin %7  %8 %9  battery %10  %11  clock %12")
        .arg(date, locale_.toString(r.level, 'f', 1).rightJustified(5),
             locale_.toString(r.displayTenths / 10.0, 'f', 1).rightJustified(5),
             r.weightingA ? QStringLiteral("A") : QStringLiteral("C"),
             r.fast ? QStringLiteral("FAST") : QStringLiteral("SLOW"), rangeText(r), maxMinText(r),
             r.recording ? QStringLiteral("REC") : QStringLiteral("-"),
             r.memoryFull ? QStringLiteral("FULL") : QStringLiteral("-"))
        .arg(r.batteryLow ? QStringLiteral("low") : QStringLiteral("ok"), limitText(r),
             clockText(r, model_));
}

// CSV is for programs: ISO time and a full stop as decimal separator whatever
// the user's regional settings.
QString LiveReadingPrinter::csvLine(const MeterReading& r, const QDateTime& time) const
{
    const QLocale c = QLocale::c();
    return QStringList{time.toString(Qt::ISODateWithMs),
                       c.toString(r.level, 'f', 1),
                       c.toString(r.displayTenths / 10.0, 'f', 1),
                       r.weightingA ? QStringLiteral("A") : QStringLiteral("C"),
                       r.fast ? QStringLiteral("FAST") : QStringLiteral("SLOW"),
                       rangeText(r),
                       maxMinText(r),
                       r.recording ? QStringLiteral("1") : QStringLiteral("0"),
                       r.memoryFull ? QStringLiteral("1") : QStringLiteral("0"),
                       r.batteryLow ? QStringLiteral("low") : QStringLiteral("ok"),
                       limitText(r),
                       clockText(r, model_)}
        .join(',');
}
