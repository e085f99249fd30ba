#include "tools/cli/MonitorCommand.h"

#include "acoustics/FigureNames.h"
#include "data/DataDirectory.h"
#include "meter/MeterLink.h"
#include "monitor/MonitorMessages.h"
#include "monitor/NoiseMonitor.h"
#include "monitor/SqlMonitorOutbox.h"
#include "mqtt/MqttSettings.h"
#include "mqtt/StationPublisher.h"
#include "tools/cli/AutoLoadCommand.h"
#include "tools/cli/InterruptWatcher.h"
#include "tools/cli/PortSearchReport.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonDocument>
#include <QLocale>
#include <QRegularExpression>
#include <QTextStream>
#include <QTimer>

#include <chrono>
#include <cmath>
#include <deque>
#include <utility>

namespace MonitorArguments {

namespace {

std::optional<double> numberOf(const QString& text)
{
    bool ok = false;
    const double value = QLocale::c().toDouble(text.trimmed(), &ok);
    return ok && std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

// "10s", "2m", "0.5h" or plain seconds.
std::optional<double> secondsOf(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^\\s*([0-9.]+)\\s*([smh]?)\\s*$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const std::optional<double> number = numberOf(match.captured(1));
    if (!number)
        return std::nullopt;
    const QString unit = match.captured(2);
    return *number * (unit == QLatin1String("h")   ? 3600.0
                      : unit == QLatin1String("m") ? 60.0
                                                   : 1.0);
}

} // namespace

std::optional<MonitorOptions> of(const CommandLine::Invocation& invocation, QString& error)
{
    const auto isSet = [&](const char* name) { return invocation.isSet(QLatin1String(name)); };
    const auto value = [&](const char* name) { return invocation.value(QLatin1String(name)); };
    if (!invocation.arguments.isEmpty()) {
        error = QStringLiteral("unexpected argument '%1'").arg(invocation.arguments.first());
        return std::nullopt;
    }
    MonitorOptions options;
    options.ports = invocation.values(QStringLiteral("port"));
    if (isSet("interval")) {
        const std::optional<qint64> interval = NoiseMonitor::intervalOf(value("interval"));
        if (!interval) {
            error = QStringLiteral("--interval must be 10s, 1m, 5m, 15m or 1h");
            return std::nullopt;
        }
        options.intervalMs = *interval;
    }
    if (isSet("threshold")) {
        EventCriteria criteria;
        const std::optional<double> threshold = numberOf(value("threshold"));
        if (!threshold || *threshold < 0.0 || *threshold > 200.0) {
            error = QStringLiteral("--threshold needs a level in dB from 0 to 200");
            return std::nullopt;
        }
        criteria.thresholdDb = *threshold;
        if (isSet("min-duration")) {
            const std::optional<double> seconds = secondsOf(value("min-duration"));
            if (!seconds || *seconds <= 0.0 || *seconds > 86400.0) {
                error = QStringLiteral("--min-duration needs a time above 0 up to a day, like "
                                       "10s or 2m");
                return std::nullopt;
            }
            criteria.minDurationSeconds = *seconds;
        }
        if (isSet("hysteresis")) {
            const std::optional<double> hysteresis = numberOf(value("hysteresis"));
            if (!hysteresis || *hysteresis < 0.0 || *hysteresis > 100.0) {
                error = QStringLiteral("--hysteresis needs a number of dB from 0 to 100");
                return std::nullopt;
            }
            criteria.hysteresisDb = *hysteresis;
        }
        options.events = criteria;
    } else if (isSet("min-duration") || isSet("hysteresis")) {
        error = QStringLiteral("--min-duration and --hysteresis go with --threshold");
        return std::nullopt;
    }
    options.station = isSet("station") ? value("station") : MonitorMessages::defaultStation();
    if (!MonitorMessages::isStationName(options.station)) {
        error = QStringLiteral("--station needs 1 to 64 letters, digits, '.', '_' or '-'");
        return std::nullopt;
    }
    options.archive.off = isSet("no-archive");
    options.archive.location = value("archive");
    if (options.archive.off && isSet("archive")) {
        error = QStringLiteral("--archive and --no-archive exclude each other");
        return std::nullopt;
    }
    if (isSet("archive") && options.archive.location.trimmed().isEmpty()) {
        error = QStringLiteral("--archive needs an archive file or URL");
        return std::nullopt;
    }
    const QString format = invocation.value(QStringLiteral("format"), QStringLiteral("text"));
    if (format != QLatin1String("text") && format != QLatin1String("json")) {
        error = QStringLiteral("--format must be text or json");
        return std::nullopt;
    }
    options.json = format == QLatin1String("json");
    options.verbose = isSet("verbose");

    options.mqttUrl = value("mqtt");
    options.mqttPasswordFile = value("mqtt-password-file");
    options.mqttCaFile = value("mqtt-ca-file");
    if (isSet("mqtt")) {
        QString problem;
        if (!parseMqttUrl(options.mqttUrl, problem)) {
            error = QStringLiteral("--mqtt: ") + problem;
            return std::nullopt;
        }
    }
    if (!isSet("mqtt") &&
        (isSet("mqtt-password-file") || isSet("mqtt-ca-file") || isSet("reading-every"))) {
        error = QStringLiteral("--mqtt-password-file, --mqtt-ca-file and --reading-every go "
                               "with --mqtt");
        return std::nullopt;
    }
    if (isSet("reading-every")) {
        const std::optional<double> seconds = secondsOf(value("reading-every"));
        if (!seconds || *seconds < 0.0 || *seconds > 3600.0) {
            error = QStringLiteral("--reading-every needs a time from 0 to 1h, like 1s");
            return std::nullopt;
        }
        options.readingEveryMs = std::llround(*seconds * 1000.0);
    }
    return options;
}

} // namespace MonitorArguments

namespace {

QString localText(qint64 utcMs)
{
    return QDateTime::fromMSecsSinceEpoch(utcMs, Qt::LocalTime)
        .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

TimeWeighting timeWeightingOf(TimeWeightingSeen seen)
{
    if (seen == TimeWeightingSeen::Fast)
        return TimeWeighting::Fast;
    if (seen == TimeWeightingSeen::Slow)
        return TimeWeighting::Slow;
    return TimeWeighting::Unknown;
}

} // namespace

namespace MonitorLines {

QString interval(const MonitorInterval& i, const QLocale& locale)
{
    const auto dB = [&](double value) { return locale.toString(value, 'f', 1); };
    QString line = localText(i.startMs) + QStringLiteral("  ") +
                   locale.toString(double(i.endMs - i.startMs) / 1000.0, 'g', 6) +
                   QStringLiteral(" s");
    if (i.hasLevels()) {
        const TimeWeighting tw = timeWeightingOf(i.timeWeighting);
        const auto name = [&](const QString& suffix) {
            return FigureNames::levelName(i.weighting, tw, suffix);
        };
        line += QStringLiteral("  %1 %2 dB")
                    .arg(FigureNames::equivalentLevelName(i.weighting), dB(i.leq));
        const std::pair<const char*, double> levels[] = {
            {"max", i.lmax}, {"min", i.lmin}, {"10", i.l10}, {"50", i.l50}, {"90", i.l90}};
        for (const auto& [suffix, level] : levels)
            line += QStringLiteral("  %1 %2").arg(name(QLatin1String(suffix)), dB(level));
        line += QStringLiteral("  %1 readings").arg(i.readings);
    } else {
        line += QStringLiteral("  no readings");
    }
    line += QStringLiteral("  coverage %1 %").arg(locale.toString(i.coverage * 100.0, 'f', 1));
    if (i.overRange > 0)
        line += QStringLiteral("  OVER %1").arg(i.overRange);
    if (i.underRange > 0)
        line += QStringLiteral("  UNDER %1").arg(i.underRange);
    return line;
}

QString event(const MonitorEvent& e, const QLocale& locale)
{
    const auto dB = [&](double value) { return locale.toString(value, 'f', 1); };
    return QStringLiteral("event %1 - %2  %3 s  %4 %5 dB  %6 %7 dB  SEL %8 dB")
        .arg(localText(e.startMs), localText(e.endMs).mid(11),
             locale.toString(e.durationSeconds, 'f', 1),
             FigureNames::levelName(e.weighting, TimeWeighting::Unknown, QStringLiteral("max")),
             dB(e.lmax), FigureNames::equivalentLevelName(e.weighting), dB(e.leq), dB(e.sel));
}

} // namespace MonitorLines

namespace {

// A monotonic time on the wall clock's scale: the wall clock once at the
// start, then the steady clock, so that a clock set back or forward while
// monitoring neither reorders readings nor makes up a gap.
class MonitorTime
{
public:
    explicit MonitorTime(MeterClock& clock)
        : clock_(clock), startMs_(clock.currentDateTime().toMSecsSinceEpoch()), start_(clock.now())
    {
    }
    [[nodiscard]] qint64 nowMs() const
    {
        return startMs_ +
               std::chrono::duration_cast<std::chrono::milliseconds>(clock_.now() - start_).count();
    }

private:
    MeterClock& clock_;
    qint64 startMs_;
    MeterClock::TimePoint start_;
};

// Intervals and events: stored, then printed. What cannot be stored waits
// here, in order, and is tried again with the next message and every tick.
class MonitorOutput : public LiveReadingView
{
public:
    MonitorOutput(const MonitorOptions& options, SqlMonitorOutbox& outbox, NoiseMonitor& monitor,
                  const MonitorTime& time, QTextStream& out, QTextStream& err)
        : options_(options), outbox_(outbox), monitor_(monitor), time_(time), out_(out), err_(err)
    {
        monitor_.setIntervalHandler([this](const MonitorInterval& interval) {
            pending_.push_back({MonitorMessages::IntervalTopic,
                                MonitorMessages::interval(interval, options_.station),
                                MonitorLines::interval(interval, locale_)});
            storePending();
        });
        monitor_.setEventHandler([this](const MonitorEvent& event) {
            pending_.push_back({MonitorMessages::EventTopic,
                                MonitorMessages::event(event, *options_.events, options_.station),
                                MonitorLines::event(event, locale_)});
            storePending();
        });
    }

    // Told of each message stored, and of each reading.
    void setPublisher(StationPublisher* publisher) { publisher_ = publisher; }

    void renderReading(const MeterReading& reading) override
    {
        const qint64 now = time_.nowMs();
        if (publisher_)
            publisher_->publishReading(MonitorMessages::reading(reading, options_.station, now));
        if (options_.verbose) {
            if (options_.json)
                printJson(QStringLiteral("reading"),
                          {{QStringLiteral("time"), MonitorMessages::isoTime(now)},
                           {QStringLiteral("level_db"), std::round(reading.level * 10.0) / 10.0}});
            else
                out_ << "reading " << localText(now) << "  "
                     << locale_.toString(reading.level, 'f', 1) << " dB" << Qt::endl;
        }
        monitor_.addReading(reading, now);
    }

    // True when nothing waits.
    bool storePending()
    {
        while (!pending_.empty()) {
            Pending& next = pending_.front();
            const qint64 id = outbox_.append(next.subtopic, next.message);
            if (id == 0) {
                if (!std::exchange(storeFailing_, true))
                    err_ << "audimark-cli: warning: " << CliArchive::oneLine(outbox_.lastError())
                         << " Kept in memory and stored when it answers." << Qt::endl;
                return false;
            }
            if (std::exchange(storeFailing_, false))
                err_ << "audimark-cli: " << outbox_.location().displayName() << " stores again"
                     << Qt::endl;
            next.message.insert(QStringLiteral("id"), double(id));
            print(next);
            pending_.pop_front();
            if (publisher_)
                publisher_->publishPending();
        }
        return true;
    }

    // What could not be stored at the end: printed without an id.
    void printUnstored()
    {
        for (Pending& left : pending_)
            print(left);
    }

private:
    struct Pending
    {
        QString subtopic;
        QJsonObject message;
        QString line;
    };

    void print(const Pending& pending)
    {
        if (options_.json)
            printJson(pending.subtopic, pending.message);
        else
            out_ << pending.line << Qt::endl;
    }

    void printJson(const QString& type, QJsonObject object)
    {
        object.insert(QStringLiteral("type"), type);
        out_ << QJsonDocument(object).toJson(QJsonDocument::Compact) << Qt::endl;
    }

    const MonitorOptions& options_;
    SqlMonitorOutbox& outbox_;
    NoiseMonitor& monitor_;
    const MonitorTime& time_;
    QTextStream& out_;
    QTextStream& err_;
    QLocale locale_;
    std::deque<Pending> pending_;
    bool storeFailing_ = false;
    StationPublisher* publisher_ = nullptr;
};

std::unique_ptr<SqlMonitorOutbox> openOutbox(const MonitorOptions& options, QTextStream& err)
{
    ArchiveLocation location;
    if (options.archive.off) {
        const QString directory = programDataDirectory();
        if (!DataDirectory::ensureExists(directory)) {
            err << "audimark-cli: the data directory " << directory << " cannot be created"
                << Qt::endl;
            return nullptr;
        }
        location = SqlMonitorOutbox::queueFile(directory, options.station);
    } else {
        QString error;
        if (!ArchiveLocation::parse(CliArchive::locationText(options.archive), location, error)) {
            err << "audimark-cli: " << error << Qt::endl;
            return nullptr;
        }
    }
    SqlMonitorOutbox::OpenResult opened = SqlMonitorOutbox::open(location, options.station);
    if (!opened.outbox)
        err << "audimark-cli: " << CliArchive::oneLine(opened.error) << Qt::endl;
    return std::move(opened.outbox);
}

} // namespace

int runMonitorCommand(const MonitorOptions& options)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    // From here on SIGINT and SIGTERM end monitoring cleanly.
    InterruptWatcher interrupt;

    const std::unique_ptr<SqlMonitorOutbox> outbox = openOutbox(options, err);
    if (!outbox)
        return 1;

    QStringList ports = options.ports;
    if (ports.isEmpty())
        TComPort::EnumComPorts(ports);
    if (ports.isEmpty()) {
        err << "audimark-cli: no serial ports found" << Qt::endl;
        return 1;
    }
    MeterLink link;
    link.setPortList(ports);
    if (!link.searchPorts()) {
        PortSearchReport::write(err, ports);
        return 1;
    }
    err << "Model " << link.MeterModel() << " on " << link.portName() << "; station "
        << options.station << ", messages kept in " << outbox->location().displayName() << Qt::endl;

    const MonitorTime time(link.clock());
    MonitorSettings settings;
    settings.intervalMs = options.intervalMs;
    settings.events = options.events;
    NoiseMonitor monitor(settings);
    MonitorOutput output(options, *outbox, monitor, time, out, err);
    // Publishing: from the outbox, once each message is stored.
    std::unique_ptr<StationPublisher> publisher;
    if (!options.mqttUrl.isEmpty()) {
        QString error;
        std::optional<MqttSettings> mqtt = parseMqttUrl(options.mqttUrl, error);
        mqtt->passwordFile = options.mqttPasswordFile;
        mqtt->caFile = options.mqttCaFile;
        mqtt->station = options.station;
        publisher = std::make_unique<StationPublisher>(*mqtt, *outbox);
        publisher->setClock(link.clock());
        publisher->setReadingEvery(options.readingEveryMs);
        QObject::connect(
            publisher.get(), &StationPublisher::errorOccurred, publisher.get(),
            [&err](const QString& text) { err << "audimark-cli: warning: " << text << Qt::endl; });
        if (!publisher->start()) {
            err << "audimark-cli: " << publisher->lastError() << Qt::endl;
            return 1;
        }
        err << "Publishing to " << mqtt->displayName() << Qt::endl;
        output.setPublisher(publisher.get());
        publisher->publishPending();
    }
    monitor.start(time.nowMs());
    link.setPanel(&output);

    bool lossReported = false;
    QObject::connect(&link, &MeterLink::linkLost, &link, [&] {
        if (std::exchange(lossReported, true))
            return;
        err << "audimark-cli: meter stopped answering on " << link.portName()
            << "; monitoring goes on when it is back" << Qt::endl;
    });
    QObject::connect(&link, &MeterLink::statusChanged, &link,
                     [&](const QString&, const QString& status) {
                         if (status != LinkStatus::On || !std::exchange(lossReported, false))
                             return;
                         err << "audimark-cli: meter back on " << link.portName() << Qt::endl;
                     });

    // Intervals close also while no reading comes; what waits is stored.
    QTimer tick;
    tick.setInterval(250);
    QObject::connect(&tick, &QTimer::timeout, &tick, [&] {
        monitor.advanceTo(time.nowMs());
        output.storePending();
    });
    QObject::connect(&interrupt, &InterruptWatcher::interrupted, &link, [&] {
        link.setPanel(nullptr);
        link.stopLiveLink();
        QCoreApplication::quit();
    });

    tick.start();
    link.startLiveLink();
    QCoreApplication::exec();
    tick.stop();
    link.setPanel(nullptr);
    link.stopLiveLink();

    monitor.finish(time.nowMs());
    const bool stored = output.storePending();
    // What the outbox holds unsent goes out before the station says offline.
    if (publisher) {
        output.setPublisher(nullptr);
        publisher->stop();
    }
    if (!stored) {
        output.printUnstored();
        err << "audimark-cli: " << CliArchive::oneLine(outbox->lastError())
            << " The messages printed without an id are not stored." << Qt::endl;
        return 1;
    }
    return 0;
}
