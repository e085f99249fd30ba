#include "graph/PESGraphLook.h"

#include <array>

namespace {
const std::array<QColor, 8> kPalette = {
    QColor(255, 255, 0), QColor(255, 0, 0),   QColor(0, 255, 255),   QColor(255, 0, 255),
    QColor(0, 255, 0),   QColor(255, 128, 0), QColor(128, 128, 255), QColor(255, 255, 255)};

PESFontSpec defaultFont(double size, bool bold)
{
    return PESFontSpec{QStringLiteral("DejaVu Sans"), size, bold, false};
}
} // namespace

QColor colorFromBgr(quint32 bgr)
{
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

QColor PESGraphLook::subsetColor(int subset) const
{
    if (subset >= 0 && size_t(subset) < subsetColors.size() && subsetColors[subset].isValid())
        return subsetColors[subset];
    return kPalette[size_t(qMax(0, subset)) % kPalette.size()];
}

PESLineType PESGraphLook::subsetLineType(int subset) const
{
    if (subset >= 0 && size_t(subset) < subsetLineTypes.size())
        return subsetLineTypes[subset];
    return PESLineType::ThinSolid;
}

PESGraphLook PESGraphLook::neutral()
{
    PESGraphLook look;
    look.graphForeColor = QColor(64, 64, 64);
    look.graphBackColor = Qt::white;
    look.deskColor = QColor(240, 240, 240);
    look.textColor = Qt::black;
    look.annotationColor = QColor(0, 0, 160);
    look.subsetColors = {QColor(0, 0, 200), QColor(200, 0, 0)};
    look.gridStyle = PESGridStyle::Dot;
    look.titleFont = defaultFont(12, true);
    look.labelFont = defaultFont(9, false);
    look.annotationFont = defaultFont(9, false);
    return look;
}

void PESGraphLook::setProgramItems()
{
    showVertLineAnnotations = true;
    allowVertLineAnnotHotSpots = true;
    lineAnnotationTextSize = 100;
    showGraphAnnotations = true;
    graphAnnotationTextSize = 100;
    gridStyle = PESGridStyle::Dot;
    mainTitle.clear();
    subTitle = QStringLiteral(" ");
    dateTimeMode = true;
    usingXDataII = true;
    xAxisLabel = QStringLiteral("Time");
    allowZooming = PESZoomMode::Both;
    scrollingHorzZoom = true;
    scrollingVertZoom = true;
    graphForeColor = colorFromBgr(0x008000);
    graphBackColor = colorFromBgr(0x000000);
    deskColor = colorFromBgr(0xC0C0C0);
    textColor = Qt::black;
    if (subsetColors.size() < 2)
        subsetColors.resize(2);
    subsetColors[0] = colorFromBgr(0x00FFFF);
    subsetColors[1] = colorFromBgr(0x0000FF);
    if (subsetLineTypes.size() < 2)
        subsetLineTypes.resize(2, PESLineType::ThinSolid);
    subsetLineTypes[0] = PESLineType::ThinSolid;
    subsetLineTypes[1] = PESLineType::ThinSolid;
    arrowCursor = PESArrowCursor::Arrow;
    yAxisColor = colorFromBgr(0x0000FF);
}

PESGraphLook PESGraphLook::programDefault()
{
    PESGraphLook look = neutral();
    look.annotationColor = Qt::white;
    look.setProgramItems();
    return look;
}
