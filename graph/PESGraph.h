#pragma once

// PESGraph: the program's charting component, a widget over QCustomPlot.
//
// Model. The chart holds `subsets()` series of `points()` points each. X is a
// 64-bit date-time (days since 30 December 1899, local wall-clock time, the
// fraction being the time of day) in date-time mode, a plain number
// otherwise; Y is a 32-bit float (a level in dB). A point whose X is exactly
// 0 holds no sample and is not drawn. The arrays kept here are the source of
// truth; the plot is brought up to date lazily, and only where it changed,
// by redraw() and reinitialize().
//
// Usage. Set properties, then call reinitialize() (apply look and scales)
// and redraw() (bring the data over and paint). Property setters alone do
// not repaint. After loading a block, call reinitialize().
//
// Mouse. Left-drag draws a rubber band that zooms (allowZooming); while
// zoomed, scroll bars and the wheel (Shift+wheel: Y) scroll the view and
// undoZoom() restores the ranges from before the first zoom. A left press
// reports hot spots (when their switches are on); a left click without a
// drag reports clicked(). Right click opens a small menu when allowPopup.
//
// A series with a single point to draw shows it as a dot: a line needs two.
//
// Pixels are widget pixels of the PESGraph itself.

#include "graph/PESGraphContent.h"
#include "graph/PESGraphLook.h"

#include <QByteArray>
#include <QCursor>
#include <QPoint>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <vector>

class QCustomPlot;
class QCPAxisRect;
class QDialog;
class QCPTextElement;
class QPainter;
class QPrinter;
class QRubberBand;
class QScrollBar;
class PESGraphOverlay;
class PESGraphSeriesMirror;
class PESGraphTailDrawer;

// Pages of the customisation dialog.
enum class PESCustomizePage : int
{
    General = 0, // first general page: titles and axis labels
    Style = 1,   // second general page: grid, annotation and zoom switches
    Colors = 2,
    Subsets = 3, // series colours and line types
    Fonts = 4,
    Axis = 5 // manual Y scale
};

// What lies under a pixel (see hotSpotAt).
struct PESHotSpot
{
    enum class Kind
    {
        None,
        DataPoint,
        VertLine,
        GraphAnnotation
    };
    Kind kind = Kind::None;
    int subset = -1; // DataPoint
    int index = -1;  // DataPoint: point; VertLine: line index; GraphAnnotation: slot
};

class PESGraph : public QWidget
{
    Q_OBJECT

public:
    // Action codes understood by PEactions().
    enum Action : int
    {
        ActionStateLoaded = 0,
        ActionReinitialize = 2,
        ActionRedraw = 3,
        ActionCustomize = 5,
        ActionPrintDialog = 8,
        ActionUndoZoom = 19
    };

    explicit PESGraph(QWidget* parent = nullptr);
    ~PESGraph() override;

    // ---- Series -------------------------------------------------------
    int subsets() const { return int(content_.series.size()); }
    void setSubsets(int count); // new series start with `points()` zero points
    int points() const { return content_.points; }
    void setPoints(int count); // keeps existing values, new points are 0

    // Point access. Reads outside the series return 0; writes outside it are
    // ignored. Writing at point -1 fills the whole series with the value
    // (0 clears it). Writes are O(1).
    double xDataII(int subset, int point) const;
    void setXDataII(int subset, int point, double x);
    float yData(int subset, int point) const;
    void setYData(int subset, int point, float y);

    // The X and Y values of a series, points() long; empty for a subset
    // that does not exist. Valid until the series next changes.
    std::span<const double> xSeries(int subset) const;
    std::span<const float> ySeries(int subset) const;

    // Block sets: `count` values into subset 0 from point 0. Points grows to
    // `count` when it is smaller; a chart without series gets one.
    void setXDataBlock(const double* values, int count);
    void setYDataBlock(const float* values, int count);

    // Appends one point to every series (subset 0 gets x and y, the others
    // 0) without copying the series.
    void appendPoint(double x, float y);

    // Changes with every change of the series other than a write of single
    // points (point count, series count, fills, blocks, a loaded chart), so
    // that figures kept up to date point by point know when to start over.
    [[nodiscard]] quint64 seriesRevision() const { return seriesRevision_; }

    // ---- Scales -------------------------------------------------------
    // An end that is not manual follows the data at reinitialize().
    PESManualScale manualScaleControlX() const { return content_.scaleX.control; }
    void setManualScaleControlX(PESManualScale control);
    double manualMinX() const { return content_.scaleX.min; }
    void setManualMinX(double x);
    double manualMaxX() const { return content_.scaleX.max; }
    void setManualMaxX(double x);
    PESManualScale manualScaleControlY() const { return content_.scaleY.control; }
    void setManualScaleControlY(PESManualScale control);
    double manualMinY() const { return content_.scaleY.min; }
    void setManualMinY(double y);
    double manualMaxY() const { return content_.scaleY.max; }
    void setManualMaxY(double y);

    // ---- Look ---------------------------------------------------------
    const PESGraphLook& look() const { return look_; }
    void setLook(const PESGraphLook& look);
    // The program's look (PESGraphLook::programDefault()); cursor line 0
    // blue and line 1 red.
    void setDefaultLook();

    void setMainTitle(const QString& title);
    void setSubTitle(const QString& title);
    void setXAxisLabel(const QString& label);
    void setYAxisLabel(const QString& label);
    void setGraphForeColor(const QColor& color);
    void setGraphBackColor(const QColor& color);
    void setDeskColor(const QColor& color);
    void setTextColor(const QColor& color);
    void setYAxisColor(const QColor& color);
    void setSubsetColor(int subset, const QColor& color);
    void setSubsetLineType(int subset, PESLineType type);
    void setGridStyle(PESGridStyle style);
    void setDateTimeMode(bool on);
    void setUsingXDataII(bool on);
    void setShowGraphAnnotations(bool show);
    void setShowVertLineAnnotations(bool show);
    void setAllowDataHotSpots(bool allow);
    void setAllowVertLineAnnotHotSpots(bool allow);
    void setAllowGraphAnnotHotSpots(bool allow);
    void setAllowZooming(PESZoomMode mode);
    void setScrollingHorzZoom(bool on);
    void setScrollingVertZoom(bool on);
    void setAllowPopup(bool allow);
    void setLineAnnotationTextSize(int percent);
    void setGraphAnnotationTextSize(int percent);

    // The mouse pointer over the chart; a custom cursor overrides the arrow
    // cursor until setArrowCursor is called again. Takes effect at once.
    void setArrowCursor(PESArrowCursor cursor);
    void setCustomCursor(const QCursor& cursor);

    // ---- Graph annotations (numbered slots) -----------------------------
    // A slot never written reads as type TextOnly, empty text, X = Y = 0.
    PESGraphAnnotation graphAnnotation(int slot) const;
    void setGraphAnnotation(int slot, const PESGraphAnnotation& annotation);
    double graphAnnotationX(int slot) const { return graphAnnotation(slot).x; }
    void setGraphAnnotationX(int slot, double x);
    double graphAnnotationY(int slot) const { return graphAnnotation(slot).y; }
    void setGraphAnnotationY(int slot, double y);
    PESAnnotationType graphAnnotationType(int slot) const { return graphAnnotation(slot).type; }
    void setGraphAnnotationType(int slot, PESAnnotationType type);
    QString graphAnnotationText(int slot) const { return graphAnnotation(slot).text; }
    void setGraphAnnotationText(int slot, const QString& text);
    QColor graphAnnotationColor(int slot) const { return graphAnnotation(slot).color; }
    void setGraphAnnotationColor(int slot, const QColor& color);
    void clearGraphAnnotations();

    // ---- Vertical line annotations (0 = cursor A, 1 = cursor B) ---------
    double vertLineAnnotation(int index) const;
    void setVertLineAnnotation(int index, double x);
    QString vertLineAnnotationText(int index) const;
    void setVertLineAnnotationText(int index, const QString& text);
    QColor vertLineAnnotationColor(int index) const;
    void setVertLineAnnotationColor(int index, const QColor& color);

    // ---- Marks over the plot (see PESGraphMarks) ------------------------
    // Shown from the next redraw(); empty marks take them away.
    [[nodiscard]] const PESGraphMarks& marks() const { return marks_; }
    void setMarks(const PESGraphMarks& marks);

    // ---- Geometry and mouse ---------------------------------------------
    // The last mouse position over the chart, in widget pixels.
    QPoint lastMousePosition() const { return lastMouse_; }
    // The plotting rectangle in widget pixels; right() and bottom() are the
    // last pixels inside it (edges belong to it).
    QRect plottingRect() const;
    // Pixel <-> value over the plotting rectangle, for the visible ranges.
    // X is in chart units (days in date-time mode).
    QPointF pixelToValue(const QPointF& pixel) const;
    QPointF valueToPixel(double x, double y) const;
    // What lies under a pixel: a cursor line, then an annotation, then the
    // nearest data point within a few pixels. Ignores the hot-spot switches.
    PESHotSpot hotSpotAt(const QPoint& pixel) const;

    // ---- Zoom -------------------------------------------------------------
    bool isZoomed() const { return zoomed_; }
    // Zooms to the given visible ranges (X in chart units) as the rubber
    // band does, and reports zoomedIn().
    void zoomTo(double xMin, double xMax, double yMin, double yMax);
    // The visible ranges (X in chart units).
    QPointF visibleRangeX() const;
    QPointF visibleRangeY() const;
    // Restores the ranges from before the first zoom.
    void undoZoom();
    // Leaves the zoom without drawing (reports zoomUndone()); the next
    // reinitialize() sets the ranges from the scales.
    void dropZoom();

    // ---- Actions ------------------------------------------------------------
    void reinitialize(); // apply look and scales
    void redraw();       // bring changed data over and paint
    // Opens the customisation dialog with the enabled pages; true when the
    // user accepted it (the look is then applied and the chart redrawn).
    bool customize();
    // Renders the chart, scaled to fit the page; false when the printer
    // could not be started.
    [[nodiscard]] bool print(QPrinter& printer);
    // Draws the chart as it is laid out at its present size (vector, no
    // widget painting), scaled into `target` of an active painter. The
    // painter's device should have about screen resolution, so that the
    // fonts keep their proportion with the layout.
    void render(QPainter& painter, const QRectF& target);
    // The print dialog on a landscape printer of its own, then print();
    // false when cancelled or failed.
    bool printDialog();
    // The print dialog on the given printer (the choice made there stays
    // with it), then print(); false when cancelled or failed.
    bool printDialog(QPrinter& printer);

    // How the chart runs its modal dialogs (customisation and print
    // dialog): returns QDialog::Accepted or Rejected. The default is
    // QDialog::exec(); tests and callers with their own runner replace it.
    using DialogExec = std::function<int(QDialog& dialog)>;
    void setDialogExec(DialogExec exec);
    [[nodiscard]] const DialogExec& dialogExec() const { return dialogExec_; }
    // Dispatches an action code (see Action); unknown codes do nothing.
    void PEactions(int code);

    void setCustomizePageEnabled(PESCustomizePage page, bool enabled);
    bool customizePageEnabled(PESCustomizePage page) const;
    void setAllowSubsetsPage(bool allow)
    {
        setCustomizePageEnabled(PESCustomizePage::Subsets, allow);
    }
    void setAllowAxisPage(bool allow) { setCustomizePageEnabled(PESCustomizePage::Axis, allow); }

    // ---- Blocks -------------------------------------------------------------
    // The whole chart (look, series, scales, annotations, cursor lines) or
    // the customisation (look) alone. Loading refuses a damaged, truncated
    // or foreign block and then leaves the chart unchanged; after a
    // successful load call reinitialize() and redraw().
    QByteArray saveWholeGraph() const;
    [[nodiscard]] bool loadWholeGraph(const QByteArray& block);
    QByteArray saveCustomization() const;
    [[nodiscard]] bool loadCustomization(const QByteArray& block);

signals:
    void clicked(QPoint pos);                  // left click without rubber band
    void mouseMoved(QPoint pos);               // any move over the chart
    void mouseReleased(QPoint pos);            // any button released over the chart
    void zoomedIn();                           // the view was zoomed (rubber band or zoomTo)
    void zoomUndone();                         // undoZoom() restored the ranges
    void dataHotSpot(int subset, int point);   // left press near a data point
    void vertLineHotSpot(int index);           // left press on a cursor line
    void graphAnnotationHotSpot(int slot);     // left press on an annotation
    void customizeDialogClosed(bool accepted); // the customisation dialog closed

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void syncData() const;
    bool drawTailOnly();
    void applyLook();
    void applyScales();
    void placeTitles();
    void updateScrollBars();
    void scrollBarMoved();
    void ensureLayout() const;
    double keyOf(double x) const;
    double xOfKey(double key) const;
    bool validPoint(int subset, int point) const;
    void lookChanged();
    void rebuildMirrors();
    void applyCursor();
    void applyZoomRect(const QRect& band);
    void handlePress(const QPoint& pos, Qt::MouseButton button);
    void handleMove(const QPoint& pos);
    void handleRelease(const QPoint& pos, Qt::MouseButton button);
    void handleWheel(int delta, bool vertical);
    void showPopup(const QPoint& pos);
    std::optional<PESHotSpot> dataPointNear(const QPointF& pixel) const;

    PESGraphLook look_;
    PESGraphContent content_;
    PESGraphMarks marks_;
    bool marksChanged_ = false; // the next redraw draws the whole plot

    QCustomPlot* plot_;
    QCPAxisRect* axisRect_;
    QCPTextElement* mainTitle_ = nullptr;
    QCPTextElement* subTitle_ = nullptr;
    PESGraphOverlay* overlay_;
    std::vector<std::unique_ptr<PESGraphSeriesMirror>> mirrors_;
    std::unique_ptr<PESGraphTailDrawer> tail_;
    QScrollBar* hScroll_;
    QScrollBar* vScroll_;
    QRubberBand* rubberBand_;

    bool lookDirty_ = true;
    mutable bool layoutDirty_ = true;
    bool keysDirty_ = false;
    bool zoomed_ = false;
    bool updatingScrollBars_ = false;
    double unzoomedX_[2] = {0, 1}; // plot keys
    double unzoomedY_[2] = {0, 1};
    QPoint lastMouse_;
    QPoint pressPos_;
    bool pressActive_ = false;
    bool bandActive_ = false;
    std::optional<QCursor> customCursor_;
    std::set<PESCustomizePage> disabledPages_;
    DialogExec dialogExec_;
    quint64 seriesRevision_ = 0;
    mutable int appliedDateTimeMode_ = -1; // the X key mode the series mirrors were built in
};
