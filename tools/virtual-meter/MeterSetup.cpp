#include "tools/virtual-meter/MeterSetup.h"

#include <utility>

namespace vmeter {

namespace {
constexpr int frameSize = 8;

bool startsWith(const QByteArray& frame, const char* text)
{
    return frame.mid(1).startsWith(text);
}

std::uint8_t toBcd(int value)
{
    return std::uint8_t(((value / 10 % 10) << 4) | (value % 10));
}

int fromBcd(char byte)
{
    const int tens = quint8(byte) >> 4;
    const int units = quint8(byte) & 0x0F;
    return tens > 9 || units > 9 ? -1 : tens * 10 + units;
}
} // namespace

MeterSetup::MeterSetup(const SetupSettings& settings, WallClock wall, MeterLogger& logger)
    : faults_(settings.faults), firmware_(settings.firmware), wall_(std::move(wall)),
      logger_(logger)
{
    if (!wall_)
        wall_ = [] { return QDateTime::currentDateTime(); };
    if (settings.meterTime)
        offsetMs_ = wall_().msecsTo(*settings.meterTime);
}

bool MeterSetup::isInformationFrame(const QByteArray& frame)
{
    return frame.size() == frameSize && (frame.at(1) == 'P' || frame.at(1) == 'Q') &&
           frame.at(2) == 'i';
}

QDateTime MeterSetup::meterTime() const
{
    return wall_().addMSecs(offsetMs_);
}

void MeterSetup::reply(const QString& name, QByteArray bytes, QList<QByteArray>& out) const
{
    if (faults_.noEcho.contains(name))
        return;
    if (faults_.wrongEcho.contains(name))
        bytes[4] = char(quint8(bytes.at(4)) ^ 0x01);
    if (faults_.shortReply.contains(name))
        bytes.chop(1);
    out.append(bytes);
}

MeterSetup::Action MeterSetup::handleFrame(const QByteArray& frame, QList<QByteArray>& out)
{
    if (frame.size() != frameSize)
        return Action::NotSetup;
    // "rtc" again (a retry) is no clock frame: month 0x74 is no BCD month.
    if (startsWith(frame, "rtc")) {
        reply(QStringLiteral("rtc"), frame, out);
        // A meter that did not answer did not hear it either.
        awaitingClock_ = !faults_.noEcho.contains(QStringLiteral("rtc"));
        return Action::Answered;
    }
    // Only a date and time is taken as the awaited clock frame; anything
    // else is a command of its own.
    if (std::exchange(awaitingClock_, false) && clockOf(frame).isValid()) {
        reply(QStringLiteral("clock"), frame, out);
        offsetMs_ = wall_().msecsTo(clockOf(frame));
        return Action::Answered;
    }
    if (startsWith(frame, "int")) {
        reply(QStringLiteral("int"), frame, out);
        logger_.setStoredInterval(std::uint8_t(frame.at(4)), std::uint8_t(frame.at(5)));
        return Action::Answered;
    }
    if (startsWith(frame, "boot"))
        return Action::Boot;
    if (startsWith(frame, "erase")) {
        if (!faults_.ignoreErase)
            logger_.erase();
        return Action::Erased;
    }
    if (startsWith(frame, "ti")) {
        reply(QStringLiteral("ti"), clockReply(), out);
        return Action::Answered;
    }
    switch (frame.at(1)) {
    case 'c':
        return Action::StopStream;
    case 'V':
        reply(QStringLiteral("V"), frame + QByteArray(1, char(firmware_)), out);
        return Action::Answered;
    default:
        return Action::NotSetup;
    }
}

void MeterSetup::spoilInformation(QList<LoggerMessage>& answers)
{
    const QString name = QStringLiteral("info");
    if (faults_.noEcho.contains(name)) {
        answers.clear();
        logger_.stopTransfer();
        return;
    }
    if (!answers.isEmpty() && answers.first().kind == LoggerMessage::Kind::Echo &&
        faults_.wrongEcho.contains(name))
        answers.first().bytes[4] = char(quint8(answers.first().bytes.at(4)) ^ 0x01);
    if (faults_.noInfoBlock) {
        answers.removeIf(
            [](const LoggerMessage& m) { return m.kind == LoggerMessage::Kind::Block; });
        logger_.stopTransfer();
    }
}

QDateTime MeterSetup::clockOf(const QByteArray& frame)
{
    // 02 YY MM DD hh mm ss 03
    const int year = fromBcd(frame.at(1));
    const QDate date(2000 + year, fromBcd(frame.at(2)), fromBcd(frame.at(3)));
    const QTime time(fromBcd(frame.at(4)), fromBcd(frame.at(5)), fromBcd(frame.at(6)));
    if (year < 0 || !date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time);
}

QByteArray MeterSetup::clockReply() const
{
    const QDateTime now = meterTime();
    const QDate date = now.date();
    const QTime time = now.time();
    QByteArray bytes(frameSize, '\0');
    bytes[0] = char(toBcd(date.year() % 100));
    bytes[2] = char(toBcd(date.month()));
    bytes[3] = char(toBcd(date.day()));
    bytes[4] = char(toBcd(time.hour()));
    bytes[5] = char(toBcd(time.minute()));
    bytes[6] = char(toBcd(time.second()));
    return bytes;
}

} // namespace vmeter
