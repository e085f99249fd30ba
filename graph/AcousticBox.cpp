#include "graph/AcousticBox.h"

#include "data/GraphTexts.h"

#include <QDoubleValidator>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>

#include <cmath>

namespace {
constexpr int kNameColumn = 0;
constexpr int kFirstValueColumn = 1;

// Numbers other than levels: one decimal, no group separators, as the
// level texts are written.
QString decimalText(double value)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'f', 1);
}

// Whatever the user leaves in the field that is not a threshold is put back
// to the threshold in use, so that the field never shows one not counted.
class ThresholdValidator : public QDoubleValidator
{
public:
    ThresholdValidator(const double& threshold, QObject* parent)
        : QDoubleValidator(AcousticBox::MinThreshold, AcousticBox::MaxThreshold, 1, parent),
          threshold_(threshold)
    {
        setNotation(QDoubleValidator::StandardNotation);
    }
    void fixup(QString& input) const override { input = decimalText(threshold_); }

private:
    const double& threshold_;
};

QLabel* valueLabel(QWidget* parent, int width)
{
    auto* label = new QLabel(parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Of a fixed size (a figure's line at the widest text), so that a new
    // figure repaints its label alone instead of laying the window out again
    // (the figures change with every sample of a recording).
    label->setText(QStringLiteral("0"));
    label->setFixedSize(width, label->sizeHint().height());
    label->clear();
    return label;
}
} // namespace

AcousticBox::AcousticBox(QWidget* parent) : QGroupBox(QStringLiteral("Acoustic"), parent)
{
    setObjectName(QStringLiteral("grpAcoustic"));
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(2);

    // As wide as the widest text a column can show in this locale.
    const int width =
        fontMetrics().horizontalAdvance(durationText(99.0 * 3600.0 + 59.5 * 60.0 + 0.5)) + 4;
    grid->addWidget(new QLabel(QStringLiteral("Whole"), this), 0, kFirstValueColumn + Whole,
                    Qt::AlignRight);
    grid->addWidget(new QLabel(QStringLiteral("Cursors"), this), 0, kFirstValueColumn + Cursors,
                    Qt::AlignRight);

    static const char* const kKeys[RowCount] = {"Leq", "L5",       "L10",          "L50",
                                                "L90", "L95",      "Lmax",         "Lmin",
                                                "Duration", "SecondsAbove", "PercentAbove"};
    int gridRow = 1;
    for (int row = 0; row < RowCount; ++row) {
        if (row == SecondsAbove) {
            // The threshold stands right above the rows it counts.
            txtThreshold_ = new QLineEdit(this);
            txtThreshold_->setObjectName(QStringLiteral("txtThreshold"));
            txtThreshold_->setValidator(new ThresholdValidator(threshold_, txtThreshold_));
            txtThreshold_->setAlignment(Qt::AlignRight);
            txtThreshold_->setFixedWidth(
                txtThreshold_->fontMetrics().horizontalAdvance(decimalText(888.8)) + 14);
            txtThreshold_->setToolTip(QStringLiteral("Threshold of the time above, in dB"));
            auto* unit = new QLabel(QStringLiteral("dB"), this);
            grid->addWidget(new QLabel(QStringLiteral("Threshold"), this), gridRow, kNameColumn);
            auto* field = new QHBoxLayout;
            field->setSpacing(4);
            field->addStretch(1);
            field->addWidget(txtThreshold_);
            field->addWidget(unit);
            grid->addLayout(field, gridRow, kFirstValueColumn, 1, 2);
            ++gridRow;
        }
        names_[row] = new QLabel(this);
        grid->addWidget(names_[row], gridRow, kNameColumn);
        for (int column : {Whole, Cursors}) {
            QLabel* value = valueLabel(this, width);
            value->setObjectName(QStringLiteral("acoustic%1%2")
                                     .arg(column == Whole ? QStringLiteral("Whole")
                                                          : QStringLiteral("Cursors"),
                                          QLatin1String(kKeys[row])));
            values_[column][row] = value;
            grid->addWidget(value, gridRow, kFirstValueColumn + column);
        }
        ++gridRow;
    }
    grid->setRowStretch(gridRow, 1);

    names_[Duration]->setText(QStringLiteral("Duration"));
    names_[SecondsAbove]->setText(QStringLiteral("Time above"));
    names_[PercentAbove]->setText(QStringLiteral("Share above"));
    showNames();

    showThreshold();
    connect(txtThreshold_, &QLineEdit::editingFinished, this, &AcousticBox::thresholdEntered);
}

void AcousticBox::setWeighting(std::optional<AcousticWeighting> weighting)
{
    weighting_ = weighting;
    showNames();
}

void AcousticBox::setTimeWeighting(TimeWeighting timeWeighting)
{
    timeWeighting_ = timeWeighting;
    showNames();
}

void AcousticBox::showNames()
{
    const auto show = [this](Row row, const QString& name) {
        if (names_[row]->text() != name)
            names_[row]->setText(name);
    };
    show(Leq, equivalentLevelName(weighting_.value_or(AcousticWeighting::Mixed)));
    const bool named = (timeWeighting_ == TimeWeighting::Fast ||
                        timeWeighting_ == TimeWeighting::Slow) &&
                       weighting_ && *weighting_ != AcousticWeighting::Mixed;
    static const std::pair<Row, const char*> kLevels[] = {
        {L5, "5"},   {L10, "10"},   {L50, "50"},  {L90, "90"},
        {L95, "95"}, {Lmax, "max"}, {Lmin, "min"}};
    for (const auto& [row, suffix] : kLevels)
        show(row, named ? FigureNames::levelName(weighting_, timeWeighting_, QLatin1String(suffix))
                        : QStringLiteral("L") + QLatin1String(suffix));
}

std::array<QString, AcousticBox::RowCount> AcousticBox::textsOf(const AcousticFigures& f)
{
    std::array<QString, RowCount> t;
    if (f.isEmpty())
        return t;
    t[Leq] = GraphTexts::levelText(f.leq);
    t[L5] = GraphTexts::levelText(f.l5);
    t[L10] = GraphTexts::levelText(f.l10);
    t[L50] = GraphTexts::levelText(f.l50);
    t[L90] = GraphTexts::levelText(f.l90);
    t[L95] = GraphTexts::levelText(f.l95);
    t[Lmax] = GraphTexts::levelText(f.lmax);
    t[Lmin] = GraphTexts::levelText(f.lmin);
    // Times that run backwards give no duration: empty rather than negative.
    if (f.hasDurations()) {
        t[Duration] = durationText(f.durationSeconds);
        t[SecondsAbove] = decimalText(f.secondsAbove) + QStringLiteral(" s");
    }
    t[PercentAbove] = decimalText(f.percentAbove) + QStringLiteral(" %");
    return t;
}

QString AcousticBox::durationText(double seconds)
{
    return ::durationText(seconds);
}

void AcousticBox::showFigures(Column column, const AcousticFigures& figures)
{
    const std::array<QString, RowCount> texts = textsOf(figures);
    for (int row = 0; row < RowCount; ++row) {
        // An unchanged text is not set again, so that it is not repainted.
        if (values_[column][row]->text() != texts[row])
            values_[column][row]->setText(texts[row]);
    }
}

void AcousticBox::clear(Column column)
{
    showFigures(column, AcousticFigures{});
}

QString AcousticBox::rowName(Row row) const
{
    return names_[row]->text();
}

QString AcousticBox::text(Column column, Row row) const
{
    return values_[column][row]->text();
}

void AcousticBox::setThreshold(double dB)
{
    threshold_ = std::isfinite(dB)
                     ? AcousticStatistics::thresholdStep(std::clamp(dB, MinThreshold, MaxThreshold))
                     : DefaultThreshold;
    showThreshold();
}

void AcousticBox::showThreshold()
{
    const QString text = decimalText(threshold_);
    if (txtThreshold_->text() != text)
        txtThreshold_->setText(text);
}

void AcousticBox::thresholdEntered()
{
    bool ok = false;
    const double dB = QLocale().toDouble(txtThreshold_->text().trimmed(), &ok);
    const bool valid = ok && std::isfinite(dB) && dB >= MinThreshold && dB <= MaxThreshold;
    // Counted, shown and kept as the 0.1 dB step the field shows.
    const double step = AcousticStatistics::thresholdStep(dB);
    const bool changed = valid && step != threshold_;
    if (changed)
        threshold_ = step;
    showThreshold();
    if (changed)
        emit thresholdChanged(step);
}
