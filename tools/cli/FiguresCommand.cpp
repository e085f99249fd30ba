#include "tools/cli/FiguresCommand.h"

#include "acoustics/ExceedanceEvents.h"
#include "acoustics/FigureNames.h"
#include "acoustics/NoiseDose.h"
#include "acoustics/PeriodLevels.h"
#include "data/GraphTexts.h"
#include "files/formats/TabularConversion.h"
#include "files/formats/TextImport.h"
#include "tools/cli/FigureOptions.h"
#include "tools/cli/IsoTime.h"
#include "tools/cli/SeriesInput.h"
#include "tools/cli/StatsCommand.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTextStream>

#include <cmath>
#include <functional>
#include <optional>

namespace {

using CommandLine::Invocation;

enum class Format
{
    Text,
    Csv,
    Json
};

int usage(const QString& message)
{
    QTextStream(stderr) << "audimark-cli: " << message << '\n';
    return CommandLine::UsageStatus;
}

int failure(const QString& message)
{
    QTextStream(stderr) << "audimark-cli: " << message << '\n';
    return 1;
}

double hundredths(double value)
{
    return std::round(value * 100.0) / 100.0;
}

double thousandths(double value)
{
    return std::round(value * 1000.0) / 1000.0;
}

using FigureOptions::decibelsOf;
using FigureOptions::eventCriteria;
using FigureOptions::secondsOf;

// The series with what is said of it.
struct Figures
{
    QString file;
    bool collection = false;
    int set = 1;
    ReportSeries series;
    qsizetype first = 0; // the span of the series the figures are of
    qsizetype count = 0;
    SampleTiming timing;
    SampleCounts counts;

    [[nodiscard]] std::span<const double> times() const
    {
        return std::span<const double>(series.times)
            .subspan(std::size_t(first), std::size_t(count));
    }
    [[nodiscard]] std::span<const float> levels() const
    {
        return std::span<const float>(series.levels)
            .subspan(std::size_t(first), std::size_t(count));
    }
    [[nodiscard]] QString leqKey() const
    {
        return FigureNames::equivalentLevelKey(series.weighting);
    }
    [[nodiscard]] QString leqName() const
    {
        return FigureNames::equivalentLevelName(series.weighting);
    }
};

QJsonValue isoOf(qint64 ms)
{
    return IsoTime::ofDateTimeValue(SampleTiming::toDateTime(ms));
}

QString isoText(qint64 ms)
{
    return isoOf(ms).toString();
}

QString localText(qint64 ms)
{
    return GraphTexts::toDateTime(SampleTiming::toDateTime(ms))
        .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString weightingName(const ReportSeries& series)
{
    return series.weighting ? weightingText(*series.weighting) : QStringLiteral("unknown");
}

QJsonObject countsJson(const SampleCounts& counts)
{
    return {{QStringLiteral("samples"), double(counts.samples)},
            {QStringLiteral("not_finite"), double(counts.notFinite)},
            {QStringLiteral("out_of_range"), double(counts.outOfRange)},
            {QStringLiteral("possible_stand_ins"), double(counts.possibleStandIns)},
            {QStringLiteral("rows_without_level"), double(counts.rowsWithoutLevel)}};
}

QString samplingNoteOf(const Figures& f)
{
    return f.collection ? FigureNames::samplingNote(f.counts.samples, f.series.intervalSeconds)
                        : QString();
}

QJsonObject headJson(const Figures& f)
{
    QJsonObject head{{QStringLiteral("file"), f.file},
                     {QStringLiteral("set"), f.collection ? QJsonValue(f.set) : QJsonValue()},
                     {QStringLiteral("weighting"), weightingName(f.series)},
                     {QStringLiteral("leq_name"), f.leqName()},
                     {QStringLiteral("counts"), countsJson(f.counts)}};
    const QString note = samplingNoteOf(f);
    head.insert(QStringLiteral("sampling"), note.isEmpty() ? QJsonValue() : QJsonValue(note));
    return head;
}

// The lines said beside the figures, for the text format and stderr.
QString countsText(const Figures& f)
{
    QString out;
    QTextStream stream(&out);
    stream << "file\t" << f.file << '\n';
    if (f.collection)
        stream << "set\t" << f.set << '\n';
    stream << "weighting\t" << weightingName(f.series) << '\n'
           << "samples\t" << f.counts.samples << '\n';
    if (const QString note = samplingNoteOf(f); !note.isEmpty())
        stream << "note\t" << note << '\n';
    if (f.counts.outOfRange > 0)
        stream << "out of range (20-140 dB)\t" << f.counts.outOfRange << '\n';
    if (f.counts.possibleStandIns > 0)
        stream << "at 50.0 dB (the logger's stand-in for a level it could not measure)\t"
               << f.counts.possibleStandIns << '\n';
    if (f.counts.rowsWithoutLevel > 0)
        stream << "rows without a level, left out\t" << f.counts.rowsWithoutLevel << '\n';
    return out;
}

QString number(double value, int decimals, const QLocale& locale)
{
    return locale.toString(value, 'f', decimals);
}

// The rows of the text format (TAB-separated, the user's numbers, local
// times, four-digit years) or of CSV (commas, full stops, ISO times).
class Table
{
public:
    // A column: its CSV key and its name in the text format.
    using Column = std::pair<QString, QString>;

    explicit Table(bool csv) : csv_(csv), locale_(csv ? QLocale::c() : QLocale()) {}

    [[nodiscard]] bool csv() const { return csv_; }
    [[nodiscard]] const QLocale& locale() const { return locale_; }
    [[nodiscard]] QString time(qint64 ms) const { return csv_ ? isoText(ms) : localText(ms); }
    // A level: 0.01 dB in CSV, 0.1 dB as text.
    [[nodiscard]] QString level(double value) const { return fixed(value, csv_ ? 2 : 1); }
    [[nodiscard]] QString fixed(double value, int decimals) const
    {
        return csv_ ? QString::number(value, 'f', decimals) : number(value, decimals, locale_);
    }
    // Lines before the table, in the text format only.
    void head(const QString& lines)
    {
        if (!csv_)
            stream_ << lines;
    }
    void heading(const QList<Column>& columns)
    {
        QStringList names;
        for (const Column& column : columns)
            names << (csv_ ? column.first : column.second);
        row(names);
    }
    void row(const QStringList& cells) { stream_ << cells.join(csv_ ? u',' : u'\t') << '\n'; }
    void print()
    {
        stream_.flush();
        QTextStream(stdout) << out_;
    }

private:
    bool csv_;
    QLocale locale_;
    QString out_;
    QTextStream stream_{&out_};
};

void printJson(const QJsonObject& root)
{
    QTextStream(stdout) << QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Indented));
}

struct Common
{
    StatsOptions stats;
    Format format = Format::Text;
};

// FILE (or archive:ID), --set, --from, --to, --format and the archive
// options; an empty error when they read.
Common commonOptions(const Invocation& invocation, bool csvAllowed, QString& error)
{
    Common common;
    if (invocation.arguments.size() != 1) {
        error = invocation.command + QStringLiteral(" needs one file");
        return common;
    }
    common.stats.file = invocation.arguments.first();
    if (invocation.isSet(QStringLiteral("set"))) {
        bool ok = false;
        common.stats.set = invocation.value(QStringLiteral("set")).toInt(&ok);
        if (!ok)
            error = QStringLiteral("--set needs a number");
    }
    common.stats.fromText = invocation.value(QStringLiteral("from"));
    common.stats.toText = invocation.value(QStringLiteral("to"));
    ArchiveChoice& archive = common.stats.archive;
    archive.off = invocation.isSet(QStringLiteral("no-archive"));
    archive.location = invocation.value(QStringLiteral("archive")).trimmed();
    if (archive.off && invocation.isSet(QStringLiteral("archive")))
        error = QStringLiteral("--archive and --no-archive exclude each other");
    else if (invocation.isSet(QStringLiteral("archive")) && archive.location.isEmpty())
        error = QStringLiteral("--archive needs an archive file or URL");
    const QString format = invocation.value(QStringLiteral("format"), QStringLiteral("text"));
    if (format == QLatin1String("json"))
        common.format = Format::Json;
    else if (format == QLatin1String("csv") && csvAllowed)
        common.format = Format::Csv;
    else if (format != QLatin1String("text"))
        error = csvAllowed ? QStringLiteral("--format must be text, csv or json")
                           : QStringLiteral("--format must be text or json");
    return common;
}

// 0 and the figures, or the exit status after the message.
int load(const Common& common, Figures& f)
{
    const LoadedReport loaded = loadStatsReport(common.stats);
    if (loaded.status != 0) {
        QTextStream(stderr) << "audimark-cli: " << loaded.error << '\n';
        return loaded.status;
    }
    if (loaded.series.rowsWithoutLevel > 0)
        QTextStream(stderr) << "audimark-cli: "
                            << TabularConversion::rowsWithoutLevelNote(
                                   loaded.series.rowsWithoutLevel)
                            << '\n';
    f.file = common.stats.file;
    // An archive measurement is read as the text file it exports to.
    f.collection = !SeriesInput::isArchive(f.file) &&
                   !TextImport::separatorForExtension(f.file).has_value();
    f.set = common.stats.set;
    f.series = loaded.series;
    f.count = f.series.size();
    if (loaded.report.span) {
        const qsizetype a = std::min(loaded.report.span->span.first, loaded.report.span->span.last);
        const qsizetype b = std::max(loaded.report.span->span.first, loaded.report.span->span.last);
        f.first = a;
        f.count = b - a + 1;
    }
    f.timing = SampleTiming::of(f.times(), f.levels(), f.series.intervalSeconds);
    f.counts = FigureNames::countSamples(f.levels(), f.collection, f.series.rowsWithoutLevel);
    return 0;
}

// What a command prints of its figures in a format; its exit status.
using Printer = std::function<int(const Figures& f, Format format)>;
// Reads the command's own options: its printer, or none and the usage error.
using OwnOptions = std::function<Printer(QString& error)>;

// The course every command of figures takes: the common options, the
// command's own (usage errors first, before anything is read), the series,
// then what the command prints of it.
int runOnSeries(const Invocation& invocation, bool csvAllowed, const OwnOptions& ownOptions)
{
    QString error;
    const Common common = commonOptions(invocation, csvAllowed, error);
    if (!error.isEmpty())
        return usage(error);
    const Printer printer = ownOptions(error);
    if (!printer)
        return usage(error);
    Figures f;
    if (const int status = load(common, f); status != 0)
        return status;
    return printer(f, common.format);
}

QJsonValue levelJson(bool has, double value)
{
    return has ? QJsonValue(hundredths(value)) : QJsonValue();
}

QJsonObject criteriaJson(const EventCriteria& c)
{
    return {{QStringLiteral("threshold_db"), c.thresholdDb},
            {QStringLiteral("min_duration_s"), c.minDurationSeconds},
            {QStringLiteral("hysteresis_db"), c.hysteresisDb}};
}

int printPeriods(const Figures& f, Format format, qint64 length, PercentileRule rule,
                 const std::optional<EventCriteria>& criteria)
{
    QList<PeriodLevel> periods = PeriodLevels::of(f.timing, f.levels(), length, rule);
    if (periods.isEmpty())
        return failure(QStringLiteral("the series spans more than %1 periods of that length")
                           .arg(PeriodLevels::kMostPeriods));
    if (criteria)
        PeriodLevels::countEvents(periods, ExceedanceEvents::find(f.timing, f.levels(), *criteria));

    if (format == Format::Json) {
        QJsonArray rows;
        for (const PeriodLevel& p : periods) {
            const bool has = p.samples > 0;
            QJsonObject row{{QStringLiteral("start"), isoOf(p.startMs)},
                            {QStringLiteral("end"), isoOf(p.endMs)},
                            {f.leqKey(), levelJson(has, p.leq)},
                            {QStringLiteral("lmax_db"), levelJson(has, p.lmax)},
                            {QStringLiteral("l10_db"), levelJson(has, p.l10)},
                            {QStringLiteral("l90_db"), levelJson(has, p.l90)},
                            {QStringLiteral("samples"), double(p.samples)},
                            {QStringLiteral("coverage"), std::round(p.coverage * 1e4) / 1e4},
                            {QStringLiteral("complete"), p.isComplete()}};
            if (criteria)
                row.insert(QStringLiteral("events"), double(p.events));
            rows.append(row);
        }
        QJsonObject root = headJson(f);
        root.insert(QStringLiteral("period_s"), double(length) / 1000.0);
        root.insert(QStringLiteral("percentile_rule"), FigureNames::percentileRuleText(rule));
        if (criteria)
            root.insert(QStringLiteral("event_criteria"), criteriaJson(*criteria));
        root.insert(QStringLiteral("periods"), rows);
        printJson(root);
        return 0;
    }

    Table table(format == Format::Csv);
    table.head(countsText(f) + QStringLiteral("percentiles\t") +
               FigureNames::percentileRuleText(rule) + QStringLiteral("\n\n"));
    QList<Table::Column> columns{{QStringLiteral("start"), QStringLiteral("start")},
                                 {QStringLiteral("end"), QStringLiteral("end")},
                                 {f.leqKey(), f.leqName()},
                                 {QStringLiteral("lmax_db"), QStringLiteral("Lmax")},
                                 {QStringLiteral("l10_db"), QStringLiteral("L10")},
                                 {QStringLiteral("l90_db"), QStringLiteral("L90")},
                                 {QStringLiteral("samples"), QStringLiteral("samples")},
                                 {QStringLiteral("coverage"), QStringLiteral("coverage")},
                                 {QStringLiteral("complete"), QString()}};
    if (criteria)
        columns.append({QStringLiteral("events"), QStringLiteral("events")});
    table.heading(columns);
    for (const PeriodLevel& p : periods) {
        const bool has = p.samples > 0;
        const auto level = [&](double v) { return has ? table.level(v) : QString(); };
        QStringList cells{table.time(p.startMs), table.time(p.endMs), level(p.leq),
                          level(p.lmax),         level(p.l10),        level(p.l90),
                          QString::number(p.samples)};
        if (table.csv())
            cells << table.fixed(p.coverage, 4)
                  << (p.isComplete() ? QStringLiteral("true") : QStringLiteral("false"));
        else
            cells << table.fixed(p.coverage * 100.0, 0) + QStringLiteral(" %")
                  << (p.isComplete() ? QString() : QStringLiteral("incomplete"));
        if (criteria)
            cells.append(QString::number(p.events));
        table.row(cells);
    }
    table.print();
    return 0;
}

int runPeriods(const Invocation& invocation)
{
    return runOnSeries(invocation, true, [&](QString& error) -> Printer {
        if (!invocation.isSet(QStringLiteral("period"))) {
            error = QStringLiteral("periods needs --period, such as 15m or 1h");
            return {};
        }
        const std::optional<qint64> length =
            PeriodLevels::lengthOf(invocation.value(QStringLiteral("period")));
        if (!length) {
            error = FigureOptions::periodComplaint();
            return {};
        }
        const std::optional<PercentileRule> rule = FigureNames::percentileRuleOf(
            invocation.value(QStringLiteral("percentiles"), QStringLiteral("nearest-rank")));
        if (!rule) {
            error = QStringLiteral("--percentiles must be nearest-rank or interpolated");
            return {};
        }
        std::optional<EventCriteria> criteria;
        if (invocation.isSet(QStringLiteral("threshold"))) {
            criteria = eventCriteria(invocation, error);
            if (!criteria)
                return {};
        } else if (invocation.isSet(QStringLiteral("min-duration")) ||
                   invocation.isSet(QStringLiteral("hysteresis"))) {
            error = QStringLiteral("--min-duration and --hysteresis go with --threshold");
            return {};
        }
        return [periodMs = *length, percentiles = *rule, criteria](const Figures& f,
                                                                  Format format) {
            return printPeriods(f, format, periodMs, percentiles, criteria);
        };
    });
}

int printEvents(const Figures& f, Format format, const EventCriteria& criteria)
{
    const QList<ExceedanceEvent> events = ExceedanceEvents::find(f.timing, f.levels(), criteria);
    if (format == Format::Json) {
        QJsonArray rows;
        for (const ExceedanceEvent& e : events)
            rows.append(QJsonObject{{QStringLiteral("start"), isoOf(e.startMs)},
                                    {QStringLiteral("end"), isoOf(e.endMs)},
                                    {QStringLiteral("duration_s"), thousandths(e.durationSeconds)},
                                    {QStringLiteral("lmax_db"), hundredths(e.lmax)},
                                    {f.leqKey(), hundredths(e.leq)},
                                    {QStringLiteral("sel_db"), hundredths(e.sel)}});
        QJsonObject root = headJson(f);
        root.insert(QStringLiteral("event_criteria"), criteriaJson(criteria));
        root.insert(QStringLiteral("events"), rows);
        printJson(root);
        return 0;
    }
    Table table(format == Format::Csv);
    table.head(countsText(f) + QStringLiteral("threshold\t%1 dB (above: strictly above)\n"
                                              "minimum duration\t%2 s\nhysteresis\t%3 dB\n"
                                              "events\t%4\n\n")
                                   .arg(table.fixed(criteria.thresholdDb, 1),
                                        table.fixed(criteria.minDurationSeconds, 1),
                                        table.fixed(criteria.hysteresisDb, 1),
                                        QString::number(events.size())));
    table.heading({{QStringLiteral("start"), QStringLiteral("start")},
                   {QStringLiteral("end"), QStringLiteral("end")},
                   {QStringLiteral("duration_s"), QStringLiteral("duration")},
                   {QStringLiteral("lmax_db"), QStringLiteral("Lmax")},
                   {f.leqKey(), f.leqName()},
                   {QStringLiteral("sel_db"), QStringLiteral("SEL")}});
    for (const ExceedanceEvent& e : events)
        table.row({table.time(e.startMs), table.time(e.endMs),
                   table.csv() ? table.fixed(e.durationSeconds, 3)
                               : durationText(e.durationSeconds, table.locale()),
                   table.level(e.lmax), table.level(e.leq), table.level(e.sel)});
    table.print();
    return 0;
}

int runEvents(const Invocation& invocation)
{
    return runOnSeries(invocation, true, [&](QString& error) -> Printer {
        if (!invocation.isSet(QStringLiteral("threshold"))) {
            error = QStringLiteral("events needs --threshold dB");
            return {};
        }
        const std::optional<EventCriteria> criteria = eventCriteria(invocation, error);
        if (!criteria)
            return {};
        return [found = *criteria](const Figures& f, Format format) {
            return printEvents(f, format, found);
        };
    });
}

int printDose(const Figures& f, Format format, const DoseSettings& settings)
{
    const NoiseDose dose = NoiseDoses::of(f.timing, f.levels(), settings);
    if (!dose.valid)
        return failure(f.file + QStringLiteral(": no levels to take a dose from"));
    const QString rateName = settings.exchangeRateDb == 3
                                 ? QStringLiteral("3 dB exchange rate (equal energy)")
                                 : QStringLiteral("5 dB exchange rate");
    if (format == Format::Json) {
        QJsonObject root = headJson(f);
        root.insert(QStringLiteral("lex_8h_db"), hundredths(dose.lex8h));
        root.insert(QStringLiteral("dose_percent"), hundredths(dose.dosePercent));
        root.insert(QStringLiteral("exchange_rate_db"), dose.exchangeRateDb);
        root.insert(QStringLiteral("criterion_db"), dose.criterionDb);
        root.insert(QStringLiteral("exposure_s"), dose.exposureSeconds);
        root.insert(QStringLiteral("measured_s"), thousandths(dose.measuredSeconds));
        root.insert(f.leqKey(), hundredths(dose.leq));
        root.insert(QStringLiteral("average_db"), hundredths(dose.averageDb));
        root.insert(QStringLiteral("exchange_rate"), rateName);
        printJson(root);
        return 0;
    }
    Table table(false);
    const auto decibels = [&](double v) { return table.fixed(v, 1) + QStringLiteral(" dB"); };
    QString lines = countsText(f);
    if (f.series.weighting != AcousticWeighting::A)
        lines += QStringLiteral("note\ta dose is defined on A-weighted levels\n");
    table.head(lines);
    table.row({QStringLiteral("measured"), durationText(dose.measuredSeconds, table.locale())});
    table.row({f.leqName(), decibels(dose.leq)});
    table.row({QStringLiteral("exposure"), durationText(dose.exposureSeconds, table.locale())});
    table.row({QStringLiteral("LEX,8h"), decibels(dose.lex8h)});
    if (settings.exchangeRateDb == 5)
        table.row({QStringLiteral("Lavg (5 dB exchange rate)"), decibels(dose.averageDb)});
    table.row({QStringLiteral("exchange rate"), rateName});
    table.row({QStringLiteral("criterion"), decibels(dose.criterionDb) + QStringLiteral(" for 8 h")});
    table.row({QStringLiteral("dose"), table.fixed(dose.dosePercent, 1) + QStringLiteral(" %")});
    table.print();
    return 0;
}

int runDose(const Invocation& invocation)
{
    return runOnSeries(invocation, false, [&](QString& error) -> Printer {
        DoseSettings settings;
        if (invocation.isSet(QStringLiteral("exchange-rate"))) {
            const QString rate = invocation.value(QStringLiteral("exchange-rate")).trimmed();
            if (rate != QLatin1String("3") && rate != QLatin1String("5")) {
                error = QStringLiteral("--exchange-rate must be 3 or 5");
                return {};
            }
            settings.exchangeRateDb = rate.toInt();
        }
        settings.criterionDb = DoseSettings::defaultCriterion(settings.exchangeRateDb);
        if (invocation.isSet(QStringLiteral("criterion"))) {
            const std::optional<double> criterion =
                decibelsOf(invocation.value(QStringLiteral("criterion")));
            if (!criterion) {
                error = QStringLiteral("--criterion needs a level in dB");
                return {};
            }
            settings.criterionDb = *criterion;
        }
        if (invocation.isSet(QStringLiteral("exposure"))) {
            const std::optional<double> seconds =
                secondsOf(invocation.value(QStringLiteral("exposure")));
            if (!seconds) {
                error = QStringLiteral("--exposure needs a duration such as 8h");
                return {};
            }
            settings.exposureSeconds = *seconds;
        }
        return [settings](const Figures& f, Format format) { return printDose(f, format, settings); };
    });
}

std::optional<double> optionalLevel(const std::optional<double>& v)
{
    return v ? std::optional<double>(hundredths(*v)) : std::nullopt;
}

QJsonValue jsonOf(const std::optional<double>& v)
{
    return v ? QJsonValue(hundredths(*v)) : QJsonValue();
}

QJsonObject denLevelsJson(const DenLevels& d)
{
    return {{QStringLiteral("lday_db"), jsonOf(d.lday)},
            {QStringLiteral("levening_db"), jsonOf(d.levening)},
            {QStringLiteral("lnight_db"), jsonOf(d.lnight)},
            {QStringLiteral("lden_db"), jsonOf(d.lden)},
            {QStringLiteral("ldn_db"), jsonOf(d.ldn)},
            {QStringLiteral("day_coverage"), std::round(d.dayCoverage * 1e4) / 1e4},
            {QStringLiteral("evening_coverage"), std::round(d.eveningCoverage * 1e4) / 1e4},
            {QStringLiteral("night_coverage"), std::round(d.nightCoverage * 1e4) / 1e4},
            {QStringLiteral("samples"), double(d.samples)}};
}

QString clockText(int minute)
{
    return QStringLiteral("%1:%2")
        .arg(minute / 60, 2, 10, QLatin1Char('0'))
        .arg(minute % 60, 2, 10, QLatin1Char('0'));
}

DenFigures denOf(const ReportSeries& series, const DenSettings& settings)
{
    const SampleTiming timing =
        SampleTiming::of(series.times, series.levels, series.intervalSeconds);
    return DayEveningNight::of(timing, series.levels, settings);
}

} // namespace

bool isFiguresCommand(const QString& command)
{
    return command == QLatin1String("periods") || command == QLatin1String("events") ||
           command == QLatin1String("dose");
}

int runFiguresCommand(const Invocation& invocation)
{
    if (invocation.command == QLatin1String("periods"))
        return runPeriods(invocation);
    if (invocation.command == QLatin1String("events"))
        return runEvents(invocation);
    return runDose(invocation);
}

bool readDenSettings(const QString& startsText, const QString& penaltiesText, DenSettings& settings,
                     QString& error)
{
    return FigureOptions::readDenSettings(startsText, penaltiesText, settings, error);
}

QJsonObject dayEveningNightJson(const ReportSeries& series, const DenSettings& settings)
{
    const DenFigures den = denOf(series, settings);
    QJsonObject whole = denLevelsJson(den.whole);
    QJsonArray days;
    for (const DenLevels& day : den.days) {
        QJsonObject row = denLevelsJson(day);
        row.insert(QStringLiteral("date"), day.date.toString(Qt::ISODate));
        row.insert(QStringLiteral("start"),
                   IsoTime::withOffset(QDateTime(day.date, QTime(settings.dayStartMinute / 60,
                                                                 settings.dayStartMinute % 60))));
        days.append(row);
    }
    whole.insert(QStringLiteral("days"), days);
    whole.insert(QStringLiteral("day_start"), clockText(settings.dayStartMinute));
    whole.insert(QStringLiteral("evening_start"), clockText(settings.eveningStartMinute));
    whole.insert(QStringLiteral("night_start"), clockText(settings.nightStartMinute));
    whole.insert(QStringLiteral("evening_penalty_db"), settings.eveningPenaltyDb);
    whole.insert(QStringLiteral("night_penalty_db"), settings.nightPenaltyDb);
    return whole;
}

QString dayEveningNightText(const ReportSeries& series, const DenSettings& settings,
                            const QLocale& locale)
{
    const DenFigures den = denOf(series, settings);
    const auto level = [&](const std::optional<double>& v) {
        return v ? locale.toString(*optionalLevel(v), 'f', 1) : QStringLiteral("-");
    };
    const auto percent = [&](double v) {
        return locale.toString(v * 100.0, 'f', 0) + QStringLiteral(" %");
    };
    QString out;
    QTextStream stream(&out);
    stream << QStringLiteral("day %1-%2, evening %2-%3 (+%4 dB), night %3-%1 (+%5 dB)")
                  .arg(clockText(settings.dayStartMinute), clockText(settings.eveningStartMinute),
                       clockText(settings.nightStartMinute),
                       locale.toString(settings.eveningPenaltyDb),
                       locale.toString(settings.nightPenaltyDb))
           << '\n'
           << "day\tLday\tLevening\tLnight\tLden\tLdn\tday covered\tevening covered\tnight "
              "covered\n";
    const auto line = [&](const QString& name, const DenLevels& d) {
        stream << name << '\t' << level(d.lday) << '\t' << level(d.levening) << '\t'
               << level(d.lnight) << '\t' << level(d.lden) << '\t' << level(d.ldn) << '\t'
               << percent(d.dayCoverage) << '\t' << percent(d.eveningCoverage) << '\t'
               << percent(d.nightCoverage) << '\n';
    };
    for (const DenLevels& day : den.days)
        line(day.date.toString(Qt::ISODate), day);
    line(QStringLiteral("whole series"), den.whole);
    return out;
}
