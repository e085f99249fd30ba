#pragma once

// The frames of the logger setup, byte for byte as they go on the wire. All
// are 8-byte command frames 02 b1 b2 b3 b4 b5 b6 03; each operation sends its
// own copy, never the shared frames of the live link or the download.
//
//   "c"            02 63 00 00 00 00 00 03   logger mode, not answered
//   "rtc"          02 72 74 63 00 00 00 03   8-byte echo
//   clock          02 YY MM DD hh mm ss 03   BCD, two-digit year; 8-byte echo
//   "int"          02 69 6E 74 MM SS 00 03   BCD minutes and seconds; 8-byte echo
//   "boot"         02 62 6F 6F 74 00 00 03   not answered
//   "erase"        02 65 72 61 73 65 00 03   not answered
//   "V"            02 56 00 00 00 00 00 03   echo and the firmware byte
//   "ti"           02 74 69 00 00 00 00 03   8 clock bytes YY -- MM DD hh mm ss --
//   information P  02 50 69 00 00 00 00 03   echo, then the 65-byte control page block
//   information Q  02 51 69 00 00 00 00 03   not answered
//   memory write   02 77 45 00 AA 00 96 03   echo and the byte written
//   memory read    02 72 45 00 AA 00 00 03   echo and the byte read
//   "a", "E"       02 61 / 45 00 00 00 00 00 03   live letters

#include <QByteArray>
#include <QDateTime>

#include <cstdint>

namespace SetupFrames {

inline constexpr int Size = 8;

[[nodiscard]] QByteArray c();
[[nodiscard]] QByteArray rtc();
// The clock frame of a local date and time (milliseconds dropped).
[[nodiscard]] QByteArray clock(const QDateTime& time);
[[nodiscard]] QByteArray interval(std::uint8_t minutesBcd, std::uint8_t secondsBcd);
[[nodiscard]] QByteArray boot();
[[nodiscard]] QByteArray erase();
[[nodiscard]] QByteArray firmware();
[[nodiscard]] QByteArray meterTime();
[[nodiscard]] QByteArray informationStart();
[[nodiscard]] QByteArray informationStop();
[[nodiscard]] QByteArray memoryWrite(quint32 address, std::uint8_t data);
[[nodiscard]] QByteArray memoryRead(quint32 address);
[[nodiscard]] QByteArray startLive();
[[nodiscard]] QByteArray recordKey();

// 0..99 as one BCD byte (the two decimal digits as hexadecimal digits).
[[nodiscard]] std::uint8_t toBcd(int value);
// The two hexadecimal digits of a BCD byte, as the user sees it ("05").
[[nodiscard]] QString bcdText(std::uint8_t byte);
// The decimal value of a BCD byte, or -1 when a digit is above 9.
[[nodiscard]] int fromBcd(std::uint8_t byte);

} // namespace SetupFrames
