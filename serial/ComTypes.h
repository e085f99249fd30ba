#pragma once

// Enumerations of the serial port component. The ordinals are stored, so
// the declaration order is part of the contract.

#include <cstdint>
#include <initializer_list>

enum TBaudRate : int {
    brDefault, br50, br75, br110, br150, br300, br600, br1200, br1800, br2000, br2400,
    br3600, br4800, br7200, br9600, br10400, br14400, br15625, br19200, br28800,
    br38400, br56000, br57600, br115200, br128000, br256000, brCustom
};

enum TDataBits : int { dbDefault, db4, db5, db6, db7, db8 };
enum TParity : int { paDefault, paNone, paOdd, paEven, paMark, paSpace };
enum TStopBits : int { sbDefault, sb1, sb1_5, sb2 };
enum TDTRControl : int { dcDefault, dcDisable, dcEnable, dcHandshake };
enum TRTSControl : int { rcDefault, rcDisable, rcEnable, rcHandshake, rcToggle };
enum TXOnXOffControl : int { xcDefault, xcDisable, xcInput, xcOutput, xcInputOutput };

enum TOption : int {
    opCheckParity, opOutputCTSFlow, opOutputDSRFlow, opDSRSensitivity,
    opTXContinueOnXOff, opUseErrorChar, opDiscardNullBytes, opAbortOnError
};

enum TPriorityClass : int { pcDefault, pcIdle, pcNormal, pcHigh, pcRealTime };
enum TComAction : int { caFail, caAbort };

enum TLineError : int {
    leBreak, leDeviceNotSelected, leFrame, leIO, leMode, leOutOfPaper, leOverrun,
    leDeviceTimeOut, leRxOverflow, leParity, leTxFull
};

enum TModemStatusItem : int { msCTS, msDSR, msRing, msRLSD };

enum TThreadPriority : int {
    tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical
};

// A small set over an enumeration with at most 32 members.
template <typename E> class TSet
{
public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> items)
    {
        for (E item : items)
            include(item);
    }
    constexpr bool contains(E item) const { return bits_ & bit(item); }
    constexpr void include(E item) { bits_ |= bit(item); }
    constexpr void exclude(E item) { bits_ &= ~bit(item); }
    constexpr bool isEmpty() const { return bits_ == 0; }
    constexpr std::uint32_t bits() const { return bits_; }
    constexpr bool operator==(const TSet&) const = default;

private:
    static constexpr std::uint32_t bit(E item) { return 1u << static_cast<int>(item); }
    std::uint32_t bits_ = 0;
};

using TOptions = TSet<TOption>;
using TLineErrors = TSet<TLineError>;
using TModemStatus = TSet<TModemStatusItem>;

// Bits of the line-event mask; one per event handler.
namespace ComEvent {
constexpr std::uint32_t RxChar = 0x0001;
constexpr std::uint32_t RxFlag = 0x0002;
constexpr std::uint32_t TxEmpty = 0x0004;
constexpr std::uint32_t CTSChange = 0x0008;
constexpr std::uint32_t DSRChange = 0x0010;
constexpr std::uint32_t RLSDChange = 0x0020;
constexpr std::uint32_t Break = 0x0040;
constexpr std::uint32_t LineError = 0x0080;
constexpr std::uint32_t Ring = 0x0100;
constexpr std::uint32_t PrinterError = 0x0200;
constexpr std::uint32_t Rx80PercFull = 0x0400;
constexpr std::uint32_t Event1 = 0x0800;
constexpr std::uint32_t Event2 = 0x1000;
} // namespace ComEvent
