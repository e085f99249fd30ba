#include "logger/SetupFrames.h"

#include <QString>

namespace SetupFrames {

namespace {
QByteArray frame(std::initializer_list<std::uint8_t> middle)
{
    QByteArray bytes(Size, '\0');
    bytes[0] = 0x02;
    int i = 1;
    for (std::uint8_t b : middle)
        bytes[i++] = char(b);
    bytes[Size - 1] = 0x03;
    return bytes;
}

constexpr std::uint8_t MemorySubCommand = 'E';
constexpr std::uint8_t InformationSubCommand = 'i';
} // namespace

QByteArray c()
{
    return frame({'c'});
}

QByteArray rtc()
{
    return frame({'r', 't', 'c'});
}

QByteArray clock(const QDateTime& time)
{
    const QDate d = time.date();
    const QTime t = time.time();
    return frame({toBcd(d.year() % 100), toBcd(d.month()), toBcd(d.day()), toBcd(t.hour()),
                  toBcd(t.minute()), toBcd(t.second())});
}

QByteArray interval(std::uint8_t minutesBcd, std::uint8_t secondsBcd)
{
    return frame({'i', 'n', 't', minutesBcd, secondsBcd});
}

QByteArray boot()
{
    return frame({'b', 'o', 'o', 't'});
}

QByteArray erase()
{
    return frame({'e', 'r', 'a', 's', 'e'});
}

QByteArray firmware()
{
    return frame({'V'});
}

QByteArray meterTime()
{
    return frame({'t', 'i'});
}

// The information frames reuse the "ti" frame: their byte 2 is "i".
QByteArray informationStart()
{
    return frame({'P', InformationSubCommand});
}

QByteArray informationStop()
{
    return frame({'Q', InformationSubCommand});
}

QByteArray memoryWrite(quint32 address, std::uint8_t data)
{
    return frame({'w', MemorySubCommand, std::uint8_t(address >> 16), std::uint8_t(address >> 8),
                  std::uint8_t(address), data});
}

QByteArray memoryRead(quint32 address)
{
    return frame({'r', MemorySubCommand, std::uint8_t(address >> 16), std::uint8_t(address >> 8),
                  std::uint8_t(address)});
}

QByteArray startLive()
{
    return frame({'a'});
}

QByteArray recordKey()
{
    return frame({'E'});
}

std::uint8_t toBcd(int value)
{
    return std::uint8_t(((value / 10 % 10) << 4) | (value % 10));
}

QString bcdText(std::uint8_t byte)
{
    return QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
}

int fromBcd(std::uint8_t byte)
{
    const int tens = byte >> 4;
    const int units = byte & 0x0F;
    return tens > 9 || units > 9 ? -1 : tens * 10 + units;
}

} // namespace SetupFrames
