#include "app/MonitorStation.h"

#include "app/ArchiveSession.h"
#include "archive/Archive.h"
#include "data/DataDirectory.h"
#include "meter/MeterLink.h"
#include "monitor/MonitorMessages.h"
#include "monitor/SqlMonitorOutbox.h"
#include "mqtt/MqttSettings.h"
#include "mqtt/StationPublisher.h"
#include "serial/ComErrors.h"

#include <QSettings>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <utility>

namespace {
const QString kInterval = QStringLiteral("Monitor/IntervalMs");
const QString kEvents = QStringLiteral("Monitor/Events");
const QString kThreshold = QStringLiteral("Monitor/Threshold");
const QString kMinDuration = QStringLiteral("Monitor/MinDuration");
const QString kHysteresis = QStringLiteral("Monitor/Hysteresis");
const QString kStation = QStringLiteral("Monitor/Station");
const QString kMqttUrl = QStringLiteral("Monitor/MqttUrl");
const QString kMqttPasswordFile = QStringLiteral("Monitor/MqttPasswordFile");
const QString kMqttCaFile = QStringLiteral("Monitor/MqttCaFile");
} // namespace

MonitorStationSettings MonitorStationSettings::load(QSettings& settings)
{
    MonitorStationSettings loaded;
    const qint64 interval = settings.value(kInterval, loaded.intervalMs).toLongLong();
    if (NoiseMonitor::intervalLengths().contains(interval))
        loaded.intervalMs = interval;
    if (settings.value(kEvents, false).toBool()) {
        EventCriteria criteria;
        criteria.thresholdDb =
            std::clamp(settings.value(kThreshold, criteria.thresholdDb).toDouble(), 0.0, 200.0);
        criteria.minDurationSeconds = std::clamp(
            settings.value(kMinDuration, criteria.minDurationSeconds).toDouble(), 0.1, 86400.0);
        criteria.hysteresisDb =
            std::clamp(settings.value(kHysteresis, criteria.hysteresisDb).toDouble(), 0.0, 100.0);
        loaded.events = criteria;
    }
    const QString station = settings.value(kStation).toString();
    loaded.station =
        MonitorMessages::isStationName(station) ? station : MonitorMessages::defaultStation();
    loaded.mqttUrl = settings.value(kMqttUrl).toString();
    loaded.mqttPasswordFile = settings.value(kMqttPasswordFile).toString();
    loaded.mqttCaFile = settings.value(kMqttCaFile).toString();
    return loaded;
}

void MonitorStationSettings::save(QSettings& settings) const
{
    settings.setValue(kInterval, intervalMs);
    settings.setValue(kEvents, events.has_value());
    if (events) {
        settings.setValue(kThreshold, events->thresholdDb);
        settings.setValue(kMinDuration, events->minDurationSeconds);
        settings.setValue(kHysteresis, events->hysteresisDb);
    }
    settings.setValue(kStation, station);
    settings.setValue(kMqttUrl, mqttUrl);
    settings.setValue(kMqttPasswordFile, mqttPasswordFile);
    settings.setValue(kMqttCaFile, mqttCaFile);
}

qint64 MonitorStation::Entry::startMs() const
{
    return std::visit([](const auto& f) { return f.startMs; }, figures);
}

qint64 MonitorStation::Entry::endMs() const
{
    return std::visit([](const auto& f) { return f.endMs; }, figures);
}

MonitorStation::MonitorStation(MeterLink& link, ArchiveSession* archive, QString dataDirectory,
                               QObject* parent)
    : QObject(parent), link_(&link), archive_(archive), dataDirectory_(std::move(dataDirectory))
{
}

MonitorStation::~MonitorStation()
{
    stop();
}

bool MonitorStation::start(const MonitorStationSettings& settings)
{
    if (isRunning() || !link_)
        return false;
    error_.clear();
    if (!MonitorMessages::isStationName(settings.station)) {
        error_ = QStringLiteral("The station name needs 1 to 64 letters, digits, '.', '_' or '-'.");
        emit statusChanged();
        return false;
    }
    // The archive's own server or file; while a server is out of reach its
    // spool takes only measurements, so the station keeps its queue file.
    ArchiveLocation location;
    Archive* archive = archive_ ? archive_->archive() : nullptr;
    if (archive && !archive_->keptLocally()) {
        location = archive->location();
    } else {
        if (!DataDirectory::ensureExists(dataDirectory_)) {
            error_ = QStringLiteral("The data directory %1 cannot be created.").arg(dataDirectory_);
            emit statusChanged();
            return false;
        }
        location = SqlMonitorOutbox::queueFile(dataDirectory_, settings.station);
    }
    SqlMonitorOutbox::OpenResult opened = SqlMonitorOutbox::open(location, settings.station);
    if (!opened.outbox) {
        error_ = opened.error;
        emit statusChanged();
        return false;
    }
    outbox_ = std::move(opened.outbox);
    outboxName_ = outbox_->location().displayName();
    storeError_.clear();
    settings_ = settings;
    if (!startPublisher()) {
        outbox_.reset();
        emit statusChanged();
        return false;
    }
    entries_.clear();
    readings_ = 0;
    unstored_ = 0;

    MonitorSettings monitorSettings;
    monitorSettings.intervalMs = settings.intervalMs;
    monitorSettings.events = settings.events;
    monitor_ = std::make_unique<NoiseMonitor>(monitorSettings);
    monitor_->setIntervalHandler([this](const MonitorInterval& interval) {
        add({interval, 0}, MonitorMessages::interval(interval, settings_.station));
    });
    monitor_->setEventHandler([this](const MonitorEvent& event) {
        add({event, 0}, MonitorMessages::event(event, *settings_.events, settings_.station));
    });
    // A monotonic time on the wall clock's scale: a clock set back or forward
    // while monitoring neither reorders readings nor makes up a gap.
    startWallMs_ = link_->clock().currentDateTime().toMSecsSinceEpoch();
    startSteady_ = link_->clock().now();
    lastNowMs_ = startWallMs_;
    monitor_->start(nowMs());
    link_->setMonitor(this);
    tick_ = connect(&link_->MainTimer(), &QTimer::timeout, this,
                    [this] { HandlerGuard::run([this] { advance(); }); });
    emit statusChanged();
    return true;
}

void MonitorStation::stop()
{
    if (!isRunning())
        return;
    disconnect(tick_);
    if (link_)
        link_->setMonitor(nullptr);
    monitor_->finish(nowMs());
    // What still could not be stored stays in the table, marked "waiting",
    // and the status says how much was lost.
    storePending();
    unstored_ = qsizetype(pending_.size());
    pending_.clear();
    monitor_.reset();
    if (publisher_) {
        // Sends what it can within a few seconds; the rest waits in the outbox.
        publisher_->stop();
        publisher_.reset();
    }
    brokerConnected_ = false;
    outbox_.reset();
    emit statusChanged();
}

qint64 MonitorStation::nowMs() const
{
    // Without the link (the program ends) the time of the last reading.
    if (link_)
        lastNowMs_ = startWallMs_ + std::chrono::duration_cast<std::chrono::milliseconds>(
                                        link_->clock().now() - startSteady_)
                                        .count();
    return lastNowMs_;
}

void MonitorStation::renderReading(const MeterReading& reading)
{
    if (!monitor_)
        return;
    ++readings_;
    const qint64 now = nowMs();
    monitor_->addReading(reading, now);
    if (publisher_)
        publisher_->publishReading(MonitorMessages::reading(reading, settings_.station, now));
}

void MonitorStation::advance()
{
    if (!monitor_)
        return;
    monitor_->advanceTo(nowMs());
    storePending();
}

void MonitorStation::add(Entry entry, const QJsonObject& message)
{
    entries_.append(std::move(entry));
    const int index = int(entries_.size() - 1);
    pending_.push_back(
        {index,
         entries_.last().isEvent() ? MonitorMessages::EventTopic : MonitorMessages::IntervalTopic,
         message});
    emit entryAdded(index);
    storePending();
}

bool MonitorStation::storePending()
{
    while (!pending_.empty() && outbox_) {
        const Pending& next = pending_.front();
        const qint64 id = outbox_->append(next.subtopic, next.message);
        if (id == 0) {
            if (storeError_ != outbox_->lastError()) {
                storeError_ = outbox_->lastError();
                emit statusChanged();
            }
            return false;
        }
        const int index = next.index;
        pending_.pop_front();
        entries_[index].id = id;
        emit entryStored(index);
        if (publisher_)
            publisher_->publishPending();
        if (!storeError_.isEmpty()) {
            storeError_.clear();
            emit statusChanged();
        }
    }
    return pending_.empty();
}

bool MonitorStation::startPublisher()
{
    brokerName_.clear();
    brokerError_.clear();
    brokerConnected_ = false;
    if (settings_.mqttUrl.trimmed().isEmpty())
        return true;
    QString problem;
    std::optional<MqttSettings> mqtt = parseMqttUrl(settings_.mqttUrl.trimmed(), problem);
    if (!mqtt) {
        error_ = QStringLiteral("Broker: %1").arg(problem);
        return false;
    }
    mqtt->passwordFile = settings_.mqttPasswordFile.trimmed();
    mqtt->caFile = settings_.mqttCaFile.trimmed();
    mqtt->station = settings_.station;
    publisher_ = std::make_unique<StationPublisher>(*mqtt, *outbox_);
    if (link_)
        publisher_->setClock(link_->clock());
    publisher_->setReadingEvery(1000);
    connect(publisher_.get(), &StationPublisher::connectionChanged, this, [this](bool connected) {
        brokerConnected_ = connected;
        if (connected)
            brokerError_.clear();
        emit statusChanged();
    });
    connect(publisher_.get(), &StationPublisher::errorOccurred, this, [this](const QString& text) {
        brokerError_ = text;
        emit statusChanged();
    });
    if (!publisher_->start()) {
        error_ = QStringLiteral("Broker: %1").arg(publisher_->lastError());
        publisher_.reset();
        return false;
    }
    brokerName_ = mqtt->displayName();
    publisher_->publishPending();
    return true;
}
