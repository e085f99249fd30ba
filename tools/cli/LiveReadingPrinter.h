#pragma once

// Prints one line per decoded live reading, as text for people or as CSV for
// other programs.

#include "meter/LiveReadingConsumers.h"

#include <QDateTime>
#include <QLocale>
#include <QTextStream>

class LiveReadingPrinter : public LiveReadingView
{
public:
    enum class Format { Text, Csv };

    LiveReadingPrinter(QTextStream& out, Format format, int model, QLocale locale = QLocale::system());

    void printHeader();
    void renderReading(const MeterReading& reading) override;

    // The line for one reading taken at the given local time.
    [[nodiscard]] QString formatLine(const MeterReading& reading, const QDateTime& time) const;
    [[nodiscard]] int printed() const { return printed_; }

private:
    [[nodiscard]] QString textLine(const MeterReading& reading, const QDateTime& time) const;
    [[nodiscard]] QString csvLine(const MeterReading& reading, const QDateTime& time) const;

    QTextStream& out_;
    Format format_;
    int model_;
    QLocale locale_;
    int printed_ = 0;
};
