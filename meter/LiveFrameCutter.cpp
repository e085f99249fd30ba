#include "meter/LiveFrameCutter.h"

#include "meter/LiveFrame.h"

bool LiveFrameCutter::seekFrame(QByteArray& buffer)
{
    while (buffer.size() >= LiveFrame::Size) {
        const qsizetype sync = buffer.indexOf(char(LiveFrame::Sync));
        if (sync < 0) {
            buffer.clear();
            return false;
        }
        if (sync > 0) {
            buffer.remove(0, sync);
            continue;
        }
        if (LiveFrame::isValid(reinterpret_cast<const std::uint8_t*>(buffer.constData())))
            return true;
        // A wrong end byte or marker costs exactly one byte: the real frame may
        // start at the next sync byte inside this one.
        buffer.remove(0, 1);
    }
    return false;
}
