#include "graph/TfrmGraph.h"

#include "data/DataSetCollection.h"
#include "data/GraphTexts.h"
#include "data/SampleEncoding.h"
#include "data/SamplingRateList.h"
#include "data/SeriesStatistics.h"
#include "files/formats/GraphFile.h"
#include "graph/AcousticBox.h"
#include "graph/GraphCursors.h"
#include "graph/GraphEventsPanel.h"
#include "graph/GraphFlowLayout.h"
#include "graph/PESGraph.h"
#include "graph/TfrmAnnoEdit.h"
#include "graph/TfrmDelAnno.h"
#include "graph/Tslider2.h"
#include "serial/ComErrors.h"

#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QSettings>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>
#include <optional>
#include <span>
#include <stdexcept>
#include <vector>

namespace {
constexpr double kSecondInDays = SampleEncoding::kSecondInDays;
constexpr int kRealTimePoints = 2000;
constexpr int kClearedRealTimePoints = 200;
constexpr int kAnnotationHintDistance = 6;

// The shift from the pointer's hot spot to where its picture points.
QPoint clickShift(int mode)
{
    if (mode == GraphWindowState::CursorCross)
        return {GraphCursors::kCrossCentreOffset, GraphCursors::kCrossCentreOffset};
    return {1, 7};
}

QLineEdit* statisticField(QWidget* parent, const char* name, const QString& widest)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(QLatin1String(name));
    // Readable but not editable, and never in the tab order.
    field->setReadOnly(true);
    field->setFocusPolicy(Qt::NoFocus);
    const int width = field->fontMetrics().horizontalAdvance(widest) + 16;
    field->setFixedWidth(width);
    return field;
}

// A field shows the start of its text; an unchanged text is left alone,
// so that the field is not repainted.
void showField(QLineEdit* field, const QString& text)
{
    if (field->text() == text)
        return;
    field->setText(text);
    field->setCursorPosition(0);
}

QLabel* fieldLabel(QWidget* parent, const QString& text, const QColor& color = QColor())
{
    auto* label = new QLabel(text, parent);
    if (color.isValid())
        label->setStyleSheet(QStringLiteral("color: %1; font-weight: bold;").arg(color.name()));
    return label;
}

// The widest date-time text this locale can give.
QString widestDateTime()
{
    const QDateTime late(QDate(2028, 12, 28), QTime(23, 58, 58));
    return GraphTexts::dateTimeText(GraphTexts::fromDateTime(late)) + QStringLiteral("W");
}
} // namespace

TfrmGraph::TfrmGraph(GraphWindowState& state, QWidget* parent) : QWidget(parent), state_(state)
{
    setObjectName(QStringLiteral("frmGraph"));
    setAttribute(Qt::WA_DeleteOnClose);
    refreshTimer_ = new QTimer(this);
    refreshTimer_->setSingleShot(true);
    refreshTimer_->setInterval(RefreshIntervalMs);
    connect(refreshTimer_, &QTimer::timeout, this, &TfrmGraph::refreshGraph);
    resize(1020, 567); // the design size at 96 dots per inch

    buildDataSetsPanel();

    auto* right = new QWidget;
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->setSpacing(0);
    buildToolBar();
    buildGraphStatisticPanel();
    rightLayout->addWidget(ToolBar1);
    rightLayout->addWidget(pnlGraphStatistic);

    pnlGraph = new QWidget;
    pnlGraph->setObjectName(QStringLiteral("pnlGraph"));
    auto* graphLayout = new QHBoxLayout(pnlGraph);
    graphLayout->setContentsMargins(0, 0, 0, 0);
    graphLayout->setSpacing(2);
    PESGraph1 = new PESGraph(pnlGraph);
    PESGraph1->setObjectName(QStringLiteral("PESGraph1"));
    graphLayout->addWidget(PESGraph1, 1);
    // Beside the chart, so that no field of the statistic panels moves.
    grpAcoustic = new AcousticBox(pnlGraph);
    grpAcoustic->setThreshold(state_.acousticBox.threshold);
    grpAcoustic->setVisible(state_.acousticBox.shown);
    graphLayout->addWidget(grpAcoustic, 0, Qt::AlignTop);
    connect(grpAcoustic, &AcousticBox::thresholdChanged, this,
            &TfrmGraph::acousticThresholdChanged);
    Panel12 = new QLabel(pnlGraph);
    Panel12->setObjectName(QStringLiteral("Panel12"));
    Panel12->setFixedSize(150, 18);
    Panel12->setAlignment(Qt::AlignCenter);
    Panel12->setFrameShape(QFrame::Panel);
    Panel12->setFrameShadow(QFrame::Raised);
    Panel12->setAutoFillBackground(true);
    Panel12->setAttribute(Qt::WA_TransparentForMouseEvents);
    Panel12->hide(); // until the pointer first crosses the plot
    pnlGraph->installEventFilter(this);

    buildCursorPanel();
    graphSplitter_ = new QSplitter(Qt::Vertical);
    graphSplitter_->setHandleWidth(3);
    graphSplitter_->setChildrenCollapsible(false);
    graphSplitter_->addWidget(pnlGraph);
    graphSplitter_->addWidget(pnlStatistic);
    pnlEvents = new GraphEventsPanel;
    pnlEvents->hide();
    graphSplitter_->addWidget(pnlEvents);
    graphSplitter_->setStretchFactor(0, 1);
    graphSplitter_->setStretchFactor(1, 0);
    graphSplitter_->setStretchFactor(2, 0);
    // New criteria, or the series changed (whoever changed it redraws).
    connect(pnlEvents, &GraphEventsPanel::eventsChanged, this, [this] {
        showEventMarks();
        PESGraph1->PEactions(PESGraph::ActionRedraw);
    });
    connect(pnlEvents, &GraphEventsPanel::eventChosen, this, [this](int index) {
        HandlerGuard::run([this, index] {
            const QList<ExceedanceEvent>& events = pnlEvents->events();
            if (index >= 0 && index < events.size())
                placeCursors(int(events[index].first), int(events[index].last));
        });
    });
    rightLayout->addWidget(graphSplitter_, 1);

    splitter_ = new QSplitter(Qt::Horizontal, this);
    splitter_->setHandleWidth(2);
    splitter_->addWidget(pnlDataSets);
    splitter_->addWidget(right);
    splitter_->setStretchFactor(1, 1);
    splitter_->setSizes({372, 648});
    // Below the size its panels need, the window scrolls instead of
    // squeezing fields over their labels.
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("scrollForm"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidgetResizable(true);
    scroll->setWidget(splitter_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);
    pnlDataSets->hide();

    connectGraph();
    PESGraph1->setDefaultLook();
    PESGraph1->setAllowPopup(false);
    Panel12->raise();
}

TfrmGraph::~TfrmGraph() = default;

// ---- Layout -----------------------------------------------------------------

void TfrmGraph::buildDataSetsPanel()
{
    pnlDataSets = new QWidget;
    pnlDataSets->setObjectName(QStringLiteral("pnlDataSets"));
    auto* layout = new QVBoxLayout(pnlDataSets);
    layout->setContentsMargins(2, 2, 2, 2);
    auto* title = new QLabel(QStringLiteral("Data Sets"), pnlDataSets);
    title->setAlignment(Qt::AlignCenter);
    title->setStyleSheet(QStringLiteral("font-weight: bold;"));
    layout->addWidget(title);

    Grid2 = new QTableWidget(1, 6, pnlDataSets);
    Grid2->setObjectName(QStringLiteral("Grid2"));
    Grid2->setHorizontalHeaderLabels({QStringLiteral("Set"), QStringLiteral("DATE"),
                                      QStringLiteral("TIME"), QStringLiteral("Rate"),
                                      QStringLiteral("Nums"), QStringLiteral("Weighting")});
    const int widths[6] = {32, 76, 68, 48, 46, 74};
    for (int c = 0; c < 6; ++c) {
        Grid2->setColumnWidth(c, widths[c]);
        Grid2->setItem(0, c, new QTableWidgetItem(QString()));
    }
    Grid2->verticalHeader()->hide();
    Grid2->verticalHeader()->setDefaultSectionSize(Grid2->fontMetrics().height() + 6);
    Grid2->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    Grid2->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grid2->setSelectionMode(QAbstractItemView::SingleSelection);
    Grid2->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid2->viewport()->setCursor(Qt::PointingHandCursor);
    // A press or an arrow key that selects another row shows its set.
    connect(Grid2, &QTableWidget::itemSelectionChanged, this,
            [this] { HandlerGuard::run([this] { Grid2Click(); }); });
    layout->addWidget(Grid2);
}

void TfrmGraph::buildToolBar()
{
    ToolBar1 = new QToolBar;
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextOnly);
    const auto add = [this](const char* name, const QString& text, const QString& hint) {
        QAction* action = ToolBar1->addAction(text);
        action->setObjectName(QLatin1String(name));
        action->setToolTip(hint.isEmpty() ? text : hint);
        return action;
    };
    ToolButton1 =
        add("ToolButton1", QStringLiteral("Statistic"), QStringLiteral("Toggle Graph Statistic"));
    ToolButton1->setCheckable(true);
    ToolButton1->setChecked(true);
    ToolButton2 = add("ToolButton2", QStringLiteral("Cursors"),
                      QStringLiteral("Toggle Line Cursor Statistic"));
    ToolButton2->setCheckable(true);
    ToolButton2->setChecked(true);
    tbntEvents = add("tbntEvents", QStringLiteral("Events"),
                     QStringLiteral("Toggle Exceedance Events"));
    tbntEvents->setCheckable(true);
    ToolBar1->addSeparator();

    auto* modes = new QActionGroup(this);
    modes->setExclusive(true);
    ToolButton4 = add("ToolButton4", QStringLiteral("Normal"), QStringLiteral("Normal Cursor"));
    ToolButton5 =
        add("ToolButton5", QStringLiteral("Cross"), QStringLiteral("Draw A Cross On Graph"));
    ToolButton9 = add("ToolButton9", QStringLiteral("Text"), QStringLiteral("Text"));
    for (QAction* a : {ToolButton4, ToolButton5, ToolButton9}) {
        a->setCheckable(true);
        modes->addAction(a);
    }
    ToolButton4->setChecked(true);
    ToolButton13 = add("ToolButton13", QStringLiteral("Erase"), QStringLiteral("Erase Annotation"));
    tbntSep3 = ToolBar1->addSeparator();
    tbntSep3->setObjectName(QStringLiteral("tbntSep3"));
    tbntClr = add("tbntClr", QStringLiteral("Clear"), QStringLiteral("Clear"));
    tbntSep3->setVisible(false);
    tbntClr->setVisible(false);
    ToolBar1->addSeparator();
    UndoZoom = add("UndoZoom", QStringLiteral("Undo Zoom"), QStringLiteral("Undo Zoom"));
    UndoZoom->setEnabled(false);
    Button1 = add("Button1", QStringLiteral("Graph Option"), QStringLiteral("Graph Customization"));
    Button2 = add("Button2", QStringLiteral("Export Statistic"), QString());

    const auto handle = [this](QAction* action, void (TfrmGraph::*handler)()) {
        connect(action, &QAction::triggered, this,
                [this, handler] { HandlerGuard::run([this, handler] { (this->*handler)(); }); });
    };
    connect(ToolButton1, &QAction::toggled, this, [this](bool down) {
        pnlGraphStatistic->setVisible(down);
        placeReadout();
    });
    connect(ToolButton2, &QAction::toggled, this, [this](bool down) {
        pnlStatistic->setVisible(down);
        PESGraph1->setShowVertLineAnnotations(down);
        refreshGraph();
    });
    connect(tbntEvents, &QAction::toggled, this,
            [this](bool down) { HandlerGuard::run([this, down] { setEventsVisible(down); }); });
    connect(ToolButton4, &QAction::triggered, this,
            [this] { setCursorMode(GraphWindowState::CursorNormal); });
    connect(ToolButton5, &QAction::triggered, this,
            [this] { setCursorMode(GraphWindowState::CursorCross); });
    connect(ToolButton9, &QAction::triggered, this,
            [this] { setCursorMode(GraphWindowState::CursorText); });
    handle(ToolButton13, &TfrmGraph::ToolButton13Click);
    handle(tbntClr, &TfrmGraph::tbntClrClick);
    handle(UndoZoom, &TfrmGraph::UndoZoomClick);
    handle(Button1, &TfrmGraph::Button1Click);
    handle(Button2, &TfrmGraph::Button2Click);
}

void TfrmGraph::buildGraphStatisticPanel()
{
    pnlGraphStatistic = new QWidget;
    pnlGraphStatistic->setObjectName(QStringLiteral("pnlGraphStatistic"));
    const QString dateTime = widestDateTime();
    const QString level = QStringLiteral("***.* dB W");
    txtStartTime = statisticField(pnlGraphStatistic, "txtStartTime", dateTime);
    txtDataNo = statisticField(pnlGraphStatistic, "txtDataNo", QStringLiteral("0000000"));
    txtAvgAll = statisticField(pnlGraphStatistic, "txtAvgAll", level);
    txtMax = statisticField(pnlGraphStatistic, "txtMax", level);
    txtMaxTime = statisticField(pnlGraphStatistic, "txtMaxTime", dateTime);
    txtMin = statisticField(pnlGraphStatistic, "txtMin", level);
    txtMinTime = statisticField(pnlGraphStatistic, "txtMinTime", dateTime);

    pnlSamplingRate = new QWidget(pnlGraphStatistic);
    pnlSamplingRate->setObjectName(QStringLiteral("pnlSamplingRate"));
    auto* rateLayout = new QHBoxLayout(pnlSamplingRate);
    rateLayout->setContentsMargins(0, 0, 0, 0);
    txtSamplingRate = new QComboBox(pnlSamplingRate);
    txtSamplingRate->setObjectName(QStringLiteral("txtSamplingRate"));
    txtSamplingRate->setEditable(true);
    txtSamplingRate->setInsertPolicy(QComboBox::NoInsert);
    txtSamplingRate->addItems(SamplingRateList::itemTexts(QLocale::c()));
    txtSamplingRate->setEditText(QStringLiteral("0.1"));
    txtSamplingRate->setMinimumWidth(
        txtSamplingRate->fontMetrics().horizontalAdvance(QStringLiteral("00000.0")) + 40);
    rateLayout->addWidget(txtSamplingRate);
    rateLayout->addWidget(new QLabel(QStringLiteral("Sec"), pnlSamplingRate));
    // Shown but not changed, except in the real-time graph.
    pnlSamplingRate->setEnabled(false);
    connect(txtSamplingRate, &QComboBox::currentTextChanged, this, [this] {
        if (!realTimeRateUpdating_)
            HandlerGuard::run([this] { txtSamplingRateChange(); });
    });

    // Fields keep their normal colours although their panel is disabled.
    QPalette readable = pnlSamplingRate->palette();
    for (QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
        readable.setColor(QPalette::Disabled, role, readable.color(QPalette::Active, role));
    pnlSamplingRate->setPalette(readable);

    // Two rows of label and field pairs, each row packed to the left; a
    // pair that does not fit the width moves to a line of its own.
    const auto at = [this] { return new QLabel(QStringLiteral("@"), pnlGraphStatistic); };
    const auto label = [this](const QString& text) { return fieldLabel(pnlGraphStatistic, text); };
    auto* rows = new GraphFlowLayout(pnlGraphStatistic, 3, 15, 3);
    rows->setObjectName(QStringLiteral("graphStatisticRows"));
    rows->setContentsMargins(6, 3, 6, 3);
    rows->addWidget(label(QStringLiteral("Start Time")));
    rows->addWidget(txtStartTime);
    rows->addGroup();
    rows->addWidget(label(QStringLiteral("Sampling Rate")));
    rows->addWidget(pnlSamplingRate);
    rows->addGroup();
    rows->addWidget(label(QStringLiteral("Data No.")));
    rows->addWidget(txtDataNo);
    rows->addGroup();
    rows->addWidget(label(QStringLiteral("Avg")));
    rows->addWidget(txtAvgAll);
    rows->addBreak();
    rows->addWidget(label(QStringLiteral("Maximum ")));
    rows->addWidget(txtMax);
    rows->addWidget(at());
    rows->addWidget(txtMaxTime);
    rows->addGroup();
    rows->addWidget(label(QStringLiteral("Minimum")));
    rows->addWidget(txtMin);
    rows->addWidget(at());
    rows->addWidget(txtMinTime);

    showGraphStatisticTexts(GraphStatisticTexts::initial());
}

void TfrmGraph::buildCursorPanel()
{
    pnlStatistic = new QWidget;
    pnlStatistic->setObjectName(QStringLiteral("pnlStatistic"));
    auto* layout = new QVBoxLayout(pnlStatistic);
    layout->setContentsMargins(0, 0, 0, 3);
    layout->setSpacing(2);

    pnlSlider = new QWidget(pnlStatistic);
    pnlSlider->setObjectName(QStringLiteral("pnlSlider"));
    pnlSlider->setFixedHeight(22);
    Slider1 = new Tslider2(pnlSlider);
    Slider1->setObjectName(QStringLiteral("Slider1"));
    Slider1->SetTrackWidth(5);
    Slider1->SetTrackColor(Qt::yellow);
    Slider1->SetThumbHeight(10);
    Slider1->SetThumbWidth(4);
    Slider1->SetThumbColor(QColor(0x00, 0xFF, 0x00));
    Slider1->setGeometry(0, 0, 622, 22);
    layout->addWidget(pnlSlider);
    connect(Slider1, &Tslider2::valueChange1, this,
            [this] { HandlerGuard::run([this] { Slider1ValueChange1(); }); });
    connect(Slider1, &Tslider2::valueChange2, this,
            [this] { HandlerGuard::run([this] { Slider1ValueChange1(); }); });

    // The cursors' block and the block of the statistics between them side
    // by side, the second under the first where the width is too small.
    auto* fields = new QWidget(pnlStatistic);
    auto* cursorsBlock = new QWidget(fields);
    auto* betweenBlock = new QWidget(fields);
    const QString dateTime = widestDateTime();
    // Levels of a meter (20 to 140 dB) without unit: narrow fields, so that
    // both columns fit the real-time graph beside the control panel.
    const QString level = GraphTexts::levelText(888.8);
    txtCursorA = statisticField(fields, "txtCursorA", level);
    txtCursorATime = statisticField(fields, "txtCursorATime", dateTime);
    txtCursorB = statisticField(fields, "txtCursorB", level);
    txtCursorBTime = statisticField(fields, "txtCursorBTime", dateTime);
    txtMaxAB = statisticField(fields, "txtMaxAB", level);
    txtMaxABTime = statisticField(fields, "txtMaxABTime", dateTime);
    txtMinAB = statisticField(fields, "txtMinAB", level);
    txtMinABTime = statisticField(fields, "txtMinABTime", dateTime);
    txtAvgAB = statisticField(fields, "txtAvgAB", level);

    const auto blockGrid = [](QWidget* block) {
        auto* grid = new QGridLayout(block);
        grid->setContentsMargins(0, 0, 0, 0);
        grid->setHorizontalSpacing(6);
        grid->setVerticalSpacing(3);
        return grid;
    };
    QGridLayout* cursorsGrid = blockGrid(cursorsBlock);
    QGridLayout* betweenGrid = blockGrid(betweenBlock);
    const auto row = [&](QGridLayout* grid, int r, QLabel* label, QLineEdit* value,
                         QLineEdit* time) {
        QWidget* block = grid->parentWidget();
        label->setParent(block);
        value->setParent(block);
        grid->addWidget(label, r, 0);
        grid->addWidget(value, r, 1);
        if (time) {
            time->setParent(block);
            grid->addWidget(new QLabel(QStringLiteral("@"), block), r, 2);
            grid->addWidget(time, r, 3);
        }
    };
    row(cursorsGrid, 0, fieldLabel(fields, QStringLiteral("Cursor A"), Qt::blue), txtCursorA,
        txtCursorATime);
    row(cursorsGrid, 1, fieldLabel(fields, QStringLiteral("Cursor B"), Qt::red), txtCursorB,
        txtCursorBTime);
    row(betweenGrid, 0, fieldLabel(fields, QStringLiteral("Max.Between A and B")), txtMaxAB,
        txtMaxABTime);
    row(betweenGrid, 1, fieldLabel(fields, QStringLiteral("Min.Between A and B")), txtMinAB,
        txtMinABTime);
    row(betweenGrid, 2, fieldLabel(fields, QStringLiteral("Avg Between A and B")), txtAvgAB,
        nullptr);
    auto* blocks = new GraphFlowLayout(fields, 6, 6, 3);
    blocks->setObjectName(QStringLiteral("cursorBlocks"));
    blocks->setContentsMargins(6, 0, 6, 0);
    blocks->addWidget(cursorsBlock);
    blocks->itemAt(0)->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    blocks->addGroup();
    blocks->addWidget(betweenBlock);
    blocks->itemAt(1)->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(fields);
    layout->addStretch();
}

void TfrmGraph::connectGraph()
{
    const auto guarded = [this](auto fn) {
        return [this, fn](auto... args) { HandlerGuard::run([&] { (this->*fn)(args...); }); };
    };
    connect(PESGraph1, &PESGraph::clicked, this, guarded(&TfrmGraph::PESGraph1Click));
    connect(PESGraph1, &PESGraph::mouseMoved, this, guarded(&TfrmGraph::PESGraph1MouseMove));
    connect(PESGraph1, &PESGraph::mouseReleased, this,
            [this] { HandlerGuard::run([this] { PESGraph1MouseUp(); }); });
    connect(PESGraph1, &PESGraph::zoomedIn, this,
            [this] { HandlerGuard::run([this] { PESGraph1ZoomIn(); }); });
    connect(PESGraph1, &PESGraph::zoomUndone, this, [this] { UndoZoom->setEnabled(false); });
    connect(PESGraph1, &PESGraph::dataHotSpot, this, guarded(&TfrmGraph::PESGraph1DataHotSpot));
    connect(PESGraph1, &PESGraph::vertLineHotSpot, this,
            guarded(&TfrmGraph::PESGraph1VertLineAnnotHotSpot));
    connect(PESGraph1, &PESGraph::graphAnnotationHotSpot, this,
            guarded(&TfrmGraph::PESGraph1GraphAnnotHotSpot));
    connect(PESGraph1, &PESGraph::customizeDialogClosed, this,
            guarded(&TfrmGraph::PESGraph1CustomizeDlg));
}

// ---- Window events ------------------------------------------------------------

void TfrmGraph::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    HandlerGuard::run([this] { FormShow(); });
}

void TfrmGraph::FormShow()
{
    // The rate list in the user's decimal separator, keeping what it shows.
    const QString shown = txtSamplingRate->currentText();
    const int index = txtSamplingRate->currentIndex();
    realTimeRateUpdating_ = true;
    const QStringList items = SamplingRateList::itemTexts();
    for (int i = 0; i < items.size() && i < txtSamplingRate->count(); ++i)
        txtSamplingRate->setItemText(i, items.at(i));
    if (txtSamplingRate->isEditable())
        txtSamplingRate->setEditText(shown == QStringLiteral("0.1") ? items.first() : shown);
    else if (index >= 0)
        txtSamplingRate->setCurrentIndex(index);
    realTimeRateUpdating_ = false;

    setCursorMode(GraphWindowState::CursorNormal);
    alignSlider();
    placeReadout();
}

void TfrmGraph::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    alignSlider();
    placeReadout();
}

bool TfrmGraph::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == pnlGraph && event->type() == QEvent::Resize) {
        placeReadout();
        alignSlider();
    }
    return QWidget::eventFilter(watched, event);
}

void TfrmGraph::closeEvent(QCloseEvent* event)
{
    bool allowed = true;
    HandlerGuard::run([this, &allowed] { allowed = FormCloseQuery(); });
    if (!allowed) {
        event->ignore();
        return;
    }
    HandlerGuard::run([this] { FormClose(); });
    event->accept();
}

bool TfrmGraph::FormCloseQuery()
{
    if (state_.LoggerDataUnsaved && caption() == LoggerCaption) {
        const auto answer =
            state_.dialogs.ask(this,
                               QStringLiteral("Save DataLogger Data ?") +
                                   (state_.LoggerDataInArchive ? GraphWindowState::InArchiveNote
                                                               : QString()),
                               QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        if (answer != QMessageBox::Yes && answer != QMessageBox::No)
            return false;
        if (answer == QMessageBox::Yes) {
            state_.LoggerDataUnsaved = false;
            emit saveRequested();
            // A save that did not happen set the flag again: the data would
            // be lost, so the window stays.
            if (state_.LoggerDataUnsaved)
                return false;
        }
    }
    // An empty graph (cleared, or nothing recorded yet) has nothing to save.
    if (state_.RealTimeDataUnsaved && state_.RealTimeSampleCount > 0 &&
        caption() == RealTimeCaption) {
        const auto answer =
            state_.dialogs.ask(this,
                               QStringLiteral("Save Real-Time Graph ?") +
                                   (state_.RealTimeDataInArchive ? GraphWindowState::InArchiveNote
                                                                 : QString()),
                               QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        if (answer != QMessageBox::Yes && answer != QMessageBox::No)
            return false;
        state_.RealTimeDataUnsaved = false;
        if (answer == QMessageBox::Yes) {
            emit saveRequested();
            if (state_.RealTimeDataUnsaved)
                return false;
        }
    }
    return true;
}

void TfrmGraph::FormClose()
{
    // Only the DataLogger graph holds the logger data: closing any other
    // graph window leaves its unsaved state (and so its save question) alone.
    if (caption() == LoggerCaption) {
        state_.LoggerDataUnsaved = false;
        if (state_.LoggerGraph == this)
            state_.LoggerGraph = nullptr;
    }
    if (caption() == RealTimeCaption) {
        if (state_.RealTimeGraph == this)
            state_.RealTimeGraph = nullptr;
        state_.RealTimeRunning = false;
        state_.RealTimeSampleCount = 0;
        emit realTimeGraphClosed();
    }
    emit closed();
}

// ---- Preparing and showing data --------------------------------------------------

bool TfrmGraph::applyGraphTemplate()
{
    if (!QFile::exists(state_.templatePath()))
        return false;
    // A damaged template is read no further than the file holds and gives
    // the default look.
    const GraphFile::ReadResult file = GraphFile::read(state_.templatePath());
    // The look is applied with the preparation's own redraw.
    return file.block && PESGraph1->loadCustomization(*file.block);
}

void TfrmGraph::prepareGraph(int seriesCount, float yMax, float yMin, double xMax, double xMin,
                             int pointCount)
{
    prepareChart(seriesCount, yMax, yMin, xMax, xMin, pointCount);
    refreshGraph();
}

void TfrmGraph::prepareChart(int seriesCount, float yMax, float yMin, double xMax, double xMin,
                             int pointCount)
{
    // A new series starts unzoomed: the old zoom would show another time span.
    PESGraph1->dropZoom();
    // Its weighting and interval are named anew by whoever fills it.
    acousticWeighting_.reset();
    acousticTimeWeighting_ = TimeWeighting::Unknown;
    dataSetInterval_.reset();
    UndoZoom->setEnabled(false);

    // Only the program's own items are set, so that what the caller added
    // (the real-time graph's "dB") and the fonts stay; a look the user chose
    // in this window's Graph Option, saved or not, stays whole.
    if (!lookChosenByUser_ && !applyGraphTemplate()) {
        PESGraphLook look = PESGraph1->look();
        look.setProgramItems();
        PESGraph1->setLook(look);
    }

    PESGraph1->setSubsets(seriesCount);
    PESGraph1->setPoints(pointCount);
    for (int s = 0; s < seriesCount; ++s)
        PESGraph1->setYData(s, -1, 0.0f);
    PESGraph1->setVertLineAnnotationColor(0, colorFromBgr(0xFF0000));
    PESGraph1->setVertLineAnnotationColor(1, colorFromBgr(0x0000FF));
    PESGraph1->setAllowPopup(false);
    PESGraph1->setAllowSubsetsPage(false);
    PESGraph1->setAllowAxisPage(false);
    // The cursor lines can be dragged and annotations double-clicked away.
    PESGraph1->setAllowVertLineAnnotHotSpots(true);
    PESGraph1->setAllowGraphAnnotHotSpots(true);
    PESGraph1->setManualScaleControlY(PESManualScale::MinMax);
    PESGraph1->setManualMinY(yMin);
    PESGraph1->setManualMaxY(yMax);
    if (xMin != 0.0) {
        PESGraph1->setManualScaleControlX(PESManualScale::MinMax);
        PESGraph1->setManualMinX(xMin);
        PESGraph1->setManualMaxX(xMax);
    }
    if (!ToolButton2->isChecked())
        PESGraph1->setShowVertLineAnnotations(false);
}

void TfrmGraph::refreshGraphSoon()
{
    acousticPending_ = true;
    if (!refreshTimer_->isActive())
        refreshTimer_->start();
}

bool TfrmGraph::refreshPending() const
{
    return refreshTimer_->isActive();
}

void TfrmGraph::refreshGraph()
{
    refreshTimer_->stop();
    if (acousticPending_) {
        acousticPending_ = false;
        updateAcousticStatistic();
    }
    PESGraph1->PEactions(PESGraph::ActionReinitialize);
    PESGraph1->PEactions(PESGraph::ActionRedraw);
    alignSlider();
}

void TfrmGraph::updateGraphStatistic()
{
    const int n = PESGraph1->points();
    std::vector<double> x(size_t(std::max(n, 0)));
    std::vector<float> y(x.size());
    for (int i = 0; i < n; ++i) {
        x[size_t(i)] = PESGraph1->xDataII(0, i);
        y[size_t(i)] = PESGraph1->yData(0, i);
    }
    showGraphStatisticTexts(GraphStatisticTexts::of(SeriesStatistics::whole(x, y)));
    updateAcousticStatistic();
    alignSlider();
    placeSlider(n);
    refreshGraph();
}

bool TfrmGraph::showDataSet(int k)
{
    if (!state_.dataSets)
        return false;
    const DataSetCollection& sets = *state_.dataSets;
    const std::optional<DataSet> set = sets.dataSet(k);
    if (!set || !sets.hasSamples(k))
        return false;
    const std::span<const float> values = sets.valuesOf(k);
    const std::span<const double> times = sets.timesOf(k);
    const int n = int(std::min(values.size(), times.size()));

    const DataSetHeader& header = set->header;
    const double start = header.startTime;
    const double end = start + double(n) * header.intervalSeconds / 86400.0;
    prepareChart(1, GraphYMax, GraphYMin, end, start, n);
    acousticWeighting_ = set->isAWeighting() ? AcousticWeighting::A : AcousticWeighting::C;
    dataSetInterval_ = header.intervalSeconds;
    PESGraph1->setXDataBlock(times.data(), n);
    PESGraph1->setYDataBlock(values.data(), n);

    GraphStatisticTexts texts;
    texts.startTime = GraphTexts::dateTimeText(start);
    texts.samplingRate = QString::number(header.intervalSeconds);
    texts.dataNo = QString::number(n);
    if (n > 0) {
        const int maxIndex = std::clamp(set->maxIndex, 0, n - 1);
        const int minIndex = std::clamp(set->minIndex, 0, n - 1);
        texts.max = GraphTexts::levelText(PESGraph1->yData(0, maxIndex));
        texts.maxTime = GraphTexts::dateTimeText(PESGraph1->xDataII(0, maxIndex));
        texts.min = GraphTexts::levelText(PESGraph1->yData(0, minIndex));
        texts.minTime = GraphTexts::dateTimeText(PESGraph1->xDataII(0, minIndex));
        texts.avgAll = GraphTexts::levelText(set->average);
    }
    showGraphStatisticTexts(texts);
    updateAcousticStatistic();

    placeSlider(n);
    refreshGraph();
    return true;
}

void TfrmGraph::placeSlider(int pointCount)
{
    // Set quietly, then shown once: the cursor fields follow the new series
    // even when the thumbs keep their values (a set of the same length).
    {
        const QSignalBlocker quiet(Slider1);
        Slider1->SetMin(0);
        Slider1->SetMax(std::max(pointCount - 1, 0));
        Slider1->SetValue1(pointCount / 3);
        Slider1->SetValue2(int(qint64(pointCount) * 2 / 3));
    }
    showCursors();
}

void TfrmGraph::showGraphStatisticTexts(const GraphStatisticTexts& t)
{
    showField(txtStartTime, t.startTime);
    setSamplingRateText(t.samplingRate);
    showField(txtDataNo, t.dataNo);
    showField(txtAvgAll, t.avgAll);
    showField(txtMax, t.max);
    showField(txtMaxTime, t.maxTime);
    showField(txtMin, t.min);
    showField(txtMinTime, t.minTime);
}

void TfrmGraph::setSamplingRateText(const QString& text)
{
    realTimeRateUpdating_ = true;
    if (txtSamplingRate->isEditable()) {
        txtSamplingRate->setEditText(text);
    } else {
        const int index = txtSamplingRate->findText(text);
        if (index >= 0)
            txtSamplingRate->setCurrentIndex(index);
    }
    realTimeRateUpdating_ = false;
}

void TfrmGraph::clearCursorTexts()
{
    for (QLineEdit* field : {txtCursorA, txtCursorATime, txtCursorB, txtCursorBTime, txtMaxAB,
                             txtMaxABTime, txtMinAB, txtMinABTime, txtAvgAB})
        field->clear();
    for (int line : {0, 1}) {
        PESGraph1->setVertLineAnnotation(line, 0.0); // X 0 lies outside every chart
        PESGraph1->setVertLineAnnotationText(line, QString());
    }
    cursorsShown_ = false;
    grpAcoustic->clear(AcousticBox::Cursors);
}

void TfrmGraph::setClearEnabled(bool enabled)
{
    tbntClr->setEnabled(enabled);
}

int TfrmGraph::samplingRateIndex() const
{
    return txtSamplingRate->currentIndex();
}

void TfrmGraph::selectSamplingRate(int item)
{
    realTimeRateUpdating_ = true;
    txtSamplingRate->setCurrentIndex(item);
    realTimeRateUpdating_ = false;
}

void TfrmGraph::setDataSetRows(const QList<QStringList>& rows)
{
    // The caller shows the set it wants; filling the list shows none.
    const QSignalBlocker quiet(Grid2);
    Grid2->clearContents();
    Grid2->setRowCount(std::max<qsizetype>(rows.size(), 1));
    for (int r = 0; r < Grid2->rowCount(); ++r)
        for (int c = 0; c < 6; ++c)
            Grid2->setItem(r, c,
                           new QTableWidgetItem(r < rows.size() ? rows[r].value(c) : QString()));
    if (!rows.isEmpty())
        Grid2->selectRow(0);
    fitDataSetColumns();
}

void TfrmGraph::fitDataSetColumns()
{
    // Never narrower than the design widths, and wide enough for the
    // header and every text (dates are as wide as the locale writes them).
    static constexpr int kDesignWidths[6] = {32, 76, 68, 48, 46, 74};
    for (int c = 0; c < 6; ++c) {
        Grid2->resizeColumnToContents(c);
        Grid2->setColumnWidth(c, std::max(Grid2->columnWidth(c), kDesignWidths[c]));
    }
}

void TfrmGraph::setDataSetsPanelVisible(bool visible)
{
    pnlDataSets->setVisible(visible);
    if (visible)
        splitter_->setSizes({372, std::max(width() - 374, 300)});
}

void TfrmGraph::Grid2Click()
{
    const QList<QTableWidgetSelectionRange> ranges = Grid2->selectedRanges();
    if (ranges.isEmpty())
        return;
    const int row = ranges.first().topRow();
    const QTableWidgetItem* date = Grid2->item(row, 1);
    if (date && !date->text().isEmpty())
        showDataSet(row);
}

void TfrmGraph::makeRealTimeGraph()
{
    tbntSep3->setVisible(true);
    tbntClr->setVisible(true);
    const double now = GraphTexts::fromDateTime(QDateTime::currentDateTime());
    prepareChart(1, GraphYMax, GraphYMin,
                 now + double(state_.RealTimeInterval) * kRealTimePoints / 86400.0, now,
                 kRealTimePoints);
    PESGraph1->setYAxisLabel(QStringLiteral("dB"));

    realTimeRateUpdating_ = true;
    txtSamplingRate->setEditable(false);
    pnlSamplingRate->setEnabled(true);
    if (const auto item = SamplingRateList::rateItemIndex(state_.RealTimeInterval))
        txtSamplingRate->setCurrentIndex(*item);
    realTimeRateUpdating_ = false;
    updateAcousticStatistic();
    refreshGraph();
}

void TfrmGraph::tbntClrClick()
{
    setWindowTitle(RealTimeCaption);
    state_.RealTimeGraph = this;
    tbntSep3->setVisible(true);
    tbntClr->setVisible(true);
    const double now = GraphTexts::fromDateTime(QDateTime::currentDateTime());
    prepareChart(1, GraphYMax, GraphYMin, now + 30.0 * kSecondInDays, now, kClearedRealTimePoints);
    // As at creation: a template's look would leave the level axis unnamed.
    PESGraph1->setYAxisLabel(QStringLiteral("dB"));
    PESGraph1->setXDataII(0, -1, 0.0);
    PESGraph1->setYData(0, -1, 0.0f);
    state_.RealTimeSampleCount = 0;
    // What was recorded is gone: nothing left to show, or to save.
    state_.RealTimeDataUnsaved = false;
    GraphStatisticTexts empty;
    empty.dataNo = QStringLiteral("0");
    showGraphStatisticTexts(empty);
    updateAcousticStatistic();
    placeSlider(0);
    // The user annotations go whole, so that none of them stays listed.
    for (int slot = AnnotationSlots::kClearedAnnotationCount; slot <= state_.AnnotationCount;
         ++slot)
        PESGraph1->setGraphAnnotation(slot, PESGraphAnnotation{});
    state_.AnnotationCount = AnnotationSlots::kClearedAnnotationCount;
    emit realTimeGraphCleared();
    refreshGraph();
}

void TfrmGraph::txtSamplingRateChange()
{
    if (txtSamplingRate->isEditable())
        return; // only the real-time graph's list is a choice
    if (!state_.RealTimeRunning) {
        bool ok = false;
        const double seconds = QLocale().toDouble(txtSamplingRate->currentText(), &ok);
        if (ok)
            state_.RealTimeInterval = float(seconds);
        return;
    }
    realTimeRateUpdating_ = true;
    if (const auto item = SamplingRateList::rateItemIndex(state_.RealTimeInterval))
        txtSamplingRate->setCurrentIndex(*item);
    realTimeRateUpdating_ = false;
    state_.dialogs.inform(
        this, QStringLiteral("Can not change Sampling Rate while Real-Time is running."));
}

// ---- Acoustic figures --------------------------------------------------------------

std::span<const float> TfrmGraph::acousticLevels() const
{
    const std::span<const float> levels = PESGraph1->ySeries(0);
    if (state_.RealTimeGraph.data() != this)
        return levels;
    const auto recorded = size_t(std::max(state_.RealTimeSampleCount, 0));
    return levels.first(std::min(recorded, levels.size()));
}

double TfrmGraph::acousticIntervalSeconds() const
{
    if (dataSetInterval_)
        return *dataSetInterval_;
    const auto n = qsizetype(acousticLevels().size());
    if (n >= 2)
        return (PESGraph1->xDataII(0, int(n - 1)) - PESGraph1->xDataII(0, 0)) / kSecondInDays /
               double(n - 1);
    return state_.RealTimeGraph.data() == this ? double(state_.RealTimeInterval) : 0.0;
}

void TfrmGraph::setAcousticWeighting(std::optional<AcousticWeighting> weighting)
{
    acousticWeighting_ = weighting;
    grpAcoustic->setWeighting(weighting);
}

void TfrmGraph::setAcousticTimeWeighting(TimeWeighting timeWeighting)
{
    acousticTimeWeighting_ = timeWeighting;
    grpAcoustic->setTimeWeighting(timeWeighting);
}

double TfrmGraph::acousticThreshold() const
{
    return grpAcoustic->threshold();
}

AcousticFigures TfrmGraph::acousticFigures(bool betweenCursors) const
{
    const std::span<const float> levels = acousticLevels();
    const double interval = acousticIntervalSeconds();
    if (!betweenCursors)
        return wholeFigures(levels, interval);
    // Only the span the cursor fields show: none while recording runs.
    const int a = Slider1->Value1();
    const int b = Slider1->Value2();
    if (!cursorsShown_ || !holdsSample(a) || !holdsSample(b) ||
        std::max(a, b) >= int(levels.size()))
        return AcousticFigures{};
    return AcousticStatistics::between(levels, a, b, interval, acousticThreshold());
}

AcousticFigures TfrmGraph::wholeFigures(std::span<const float> levels, double intervalSeconds) const
{
    if (state_.RealTimeGraph.data() != this)
        return AcousticStatistics::of(levels, intervalSeconds, acousticThreshold());
    const auto n = qsizetype(levels.size());
    qsizetype counted = runningAcoustic_.addedCount();
    // Start over when the series was replaced or cut, or its last counted
    // point no longer holds the level counted (bit for bit: NaN included).
    const auto lastChanged = [&] {
        if (counted == 0 || counted > n)
            return false;
        const float now = levels[std::size_t(counted - 1)];
        return std::memcmp(&now, &lastCountedLevel_, sizeof now) != 0;
    };
    if (PESGraph1->seriesRevision() != runningAcousticRevision_ || counted > n || lastChanged()) {
        runningAcoustic_.reset();
        runningAcousticRevision_ = PESGraph1->seriesRevision();
        counted = 0;
    }
    for (qsizetype i = counted; i < n; ++i)
        runningAcoustic_.add(levels[std::size_t(i)]);
    if (n > 0)
        lastCountedLevel_ = levels[std::size_t(n - 1)];
    return runningAcoustic_.figures(levels, intervalSeconds, acousticThreshold());
}

void TfrmGraph::updateAcousticStatistic()
{
    grpAcoustic->setWeighting(acousticWeighting_);
    grpAcoustic->setTimeWeighting(acousticTimeWeighting_);
    updateEvents();
    // A hidden box is filled when it is shown again.
    if (grpAcoustic->isHidden())
        return;
    grpAcoustic->showFigures(AcousticBox::Whole, acousticFigures(false));
}

void TfrmGraph::updateAcousticBetween()
{
    if (!grpAcoustic->isHidden())
        grpAcoustic->showFigures(AcousticBox::Cursors, acousticFigures(true));
}

void TfrmGraph::acousticThresholdChanged(double dB)
{
    // New windows start with the threshold typed last, now and after a restart.
    state_.acousticBox.threshold = dB;
    QSettings store;
    AcousticBoxSettings::writeThreshold(store, dB);
    updateAcousticStatistic();
    updateAcousticBetween();
}

void TfrmGraph::setAcousticBoxVisible(bool visible)
{
    if (grpAcoustic->isHidden() != visible)
        return;
    grpAcoustic->setVisible(visible);
    // The chart takes or gives up the box's room at once, and the slider's
    // track follows the plot.
    pnlGraph->layout()->activate();
    alignSlider();
    updateAcousticStatistic();
    updateAcousticBetween();
}

bool TfrmGraph::acousticBoxVisible() const
{
    return !grpAcoustic->isHidden();
}

// ---- Exceedance events ----------------------------------------------------------------

void TfrmGraph::setEventsVisible(bool visible)
{
    if (pnlEvents->isHidden() != visible)
        return;
    if (tbntEvents->isChecked() != visible) {
        const QSignalBlocker quiet(tbntEvents);
        tbntEvents->setChecked(visible);
    }
    pnlEvents->setVisible(visible);
    updateEvents();
    showEventMarks();
    refreshGraph();
}

bool TfrmGraph::eventsVisible() const
{
    return !pnlEvents->isHidden();
}

void TfrmGraph::updateEvents()
{
    // A hidden panel finds nothing; shown again it starts from the series.
    if (pnlEvents->isHidden())
        return;
    const std::span<const float> levels = acousticLevels();
    const std::span<const double> times = PESGraph1->xSeries(0);
    pnlEvents->setSeries(times.first(std::min(times.size(), levels.size())), levels,
                         acousticIntervalSeconds(), acousticWeighting_);
}

void TfrmGraph::showEventMarks()
{
    PESGraphMarks marks;
    if (!pnlEvents->isHidden()) {
        for (const ExceedanceEvent& e : pnlEvents->events())
            marks.spans.emplace_back(SampleTiming::toDateTime(e.startMs),
                                     SampleTiming::toDateTime(e.endMs));
        const double threshold = pnlEvents->criteria().thresholdDb;
        marks.level = threshold;
        marks.levelText = GraphTexts::levelText(threshold) + QStringLiteral(" dB");
    }
    PESGraph1->setMarks(marks);
}

void TfrmGraph::placeCursors(int a, int b)
{
    const int last = std::max(PESGraph1->points() - 1, 0);
    a = std::clamp(a, 0, last);
    b = std::clamp(b, 0, last);
    if (cursorsShown_ && Slider1->Value1() == a && Slider1->Value2() == b)
        return;
    {
        const QSignalBlocker quiet(Slider1);
        Slider1->SetValue1(a);
        Slider1->SetValue2(b);
    }
    Slider1ValueChange1();
}

// ---- Statistic export and the graph template ---------------------------------------

StatisticFields TfrmGraph::statisticFields() const
{
    StatisticFields f;
    f.graph.startTime = txtStartTime->text();
    f.graph.samplingRate = txtSamplingRate->currentText();
    f.graph.dataNo = txtDataNo->text();
    f.graph.avgAll = txtAvgAll->text();
    f.graph.max = txtMax->text();
    f.graph.maxTime = txtMaxTime->text();
    f.graph.min = txtMin->text();
    f.graph.minTime = txtMinTime->text();
    f.cursorA = txtCursorA->text();
    f.cursorATime = txtCursorATime->text();
    f.cursorB = txtCursorB->text();
    f.cursorBTime = txtCursorBTime->text();
    f.between.maxAB = txtMaxAB->text();
    f.between.maxABTime = txtMaxABTime->text();
    f.between.minAB = txtMinAB->text();
    f.between.minABTime = txtMinABTime->text();
    f.between.avgAB = txtAvgAB->text();
    return f;
}

QString TfrmGraph::exportStatisticText() const
{
    return ::exportStatisticText(statisticFields());
}

void TfrmGraph::Button2Click()
{
    QApplication::clipboard()->setText(exportStatisticText());
    state_.dialogs.inform(this, QStringLiteral("The statistic has been copy to clipboard"));
}

void TfrmGraph::Button1Click()
{
    PESGraph1->PEactions(PESGraph::ActionCustomize);
}

void TfrmGraph::PESGraph1CustomizeDlg(bool accepted)
{
    if (!accepted)
        return; // a cancelled dialog changed nothing worth keeping
    lookChosenByUser_ = true;
    const auto answer =
        state_.dialogs.ask(this, QStringLiteral("Do you want to save the changes ?"),
                           QMessageBox::Yes | QMessageBox::No);
    if (answer == QMessageBox::Yes)
        writeGraphTemplate();
}

void TfrmGraph::writeGraphTemplate()
{
    const QString folder = state_.templateFolder();
    if (!QDir().mkpath(folder))
        throw std::runtime_error((QStringLiteral("Cannot create ") +
                                  QDir::toNativeSeparators(folder) + QStringLiteral(" directory."))
                                     .toLocal8Bit()
                                     .toStdString());
    QString error;
    if (!GraphFile::write(state_.templatePath(), PESGraph1->saveCustomization(), &error))
        throw std::runtime_error(error.toLocal8Bit().toStdString());
}

// ---- Cursors ---------------------------------------------------------------------

void TfrmGraph::Slider1ValueChange1()
{
    showCursors();
    pnlSlider->update();
    refreshGraph();
}

bool TfrmGraph::holdsSample(int index) const
{
    return index >= 0 && index < PESGraph1->points() && PESGraph1->xDataII(0, index) != 0.0;
}

void TfrmGraph::showCursors()
{
    state_.CursorIndexA = Slider1->Value1();
    state_.CursorIndexB = Slider1->Value2();
    if (!holdsSample(Slider1->Value1()) || !holdsSample(Slider1->Value2())) {
        clearCursorTexts();
        return;
    }
    showCursor(0, Slider1->Value1(), txtCursorA, txtCursorATime);
    showCursor(1, Slider1->Value2(), txtCursorB, txtCursorBTime);
    updateCursorStatistic();
    cursorsShown_ = true;
    updateAcousticBetween();
}

void TfrmGraph::showCursor(int line, int index, QLineEdit* level, QLineEdit* time)
{
    const double x = PESGraph1->xDataII(0, index);
    const float y = PESGraph1->yData(0, index);
    showField(level, GraphTexts::levelText(y));
    showField(time, GraphTexts::dateTimeText(x));
    PESGraph1->setVertLineAnnotation(line, x);
    PESGraph1->setVertLineAnnotationText(line, GraphTexts::cursorLineText(x, y));
}

void TfrmGraph::updateCursorStatistic()
{
    if (PESGraph1->points() <= 0)
        return;
    const CursorStatisticTexts t = CursorStatisticTexts::of(SeriesStatistics::between(
        PESGraph1->xSeries(0), PESGraph1->ySeries(0), Slider1->Value1(), Slider1->Value2()));
    showField(txtMaxAB, t.maxAB);
    showField(txtMaxABTime, t.maxABTime);
    showField(txtMinAB, t.minAB);
    showField(txtMinABTime, t.minABTime);
    showField(txtAvgAB, t.avgAB);
}

void TfrmGraph::alignSlider()
{
    if (!Slider1 || !PESGraph1)
        return;
    const QRect plot = PESGraph1->plottingRect();
    const int left =
        PESGraph1->mapTo(this, plot.topLeft()).x() - pnlSlider->mapTo(this, QPoint()).x();
    // The thumbs point with their middle: half a thumb beyond each end puts
    // the first and last point's thumbs right under the plot's edges.
    const int half = Slider1->ThumbHeight() / 2;
    Slider1->setGeometry(left - half, 0, plot.right() - plot.left() + 2 * half,
                         pnlSlider->height());
}

void TfrmGraph::placeReadout()
{
    if (!Panel12 || !PESGraph1)
        return;
    Panel12->move(PESGraph1->geometry().topLeft());
    Panel12->raise();
}

void TfrmGraph::PESGraph1VertLineAnnotHotSpot(int index)
{
    DragA = index == 0;
    DragB = index == 1;
}

void TfrmGraph::PESGraph1MouseUp()
{
    DragA = false;
    DragB = false;
}

void TfrmGraph::dragCursorTo(QPoint position)
{
    const int n = PESGraph1->points();
    if (n <= 0)
        return;
    const double pointer = PESGraph1->pixelToValue(position).x();
    int index = DragA ? Slider1->Value1() : Slider1->Value2();
    index = std::clamp(index, 0, n - 1);
    while (index < n - 1 && PESGraph1->xDataII(0, index) < pointer)
        ++index;
    while (index > 0 && PESGraph1->xDataII(0, index) > pointer)
        --index;
    // The thumb reports the change, which moves the line and the fields.
    if (DragA)
        Slider1->SetValue1(index);
    else
        Slider1->SetValue2(index);
}

// ---- Readout, annotations and zoom -------------------------------------------------

void TfrmGraph::PESGraph1MouseMove(QPoint position)
{
    if (DragA || DragB)
        dragCursorTo(position);
    const QRect plot = PESGraph1->plottingRect();
    if (plot.contains(position)) {
        const QPointF value = PESGraph1->pixelToValue(position);
        Panel12->setText(GraphTexts::readoutText(value.x(), value.y()));
        Panel12->show();
    }
    showAnnotationHint(position);
}

QString TfrmGraph::readoutText() const
{
    return Panel12->text();
}

bool TfrmGraph::isUserAnnotation(int slot) const
{
    const PESGraphAnnotation a = PESGraph1->graphAnnotation(slot);
    return a.type == PESAnnotationType::Cross || !a.text.isEmpty();
}

void TfrmGraph::showAnnotationHint(QPoint position)
{
    bool over = false;
    const auto near = [&](int slot) {
        if (!isUserAnnotation(slot))
            return false;
        const PESGraphAnnotation a = PESGraph1->graphAnnotation(slot);
        const QPointF p = PESGraph1->valueToPixel(a.x, a.y);
        return (p - QPointF(position)).manhattanLength() <= 2 * kAnnotationHintDistance;
    };
    over = near(AnnotationSlots::kMarkerSlot);
    for (int slot = AnnotationSlots::kFirstUserSlot; !over && slot <= state_.AnnotationCount;
         ++slot)
        over = near(slot);
    const QString hint = over ? QStringLiteral("Double click to delete.") : QString();
    if (PESGraph1->toolTip() != hint)
        PESGraph1->setToolTip(hint);
}

void TfrmGraph::PESGraph1Click(QPoint position)
{
    const int mode = state_.CursorMode;
    if (mode != GraphWindowState::CursorCross && mode != GraphWindowState::CursorText)
        return;
    const QPoint shifted = position + clickShift(mode);
    if (!PESGraph1->plottingRect().contains(shifted))
        return;
    const QPointF value = PESGraph1->pixelToValue(shifted);

    PESGraphAnnotation annotation;
    annotation.x = value.x();
    annotation.y = value.y();
    if (mode == GraphWindowState::CursorCross) {
        annotation.type = PESAnnotationType::Cross;
    } else {
        TfrmAnnoEdit dialog(this);
        if (state_.dialogs.exec(dialog) != QDialog::Accepted)
            return;
        annotation.type = PESAnnotationType::TextOnly;
        annotation.text = dialog.text();
    }
    PESGraph1->setGraphAnnotation(takeAnnotationSlot(), annotation);
    refreshGraph();
}

int TfrmGraph::takeAnnotationSlot()
{
    // After Clear on the real-time graph the count restarts below the slots
    // other charts still use: a slot is never taken from an annotation of
    // this chart, and never below the first slot the erase list shows.
    do
        state_.AnnotationCount =
            std::max(state_.AnnotationCount + 1, AnnotationSlots::kFirstUserSlot);
    while (isUserAnnotation(state_.AnnotationCount));
    return state_.AnnotationCount;
}

void TfrmGraph::PESGraph1DataHotSpot(int subset, int point)
{
    const double x = PESGraph1->xDataII(subset, point);
    const float y = PESGraph1->yData(subset, point);
    PESGraphAnnotation marker;
    marker.type = PESAnnotationType::Cross;
    marker.color = colorFromBgr(0x00FFFF);
    marker.x = x;
    marker.y = y;
    marker.text = GraphTexts::dataPointMarkerText(x, y);
    PESGraph1->setGraphAnnotation(AnnotationSlots::kMarkerSlot, marker);
    refreshGraph();
}

void TfrmGraph::PESGraph1GraphAnnotHotSpot(int slot)
{
    // Two presses on the same annotation within the double-click time erase it.
    const bool second = slot == lastAnnotationPress_ && annotationPressTimer_.isValid() &&
                        annotationPressTimer_.elapsed() <= QApplication::doubleClickInterval();
    lastAnnotationPress_ = slot;
    annotationPressTimer_.start();
    if (!second || !isUserAnnotation(slot))
        return;
    lastAnnotationPress_ = -1;
    PESGraph1->setGraphAnnotationType(slot, PESAnnotationType::TextOnly);
    PESGraph1->setGraphAnnotationText(slot, QString());
    PESGraph1->setToolTip(QString());
    refreshGraph();
}

void TfrmGraph::ToolButton13Click()
{
    TfrmDelAnno dialog(this);
    dialog.setRows(AnnotationSlots::erasableRows(state_.AnnotationCount, [this](int slot) {
        const PESGraphAnnotation a = PESGraph1->graphAnnotation(slot);
        return AnnotationSlots::Slot{a.x, a.type == PESAnnotationType::Cross, a.text};
    }));
    if (state_.dialogs.exec(dialog) != QDialog::Accepted)
        return;
    for (int slot : dialog.selectedSlots()) {
        PESGraph1->setGraphAnnotationType(slot, PESAnnotationType::TextOnly);
        PESGraph1->setGraphAnnotationText(slot, QString());
    }
    refreshGraph();
}

void TfrmGraph::setCursorMode(int mode)
{
    state_.CursorMode = mode;
    if (mode == GraphWindowState::CursorCross) {
        ToolButton5->setChecked(true);
        PESGraph1->setCustomCursor(GraphCursors::cross());
    } else if (mode == GraphWindowState::CursorText) {
        ToolButton9->setChecked(true);
        PESGraph1->setArrowCursor(PESArrowCursor::Text);
    } else {
        ToolButton4->setChecked(true);
        PESGraph1->setArrowCursor(PESArrowCursor::Arrow);
    }
}

void TfrmGraph::PESGraph1ZoomIn()
{
    UndoZoom->setEnabled(true);
}

bool TfrmGraph::undoZoomEnabled() const
{
    return UndoZoom->isEnabled();
}

void TfrmGraph::UndoZoomClick()
{
    PESGraph1->PEactions(PESGraph::ActionUndoZoom);
    PESGraph1->PEactions(PESGraph::ActionReinitialize);
    UndoZoom->setEnabled(false);
}
