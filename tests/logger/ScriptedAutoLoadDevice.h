#pragma once

// An AutoLoadDevice for tests: notes every operation with the time on the
// fake clock ("live:c@0", "logger:erase@5400", ...), and plays a scripted
// meter: a download result with the memory image it delivers, and the data
// set count it reports after an erase.

#include "data/LoggerMemory.h"
#include "logger/AutoLoadDevice.h"
#include "meter/MeterClock.h"

#include <QStringList>

class ScriptedAutoLoadDevice : public AutoLoadDevice
{
public:
    explicit ScriptedAutoLoadDevice(MeterClock& clock) : clock_(clock), start_(clock.now()) {}

    // The script.
    bool recording = true;
    bool lent = false;
    LoadResult downloadResult = LoadResult::Ok;
    QByteArray image;        // what the download delivers
    TransferReport transfer; // what it reports
    std::optional<int> setCountAfterErase = 0;
    int downloadMs = 2400; // time the download takes

    QStringList operations;

    [[nodiscard]] bool meterRecording() const override { return recording; }
    [[nodiscard]] bool deviceLent() const override { return lent; }
    void writeLive(const QByteArray& frame) override
    {
        note(QStringLiteral("live:") + QChar(frame.at(1)));
    }
    void releaseTick() override { note(QStringLiteral("releaseTick")); }
    LoadResult downloadMemory(LoggerMemory& memory) override
    {
        note(QStringLiteral("download"));
        memory.memoryImage().append(image);
        memory.setMemoryEnd(memory.memoryEndFromImage());
        clock_.Delay(downloadMs);
        return downloadResult;
    }
    [[nodiscard]] TransferReport lastTransfer() const override { return transfer; }
    void writeLogger(const QByteArray& frame) override
    {
        note(QStringLiteral("logger:") + QString::fromLatin1(frame.mid(1, 6)).remove(QChar(0)));
    }
    std::optional<int> readStoredSetCount() override
    {
        note(QStringLiteral("count"));
        return setCountAfterErase;
    }
    void closeLoggerPort() override { note(QStringLiteral("closeLogger")); }
    void openLivePort() override { note(QStringLiteral("openLive")); }
    void startMainTimer() override { note(QStringLiteral("startTimer")); }

    // The operations without their times.
    [[nodiscard]] QStringList names() const
    {
        QStringList out;
        for (const QString& op : operations)
            out << op.section(QLatin1Char('@'), 0, 0);
        return out;
    }

private:
    void note(const QString& what)
    {
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(clock_.now() - start_);
        operations << QStringLiteral("%1@%2").arg(what).arg(ms.count());
    }

    MeterClock& clock_;
    MeterClock::TimePoint start_;
};
