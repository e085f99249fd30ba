// Benchmark: the text and CSV export of a full graph series of 99,999 points
// (the most a real-time graph holds) as the program makes it, beside the
// plain write of the same bytes through QSaveFile, so the ratio shows what
// the line texts cost:
// - as the graph window's save calls it: the system locale (QLocale()), the
//   progress dialog stepped for every line;
// - as `audimark-cli export --out` calls it: the system locale, no progress.
// Each is paired with the plain write in turn, several rounds (argument 1,
// default 9); the median of the rounds' ratios is quoted. Set LANG (or
// LC_ALL) to try another locale. Prints figures; asserts nothing. Run by
// hand, e.g. QT_QPA_PLATFORM=offscreen bench_graphexport 15.

#include "bench/PairedRounds.h"
#include "files/dialogs/ExportDialogs.h"
#include "files/formats/ExportRange.h"
#include "files/formats/ExportText.h"
#include "files/formats/GraphExport.h"
#include "logger/DateTimeValue.h"

#include <QApplication>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QWidget>

#include <cstdio>
#include <vector>

namespace {
constexpr int kPoints = 99999;

struct Series
{
    Series()
    {
        const double start = DateTimeValue::fromDateTime(QDate(2010, 4, 14), QTime(23, 0));
        for (int i = 0; i < kPoints; ++i) {
            x.push_back(start + i * 0.1 / 86400.0); // 0.1 s apart, across midnight
            y.push_back(float((450 + (i * 37) % 500) * 0.1));
        }
    }
    std::vector<double> x;
    std::vector<float> y;
};

bool plainWrite(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush() &&
           file.commit();
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 9;
    const Series series;
    const QLocale locale; // the program's: the system locale
    QTemporaryDir dir;
    bool allWritten = true;

    for (const QChar separator : {ExportText::Comma, ExportText::Tab}) {
        const QString name =
            separator == ExportText::Comma ? QStringLiteral("csv") : QStringLiteral("txt");
        if (separator == ExportText::Comma && !ExportText::csvOffered(locale))
            continue; // the program offers no CSV here
        const QString path = dir.filePath(QStringLiteral("export.") + name);
        const QString plainPath = dir.filePath(QStringLiteral("plain.") + name);

        // The bytes the plain write writes: the export's own, read back.
        if (!GraphExport::write(path, series.x, series.y, ExportRange::all(kPoints), separator,
                                locale)
                 .written())
            return 1;
        QFile written(path);
        if (!written.open(QIODevice::ReadOnly))
            return 1;
        const QByteArray bytes = written.readAll();
        const auto plain = [&] { allWritten &= plainWrite(plainPath, bytes); };

        QWidget graphWindow; // the progress dialog's parent, as the graph window is
        const auto asTheWindowSaves = [&] {
            ProgressDialog progress(&graphWindow, ExportDialogs::SavingCaption,
                                    ExportDialogs::SavingText, kPoints);
            allWritten &= GraphExport::write(
                              path, series.x, series.y, ExportRange::all(kPoints), separator,
                              QLocale(), [&progress](int lines) { return progress.step(lines); })
                              .written();
        };
        const auto asTheCommandLineExports = [&] {
            allWritten &= GraphExport::write(path, series.x, series.y, ExportRange::all(kPoints),
                                             separator, QLocale())
                              .written();
        };

        std::printf("%d points, %s, locale %s, %lld bytes\n", kPoints, qPrintable(name),
                    qPrintable(locale.name()), static_cast<long long>(bytes.size()));
        std::printf("%s\n",
                    PairedRounds::line(QStringLiteral("  graph window's save / plain write"),
                                       PairedRounds::run(rounds, asTheWindowSaves, plain))
                        .constData());
        std::printf("%s\n",
                    PairedRounds::line(QStringLiteral("  command line's export / plain write"),
                                       PairedRounds::run(rounds, asTheCommandLineExports, plain))
                        .constData());
    }
    return allWritten ? 0 : 1;
}
