#pragma once

// Cuts 8-byte command frames (02, letter, five parameter bytes, 03) out of a
// byte stream that may hold noise, partial frames and fragments.
//
// Contract: bytes are fed in arrival order. A frame is reported once its
// eighth byte has arrived. Bytes that cannot belong to a frame are reported
// as stray: bytes before a 0x02, a 0x02 whose eighth byte is not 0x03 (one
// byte is dropped and the search restarts at the next 0x02), and a partial
// frame left without a further byte for longer than the stale time.

#include <QByteArray>
#include <QList>

#include <chrono>

namespace vmeter {

using SteadyTime = std::chrono::steady_clock::time_point;

struct ParsedBytes
{
    enum class Kind
    {
        Frame,
        Stray
    };
    Kind kind = Kind::Stray;
    QByteArray bytes;
};

class CommandFrameParser
{
public:
    static constexpr int frameSize = 8;
    static constexpr std::chrono::milliseconds staleTime{1000};

    [[nodiscard]] QList<ParsedBytes> feed(const QByteArray& bytes, SteadyTime now);
    // Reports a partial frame as stray once it has waited longer than the stale time.
    [[nodiscard]] QList<ParsedBytes> expireStale(SteadyTime now);
    // When the pending partial frame goes stale, if there is one.
    [[nodiscard]] bool hasPending() const { return !pending_.isEmpty(); }
    [[nodiscard]] SteadyTime staleDeadline() const { return lastByteAt_ + staleTime; }

private:
    void appendStray(QList<ParsedBytes>& out, const QByteArray& bytes);

    QByteArray pending_;
    SteadyTime lastByteAt_{};
};

} // namespace vmeter
