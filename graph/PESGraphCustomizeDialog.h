#pragma once

// The chart's customisation dialog: one tab per enabled page (titles and
// labels, style switches, colours, series, fonts, Y scale). It edits copies;
// look() and scaleY() return the edited values after the dialog closes.

#include "graph/PESGraph.h"

#include <QDialog>
#include <set>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;

class PESGraphCustomizeDialog : public QDialog
{
    Q_OBJECT

public:
    PESGraphCustomizeDialog(const PESGraphLook& look, const PESGraphScale& scaleY, int subsets,
                            const std::set<PESCustomizePage>& pages, QWidget* parent = nullptr);

    PESGraphLook look() const;
    PESGraphScale scaleY() const;
    // Titles of the pages shown, in order.
    QStringList pageTitles() const;

private:
    QWidget* makeGeneralPage();
    QWidget* makeStylePage();
    QWidget* makeColorsPage();
    QWidget* makeSubsetsPage(int subsets);
    QWidget* makeFontsPage();
    QWidget* makeAxisPage();
    QPushButton* colorButton(QColor* color, const QString& name);
    QPushButton* fontButton(PESFontSpec* font, const QString& name);

    PESGraphLook look_;
    PESGraphScale scaleY_;
    QTabWidget* tabs_;

    QLineEdit* mainTitle_ = nullptr;
    QLineEdit* subTitle_ = nullptr;
    QLineEdit* xLabel_ = nullptr;
    QLineEdit* yLabel_ = nullptr;
    QComboBox* gridStyle_ = nullptr;
    QComboBox* gridLines_ = nullptr;
    QComboBox* zoom_ = nullptr;
    QCheckBox* showAnnotations_ = nullptr;
    QCheckBox* showLines_ = nullptr;
    QCheckBox* dataHotSpots_ = nullptr;
    QSpinBox* lineTextSize_ = nullptr;
    QSpinBox* graphTextSize_ = nullptr;
    std::vector<QColor> seriesColors_;
    std::vector<QComboBox*> lineTypes_;
    QCheckBox* manualY_ = nullptr;
    QDoubleSpinBox* minY_ = nullptr;
    QDoubleSpinBox* maxY_ = nullptr;
};
