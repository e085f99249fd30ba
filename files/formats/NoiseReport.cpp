#include "files/formats/NoiseReport.h"

#include "data/DataSetCollection.h"
#include "data/GraphTexts.h"
#include "data/LoggerMemory.h"
#include "data/SeriesStatistics.h"
#include "files/formats/CollectionFile.h"
#include "files/formats/TabularConversion.h"
#include "files/formats/TabularTable.h"
#include "files/formats/TextImport.h"
#include "logger/RecordDecoder.h"
#include "logger/RegularFile.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimeZone>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace {
constexpr double kSecondsPerDay = 86400.0;
constexpr int kLoadResultStatusBase = 10;
const QString kLoggerModel = QStringLiteral("QV58M model 842");

// Mean spacing of the points in seconds, to the millisecond.
double meanSpacingSeconds(const std::vector<double>& times)
{
    if (times.size() < 2)
        return 0.0;
    const double seconds =
        (times.back() - times.front()) * kSecondsPerDay / double(times.size() - 1);
    return std::round(seconds * 1000.0) / 1000.0;
}

ReportSeriesLoad failed(int status, const QString& error)
{
    ReportSeriesLoad load;
    load.status = status;
    load.error = error;
    return load;
}

// Seconds since midnight of "hh:mm:ss" (or "hh:mm").
std::optional<int> secondsOfDay(const QString& text)
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*(\\d{1,2}):(\\d{2})(?::(\\d{2}))?\\s*$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const int h = match.captured(1).toInt();
    const int m = match.captured(2).toInt();
    const int s = match.captured(3).isEmpty() ? 0 : match.captured(3).toInt();
    if (h > 23 || m > 59 || s > 59)
        return std::nullopt;
    return h * 3600 + m * 60 + s;
}

// One end of a span as typed: a time of day, or a date and time
// ("2024-03-05T23:00[:ss]", a blank instead of the T also reads).
struct SpanEnd
{
    std::optional<int> secondsOfDay;
    std::optional<double> dateTime;
};

std::optional<SpanEnd> readSpanEnd(const QString& text)
{
    if (const std::optional<int> seconds = secondsOfDay(text))
        return SpanEnd{seconds, std::nullopt};
    static const QRegularExpression pattern(QStringLiteral(
        "^\\s*(\\d{4})-(\\d{1,2})-(\\d{1,2})[T ](\\d{1,2}:\\d{2}(?::\\d{2})?)\\s*$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const QDate date(match.captured(1).toInt(), match.captured(2).toInt(),
                     match.captured(3).toInt());
    const std::optional<int> seconds = secondsOfDay(match.captured(4));
    if (!date.isValid() || !seconds)
        return std::nullopt;
    const double days = double(QDate(1899, 12, 30).daysTo(date));
    return SpanEnd{std::nullopt, days + *seconds / kSecondsPerDay};
}

// Where the ends of a span lie. A time of day beside a date and time is its
// nearest occurrence on the far side of it; two times of day are the first
// occurrence of that stretch that ends after the first point, so that a
// series beginning inside it starts the span. Equal times of day are a day.
std::pair<double, double> spanEnds(const SpanEnd& from, const SpanEnd& to, double firstPoint)
{
    constexpr double kDay = 1.0;
    const auto length = [](int fromSeconds, int toSeconds) {
        const int seconds = (toSeconds - fromSeconds + 86400) % 86400;
        return (seconds == 0 ? 86400 : seconds) / kSecondsPerDay;
    };
    if (from.dateTime && to.dateTime)
        return {*from.dateTime, *to.dateTime};
    if (from.dateTime) {
        const double fromDay = std::floor(*from.dateTime);
        const int fromSeconds =
            int(std::lround((*from.dateTime - fromDay) * kSecondsPerDay)) % 86400;
        return {*from.dateTime, *from.dateTime + length(fromSeconds, *to.secondsOfDay)};
    }
    if (to.dateTime) {
        const double toDay = std::floor(*to.dateTime);
        const int toSeconds = int(std::lround((*to.dateTime - toDay) * kSecondsPerDay)) % 86400;
        return {*to.dateTime - length(*from.secondsOfDay, toSeconds), *to.dateTime};
    }
    const double span = length(*from.secondsOfDay, *to.secondsOfDay);
    const double tolerance = 0.001 / kSecondsPerDay;
    // The stretch that starts the day before the first point's, or on one of
    // the two days after: at most two steps, whatever the times hold.
    double start = std::floor(firstPoint) - kDay + *from.secondsOfDay / kSecondsPerDay;
    for (int step = 0; step < 2 && start + span <= firstPoint + tolerance; ++step)
        start += kDay;
    return {start, start + span};
}

// The zone the stored wall-clock times are read in, with its UTC offset at
// the start, and at the end when it differs (summer time).
QString offsetText(int seconds)
{
    const int minutes = std::abs(seconds) / 60;
    return QStringLiteral("UTC%1%2:%3")
        .arg(seconds < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        .arg(minutes / 60, 2, 10, QLatin1Char('0'))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString timeZoneText(double start, double end)
{
    const int first = GraphTexts::toDateTime(start).offsetFromUtc();
    const int last = GraphTexts::toDateTime(end).offsetFromUtc();
    QString text = QString::fromUtf8(QTimeZone::systemTimeZoneId());
    text += (text.isEmpty() ? QString() : QStringLiteral(", ")) + offsetText(first);
    if (last != first)
        text += QStringLiteral(" to ") + offsetText(last);
    return text;
}

QString cursorLevel(float level, const QLocale& locale)
{
    return GraphTexts::levelText(level, locale);
}
} // namespace

ReportPaper reportPaperFor(const QLocale& locale)
{
    // The countries whose offices use Letter paper.
    static const QList<QLocale::Territory> letter = {
        QLocale::UnitedStates, QLocale::Canada,     QLocale::Mexico,
        QLocale::Philippines,  QLocale::Chile,      QLocale::Colombia,
        QLocale::CostaRica,    QLocale::Guatemala,  QLocale::Panama,
        QLocale::PuertoRico,   QLocale::DominicanRepublic, QLocale::ElSalvador,
        QLocale::Nicaragua,    QLocale::Venezuela,  QLocale::Belize};
    return letter.contains(locale.territory()) ? ReportPaper::Letter : ReportPaper::A4;
}

std::optional<ReportSeries> ReportSeries::fromDataSet(const DataSetCollection& collection,
                                                      qsizetype k, const QLocale& locale)
{
    const std::optional<DataSet> set = collection.dataSet(k);
    if (!set || !collection.hasSamples(k))
        return std::nullopt;
    const std::span<const float> values = collection.valuesOf(k);
    const std::span<const double> times = collection.timesOf(k);
    const auto n = std::min(values.size(), times.size());

    ReportSeries series;
    series.times.assign(times.begin(), times.begin() + std::ptrdiff_t(n));
    series.levels.assign(values.begin(), values.begin() + std::ptrdiff_t(n));
    series.intervalSeconds = set->header.intervalSeconds;
    series.weighting = set->isAWeighting() ? AcousticWeighting::A : AcousticWeighting::C;
    series.meterModel = kLoggerModel;

    // What showDataSet shows: the set's interval, and its own Avg, Max and Min.
    GraphStatisticTexts& t = series.texts;
    t.startTime = GraphTexts::dateTimeText(set->header.startTime, locale);
    t.samplingRate = QString::number(set->header.intervalSeconds);
    t.dataNo = QString::number(n);
    if (n > 0) {
        const auto last = qint32(n) - 1;
        const auto maxIndex = std::size_t(std::clamp(set->maxIndex, 0, last));
        const auto minIndex = std::size_t(std::clamp(set->minIndex, 0, last));
        t.max = GraphTexts::levelText(series.levels[maxIndex], locale);
        t.maxTime = GraphTexts::dateTimeText(series.times[maxIndex], locale);
        t.min = GraphTexts::levelText(series.levels[minIndex], locale);
        t.minTime = GraphTexts::dateTimeText(series.times[minIndex], locale);
        t.avgAll = GraphTexts::levelText(set->average, locale);
        series.maxIndex = qsizetype(maxIndex);
        series.minIndex = qsizetype(minIndex);
    }
    return series;
}

namespace {
// The file lines of the first point whose time lies before the one of the
// point before it (grid row r holds line r).
struct BackwardLines
{
    int line = 0; // 0: the times never run backwards
    int previousLine = 0;
};

// The points of a table's rows, or of a file's lines read as a table's rows,
// row by row: rows whose date and time do not convert are left out, rows
// without a level left out and counted. A table whose first row has no date
// has no points at all.
class SeriesOfRows
{
public:
    // commaSplitsValue: a logger dump file read where the decimal separator
    // is a comma, whose comma separator splits the value "65,3" into the
    // Value column and the next one.
    SeriesOfRows(const QLocale& locale, const QDate& today, bool commaSplitsValue)
        : locale_(locale), reader_(locale, today), commaSplitsValue_(commaSplitsValue)
    {
    }

    // Row r (1-based) with its cells of columns 1 to 4; false once the
    // rows can add no more points.
    bool add(int row, QByteArrayView date, QByteArrayView time, QByteArrayView value,
             QByteArrayView fraction)
    {
        if (row == 1 && date.isEmpty())
            return false;
        const std::optional<double> x = reader_.dateTime(date, time);
        if (!x)
            return true;
        const std::optional<float> joined =
            commaSplitsValue_ ? reader_.joinedLevel(value, fraction) : std::nullopt;
        const std::optional<float> level = joined ? joined : reader_.level(value);
        if (!level) {
            ++withoutLevel_;
            return true;
        }
        if (backward_.line == 0 && !times_.empty() && *x < times_.back())
            backward_ = BackwardLines{row, previousRow_};
        previousRow_ = row;
        times_.push_back(*x);
        levels_.push_back(*level);
        return true;
    }

    void reserve(std::size_t rows)
    {
        times_.reserve(rows);
        levels_.reserve(rows);
    }

    [[nodiscard]] const BackwardLines& backward() const { return backward_; }

    ReportSeries take()
    {
        const GraphStatisticTexts texts =
            GraphStatisticTexts::of(SeriesStatistics::whole(times_, levels_), locale_);
        ReportSeries series =
            ReportSeries::fromPoints(std::move(times_), std::move(levels_), texts);
        series.rowsWithoutLevel = withoutLevel_;
        return series;
    }

private:
    const QLocale& locale_;
    TabularConversion::RowReader reader_;
    bool commaSplitsValue_;
    std::vector<double> times_;
    std::vector<float> levels_;
    qsizetype withoutLevel_ = 0;
    int previousRow_ = 0;
    BackwardLines backward_;
};

ReportSeries seriesOfTable(const TabularTable& table, const QLocale& locale, const QDate& today)
{
    SeriesOfRows rows(locale, today, false);
    const int count = table.dataRowCount();
    rows.reserve(std::size_t(count));
    for (int r = 1; r <= count; ++r) {
        if (!rows.add(r, table.cellBytes(r, 1), table.cellBytes(r, 2), table.cellBytes(r, 3),
                      table.cellBytes(r, 4)))
            break;
    }
    return rows.take();
}

// A text or CSV file read as the list window would show it, one line at a
// time, with no table: its lines' cells go straight to the series.
struct FileSeries
{
    bool opened = false;
    ReportSeries series;
    BackwardLines backward;
};

FileSeries seriesOfFile(const QString& path, QChar separator, const QLocale& locale,
                        const QDate& today)
{
    const bool commaSplitsValue =
        separator == QLatin1Char(',') && locale.decimalPoint() == QStringLiteral(",");
    const char cut = separator.toLatin1();
    SeriesOfRows rows(locale, today, commaSplitsValue);
    const auto cell = [cut](QByteArrayView row, int column) {
        return TabularTable::cellOfRow(row, cut, column);
    };
    const TextImport::Outcome outcome =
        TextImport::readLines(path, separator, [&](QByteArrayView line, int lineNumber) {
            const QByteArrayView row = TabularTable::rowOfLine(line, cut);
            return rows.add(lineNumber, cell(row, 1), cell(row, 2), cell(row, 3), cell(row, 4));
        });
    FileSeries file;
    file.opened = outcome.opened;
    file.backward = rows.backward();
    file.series = rows.take();
    return file;
}
} // namespace

ReportSeries ReportSeries::fromTable(const TabularTable& table, const QLocale& locale)
{
    return seriesOfTable(table, locale, QDate::currentDate());
}

ReportSeries ReportSeries::fromPoints(std::vector<double> times, std::vector<float> levels,
                                      const GraphStatisticTexts& texts)
{
    ReportSeries series;
    const auto n = std::min(times.size(), levels.size());
    times.resize(n);
    levels.resize(n);
    series.intervalSeconds = meanSpacingSeconds(times);
    series.times = std::move(times);
    series.levels = std::move(levels);
    series.texts = texts;
    return series;
}

ReportSeriesLoad loadReportSeries(const QString& path, int setNumber, const QDateTime& now,
                                  const QLocale& locale)
{
    if (const std::optional<QChar> separator = TextImport::separatorForExtension(path)) {
        FileSeries file = seriesOfFile(path, *separator, locale, now.date());
        if (!file.opened) {
            QFile unread;
            QString reason;
            (void)RegularFile::openForReading(unread, path, &reason);
            return failed(1, QStringLiteral("%1: %2").arg(path, reason));
        }
        const BackwardLines backward = file.backward;
        ReportSeriesLoad load;
        load.series = std::move(file.series);
        if (load.series->levels.empty())
            return failed(1, QStringLiteral("%1: no date, time and level lines").arg(path));
        if (backward.line != 0)
            return failed(1, QStringLiteral("%1: the time on line %2 lies before the time on line "
                                            "%3; a series whose times run backwards is damaged")
                                 .arg(path)
                                 .arg(backward.line)
                                 .arg(backward.previousLine));
        return load;
    }

    CollectionFile::ImageRead file = CollectionFile::readImage(path);
    if (!file.opened)
        return failed(1, QStringLiteral("%1: %2").arg(path, file.error));
    LoggerMemory memory;
    memory.memoryImage() = std::move(file.image);
    memory.setMemoryEnd(memory.memoryEndFromImage());
    DataSetCollection collection;
    const LoadResult result = decodeImage(memory, collection, now);
    if (result != LoadResult::Ok)
        return failed(kLoadResultStatusBase + int(result),
                      QStringLiteral("%1: %2").arg(path, loadResultName(result)));
    const qsizetype k = qsizetype(setNumber) - 1;
    ReportSeriesLoad load;
    if (k >= 0 && k < collection.count())
        load.series = ReportSeries::fromDataSet(collection, k, locale);
    if (!load.series)
        return failed(1, QStringLiteral("%1: no data set %2 (the file holds %3)")
                             .arg(path)
                             .arg(setNumber)
                             .arg(collection.count()));
    if (load.series->levels.empty())
        return failed(1, QStringLiteral("%1: data set %2 holds no samples").arg(path).arg(setNumber));
    if (const std::optional<qsizetype> step = firstBackwardStep(load.series->times))
        return failed(1, QStringLiteral("%1: in data set %2 the time of point %3 lies before the "
                                        "time of point %4; a series whose times run backwards "
                                        "is damaged")
                             .arg(path)
                             .arg(setNumber)
                             .arg(*step + 1)
                             .arg(*step));
    return load;
}

ReportSpanChoice reportSpanOfTimes(const std::vector<double>& times, const QString& from,
                                   const QString& to)
{
    ReportSpanChoice choice;
    const std::optional<SpanEnd> fromEnd = readSpanEnd(from);
    const std::optional<SpanEnd> toEnd = readSpanEnd(to);
    if (!fromEnd || !toEnd) {
        choice.error = QStringLiteral("a time reads hh:mm:ss or yyyy-mm-ddThh:mm:ss, not \"%1\"")
                           .arg(fromEnd ? to : from);
        return choice;
    }
    if (times.empty()) {
        choice.error = QStringLiteral("the series holds no points");
        return choice;
    }
    const auto [start, end] = spanEnds(*fromEnd, *toEnd, times.front());
    if (end <= start) {
        choice.error = QStringLiteral("--to %1 is not after --from %2").arg(to, from);
        return choice;
    }
    // From the first point at or after the start (the first point of the
    // series when the start lies before it) up to the last before the end:
    // a point at the end belongs to the next span.
    const double tolerance = 0.001 / kSecondsPerDay;
    const auto first = std::lower_bound(times.begin(), times.end(), start - tolerance);
    const auto pastLast = std::lower_bound(times.begin(), times.end(), end - tolerance);
    if (first >= pastLast) {
        choice.error = QStringLiteral("no point lies from %1 to %2").arg(from, to);
        return choice;
    }
    choice.span = ReportSpan{qsizetype(first - times.begin()),
                             qsizetype(pastLast - times.begin()) - 1};
    return choice;
}

std::optional<qsizetype> firstBackwardStep(const std::vector<double>& times)
{
    const auto step =
        std::adjacent_find(times.begin(), times.end(), [](double a, double b) { return b < a; });
    if (step == times.end())
        return std::nullopt;
    return qsizetype(step - times.begin()) + 1;
}

NoiseReport NoiseReport::of(const ReportSeries& series, std::optional<ReportSpan> span,
                            double thresholdDb, const QLocale& locale)
{
    NoiseReport report;
    report.title = DefaultTitle;
    report.meterModel = series.meterModel;
    report.whole = series.texts;
    report.thresholdDb = AcousticStatistics::thresholdStep(thresholdDb);
    report.paper = reportPaperFor(locale);
    report.weighting = series.weighting ? weightingText(*series.weighting)
                                        : QStringLiteral("unknown");
    report.leqName = equivalentLevelName(series.weighting.value_or(AcousticWeighting::Mixed));
    report.seriesWeighting = series.weighting;
    report.wholeAcoustic =
        AcousticStatistics::of(series.levels, series.intervalSeconds, report.thresholdDb);
    // Whole seconds as the data set list writes them, else with one decimal;
    // nothing for the interval of times that run backwards.
    const bool timed = report.wholeAcoustic.hasDurations();
    if (timed)
        report.interval = series.intervalSeconds == std::floor(series.intervalSeconds)
                              ? QString::number(qint64(series.intervalSeconds))
                              : GraphTexts::levelText(series.intervalSeconds, locale);
    if (!series.times.empty()) {
        // The earliest and the latest point, so that the end never comes
        // before the start, whatever order the points were taken in.
        const auto [earliest, latest] =
            std::minmax_element(series.times.begin(), series.times.end());
        const double end = *latest + (timed ? series.intervalSeconds / kSecondsPerDay : 0.0);
        report.startTime = GraphTexts::dateTimeText(*earliest, locale);
        report.endTime = GraphTexts::dateTimeText(end, locale);
        report.page.startTime = NoiseReportTexts::dateTimeText(*earliest, locale);
        report.page.endTime = NoiseReportTexts::dateTimeText(end, locale);
        report.timeZone = timeZoneText(*earliest, end);

        const SeriesStatistics whole = SeriesStatistics::whole(series.times, series.levels);
        const auto pointTime = [&series](qsizetype index, double fallback) {
            return index >= 0 && index < series.size() ? series.times[std::size_t(index)]
                                                       : fallback;
        };
        report.page.maxTime =
            NoiseReportTexts::dateTimeText(pointTime(series.maxIndex, whole.maximumTime), locale);
        report.page.minTime =
            NoiseReportTexts::dateTimeText(pointTime(series.minIndex, whole.minimumTime), locale);
    }
    report.sampleCount = series.size();
    report.intervalSeconds = timed ? series.intervalSeconds : 0.0;
    report.levelAxis = ReportLevelAxis::fittedTo(series.levels);

    const qsizetype n = series.size();
    if (span && n > 0) {
        const qsizetype lo = std::clamp<qsizetype>(std::min(span->first, span->last), 0, n - 1);
        const qsizetype hi = std::clamp<qsizetype>(std::max(span->first, span->last), 0, n - 1);
        ReportSpanFigures f;
        f.span = ReportSpan{lo, hi};
        const auto a = std::size_t(span->first < 0 ? 0 : std::min(span->first, n - 1));
        const auto b = std::size_t(span->last < 0 ? 0 : std::min(span->last, n - 1));
        f.cursorA = cursorLevel(series.levels[a], locale);
        f.cursorATime = GraphTexts::dateTimeText(series.times[a], locale);
        f.cursorB = cursorLevel(series.levels[b], locale);
        f.cursorBTime = GraphTexts::dateTimeText(series.times[b], locale);
        f.dataNo = QString::number(hi - lo + 1);
        const SeriesStatistics between =
            SeriesStatistics::between(series.times, series.levels, lo, hi);
        f.texts = CursorStatisticTexts::of(between, locale);
        report.page.cursorATime = NoiseReportTexts::dateTimeText(series.times[a], locale);
        report.page.cursorBTime = NoiseReportTexts::dateTimeText(series.times[b], locale);
        report.page.maxABTime = NoiseReportTexts::dateTimeText(between.maximumTime, locale);
        report.page.minABTime = NoiseReportTexts::dateTimeText(between.minimumTime, locale);
        f.acoustic = AcousticStatistics::between(series.levels, lo, hi, series.intervalSeconds,
                                                 report.thresholdDb);
        report.span = f;
    }
    return report;
}

QList<ReportTableRow> NoiseReport::tableRows(const QLocale& locale) const
{
    return rowsOf(locale, false);
}

QList<ReportTableRow> NoiseReport::pageTableRows(const QLocale& locale) const
{
    return rowsOf(locale, true);
}

QList<ReportTableRow> NoiseReport::rowsOf(const QLocale& locale, bool onPage) const
{
    using namespace NoiseReportTexts;
    const bool hasSpan = span.has_value();
    const auto at = [](const QString& level, const QString& time) {
        return level.isEmpty() ? QString() : level + QStringLiteral(" @ ") + time;
    };
    // The page's times carry four-digit years; the window's texts stay as
    // the window shows them for `stats`.
    const auto time = [onPage](const QString& windowText, const QString& pageText) {
        return onPage ? pageText : windowText;
    };
    QList<ReportTableRow> rows;
    rows.append({QStringLiteral("Statistics"), {}, {}, true});
    rows.append({QStringLiteral("Start Time"), time(whole.startTime, page.startTime),
                 hasSpan ? time(span->cursorATime, page.cursorATime) : QString()});
    rows.append({QStringLiteral("Sampling Rate"), whole.samplingRate + QStringLiteral(" Sec"), {}});
    rows.append({QStringLiteral("Data No."), whole.dataNo, hasSpan ? span->dataNo : QString()});
    rows.append({onPage ? QStringLiteral("Arithmetic mean of dB values") : QStringLiteral("Avg"),
                 whole.avgAll, hasSpan ? span->texts.avgAB : QString()});
    rows.append(
        {QStringLiteral("Maximum"), at(whole.max, time(whole.maxTime, page.maxTime)),
         hasSpan ? at(span->texts.maxAB, time(span->texts.maxABTime, page.maxABTime)) : QString()});
    rows.append(
        {QStringLiteral("Minimum"), at(whole.min, time(whole.minTime, page.minTime)),
         hasSpan ? at(span->texts.minAB, time(span->texts.minABTime, page.minABTime)) : QString()});
    if (hasSpan) {
        rows.append({QStringLiteral("Cursor A"),
                     {},
                     at(span->cursorA, time(span->cursorATime, page.cursorATime))});
        rows.append({QStringLiteral("Cursor B"),
                     {},
                     at(span->cursorB, time(span->cursorBTime, page.cursorBTime))});
    }

    rows.append({QStringLiteral("Acoustic figures"), {}, {}, true});
    const auto acousticRow = [&](const QString& name, auto figure) {
        const auto text = [&](const AcousticFigures& f) {
            return f.isEmpty() ? QString() : figure(f);
        };
        rows.append({name, text(wholeAcoustic), hasSpan ? text(span->acoustic) : QString()});
    };
    const auto level = [&](double AcousticFigures::*field) {
        return [field, &locale](const AcousticFigures& f) { return decibels(f.*field, locale); };
    };
    acousticRow(leqName, level(&AcousticFigures::leq));
    acousticRow(QStringLiteral("L5"), level(&AcousticFigures::l5));
    acousticRow(QStringLiteral("L10"), level(&AcousticFigures::l10));
    acousticRow(QStringLiteral("L50"), level(&AcousticFigures::l50));
    acousticRow(QStringLiteral("L90"), level(&AcousticFigures::l90));
    acousticRow(QStringLiteral("L95"), level(&AcousticFigures::l95));
    acousticRow(QStringLiteral("Lmax"), level(&AcousticFigures::lmax));
    acousticRow(QStringLiteral("Lmin"), level(&AcousticFigures::lmin));
    acousticRow(QStringLiteral("Duration"), [&](const AcousticFigures& f) {
        return f.hasDurations() ? durationText(f.durationSeconds, locale) : QString();
    });
    acousticRow(QStringLiteral("Time above %1").arg(decibels(thresholdDb, locale)),
                [&](const AcousticFigures& f) { return timeAbove(f, locale); });
    return rows;
}

void NoiseReport::makeSections(const ReportSeries& series, const ReportSettings& settings)
{
    sections = ReportSections{};
    sections.settings = settings;
    qsizetype n = std::min<qsizetype>(qsizetype(series.times.size()), series.size());
    // Periods and events need times in order (the loaders refuse others,
    // a chart's points may hold them).
    if (n == 0 || firstBackwardStep(series.times))
        return;
    qsizetype first = 0;
    if (settings.tablesOverSpan && span) {
        // The span was clamped into the series when the report was made.
        first = std::clamp<qsizetype>(span->span.first, 0, n - 1);
        n = std::clamp<qsizetype>(span->span.last, first, n - 1) - first + 1;
        sections.overSpan = true;
        sections.spanFirstTime = series.times[std::size_t(first)];
        sections.spanLastTime = series.times[std::size_t(first + n - 1)];
    }
    const std::span<const double> times(series.times.data() + first, std::size_t(n));
    const std::span<const float> levels(series.levels.data() + first, std::size_t(n));
    const SampleTiming timing = SampleTiming::of(times, levels, series.intervalSeconds);
    qint64 lastEnd = timing.startMs.back();
    for (qsizetype i = 0; i < n; ++i)
        lastEnd = std::max(lastEnd, timing.endMs(i));

    sections.made = true;
    sections.criteria = {thresholdDb, settings.minDurationSeconds, settings.hysteresisDb};
    sections.events = ExceedanceEvents::find(timing, levels, sections.criteria);
    sections.periodMs = settings.periodFor(lastEnd - timing.startMs.front());
    sections.periods = PeriodLevels::of(timing, levels, sections.periodMs);
    for (const qint64 longer : {300'000LL, 900'000LL, 3'600'000LL, SampleTiming::kDayMs}) {
        if (sections.periods.size() <= ReportSections::kMostPeriodsListed &&
            !sections.periods.isEmpty())
            break;
        if (longer <= sections.periodMs)
            continue;
        sections.periodMsSet = settings.periodMs;
        sections.periodMs = longer;
        sections.periods = PeriodLevels::of(timing, levels, sections.periodMs);
    }
    PeriodLevels::countEvents(sections.periods, sections.events);
    sections.den = DayEveningNight::of(timing, levels, settings.den);

    int low = std::numeric_limits<int>::max();
    int high = std::numeric_limits<int>::min();
    std::vector<int> classes;
    classes.reserve(std::size_t(n));
    for (const float level : levels) {
        if (!std::isfinite(level))
            continue;
        // The class of a level in the meter's 0.1 dB steps: 60.0 to 60.9 dB
        // are the class of 60 dB, whatever float 60.9 is held as.
        const int c = int(std::floor(std::round(double(level) * 10.0) / 10.0 + 1e-6));
        classes.push_back(c);
        low = std::min(low, c);
        high = std::max(high, c);
    }
    if (!classes.empty()) {
        sections.firstClassDb = low;
        sections.classCounts.assign(std::size_t(high - low + 1), 0);
        for (const int c : classes)
            ++sections.classCounts[std::size_t(c - low)];
        sections.distributed = qsizetype(classes.size());
    }
}

namespace {
const QString kNone = QStringLiteral("\u2013");

QString levelCell(double value, const QLocale& locale)
{
    return GraphTexts::levelText(value, locale);
}

QString optionalLevelCell(const std::optional<double>& value, const QLocale& locale)
{
    return value ? levelCell(*value, locale) : kNone;
}

// Whole percent, never rounded up to a full 100 %, and a part too small
// for 1 % not shown as none.
QString percentNumber(double part, const QLocale& locale)
{
    const double percent = std::floor(part * 100.0 + 1e-9);
    if (percent == 0.0 && part > 0.0)
        return QStringLiteral("<1");
    return locale.toString(percent, 'f', 0);
}

QString percentCell(double part, const QLocale& locale)
{
    return percentNumber(part, locale) + QStringLiteral(" %");
}

QString clockOf(int minute)
{
    return QStringLiteral("%1:%2")
        .arg(minute / 60, 2, 10, QLatin1Char('0'))
        .arg(minute % 60, 2, 10, QLatin1Char('0'));
}

double dateTimeOfMs(qint64 ms)
{
    return SampleTiming::toDateTime(ms);
}

// A note's first line when its table is made of the span only.
QStringList spanNote(const ReportSections& sections, const QLocale& locale)
{
    if (!sections.overSpan)
        return {};
    return {QStringLiteral("Between the cursors, %1 to %2.")
                .arg(NoiseReportTexts::dateTimeText(sections.spanFirstTime, locale),
                     NoiseReportTexts::dateTimeText(sections.spanLastTime, locale))};
}
} // namespace

ReportGrid NoiseReport::periodGrid(const QLocale& locale) const
{
    using namespace NoiseReportTexts;
    ReportGrid grid;
    const QString length = ReportSettings::periodText(sections.periodMs).remove(QLatin1Char(' '));
    grid.columns = {
        QStringLiteral("Date"),
        QStringLiteral("Time"),
        leqName + QLatin1Char(',') + length,
        FigureNames::levelName(seriesWeighting, TimeWeighting::Unknown, QStringLiteral("max")),
        FigureNames::levelName(seriesWeighting, TimeWeighting::Unknown, QStringLiteral("10")),
        FigureNames::levelName(seriesWeighting, TimeWeighting::Unknown, QStringLiteral("90")),
        QStringLiteral("Samples"),
        QStringLiteral("Coverage"),
        QStringLiteral("Events")};
    grid.numeric = {false, false, true, true, true, true, true, false, true};
    const bool withSeconds = sections.periodMs % 60'000 != 0;
    const auto clock = [&](qint64 ms) {
        return withSeconds ? timeText(dateTimeOfMs(ms), locale)
                           : shortTimeText(dateTimeOfMs(ms), locale);
    };
    for (const PeriodLevel& p : sections.periods) {
        const bool has = p.samples > 0;
        const auto level = [&](double v) { return has ? levelCell(v, locale) : kNone; };
        ReportGrid::Row row;
        row.cells = {dateText(GraphTexts::toDateTime(dateTimeOfMs(p.startMs)).date(), locale),
                     clock(p.startMs) + QStringLiteral("\u2013") + clock(p.endMs),
                     level(p.leq),
                     level(p.lmax),
                     level(p.l10),
                     level(p.l90),
                     locale.toString(p.samples),
                     percentCell(p.coverage, locale) +
                         (p.isComplete() ? QString() : QStringLiteral(" incomplete")),
                     locale.toString(p.events)};
        row.marked = !p.isComplete();
        grid.rows.append(row);
    }
    return grid;
}

ReportGrid NoiseReport::denGrid(const QLocale& locale) const
{
    ReportGrid grid;
    grid.columns = {QStringLiteral("Day"),
                    QStringLiteral("Lday"),
                    QStringLiteral("Levening"),
                    QStringLiteral("Lnight"),
                    QStringLiteral("Lden"),
                    QStringLiteral("Ldn"),
                    QStringLiteral("Covered: day / evening / night")};
    grid.numeric = {false, true, true, true, true, true, false};
    const auto row = [&](const QString& name, const DenLevels& d, bool total) {
        const auto percent = [&](double v) { return percentNumber(v, locale); };
        ReportGrid::Row r;
        r.cells = {
            name,
            optionalLevelCell(d.lday, locale),
            optionalLevelCell(d.levening, locale),
            optionalLevelCell(d.lnight, locale),
            optionalLevelCell(d.lden, locale),
            optionalLevelCell(d.ldn, locale),
            QStringLiteral("%1 / %2 / %3 %")
                .arg(percent(d.dayCoverage), percent(d.eveningCoverage), percent(d.nightCoverage))};
        r.total = total;
        grid.rows.append(r);
    };
    for (const DenLevels& day : sections.den.days)
        row(NoiseReportTexts::dateText(day.date, locale), day, false);
    if (!sections.den.days.isEmpty())
        row(sections.overSpan ? QStringLiteral("Between the cursors")
                              : QStringLiteral("Whole series"),
            sections.den.whole, true);
    return grid;
}

ReportGrid NoiseReport::eventGrid(const QLocale& locale) const
{
    using namespace NoiseReportTexts;
    ReportGrid grid;
    grid.columns = {
        QStringLiteral("No."),
        QStringLiteral("Start"),
        QStringLiteral("End"),
        QStringLiteral("Duration"),
        FigureNames::levelName(seriesWeighting, TimeWeighting::Unknown, QStringLiteral("max")),
        leqName,
        QStringLiteral("SEL")};
    grid.numeric = {true, false, false, true, true, true, true};
    const qsizetype shown =
        std::min<qsizetype>(sections.events.size(), ReportSections::kMostEventsListed);
    for (qsizetype i = 0; i < shown; ++i) {
        const ExceedanceEvent& e = sections.events.at(i);
        const double start = dateTimeOfMs(e.startMs);
        const double end = dateTimeOfMs(e.endMs);
        const bool sameDay =
            GraphTexts::toDateTime(start).date() == GraphTexts::toDateTime(end).date();
        ReportGrid::Row row;
        row.cells = {locale.toString(i + 1),
                     dateTimeText(start, locale),
                     sameDay ? timeText(end, locale) : dateTimeText(end, locale),
                     durationText(e.durationSeconds, locale),
                     levelCell(e.lmax, locale),
                     levelCell(e.leq, locale),
                     levelCell(e.sel, locale)};
        grid.rows.append(row);
    }
    return grid;
}

QStringList NoiseReport::periodNote(const QLocale& locale) const
{
    QStringList note = spanNote(sections, locale);
    note << QStringLiteral("Periods of %1, aligned to the clock. %2,%3 is the equivalent level "
                           "of the readings that start in the period, each weighted by the "
                           "time it stands for. A period the readings do not cover whole (a "
                           "gap, the ends of the series) is marked incomplete. Events: the "
                           "exceedance events that start in the period.")
                .arg(ReportSettings::periodText(sections.periodMs), leqName,
                     ReportSettings::periodText(sections.periodMs).remove(QLatin1Char(' ')));
    if (sections.periodMsSet > 0)
        note << QStringLiteral("Periods of %1 would make more than %2 rows; the table takes "
                               "periods of %3.")
                    .arg(ReportSettings::periodText(sections.periodMsSet),
                         locale.toString(ReportSections::kMostPeriodsListed),
                         ReportSettings::periodText(sections.periodMs));
    if (sections.periods.isEmpty())
        note << QStringLiteral("The series spans more periods of that length than a table "
                               "holds; choose a longer period.");
    return note;
}

QStringList NoiseReport::denNote(const QLocale& locale) const
{
    const DenSettings& d = sections.settings.den;
    return spanNote(sections, locale) + QStringList{QStringLiteral("Day %1\u2013%2, evening %2\u2013%3 (+%4 dB), night %3\u2013%1 "
                           "(+%5 dB). A day runs from %1 to %1 the next morning and is named by "
                           "the date it starts on. Lden and Ldn are given for a day whose "
                           "periods all hold readings; coverage is the part of each period "
                           "the readings stand for.")
                .arg(clockOf(d.dayStartMinute), clockOf(d.eveningStartMinute),
                     clockOf(d.nightStartMinute), GraphTexts::levelText(d.eveningPenaltyDb, locale),
                     GraphTexts::levelText(d.nightPenaltyDb, locale))};
}

QStringList NoiseReport::eventNote(const QLocale& locale) const
{
    using namespace NoiseReportTexts;
    const EventCriteria& c = sections.criteria;
    QStringList note = spanNote(sections, locale);
    note << QStringLiteral("An event: the level strictly above %1 for at least %2 s, ended by a "
                           "level below %3, a gap or the end of the series. SEL = %4 + "
                           "10 lg(duration / 1 s).")
                .arg(decibels(c.thresholdDb, locale),
                     GraphTexts::levelText(c.minDurationSeconds, locale),
                     decibels(c.thresholdDb - c.hysteresisDb, locale), leqName);
    const qsizetype count = sections.events.size();
    if (count == 0)
        note << QStringLiteral("None: the level never stayed above %1 that long.")
                    .arg(decibels(c.thresholdDb, locale));
    else if (count > ReportSections::kMostEventsListed)
        note << QStringLiteral("%1 events; the first %2 are listed (audimark-cli events lists "
                               "them all).")
                    .arg(locale.toString(count),
                         locale.toString(ReportSections::kMostEventsListed));
    else
        note << (count == 1 ? QStringLiteral("1 event.")
                            : QStringLiteral("%1 events.").arg(locale.toString(count)));
    return note;
}

QStringList NoiseReport::distributionNote(const QLocale& locale) const
{
    return spanNote(sections, locale) + QStringList{
        QStringLiteral("%1. The share of the readings in each 1 dB class (bars, left "
                       "scale; 60 dB holds 60.0 to 60.9 dB) and the share at or above each "
                       "level (line, right scale), counted by readings as Ln is.")
            .arg(sections.distributed == 1
                     ? QStringLiteral("1 reading")
                     : QStringLiteral("%1 readings").arg(locale.toString(sections.distributed)))};
}

QString NoiseReport::footerText(const QLocale& locale) const
{
    return QStringLiteral("Created %1 by Audimark %2")
        .arg(NoiseReportTexts::dateTimeText(GraphTexts::fromDateTime(created), locale), version);
}

QStringList NoiseReport::methodNote(const QLocale& locale) const
{
    using namespace NoiseReportTexts;
    QStringList note;
    const QString readings = locale.toString(sampleCount);
    if (sampleCount == 0)
        note << QStringLiteral("The series holds no readings, so there are no figures.");
    else if (intervalSeconds > 0.0)
        note << QStringLiteral("%1 is a sampled equivalent level: the energy average of %2 "
                               "readings taken every %3 s, each standing for its interval; "
                               "the sound between two readings is not measured.")
                    .arg(leqName, readings,
                         interval.isEmpty() ? GraphTexts::levelText(intervalSeconds, locale)
                                            : interval);
    else
        note << QStringLiteral("%1 is the energy average of %2 readings; their times do not "
                               "give an interval, so no duration is stated.")
                    .arg(leqName, readings);
    if (weighting == QLatin1String("unknown"))
        note << QStringLiteral("The file does not state the frequency weighting, so the "
                               "equivalent level is named Leq.");
    note << QStringLiteral("Ln is the level exceeded in n % of the readings, by the nearest "
                           "rank: of the N readings sorted from the lowest, the one at rank "
                           "ceil((100 - n) / 100 \u00d7 N), no interpolation.");
    note << QStringLiteral("Time above %1 counts the readings strictly above it, both taken "
                           "at the meter's %2 steps: a reading of %1 is not above.")
                .arg(decibels(thresholdDb, locale), decibels(0.1, locale));
    note << QStringLiteral("The arithmetic mean of dB values is the plain mean of the "
                           "readings in dB (the graph window's \"Avg\"); it is no equivalent "
                           "level and lies below %1 whenever the level varies.")
                .arg(leqName);
    note << QStringLiteral("Times are the meter's clock, read as local time%1. Dates are "
                           "written with four-digit years.")
                .arg(timeZone.isEmpty() ? QString()
                                        : QStringLiteral(" (") + timeZone + QLatin1Char(')'));
    return note;
}

ReportLevelAxis ReportLevelAxis::fittedTo(std::span<const float> levels)
{
    constexpr double kRoom = 2.0;
    constexpr double kStep = 10.0;
    constexpr double kLeastSpan = 20.0;
    float low = std::numeric_limits<float>::infinity();
    float high = -std::numeric_limits<float>::infinity();
    for (const float level : levels) {
        if (std::isfinite(level)) {
            low = std::min(low, level);
            high = std::max(high, level);
        }
    }
    ReportLevelAxis axis;
    if (!(low <= high))
        return axis;
    axis.minDb = std::floor((double(low) - kRoom) / kStep) * kStep;
    axis.maxDb = std::ceil((double(high) + kRoom) / kStep) * kStep;
    // Widened on both sides in turn, the lower side first, so that a steady
    // level sits in the middle of the plot.
    for (bool lower = true; axis.maxDb - axis.minDb < kLeastSpan; lower = !lower)
        (lower ? axis.minDb : axis.maxDb) += lower ? -kStep : kStep;
    return axis;
}

ReportLevelAxis ReportLevelAxis::showing(double db, double reach) const
{
    constexpr double kRoom = 2.0;
    constexpr double kStep = 10.0;
    ReportLevelAxis axis = *this;
    if (!std::isfinite(db))
        return axis;
    if (db + kRoom > maxDb && db - maxDb <= reach)
        axis.maxDb = std::ceil((db + kRoom) / kStep) * kStep;
    if (db - kRoom < minDb && minDb - db <= reach)
        axis.minDb = std::floor((db - kRoom) / kStep) * kStep;
    return axis;
}

namespace NoiseReportTexts {

namespace {
// A Qt date or time format with its letter runs rewritten by `rewrite`
// (quoted text is kept as it is).
template <typename Rewrite> QString rewriteFormat(const QString& format, Rewrite rewrite)
{
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            out += c;
            ++i;
            continue;
        }
        qsizetype end = i + 1;
        if (!quoted && c.isLetter())
            while (end < format.size() && format.at(end) == c)
                ++end;
        const QString run = format.mid(i, end - i);
        out += quoted || !c.isLetter() ? run : rewrite(c, run);
        i = end;
    }
    return out;
}

QString fourDigitYearDateFormat(const QLocale& locale)
{
    return rewriteFormat(locale.dateFormat(QLocale::ShortFormat), [](QChar c, const QString& run) {
        return c == QLatin1Char('y') ? QStringLiteral("yyyy") : run;
    });
}

// The long time without its zone (and the brackets around it); a day
// period "B" (which Qt does not know) as AM/PM.
QString reportTimeFormat(const QLocale& locale)
{
    QString format =
        rewriteFormat(locale.timeFormat(QLocale::LongFormat), [](QChar c, const QString& run) {
            if (c == QLatin1Char('t'))
                return QString();
            if (c == QLatin1Char('B'))
                return QStringLiteral("AP");
            return run;
        });
    format.remove(QStringLiteral("[]"));
    format.remove(QStringLiteral("()"));
    return format.simplified();
}
} // namespace

QString dateTimeText(double dateTime, const QLocale& locale)
{
    const QDateTime t = GraphTexts::toDateTime(dateTime);
    return locale.toString(t.date(), fourDigitYearDateFormat(locale)) + QLatin1Char(' ') +
           locale.toString(t.time(), reportTimeFormat(locale));
}

QString dateText(const QDate& date, const QLocale& locale)
{
    return locale.toString(date, fourDigitYearDateFormat(locale));
}

QString shortTimeText(double dateTime, const QLocale& locale)
{
    QString format =
        rewriteFormat(locale.timeFormat(QLocale::ShortFormat), [](QChar c, const QString& run) {
            if (c == QLatin1Char('t'))
                return QString();
            if (c == QLatin1Char('B'))
                return QStringLiteral("AP");
            return run;
        });
    format.remove(QStringLiteral("[]"));
    format.remove(QStringLiteral("()"));
    return locale.toString(GraphTexts::toDateTime(dateTime).time(), format.simplified());
}

QString timeText(double dateTime, const QLocale& locale)
{
    return locale.toString(GraphTexts::toDateTime(dateTime).time(), reportTimeFormat(locale));
}

QString decibels(double value, const QLocale& locale)
{
    return GraphTexts::levelText(value, locale) + QStringLiteral(" dB");
}

QString timeAbove(const AcousticFigures& figures, const QLocale& locale)
{
    if (!figures.hasDurations())
        return QStringLiteral("%1 %").arg(GraphTexts::levelText(figures.percentAbove, locale));
    return QStringLiteral("%1 s (%2 %)")
        .arg(GraphTexts::levelText(figures.secondsAbove, locale),
             GraphTexts::levelText(figures.percentAbove, locale));
}

} // namespace NoiseReportTexts
