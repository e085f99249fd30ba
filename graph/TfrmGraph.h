#pragma once

// A graph window: an MDI child that plots one series of levels against
// date-time in its chart PESGraph1, with the statistics of the whole series
// above the chart, two line cursors placed with the dual-thumb slider Slider1
// and the statistics between them below it, a live coordinate readout
// (Panel12), annotations, zoom and, in the DataLogger graph, the list of the
// data sets of the last download (Grid2).
//
// Kinds, told apart by the caption: "Real-Time Graph" (RealTimeGraph),
// "DataLogger" (LoggerGraph), and tabular and file graphs (LastGraph) with
// the caption of their table or file. The program-wide state lives in the
// GraphWindowState the main window hands to every graph window.
//
// Entry points for the rest of the program:
// - prepareGraph(), then fill the series through graph(), then
//   updateGraphStatistic() (file and tabular graphs) or refreshGraph();
// - showDataSet(k) on the DataLogger graph, with setDataSetRows() for its list;
// - makeRealTimeGraph() once, right after creating the real-time graph; the
//   recorder writes its points through graph() and calls refreshGraphSoon();
// - the "Acoustic" box beside the chart shows the acoustic figures of the
//   whole series and between the cursors; the real-time recorder names the
//   weighting (setAcousticWeighting); refreshGraphSoon() updates the figures
//   as the series grows, from counts kept point by point. acousticFigures()
//   gives the same figures to others;
// - the "Events" panel under the chart (the tool bar's Events, hidden until
//   then) lists the exceedance events of the series; picking one puts the
//   cursors on its first and last sample, and the chart shades the events
//   and draws the threshold while the panel is shown;
// - saveRequested() asks the main window's Save command to save this window
//   (emitted by the close question before the window closes). A Save that
//   did not save sets LoggerDataUnsaved (or RealTimeDataUnsaved) again; the
//   window then stays open.

#include "acoustics/FigureNames.h"
#include "data/AcousticStatistics.h"
#include "data/ExportStatistic.h"
#include "graph/GraphWindowState.h"

#include <QElapsedTimer>
#include <QStringList>
#include <QWidget>

#include <optional>
#include <span>

class AcousticBox;
class GraphEventsPanel;
class PESGraph;
class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QSplitter;
class QTableWidget;
class QTimer;
class QToolBar;
class Tslider2;

class TfrmGraph : public QWidget
{
    Q_OBJECT

public:
    static inline const QString RealTimeCaption = QStringLiteral("Real-Time Graph");
    static inline const QString LoggerCaption = QStringLiteral("DataLogger");

    // Levels every caller plots between.
    static constexpr float GraphYMax = 130.0f;
    static constexpr float GraphYMin = 30.0f;

    explicit TfrmGraph(GraphWindowState& state, QWidget* parent = nullptr);
    ~TfrmGraph() override;

    [[nodiscard]] PESGraph* graph() const { return PESGraph1; }
    [[nodiscard]] Tslider2* slider() const { return Slider1; }
    [[nodiscard]] GraphWindowState& state() const { return state_; }

    // ---- Operations other parts of the program call ----------------------
    // Sets the chart up for new data: the template "template/graph.ghf" of
    // the data directory, or the program's look items when there is none or
    // it does not load (a look the user chose in this window's Graph Option
    // stays instead); then always the series and point counts, cleared Y
    // data, the cursor line colours, no popup, no series or axis page, the
    // Y scale fixed to yMin..yMax and, when xMin is not 0, the X scale to
    // xMin..xMax. Ends with refreshGraph().
    void prepareGraph(int seriesCount, float yMax, float yMin, double xMax, double xMin,
                      int pointCount);
    // Reinitialises and redraws the chart, and keeps the slider under the
    // plot; at once, with whatever refreshGraphSoon() had asked for.
    void refreshGraph();
    // The series grew: the acoustic figures and the chart follow it at the
    // next tick of one coalescing timer, at most 25 times a second, however
    // many points come in between (refreshGraph() meanwhile does it at once).
    void refreshGraphSoon();
    // A refreshGraphSoon() is still waiting for its tick.
    [[nodiscard]] bool refreshPending() const;
    // Milliseconds between the timer's ticks.
    static constexpr int RefreshIntervalMs = 40;
    // The statistics of the whole series, and the slider set to the series
    // (thumbs at N/3 and 2N/3). A series without points shows empty fields.
    void updateGraphStatistic();
    // Shows set k of state().dataSets with one redraw; a set without
    // samples shows its start time and rate over an empty chart. Refused
    // (false, nothing changes) when there is no such set or its samples are
    // not in the collection.
    bool showDataSet(int k);
    // The statistics between the cursors, from the slider's two values.
    void updateCursorStatistic();
    // The rows of the data set list (six texts each: number, date, time,
    // rate, count, weighting); the first row is selected without showing
    // its set, and the columns widen to their texts. Selecting another row,
    // by mouse or keyboard, shows its set (Grid2Click).
    void setDataSetRows(const QList<QStringList>& rows);
    // Shows or hides the data set list at the left (the DataLogger graph).
    void setDataSetsPanelVisible(bool visible);
    // Turns this window into the real-time graph: Clear visible, the chart
    // prepared for 2000 points from now at RealTimeInterval, "dB" on the Y
    // axis, the rate list a drop-down on the running interval.
    void makeRealTimeGraph();

    // ---- For the real-time recorder ----------------------------------------
    // Shows statistic texts of the whole series as they are.
    void showGraphStatisticTexts(const GraphStatisticTexts& texts);
    // Empties the cursor fields and the statistics between the cursors, and
    // takes the cursor lines off the chart (gone at the next redraw).
    void clearCursorTexts();
    // Places the slider quietly on a series of pointCount points (0..N-1,
    // thumbs at N/3 and 2N/3), then shows the cursors there without a
    // redraw.
    void placeSlider(int pointCount);
    void setClearEnabled(bool enabled);
    // The rate list's selected item (-1 when none), and selecting one
    // without the list's change handler.
    [[nodiscard]] int samplingRateIndex() const;
    void selectSamplingRate(int item);

    // ---- Acoustic figures ----------------------------------------------------
    // The levels the figures cover: every point, or in the real-time graph
    // the points recorded so far.
    [[nodiscard]] std::span<const float> acousticLevels() const;
    // Seconds between samples: the data set's interval, or else the spacing
    // of the first and last point's times (the real-time interval for a lone
    // real-time sample).
    [[nodiscard]] double acousticIntervalSeconds() const;
    // The weighting of the series: a data set's own, the real-time run's as
    // the recorder names it, none for file and tabular graphs (not known).
    [[nodiscard]] std::optional<AcousticWeighting> acousticWeighting() const
    {
        return acousticWeighting_;
    }
    void setAcousticWeighting(std::optional<AcousticWeighting> weighting);
    // The time weighting of the series: the real-time run's as the recorder
    // names it, otherwise not known.
    [[nodiscard]] TimeWeighting acousticTimeWeighting() const { return acousticTimeWeighting_; }
    void setAcousticTimeWeighting(TimeWeighting timeWeighting);
    // The threshold of the time above, as the box's field holds it (dB).
    [[nodiscard]] double acousticThreshold() const;
    // The figures of the whole series, or of the points between the
    // cursors (empty while the cursor fields are empty: no sample under a
    // thumb, or a recording running); computed afresh, whether or not the
    // box is shown.
    [[nodiscard]] AcousticFigures acousticFigures(bool betweenCursors) const;
    // Shows the whole series' figures again (the series changed). In the
    // real-time graph they are kept point by point: only the points added
    // since the last time are counted.
    void updateAcousticStatistic();
    // The "Acoustic" box, shown or hidden (the View menu's choice).
    void setAcousticBoxVisible(bool visible);
    [[nodiscard]] bool acousticBoxVisible() const;
    [[nodiscard]] AcousticBox* acousticBox() const { return grpAcoustic; }

    // ---- Exceedance events ---------------------------------------------------
    // The "Events" panel, shown or hidden (the tool bar's Events).
    void setEventsVisible(bool visible);
    [[nodiscard]] bool eventsVisible() const;
    [[nodiscard]] GraphEventsPanel* eventsPanel() const { return pnlEvents; }
    // The cursors on points a and b (clamped to the series), shown at once.
    void placeCursors(int a, int b);

    // ---- What the window shows -------------------------------------------
    [[nodiscard]] StatisticFields statisticFields() const;
    [[nodiscard]] QString exportStatisticText() const;
    [[nodiscard]] QString readoutText() const;
    [[nodiscard]] bool undoZoomEnabled() const;

    // ---- Event handlers (public so the main window and tests can drive them)
    void Button1Click();                       // "Graph Option"
    void Button2Click();                       // "Export Statistic"
    void PESGraph1CustomizeDlg(bool accepted); // the customisation dialog closed
    void Grid2Click();
    void ToolButton13Click(); // erase annotations
    void UndoZoomClick();
    void tbntClrClick();
    void txtSamplingRateChange();
    void Slider1ValueChange1();
    void PESGraph1Click(QPoint position);
    void PESGraph1MouseMove(QPoint position);
    void PESGraph1MouseUp();
    void PESGraph1ZoomIn();
    void PESGraph1DataHotSpot(int subset, int point);
    void PESGraph1VertLineAnnotHotSpot(int index);
    void PESGraph1GraphAnnotHotSpot(int slot);
    // Mode buttons of the toolbar.
    void setCursorMode(int mode);
    [[nodiscard]] bool FormCloseQuery();
    void FormClose();

signals:
    // The close question's Yes: the main window saves this window (not
    // whichever is active); a save that wrote nothing sets the unsaved flag.
    void saveRequested();
    // The real-time graph closed: the main window unchecks its menu item and
    // sets Run and Stop.
    void realTimeGraphClosed();
    // The real-time graph was cleared and is the real-time graph again.
    void realTimeGraphCleared();
    void closed();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildDataSetsPanel();
    void buildToolBar();
    void buildGraphStatisticPanel();
    void buildCursorPanel();
    void connectGraph();
    void FormShow();

    void prepareChart(int seriesCount, float yMax, float yMin, double xMax, double xMin,
                      int pointCount);
    [[nodiscard]] bool applyGraphTemplate();
    void writeGraphTemplate();
    void setSamplingRateText(const QString& text);
    // The cursors at the slider's values: fields, lines and the statistics
    // between them; emptied and hidden while a thumb is on no sample.
    void showCursors();
    [[nodiscard]] bool holdsSample(int index) const;
    void showCursor(int line, int index, QLineEdit* level, QLineEdit* time);
    // The whole series' figures; those of the real-time graph from counts
    // kept point by point (its recorder only appends).
    [[nodiscard]] AcousticFigures wholeFigures(std::span<const float> levels,
                                               double intervalSeconds) const;
    // The box's cursor column, from the cursors shown.
    void updateAcousticBetween();
    // The events of the series as it is now, and their marks on the chart.
    void updateEvents();
    void showEventMarks();
    void acousticThresholdChanged(double dB);
    void fitDataSetColumns();
    void alignSlider();
    void placeReadout();
    void dragCursorTo(QPoint position);
    void showAnnotationHint(QPoint position);
    [[nodiscard]] bool isUserAnnotation(int slot) const;
    // The next annotation slot for this chart; AnnotationCount follows it.
    [[nodiscard]] int takeAnnotationSlot();
    [[nodiscard]] QString caption() const { return windowTitle(); }

    GraphWindowState& state_;

    QSplitter* splitter_ = nullptr;
    QWidget* pnlDataSets = nullptr;
    QTableWidget* Grid2 = nullptr;
    QToolBar* ToolBar1 = nullptr;
    QAction* ToolButton1 = nullptr;
    QAction* ToolButton2 = nullptr;
    QAction* tbntEvents = nullptr;
    QAction* ToolButton4 = nullptr;
    QAction* ToolButton5 = nullptr;
    QAction* ToolButton9 = nullptr;
    QAction* ToolButton13 = nullptr;
    QAction* tbntSep3 = nullptr;
    QAction* tbntClr = nullptr;
    QAction* UndoZoom = nullptr;
    QAction* Button1 = nullptr;
    QAction* Button2 = nullptr;

    QWidget* pnlGraphStatistic = nullptr;
    QLineEdit* txtStartTime = nullptr;
    QWidget* pnlSamplingRate = nullptr;
    QComboBox* txtSamplingRate = nullptr;
    QLineEdit* txtDataNo = nullptr;
    QLineEdit* txtAvgAll = nullptr;
    QLineEdit* txtMax = nullptr;
    QLineEdit* txtMaxTime = nullptr;
    QLineEdit* txtMin = nullptr;
    QLineEdit* txtMinTime = nullptr;

    QSplitter* graphSplitter_ = nullptr;
    QWidget* pnlGraph = nullptr;
    PESGraph* PESGraph1 = nullptr;
    QLabel* Panel12 = nullptr;
    AcousticBox* grpAcoustic = nullptr;
    GraphEventsPanel* pnlEvents = nullptr;

    QWidget* pnlStatistic = nullptr;
    QWidget* pnlSlider = nullptr;
    Tslider2* Slider1 = nullptr;
    QLineEdit* txtCursorA = nullptr;
    QLineEdit* txtCursorATime = nullptr;
    QLineEdit* txtCursorB = nullptr;
    QLineEdit* txtCursorBTime = nullptr;
    QLineEdit* txtMaxAB = nullptr;
    QLineEdit* txtMaxABTime = nullptr;
    QLineEdit* txtMinAB = nullptr;
    QLineEdit* txtMinABTime = nullptr;
    QLineEdit* txtAvgAB = nullptr;

    // A cursor line held by the mouse (line 0 = A, 1 = B).
    bool DragA = false;
    bool DragB = false;
    // The last press on an annotation, to tell a double click.
    int lastAnnotationPress_ = -1;
    QElapsedTimer annotationPressTimer_;
    bool realTimeRateUpdating_ = false;
    // The user accepted Graph Option here: preparing keeps this look.
    bool lookChosenByUser_ = false;
    // Named by the shown data set or the real-time recorder.
    std::optional<AcousticWeighting> acousticWeighting_;
    TimeWeighting acousticTimeWeighting_ = TimeWeighting::Unknown;
    std::optional<double> dataSetInterval_;
    // The cursor fields show the cursors (not emptied).
    bool cursorsShown_ = false;
    // The real-time graph's figures, counted up to the points recorded,
    // for the chart's series as it was at seriesRevision().
    mutable RunningAcousticFigures runningAcoustic_;
    mutable quint64 runningAcousticRevision_ = 0;
    mutable float lastCountedLevel_ = 0.0f;
    // refreshGraphSoon()'s single shot, and whether the figures wait for it.
    QTimer* refreshTimer_ = nullptr;
    bool acousticPending_ = false;
};
