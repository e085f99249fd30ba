#include "app/TfrmSetup.h"

#include "logger/LoggerSetup.h"
#include "logger/SetupTexts.h"
#include "serial/ComErrors.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
QPushButton* button(QWidget* parent, const char* name, const QString& text)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

QLabel* label(QWidget* parent, const char* name, const QString& text = QString())
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    return l;
}

QLineEdit* twoDigitEdit(QWidget* parent, const char* name, const QString& text)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    // Two digits, blanks shown as "_".
    edit->setInputMask(QStringLiteral("00;_"));
    edit->setText(text);
    edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("000")) + 12);
    edit->setAlignment(Qt::AlignCenter);
    return edit;
}
} // namespace

TfrmSetup::TfrmSetup(LoggerSetup& setup, QWidget* parent) : QWidget(parent), setup_(setup)
{
    setObjectName(QStringLiteral("frmSetup"));
    setWindowTitle(SetupTexts::Caption);
    setAttribute(Qt::WA_DeleteOnClose);

    Button1 = button(this, "Button1", SetupTexts::AdjustTime);

    GroupBox1 = new QGroupBox(SetupTexts::IntervalGroup, this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    edtInt1 = twoDigitEdit(GroupBox1, "edtInt1", QStringLiteral("00"));
    edtInt2 = twoDigitEdit(GroupBox1, "edtInt2", QStringLiteral("02"));
    Label2 = label(GroupBox1, "Label2", SetupTexts::IntervalHint);
    Button2 = button(GroupBox1, "Button2", SetupTexts::AdjustInterval);
    auto* intervalRow = new QHBoxLayout;
    intervalRow->addWidget(edtInt1);
    intervalRow->addWidget(label(GroupBox1, "Label8", QStringLiteral(":")));
    intervalRow->addWidget(edtInt2);
    intervalRow->addWidget(Label2);
    intervalRow->addStretch();
    auto* intervalBox = new QVBoxLayout(GroupBox1);
    intervalBox->addLayout(intervalRow);
    intervalBox->addWidget(Button2);

    Button3 = button(this, "Button3", SetupTexts::EraseButton);

    GroupBox2 = new QGroupBox(SetupTexts::InformationGroup, this);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    auto* info = new QGridLayout(GroupBox2);
    const auto addRow = [&](int row, const char* captionName, const QString& caption,
                            const char* valueName) {
        info->addWidget(label(GroupBox2, captionName, caption), row, 0);
        QLabel* value = label(GroupBox2, valueName);
        value->setMinimumWidth(
            value->fontMetrics().horizontalAdvance(QStringLiteral("00/00/00  00:00:00")));
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        info->addWidget(value, row, 1);
        return value;
    };
    lblVer = addRow(0, "Label6", SetupTexts::FirmwareLabel, "lblVer");
    lblMeterTime = addRow(1, "Label1", SetupTexts::MeterTimeLabel, "lblMeterTime");
    lblInt = addRow(2, "Label3", SetupTexts::IntervalLabel, "lblInt");
    lblDataSets = addRow(3, "Label5", SetupTexts::DataSetsLabel, "lblDataSets");
    lblMemoryAvailable =
        addRow(4, "Label4", SetupTexts::MemoryAvailableLabel, "lblMemoryAvailable");
    lblMemTest = addRow(5, "Label7", SetupTexts::MemoryTestLabel, "lblMemTest");
    Button4 = button(GroupBox2, "Button4", SetupTexts::ReadButton);
    info->addWidget(Button4, 6, 0, 1, 2, Qt::AlignLeft);
    info->setColumnStretch(1, 1);

    Grid1 = new QTableWidget(2, GridColumns, this);
    Grid1->setObjectName(QStringLiteral("Grid1"));
    Grid1->horizontalHeader()->hide();
    Grid1->verticalHeader()->hide();
    Grid1->horizontalHeader()->setMinimumSectionSize(GridColumnWidth);
    Grid1->horizontalHeader()->setDefaultSectionSize(GridColumnWidth);
    Grid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    Grid1->verticalHeader()->setMinimumSectionSize(GridRowHeight);
    Grid1->verticalHeader()->setDefaultSectionSize(GridRowHeight);
    // The time of a reply needs more room than a byte.
    Grid1->setColumnWidth(10, GridColumnWidth * 2);
    Grid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid1->setSelectionMode(QAbstractItemView::NoSelection);
    Grid1->setMinimumHeight(GridRowHeight * 8);
    // All twelve columns in view, the reply and its time side by side.
    int gridWidth = 2 * Grid1->frameWidth() + Grid1->verticalScrollBar()->sizeHint().width();
    for (int column = 0; column < GridColumns; ++column)
        gridWidth += Grid1->columnWidth(column);
    Grid1->setMinimumWidth(gridWidth);

    Button5 = button(this, "Button5", SetupTexts::ExecuteAll);

    auto* top = new QVBoxLayout(this);
    top->addWidget(Button1);
    top->addWidget(GroupBox1);
    top->addWidget(Button3);
    top->addWidget(GroupBox2);
    top->addWidget(Grid1, 1);
    top->addWidget(Button5);

    connect(Button1, &QPushButton::clicked, this,
            [this] { runCommand([this] { Button1Click(); }); });
    connect(Button2, &QPushButton::clicked, this,
            [this] { runCommand([this] { Button2Click(); }); });
    connect(Button3, &QPushButton::clicked, this,
            [this] { runCommand([this] { Button3Click(); }); });
    connect(Button4, &QPushButton::clicked, this,
            [this] { runCommand([this] { Button4Click(); }); });
    connect(Button5, &QPushButton::clicked, this,
            [this] { runCommand([this] { Button5Click(); }); });
}

template <typename Command> void TfrmSetup::runCommand(Command command)
{
    // A command waits for the tick with events running: no second command
    // may start from this window meanwhile.
    setCommandsEnabled(false);
    HandlerGuard::run(command);
    setCommandsEnabled(true);
}

void TfrmSetup::setCommandsEnabled(bool enabled)
{
    for (QPushButton* b : {Button1, Button2, Button3, Button4, Button5})
        b->setEnabled(enabled);
}

void TfrmSetup::Button1Click()
{
    (void)setup_.Button1Click();
}

void TfrmSetup::Button2Click()
{
    (void)setup_.Button2Click(edtInt1->text(), edtInt2->text());
}

void TfrmSetup::Button3Click()
{
    (void)setup_.Button3Click();
}

void TfrmSetup::Button4Click()
{
    (void)setup_.Button4Click();
}

void TfrmSetup::Button5Click()
{
    (void)setup_.Button5Click(edtInt1->text(), edtInt2->text());
}

QLabel* TfrmSetup::valueLabel(LoggerSetupUi::Label label) const
{
    switch (label) {
    case LoggerSetupUi::Label::Version:
        return lblVer;
    case LoggerSetupUi::Label::MeterTime:
        return lblMeterTime;
    case LoggerSetupUi::Label::Interval:
        return lblInt;
    case LoggerSetupUi::Label::DataSets:
        return lblDataSets;
    case LoggerSetupUi::Label::MemoryAvailable:
        return lblMemoryAvailable;
    case LoggerSetupUi::Label::MemoryTest:
        break;
    }
    return lblMemTest;
}

void TfrmSetup::setLabelText(LoggerSetupUi::Label label, const QString& text)
{
    QLabel* l = valueLabel(label);
    l->setText(text);
    // The command blocks the event loop: show the value now.
    l->repaint();
}

QString TfrmSetup::labelText(LoggerSetupUi::Label label) const
{
    return valueLabel(label)->text();
}

void TfrmSetup::startMemoryTestLog()
{
    Grid1->clearContents();
    Grid1->setRowCount(2);
    Grid1->setItem(1, 0, new QTableWidgetItem(QStringLiteral("00")));
    Grid1->repaint();
}

void TfrmSetup::logMemoryTestRow(const QStringList& cells)
{
    const int row = Grid1->rowCount() - 1;
    for (int i = 0; i < cells.size() && i + 1 < GridColumns; ++i)
        Grid1->setItem(row, i + 1, new QTableWidgetItem(cells.at(i)));
    Grid1->setRowCount(row + 2);
    Grid1->scrollToBottom();
    Grid1->repaint();
}
