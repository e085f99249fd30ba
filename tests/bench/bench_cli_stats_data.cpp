// Writes the CSV file of the command line's stats benchmark: 99,999 rows (the
// most a real-time graph holds) of the graph export in the system locale, one
// second apart from 14 April 2010 23:00 (across midnight), levels in 0.1 dB
// steps. Usage: bench_cli_stats_data FILE.csv; then time
// `audimark-cli stats FILE.csv` as a whole process.

#include "files/formats/ExportRange.h"
#include "files/formats/ExportText.h"
#include "files/formats/GraphExport.h"
#include "logger/DateTimeValue.h"

#include <QCoreApplication>
#include <QLocale>

#include <vector>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    constexpr int kRows = 99999;
    const double start = DateTimeValue::fromDateTime(QDate(2010, 4, 14), QTime(23, 0));
    std::vector<double> x;
    std::vector<float> y;
    x.reserve(kRows);
    y.reserve(kRows);
    for (int i = 0; i < kRows; ++i) {
        x.push_back(start + i / 86400.0);
        y.push_back(float((450 + (i * 37) % 500) / 10.0));
    }
    const FileWriteOutcome outcome =
        GraphExport::write(QString::fromLocal8Bit(argv[1]), x, y, ExportRange::all(kRows),
                           ExportText::Comma, QLocale());
    return outcome.written() && outcome.lines == kRows ? 0 : 1;
}
