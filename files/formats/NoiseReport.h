#pragma once

// The noise report of one series of levels: what `audimark-cli stats` prints
// and what the one-page PDF report shows. The graph window's statistics
// (start, rate, points, arithmetic Avg, Max and Min with their times), as the
// window shows them, beside the acoustic figures (equivalent level named by
// the weighting, L5..L95, Lmax, Lmin, duration, time above a threshold), for
// the whole series and, when given, for the span between two cursors.
//
// QtCore only: the PDF itself is drawn by NoiseReportPrinter.

#include "acoustics/DayEveningNight.h"
#include "acoustics/ExceedanceEvents.h"
#include "acoustics/PeriodLevels.h"
#include "data/AcousticStatistics.h"
#include "data/GraphStatisticTexts.h"
#include "files/formats/ReportDetails.h"

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>

#include <optional>
#include <span>
#include <vector>

class DataSetCollection;
class TabularTable;

// The paper of the report: Letter in the countries that use it, A4 elsewhere.
enum class ReportPaper
{
    A4,
    Letter
};
[[nodiscard]] ReportPaper reportPaperFor(const QLocale& locale);

// One series to report on, with what the graph window would show for it.
struct ReportSeries
{
    std::vector<double> times; // date-time values, days since 30 December 1899
    std::vector<float> levels; // dB
    double intervalSeconds = 0.0;
    // Unknown for text and CSV files, which do not carry it.
    std::optional<AcousticWeighting> weighting;
    // The meter that recorded it, when known ("QV58M model 842").
    QString meterModel;
    // The whole-series statistic fields as the graph window shows them.
    GraphStatisticTexts texts;
    // Text and CSV files: the rows left out because their level does not
    // read (an "OVER" or an empty cell is no 0 dB sample).
    qsizetype rowsWithoutLevel = 0;
    // The points the Max and Min texts name (a data set's own); -1: the
    // first of equal extremes, as SeriesStatistics takes them.
    qsizetype maxIndex = -1;
    qsizetype minIndex = -1;

    [[nodiscard]] qsizetype size() const { return qsizetype(levels.size()); }

    // Data set k as the DataLogger graph shows it (showDataSet): the rate is
    // the set's interval in whole seconds, Avg, Max and Min the set's own.
    // Nothing when k is no set or its samples are not in the collection.
    [[nodiscard]] static std::optional<ReportSeries>
    fromDataSet(const DataSetCollection& collection, qsizetype k,
                const QLocale& locale = QLocale());
    // The rows of a list window as "Output Tabular to graph" plots them;
    // rows whose date and time or whose level do not convert are left out
    // (the latter counted in rowsWithoutLevel). The interval
    // is the mean spacing of the points, to the millisecond.
    [[nodiscard]] static ReportSeries fromTable(const TabularTable& table,
                                                const QLocale& locale = QLocale());
    // Points already on a chart (a graph window's series), with the
    // statistic texts the window shows; the interval as for fromTable.
    [[nodiscard]] static ReportSeries fromPoints(std::vector<double> times,
                                                 std::vector<float> levels,
                                                 const GraphStatisticTexts& texts);
};

// Reads a file the program writes: a data set collection (set number from
// 1), a TAB-separated text file (*.txt), or a CSV file (*.csv: the graph
// export or a logger dump file). The file's kind goes by its extension;
// anything but .txt and .csv is read as a collection.
struct ReportSeriesLoad
{
    std::optional<ReportSeries> series;
    QString error; // when there is no series: why, naming the file
    // 1: unreadable file, no such set, nothing to report on, times that run
    // backwards (the message names the line, or the point of a set); 10 +
    // the LoadResult when a collection does not decode.
    int status = 0;
};
[[nodiscard]] ReportSeriesLoad loadReportSeries(const QString& path, int setNumber,
                                                const QDateTime& now,
                                                const QLocale& locale = QLocale());

// Two cursors on a series: first is cursor A, last cursor B (indices; the
// thumbs may cross, the span is the points between them, both included).
struct ReportSpan
{
    qsizetype first = 0;
    qsizetype last = 0;
};
// The points of a series from `from` up to, not including, `to`. Each is a
// time of day (hh:mm or hh:mm:ss) or a date and time (yyyy-mm-ddThh:mm[:ss]).
// Two times of day take the first stretch from `from` to `to` (over midnight
// when `to` is the earlier time; a whole day when they are equal) that ends
// after the first point, so a series that begins inside it starts the span
// and one that begins after it takes the next day's; a time of day beside a
// date and time is its nearest occurrence on the far side. A start before the
// first point is the first point. The times must not run backwards.
struct ReportSpanChoice
{
    std::optional<ReportSpan> span;
    QString error; // a time that does not read, or a span without points
};
[[nodiscard]] ReportSpanChoice reportSpanOfTimes(const std::vector<double>& times,
                                                 const QString& from, const QString& to);

// The index of the first point whose time lies before the time of the point
// before it; nothing when the times never run backwards.
[[nodiscard]] std::optional<qsizetype> firstBackwardStep(const std::vector<double>& times);

// The figures between two cursors.
struct ReportSpanFigures
{
    ReportSpan span;
    QString cursorA;
    QString cursorATime;
    QString cursorB;
    QString cursorBTime;
    QString dataNo;
    CursorStatisticTexts texts;
    AcousticFigures acoustic;
};

// One line of the report's table: the figure's name, then its value for the
// whole series and for the cursor span (empty without a span).
struct ReportTableRow
{
    QString name;
    QString whole;
    QString span;
    bool heading = false; // a group heading: name only
};

// The level axis of the report's chart: fitted to the levels, in whole
// 10 dB with at least 2 dB of room above and below them and a span of at
// least 20 dB, so that a quiet background and a loud peak both stay on the
// plot (the logger stores 20..140 dB). 30..130 dB without levels.
struct ReportLevelAxis
{
    double minDb = 30.0;
    double maxDb = 130.0;

    [[nodiscard]] static ReportLevelAxis fittedTo(std::span<const float> levels);
    // The axis widened, in whole 10 dB with 2 dB of room, to show a level
    // (the threshold) that lies at most `reach` dB beyond it; one further
    // away would squeeze the levels, and is left off.
    [[nodiscard]] ReportLevelAxis showing(double db, double reach = 15.0) const;
};

// The texts the report's pages show where they differ from the window's:
// every date with its four-digit year, in every locale, and times without
// a zone name (NoiseReportTexts::dateTimeText).
struct ReportPageTexts
{
    QString startTime; // the earliest point
    QString endTime;   // the end of the latest
    QString maxTime;
    QString minTime;
    QString cursorATime;
    QString cursorBTime;
    QString maxABTime;
    QString minABTime;
};

// A table of the pages after the first: the column headings, then rows of
// texts, one a column. A marked row is a period the samples do not fully
// cover; a total row the figures over the whole series.
struct ReportGrid
{
    struct Row
    {
        QStringList cells;
        bool marked = false;
        bool total = false;
    };
    QStringList columns;
    QList<bool> numeric; // per column: right-aligned figures
    QList<Row> rows;
};

// The figures of the tables after the first page, of the whole series or of
// the span between the cursors (ReportSettings says how they are made; the
// threshold is the report's).
struct ReportSections
{
    // The most events the list shows; the count says how many there are.
    static constexpr qsizetype kMostEventsListed = 500;

    bool made = false; // false: not asked for, or times that run backwards
    ReportSettings settings;
    // Made of the points between the cursors only: the times of the first
    // and the last of them (date-time values).
    bool overSpan = false;
    double spanFirstTime = 0.0;
    double spanLastTime = 0.0;
    // The most rows the period table takes (some 40 pages); a length set
    // that needs more gives way to the next of 5 min, 15 min, 1 h and 1 d
    // that needs fewer, and the table says so.
    static constexpr qsizetype kMostPeriodsListed = 2000;

    qint64 periodMs = 0;        // the length used
    qint64 periodMsSet = 0;     // the length set, when it gave way
    QList<PeriodLevel> periods; // empty when the series would need too many
    DenFigures den;
    EventCriteria criteria;
    QList<ExceedanceEvent> events;
    // The level distribution: readings by 1 dB class, the first class
    // [firstClassDb, firstClassDb + 1) dB; levels in the meter's 0.1 dB steps.
    int firstClassDb = 0;
    std::vector<qsizetype> classCounts;
    qsizetype distributed = 0; // the finite levels counted
};

struct NoiseReport
{
    static inline const QString DefaultTitle = QStringLiteral("Noise Report");
    static constexpr double DefaultThresholdDb = 85.0;

    QString title;
    QString meterModel;
    QString startTime; // date-time texts
    QString endTime;
    QString interval; // seconds
    QString weighting; // "A", "C", "mixed" or "unknown"
    QString leqName;   // "LAeq", "LCeq" or "Leq"
    GraphStatisticTexts whole;
    AcousticFigures wholeAcoustic;
    std::optional<ReportSpanFigures> span;
    double thresholdDb = DefaultThresholdDb; // the 0.1 dB step counted with
    QString version;
    QDateTime created;
    ReportPaper paper = ReportPaper::A4;

    // What the consultant entered: site, instrument, calibration, ...
    ReportDetails details;
    ReportPageTexts page;
    ReportLevelAxis levelAxis;
    qsizetype sampleCount = 0;
    double intervalSeconds = 0.0;
    // The zone the times are read in ("Europe/Berlin, UTC+01:00"; both
    // offsets when summer time begins or ends within the series).
    QString timeZone;

    // The tables after the first page (makeSections).
    ReportSections sections;
    std::optional<AcousticWeighting> seriesWeighting;

    // The report of a series; with a span, its cursor figures too. A
    // cursor span is clamped into the series (the thumbs may cross). The
    // threshold is taken at its 0.1 dB step (AcousticStatistics). Start and
    // end are the earliest point and the end of the latest; a series whose
    // times run backwards has no interval, duration or time above.
    [[nodiscard]] static NoiseReport of(const ReportSeries& series,
                                        std::optional<ReportSpan> span, double thresholdDb,
                                        const QLocale& locale = QLocale());

    // The table of the page and of the text output: the graph window's
    // statistics, then the acoustic figures.
    [[nodiscard]] QList<ReportTableRow> tableRows(const QLocale& locale = QLocale()) const;
    // The same table as the report's page shows it: its times with
    // four-digit years, and the window's "Avg" by what it is, the
    // arithmetic mean of dB values (not an energy average).
    [[nodiscard]] QList<ReportTableRow> pageTableRows(const QLocale& locale = QLocale()) const;
    // Works out the tables after the first page for the series the report
    // was made of: the periods, the day-evening-night levels, the events
    // above the report's threshold and the level distribution; of the
    // points between the cursors only when the settings ask for it and the
    // report has a span.
    void makeSections(const ReportSeries& series, const ReportSettings& settings = {});
    // The period table: date, time, LAeq,T (named by the weighting), LAmax,
    // LA10, LA90, samples, coverage ("83 % incomplete") and events.
    [[nodiscard]] ReportGrid periodGrid(const QLocale& locale = QLocale()) const;
    // Lday, Levening, Lnight, Lden, Ldn and coverage per day, then the
    // whole series; "-" where a period has no samples.
    [[nodiscard]] ReportGrid denGrid(const QLocale& locale = QLocale()) const;
    // The events: number, start, end, duration, LAmax, LAeq, SEL; at most
    // kMostEventsListed.
    [[nodiscard]] ReportGrid eventGrid(const QLocale& locale = QLocale()) const;
    // What each table is made with, one paragraph a line; first "Between
    // the cursors, <start> to <end>." when made of the span only.
    [[nodiscard]] QStringList periodNote(const QLocale& locale = QLocale()) const;
    [[nodiscard]] QStringList denNote(const QLocale& locale = QLocale()) const;
    [[nodiscard]] QStringList eventNote(const QLocale& locale = QLocale()) const;
    [[nodiscard]] QStringList distributionNote(const QLocale& locale = QLocale()) const;

    // The method note: how the figures were made, one paragraph a line.
    [[nodiscard]] QStringList methodNote(const QLocale& locale = QLocale()) const;
    // "Created <date-time text> by Audimark <version>".
    [[nodiscard]] QString footerText(const QLocale& locale = QLocale()) const;

private:
    [[nodiscard]] QList<ReportTableRow> rowsOf(const QLocale& locale, bool onPage) const;
};

namespace NoiseReportTexts {
// Level text with the unit: "65.3 dB".
[[nodiscard]] QString decibels(double value, const QLocale& locale = QLocale());
// A date and time as the report prints it: the locale's short date with a
// four-digit year, a blank and the locale's long time without a zone name
// ("05.03.2024 14:30:05", "2024/3/5 下午2:30:05").
[[nodiscard]] QString dateTimeText(double dateTime, const QLocale& locale = QLocale());
// The date alone with its four-digit year, as dateTimeText writes it.
[[nodiscard]] QString dateText(const QDate& date, const QLocale& locale = QLocale());
// The time of day as the locale's short time ("14:30", "2:30 PM"), no zone.
[[nodiscard]] QString shortTimeText(double dateTime, const QLocale& locale = QLocale());
// The time of day alone, as dateTimeText writes it.
[[nodiscard]] QString timeText(double dateTime, const QLocale& locale = QLocale());
// "123 s (12.3 %)".
[[nodiscard]] QString timeAbove(const AcousticFigures& figures, const QLocale& locale = QLocale());
} // namespace NoiseReportTexts
