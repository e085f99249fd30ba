#include "logger/MemoryTest.h"

#include "data/GraphTexts.h"
#include "logger/LoggerSetupPort.h"
#include "logger/LoggerSetupUi.h"
#include "logger/SetupFrames.h"
#include "logger/SetupTexts.h"
#include "meter/MeterClock.h"
#include "meter/MeterLink.h"

namespace {
constexpr quint32 FirstAddress = 0x008F00;
constexpr quint32 LastAddress = 0x00FF00;
constexpr quint32 AddressStep = 0x001000;
constexpr std::uint8_t TestByte = 0x96;
constexpr int ReplySize = 9;
constexpr int ReplyLimitMs = 1500;
constexpr double SecondsPerDay = 86400.0;

// Sends one frame and takes its 9-byte reply; empty when it is not exactly 9.
QByteArray exchange(LoggerSetupPort& port, const QByteArray& frame)
{
    port.purgeInput();
    port.write(frame);
    if (port.waitForBytes(ReplySize, ReplyLimitMs) != ReplySize)
        return {};
    return port.read(ReplySize);
}

bool replyFits(const QByteArray& reply, const QByteArray& frame)
{
    return reply.size() == ReplySize && reply.left(SetupFrames::Size) == frame &&
           quint8(reply.at(SetupFrames::Size)) == TestByte;
}

QStringList gridCells(const QByteArray& reply, double seconds)
{
    QStringList cells;
    for (char byte : reply)
        cells << SetupFrames::bcdText(std::uint8_t(byte));
    while (cells.size() < ReplySize)
        cells << QString();
    cells << GraphTexts::timeText(seconds / SecondsPerDay);
    return cells;
}
} // namespace

QList<quint32> memoryTestAddresses(int endAddress)
{
    QList<quint32> addresses;
    for (quint32 a = FirstAddress; a <= LastAddress; a += AddressStep) {
        if (qint64(a) > endAddress)
            addresses.append(a);
    }
    return addresses;
}

MemoryTestResult runMemoryTest(LoggerSetupPort& port, LoggerSetupUi& ui,
                               const std::optional<ControlPage>& page)
{
    ui.startMemoryTestLog();
    if (!page)
        return MemoryTestResult::Skipped;
    const QList<quint32> addresses = memoryTestAddresses(page->endAddress());
    if (addresses.isEmpty())
        return MemoryTestResult::Skipped;
    const MeterLink& link = port.link();
    if (!link.RecordingKnown())
        return MemoryTestResult::SkippedRecordingUnknown;
    if (link.MeterRecording())
        return MemoryTestResult::SkippedRecording;
    MeterClock& clock = port.clock();
    for (quint32 address : addresses) {
        const QByteArray writeFrame = SetupFrames::memoryWrite(address, TestByte);
        const auto written = clock.now();
        const QByteArray written9 = exchange(port, writeFrame);
        if (written9.isEmpty())
            return MemoryTestResult::Failed;
        ui.logMemoryTestRow(gridCells(written9, clock.secondsSince(written)));
        if (!replyFits(written9, writeFrame))
            return MemoryTestResult::Failed;
        const QByteArray readFrame = SetupFrames::memoryRead(address);
        if (!replyFits(exchange(port, readFrame), readFrame))
            return MemoryTestResult::Failed;
    }
    return MemoryTestResult::Ok;
}

QString memoryTestText(MemoryTestResult result)
{
    switch (result) {
    case MemoryTestResult::Ok:
        return SetupTexts::MemoryTestOk;
    case MemoryTestResult::Failed:
        return SetupTexts::MemoryTestFailed;
    case MemoryTestResult::SkippedRecording:
        return SetupTexts::MemoryTestSkippedRecording;
    case MemoryTestResult::SkippedRecordingUnknown:
        return SetupTexts::MemoryTestSkippedUnknown;
    case MemoryTestResult::Skipped:
        break;
    }
    return SetupTexts::MemoryTestSkipped;
}
