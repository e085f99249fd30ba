#pragma once

// What a consultant writes on the first page of a noise report beside the
// figures: where and for whom the measurement was made, by whom, with which
// instrument, its calibration check before and after, the weather and notes.
// Entered in the report dialog (remembered per measurement, ReportDetailsStore)
// or given to `audimark-cli report` as options named after the fields.
//
// QtCore only.

#include <QList>
#include <QLocale>
#include <QString>

#include <optional>

class QSettings;
struct ReportSeries;

struct ReportDetails
{
    QString site;
    QString position;
    QString client;
    QString operatorName;
    QString instrumentModel;
    QString instrumentSerial;
    QString instrumentClass;
    // The calibrator's reading on the meter, dB.
    std::optional<double> calibrationBefore;
    std::optional<double> calibrationAfter;
    QString weather;
    QString notes; // may hold line breaks

    // One field by its name: the option name of the command line and the
    // settings key ("site", "instrument-model", "calibration-before", ...).
    struct Field
    {
        QString name;
        QString label;          // the dialog's label
        bool level = false;     // a level in dB
        bool multiline = false; // notes
    };
    [[nodiscard]] static const QList<Field>& fields();

    // A field's text: levels with the locale's decimal separator and one
    // decimal, two when given with two ("94.0", "93,85"), empty when not
    // given.
    [[nodiscard]] QString value(const QString& name, const QLocale& locale = QLocale()) const;
    // Sets a field from text; a level reads with the locale's separator or
    // a point, and empty clears it. False (nothing changed) for a level that
    // does not read or lies outside 0..200 dB, and for an unknown name.
    bool setValue(const QString& name, const QString& text, const QLocale& locale = QLocale());

    // After - before, when both are given.
    [[nodiscard]] std::optional<double> drift() const;
    [[nodiscard]] bool isEmpty() const;

    // The lines of the first page: label and text, the fields given; the
    // instrument on one line ("QV58M 842, serial 4711, class 2"), the
    // calibration on one ("94.0 dB before, 94.2 dB after, drift +0.2 dB";
    // "not stated" when neither is given, so that its absence is seen).
    struct Line
    {
        QString label;
        QString text;
    };
    [[nodiscard]] QList<Line> pageLines(const QLocale& locale = QLocale()) const;

    friend bool operator==(const ReportDetails&, const ReportDetails&) = default;
};

// The details and the title last entered for a measurement, in the
// program's settings under "ReportDetails/<hash of the measurement>". A
// measurement is known by its meter, weighting, first point and interval,
// so that a data set gives the same key whether it comes from the logger,
// a collection file, the archive or an exported file. A measurement with
// nothing stored is offered the instrument and operator of the last report
// (the same meter and person usually make the next one), nothing else.
namespace ReportDetailsStore {

struct Entry
{
    QString title; // empty: the default title
    ReportDetails details;
};

[[nodiscard]] QString measurementKey(const ReportSeries& series);
[[nodiscard]] Entry read(QSettings& store, const QString& measurementKey);
void write(QSettings& store, const QString& measurementKey, const Entry& entry);

} // namespace ReportDetailsStore
