#include "tools/cli/ArchiveCommand.h"

#include "archive/Archive.h"
#include "archive/ArchiveImport.h"
#include "files/formats/ExportText.h"
#include "files/formats/GraphExport.h"
#include "logger/DateTimeValue.h"
#include "meter/MeterClock.h"
#include "tools/cli/IsoTime.h"
#include "tools/cli/LoadFailureNotes.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QMap>
#include <QTextStream>

#include <cmath>

using Action = ArchiveCommandOptions::Action;

namespace {

const QMap<QString, Action>& actions()
{
    static const QMap<QString, Action> map{{QStringLiteral("list"), Action::List},
                                           {QStringLiteral("export"), Action::Export},
                                           {QStringLiteral("delete"), Action::Delete},
                                           {QStringLiteral("import"), Action::Import}};
    return map;
}

// The options each action takes besides --archive.
QStringList optionsOf(Action action)
{
    switch (action) {
    case Action::List:
        return {QStringLiteral("from"), QStringLiteral("to"), QStringLiteral("kind"),
                QStringLiteral("text"), QStringLiteral("format")};
    case Action::Export:
        return {QStringLiteral("format"), QStringLiteral("out")};
    case Action::Delete:
        return {QStringLiteral("yes")};
    case Action::Import:
        break;
    }
    return {};
}

// A date alone starts its day; as the end of a span (end) it takes the whole
// day in.
std::optional<QDateTime> dateOption(const QString& text, bool end)
{
    const QString trimmed = text.trimmed();
    const QDate date = QDate::fromString(trimmed, Qt::ISODate);
    if (date.isValid() && trimmed.size() == 10)
        return QDateTime(end ? date.addDays(1) : date, QTime(0, 0));
    QDateTime dateTime = QDateTime::fromString(trimmed, Qt::ISODateWithMs);
    if (!dateTime.isValid())
        dateTime = QDateTime::fromString(trimmed, Qt::ISODate);
    if (!dateTime.isValid() || !trimmed.contains(QLatin1Char('T')))
        return std::nullopt;
    return dateTime;
}

std::optional<qint64> idArgument(const QString& text)
{
    bool ok = false;
    const qint64 id = text.toLongLong(&ok);
    return ok && id > 0 ? std::optional<qint64>(id) : std::nullopt;
}

int fail(int status, const QString& message)
{
    QTextStream(stderr) << "audimark-cli: " << message << '\n';
    return status;
}

double hundredths(double value)
{
    return std::round(value * 100.0) / 100.0;
}

QString localText(const QDateTime& when, const QLocale& locale)
{
    return locale.toString(when.date(), DateTimeValue::fourDigitYearShortDateFormat(locale)) +
           QLatin1Char(' ') + when.time().toString(QStringLiteral("HH:mm:ss"));
}

QJsonObject jsonOf(const Measurement& m)
{
    return {{QStringLiteral("id"), double(m.id)},
            {QStringLiteral("kind"), measurementKindName(m.kind)},
            {QStringLiteral("start"), IsoTime::withOffset(m.start)},
            {QStringLiteral("end"), IsoTime::withOffset(m.end)},
            {QStringLiteral("interval_s"), double(m.intervalMs) / 1000.0},
            {QStringLiteral("samples"), double(m.sampleCount)},
            {QStringLiteral("weighting"), m.weighting},
            {QStringLiteral("meter"), m.meterModel},
            {QStringLiteral("site"), m.site},
            {QStringLiteral("notes"), m.notes},
            {QStringLiteral("leq_db"),
             m.leqDb ? QJsonValue(hundredths(*m.leqDb)) : QJsonValue(QJsonValue::Null)}};
}

int list(Archive& archive, const ArchiveCommandOptions& options)
{
    const std::optional<std::vector<Measurement>> found = archive.listMeasurements(options.filter);
    if (!found)
        return fail(1, CliArchive::oneLine(archive.lastError()));
    QTextStream out(stdout);
    if (options.json) {
        QJsonArray array;
        for (const Measurement& m : *found)
            array.append(jsonOf(m));
        out << QJsonDocument(array).toJson(QJsonDocument::Indented);
        return 0;
    }
    const QLocale locale;
    out << "id\tkind\tstart\tend\tinterval\tsamples\tweighting\tleq\tmeter\tport\tstate\tsite"
           "\tnotes\n";
    for (const Measurement& m : *found) {
        out << m.id << '\t' << measurementKindName(m.kind) << '\t' << localText(m.start, locale)
            << '\t' << localText(m.end, locale) << '\t'
            << locale.toString(double(m.intervalMs) / 1000.0) << '\t' << m.sampleCount << '\t'
            << m.weighting << '\t'
            << (m.leqDb ? locale.toString(*m.leqDb, 'f', 1) : QStringLiteral("-")) << '\t'
            << m.meterModel << '\t' << m.meterPort << '\t'
            << (m.unfinished ? "unfinished" : "complete") << '\t' << m.site.simplified() << '\t'
            << m.notes.simplified() << '\n';
    }
    return 0;
}

int exportPoints(Archive& archive, const ArchiveCommandOptions& options)
{
    const QLocale locale;
    if (options.csv && !ExportText::csvOffered(locale))
        return fail(2, QStringLiteral("CSV is not offered where the decimal separator is a "
                                      "comma; use --format txt"));
    const std::optional<ArchiveSeries> series = archive.readSamples(options.id);
    if (!series)
        return fail(1, CliArchive::oneLine(archive.lastError()));
    const ExportRange range = ExportRange::all(int(series->y.size()));
    const QChar separator = options.csv ? ExportText::Comma : ExportText::Tab;
    if (!options.outFile.isEmpty()) {
        const FileWriteOutcome outcome =
            GraphExport::write(options.outFile, series->x, series->y, range, separator, locale);
        if (!outcome.written())
            return fail(1,
                        QStringLiteral("cannot write %1: %2").arg(options.outFile, outcome.error));
        return 0;
    }
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly))
        return fail(1, QStringLiteral("cannot write to standard output"));
    const FileWriteOutcome outcome =
        GraphExport::writeLines(out, series->x, series->y, range, separator, locale);
    if (!outcome.written() || !out.flush())
        return fail(1, QStringLiteral("cannot write to standard output: ") + out.errorString());
    return 0;
}

int remove(Archive& archive, const ArchiveCommandOptions& options)
{
    if (!archive.deleteMeasurement(options.id))
        return fail(1, CliArchive::oneLine(archive.lastError()));
    QTextStream(stderr) << "Measurement " << options.id << " deleted from the archive "
                        << archive.location().displayName() << '\n';
    return 0;
}

// Each data set of a collection file, the series of a text or CSV file, the
// series of a graph file.
int importFile(Archive& archive, const QString& file, QTextStream& err)
{
    const ArchiveImport::Outcome outcome =
        ArchiveImport::keep(archive, file, MeterClock::system().currentDateTime());
    if (outcome.decodeResult)
        return fail(1, file + QStringLiteral(": ") +
                           LoadFailureNotes::loadFailure(*outcome.decodeResult,
                                                         LoadFailureNotes::MemorySource::File));
    if (!outcome.stored)
        return fail(1, CliArchive::oneLine(outcome.error));
    const auto count = outcome.ids.size();
    if (outcome.kind == ArchiveImport::FileKind::Collection)
        err << file << ": " << count << " data sets (" << outcome.added << " new)\n";
    else if (count == 1)
        err << file << ": measurement " << outcome.ids.front()
            << (outcome.added ? "" : " (already in the archive)") << '\n';
    else
        err << file << ": " << count << " series (" << outcome.added << " new)\n";
    return 0;
}

int import(Archive& archive, const ArchiveCommandOptions& options)
{
    QTextStream err(stderr);
    int status = 0;
    for (const QString& file : options.files)
        status = std::max(status, importFile(archive, file, err));
    return status;
}

} // namespace

std::optional<ArchiveCommandOptions>
archiveCommandOptions(const CommandLine::Invocation& invocation, QString& error)
{
    QStringList arguments = invocation.arguments;
    if (arguments.isEmpty() || !actions().contains(arguments.first())) {
        error = arguments.isEmpty()
                    ? QStringLiteral("archive needs list, export, delete or import")
                    : QStringLiteral("unknown archive command '%1'").arg(arguments.first());
        return std::nullopt;
    }
    const QString name = arguments.takeFirst();
    ArchiveCommandOptions options;
    options.action = actions().value(name);
    options.archive.location = invocation.value(QStringLiteral("archive"));
    const QStringList allowed = optionsOf(options.action) + QStringList{QStringLiteral("archive")};
    for (auto it = invocation.values_.cbegin(); it != invocation.values_.cend(); ++it) {
        if (!allowed.contains(it.key())) {
            error = QStringLiteral("archive %1 takes no option '--%2'").arg(name, it.key());
            return std::nullopt;
        }
    }
    const QString format = invocation.value(QStringLiteral("format"));
    switch (options.action) {
    case Action::List: {
        if (!arguments.isEmpty()) {
            error = QStringLiteral("unexpected argument '%1'").arg(arguments.first());
            return std::nullopt;
        }
        for (const bool end : {false, true}) {
            const QString option = end ? QStringLiteral("to") : QStringLiteral("from");
            if (!invocation.isSet(option))
                continue;
            const std::optional<QDateTime> when = dateOption(invocation.value(option), end);
            if (!when) {
                error = QStringLiteral("--%1 needs a date, yyyy-mm-dd, or a date and time, "
                                       "yyyy-mm-ddThh:mm[:ss]")
                            .arg(option);
                return std::nullopt;
            }
            (end ? options.filter.to : options.filter.from) = *when;
        }
        if (invocation.isSet(QStringLiteral("kind"))) {
            options.filter.kind = measurementKindFromName(invocation.value(QStringLiteral("kind")));
            if (!options.filter.kind) {
                error = QStringLiteral("--kind must be realtime, logger, autoload or import");
                return std::nullopt;
            }
        }
        options.filter.text = invocation.value(QStringLiteral("text"));
        if (!format.isEmpty() && format != QLatin1String("text") &&
            format != QLatin1String("json")) {
            error = QStringLiteral("--format must be text or json");
            return std::nullopt;
        }
        options.json = format == QLatin1String("json");
        break;
    }
    case Action::Export:
    case Action::Delete: {
        const std::optional<qint64> id =
            arguments.size() == 1 ? idArgument(arguments.first()) : std::nullopt;
        if (!id) {
            error = QStringLiteral("archive %1 needs one measurement id, as archive list "
                                   "shows it")
                        .arg(name);
            return std::nullopt;
        }
        options.id = *id;
        if (options.action == Action::Delete) {
            if (!invocation.isSet(QStringLiteral("yes"))) {
                error = QStringLiteral("archive delete needs --yes");
                return std::nullopt;
            }
            break;
        }
        if (format != QLatin1String("csv") && format != QLatin1String("txt")) {
            error = QStringLiteral("archive export needs --format csv or txt");
            return std::nullopt;
        }
        options.csv = format == QLatin1String("csv");
        options.outFile = invocation.value(QStringLiteral("out"));
        break;
    }
    case Action::Import:
        if (arguments.isEmpty()) {
            error = QStringLiteral("archive import needs at least one file");
            return std::nullopt;
        }
        options.files = arguments;
        break;
    }
    return options;
}

int runArchiveCommand(const ArchiveCommandOptions& options)
{
    const QString location = CliArchive::locationText(options.archive);
    ArchiveOpenResult opened = Archive::open(location);
    if (!opened.archive)
        return fail(1, CliArchive::oneLine(opened.error));
    Archive& archive = *opened.archive;
    switch (options.action) {
    case Action::List:
        return list(archive, options);
    case Action::Export:
        return exportPoints(archive, options);
    case Action::Delete:
        return remove(archive, options);
    case Action::Import:
        return import(archive, options);
    }
    return 1;
}
