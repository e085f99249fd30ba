// The virtual meter's side of the line: whatever the program or a user
// sends reaches the command frame parser and the meter's protocol. The first
// byte chooses the meter (bit 0: model 841, bit 1: REC on from the start);
// then each event is a byte giving the time passed since the last one (in
// 10 ms steps), a byte giving its size (0..63) and its bytes. The parser is
// checked on its own too: nothing fed to it is lost or made up.

#include "FuzzInput.h"

#include "meter/LiveFrame.h"
#include "tools/virtual-meter/CommandFrameParser.h"
#include "tools/virtual-meter/MeterProtocol.h"

#include <QDateTime>

using FuzzInput::require;
using namespace vmeter;

namespace {
constexpr std::size_t MaxEventBytes = 64;

ProtocolSettings settingsFor(std::uint8_t mode)
{
    ProtocolSettings settings;
    if (mode & 1) {
        settings.model = MeterModel::Model841;
        settings.idReply = "0841";
    }
    settings.recording = (mode & 2) != 0;
    settings.recordingTimeScale = 60.0;
    settings.logger.generatedSets = 3;
    settings.setup.meterTime = QDateTime(QDate(2026, 12, 7), QTime(14, 0));
    return settings;
}

void checkOutput(const QList<OutgoingMessage>& output)
{
    for (const OutgoingMessage& message : output)
        if (message.kind == OutgoingMessage::Kind::LiveFrame)
            require(message.bytes.size() == LiveFrame::Size &&
                        LiveFrame::isValid(reinterpret_cast<const std::uint8_t*>(message.bytes.constData())),
                    "the meter sent a frame the program cannot take");
}

// What the meter's loop does while time passes: a poll at each deadline
// that falls due, then one at the present.
void runUntil(MeterProtocol& meter, SteadyTime now)
{
    constexpr int MostPollsPerEvent = 100000;
    for (int polls = 0; polls < MostPollsPerEvent; ++polls) {
        const auto deadline = meter.nextDeadline();
        const bool due = deadline && *deadline <= now;
        (void)meter.poll(due ? *deadline : now);
        checkOutput(meter.takeOutput());
        if (!due)
            return;
    }
    FuzzInput::contractBroken("the meter's deadlines do not move on");
}

void appendParsed(QByteArray& seen, const QList<ParsedBytes>& parsed)
{
    for (const ParsedBytes& piece : parsed) {
        if (piece.kind == ParsedBytes::Kind::Frame)
            require(piece.bytes.size() == CommandFrameParser::frameSize && piece.bytes.front() == 0x02 &&
                        piece.bytes.back() == 0x03,
                    "a command frame of the wrong shape");
        seen.append(piece.bytes);
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const QDateTime wallClock(QDate(2026, 12, 7), QTime(14, 0));
    FuzzInput::Reader input(data, size);
    const std::uint8_t mode = input.byte();
    MeterProtocol meter(settingsFor(mode), [] { return wallClock; });
    CommandFrameParser parser;

    SteadyTime now{};
    QByteArray fed;
    QByteArray parsed;
    while (!input.atEnd()) {
        now += std::chrono::milliseconds(10 * input.byte());
        const QByteArray bytes = input.take(input.byte() % MaxEventBytes);
        fed.append(bytes);
        appendParsed(parsed, parser.feed(bytes, now));
        runUntil(meter, now);
        (void)meter.receive(bytes, now);
        checkOutput(meter.takeOutput());
    }
    now += CommandFrameParser::staleTime * 2;
    appendParsed(parsed, parser.expireStale(now));
    runUntil(meter, now);
    require(parsed == fed, "the parser lost or made up bytes");
    return 0;
}
