#pragma once

// An AutoLoadDevice for tests: notes every operation with the time on the
// fake clock ("live:c@0", "logger:erase@5400", ...), and plays a scripted
// meter: a download result with the memory image it delivers, the data set
// count it reports after an erase, and its REC state: the recording key
// toggles it, "boot" clears it, and the live frames show it (or, as
// scripted, another state, or none at all).

#include "data/LoggerMemory.h"
#include "logger/AutoLoadDevice.h"
#include "meter/MeterClock.h"

#include <QList>
#include <QStringList>

#include <optional>

class ScriptedAutoLoadDevice : public AutoLoadDevice
{
public:
    explicit ScriptedAutoLoadDevice(MeterClock& clock) : clock_(clock), start_(clock.now()) {}

    // The script.
    bool recording = true;
    bool known = true; // a live frame has shown `recording`
    // What the live frames show at each awaitFreshFrames() in turn: a REC
    // state, or nothing (no frame came). Once used up, the frames show
    // `recording`.
    QList<std::optional<bool>> frames;
    bool lent = false;
    LoadResult downloadResult = LoadResult::Ok;
    QByteArray image;        // what the download delivers
    TransferReport transfer; // what it reports
    std::optional<int> setCountAfterErase = 0;
    int downloadMs = 2400; // time the download takes

    QStringList operations;

    [[nodiscard]] bool meterRecording() const override { return recording; }
    [[nodiscard]] bool recordingKnown() const override { return known; }
    bool awaitFreshFrames(int limitMs) override
    {
        note(QStringLiteral("frames"));
        if (frames.isEmpty()) {
            known = true;
            return true;
        }
        const std::optional<bool> shown = frames.takeFirst();
        if (!shown) {
            clock_.Delay(limitMs);
            return false;
        }
        known = true;
        recording = *shown;
        return true;
    }
    [[nodiscard]] bool deviceLent() const override { return lent; }
    void writeLive(const QByteArray& frame) override
    {
        note(QStringLiteral("live:") + QChar(frame.at(1)));
        if (frame.at(1) == 'E')
            recording = !recording;
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
        const QString name = QString::fromLatin1(frame.mid(1, 6)).remove(QChar(0));
        note(QStringLiteral("logger:") + name);
        if (name == QStringLiteral("E"))
            recording = !recording;
        else if (name == QStringLiteral("boot"))
            recording = false;
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
