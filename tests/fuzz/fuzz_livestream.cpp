// The live receive path: the bytes of the serial port arrive in events of
// varying size (each event: one byte giving its size 1..256, then its
// bytes), are cut into frames, decoded, and each reading is turned into what
// the control panel and `audimark-cli live` show.

#include "FuzzInput.h"

#include "app/PanelReadout.h"
#include "meter/LiveFrame.h"
#include "meter/LiveFrameCutter.h"
#include "meter/MeterLink.h"
#include "tools/cli/LiveReadingPrinter.h"

#include <QDateTime>
#include <QLocale>
#include <QTextStream>

using FuzzInput::require;

namespace {
// The printed lines of the first readings of an input: they depend on the
// reading alone, and formatting every one would slow the search down.
constexpr int PrintedReadings = 8;

void showReading(const MeterReading& reading, bool printed)
{
    if (const auto digits = PanelReadout::digitIndices(reading.displayTenths))
        for (int index : *digits)
            require(index >= 0 && index <= PanelReadout::BlankDigit, "a digit image outside the images");
    const int bar = PanelReadout::barWidth(reading.range, reading.level);
    require(bar >= 0 && bar <= 2 * PanelReadout::MaxBarSteps + 1, "a bar wider than the panel's");
    (void)PanelReadout::clockText(reading.clock);
    if (!printed)
        return;

    static const QDateTime time(QDate(2010, 4, 14), QTime(12, 0, 1, 500));
    static QString sink;
    static QTextStream out(&sink);
    for (const QLocale& locale : {QLocale::c(), QLocale(QLocale::German, QLocale::Germany)})
        for (int model : {841, 842})
            for (auto format : {LiveReadingPrinter::Format::Text, LiveReadingPrinter::Format::Csv}) {
                const LiveReadingPrinter printer(out, format, model, locale);
                require(!printer.formatLine(reading, time).isEmpty(), "an empty reading line");
            }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput::Reader input(data, size);
    QByteArray receiveBuffer;
    int readings = 0;
    while (!input.atEnd()) {
        const int eventSize = 1 + input.byte() % MeterLink::MaxBytesPerEvent;
        receiveBuffer.append(input.take(std::size_t(eventSize)));
        while (receiveBuffer.size() >= LiveFrame::Size) {
            if (!LiveFrameCutter::seekFrame(receiveBuffer)) {
                require(receiveBuffer.size() < LiveFrame::Size,
                        "the cutter stopped with a frame's worth of bytes left");
                break;
            }
            const auto* head = reinterpret_cast<const std::uint8_t*>(receiveBuffer.constData());
            require(LiveFrame::isValid(head), "the cutter reported an invalid frame");
            const MeterReading reading = decodeFrame(head);
            receiveBuffer.remove(0, LiveFrame::Size);
            showReading(reading, readings++ < PrintedReadings);
        }
    }
    return 0;
}
