#include "tools/virtual-meter/MeterProtocol.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace vmeter {

namespace {
std::uint8_t toBcd(int value)
{
    return std::uint8_t(((value / 10 % 10) << 4) | (value % 10));
}
} // namespace

MeterProtocol::MeterProtocol(const ProtocolSettings& settings, ClockSource clock)
    : settings_(settings), clock_(std::move(clock)), display_(settings.model),
      logger_(settings.logger, settings.byteTime), setup_(settings.setup, clock_, logger_),
      recorder_(settings.recordingTimeScale), levels_(settings.baseLevelDb, settings.seed),
      lastLevelTenths_(int(std::lround(settings.baseLevelDb * 10)))
{
    display_.setBatteryLow(settings.batteryLow);
    display_.setRecording(settings.recording);
    recordingAtStart_ = settings.recording && settings.model == MeterModel::Model842;
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
    pollRecording(now);
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
    if (poweredOn_ && recordingAtStart_)
        consider(SteadyTime{});
    if (poweredOn_ && recorder_.nextDeadline())
        consider(*recorder_.nextDeadline());
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
    // Switching off ends a recording; the data set keeps what it has.
    recordingAtStart_ = false;
    recorder_.stop(logger_);
    display_.setRecording(false);
}

void MeterProtocol::setFreeRunning(bool on)
{
    freeRunning_ = on;
    if (on && streaming_ && frameOutstanding_) {
        frameOutstanding_ = false;
        nextFrameAt_ = lastFrameAt_ + settings_.frameSpacing;
    }
}

void MeterProtocol::switchOn()
{
    poweredOn_ = true;
}

void MeterProtocol::handleFrame(const QByteArray& frame, SteadyTime now)
{
    if (!poweredOn_ || (silentUntil_ && now < *silentUntil_))
        return;
    silentUntil_.reset();
    const char letter = frame.at(1);
    if (settings_.model == MeterModel::Model842 && handleSetupFrame(frame, now))
        return;
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
        if (display_.applyKey(letter, lastLevelTenths_) && letter == 'E')
            setRecording(display_.recording(), now);
        break;
    }
}

bool MeterProtocol::handleSetupFrame(const QByteArray& frame, SteadyTime now)
{
    QList<QByteArray> replies;
    switch (setup_.handleFrame(frame, replies)) {
    case MeterSetup::Action::NotSetup:
        return false;
    case MeterSetup::Action::Answered:
        break;
    case MeterSetup::Action::StopStream:
        stopStream();
        break;
    case MeterSetup::Action::Boot:
        boot(now);
        break;
    case MeterSetup::Action::Erased:
        // The erase took the data set a recording was growing.
        recorder_.stop(logger_);
        display_.setRecording(false);
        display_.setMemoryFull(false);
        break;
    }
    for (const QByteArray& reply : replies)
        output_.append({OutgoingMessage::Kind::LoggerEcho, reply});
    return true;
}

void MeterProtocol::stopStream()
{
    streaming_ = false;
    frameOutstanding_ = false;
    nextFrameAt_.reset();
}

void MeterProtocol::boot(SteadyTime now)
{
    stopStream();
    setRecording(false, now);
    display_.setRecording(false);
    logger_.stopTransfer();
    setup_.reset();
    output_.clear();
    if (setup_.bootSilence().count() > 0)
        silentUntil_ = now + setup_.bootSilence();
}

void MeterProtocol::setRecording(bool on, SteadyTime now)
{
    recordingAtStart_ = false;
    if (!on) {
        recorder_.stop(logger_);
        return;
    }
    if (!recorder_.start(now, setup_.meterTime(), display_.weightingA(), logger_)) {
        // No room for another data set: the meter shows FULL and does not record.
        display_.setRecording(false);
        display_.setMemoryFull(true);
    }
}

void MeterProtocol::pollRecording(SteadyTime now)
{
    if (recordingAtStart_)
        setRecording(true, now);
    if (!recorder_.poll(now, logger_, [this] { return lastLevelTenths_; })) {
        display_.setRecording(false);
        display_.setMemoryFull(true);
    }
}

void MeterProtocol::handleLoggerFrame(const QByteArray& frame, SteadyTime now)
{
    QList<LoggerMessage> answers;
    logger_.handleFrame(frame, now, answers);
    if (MeterSetup::isInformationFrame(frame))
        setup_.spoilInformation(answers);
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
    ClockBytes clock{0, 0, 0};
    if (hasClock) {
        const QTime time = setup_.meterTime().time();
        clock = {toBcd(time.hour()), toBcd(time.minute()), toBcd(time.second())};
    }
    output_.append(
        {OutgoingMessage::Kind::LiveFrame, display_.buildFrame(lastLevelTenths_, clock)});
    frameOutstanding_ = true;
    lastFrameAt_ = now;
    nextFrameAt_.reset();
    if (freeRunning_) {
        frameOutstanding_ = false;
        nextFrameAt_ = now + settings_.frameSpacing;
    }
}

} // namespace vmeter
