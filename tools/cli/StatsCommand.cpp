#include "tools/cli/StatsCommand.h"

#include "files/formats/TabularConversion.h"
#include "files/formats/TextImport.h"
#include "meter/MeterClock.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QTextStream>

#include <cmath>

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

// Text and CSV files hold one series; anything else is read as a collection.
bool isCollection(const QString& file)
{
    return !TextImport::separatorForExtension(file).has_value();
}

double hundredths(double value)
{
    return std::round(value * 100.0) / 100.0;
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

QByteArray json(const StatsOptions& options, const LoadedReport& loaded)
{
    const NoiseReport& r = loaded.report;
    const GraphStatisticTexts& w = r.whole;
    QJsonObject whole{{QStringLiteral("statistics"),
                       QJsonObject{{QStringLiteral("start_time"), w.startTime},
                                   {QStringLiteral("sampling_rate"), w.samplingRate},
                                   {QStringLiteral("data_no"), w.dataNo},
                                   {QStringLiteral("avg"), w.avgAll},
                                   {QStringLiteral("max"), w.max},
                                   {QStringLiteral("max_time"), w.maxTime},
                                   {QStringLiteral("min"), w.min},
                                   {QStringLiteral("min_time"), w.minTime}}},
                      {QStringLiteral("acoustic"), acousticJson(r.wholeAcoustic)}};
    QJsonValue span = QJsonValue::Null;
    if (r.span) {
        const ReportSpanFigures& s = *r.span;
        span = QJsonObject{
            {QStringLiteral("first_index"), double(s.span.first)},
            {QStringLiteral("last_index"), double(s.span.last)},
            {QStringLiteral("statistics"),
             QJsonObject{{QStringLiteral("cursor_a"), s.cursorA},
                         {QStringLiteral("cursor_a_time"), s.cursorATime},
                         {QStringLiteral("cursor_b"), s.cursorB},
                         {QStringLiteral("cursor_b_time"), s.cursorBTime},
                         {QStringLiteral("data_no"), s.dataNo},
                         {QStringLiteral("avg"), s.texts.avgAB},
                         {QStringLiteral("max"), s.texts.maxAB},
                         {QStringLiteral("max_time"), s.texts.maxABTime},
                         {QStringLiteral("min"), s.texts.minAB},
                         {QStringLiteral("min_time"), s.texts.minABTime}}},
            {QStringLiteral("acoustic"), acousticJson(s.acoustic)}};
    }
    const bool collection = isCollection(options.file);
    const QJsonObject root{
        {QStringLiteral("file"), options.file},
        {QStringLiteral("set"), collection ? QJsonValue(options.set) : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("meter"), r.meterModel},
        {QStringLiteral("weighting"), r.weighting},
        {QStringLiteral("leq_name"), r.leqName},
        {QStringLiteral("start"), r.startTime},
        {QStringLiteral("end"), r.endTime},
        {QStringLiteral("interval_s"), loaded.series.intervalSeconds},
        {QStringLiteral("threshold_db"), r.thresholdDb},
        {QStringLiteral("rows_without_level"), double(loaded.series.rowsWithoutLevel)},
        {QStringLiteral("whole"), whole},
        {QStringLiteral("span"), span}};
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
    stream << '\n';
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
    ReportSeriesLoad load = loadReportSeries(options.file, options.set,
                                             MeterClock::system().currentDateTime(), locale);
    if (!load.series)
        return failed(load.status, load.error);

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
