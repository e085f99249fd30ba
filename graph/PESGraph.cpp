#include "graph/PESGraph.h"

#include "graph/PESGraphBlock.h"
#include "graph/PESGraphCustomizeDialog.h"
#include "graph/PESGraphDateTimeTicker.h"
#include "graph/PESGraphEnvelopeGraph.h"
#include "graph/PESGraphOverlay.h"
#include "graph/PESGraphSeriesMirror.h"
#include "graph/PESGraphTailDrawer.h"
#include "graph/PESGraphTime.h"

#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPicture>
#include <QPrintDialog>
#include <QPrinter>
#include <QRubberBand>
#include <QScrollBar>
#include <QWheelEvent>
#include <qcustomplot.h>

namespace {
constexpr int kScrollSteps = 10000;
constexpr int kMinZoomBandPixels = 4;
constexpr double kDataHotSpotRadius = 6.0;
constexpr double kWheelScrollFraction = 0.1;

QFont toFont(const PESFontSpec& fontSpec)
{
    QFont font(fontSpec.family);
    font.setPointSizeF(fontSpec.pointSize);
    font.setBold(fontSpec.bold);
    font.setItalic(fontSpec.italic);
    return font;
}

QPen seriesPen(const QColor& color, PESLineType type)
{
    QPen pen(color, 1.0);
    switch (type) {
    case PESLineType::ThinSolid:
        break;
    case PESLineType::Dash:
        pen.setStyle(Qt::DashLine);
        break;
    case PESLineType::Dot:
        pen.setStyle(Qt::DotLine);
        break;
    case PESLineType::DashDot:
        pen.setStyle(Qt::DashDotLine);
        break;
    case PESLineType::DashDotDot:
        pen.setStyle(Qt::DashDotDotLine);
        break;
    case PESLineType::MediumSolid:
        pen.setWidthF(2.0);
        break;
    case PESLineType::ThickSolid:
        pen.setWidthF(3.0);
        break;
    }
    return pen;
}

QPen gridPen(const QColor& color, PESGridStyle style)
{
    switch (style) {
    case PESGridStyle::Thin:
        return QPen(color, 1.0, Qt::SolidLine);
    case PESGridStyle::Thick:
        return QPen(color, 2.0, Qt::SolidLine);
    case PESGridStyle::Dot:
        return QPen(color, 1.0, Qt::DotLine);
    case PESGridStyle::Dash:
        return QPen(color, 1.0, Qt::DashLine);
    case PESGridStyle::OnePixel:
        return QPen(color, 0.0, Qt::SolidLine);
    }
    return QPen(color);
}

// A range that QCustomPlot accepts: ordered and not empty.
QCPRange usableRange(double lower, double upper, double minimumSpan)
{
    if (!(upper > lower))
        upper = lower + minimumSpan;
    return QCPRange(lower, upper);
}
} // namespace

PESGraph::PESGraph(QWidget* parent)
    : QWidget(parent), plot_(new QCustomPlot(this)), axisRect_(plot_->axisRect()),
      hScroll_(new QScrollBar(Qt::Horizontal, this)), vScroll_(new QScrollBar(Qt::Vertical, this)),
      rubberBand_(new QRubberBand(QRubberBand::Rectangle, plot_))
{
    look_ = PESGraphLook::neutral();
    plot_->setInteractions({});
    plot_->setSelectionRectMode(QCP::srmNone);
    plot_->setMouseTracking(true);
    plot_->installEventFilter(this);
    plot_->setAutoAddPlottableToLegend(false);
    plot_->setNoAntialiasingOnDrag(true);
    // The frame of the plot: top and right axes without ticks or labels.
    for (QCPAxis* axis : {plot_->xAxis2, plot_->yAxis2}) {
        axis->setVisible(true);
        axis->setTicks(false);
        axis->setTickLabels(false);
    }
    plot_->addLayer(QStringLiteral("annotations"), plot_->layer(QStringLiteral("axes")),
                    QCustomPlot::limAbove);
    overlay_ = new PESGraphOverlay(plot_, axisRect_, look_, content_, marks_);
    overlay_->setLayer(QStringLiteral("annotations"));
    // The series (on the main layer) get a paint buffer of their own, so
    // that a recording's new samples are drawn without the rest.
    plot_->layer(QStringLiteral("main"))->setMode(QCPLayer::lmBuffered);
    tail_ = std::make_unique<PESGraphTailDrawer>(plot_);
    connect(plot_, &QCustomPlot::afterReplot, this, [this] { tail_->replotted(look_, content_); });

    hScroll_->hide();
    vScroll_->hide();
    connect(hScroll_, &QScrollBar::valueChanged, this, [this] { scrollBarMoved(); });
    connect(vScroll_, &QScrollBar::valueChanged, this, [this] { scrollBarMoved(); });
    rubberBand_->hide();

    setDialogExec({});
    setMinimumSize(200, 150);
    content_.scaleX = {PESManualScale::None, 0.0, 1.0};
    content_.scaleY = {PESManualScale::None, 0.0, 1.0};
    setSubsets(1);
    applyCursor();
    reinitialize();
}

PESGraph::~PESGraph()
{
    plot_->removeEventFilter(this);
}

// ---- Series ----------------------------------------------------------------

void PESGraph::setSubsets(int count)
{
    count = std::max(0, count);
    if (count == subsets())
        return;
    content_.series.resize(size_t(count));
    for (PESGraphSeries& s : content_.series) {
        s.x.resize(size_t(content_.points), 0.0);
        s.y.resize(size_t(content_.points), 0.0f);
    }
    rebuildMirrors();
    lookDirty_ = true;
}

void PESGraph::rebuildMirrors()
{
    ++seriesRevision_;
    plot_->clearGraphs();
    mirrors_.clear();
    for (int s = 0; s < subsets(); ++s) {
        // Registered with the plot as addGraph() would.
        QCPGraph* graph = new PESGraphEnvelopeGraph(plot_->xAxis, plot_->yAxis);
        graph->setAdaptiveSampling(true);
        mirrors_.push_back(std::make_unique<PESGraphSeriesMirror>(graph));
    }
}

void PESGraph::setPoints(int count)
{
    count = std::max(0, count);
    if (count == content_.points)
        return;
    content_.points = count;
    ++seriesRevision_;
    for (PESGraphSeries& s : content_.series) {
        s.x.resize(size_t(count), 0.0);
        s.y.resize(size_t(count), 0.0f);
    }
    for (auto& mirror : mirrors_)
        mirror->markAllChanged();
}

bool PESGraph::validPoint(int subset, int point) const
{
    return subset >= 0 && subset < subsets() && point >= 0 && point < content_.points;
}

double PESGraph::xDataII(int subset, int point) const
{
    return validPoint(subset, point) ? content_.series[size_t(subset)].x[size_t(point)] : 0.0;
}

std::span<const double> PESGraph::xSeries(int subset) const
{
    if (subset < 0 || subset >= subsets())
        return {};
    return content_.series[size_t(subset)].x;
}

std::span<const float> PESGraph::ySeries(int subset) const
{
    if (subset < 0 || subset >= subsets())
        return {};
    return content_.series[size_t(subset)].y;
}

float PESGraph::yData(int subset, int point) const
{
    return validPoint(subset, point) ? content_.series[size_t(subset)].y[size_t(point)] : 0.0f;
}

void PESGraph::setXDataII(int subset, int point, double x)
{
    if (point == -1 && subset >= 0 && subset < subsets()) {
        auto& xs = content_.series[size_t(subset)].x;
        std::fill(xs.begin(), xs.end(), x);
        ++seriesRevision_;
        mirrors_[size_t(subset)]->markAllChanged();
        return;
    }
    if (!validPoint(subset, point))
        return;
    content_.series[size_t(subset)].x[size_t(point)] = x;
    mirrors_[size_t(subset)]->markPointChanged(point);
}

void PESGraph::setYData(int subset, int point, float y)
{
    if (point == -1 && subset >= 0 && subset < subsets()) {
        auto& ys = content_.series[size_t(subset)].y;
        std::fill(ys.begin(), ys.end(), y);
        ++seriesRevision_;
        mirrors_[size_t(subset)]->markAllChanged();
        return;
    }
    if (!validPoint(subset, point))
        return;
    content_.series[size_t(subset)].y[size_t(point)] = y;
    mirrors_[size_t(subset)]->markPointChanged(point);
}

void PESGraph::setXDataBlock(const double* values, int count)
{
    if (!values || count <= 0)
        return;
    if (subsets() == 0)
        setSubsets(1);
    if (count > content_.points)
        setPoints(count);
    std::copy(values, values + count, content_.series[0].x.begin());
    ++seriesRevision_;
    mirrors_[0]->markAllChanged();
}

void PESGraph::setYDataBlock(const float* values, int count)
{
    if (!values || count <= 0)
        return;
    if (subsets() == 0)
        setSubsets(1);
    if (count > content_.points)
        setPoints(count);
    std::copy(values, values + count, content_.series[0].y.begin());
    ++seriesRevision_;
    mirrors_[0]->markAllChanged();
}

void PESGraph::appendPoint(double x, float y)
{
    if (subsets() == 0)
        setSubsets(1);
    const int point = content_.points++;
    for (size_t s = 0; s < content_.series.size(); ++s) {
        content_.series[s].x.push_back(s == 0 ? x : 0.0);
        content_.series[s].y.push_back(s == 0 ? y : 0.0f);
        mirrors_[s]->markPointChanged(point);
    }
}

// ---- Scales ----------------------------------------------------------------

void PESGraph::setManualScaleControlX(PESManualScale control)
{
    content_.scaleX.control = control;
}
void PESGraph::setManualMinX(double x)
{
    content_.scaleX.min = x;
}
void PESGraph::setManualMaxX(double x)
{
    content_.scaleX.max = x;
}
void PESGraph::setManualScaleControlY(PESManualScale control)
{
    content_.scaleY.control = control;
}
void PESGraph::setManualMinY(double y)
{
    content_.scaleY.min = y;
}
void PESGraph::setManualMaxY(double y)
{
    content_.scaleY.max = y;
}

// ---- Look ------------------------------------------------------------------

void PESGraph::lookChanged()
{
    lookDirty_ = true;
}

void PESGraph::setLook(const PESGraphLook& look)
{
    if (look_ == look)
        return;
    look_ = look;
    lookChanged();
    applyCursor();
}

void PESGraph::setDefaultLook()
{
    setLook(PESGraphLook::programDefault());
    setVertLineAnnotationColor(0, colorFromBgr(0xFF0000));
    setVertLineAnnotationColor(1, colorFromBgr(0x0000FF));
}

// A setter that changes nothing leaves the look applied as it is.
#define PESGRAPH_LOOK_SETTER(Setter, Type, member)                                                 \
    void PESGraph::Setter(Type value)                                                              \
    {                                                                                              \
        if (look_.member == value)                                                                 \
            return;                                                                                \
        look_.member = value;                                                                      \
        lookChanged();                                                                             \
    }

PESGRAPH_LOOK_SETTER(setMainTitle, const QString&, mainTitle)
PESGRAPH_LOOK_SETTER(setSubTitle, const QString&, subTitle)
PESGRAPH_LOOK_SETTER(setXAxisLabel, const QString&, xAxisLabel)
PESGRAPH_LOOK_SETTER(setYAxisLabel, const QString&, yAxisLabel)
PESGRAPH_LOOK_SETTER(setGraphForeColor, const QColor&, graphForeColor)
PESGRAPH_LOOK_SETTER(setGraphBackColor, const QColor&, graphBackColor)
PESGRAPH_LOOK_SETTER(setDeskColor, const QColor&, deskColor)
PESGRAPH_LOOK_SETTER(setTextColor, const QColor&, textColor)
PESGRAPH_LOOK_SETTER(setYAxisColor, const QColor&, yAxisColor)
PESGRAPH_LOOK_SETTER(setGridStyle, PESGridStyle, gridStyle)
PESGRAPH_LOOK_SETTER(setDateTimeMode, bool, dateTimeMode)
PESGRAPH_LOOK_SETTER(setUsingXDataII, bool, usingXDataII)
PESGRAPH_LOOK_SETTER(setShowGraphAnnotations, bool, showGraphAnnotations)
PESGRAPH_LOOK_SETTER(setShowVertLineAnnotations, bool, showVertLineAnnotations)
PESGRAPH_LOOK_SETTER(setAllowDataHotSpots, bool, allowDataHotSpots)
PESGRAPH_LOOK_SETTER(setAllowVertLineAnnotHotSpots, bool, allowVertLineAnnotHotSpots)
PESGRAPH_LOOK_SETTER(setAllowGraphAnnotHotSpots, bool, allowGraphAnnotHotSpots)
PESGRAPH_LOOK_SETTER(setAllowZooming, PESZoomMode, allowZooming)
PESGRAPH_LOOK_SETTER(setScrollingHorzZoom, bool, scrollingHorzZoom)
PESGRAPH_LOOK_SETTER(setScrollingVertZoom, bool, scrollingVertZoom)
PESGRAPH_LOOK_SETTER(setAllowPopup, bool, allowPopup)
PESGRAPH_LOOK_SETTER(setLineAnnotationTextSize, int, lineAnnotationTextSize)
PESGRAPH_LOOK_SETTER(setGraphAnnotationTextSize, int, graphAnnotationTextSize)

#undef PESGRAPH_LOOK_SETTER

void PESGraph::setSubsetColor(int subset, const QColor& color)
{
    if (subset < 0)
        return;
    if (look_.subsetColors.size() <= size_t(subset))
        look_.subsetColors.resize(size_t(subset) + 1);
    look_.subsetColors[size_t(subset)] = color;
    lookChanged();
}

void PESGraph::setSubsetLineType(int subset, PESLineType type)
{
    if (subset < 0)
        return;
    if (look_.subsetLineTypes.size() <= size_t(subset))
        look_.subsetLineTypes.resize(size_t(subset) + 1, PESLineType::ThinSolid);
    look_.subsetLineTypes[size_t(subset)] = type;
    lookChanged();
}

void PESGraph::setArrowCursor(PESArrowCursor cursor)
{
    look_.arrowCursor = cursor;
    customCursor_.reset();
    applyCursor();
}

void PESGraph::setCustomCursor(const QCursor& cursor)
{
    customCursor_ = cursor;
    applyCursor();
}

void PESGraph::applyCursor()
{
    if (customCursor_)
        plot_->setCursor(*customCursor_);
    else
        plot_->setCursor(look_.arrowCursor == PESArrowCursor::Text ? Qt::IBeamCursor
                                                                   : Qt::ArrowCursor);
}

// ---- Annotations -----------------------------------------------------------

PESGraphAnnotation PESGraph::graphAnnotation(int slot) const
{
    const auto it = content_.annotations.find(slot);
    return it == content_.annotations.end() ? PESGraphAnnotation{} : it->second;
}

void PESGraph::setGraphAnnotation(int slot, const PESGraphAnnotation& annotation)
{
    if (slot >= 0)
        content_.annotations[slot] = annotation;
}

void PESGraph::setGraphAnnotationX(int slot, double x)
{
    if (slot >= 0)
        content_.annotations[slot].x = x;
}
void PESGraph::setGraphAnnotationY(int slot, double y)
{
    if (slot >= 0)
        content_.annotations[slot].y = y;
}
void PESGraph::setGraphAnnotationType(int slot, PESAnnotationType type)
{
    if (slot >= 0)
        content_.annotations[slot].type = type;
}
void PESGraph::setGraphAnnotationText(int slot, const QString& text)
{
    if (slot >= 0)
        content_.annotations[slot].text = text;
}
void PESGraph::setGraphAnnotationColor(int slot, const QColor& color)
{
    if (slot >= 0)
        content_.annotations[slot].color = color;
}

void PESGraph::clearGraphAnnotations()
{
    content_.annotations.clear();
}

double PESGraph::vertLineAnnotation(int index) const
{
    const auto it = content_.vertLines.find(index);
    return it == content_.vertLines.end() ? 0.0 : it->second.x;
}
QString PESGraph::vertLineAnnotationText(int index) const
{
    const auto it = content_.vertLines.find(index);
    return it == content_.vertLines.end() ? QString() : it->second.text;
}
QColor PESGraph::vertLineAnnotationColor(int index) const
{
    const auto it = content_.vertLines.find(index);
    return it == content_.vertLines.end() ? QColor() : it->second.color;
}
void PESGraph::setMarks(const PESGraphMarks& marks)
{
    if (marks == marks_)
        return;
    marks_ = marks;
    marksChanged_ = true;
}

void PESGraph::setVertLineAnnotation(int index, double x)
{
    if (index >= 0)
        content_.vertLines[index].x = x;
}
void PESGraph::setVertLineAnnotationText(int index, const QString& text)
{
    if (index >= 0)
        content_.vertLines[index].text = text;
}
void PESGraph::setVertLineAnnotationColor(int index, const QColor& color)
{
    if (index >= 0)
        content_.vertLines[index].color = color;
}

// ---- Applying state to the plot ---------------------------------------------

double PESGraph::keyOf(double x) const
{
    return look_.dateTimeMode ? PESGraphTime::daysToKey(x) : x;
}

double PESGraph::xOfKey(double key) const
{
    return look_.dateTimeMode ? PESGraphTime::keyToDays(key) : key;
}

void PESGraph::syncData() const
{
    const int mode = look_.dateTimeMode ? 1 : 0;
    if (mode != appliedDateTimeMode_) {
        for (auto& mirror : mirrors_)
            mirror->markAllChanged();
        appliedDateTimeMode_ = mode;
    }
    const bool dateTime = look_.dateTimeMode;
    const auto keyOf = [dateTime](double x) { return dateTime ? PESGraphTime::daysToKey(x) : x; };
    for (size_t s = 0; s < mirrors_.size(); ++s) {
        mirrors_[s]->sync(content_.series[s], content_.points, keyOf);
        QCPGraph* graph = mirrors_[s]->graph();
        const bool lone = graph->data()->size() == 1;
        if (lone == (graph->scatterStyle().shape() != QCPScatterStyle::ssNone))
            continue;
        // Large enough to be seen where a lone point usually is: on the
        // plot's left edge (the set's start), under the cursor lines.
        graph->setScatterStyle(lone ? QCPScatterStyle(QCPScatterStyle::ssDisc, 11)
                                    : QCPScatterStyle(QCPScatterStyle::ssNone));
    }
}

void PESGraph::placeTitles()
{
    QCPLayoutGrid* layout = plot_->plotLayout();
    for (QCPTextElement** element : {&mainTitle_, &subTitle_}) {
        if (*element) {
            layout->remove(*element);
            *element = nullptr;
        }
    }
    layout->simplify();
    const auto addTitle = [&](const QString& text, const QFont& font) {
        layout->insertRow(0);
        auto* element = new QCPTextElement(plot_, text, font);
        element->setTextColor(look_.textColor);
        layout->addElement(0, 0, element);
        return element;
    };
    QFont subFont = toFont(look_.titleFont);
    subFont.setPointSizeF(std::max(6.0, look_.titleFont.pointSize * 0.8));
    subFont.setBold(false);
    if (!look_.subTitle.trimmed().isEmpty())
        subTitle_ = addTitle(look_.subTitle, subFont);
    if (!look_.mainTitle.trimmed().isEmpty())
        mainTitle_ = addTitle(look_.mainTitle, toFont(look_.titleFont));
}

void PESGraph::applyLook()
{
    plot_->setBackground(look_.deskColor);
    axisRect_->setBackground(look_.graphBackColor);
    placeTitles();

    const QFont labelFont = toFont(look_.labelFont);
    const QPen forePen(look_.graphForeColor, 1.0);
    for (QCPAxis* axis : {plot_->xAxis, plot_->yAxis, plot_->xAxis2, plot_->yAxis2}) {
        const bool isY = axis == plot_->yAxis;
        const QPen pen = isY && look_.yAxisColor.isValid() ? QPen(look_.yAxisColor, 1.0) : forePen;
        axis->setBasePen(pen);
        axis->setTickPen(pen);
        axis->setSubTickPen(pen);
        axis->setTickLabelColor(look_.textColor);
        axis->setLabelColor(look_.textColor);
        axis->setTickLabelFont(labelFont);
        axis->setLabelFont(labelFont);
        axis->grid()->setPen(gridPen(look_.graphForeColor, look_.gridStyle));
        axis->grid()->setZeroLinePen(Qt::NoPen);
    }
    plot_->xAxis->setLabel(look_.xAxisLabel);
    plot_->yAxis->setLabel(look_.yAxisLabel);
    plot_->xAxis->grid()->setVisible(look_.gridLines == PESGridLines::Both ||
                                     look_.gridLines == PESGridLines::XOnly);
    plot_->yAxis->grid()->setVisible(look_.gridLines == PESGridLines::Both ||
                                     look_.gridLines == PESGridLines::YOnly);
    if (look_.dateTimeMode)
        plot_->xAxis->setTicker(QSharedPointer<PESGraphDateTimeTicker>::create(plot_->xAxis));
    else
        plot_->xAxis->setTicker(QSharedPointer<QCPAxisTicker>::create());

    for (int s = 0; s < int(mirrors_.size()); ++s)
        mirrors_[size_t(s)]->graph()->setPen(
            seriesPen(look_.subsetColor(s), look_.subsetLineType(s)));

    // Room for the scroll bars is kept whether or not they show, so that
    // the plotting rectangle does not move when the view is zoomed.
    plot_->plotLayout()->setMargins(
        QMargins(0, 0, look_.scrollingVertZoom ? vScroll_->sizeHint().width() : 0,
                 look_.scrollingHorzZoom ? hScroll_->sizeHint().height() : 0));
    lookDirty_ = false;
    layoutDirty_ = true;
}

void PESGraph::applyScales()
{
    const auto dataRange = [this](bool keys, bool& found) {
        QCPRange range;
        found = false;
        for (auto& mirror : mirrors_) {
            bool foundHere = false;
            const QCPRange r = keys ? mirror->graph()->data()->keyRange(foundHere)
                                    : mirror->graph()->data()->valueRange(foundHere);
            if (!foundHere)
                continue;
            range = found ? QCPRange(std::min(range.lower, r.lower), std::max(range.upper, r.upper))
                          : r;
            found = true;
        }
        return range;
    };
    const auto resolve = [&](const PESGraphScale& scale, bool keys, double minimumSpan) {
        double lower = keys ? keyOf(scale.min) : scale.min;
        double upper = keys ? keyOf(scale.max) : scale.max;
        const bool manualMin =
            scale.control == PESManualScale::Min || scale.control == PESManualScale::MinMax;
        const bool manualMax =
            scale.control == PESManualScale::Max || scale.control == PESManualScale::MinMax;
        if (!manualMin || !manualMax) {
            bool found = false;
            const QCPRange data = dataRange(keys, found);
            if (found) {
                if (!manualMin)
                    lower = data.lower;
                if (!manualMax)
                    upper = data.upper;
            }
        }
        return usableRange(lower, upper, minimumSpan);
    };
    const QCPRange x = resolve(content_.scaleX, true, look_.dateTimeMode ? 1.0 : 1e-9);
    const QCPRange y = resolve(content_.scaleY, false, 1e-6);
    if (zoomed_) {
        unzoomedX_[0] = x.lower;
        unzoomedX_[1] = x.upper;
        unzoomedY_[0] = y.lower;
        unzoomedY_[1] = y.upper;
        updateScrollBars();
    } else {
        plot_->xAxis->setRange(x);
        plot_->yAxis->setRange(y);
    }
    plot_->xAxis2->setRange(plot_->xAxis->range());
    plot_->yAxis2->setRange(plot_->yAxis->range());
    layoutDirty_ = true; // tick labels, and so the margins, follow the ranges
}

void PESGraph::reinitialize()
{
    syncData();
    // The look is rebuilt only when it changed: real-time recording
    // reinitialises after every sample.
    if (lookDirty_)
        applyLook();
    applyScales();
}

void PESGraph::redraw()
{
    if (lookDirty_)
        applyLook();
    syncData();
    if (content_.scaleX.control != PESManualScale::MinMax ||
        content_.scaleY.control != PESManualScale::MinMax)
        applyScales();
    plot_->xAxis2->setRange(plot_->xAxis->range());
    plot_->yAxis2->setRange(plot_->yAxis->range());
    // New marks lie all over the plot: not a matter of the series' new end.
    if (marksChanged_ || !drawTailOnly())
        plot_->replot(QCustomPlot::rpQueuedRefresh);
    marksChanged_ = false;
    layoutDirty_ = false;
}

bool PESGraph::drawTailOnly()
{
    if (mirrors_.size() != 1)
        return false;
    auto* graph = dynamic_cast<PESGraphEnvelopeGraph*>(mirrors_[0]->graph());
    return graph && tail_->drawTail(look_, content_, *graph);
}

void PESGraph::ensureLayout() const
{
    // Geometry questions may come between a change and the next paint; lay
    // the plot out the way QCustomPlot's replot does, without drawing.
    if (!layoutDirty_)
        return;
    QCPLayoutGrid* layout = plot_->plotLayout();
    layout->update(QCPLayoutElement::upPreparation);
    layout->update(QCPLayoutElement::upMargins);
    layout->update(QCPLayoutElement::upLayout);
    layoutDirty_ = false;
}

// ---- Geometry ----------------------------------------------------------------

QRect PESGraph::plottingRect() const
{
    ensureLayout();
    const QRect r = axisRect_->rect();
    return QRect(r.left(), r.top(), r.width(), r.height());
}

QPointF PESGraph::pixelToValue(const QPointF& pixel) const
{
    ensureLayout();
    return QPointF(xOfKey(plot_->xAxis->pixelToCoord(pixel.x())),
                   plot_->yAxis->pixelToCoord(pixel.y()));
}

QPointF PESGraph::valueToPixel(double x, double y) const
{
    ensureLayout();
    return QPointF(plot_->xAxis->coordToPixel(keyOf(x)), plot_->yAxis->coordToPixel(y));
}

QPointF PESGraph::visibleRangeX() const
{
    const QCPRange r = plot_->xAxis->range();
    return QPointF(xOfKey(r.lower), xOfKey(r.upper));
}

QPointF PESGraph::visibleRangeY() const
{
    const QCPRange r = plot_->yAxis->range();
    return QPointF(r.lower, r.upper);
}

std::optional<PESHotSpot> PESGraph::dataPointNear(const QPointF& pixel) const
{
    const QCPRange keys(plot_->xAxis->pixelToCoord(pixel.x() - kDataHotSpotRadius),
                        plot_->xAxis->pixelToCoord(pixel.x() + kDataHotSpotRadius));
    std::optional<PESHotSpot> best;
    double bestDistance = kDataHotSpotRadius * kDataHotSpotRadius;
    for (size_t s = 0; s < mirrors_.size(); ++s) {
        const QCPGraphDataContainer& data = *mirrors_[s]->graph()->data();
        auto it = data.findBegin(keys.lower, false);
        const auto end = data.findEnd(keys.upper, false);
        for (; it != end; ++it) {
            const double dx = plot_->xAxis->coordToPixel(it->key) - pixel.x();
            const double dy = plot_->yAxis->coordToPixel(it->value) - pixel.y();
            const double distance = dx * dx + dy * dy;
            if (distance <= bestDistance) {
                bestDistance = distance;
                const int entry = int(it - data.constBegin());
                best = PESHotSpot{PESHotSpot::Kind::DataPoint, int(s),
                                  mirrors_[s]->pointOfEntry(entry)};
            }
        }
    }
    return best;
}

PESHotSpot PESGraph::hotSpotAt(const QPoint& pixel) const
{
    ensureLayout();
    if (const auto line = overlay_->vertLineAt(pixel))
        return PESHotSpot{PESHotSpot::Kind::VertLine, -1, *line};
    if (const auto slot = overlay_->annotationAt(pixel))
        return PESHotSpot{PESHotSpot::Kind::GraphAnnotation, -1, *slot};
    if (QRect(plottingRect()).contains(pixel)) {
        syncData();
        if (const auto point = dataPointNear(pixel))
            return *point;
    }
    return {};
}

// ---- Zoom --------------------------------------------------------------------

void PESGraph::zoomTo(double xMin, double xMax, double yMin, double yMax)
{
    if (!zoomed_) {
        unzoomedX_[0] = plot_->xAxis->range().lower;
        unzoomedX_[1] = plot_->xAxis->range().upper;
        unzoomedY_[0] = plot_->yAxis->range().lower;
        unzoomedY_[1] = plot_->yAxis->range().upper;
        zoomed_ = true;
    }
    plot_->xAxis->setRange(usableRange(keyOf(xMin), keyOf(xMax), 1e-3));
    plot_->yAxis->setRange(usableRange(yMin, yMax, 1e-6));
    updateScrollBars();
    redraw();
    emit zoomedIn();
}

void PESGraph::applyZoomRect(const QRect& band)
{
    const QPointF a = pixelToValue(band.topLeft());
    const QPointF b = pixelToValue(band.bottomRight() + QPoint(1, 1));
    const QPointF xRange = visibleRangeX();
    const QPointF yRange = visibleRangeY();
    const bool zoomX =
        look_.allowZooming == PESZoomMode::Horizontal || look_.allowZooming == PESZoomMode::Both;
    const bool zoomY =
        look_.allowZooming == PESZoomMode::Vertical || look_.allowZooming == PESZoomMode::Both;
    zoomTo(zoomX ? std::min(a.x(), b.x()) : xRange.x(), zoomX ? std::max(a.x(), b.x()) : xRange.y(),
           zoomY ? std::min(a.y(), b.y()) : yRange.x(),
           zoomY ? std::max(a.y(), b.y()) : yRange.y());
}

void PESGraph::undoZoom()
{
    if (!zoomed_)
        return;
    zoomed_ = false;
    plot_->xAxis->setRange(unzoomedX_[0], unzoomedX_[1]);
    plot_->yAxis->setRange(unzoomedY_[0], unzoomedY_[1]);
    updateScrollBars();
    redraw();
    emit zoomUndone();
}

void PESGraph::dropZoom()
{
    if (!zoomed_)
        return;
    zoomed_ = false;
    updateScrollBars();
    emit zoomUndone();
}

void PESGraph::updateScrollBars()
{
    updatingScrollBars_ = true;
    const auto setUp = [](QScrollBar* bar, bool enabled, const QCPRange& visible, double fullLo,
                          double fullHi) {
        const double full = std::max(fullHi, visible.upper) - std::min(fullLo, visible.lower);
        if (!enabled || full <= 0 || visible.size() >= full * 0.999) {
            bar->hide();
            return;
        }
        const double lo = std::min(fullLo, visible.lower);
        const int page = std::max(1, int(std::lround(kScrollSteps * visible.size() / full)));
        bar->setRange(0, kScrollSteps - page);
        bar->setPageStep(page);
        bar->setSingleStep(std::max(1, page / 10));
        bar->setValue(int(std::lround(kScrollSteps * (visible.lower - lo) / full)));
        bar->show();
        bar->raise();
    };
    setUp(hScroll_, zoomed_ && look_.scrollingHorzZoom, plot_->xAxis->range(), unzoomedX_[0],
          unzoomedX_[1]);
    // A vertical bar grows downwards while values grow upwards.
    const QCPRange y = plot_->yAxis->range();
    const QCPRange flipped(-y.upper, -y.lower);
    setUp(vScroll_, zoomed_ && look_.scrollingVertZoom, flipped, -unzoomedY_[1], -unzoomedY_[0]);
    updatingScrollBars_ = false;
}

void PESGraph::scrollBarMoved()
{
    if (updatingScrollBars_ || !zoomed_)
        return;
    if (hScroll_->isVisible()) {
        const QCPRange visible = plot_->xAxis->range();
        const double lo = std::min(unzoomedX_[0], visible.lower);
        const double full = std::max(unzoomedX_[1], visible.upper) - lo;
        const double lower = lo + full * hScroll_->value() / kScrollSteps;
        plot_->xAxis->setRange(lower, lower + visible.size());
    }
    if (vScroll_->isVisible()) {
        const QCPRange visible = plot_->yAxis->range();
        const double hi = std::max(unzoomedY_[1], visible.upper);
        const double full = hi - std::min(unzoomedY_[0], visible.lower);
        const double upper = hi - full * vScroll_->value() / kScrollSteps;
        plot_->yAxis->setRange(upper - visible.size(), upper);
    }
    redraw();
}

void PESGraph::handleWheel(int delta, bool vertical)
{
    if (!zoomed_ || delta == 0)
        return;
    QScrollBar* bar = vertical ? vScroll_ : hScroll_;
    if (!bar->isVisible())
        return;
    const int step = std::max(1, int(bar->pageStep() * kWheelScrollFraction));
    // Wheel up scrolls toward earlier times and higher levels.
    bar->setValue(bar->value() + (delta > 0 ? -step : step));
}

// ---- Mouse ----------------------------------------------------------------------

bool PESGraph::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != plot_)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    // The second press of a quick pair arrives as a double click; it is a
    // press all the same, or that click would be lost.
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto* e = static_cast<QMouseEvent*>(event);
        handlePress(e->position().toPoint(), e->button());
        return true;
    }
    case QEvent::MouseMove:
        handleMove(static_cast<QMouseEvent*>(event)->position().toPoint());
        return true;
    case QEvent::MouseButtonRelease: {
        auto* e = static_cast<QMouseEvent*>(event);
        handleRelease(e->position().toPoint(), e->button());
        return true;
    }
    case QEvent::Wheel: {
        auto* e = static_cast<QWheelEvent*>(event);
        const bool vertical = e->modifiers().testFlag(Qt::ShiftModifier);
        handleWheel(e->angleDelta().y() != 0 ? e->angleDelta().y() : e->angleDelta().x(), vertical);
        return true;
    }
    default:
        return QWidget::eventFilter(watched, event);
    }
}

void PESGraph::handlePress(const QPoint& pos, Qt::MouseButton button)
{
    lastMouse_ = pos;
    if (button == Qt::RightButton) {
        if (look_.allowPopup)
            showPopup(pos);
        return;
    }
    if (button != Qt::LeftButton)
        return;
    pressPos_ = pos;
    pressActive_ = true;
    bandActive_ = false;
    const PESHotSpot spot = hotSpotAt(pos);
    if (spot.kind == PESHotSpot::Kind::VertLine && look_.allowVertLineAnnotHotSpots) {
        pressActive_ = false; // a press on a cursor line starts no rubber band
        emit vertLineHotSpot(spot.index);
    } else if (spot.kind == PESHotSpot::Kind::GraphAnnotation && look_.allowGraphAnnotHotSpots) {
        emit graphAnnotationHotSpot(spot.index);
    } else if (look_.allowDataHotSpots) {
        PESHotSpot point = spot;
        if (spot.kind != PESHotSpot::Kind::DataPoint && plottingRect().contains(pos)) {
            syncData();
            point = dataPointNear(pos).value_or(PESHotSpot{});
        }
        if (point.kind == PESHotSpot::Kind::DataPoint)
            emit dataHotSpot(point.subset, point.index);
    }
}

void PESGraph::handleMove(const QPoint& pos)
{
    lastMouse_ = pos;
    if (pressActive_ && look_.allowZooming != PESZoomMode::None &&
        plottingRect().contains(pressPos_)) {
        if (!bandActive_ &&
            (pos - pressPos_).manhattanLength() >= QApplication::startDragDistance())
            bandActive_ = true;
        if (bandActive_) {
            const QRect area = plottingRect();
            QRect band = QRect(pressPos_, pos).normalized().intersected(area);
            if (look_.allowZooming == PESZoomMode::Horizontal)
                band = QRect(band.left(), area.top(), band.width(), area.height());
            else if (look_.allowZooming == PESZoomMode::Vertical)
                band = QRect(area.left(), band.top(), area.width(), band.height());
            rubberBand_->setGeometry(band);
            rubberBand_->show();
        }
    }
    emit mouseMoved(pos);
}

void PESGraph::handleRelease(const QPoint& pos, Qt::MouseButton button)
{
    lastMouse_ = pos;
    const bool wasBand = bandActive_;
    pressActive_ = false;
    bandActive_ = false;
    if (wasBand) {
        const QRect band = rubberBand_->geometry();
        rubberBand_->hide();
        const bool zoomX = look_.allowZooming == PESZoomMode::Horizontal ||
                           look_.allowZooming == PESZoomMode::Both;
        const bool zoomY =
            look_.allowZooming == PESZoomMode::Vertical || look_.allowZooming == PESZoomMode::Both;
        if ((!zoomX || band.width() >= kMinZoomBandPixels) &&
            (!zoomY || band.height() >= kMinZoomBandPixels))
            applyZoomRect(band);
    } else if (button == Qt::LeftButton) {
        emit clicked(pos);
    }
    emit mouseReleased(pos);
}

void PESGraph::showPopup(const QPoint& pos)
{
    QMenu menu(this);
    QAction* customizeAction = menu.addAction(tr("Customize..."));
    QAction* undoAction = menu.addAction(tr("Undo Zoom"));
    undoAction->setEnabled(zoomed_);
    QAction* printAction = menu.addAction(tr("Print..."));
    QAction* chosen = menu.exec(plot_->mapToGlobal(pos));
    if (chosen == customizeAction)
        customize();
    else if (chosen == undoAction)
        undoZoom();
    else if (chosen == printAction)
        printDialog();
}

void PESGraph::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    plot_->setGeometry(rect());
    layoutDirty_ = true;
    const int barW = vScroll_->sizeHint().width();
    const int barH = hScroll_->sizeHint().height();
    hScroll_->setGeometry(0, height() - barH, width() - (look_.scrollingVertZoom ? barW : 0), barH);
    vScroll_->setGeometry(width() - barW, 0, barW, height() - (look_.scrollingHorzZoom ? barH : 0));
}

// ---- Actions ----------------------------------------------------------------------

bool PESGraph::customize()
{
    std::set<PESCustomizePage> pages;
    for (int p = int(PESCustomizePage::General); p <= int(PESCustomizePage::Axis); ++p)
        if (customizePageEnabled(PESCustomizePage(p)))
            pages.insert(PESCustomizePage(p));
    if (pages.empty())
        return false;
    PESGraphCustomizeDialog dialog(look_, content_.scaleY, subsets(), pages, this);
    const bool accepted = dialogExec_(dialog) == QDialog::Accepted;
    if (accepted) {
        setLook(dialog.look());
        if (pages.count(PESCustomizePage::Axis))
            content_.scaleY = dialog.scaleY();
        reinitialize();
        redraw();
    }
    emit customizeDialogClosed(accepted);
    return accepted;
}

bool PESGraph::print(QPrinter& printer)
{
    if (lookDirty_)
        applyLook();
    syncData();
    const QSize size =
        plot_->size().isValid() && plot_->width() > 50 ? plot_->size() : QSize(1000, 620);
    // Painting at screen resolution keeps the fonts in proportion with the
    // layout, which QCustomPlot computes in screen pixels.
    const int oldResolution = printer.resolution();
    printer.setResolution(96);
    QCPPainter painter;
    if (!painter.begin(&printer)) {
        printer.setResolution(oldResolution);
        return false;
    }
    painter.setMode(QCPPainter::pmVectorized);
    painter.setMode(QCPPainter::pmNoCaching);
    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
    const double scale = std::min(page.width() / size.width(), page.height() / size.height());
    painter.scale(scale, scale);
    plot_->toPainter(&painter, size.width(), size.height());
    painter.end();
    printer.setResolution(oldResolution);
    return true;
}

void PESGraph::render(QPainter& painter, const QRectF& target)
{
    if (lookDirty_)
        applyLook();
    syncData();
    const QSize size =
        plot_->size().isValid() && plot_->width() > 50 ? plot_->size() : QSize(1000, 620);
    // Recorded as a picture first: the plot draws only on a QCPPainter of
    // its own, and the picture replays it on any painter as vectors.
    QPicture picture;
    {
        QCPPainter recorder(&picture);
        recorder.setMode(QCPPainter::pmVectorized);
        recorder.setMode(QCPPainter::pmNoCaching);
        plot_->toPainter(&recorder, size.width(), size.height());
    }
    painter.save();
    painter.translate(target.topLeft());
    painter.scale(target.width() / size.width(), target.height() / size.height());
    painter.drawPicture(0, 0, picture);
    painter.restore();
}

bool PESGraph::printDialog()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    return printDialog(printer);
}

bool PESGraph::printDialog(QPrinter& printer)
{
    QPrintDialog dialog(&printer, this);
    if (dialogExec_(dialog) != QDialog::Accepted)
        return false;
    return print(printer);
}

void PESGraph::setDialogExec(DialogExec exec)
{
    dialogExec_ =
        exec ? std::move(exec) : DialogExec([](QDialog& dialog) { return dialog.exec(); });
}

void PESGraph::PEactions(int code)
{
    switch (code) {
    case ActionStateLoaded:
    case ActionReinitialize:
        reinitialize();
        break;
    case ActionRedraw:
        redraw();
        break;
    case ActionCustomize:
        customize();
        break;
    case ActionPrintDialog:
        printDialog();
        break;
    case ActionUndoZoom:
        undoZoom();
        break;
    default:
        break;
    }
}

void PESGraph::setCustomizePageEnabled(PESCustomizePage page, bool enabled)
{
    if (enabled)
        disabledPages_.erase(page);
    else
        disabledPages_.insert(page);
}

bool PESGraph::customizePageEnabled(PESCustomizePage page) const
{
    return disabledPages_.count(page) == 0;
}

// ---- Blocks -------------------------------------------------------------------------

QByteArray PESGraph::saveWholeGraph() const
{
    return PESGraphBlock::encodeWhole(PESGraphState{look_, content_});
}

QByteArray PESGraph::saveCustomization() const
{
    return PESGraphBlock::encodeCustomization(look_);
}

bool PESGraph::loadWholeGraph(const QByteArray& block)
{
    auto state = PESGraphBlock::decodeWhole(block);
    if (!state)
        return false;
    look_ = std::move(state->look);
    content_ = std::move(state->content);
    rebuildMirrors();
    lookChanged();
    applyCursor();
    return true;
}

bool PESGraph::loadCustomization(const QByteArray& block)
{
    auto look = PESGraphBlock::decodeCustomization(block);
    if (!look)
        return false;
    setLook(*look);
    return true;
}
