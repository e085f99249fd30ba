#include "tools/cli/FigureCommandTable.h"

namespace CommandLine {

namespace {

// The series: a file, or archive:ID with the archive options.
QList<Option> seriesOptions()
{
    return {{QStringLiteral("set"), QStringLiteral("N"),
             QStringLiteral("The data set of a collection file, from 1 (default 1).")},
            {QStringLiteral("from"), QStringLiteral("TIME"),
             QStringLiteral("Start of the span: a time of day, hh:mm[:ss], or a date and time, "
                            "yyyy-mm-ddThh:mm[:ss]. Goes with --to.")},
            {QStringLiteral("to"), QStringLiteral("TIME"),
             QStringLiteral("End of the span, not included: a time of day or a date and time. "
                            "Goes with --from.")},
            archiveOption(),
            {QStringLiteral("no-archive"), {},
             QStringLiteral("Read from no archive: archive:ID is refused.")}};
}

Option formatOption(bool csv)
{
    return {QStringLiteral("format"), QStringLiteral("FORMAT"),
            csv ? QStringLiteral("text (the default; TAB-separated, the regional number "
                                 "format), csv (ISO times, full stops) or json (times in ISO "
                                 "8601 with the UTC offset, figures as numbers).")
                : QStringLiteral("text (the default) or json (figures as numbers).")};
}

QList<Option> eventOptions(const QString& thresholdText)
{
    return {{QStringLiteral("threshold"), QStringLiteral("dB"), thresholdText},
            {QStringLiteral("min-duration"), QStringLiteral("DURATION"),
             QStringLiteral("The shortest event, such as 10s (the default), 1m or 0.5h.")},
            {QStringLiteral("hysteresis"), QStringLiteral("dB"),
             QStringLiteral("An event ends at a level below the threshold minus this (default "
                            "2).")}};
}

QList<ExitCode> exitCodes(const QString& printed)
{
    return {{QStringLiteral("0"), printed},
            {QStringLiteral("1"), QStringLiteral("the file cannot be read, holds no such set or "
                                                 "no points, its times run backwards, the "
                                                 "archive holds no measurement ID, or "
                                                 "standard output could not be written")},
            {QStringLiteral("2"), QStringLiteral("usage error, also a value that does not read "
                                                 "and a span without points")},
            {QStringLiteral("11, 12, 16"),
             QStringLiteral("the file does not decode: 11 a data set is damaged, 12 it counts "
                            "more than 4000 data sets, 16 it holds no data sets")}};
}

} // namespace

QList<Option> denOptions()
{
    return {{QStringLiteral("den-hours"), QStringLiteral("D,E,N"),
             QStringLiteral("The starts of the day, evening and night periods (default "
                            "07:00,19:00,23:00).")},
            {QStringLiteral("den-penalties"), QStringLiteral("E,N"),
             QStringLiteral("The evening and night penalties in dB (default 5,10).")}};
}

QList<Command> figureCommands()
{
    QList<Command> list;
    list.append(
        {QStringLiteral("periods"),
         QStringLiteral("FILE|archive:ID --period LENGTH [--set N] [--from TIME --to TIME] "
                        "[--percentiles nearest-rank|interpolated] [--threshold dB] "
                        "[--min-duration DURATION] [--hysteresis dB] [--format text|csv|json] "
                        "[--archive URL|FILE|--no-archive]"),
         QStringLiteral("print the levels of every period of a series"),
         QStringLiteral("Prints, for consecutive periods aligned to the clock, the equivalent "
                        "level (weighted by the time each sample stands for), Lmax, L10, L90, "
                        "the samples and how much of the period they cover; a period not fully "
                        "covered is marked incomplete. With --threshold also the exceedance "
                        "events that start in each period. "
                        "archive:ID reads measurement ID of the archive as the file "
                        "`archive export ID` writes."),
         QList<Option>{{QStringLiteral("period"), QStringLiteral("LENGTH"),
                        QStringLiteral("The length of a period, dividing a day: 5m, 15m, 1h, "
                                       "... (required).")},
                       {QStringLiteral("percentiles"), QStringLiteral("RULE"),
                        QStringLiteral("nearest-rank (the default: always a measured level) or "
                                       "interpolated (as a spreadsheet's PERCENTILE.INC).")}} +
             seriesOptions() +
             eventOptions(QStringLiteral("Also count the events above this level per period.")) +
             QList<Option>{formatOption(true)},
         exitCodes(QStringLiteral("the periods were printed")),
         QStringLiteral("audimark-cli periods today.rec --set 2 --period 15m --format csv")});
    list.append(
        {QStringLiteral("events"),
         QStringLiteral("FILE|archive:ID --threshold dB [--set N] [--from TIME --to TIME] "
                        "[--min-duration DURATION] [--hysteresis dB] [--format text|csv|json] "
                        "[--archive URL|FILE|--no-archive]"),
         QStringLiteral("list the times a level stayed above a threshold"),
         QStringLiteral("Lists the exceedance events of a series: the level above the threshold "
                        "(strictly, at its 0.1 dB step) for at least the minimum duration, ended "
                        "by a level below the threshold minus the hysteresis, a gap or the end; "
                        "each with start, end, duration, Lmax, equivalent level and sound "
                        "exposure level (SEL). "
                        "archive:ID reads measurement ID of the archive as the file "
                        "`archive export ID` writes."),
         eventOptions(QStringLiteral("The level an event lies above (required).")) +
             seriesOptions() + QList<Option>{formatOption(true)},
         exitCodes(QStringLiteral("the events were printed (also none)")),
         QStringLiteral("audimark-cli events today.rec --threshold 70 --min-duration 30s")});
    list.append(
        {QStringLiteral("dose"),
         QStringLiteral("FILE|archive:ID [--set N] [--from TIME --to TIME] [--exposure DURATION] "
                        "[--criterion dB] [--exchange-rate 3|5] [--format text|json] "
                        "[--archive URL|FILE|--no-archive]"),
         QStringLiteral("print the daily noise exposure and dose"),
         QStringLiteral("Prints LEX,8h, the daily noise exposure level of the series taken for "
                        "the exposure duration, and the dose in % against the criterion level "
                        "for 8 h: with the 3 dB exchange rate it doubles every 3 dB of LEX,8h; "
                        "with the 5 dB exchange rate the levels are averaged 5 dB per doubling "
                        "and the criterion is its own (default 90). "
                        "archive:ID reads measurement ID of the archive as the file "
                        "`archive export ID` writes."),
         QList<Option>{{QStringLiteral("exposure"), QStringLiteral("DURATION"),
                        QStringLiteral("The exposure duration the series stands for, such as "
                                       "8h (the default) or 90m.")},
                       {QStringLiteral("criterion"), QStringLiteral("dB"),
                        QStringLiteral("The level of 100 % for 8 h (default 85, 90 with "
                                       "--exchange-rate 5).")},
                       {QStringLiteral("exchange-rate"), QStringLiteral("dB"),
                        QStringLiteral("3 (the default) or 5.")}} +
             seriesOptions() + QList<Option>{formatOption(false)},
         exitCodes(QStringLiteral("the dose was printed")),
         QStringLiteral("audimark-cli dose shift.rec --exposure 8h --format json")});
    return list;
}

} // namespace CommandLine
