#include "tools/virtual-meter/VirtualMeter.h"

#include "tools/virtual-meter/ConsoleCommand.h"
#include "tools/virtual-meter/PacedWriter.h"

#include <QDateTime>
#include <QFile>
#include <QScopeGuard>
#include <QtGlobal>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace vmeter {

namespace {
ProtocolSettings withLineTiming(const VirtualMeterOptions& options)
{
    ProtocolSettings settings = options.protocol;
    settings.byteTime = options.fast ? std::chrono::microseconds(0) : PacedWriter::byteTime9600;
    settings.recordingTimeScale =
        options.recordingTimeScale.value_or(options.fast ? fastRecordingTimeScale : 1.0);
    return settings;
}

// After a hang-up of the line, look again this much later instead of spinning.
constexpr std::chrono::milliseconds hangUpRetry{20};
// A new pseudo-terminal that could not be made is tried again this much later.
constexpr std::chrono::milliseconds plugInRetry{100};
constexpr int readChunk = 256;
} // namespace

VirtualMeter::VirtualMeter(const VirtualMeterOptions& options)
    : options_(options), startedAt_(std::chrono::steady_clock::now()), log_(startedAt_),
      protocol_(withLineTiming(options), [] { return QDateTime::currentDateTime(); }),
      faults_(options.faults)
{
    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

VirtualMeter::~VirtualMeter()
{
    stop();
    if (wakeFd_ >= 0)
        ::close(wakeFd_);
    if (!options_.linkPath.isEmpty() && terminal_.masterFd() >= 0)
        ::unlink(QFile::encodeName(options_.linkPath).constData());
}

bool VirtualMeter::open()
{
    if (wakeFd_ < 0) {
        error_ = QStringLiteral("eventfd failed");
        return false;
    }
    if (!terminal_.open()) {
        error_ = terminal_.errorString();
        return false;
    }
    if (!options_.linkPath.isEmpty() && !pointLink()) {
        error_ =
            options_.linkPath + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    if (!options_.logPath.isEmpty() && !log_.openFile(options_.logPath)) {
        error_ = options_.logPath + QStringLiteral(": ") + log_.errorString();
        return false;
    }
    const auto byteTime = options_.fast ? std::chrono::microseconds(0) : PacedWriter::byteTime9600;
    writer_ = std::make_unique<PacedWriter>(terminal_.masterFd(), byteTime);
    return true;
}

bool VirtualMeter::start()
{
    if (thread_.joinable())
        return true;
    if (!writer_ && !open())
        return false;
    stopRequested_ = false;
    thread_ = std::thread([this] { run(); });
    return true;
}

void VirtualMeter::stop()
{
    stopRequested_ = true;
    wake();
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id())
        thread_.join();
}

void VirtualMeter::requestStopFromSignal() noexcept
{
    stopRequested_ = true;
    wake();
}

void VirtualMeter::wake() noexcept
{
    const std::uint64_t one = 1;
    if (wakeFd_ >= 0)
        (void)!::write(wakeFd_, &one, sizeof one);
}

void VirtualMeter::switchOff()
{
    {
        std::lock_guard lock(mutex_);
        protocol_.switchOff();
        discardOutput_ = true;
    }
    wake();
}

void VirtualMeter::switchOn()
{
    {
        std::lock_guard lock(mutex_);
        protocol_.switchOn();
    }
    wake();
}

void VirtualMeter::setLevel(double db)
{
    {
        std::lock_guard lock(mutex_);
        protocol_.setBaseLevel(db);
    }
    wake();
}

QString VirtualMeter::slavePath() const
{
    std::lock_guard lock(mutex_);
    return plugInAt_ ? QString() : terminal_.slavePath();
}

QString VirtualMeter::devicePath() const
{
    return options_.linkPath.isEmpty() ? slavePath() : options_.linkPath;
}

void VirtualMeter::setHearing(bool hearing)
{
    {
        std::lock_guard lock(mutex_);
        hearing_ = hearing;
        protocol_.setFreeRunning(!hearing);
    }
    wake();
}

void VirtualMeter::unplug(std::chrono::milliseconds away)
{
    {
        std::lock_guard lock(mutex_);
        unplugRequest_ = away;
    }
    wake();
}

bool VirtualMeter::isPluggedIn() const
{
    std::lock_guard lock(mutex_);
    return !plugInAt_ && !unplugRequest_;
}

bool VirtualMeter::pointLink()
{
    // A new link beside the old one, renamed over it: the name is never
    // missing or half made while the device is plugged in.
    const QByteArray link = QFile::encodeName(options_.linkPath);
    const QByteArray fresh = link + ".new";
    ::unlink(fresh.constData());
    if (::symlink(QFile::encodeName(terminal_.slavePath()).constData(), fresh.constData()) != 0)
        return false;
    if (::rename(fresh.constData(), link.constData()) != 0) {
        const int error = errno;
        ::unlink(fresh.constData());
        errno = error;
        return false;
    }
    return true;
}

void VirtualMeter::pullOut(SteadyTime now, std::chrono::milliseconds away)
{
    if (!plugInAt_) {
        writer_->discard();
        // Closing the master hangs up every opener of the slave.
        terminal_.close();
        if (!options_.linkPath.isEmpty())
            ::unlink(QFile::encodeName(options_.linkPath).constData());
        masterHungUp_ = false;
    }
    plugInAt_ = now + away;
}

void VirtualMeter::plugIn(SteadyTime now)
{
    if (!terminal_.open() || (!options_.linkPath.isEmpty() && !pointLink())) {
        terminal_.close();
        plugInAt_ = now + plugInRetry;
        return;
    }
    const auto byteTime = options_.fast ? std::chrono::microseconds(0) : PacedWriter::byteTime9600;
    writer_ = std::make_unique<PacedWriter>(terminal_.masterFd(), byteTime);
    plugInAt_.reset();
}

bool VirtualMeter::isPoweredOn() const
{
    std::lock_guard lock(mutex_);
    return protocol_.poweredOn();
}

QByteArray VirtualMeter::loggerMemory() const
{
    std::lock_guard lock(mutex_);
    return protocol_.logger().memory();
}

QDateTime VirtualMeter::meterTime() const
{
    std::lock_guard lock(mutex_);
    return protocol_.setup().meterTime();
}

bool VirtualMeter::isRecording() const
{
    std::lock_guard lock(mutex_);
    return protocol_.recording();
}

QList<TrafficRecord> VirtualMeter::receivedFrames() const
{
    QList<TrafficRecord> frames = log_.records();
    frames.removeIf([](const TrafficRecord& r) { return r.kind != ParsedBytes::Kind::Frame; });
    return frames;
}

QList<TrafficRecord> VirtualMeter::traffic() const
{
    return log_.records();
}

void VirtualMeter::logParsed(const QList<ParsedBytes>& items, SteadyTime at)
{
    for (const ParsedBytes& item : items)
        log_.record(item, at);
}

void VirtualMeter::run()
{
    if (!writer_)
        return;
    while (!stopRequested_)
        serveOnce();
}

void VirtualMeter::serveOnce()
{
    SteadyTime now = std::chrono::steady_clock::now();
    std::optional<SteadyTime> deadline;
    {
        std::lock_guard lock(mutex_);
        if (const auto away = std::exchange(unplugRequest_, std::nullopt))
            pullOut(now, *away);
        if (plugInAt_ && now >= *plugInAt_)
            plugIn(now);
        logParsed(protocol_.poll(now), now);
        // Without its cable the meter talks to nobody.
        if (std::exchange(discardOutput_, false) || plugInAt_)
            writer_->discard();
        for (const OutgoingMessage& message : protocol_.takeOutput()) {
            if (!plugInAt_)
                writer_->enqueue(faults_.prepare(message));
        }
        if (!plugInAt_)
            writer_->writeDue(now);
        deadline = protocol_.nextDeadline();
        if (plugInAt_)
            deadline = deadline ? std::min(*deadline, *plugInAt_) : *plugInAt_;
    }
    const bool pluggedIn = !plugInAt_;
    if (const auto lineFree = pluggedIn ? writer_->nextDeadline() : std::nullopt)
        deadline = deadline ? std::min(*deadline, *lineFree) : *lineFree;
    if (masterHungUp_) {
        const SteadyTime retry = now + hangUpRetry;
        deadline = deadline ? std::min(*deadline, retry) : retry;
    }

    std::array<pollfd, 3> fds{};
    nfds_t count = 0;
    fds[count++] = {wakeFd_, POLLIN, 0};
    const bool watchMaster = pluggedIn && !masterHungUp_;
    const nfds_t masterIndex = watchMaster ? count : nfds_t(-1);
    if (watchMaster)
        fds[count++] = {terminal_.masterFd(),
                        short((hearing_ ? POLLIN : 0) | (writer_->wantsWritable() ? POLLOUT : 0)),
                        0};
    const nfds_t commandIndex = commandFd_ >= 0 ? count : nfds_t(-1);
    if (commandFd_ >= 0)
        fds[count++] = {commandFd_, POLLIN, 0};

    // Rounded up, so that a wake-up never comes before its deadline.
    int timeoutMs = -1;
    if (deadline) {
        const auto wait = std::max(SteadyTime::duration::zero(), *deadline - now);
        timeoutMs = int(std::chrono::ceil<std::chrono::milliseconds>(wait).count());
    }
    const int ready = ::poll(fds.data(), count, timeoutMs);
    if (ready < 0)
        return;
    masterHungUp_ = false;
    now = std::chrono::steady_clock::now();

    if (fds[0].revents & POLLIN) {
        std::uint64_t counter = 0;
        (void)!::read(wakeFd_, &counter, sizeof counter);
    }
    if (masterIndex != nfds_t(-1)) {
        const short events = fds[masterIndex].revents;
        if (events & POLLIN)
            readMaster(now);
        else if (events & (POLLHUP | POLLERR))
            masterHungUp_ = true;
        if (events & POLLOUT) {
            std::lock_guard lock(mutex_);
            writer_->writeDue(now);
        }
    }
    if (commandIndex != nfds_t(-1) && fds[commandIndex].revents)
        readCommandInput();
}

bool VirtualMeter::settled() const
{
    if (handling_.load())
        return false;
    std::lock_guard lock(mutex_);
    if (plugInAt_ || unplugRequest_ || !hearing_.load() || terminal_.masterFd() < 0)
        return true;
    int unread = 0;
    if (::ioctl(terminal_.masterFd(), FIONREAD, &unread) == 0 && unread > 0)
        return false;
    return !protocol_.hasOutput() && !writer_->hasPending();
}

qint64 VirtualMeter::bytesSent() const
{
    std::lock_guard lock(mutex_);
    return writer_ ? writer_->bytesWritten() : 0;
}

void VirtualMeter::readMaster(SteadyTime now)
{
    // Set before the bytes leave the master, so that settled() never sees
    // them neither there nor handled.
    handling_.store(true);
    const auto handled = qScopeGuard([this] { handling_.store(false); });
    char buffer[readChunk];
    for (;;) {
        const ssize_t got = ::read(terminal_.masterFd(), buffer, sizeof buffer);
        if (got <= 0) {
            if (got < 0 && errno == EIO)
                masterHungUp_ = true;
            return;
        }
        bytesReceived_ += got;
        if (options_.answerLatency.count() > 0)
            std::this_thread::sleep_for(options_.answerLatency);
        std::lock_guard lock(mutex_);
        logParsed(protocol_.receive(QByteArray(buffer, got), now), now);
    }
}

void VirtualMeter::readCommandInput()
{
    char buffer[readChunk];
    const ssize_t got = ::read(commandFd_, buffer, sizeof buffer);
    if (got < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (got <= 0) {
        // The controlling script or terminal is gone: nobody could tell the
        // meter to quit any more, so its end works like "quit".
        commandFd_ = -1;
        if (!commandLine_.isEmpty())
            applyCommandLine(std::exchange(commandLine_, {}));
        stopRequested_ = true;
        return;
    }
    commandLine_.append(buffer, got);
    qsizetype end;
    while ((end = commandLine_.indexOf('\n')) >= 0) {
        const QByteArray line = commandLine_.left(end);
        commandLine_.remove(0, end + 1);
        applyCommandLine(line);
    }
}

void VirtualMeter::applyCommandLine(const QByteArray& line)
{
    const ConsoleCommand command = ConsoleCommand::parse(line);
    switch (command.type) {
    case ConsoleCommand::Type::Empty:
        break;
    case ConsoleCommand::Type::Off:
        switchOff();
        break;
    case ConsoleCommand::Type::On:
        switchOn();
        break;
    case ConsoleCommand::Type::Level:
        setLevel(command.levelDb);
        break;
    case ConsoleCommand::Type::Deaf:
        setHearing(false);
        break;
    case ConsoleCommand::Type::Hear:
        setHearing(true);
        break;
    case ConsoleCommand::Type::Unplug:
        unplug(std::chrono::milliseconds(qRound64(command.seconds * 1000.0)));
        break;
    case ConsoleCommand::Type::Quit:
        stopRequested_ = true;
        break;
    case ConsoleCommand::Type::Invalid:
        qWarning("virtual meter: unknown command \"%s\" "
                 "(off, on, level <dB>, unplug <s>, deaf, hear, quit)",
                 line.trimmed().constData());
        break;
    }
}

} // namespace vmeter
