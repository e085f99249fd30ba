#include "tools/virtual-meter/CommandFrameParser.h"

namespace vmeter {

namespace {
constexpr char startByte = 0x02;
constexpr char endByte = 0x03;
} // namespace

void CommandFrameParser::appendStray(QList<ParsedBytes>& out, const QByteArray& bytes)
{
    // Neighbouring stray bytes form one entry, so a burst of noise is one log line.
    if (!out.isEmpty() && out.last().kind == ParsedBytes::Kind::Stray)
        out.last().bytes.append(bytes);
    else
        out.append({ParsedBytes::Kind::Stray, bytes});
}

QList<ParsedBytes> CommandFrameParser::feed(const QByteArray& bytes, SteadyTime now)
{
    QList<ParsedBytes> out = expireStale(now);
    if (bytes.isEmpty())
        return out;
    pending_.append(bytes);
    lastByteAt_ = now;
    while (!pending_.isEmpty()) {
        const qsizetype start = pending_.indexOf(startByte);
        if (start < 0) {
            appendStray(out, pending_);
            pending_.clear();
            break;
        }
        if (start > 0) {
            appendStray(out, pending_.left(start));
            pending_.remove(0, start);
        }
        if (pending_.size() < frameSize)
            break;
        if (pending_.at(frameSize - 1) != endByte) {
            appendStray(out, pending_.left(1));
            pending_.remove(0, 1);
            continue;
        }
        out.append({ParsedBytes::Kind::Frame, pending_.left(frameSize)});
        pending_.remove(0, frameSize);
    }
    return out;
}

QList<ParsedBytes> CommandFrameParser::expireStale(SteadyTime now)
{
    QList<ParsedBytes> out;
    if (!pending_.isEmpty() && now - lastByteAt_ > staleTime) {
        appendStray(out, pending_);
        pending_.clear();
    }
    return out;
}

} // namespace vmeter
