// The chart's blocks: the whole chart (a graph file's content) and the look
// alone (the graph template). The first byte chooses the block kind (bit 0)
// and whether the block is taken as it stands (bit 1 clear) or gets its
// length field and checksum put right first (bit 1 set), so that the
// payload's reading is reached past the checksum. What a whole chart decodes
// to goes through the statistics the graph window shows above the chart.

#include "ChartBlockSeal.h"
#include "FuzzInput.h"

#include "data/GraphStatisticTexts.h"
#include "data/SeriesStatistics.h"
#include "graph/PESGraphBlock.h"

#include <QLocale>

using FuzzInput::require;

namespace {
void showStatistics(const PESGraphContent& content)
{
    require(content.points >= 0, "a negative point count");
    for (const PESGraphSeries& series : content.series)
        require(series.x.size() == size_t(content.points) && series.y.size() == size_t(content.points),
                "a series of another length than the chart's point count");
    if (content.series.empty()) {
        require(content.points == 0, "points without a series to hold them");
        return;
    }
    const PESGraphSeries& first = content.series.front();
    (void)GraphStatisticTexts::of(SeriesStatistics::whole(first.x, first.y), QLocale::c());
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput::Reader input(data, size);
    const std::uint8_t mode = input.byte();
    const bool whole = (mode & 1) == 0;
    QByteArray block = input.rest();
    if (mode & 2)
        block = ChartBlockSeal::sealed(std::move(block));

    if (whole) {
        if (const auto state = PESGraphBlock::decodeWhole(block)) {
            showStatistics(state->content);
            // Compared as bytes: a NaN level is itself although it is not equal to itself.
            const QByteArray again = PESGraphBlock::encodeWhole(*state);
            const auto reread = PESGraphBlock::decodeWhole(again);
            require(reread && PESGraphBlock::encodeWhole(*reread) == again,
                    "a decoded chart that does not read back as itself");
        }
    } else if (const auto look = PESGraphBlock::decodeCustomization(block)) {
        const QByteArray again = PESGraphBlock::encodeCustomization(*look);
        const auto reread = PESGraphBlock::decodeCustomization(again);
        require(reread && PESGraphBlock::encodeCustomization(*reread) == again,
                "a decoded look that does not read back as itself");
    }
    return 0;
}
