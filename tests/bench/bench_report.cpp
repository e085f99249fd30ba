// The PDF report of a 99,999-sample series (a day and a few hours at 1 s):
// the figures of the first page, the tables after it (period levels,
// day-evening-night, exceedance events, the level distribution) and the
// drawing of every page, beside the same report with its first page and
// method alone. The aim is under 1 s for the whole report. Prints figures
// (PairedRounds), asserts nothing about time. Run by hand:
//   QT_QPA_PLATFORM=offscreen build/tests/bench/bench_report [rounds]

#include "PairedRounds.h"

#include "data/GraphTexts.h"
#include "files/windows/NoiseReportPrinter.h"

#include <QApplication>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>

#include <cmath>

namespace {
constexpr int kSamples = 99'999;

// A background of 45 to 60 dB with loud passes of 20 to 90 s now and then,
// so that the events list has a few hundred entries.
ReportSeries series()
{
    QRandomGenerator random(842);
    std::vector<double> times;
    std::vector<float> levels;
    const double start = GraphTexts::fromDateTime(QDateTime(QDate(2010, 4, 14), QTime(6, 0)));
    int loudLeft = 0;
    for (int i = 0; i < kSamples; ++i) {
        times.push_back(start + i / 86400.0);
        if (loudLeft == 0 && random.bounded(400) == 0)
            loudLeft = 20 + int(random.bounded(70));
        const double base = 52.0 + 7.0 * std::sin(i / 5000.0) + random.bounded(40) / 10.0;
        levels.push_back(float(std::round((loudLeft > 0 ? base + 30.0 : base) * 10.0) / 10.0));
        if (loudLeft > 0)
            --loudLeft;
    }
    ReportSeries s = ReportSeries::fromPoints(std::move(times), std::move(levels), {});
    s.intervalSeconds = 1.0;
    s.weighting = AcousticWeighting::A;
    return s;
}

int writeReport(const ReportSeries& s, const QString& path, bool tables)
{
    NoiseReport report = NoiseReport::of(s, {}, 80.0);
    report.version = QStringLiteral("bench");
    report.created = QDateTime::currentDateTime();
    if (tables)
        report.makeSections(s);
    NoiseReportChart chart;
    chart.times = s.times;
    chart.levels = s.levels;
    chart.intervalSeconds = s.intervalSeconds;
    const FileWriteOutcome outcome = NoiseReportPrinter::writePdf(path, report, chart);
    return outcome.written() ? outcome.lines : -1;
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 9;
    QTemporaryDir dir;
    const ReportSeries s = series();
    const QString full = dir.filePath(QStringLiteral("full.pdf"));
    const QString firstPage = dir.filePath(QStringLiteral("first.pdf"));
    int pages = 0;
    int basePages = 0;
    const PairedRounds::Figures f = PairedRounds::run(
        rounds, [&] { pages = writeReport(s, full, true); },
        [&] { basePages = writeReport(s, firstPage, false); });
    QTextStream out(stdout);
    out << PairedRounds::line(
               QStringLiteral("report of 99,999 samples (A) vs first page and method (B)"), f)
        << '\n';
    NoiseReport probe = NoiseReport::of(s, {}, 80.0);
    probe.makeSections(s);
    out << "A: " << pages << " pages, " << QFileInfo(full).size() << " bytes, "
        << probe.sections.periods.size() << " periods, " << probe.sections.events.size()
        << " events; B: " << basePages << " pages\n";
    std::vector<double> wall;
    for (int r = 0; r < rounds; ++r)
        wall.push_back(PairedRounds::timed([&] { pages = writeReport(s, full, true); }).wallMs);
    out << "goal: A under 1000 ms; A median cpu "
        << QString::number(PairedRounds::median(f.aCpuMs), 'f', 1) << " ms, wall "
        << PairedRounds::spread(wall) << " ms\n";
    return pages > 0 && basePages > 0 ? 0 : 1;
}
