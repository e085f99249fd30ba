#include "tools/virtual-meter/MeterProtocol.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace vmeter {

MeterProtocol::MeterProtocol(const ProtocolSettings& settings, ClockSource clock)
    : settings_(settings), clock_(std::move(clock)), display_(settings.model),
      logger_(settings.logger, settings.byteTime), levels_(settings.baseLevelDb, settings.seed),
      lastLevelTenths_(int(std::lround(settings.baseLevelDb * 10)))
{
    display_.setBatteryLow(settings.batteryLow);
    display_.setRecording(settings.recording);
}

QList<ParsedBytes> MeterProtocol::receive(const QByteArray& bytes, SteadyTime now)
{
    QList<ParsedBytes> parsed = parser_.feed(bytes, now);
    for (const ParsedBytes& item : parsed) {
        if (item.kind == ParsedBytes::Kind::Frame)
            handleFrame(item.bytes, now);
    }
    parsed.append(poll(now));
    return parsed;
}

QList<ParsedBytes> MeterProtocol::poll(SteadyTime now)
{
    QList<ParsedBytes> expired = parser_.expireStale(now);
    if (!poweredOn_)
        return expired;
    if (frameOutstanding_ && now - lastFrameAt_ >= settings_.silenceLimit) {
        streaming_ = false;
        frameOutstanding_ = false;
    }
    if (streaming_ && nextFrameAt_ && now >= *nextFrameAt_)
        sendLiveFrame(now);
    return expired;
}

std::optional<SteadyTime> MeterProtocol::nextDeadline() const
{
    std::optional<SteadyTime> deadline;
    auto consider = [&](SteadyTime t) { deadline = deadline ? std::min(*deadline, t) : t; };
    if (parser_.hasPending())
        consider(parser_.staleDeadline() + std::chrono::milliseconds(1));
    if (poweredOn_ && streaming_) {
        if (nextFrameAt_)
            consider(*nextFrameAt_);
        if (frameOutstanding_)
            consider(lastFrameAt_ + settings_.silenceLimit);
    }
    return deadline;
}

QList<OutgoingMessage> MeterProtocol::takeOutput()
{
    return std::exchange(output_, {});
}

void MeterProtocol::switchOff()
{
    poweredOn_ = false;
    streaming_ = false;
    frameOutstanding_ = false;
    nextFrameAt_.reset();
    output_.clear();
}

void MeterProtocol::switchOn()
{
    poweredOn_ = true;
}

void MeterProtocol::handleFrame(const QByteArray& frame, SteadyTime now)
{
    if (!poweredOn_)
        return;
    const char letter = frame.at(1);
    if (MeterLogger::isLoggerLetter(letter)) {
        if (settings_.model == MeterModel::Model842)
            handleLoggerFrame(frame, now);
        return;
    }
    switch (letter) {
    case 'A':
    case 'a':
        startStream(now);
        break;
    case 'X':
        if (!streaming_ || frameOutstanding_ || !nextFrameAt_) {
            streaming_ = true;
            frameOutstanding_ = false;
            nextFrameAt_ = now + settings_.frameSpacing;
        }
        break;
    case 'K':
        if (!settings_.idReply.isEmpty())
            output_.append({OutgoingMessage::Kind::IdReply, settings_.idReply});
        break;
    default:
        (void)display_.applyKey(letter, lastLevelTenths_);
        break;
    }
}

void MeterProtocol::handleLoggerFrame(const QByteArray& frame, SteadyTime now)
{
    QList<LoggerMessage> answers;
    logger_.handleFrame(frame, now, answers);
    for (const LoggerMessage& answer : answers) {
        const auto kind = answer.kind == LoggerMessage::Kind::Echo
                              ? OutgoingMessage::Kind::LoggerEcho
                              : OutgoingMessage::Kind::LoggerBlock;
        output_.append({kind, answer.bytes});
    }
}

void MeterProtocol::startStream(SteadyTime now)
{
    streaming_ = true;
    // A stream that is already waiting for its "X" just goes on.
    if (!frameOutstanding_ && !nextFrameAt_)
        nextFrameAt_ = now;
}

void MeterProtocol::sendLiveFrame(SteadyTime now)
{
    lastLevelTenths_ = levels_.next();
    // Only the data-logger model has a clock; the other sends zeros.
    const bool hasClock = clock_ && settings_.model == MeterModel::Model842;
    const ClockBytes clock = hasClock ? clock_() : ClockBytes{0, 0, 0};
    output_.append(
        {OutgoingMessage::Kind::LiveFrame, display_.buildFrame(lastLevelTenths_, clock)});
    frameOutstanding_ = true;
    lastFrameAt_ = now;
    nextFrameAt_.reset();
}

} // namespace vmeter
