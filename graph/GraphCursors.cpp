#include "graph/GraphCursors.h"

#include <QBitmap>
#include <QPainter>

namespace GraphCursors {

QCursor cross()
{
    QBitmap picture(32, 32);
    QBitmap mask(32, 32);
    picture.fill(Qt::color0);
    mask.fill(Qt::color0);
    const auto drawCross = [](QBitmap& bitmap, int width) {
        QPainter p(&bitmap);
        p.setPen(QPen(Qt::color1, width, Qt::SolidLine, Qt::FlatCap));
        const int c = kCrossCentreOffset;
        p.drawLine(c - 9, c - 9, c + 9, c + 9);
        p.drawLine(c - 9, c + 9, c + 9, c - 9);
    };
    // A black cross with a white rim reads on any plot colour.
    drawCross(picture, 3);
    drawCross(mask, 5);
    return QCursor(picture, mask, 0, 0);
}

} // namespace GraphCursors
