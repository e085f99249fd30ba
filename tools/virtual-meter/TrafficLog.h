#pragma once

// What the meter received, in memory and optionally in a file, one line per
// entry, flushed per line so that a test can read it while the meter runs.
//
// Line format (seconds since the meter started, three decimals, a full stop
// whatever the locale; bytes as upper-case hex pairs separated by blanks):
//   12.345 RX 02 58 00 00 00 00 00 03 X      a command frame and its letter
//                                            ("?" when not printable ASCII)
//   12.400 STRAY 55 AA                        bytes that formed no frame
//
// Contract: thread-safe; entries are kept in arrival order.

#include "tools/virtual-meter/CommandFrameParser.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

#include <mutex>

namespace vmeter {

struct TrafficRecord
{
    double seconds = 0.0;
    ParsedBytes::Kind kind = ParsedBytes::Kind::Frame;
    QByteArray bytes;
};

class TrafficLog
{
public:
    explicit TrafficLog(SteadyTime start) : start_(start) {}

    [[nodiscard]] bool openFile(const QString& path);
    [[nodiscard]] QString errorString() const { return file_.errorString(); }

    void record(const ParsedBytes& item, SteadyTime at);

    [[nodiscard]] QList<TrafficRecord> records() const;
    [[nodiscard]] static QString formatLine(const TrafficRecord& record);

private:
    SteadyTime start_;
    mutable std::mutex mutex_;
    QList<TrafficRecord> records_;
    QFile file_;
};

} // namespace vmeter
