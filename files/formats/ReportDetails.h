#pragma once

// What a consultant writes on the first page of a noise report beside the
// figures: where and for whom the measurement was made, by whom, with which
// instrument, its calibration check before and after, the weather and notes.
// Entered in the report dialog (remembered per measurement, ReportDetailsStore)
// or given to `audimark-cli report` as options named after the fields.
//
// QtCore only.

#include "acoustics/DayEveningNight.h"

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

// How the tables after the report's first page are made: the length of the
// periods of the period table (0: chosen by the series' span, see
// periodFor), the minimum duration and hysteresis of the exceedance events
// (their threshold is the report's, the one the time above counts with),
// the day-evening-night periods and penalties, and whether the tables cover
// the whole series or only the span between the cursors (when the report
// has one). Set in the report dialog and by options of `audimark-cli
// report` named after the fields.
struct ReportSettings
{
    qint64 periodMs = 0;
    double minDurationSeconds = 10.0;
    double hysteresisDb = 2.0;
    DenSettings den;
    bool tablesOverSpan = false;

    // "period", "min-duration", "hysteresis", "den-hours", "den-penalties",
    // "tables-over".
    [[nodiscard]] static const QStringList& names();
    // A field as text, the way setValue reads it back: "1h", "15m", "30s"
    // or "" (by the span); "10s"; "2"; "07:00,19:00,23:00"; "5,10";
    // "whole" or "span".
    [[nodiscard]] QString value(const QString& name) const;
    // False, and nothing changed, when the text does not read or the name
    // is unknown. A period is a length dividing a day ("15m", "1h", empty
    // or "auto": by the span), a minimum duration a number with s, m or h
    // above 0, a hysteresis 0 dB or more.
    bool setValue(const QString& name, const QString& text);

    // The period length for a series of spanMs: the one set, else 5 min up
    // to 2 h, 15 min up to 12 h, 1 h up to 14 days, 1 day beyond, so that
    // the table stays between a handful and a few hundred rows.
    [[nodiscard]] qint64 periodFor(qint64 spanMs) const;
    // "1 h", "15 min", "30 s", "1 d".
    [[nodiscard]] static QString periodText(qint64 ms);
    // "10s", "1m", "0.5h", a bare number of seconds; above 0.
    [[nodiscard]] static std::optional<double> durationOf(const QString& text);
    // A level or level difference in dB, with a decimal point.
    [[nodiscard]] static std::optional<double> decibelsOf(const QString& text);

    friend bool operator==(const ReportSettings& a, const ReportSettings& b);
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
    // The measurement's, else those of the last report.
    ReportSettings settings;
};

[[nodiscard]] QString measurementKey(const ReportSeries& series);
[[nodiscard]] Entry read(QSettings& store, const QString& measurementKey);
void write(QSettings& store, const QString& measurementKey, const Entry& entry);

} // namespace ReportDetailsStore
