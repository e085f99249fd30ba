#pragma once

// `audimark-cli monitor`: unattended noise monitoring. The meter is found
// as `live` finds it; its readings go through the monitoring core
// (NoiseMonitor): one line per interval and per exceedance event, each
// stored first in the station's outbox (the archive's table
// monitor_messages, or with --no-archive the station's queue file in the
// data directory) and printed once stored; with --mqtt published from there
// (StationPublisher), so that a broker that is away gets them afterwards, in
// order. Runs until SIGINT or SIGTERM,
// which close the open interval (and event), store and print it. A meter
// that stops answering or whose device goes away leaves a gap that the
// intervals show as reduced coverage; monitoring goes on when it is back.

#include "acoustics/ExceedanceEvents.h"
#include "monitor/NoiseMonitor.h"
#include "tools/cli/CliArchive.h"
#include "tools/cli/CommandLine.h"

#include <QLocale>
#include <QString>
#include <QStringList>

#include <optional>

struct MonitorOptions
{
    QStringList ports; // empty: every port the system lists
    qint64 intervalMs = 60'000;
    std::optional<EventCriteria> events; // with --threshold
    QString station;
    ArchiveChoice archive;
    bool json = false;
    bool verbose = false; // also a line per reading
    // Publishing (StationPublisher): the broker, its password and CA files,
    // and how often a live reading goes out (0: each one).
    QString mqttUrl;
    QString mqttPasswordFile;
    QString mqttCaFile;
    qint64 readingEveryMs = 0;
};

namespace MonitorArguments {
// The options of an invocation of monitor; nullopt with error set when they
// do not read.
[[nodiscard]] std::optional<MonitorOptions> of(const CommandLine::Invocation& invocation,
                                               QString& error);
} // namespace MonitorArguments

// The text lines: local times, numbers as the locale writes them.
namespace MonitorLines {
[[nodiscard]] QString interval(const MonitorInterval& interval, const QLocale& locale);
[[nodiscard]] QString event(const MonitorEvent& event, const QLocale& locale);
} // namespace MonitorLines

// Returns the process exit status: 0 ended by SIGINT or SIGTERM with every
// interval and event stored; 1 no port, no meter, an outbox that cannot be
// opened, or messages that could not be stored.
[[nodiscard]] int runMonitorCommand(const MonitorOptions& options);
