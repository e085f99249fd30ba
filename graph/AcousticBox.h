#pragma once

// The "Acoustic" group of a graph window: the acoustic figures of the whole
// series and of the span between the cursors in two columns, and the
// threshold the time above is counted from. It shows the figures it is
// given (the window computes them with AcousticStatistics); the only input
// is the threshold field, which takes a level from MinThreshold to
// MaxThreshold dB in the user's number format when the user presses Return
// or leaves the field; any other text goes back to the threshold in use.
//
// Texts, in the user's locale: levels as the statistic fields show them
// (one decimal); the duration as h:mm:ss, with tenths when the samples are
// less than whole seconds apart; the time above in seconds with one decimal
// and " s", and its share of the samples with one decimal and " %". Empty
// figures (no samples) show empty texts; so do the duration and the time
// above of figures without durations (times that run backwards).

#include "acoustics/FigureNames.h"
#include "data/AcousticStatistics.h"

#include <QGroupBox>

#include <array>
#include <optional>

class QLabel;
class QLineEdit;

class AcousticBox : public QGroupBox
{
    Q_OBJECT

public:
    static constexpr double DefaultThreshold = 85.0;
    static constexpr double MinThreshold = 0.0;
    static constexpr double MaxThreshold = 200.0;

    enum Column
    {
        Whole,
        Cursors
    };
    // The rows, top to bottom.
    enum Row
    {
        Leq,
        L5,
        L10,
        L50,
        L90,
        L95,
        Lmax,
        Lmin,
        Duration,
        SecondsAbove,
        PercentAbove,
        RowCount
    };

    explicit AcousticBox(QWidget* parent = nullptr);

    // Names the equivalent level after the weighting: "LAeq", "LCeq", or
    // "Leq" when it is mixed or not known.
    void setWeighting(std::optional<AcousticWeighting> weighting);
    // With the time weighting known (fast or slow) and the weighting A or C,
    // the levels are named after both: "LAF10", "LASmax"; otherwise (not
    // known, mixed) "L10", "Lmax".
    void setTimeWeighting(TimeWeighting timeWeighting);
    void showFigures(Column column, const AcousticFigures& figures);
    void clear(Column column);

    // The threshold in dB, always on a 0.1 dB step: a level given off the
    // steps is taken at the nearest one, which the field shows and the time
    // above counts from. Setting it shows it without reporting a change.
    [[nodiscard]] double threshold() const { return threshold_; }
    void setThreshold(double dB);

    // What a row shows: its name, and its text in a column.
    [[nodiscard]] QString rowName(Row row) const;
    [[nodiscard]] QString text(Column column, Row row) const;

    // The texts of the figures, in the user's locale, one per row.
    [[nodiscard]] static std::array<QString, RowCount> textsOf(const AcousticFigures& figures);
    [[nodiscard]] static QString durationText(double seconds);

signals:
    // The user typed a valid threshold (dB).
    void thresholdChanged(double dB);

private:
    void thresholdEntered();
    void showThreshold();
    void showNames();

    std::array<QLabel*, RowCount> names_{};
    std::array<std::array<QLabel*, RowCount>, 2> values_{};
    QLineEdit* txtThreshold_ = nullptr;
    double threshold_ = DefaultThreshold;
    std::optional<AcousticWeighting> weighting_;
    TimeWeighting timeWeighting_ = TimeWeighting::Unknown;
};
