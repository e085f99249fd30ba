#include "tools/cli/StatsCommand.h"

#include "acoustics/FigureNames.h"
#include "data/SeriesStatistics.h"
#include "files/formats/TabularConversion.h"
#include "files/formats/TextImport.h"
#include "meter/MeterClock.h"
#include "tools/cli/DownloadCommand.h"
#include "tools/cli/FiguresCommand.h"
#include "tools/cli/IsoTime.h"
#include "tools/cli/LoadFailureNotes.h"
#include "tools/cli/SeriesInput.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QTextStream>

#include <algorithm>
#include <cmath>

using LoadFailureNotes::MemorySource;

namespace {
constexpr int kUsageStatus = 2;

LoadedReport failed(int status, const QString& error)
{
    LoadedReport loaded;
    loaded.status = status;
    loaded.error = error;
    return loaded;
}

std::optional<double> threshold(const QString& text)
{
    bool ok = false;
    double value = QLocale::c().toDouble(text, &ok);
    if (!ok)
        value = QLocale().toDouble(text, &ok);
    return ok && std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

// Text and CSV files and archive measurements hold one series; anything
// else is read as a collection.
bool isCollection(const QString& file)
{
    return !SeriesInput::isArchive(file) && !TextImport::separatorForExtension(file).has_value();
}

double hundredths(double value)
{
    return std::round(value * 100.0) / 100.0;
}

// A level of the series as the meter gave it, in its 0.1 dB steps.
double tenths(double value)
{
    return std::round(value * 10.0) / 10.0;
}

// The figures behind the texts of the statistics, beside them: numbers and
// ISO times. Of equal extremes the first one wins, as in the window.
void addNumbers(QJsonObject& object, const SeriesStatistics& s)
{
    object.insert(QStringLiteral("points"), double(s.pointCount));
    if (s.isEmpty())
        return;
    object.insert(QStringLiteral("avg_db"), hundredths(s.average));
    object.insert(QStringLiteral("max_db"), tenths(s.maximum));
    object.insert(QStringLiteral("max_time_iso"), IsoTime::ofDateTimeValue(s.maximumTime));
    object.insert(QStringLiteral("min_db"), tenths(s.minimum));
    object.insert(QStringLiteral("min_time_iso"), IsoTime::ofDateTimeValue(s.minimumTime));
}

// Figures without durations (times that run backwards) give null, never a
// negative number.
QJsonValue seconds(const AcousticFigures& f, double value)
{
    return f.hasDurations() ? QJsonValue(hundredths(value)) : QJsonValue(QJsonValue::Null);
}

QJsonObject acousticJson(const AcousticFigures& f)
{
    return {{QStringLiteral("samples"), double(f.sampleCount)},
            {QStringLiteral("duration_s"), seconds(f, f.durationSeconds)},
            {QStringLiteral("leq_db"), hundredths(f.leq)},
            {QStringLiteral("l5_db"), hundredths(f.l5)},
            {QStringLiteral("l10_db"), hundredths(f.l10)},
            {QStringLiteral("l50_db"), hundredths(f.l50)},
            {QStringLiteral("l90_db"), hundredths(f.l90)},
            {QStringLiteral("l95_db"), hundredths(f.l95)},
            {QStringLiteral("lmax_db"), hundredths(f.lmax)},
            {QStringLiteral("lmin_db"), hundredths(f.lmin)},
            {QStringLiteral("seconds_above"), seconds(f, f.secondsAbove)},
            {QStringLiteral("percent_above"), hundredths(f.percentAbove)}};
}

DenSettings denSettings(const StatsOptions& options)
{
    DenSettings settings;
    QString error;
    (void)readDenSettings(options.denStartsText, options.denPenaltiesText, settings, error);
    return settings;
}

// The acoustician's figures of the whole series beside the window's.
void addFigures(QJsonObject& root, const StatsOptions& options, const LoadedReport& loaded)
{
    const SampleCounts counts = FigureNames::countSamples(
        loaded.series.levels, isCollection(options.file), loaded.series.rowsWithoutLevel);
    root.insert(
        QStringLiteral("counts"),
        QJsonObject{{QStringLiteral("samples"), double(counts.samples)},
                    {QStringLiteral("not_finite"), double(counts.notFinite)},
                    {QStringLiteral("out_of_range"), double(counts.outOfRange)},
                    {QStringLiteral("possible_stand_ins"), double(counts.possibleStandIns)},
                    {QStringLiteral("rows_without_level"), double(counts.rowsWithoutLevel)}});
    root.insert(QStringLiteral("percentile_rule"),
                FigureNames::percentileRuleText(PercentileRule::NearestRank));
    root.insert(QStringLiteral("day_evening_night"),
                dayEveningNightJson(loaded.series, denSettings(options)));
}

QByteArray json(const StatsOptions& options, const LoadedReport& loaded)
{
    const NoiseReport& r = loaded.report;
    const GraphStatisticTexts& w = r.whole;
    const std::vector<double>& times = loaded.series.times;
    const std::vector<float>& levels = loaded.series.levels;
    const SeriesStatistics wholeFigures = SeriesStatistics::whole(times, levels);
    QJsonObject wholeStatistics{{QStringLiteral("start_time"), w.startTime},
                                {QStringLiteral("sampling_rate"), w.samplingRate},
                                {QStringLiteral("data_no"), w.dataNo},
                                {QStringLiteral("avg"), w.avgAll},
                                {QStringLiteral("max"), w.max},
                                {QStringLiteral("max_time"), w.maxTime},
                                {QStringLiteral("min"), w.min},
                                {QStringLiteral("min_time"), w.minTime}};
    if (!wholeFigures.isEmpty())
        wholeStatistics.insert(QStringLiteral("start_time_iso"),
                               IsoTime::ofDateTimeValue(wholeFigures.startTime));
    addNumbers(wholeStatistics, wholeFigures);
    QJsonObject whole{{QStringLiteral("statistics"), wholeStatistics},
                      {QStringLiteral("acoustic"), acousticJson(r.wholeAcoustic)}};
    QJsonValue span = QJsonValue::Null;
    if (r.span) {
        const ReportSpanFigures& s = *r.span;
        QJsonObject statistics{{QStringLiteral("cursor_a"), s.cursorA},
                               {QStringLiteral("cursor_a_time"), s.cursorATime},
                               {QStringLiteral("cursor_b"), s.cursorB},
                               {QStringLiteral("cursor_b_time"), s.cursorBTime},
                               {QStringLiteral("data_no"), s.dataNo},
                               {QStringLiteral("avg"), s.texts.avgAB},
                               {QStringLiteral("max"), s.texts.maxAB},
                               {QStringLiteral("max_time"), s.texts.maxABTime},
                               {QStringLiteral("min"), s.texts.minAB},
                               {QStringLiteral("min_time"), s.texts.minABTime}};
        const auto a = std::size_t(s.span.first);
        const auto b = std::size_t(s.span.last);
        if (a < levels.size() && b < levels.size() && a < times.size() && b < times.size()) {
            statistics.insert(QStringLiteral("cursor_a_db"), tenths(levels[a]));
            statistics.insert(QStringLiteral("cursor_a_time_iso"),
                              IsoTime::ofDateTimeValue(times[a]));
            statistics.insert(QStringLiteral("cursor_b_db"), tenths(levels[b]));
            statistics.insert(QStringLiteral("cursor_b_time_iso"),
                              IsoTime::ofDateTimeValue(times[b]));
        }
        addNumbers(statistics,
                   SeriesStatistics::between(times, levels, s.span.first, s.span.last));
        span = QJsonObject{{QStringLiteral("first_index"), double(s.span.first)},
                           {QStringLiteral("last_index"), double(s.span.last)},
                           {QStringLiteral("statistics"), statistics},
                           {QStringLiteral("acoustic"), acousticJson(s.acoustic)}};
    }
    // The earliest point and the end of the latest, as start and end.
    QJsonValue startIso = QJsonValue::Null;
    QJsonValue endIso = QJsonValue::Null;
    if (!times.empty()) {
        const auto [earliest, latest] = std::minmax_element(times.begin(), times.end());
        const double interval =
            r.wholeAcoustic.hasDurations() ? loaded.series.intervalSeconds / 86400.0 : 0.0;
        startIso = IsoTime::ofDateTimeValue(*earliest);
        endIso = IsoTime::ofDateTimeValue(*latest + interval);
    }
    const bool collection = isCollection(options.file);
    QJsonObject root{
        {QStringLiteral("file"), options.file},
        {QStringLiteral("set"), collection ? QJsonValue(options.set) : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("meter"), r.meterModel},
        {QStringLiteral("weighting"), r.weighting},
        {QStringLiteral("leq_name"), r.leqName},
        {QStringLiteral("start"), r.startTime},
        {QStringLiteral("end"), r.endTime},
        {QStringLiteral("start_iso"), startIso},
        {QStringLiteral("end_iso"), endIso},
        {QStringLiteral("interval_s"), loaded.series.intervalSeconds},
        {QStringLiteral("threshold_db"), r.thresholdDb},
        {QStringLiteral("rows_without_level"), double(loaded.series.rowsWithoutLevel)},
        {QStringLiteral("whole"), whole},
        {QStringLiteral("span"), span}};
    addFigures(root, options, loaded);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

QString text(const StatsOptions& options, const LoadedReport& loaded)
{
    const NoiseReport& r = loaded.report;
    QString out;
    QTextStream stream(&out);
    stream << "file\t" << options.file << '\n';
    if (isCollection(options.file))
        stream << "set\t" << options.set << '\n';
    if (!r.meterModel.isEmpty())
        stream << "meter\t" << r.meterModel << '\n';
    stream << "weighting\t" << r.weighting << '\n'
           << "start\t" << r.startTime << '\n'
           << "end\t" << r.endTime << '\n'
           << "interval\t" << (r.interval.isEmpty() ? QString() : r.interval + QStringLiteral(" s"))
           << '\n';

    // The table in aligned columns, as the report page shows it.
    const QList<ReportTableRow> rows = r.tableRows();
    qsizetype nameWidth = 0;
    qsizetype wholeWidth = QStringLiteral("whole series").size();
    for (const ReportTableRow& row : rows) {
        nameWidth = std::max(nameWidth, row.name.size());
        wholeWidth = std::max(wholeWidth, row.whole.size());
    }
    const QString spanHeading =
        r.span ? QStringLiteral("from %1 to %2").arg(options.fromText, options.toText) : QString();
    for (const ReportTableRow& row : rows) {
        stream << '\n';
        if (row.heading) {
            stream << QStringLiteral("%1  %2  %3")
                          .arg(row.name.leftJustified(nameWidth),
                               QStringLiteral("whole series").leftJustified(wholeWidth),
                               spanHeading)
                          .trimmed();
            continue;
        }
        QString line = row.name.leftJustified(nameWidth) + QStringLiteral("  ") +
                       row.whole.leftJustified(wholeWidth);
        if (r.span)
            line += QStringLiteral("  ") + row.span;
        stream << line.trimmed();
    }
    stream << "\n\n" << dayEveningNightText(loaded.series, denSettings(options));
    return out;
}
} // namespace

LoadedReport loadStatsReport(const StatsOptions& options)
{
    double thresholdDb = NoiseReport::DefaultThresholdDb;
    if (!options.thresholdText.isEmpty()) {
        const std::optional<double> value = threshold(options.thresholdText);
        if (!value)
            return failed(kUsageStatus,
                          QStringLiteral("--threshold needs a level in dB, not \"%1\"")
                              .arg(options.thresholdText));
        thresholdDb = *value;
    }
    if (options.fromText.isEmpty() != options.toText.isEmpty())
        return failed(kUsageStatus, QStringLiteral("--from and --to go together"));

    const QLocale locale;
    ReportSeriesLoad load = SeriesInput::load(
        options.file, options.set, MeterClock::system().currentDateTime(), locale, options.archive);
    if (!load.series) {
        // A collection that does not decode: why, in words.
        const int result = load.status - LoadResultExitBase;
        if (result > 0 && result <= int(LoadResult::NoData)) {
            const QString why =
                LoadFailureNotes::loadFailure(LoadResult(result), MemorySource::File);
            return failed(load.status, options.file + QStringLiteral(": ") + why);
        }
        return failed(load.status, load.error);
    }

    LoadedReport loaded;
    loaded.series = std::move(*load.series);
    std::optional<ReportSpan> span;
    if (!options.fromText.isEmpty()) {
        const ReportSpanChoice choice =
            reportSpanOfTimes(loaded.series.times, options.fromText, options.toText);
        if (!choice.span)
            return failed(kUsageStatus, choice.error);
        span = choice.span;
    }
    loaded.report = NoiseReport::of(loaded.series, span, thresholdDb, locale);
    return loaded;
}

int runStatsCommand(const StatsOptions& options)
{
    DenSettings settings;
    QString denError;
    if (!readDenSettings(options.denStartsText, options.denPenaltiesText, settings, denError)) {
        QTextStream(stderr) << "audimark-cli: " << denError << '\n';
        return kUsageStatus;
    }
    const LoadedReport loaded = loadStatsReport(options);
    if (loaded.status != 0) {
        QTextStream(stderr) << "audimark-cli: " << loaded.error << '\n';
        return loaded.status;
    }
    if (loaded.series.rowsWithoutLevel > 0)
        QTextStream(stderr) << "audimark-cli: "
                            << TabularConversion::rowsWithoutLevelNote(loaded.series.rowsWithoutLevel)
                            << '\n';
    QTextStream out(stdout);
    if (options.json)
        out << QString::fromUtf8(json(options, loaded));
    else
        out << text(options, loaded);
    return 0;
}
