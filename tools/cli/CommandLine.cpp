#include "tools/cli/CommandLine.h"
#include "tools/cli/FigureCommandTable.h"

#include "files/formats/ReportDetails.h"

#include <QTextStream>

#include <algorithm>

namespace CommandLine {

namespace {
const QString Program = QStringLiteral("audimark-cli");
constexpr qsizetype PageWidth = 79;

Option portOption()
{
    return {QStringLiteral("port"), QStringLiteral("PATH"),
            QStringLiteral("A serial port to search for the meter; repeatable. Default: every "
                           "port the system lists.")};
}

Option quietOption()
{
    return {QStringLiteral("quiet"),
            {},
            QStringLiteral("No progress and no status lines on standard error, only errors.")};
}

Option verboseOption()
{
    return {QStringLiteral("verbose"),
            {},
            QStringLiteral("Also the ports searched and every file written.")};
}

} // namespace

Option archiveOption()
{
    return {QStringLiteral("archive"), QStringLiteral("URL|FILE"),
            QStringLiteral("The archive: an SQLite file, or a PostgreSQL server as "
                           "postgresql://user@host:port/database (the password from ~/.pgpass or "
                           "PGPASSFILE). Default: $AUDIMARK_ARCHIVE, else archive.sqlite in the "
                           "program's data directory.")};
}

namespace {

Option noArchiveOption()
{
    return {QStringLiteral("no-archive"), {},
            QStringLiteral("Store nothing in the archive.")};
}

Option setOption(const QString& what)
{
    return {QStringLiteral("set"), QStringLiteral("N"), what};
}

Option spanOption(const QString& name)
{
    return name == QLatin1String("from")
               ? Option{name, QStringLiteral("TIME"),
                        QStringLiteral("Start of the span: a time of day, hh:mm[:ss], or a date "
                                       "and time, yyyy-mm-ddThh:mm[:ss]. Goes with --to.")}
               : Option{name, QStringLiteral("TIME"),
                        QStringLiteral("End of the span, not included: a time of day or a date "
                                       "and time. Goes with --from.")};
}

// The report's details, one option a field (ReportDetails), shown on the
// first page.
QList<Option> reportDetailOptions()
{
    QList<Option> options;
    for (const ReportDetails::Field& field : ReportDetails::fields()) {
        if (field.level) {
            options.append(
                {field.name, QStringLiteral("dB"),
                 QStringLiteral("The calibrator's reading on the meter %1 the "
                                "measurement, in dB; with both, the report shows "
                                "the drift (after - before).")
                     .arg(field.name.endsWith(QLatin1String("before")) ? QStringLiteral("before")
                                                                       : QStringLiteral("after"))});
            continue;
        }
        QString what = field.label.chopped(1).toLower();
        if (field.name.startsWith(QLatin1String("instrument-")) &&
            !what.startsWith(QLatin1String("instrument")))
            what = QStringLiteral("instrument's ") + what;
        options.append({field.name, QStringLiteral("TEXT"),
                        QStringLiteral("The %1, on the first page.").arg(what)});
    }
    return options;
}

// How the report's tables are made (ReportSettings).
QList<Option> reportSettingOptions()
{
    return {{QStringLiteral("period"), QStringLiteral("LENGTH"),
             QStringLiteral("The length of the periods of the period table, dividing a day: "
                            "5m, 15m, 1h, ... Default (auto): by the series' span, 5m up to 2 h, "
                            "15m up to 12 h, 1h up to 14 days, 1d beyond.")},
            {QStringLiteral("min-duration"), QStringLiteral("DURATION"),
             QStringLiteral("The shortest exceedance event, such as 10s (the default), 1m or "
                            "0.5h; events lie above --threshold.")},
            {QStringLiteral("hysteresis"), QStringLiteral("dB"),
             QStringLiteral("An event ends at a level below the threshold minus this (default "
                            "2).")},
            {QStringLiteral("tables-over"), QStringLiteral("whole|span"),
             QStringLiteral("What the tables after the first page cover: the whole series (the "
                            "default) or only the span between --from and --to.")}};
}

Option thresholdOption()
{
    return {QStringLiteral("threshold"), QStringLiteral("dB"),
            QStringLiteral("The level for the time above it (default 85), counted at its "
                           "0.1 dB step.")};
}

const QString StdoutFailure = QStringLiteral("standard output could not be written");
const ExitCode UsageExit{QStringLiteral("2"),
                         QStringLiteral("usage error (one line and a hint on standard error)")};
const ExitCode FileDecodeExit{
    QStringLiteral("11, 12, 16"),
    QStringLiteral("the file does not decode: 11 a data set is damaged, 12 it counts more than "
                   "4000 data sets, 16 it holds no data sets")};
const ExitCode SetupUnconfirmedExit{
    QStringLiteral("3"),
    QStringLiteral("the meter did not confirm the operation or refused it (while recording)")};

QList<Command> buildCommands()
{
    QList<Command> list;
    list.append(
        {QStringLiteral("live"),
         QStringLiteral("[--port PATH]... [--count N] [--format text|csv] "
                        "[--give-up-after SECONDS]"),
         QStringLiteral("print the meter's live readings"),
         QStringLiteral("Finds the meter (model 841 or 842) as the program does and prints one "
                        "line per live reading on standard output until --count readings or "
                        "Ctrl-C. A meter that stops answering is reported on standard error, "
                        "and again when it is back."),
         {portOption(),
          {QStringLiteral("count"), QStringLiteral("N"), QStringLiteral("Stop after N readings.")},
          {QStringLiteral("format"), QStringLiteral("FORMAT"),
           QStringLiteral("text (the default; follows the regional settings) or csv (ISO times, "
                          "a full stop as decimal separator).")},
          {QStringLiteral("give-up-after"), QStringLiteral("SECONDS"),
           QStringLiteral("End with status 1 after this many seconds without a reading (meter "
                          "silent or device gone).")}},
         {{QStringLiteral("0"),
           QStringLiteral("the readings were printed (--count reached, or Ctrl-C)")},
          {QStringLiteral("1"), QStringLiteral("no serial port, no meter answered, "
                                               "--give-up-after ran out, or ") +
                                    StdoutFailure},
          UsageExit},
         QStringLiteral("audimark-cli live --port /dev/ttyUSB0 --count 10 --format csv")});
    list.append(
        {QStringLiteral("download"),
         QStringLiteral("--out FILE.rec [--port PATH]... [--csv-dir DIR] [--retry N] [--repair] "
                        "[--keep-damaged] [--quiet|--verbose] [--archive URL|FILE|--no-archive]"),
         QStringLiteral("save the logger memory of a model 842"),
         QStringLiteral("Loads the logger memory as the program's Load Data does and writes it "
                        "as a data set collection file, with --csv-dir also one CSV file per "
                        "data set. The memory and its data sets also go to the archive; an "
                        "archive that cannot be opened or written is a warning, the files are "
                        "written all the same. Progress and messages go to standard error: on a "
                        "terminal the progress line is rewritten in place, elsewhere each step "
                        "is a line of its own."),
         {{QStringLiteral("out"), QStringLiteral("FILE.rec"),
           QStringLiteral("The data set collection file to write (required).")},
          {QStringLiteral("csv-dir"), QStringLiteral("DIR"),
           QStringLiteral("Also write one CSV file per data set into DIR.")},
          {QStringLiteral("retry"), QStringLiteral("N"),
           QStringLiteral("Answer Retry this many times after a failed load (default 0).")},
          {QStringLiteral("repair"),
           {},
           QStringLiteral("After the retries, drop a damaged data set and every later one from "
                          "the meter, as the program's OK to its data error question does.")},
          {QStringLiteral("keep-damaged"),
           {},
           QStringLiteral("Write the memory image to --out also when it does not decode.")},
          portOption(),
          quietOption(),
          verboseOption(),
          archiveOption(),
          noArchiveOption()},
         {{QStringLiteral("0"), QStringLiteral("the memory was loaded and written")},
          {QStringLiteral("1"), QStringLiteral("no serial port or no model 842 answered, the "
                                               "load could not start (the meter records) or "
                                               "ended on a port error, or a file could not be "
                                               "written")},
          UsageExit,
          {QStringLiteral("11-16"),
           QStringLiteral("no load succeeded; 10 plus the first failure: 11 a data set is "
                          "damaged, 12 more than 4000 data sets, 13 the transfer ended early, "
                          "14 the used memory size did not read, 15 the meter did not "
                          "acknowledge the transfer, 16 the memory holds no data sets")}},
         QStringLiteral("audimark-cli download --port /dev/ttyUSB0 --out today.rec --retry 2")});
    list.append(
        {QStringLiteral("sets"),
         QStringLiteral("FILE.rec"),
         QStringLiteral("list the data sets of a collection file"),
         QStringLiteral("Lists the data sets of a collection file, one TAB-separated line each "
                        "after a heading: number, start, interval (mm:ss), count, weighting, "
                        "average, maximum and minimum in dB."),
         {},
         {{QStringLiteral("0"), QStringLiteral("the data sets were listed")},
          {QStringLiteral("1"), QStringLiteral("the file cannot be read, or ") + StdoutFailure},
          UsageExit,
          FileDecodeExit},
         QStringLiteral("audimark-cli sets today.rec")});
    list.append(
        {QStringLiteral("export"),
         QStringLiteral("FILE.rec --set N --format csv|txt [--out PATH] [--from A --to B]"),
         QStringLiteral("write one data set as text or CSV"),
         QStringLiteral("Writes the points of one data set as the program's text and CSV export "
                        "does, to --out (complete or not at all) or to standard output. CSV is "
                        "refused where the decimal separator is a comma."),
         {setOption(QStringLiteral("The data set, numbered from 1 as `sets` lists them "
                                   "(required).")),
          {QStringLiteral("format"), QStringLiteral("FORMAT"),
           QStringLiteral("csv or txt (TAB-separated) (required).")},
          {QStringLiteral("out"), QStringLiteral("PATH"),
           QStringLiteral("The file to write; default: standard output.")},
          {QStringLiteral("from"), QStringLiteral("A"),
           QStringLiteral("The first point number (default 1).")},
          {QStringLiteral("to"), QStringLiteral("B"),
           QStringLiteral("The last point number (default: the last point).")}},
         {{QStringLiteral("0"), QStringLiteral("the points were written")},
          {QStringLiteral("1"), QStringLiteral("the file cannot be read or holds no such data "
                                               "set, or the output cannot be written")},
          {QStringLiteral("2"), QStringLiteral("usage error, also a point range that does not "
                                               "read and CSV under a decimal comma")},
          FileDecodeExit},
         QStringLiteral("audimark-cli export today.rec --set 2 --format csv --out set2.csv")});
    const QList<Option> seriesOptions{
        setOption(QStringLiteral("The data set of a collection file, from 1 (default 1).")),
        spanOption(QStringLiteral("from")), spanOption(QStringLiteral("to")), thresholdOption()};
    const ExitCode seriesUsage{QStringLiteral("2"),
                               QStringLiteral("usage error, also a time or threshold that does "
                                              "not read and a span without points")};
    list.append(
        {QStringLiteral("stats"),
        QStringLiteral("FILE|archive:ID [--set N] [--from TIME --to TIME] [--threshold dB] "
                       "[--den-hours D,E,N] [--den-penalties E,N] [--format text|json] "
                       "[--archive URL|FILE]"),
         QStringLiteral("print the statistics of a series"),
         QStringLiteral("Prints the statistics of one series - a data set of a collection file, "
                        "or the series of a text or CSV file the program wrote - as the graph "
                        "window shows them, with the acoustic figures (Leq, L5 to L95, Lmax, "
                        "Lmin, duration, time above the threshold); with --from and --to also "
                       "for the points in that span. Then the day-evening-night levels (Lday, "
                       "Levening, Lnight, Lden, Ldn) per day and over the whole series, with "
                       "how much of each period the samples cover. archive:ID reads measurement "
                       "ID of the archive as the file `archive export ID` writes."),
         seriesOptions +
             QList<Option>{{QStringLiteral("format"), QStringLiteral("FORMAT"),
                            QStringLiteral("text (the default) or json (times in ISO 8601 with "
                                           "the UTC offset, figures as numbers, beside the "
                                          "texts the window shows).")},
                          archiveOption()} +
            denOptions(),
         {{QStringLiteral("0"), QStringLiteral("the statistics were printed")},
          {QStringLiteral("1"), QStringLiteral("the file cannot be read, holds no such set or no "
                                               "points, its times run backwards, or ") +
                                    StdoutFailure},
          seriesUsage,
          FileDecodeExit},
         QStringLiteral("audimark-cli stats today.rec --set 2 --from 08:00 --to 17:00 --format "
                        "json")});
    list.append(
        {QStringLiteral("report"),
         QStringLiteral(
             "FILE|archive:ID --out REPORT.pdf [--set N] [--title T] [--from TIME "
             "--to TIME] [--threshold dB] [--site TEXT] [--position TEXT] [--client TEXT] "
             "[--operator TEXT] [--instrument-model TEXT] [--instrument-serial TEXT] "
             "[--instrument-class TEXT] [--calibration-before dB] "
             "[--calibration-after dB] [--weather TEXT] [--notes TEXT] "
             "[--period LENGTH|auto] [--min-duration DURATION] [--hysteresis dB] "
             "[--tables-over whole|span] [--den-hours D,E,N] [--den-penalties E,N] [--archive URL|FILE]"),
         QStringLiteral("write a PDF noise report"),
         QStringLiteral("Writes the PDF noise report of a series, read as `stats` reads "
                        "it; the span between --from and --to is shaded and reported beside the "
                        "whole series. The first page holds the details given (site, position, "
                        "client, operator, instrument, calibration and its drift, weather, "
                        "notes), the chart with the threshold and the exceedance events marked, "
                        "and the figures; the pages after it the period table, the "
                        "day-evening-night table, the events list (events above --threshold), "
                        "the level distribution and the method. Needs no display."),
         QList<Option>{{QStringLiteral("out"), QStringLiteral("REPORT.pdf"),
                        QStringLiteral("The PDF to write (required). An earlier file of that "
                                       "name stays as it was when writing fails.")},
                       {QStringLiteral("title"), QStringLiteral("T"),
                        QStringLiteral("The title of the page (default \"Noise Report\").")}} +
             seriesOptions + reportDetailOptions() + reportSettingOptions() + denOptions() +
             QList<Option>{archiveOption()},
         {{QStringLiteral("0"), QStringLiteral("the report was written")},
          {QStringLiteral("1"), QStringLiteral("the file cannot be read, holds no such set or no "
                                               "points, its times run backwards, the PDF cannot "
                                               "be written, or the report program cannot be "
                                               "started")},
          seriesUsage,
          FileDecodeExit},
         QStringLiteral("audimark-cli report today.rec --set 2 --out noise.pdf --from 08:00 --to "
                        "17:00")});
    list.append(figureCommands());
    list.append(
        {QStringLiteral("autoload"),
         QStringLiteral("--once | --every HOURS [--dir DIR] [--port PATH]... [--quiet|--verbose] "
                        "[--archive URL|FILE|--no-archive]"),
         QStringLiteral("empty the logger now or on a schedule"),
         QStringLiteral("Empties the logger of a model 842 as the program's auto-loading does: "
                        "every data set to a dump file, the memory image beside them, the erase "
                        "only when all of it was written and read back, the meter recording "
                        "again afterwards. Each memory read also goes to the archive before "
                        "anything is erased. One line per cycle on standard output (the "
                        "autoload.log line); Ctrl-C during a cycle ends after that cycle."),
         {{QStringLiteral("once"), {}, QStringLiteral("One cycle now, then exit.")},
          {QStringLiteral("every"), QStringLiteral("HOURS"),
           QStringLiteral("A cycle every HOURS hours (a whole number from 1 to 24), the first one "
                          "HOURS hours after the start, until Ctrl-C.")},
          {QStringLiteral("dir"), QStringLiteral("DIR"),
           QStringLiteral("Where the files and autoload.log go (default: the program's data "
                          "directory, $AUDIMARK_HOME or ~/.local/share/RX840/Audimark).")},
          portOption(),
          quietOption(),
          verboseOption(),
          archiveOption(),
          noArchiveOption()},
         {{QStringLiteral("0"),
           QStringLiteral("every cycle wrote, checked and erased everything (also a schedule "
                          "stopped before its first cycle)")},
          {QStringLiteral("1"), QStringLiteral("no serial port or no model 842 answered")},
          UsageExit,
          {QStringLiteral("3"), QStringLiteral("a cycle erased nothing (the reason on standard "
                                               "error)")},
          {QStringLiteral("4"),
           QStringLiteral("the erase was sent but the meter did not confirm it")},
          {QStringLiteral("5"), QStringLiteral("a cycle emptied the logger but the meter did not "
                                               "record again")}},
         QStringLiteral("audimark-cli autoload --every 6 --dir /srv/noise --port /dev/ttyUSB0")});
    list.append(
        {QStringLiteral("archive"),
         QStringLiteral("list [--from DATE --to DATE] [--kind K] [--text T] [--format text|json] "
                        "| export ID --format csv|txt [--out PATH] | delete ID --yes | import "
                        "FILE... [--archive URL|FILE]"),
         QStringLiteral("list, export, delete and import archived measurements"),
         QStringLiteral("Works on the measurement archive, where the program and download and "
                        "autoload keep what they record and load. list: the measurements, "
                        "newest first, one TAB-separated line each after a heading, or with "
                        "--format json an array of objects with the keys id, kind, start, end "
                        "(ISO 8601 with the UTC offset), interval_s, samples, weighting, meter, "
                        "site, notes and leq_db. export: the points of measurement ID as the "
                        "graph window's text and CSV export writes them. delete: removes "
                        "measurement ID. import: adds collection files (each data set), "
                        "text and CSV files the program wrote, and graph files (each series); "
                        "what is already in the archive is not added again."),
         {{QStringLiteral("from"), QStringLiteral("DATE"),
           QStringLiteral("list: measurements that start at or after DATE: yyyy-mm-dd, or a date "
                          "and time yyyy-mm-ddThh:mm[:ss] (local time, or with a UTC offset).")},
          {QStringLiteral("to"), QStringLiteral("DATE"),
           QStringLiteral("list: measurements that start before DATE; a date alone takes that "
                          "whole day in.")},
          {QStringLiteral("kind"), QStringLiteral("K"),
           QStringLiteral("list: only realtime, logger, autoload or import measurements.")},
          {QStringLiteral("text"), QStringLiteral("T"),
           QStringLiteral("list: only measurements whose site, notes, meter or port hold T (any "
                          "case).")},
          {QStringLiteral("format"), QStringLiteral("FORMAT"),
           QStringLiteral("list: text (the default) or json; export: csv or txt (TAB-separated) "
                          "(required).")},
          {QStringLiteral("out"), QStringLiteral("PATH"),
           QStringLiteral("export: the file to write, complete or not at all; default: standard "
                          "output.")},
          {QStringLiteral("yes"), {},
           QStringLiteral("delete: yes, delete the measurement (required).")},
          archiveOption()},
         {{QStringLiteral("0"), QStringLiteral("done")},
          {QStringLiteral("1"), QStringLiteral("the archive cannot be opened (the reason on "
                                               "standard error) or holds no such measurement, a "
                                               "file to import cannot be read, or the output "
                                               "cannot be written")},
          {QStringLiteral("2"), QStringLiteral("usage error, also delete without --yes and CSV "
                                               "under a decimal comma")}},
         QStringLiteral("audimark-cli archive list --from 2026-06-01 --kind logger --format "
                        "json")});
    list.append(
        {QStringLiteral("info"),
         QStringLiteral("[--port PATH]... [--format text|json]"),
         QStringLiteral("read the logger information of a model 842"),
         QStringLiteral("Reads the firmware version, meter time, recording interval, data sets, "
                        "memory available and the memory test, as the program's Data Logger "
                        "Setup window does."),
         {portOption(),
          {QStringLiteral("format"), QStringLiteral("FORMAT"),
           QStringLiteral("text (the default) or json (the meter time in ISO 8601 with the UTC "
                          "offset, figures as numbers; a value the meter did not give is "
                          "null).")}},
         {{QStringLiteral("0"), QStringLiteral("the information was read")},
          {QStringLiteral("1"), QStringLiteral("no model 842 answered, or ") + StdoutFailure},
          UsageExit,
          {QStringLiteral("3"), QStringLiteral("the meter did not answer the whole read")}},
         QStringLiteral("audimark-cli info --port /dev/ttyUSB0 --format json")});
    list.append({QStringLiteral("set-clock"),
                 QStringLiteral("[--port PATH]..."),
                 QStringLiteral("set the meter clock to the computer's"),
                 QStringLiteral("Sets the clock of a model 842 to the computer's time."),
                 {portOption()},
                 {{QStringLiteral("0"), QStringLiteral("the clock was set")},
                  {QStringLiteral("1"), QStringLiteral("no model 842 answered")},
                  UsageExit,
                  SetupUnconfirmedExit},
                 QStringLiteral("audimark-cli set-clock --port /dev/ttyUSB0")});
    list.append(
        {QStringLiteral("set-interval"),
         QStringLiteral("MM:SS [--port PATH]..."),
         QStringLiteral("set the recording interval"),
         QStringLiteral("Sets the recording interval of a model 842, from 00:01 to 01:00 (the "
                        "data sets of longer intervals cannot be read back)."),
         {portOption()},
         {{QStringLiteral("0"), QStringLiteral("the interval was set")},
          {QStringLiteral("1"), QStringLiteral("no model 842 answered")},
          {QStringLiteral("2"),
           QStringLiteral("usage error, also an interval outside 00:01 to 01:00")},
          SetupUnconfirmedExit},
         QStringLiteral("audimark-cli set-interval 00:05 --port /dev/ttyUSB0")});
    list.append(
        {QStringLiteral("erase"),
         QStringLiteral("--yes [--port PATH]..."),
         QStringLiteral("erase every data set in the logger"),
         QStringLiteral("Erases every data set in the logger of a model 842."),
         {{QStringLiteral("yes"), {}, QStringLiteral("Yes, erase every data set (required).")},
          portOption()},
         {{QStringLiteral("0"), QStringLiteral("the memory was erased")},
          {QStringLiteral("1"), QStringLiteral("no model 842 answered")},
          {QStringLiteral("2"), QStringLiteral("usage error, also erase without --yes")},
          SetupUnconfirmedExit},
         QStringLiteral("audimark-cli erase --yes --port /dev/ttyUSB0")});
    list.append(
        {QStringLiteral("record"),
         QStringLiteral("--interval SECONDS (--count N | --duration TIME) [--out FILE] "
                        "[--port PATH]... [--quiet|--verbose] [--archive URL|FILE|--no-archive]"),
         QStringLiteral("record the live level without a window"),
         QStringLiteral("Finds the meter as `live` does and records its live level as the "
                        "program's real-time recording does: a sample when the interval has "
                        "passed, a level outside 20 to 140 dB replaced by the last good one "
                        "above 30 dB or left out. Each sample goes into the archive as it is "
                        "taken (a measurement of kind realtime); --out also writes the samples, "
                        "at the end, as the real-time graph's save does. The "
                        "recording ends after --count samples, when --duration has passed, or "
                        "on Ctrl-C or SIGTERM, each way with the measurement finished and the "
                        "file written. A meter that stops answering is reported on standard "
                        "error and the recording goes on when it is back. Progress lines go to "
                        "standard error."),
         {{QStringLiteral("interval"), QStringLiteral("SECONDS"),
           QStringLiteral("The sampling interval (required): 0.1, 0.2, 0.5, 1, 2, 5, 10, 20 or "
                          "30 as the real-time setup lists them, or any other number of seconds "
                          "above 0 up to a day.")},
          {QStringLiteral("count"), QStringLiteral("N"),
           QStringLiteral("Stop after N samples. Goes without --duration.")},
          {QStringLiteral("duration"), QStringLiteral("TIME"),
           QStringLiteral("Stop when this time has passed since the start: 1h30m, 45m, 90s, "
                          "2h15m30s or a number of seconds. Goes without --count.")},
          {QStringLiteral("out"), QStringLiteral("FILE"),
           QStringLiteral("Also write the samples to FILE, complete or not at all: the graph "
                          "file for .ghf, TAB-separated text for .txt, CSV for .csv (refused "
                          "where the decimal separator is a comma).")},
          portOption(),
          {QStringLiteral("quiet"), {},
           QStringLiteral("No progress and no status lines on standard error, only errors "
                          "and warnings.")},
          {QStringLiteral("verbose"), {},
           QStringLiteral("Also the ports searched and a line per sample.")},
          archiveOption(),
          noArchiveOption()},
         {{QStringLiteral("0"), QStringLiteral("the recording ended (count or duration reached, "
                                               "or Ctrl-C) and the file was written")},
          {QStringLiteral("1"), QStringLiteral("no serial port or no meter answered, or the file "
                                               "could not be written")},
          {QStringLiteral("2"), QStringLiteral("usage error, also an interval the real-time "
                                               "setup refuses, a duration that does not read, "
                                               "both or neither of --count and --duration, and "
                                               "CSV under a decimal comma")}},
         QStringLiteral("audimark-cli record --interval 1 --duration 1h30m --out site.csv")});
    list.append(
        {QStringLiteral("monitor"),
         QStringLiteral("[--port PATH]... [--interval 1m] [--threshold dB [--min-duration TIME] "
                        "[--hysteresis dB]] [--station NAME] [--archive URL|FILE|--no-archive] "
                        "[--format text|json] [--verbose] [--mqtt URL] "
                        "[--mqtt-password-file FILE] [--mqtt-ca-file FILE] "
                        "[--reading-every TIME]"),
         QStringLiteral("unattended noise monitoring: interval levels and events"),
         QStringLiteral("Finds the meter as `live` does and turns its live readings into the "
                        "levels of consecutive intervals aligned to the clock (the equivalent "
                        "level, each reading weighted by the time it stands for, Lmax, Lmin, "
                        "L10, L50, L90, the readings, the coverage, the weightings seen and the "
                        "OVER and UNDER readings) and, with --threshold, into exceedance events "
                        "as `events` finds them (start, end, duration, Lmax, SEL). Each interval "
                        "and event is stored first, in the archive (table monitor_messages) or "
                        "with --no-archive in the station's queue file in the data directory, "
                        "then printed, one line each; with --mqtt it is published from "
                        "there (audimark/STATION/interval and .../event, QoS 1, with the live "
                        "readings, the station's status and Home Assistant discovery), so "
                        "that a broker that was away gets every message afterwards, in "
                        "order. A meter that stops answering or is "
                        "unplugged leaves a gap that the intervals show as reduced coverage; "
                        "monitoring goes on when it is back. Runs until Ctrl-C or SIGTERM, "
                        "which close, store and print the open interval."),
         {portOption(),
          {QStringLiteral("interval"), QStringLiteral("T"),
           QStringLiteral("The interval: 10s, 1m (the default), 5m, 15m or 1h.")},
          {QStringLiteral("threshold"), QStringLiteral("dB"),
           QStringLiteral("Look for exceedance events above this level.")},
          {QStringLiteral("min-duration"), QStringLiteral("TIME"),
           QStringLiteral("The shortest event: 10s (the default), 2m, ...")},
          {QStringLiteral("hysteresis"), QStringLiteral("dB"),
           QStringLiteral("An event ends below threshold - hysteresis (default 2).")},
          {QStringLiteral("station"), QStringLiteral("NAME"),
           QStringLiteral("The station's name in the messages and topics: letters, digits, "
                          "'.', '_' and '-'. Default: the host name.")},
          archiveOption(),
          {QStringLiteral("no-archive"), {},
           QStringLiteral("Keep the messages in the station's queue file in the data directory "
                          "instead.")},
          {QStringLiteral("format"), QStringLiteral("FORMAT"),
           QStringLiteral("text (the default; follows the regional settings) or json (one "
                          "object per line, as stored, with \"type\" interval or event).")},
          {QStringLiteral("verbose"), {}, QStringLiteral("Also a line per reading.")},
          {QStringLiteral("mqtt"), QStringLiteral("URL"),
           QStringLiteral("Publish to this broker: mqtt://[user@]host[:port] or mqtts://.")},
          {QStringLiteral("mqtt-password-file"), QStringLiteral("FILE"),
           QStringLiteral("The broker password, read from FILE (never on the command line).")},
          {QStringLiteral("mqtt-ca-file"), QStringLiteral("FILE"),
           QStringLiteral("The certificate authority of an mqtts:// broker.")},
          {QStringLiteral("reading-every"), QStringLiteral("TIME"),
           QStringLiteral("Publish a live reading at most this often (1s, ...; default every "
                          "reading).")}},
         {{QStringLiteral("0"), QStringLiteral("ended by Ctrl-C or SIGTERM, every interval and "
                                               "event stored")},
          {QStringLiteral("1"), QStringLiteral("no serial port or no meter answered, the archive "
                                               "or queue file cannot be opened, or messages "
                                               "could not be stored")},
          UsageExit},
         QStringLiteral("audimark-cli monitor --interval 1m --threshold 85 --station site-1")});
    return list;
}

// text in lines of at most PageWidth, each starting with indent.
// words in lines of at most PageWidth, each starting with indent (the
// first with firstIndent when it is given).
QString wrappedWords(const QStringList& words, qsizetype indent, qsizetype firstIndent = -1)
{
    QString out;
    QString line(firstIndent < 0 ? indent : firstIndent, QLatin1Char(' '));
    qsizetype lineStart = line.size();
    for (const QString& word : words) {
        if (line.size() > lineStart && line.size() + 1 + word.size() > PageWidth) {
            out += line + QLatin1Char('\n');
            line = QString(indent, QLatin1Char(' '));
            lineStart = indent;
        }
        if (line.size() > lineStart)
            line += QLatin1Char(' ');
        line += word;
    }
    return out + line + QLatin1Char('\n');
}

QString wrapped(const QString& text, qsizetype indent, qsizetype firstIndent = -1)
{
    return wrappedWords(text.split(QLatin1Char(' '), Qt::SkipEmptyParts), indent, firstIndent);
}

// The words of a synopsis, an optional part in brackets kept in one piece:
// "[--threshold dB]" never breaks.
QStringList synopsisWords(const QString& synopsis)
{
    QStringList words;
    int depth = 0;
    for (const QString& word : synopsis.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (depth > 0)
            words.last() += QLatin1Char(' ') + word;
        else
            words.append(word);
        depth += int(word.count(QLatin1Char('['))) - int(word.count(QLatin1Char(']')));
    }
    return words;
}

// "  NAME   description", the descriptions in one column.
QString table(const QList<std::pair<QString, QString>>& rows)
{
    qsizetype width = 0;
    for (const auto& [name, text] : rows)
        width = std::max(width, name.size());
    const qsizetype column = 2 + width + 2;
    QString out;
    for (const auto& [name, text] : rows) {
        const QString head = QStringLiteral("  ") + name;
        out += wrapped(text, column).replace(0, head.size(), head);
    }
    return out;
}

QString optionSynopsis(const Option& option)
{
    QString text = QStringLiteral("--") + option.name;
    if (!option.valueName.isEmpty())
        text += QLatin1Char(' ') + option.valueName;
    return text;
}

const std::pair<QString, QString> HelpRow{QStringLiteral("-h, --help"),
                                          QStringLiteral("Show this help.")};

const Option* findOption(const Command& command, const QString& name)
{
    for (const Option& option : command.options)
        if (option.name == name)
            return &option;
    return nullptr;
}

bool takesValueAnywhere(const QString& name)
{
    for (const Command& command : commands())
        if (const Option* option = findOption(command, name);
            option && !option->valueName.isEmpty())
            return true;
    return false;
}

bool isOptionLike(const QString& argument)
{
    return argument.size() > 1 && argument.startsWith(QLatin1Char('-'));
}

bool isHelp(const QString& argument)
{
    return argument == QLatin1String("--help") || argument == QLatin1String("-h");
}

bool isVersion(const QString& argument)
{
    return argument == QLatin1String("--version") || argument == QLatin1String("-v");
}

// "--name" of "--name=value".
QString optionPart(const QString& argument)
{
    const qsizetype equals = argument.indexOf(QLatin1Char('='));
    return equals < 0 ? argument : argument.left(equals);
}

Invocation help(const QString& text)
{
    Invocation invocation;
    invocation.kind = Invocation::Kind::Help;
    invocation.text = text;
    return invocation;
}

Invocation failure(const QString& message, const QString& command)
{
    Invocation invocation;
    invocation.kind = Invocation::Kind::UsageError;
    invocation.command = command;
    invocation.text = usageError(message, command);
    return invocation;
}

Invocation parseCommand(const Command& command, const QStringList& arguments, qsizetype commandAt)
{
    Invocation invocation;
    invocation.kind = Invocation::Kind::Run;
    invocation.command = command.name;
    QString error;
    bool helpAsked = false;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (i == commandAt)
            continue;
        const QString& argument = arguments.at(i);
        if (optionsEnded || !isOptionLike(argument)) {
            invocation.arguments.append(argument);
            continue;
        }
        if (argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (isHelp(argument)) {
            helpAsked = true;
            continue;
        }
        if (!error.isEmpty())
            continue;
        const QString written = optionPart(argument);
        const Option* option =
            written.startsWith(QLatin1String("--")) ? findOption(command, written.mid(2)) : nullptr;
        if (!option) {
            error = QStringLiteral("unknown option '%1'").arg(written);
            continue;
        }
        const bool hasInlineValue = written.size() < argument.size();
        if (option->valueName.isEmpty()) {
            if (hasInlineValue)
                error = QStringLiteral("option '%1' takes no value").arg(written);
            else
                invocation.values_[option->name].append(QString());
            continue;
        }
        if (hasInlineValue) {
            invocation.values_[option->name].append(argument.mid(written.size() + 1));
        } else if (i + 1 < arguments.size() && i + 1 != commandAt) {
            invocation.values_[option->name].append(arguments.at(++i));
        } else {
            error =
                QStringLiteral("option '%1' needs a value (%2)").arg(written, option->valueName);
        }
    }
    if (helpAsked)
        return help(commandHelp(command));
    if (!error.isEmpty())
        return failure(error, command.name);
    return invocation;
}
} // namespace

const QList<Command>& commands()
{
    static const QList<Command> list = buildCommands();
    return list;
}

const Command* command(const QString& name)
{
    for (const Command& c : commands())
        if (c.name == name)
            return &c;
    return nullptr;
}

QString overviewHelp()
{
    QString out;
    QTextStream stream(&out);
    stream << "Usage: " << Program << " COMMAND [ARGUMENTS] [OPTIONS]\n"
           << wrapped(QStringLiteral("Reads a QV58M sound level meter, and the files of the "
                                     "program, from the command line."),
                      0)
           << "\nCommands:\n";
    QList<std::pair<QString, QString>> rows;
    for (const Command& c : commands())
        rows.append({c.name, c.summary});
    rows.append({QStringLiteral("help COMMAND"),
                 QStringLiteral("show a command's options, exit status and an example")});
    stream << table(rows) << "\nOptions:\n"
           << table({HelpRow,
                     {QStringLiteral("-v, --version"), QStringLiteral("Show the "
                                                                      "version.")}})
           << '\n'
           << wrapped(QStringLiteral("Run '%1 help COMMAND' or '%1 COMMAND --help' for the "
                                     "options of a command.")
                          .arg(Program),
                      0)
           << "\nExit status:\n"
           << table({{QStringLiteral("0"), QStringLiteral("success")},
                     {QStringLiteral("2"), QStringLiteral("usage error")},
                     {QStringLiteral("other"), QStringLiteral("as each command's help says")}});
    return out;
}

QString commandHelp(const Command& c)
{
    QString out;
    QTextStream stream(&out);
    const QString usage = QStringLiteral("Usage: %1 %2").arg(Program, c.name);
    stream << wrappedWords(QStringList{usage} + synopsisWords(c.arguments), usage.size() + 1, 0)
           << '\n'
           << wrapped(c.description, 0) << "\nOptions:\n";
    QList<std::pair<QString, QString>> options;
    for (const Option& option : c.options)
        options.append({optionSynopsis(option), option.description});
    options.append(HelpRow);
    stream << table(options) << "\nExit status:\n";
    QList<std::pair<QString, QString>> exits;
    for (const ExitCode& exit : c.exitCodes)
        exits.append({exit.status, exit.meaning});
    stream << table(exits) << "\nExample:\n  " << c.example << '\n';
    return out;
}

QString hint(const QString& command)
{
    const QString helpCommand = command.isEmpty()
                                    ? Program + QStringLiteral(" --help")
                                    : QStringLiteral("%1 %2 --help").arg(Program, command);
    return QStringLiteral("Try '%1'.\n").arg(helpCommand);
}

QString usageError(const QString& message, const QString& command)
{
    return QStringLiteral("%1: %2\n").arg(Program, message) + hint(command);
}

QString Invocation::value(const QString& option, const QString& defaultValue) const
{
    const QStringList given = values_.value(option);
    return given.isEmpty() ? defaultValue : given.last();
}

Invocation parse(const QStringList& arguments, const QString& version)
{
    // The command is the first argument that is neither an option nor the
    // value of one.
    qsizetype commandAt = -1;
    bool helpAsked = false;
    bool versionAsked = false;
    QString unknown;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == QLatin1String("--")) {
            if (i + 1 < arguments.size())
                commandAt = i + 1;
            break;
        }
        if (!isOptionLike(argument)) {
            commandAt = i;
            break;
        }
        const QString written = optionPart(argument);
        if (isHelp(argument)) {
            helpAsked = true;
        } else if (isVersion(argument)) {
            versionAsked = true;
        } else if (written.startsWith(QLatin1String("--")) && takesValueAnywhere(written.mid(2))) {
            if (written.size() == argument.size())
                ++i;
        } else if (unknown.isEmpty() &&
                   !(written.startsWith(QLatin1String("--")) &&
                     std::any_of(commands().begin(), commands().end(), [&](const Command& c) {
                         return findOption(c, written.mid(2));
                     }))) {
            unknown = written;
        }
    }

    if (commandAt < 0) {
        if (helpAsked)
            return help(overviewHelp());
        if (versionAsked) {
            Invocation invocation = help(Program + QLatin1Char(' ') + version + QLatin1Char('\n'));
            invocation.kind = Invocation::Kind::Version;
            return invocation;
        }
        if (!unknown.isEmpty())
            return failure(QStringLiteral("unknown option '%1'").arg(unknown), {});
        return failure(QStringLiteral("missing command"), {});
    }

    const QString name = arguments.at(commandAt);
    if (name == QLatin1String("help")) {
        QStringList rest = arguments.mid(commandAt + 1);
        rest.removeIf(isHelp);
        if (rest.isEmpty())
            return help(overviewHelp());
        if (rest.size() > 1)
            return failure(QStringLiteral("help takes one command"), {});
        if (const Command* c = command(rest.first()))
            return help(commandHelp(*c));
        return failure(QStringLiteral("unknown command '%1'").arg(rest.first()), {});
    }
    const Command* c = command(name);
    if (!c)
        return failure(QStringLiteral("unknown command '%1'").arg(name), {});
    return parseCommand(*c, arguments, commandAt);
}

} // namespace CommandLine
