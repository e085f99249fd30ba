#pragma once

// Noise monitoring on the program's live link, as audimark-cli monitor does
// it: every reading the link decodes goes, with the time it arrived, to a
// NoiseMonitor; the link's one-second tick closes the intervals that ended.
// Each interval and event is stored in the station's outbox first: the
// program's archive, or the station's queue file in the data directory
// when there is none. What cannot be stored yet waits in order and is tried
// again on every tick.
//
// QtCore only; main thread.

#include "meter/LiveReadingConsumers.h"
#include "meter/MeterClock.h"
#include "monitor/NoiseMonitor.h"

#include <QJsonObject>
#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QString>

#include <deque>
#include <memory>
#include <optional>
#include <variant>

class ArchiveSession;
class MeterLink;
class QSettings;
class SqlMonitorOutbox;
class StationPublisher;

struct MonitorStationSettings
{
    qint64 intervalMs = 60'000;
    // Events are looked for only when set.
    std::optional<EventCriteria> events;
    QString station;
    // Publishing: none when the URL is empty.
    QString mqttUrl;
    QString mqttPasswordFile;
    QString mqttCaFile;

    // Kept under "Monitor/" in the program's settings.
    [[nodiscard]] static MonitorStationSettings load(QSettings& settings);
    void save(QSettings& settings) const;
};

class MonitorStation : public QObject, public LiveReadingView
{
    Q_OBJECT

public:
    struct Entry
    {
        std::variant<MonitorInterval, MonitorEvent> figures;
        qint64 id = 0; // in the outbox; 0 while not stored
        [[nodiscard]] bool isEvent() const { return std::holds_alternative<MonitorEvent>(figures); }
        [[nodiscard]] qint64 startMs() const;
        [[nodiscard]] qint64 endMs() const;
    };

    // archive may be null (no archive); both must outlive a run or be
    // QObjects that the station stops using when they go.
    MonitorStation(MeterLink& link, ArchiveSession* archive, QString dataDirectory,
                   QObject* parent = nullptr);
    ~MonitorStation() override;
    MonitorStation(const MonitorStation&) = delete;
    MonitorStation& operator=(const MonitorStation&) = delete;

    // Opens the outbox and starts taking readings: false with error() set
    // when the outbox cannot be opened (nothing runs then).
    bool start(const MonitorStationSettings& settings);
    // The open interval (and event) closes and is stored; the outbox closes.
    void stop();
    [[nodiscard]] bool isRunning() const { return monitor_ != nullptr; }

    [[nodiscard]] const QList<Entry>& entries() const { return entries_; }
    [[nodiscard]] qsizetype readings() const { return readings_; }
    // Where messages are kept ("" while stopped), and why they wait ("" when
    // everything is stored).
    [[nodiscard]] QString outboxName() const { return outboxName_; }
    [[nodiscard]] QString storeError() const { return storeError_; }
    [[nodiscard]] QString error() const { return error_; }
    [[nodiscard]] qsizetype waiting() const { return qsizetype(pending_.size()); }
    // The intervals and events the last stop could not store.
    [[nodiscard]] qsizetype unstored() const { return unstored_; }
    [[nodiscard]] const MonitorStationSettings& settings() const { return settings_; }
    // The broker ("" without one), whether it is connected and its last trouble.
    [[nodiscard]] QString brokerName() const { return brokerName_; }
    [[nodiscard]] bool brokerConnected() const { return brokerConnected_; }
    [[nodiscard]] QString brokerError() const { return brokerError_; }

    void renderReading(const MeterReading& reading) override;
    // The tick's work: intervals that ended close, what waits is stored.
    void advance();

signals:
    void entryAdded(int index);
    void entryStored(int index);
    // Running, the outbox or its error changed.
    void statusChanged();

private:
    [[nodiscard]] qint64 nowMs() const;
    void add(Entry entry, const QJsonObject& message);
    bool storePending();
    [[nodiscard]] bool startPublisher();

    QPointer<MeterLink> link_;
    QPointer<ArchiveSession> archive_;
    QString dataDirectory_;
    MonitorStationSettings settings_;
    std::unique_ptr<NoiseMonitor> monitor_;
    std::unique_ptr<SqlMonitorOutbox> outbox_;
    // Declared after the outbox it reads: it goes first.
    std::unique_ptr<StationPublisher> publisher_;
    QString brokerName_;
    bool brokerConnected_ = false;
    QString brokerError_;
    QMetaObject::Connection tick_;
    qint64 startWallMs_ = 0;
    MeterClock::TimePoint startSteady_{};
    mutable qint64 lastNowMs_ = 0;
    QList<Entry> entries_;
    struct Pending
    {
        int index = 0;
        QString subtopic;
        QJsonObject message;
    };
    std::deque<Pending> pending_;
    qsizetype readings_ = 0;
    qsizetype unstored_ = 0;
    QString outboxName_;
    QString storeError_;
    QString error_;
};
