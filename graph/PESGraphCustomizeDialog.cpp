#include "graph/PESGraphCustomizeDialog.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFontDialog>
#include <QFormLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
QIcon swatch(const QColor& color)
{
    QPixmap pixmap(28, 14);
    pixmap.fill(color.isValid() ? color : QColor(Qt::transparent));
    // An outline keeps white and very light swatches visible on the button.
    QPainter painter(&pixmap);
    painter.setPen(QColor(90, 90, 90));
    painter.drawRect(pixmap.rect().adjusted(0, 0, -1, -1));
    return QIcon(pixmap);
}

QString describe(const PESFontSpec& font)
{
    QString text = QStringLiteral("%1, %2 pt").arg(font.family).arg(font.pointSize);
    if (font.bold)
        text += QStringLiteral(", bold");
    if (font.italic)
        text += QStringLiteral(", italic");
    return text;
}

QComboBox* comboOf(const QStringList& items, int current, const QString& name)
{
    auto* combo = new QComboBox;
    combo->addItems(items);
    combo->setCurrentIndex(current);
    combo->setObjectName(name);
    return combo;
}

const QStringList kLineTypes = {QObject::tr("Thin solid"),   QObject::tr("Dash"),
                                QObject::tr("Dot"),          QObject::tr("Dash dot"),
                                QObject::tr("Dash dot dot"), QObject::tr("Medium solid"),
                                QObject::tr("Thick solid")};
} // namespace

PESGraphCustomizeDialog::PESGraphCustomizeDialog(const PESGraphLook& look,
                                                 const PESGraphScale& scaleY, int subsets,
                                                 const std::set<PESCustomizePage>& pages,
                                                 QWidget* parent)
    : QDialog(parent), look_(look), scaleY_(scaleY), tabs_(new QTabWidget(this))
{
    setWindowTitle(tr("Graph Customization"));
    tabs_->setObjectName(QStringLiteral("pages"));
    if (pages.count(PESCustomizePage::General))
        tabs_->addTab(makeGeneralPage(), tr("Titles"));
    if (pages.count(PESCustomizePage::Style))
        tabs_->addTab(makeStylePage(), tr("Style"));
    if (pages.count(PESCustomizePage::Colors))
        tabs_->addTab(makeColorsPage(), tr("Colors"));
    if (pages.count(PESCustomizePage::Subsets))
        tabs_->addTab(makeSubsetsPage(subsets), tr("Subsets"));
    if (pages.count(PESCustomizePage::Fonts))
        tabs_->addTab(makeFontsPage(), tr("Fonts"));
    if (pages.count(PESCustomizePage::Axis))
        tabs_->addTab(makeAxisPage(), tr("Axis"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(buttons);
    // Wide enough for every tab title to show without scroll arrows.
    setMinimumWidth(std::max(minimumSizeHint().width(), tabs_->tabBar()->sizeHint().width() + 40));
}

QStringList PESGraphCustomizeDialog::pageTitles() const
{
    QStringList titles;
    for (int i = 0; i < tabs_->count(); ++i)
        titles << tabs_->tabText(i);
    return titles;
}

QWidget* PESGraphCustomizeDialog::makeGeneralPage()
{
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    const auto edit = [&](const QString& text, const QString& name) {
        auto* line = new QLineEdit(text);
        line->setObjectName(name);
        return line;
    };
    mainTitle_ = edit(look_.mainTitle, QStringLiteral("mainTitle"));
    subTitle_ = edit(look_.subTitle, QStringLiteral("subTitle"));
    xLabel_ = edit(look_.xAxisLabel, QStringLiteral("xAxisLabel"));
    yLabel_ = edit(look_.yAxisLabel, QStringLiteral("yAxisLabel"));
    form->addRow(tr("Main title:"), mainTitle_);
    form->addRow(tr("Subtitle:"), subTitle_);
    form->addRow(tr("X axis label:"), xLabel_);
    form->addRow(tr("Y axis label:"), yLabel_);
    return page;
}

QWidget* PESGraphCustomizeDialog::makeStylePage()
{
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    gridStyle_ = comboOf({tr("Thin"), tr("Thick"), tr("Dotted"), tr("Dashed"), tr("One pixel")},
                         int(look_.gridStyle), QStringLiteral("gridStyle"));
    gridLines_ = comboOf({tr("Both"), tr("Horizontal only"), tr("Vertical only"), tr("None")},
                         int(look_.gridLines), QStringLiteral("gridLines"));
    zoom_ = comboOf({tr("No zooming"), tr("Horizontal"), tr("Vertical"), tr("Both directions")},
                    int(look_.allowZooming), QStringLiteral("zooming"));
    showAnnotations_ = new QCheckBox(tr("Show graph annotations"));
    showAnnotations_->setChecked(look_.showGraphAnnotations);
    showLines_ = new QCheckBox(tr("Show cursor lines"));
    showLines_->setChecked(look_.showVertLineAnnotations);
    dataHotSpots_ = new QCheckBox(tr("Mark a clicked data point"));
    dataHotSpots_->setObjectName(QStringLiteral("allowDataHotSpots"));
    dataHotSpots_->setChecked(look_.allowDataHotSpots);
    const auto percent = [](int value, const QString& name) {
        auto* spin = new QSpinBox;
        spin->setRange(10, 1000);
        spin->setSuffix(QStringLiteral(" %"));
        spin->setValue(value);
        spin->setObjectName(name);
        return spin;
    };
    lineTextSize_ = percent(look_.lineAnnotationTextSize, QStringLiteral("lineTextSize"));
    graphTextSize_ = percent(look_.graphAnnotationTextSize, QStringLiteral("graphTextSize"));
    form->addRow(tr("Grid style:"), gridStyle_);
    form->addRow(tr("Grid lines:"), gridLines_);
    form->addRow(tr("Zooming:"), zoom_);
    form->addRow(showAnnotations_);
    form->addRow(showLines_);
    form->addRow(dataHotSpots_);
    form->addRow(tr("Cursor line text size:"), lineTextSize_);
    form->addRow(tr("Annotation text size:"), graphTextSize_);
    return page;
}

QPushButton* PESGraphCustomizeDialog::colorButton(QColor* color, const QString& name)
{
    auto* button = new QPushButton(swatch(*color), color->isValid() ? color->name() : tr("(none)"));
    button->setObjectName(name);
    connect(button, &QPushButton::clicked, this, [this, button, color] {
        const QColor chosen = QColorDialog::getColor(*color, this);
        if (!chosen.isValid())
            return;
        *color = chosen;
        button->setIcon(swatch(chosen));
        button->setText(chosen.name());
    });
    return button;
}

QWidget* PESGraphCustomizeDialog::makeColorsPage()
{
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    form->addRow(tr("Foreground (axes, grid):"),
                 colorButton(&look_.graphForeColor, QStringLiteral("graphForeColor")));
    form->addRow(tr("Background (plot area):"),
                 colorButton(&look_.graphBackColor, QStringLiteral("graphBackColor")));
    form->addRow(tr("Desk (surrounding):"),
                 colorButton(&look_.deskColor, QStringLiteral("deskColor")));
    form->addRow(tr("Text:"), colorButton(&look_.textColor, QStringLiteral("textColor")));
    form->addRow(tr("Y axis:"), colorButton(&look_.yAxisColor, QStringLiteral("yAxisColor")));
    form->addRow(tr("Annotations:"),
                 colorButton(&look_.annotationColor, QStringLiteral("annotationColor")));
    return page;
}

QWidget* PESGraphCustomizeDialog::makeSubsetsPage(int subsets)
{
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    const size_t count = size_t(std::max(1, subsets));
    // The buttons show the colours drawn (palette included); look() writes
    // back only what the user changed.
    for (size_t s = 0; s < count; ++s)
        seriesColors_.push_back(look_.subsetColor(int(s)));
    for (size_t s = 0; s < count; ++s) {
        auto* row = new QWidget;
        auto* rowLayout = new QHBoxLayout(row);
        rowLayout->setContentsMargins(0, 0, 0, 0);
        rowLayout->addWidget(
            colorButton(&seriesColors_[s], QStringLiteral("subsetColor%1").arg(s)));
        auto* type = comboOf(kLineTypes, int(look_.subsetLineType(int(s))),
                             QStringLiteral("subsetLineType%1").arg(s));
        lineTypes_.push_back(type);
        rowLayout->addWidget(type);
        form->addRow(tr("Series %1:").arg(s + 1), row);
    }
    return page;
}

QPushButton* PESGraphCustomizeDialog::fontButton(PESFontSpec* font, const QString& name)
{
    auto* button = new QPushButton(describe(*font));
    button->setObjectName(name);
    connect(button, &QPushButton::clicked, this, [this, button, font] {
        QFont current(font->family);
        current.setPointSizeF(font->pointSize);
        current.setBold(font->bold);
        current.setItalic(font->italic);
        bool ok = false;
        const QFont chosen = QFontDialog::getFont(&ok, current, this);
        if (!ok)
            return;
        *font = PESFontSpec{chosen.family(), chosen.pointSizeF() > 0 ? chosen.pointSizeF() : 9.0,
                            chosen.bold(), chosen.italic()};
        button->setText(describe(*font));
    });
    return button;
}

QWidget* PESGraphCustomizeDialog::makeFontsPage()
{
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    form->addRow(tr("Titles:"), fontButton(&look_.titleFont, QStringLiteral("titleFont")));
    form->addRow(tr("Axis labels:"), fontButton(&look_.labelFont, QStringLiteral("labelFont")));
    form->addRow(tr("Annotations:"),
                 fontButton(&look_.annotationFont, QStringLiteral("annotationFont")));
    return page;
}

QWidget* PESGraphCustomizeDialog::makeAxisPage()
{
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    manualY_ = new QCheckBox(tr("Fixed Y scale"));
    manualY_->setObjectName(QStringLiteral("manualY"));
    manualY_->setChecked(scaleY_.control == PESManualScale::MinMax);
    const auto spin = [](double value, const QString& name) {
        auto* box = new QDoubleSpinBox;
        box->setRange(-1e6, 1e6);
        box->setDecimals(1);
        box->setValue(value);
        box->setObjectName(name);
        return box;
    };
    minY_ = spin(scaleY_.min, QStringLiteral("minY"));
    maxY_ = spin(scaleY_.max, QStringLiteral("maxY"));
    minY_->setEnabled(manualY_->isChecked());
    maxY_->setEnabled(manualY_->isChecked());
    connect(manualY_, &QCheckBox::toggled, minY_, &QWidget::setEnabled);
    connect(manualY_, &QCheckBox::toggled, maxY_, &QWidget::setEnabled);
    form->addRow(manualY_);
    form->addRow(tr("Y minimum:"), minY_);
    form->addRow(tr("Y maximum:"), maxY_);
    return page;
}

PESGraphLook PESGraphCustomizeDialog::look() const
{
    PESGraphLook look = look_;
    if (mainTitle_) {
        look.mainTitle = mainTitle_->text();
        look.subTitle = subTitle_->text();
        look.xAxisLabel = xLabel_->text();
        look.yAxisLabel = yLabel_->text();
    }
    if (gridStyle_) {
        look.gridStyle = PESGridStyle(gridStyle_->currentIndex());
        look.gridLines = PESGridLines(gridLines_->currentIndex());
        look.allowZooming = PESZoomMode(zoom_->currentIndex());
        look.showGraphAnnotations = showAnnotations_->isChecked();
        look.showVertLineAnnotations = showLines_->isChecked();
        look.allowDataHotSpots = dataHotSpots_->isChecked();
        look.lineAnnotationTextSize = lineTextSize_->value();
        look.graphAnnotationTextSize = graphTextSize_->value();
    }
    for (size_t s = 0; s < seriesColors_.size(); ++s) {
        if (seriesColors_[s] != look.subsetColor(int(s))) {
            look.subsetColors.resize(std::max(look.subsetColors.size(), s + 1));
            look.subsetColors[s] = seriesColors_[s];
        }
        const auto type = PESLineType(lineTypes_[s]->currentIndex());
        if (type != look.subsetLineType(int(s))) {
            look.subsetLineTypes.resize(std::max(look.subsetLineTypes.size(), s + 1),
                                        PESLineType::ThinSolid);
            look.subsetLineTypes[s] = type;
        }
    }
    return look;
}

PESGraphScale PESGraphCustomizeDialog::scaleY() const
{
    PESGraphScale scale = scaleY_;
    if (manualY_) {
        if (manualY_->isChecked()) {
            scale.control = PESManualScale::MinMax;
            scale.min = minY_->value();
            scale.max = maxY_->value();
        } else if (scaleY_.control == PESManualScale::MinMax) {
            scale.control = PESManualScale::None;
        }
    }
    return scale;
}
