#include "tools/cli/RecordCommand.h"

#include "archive/LoggerImageArchiver.h"
#include "data/GraphTexts.h"
#include "files/formats/ExportText.h"
#include "files/formats/GraphExport.h"
#include "meter/MeterLink.h"
#include "realtime/RealTimeArchiver.h"
#include "realtime/RealTimeRecorder.h"
#include "realtime/RealTimeSampleSink.h"
#include "realtime/SamplingInterval.h"
#include "tools/cli/InterruptWatcher.h"
#include "tools/cli/PortSearchReport.h"
#include "tools/cli/RealTimeGraphJob.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QTextStream>

#include <cmath>
#include <utility>
#include <vector>

namespace RecordArguments {

std::optional<float> interval(const QString& text)
{
    bool ok = false;
    double seconds = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok)
        seconds = QLocale().toDouble(text.trimmed(), &ok);
    if (!ok || !SamplingInterval::usable(seconds))
        return std::nullopt;
    return float(seconds);
}

std::optional<std::chrono::milliseconds> duration(const QString& text)
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(^(?:(\d+)h)?(?:(\d+)m)?(?:(\d+(?:\.\d+)?)s?)?$)"));
    const QString trimmed = text.trimmed();
    const QRegularExpressionMatch match = pattern.match(trimmed);
    if (trimmed.isEmpty() || !match.hasMatch())
        return std::nullopt;
    // A bare number is seconds; "5" after "1h" or "1m" is not.
    if (!match.captured(3).isEmpty() && !trimmed.endsWith(QLatin1Char('s')) &&
        (!match.captured(1).isEmpty() || !match.captured(2).isEmpty()))
        return std::nullopt;
    constexpr double MaxSeconds = 366.0 * 86400.0;
    const double seconds = match.captured(1).toDouble() * 3600.0 +
                           match.captured(2).toDouble() * 60.0 + match.captured(3).toDouble();
    if (!(seconds > 0.0) || seconds > MaxSeconds)
        return std::nullopt;
    const auto ms = std::chrono::milliseconds(std::llround(seconds * 1000.0));
    return ms.count() > 0 ? std::optional(ms) : std::nullopt;
}

bool isGraphFile(const QString& path)
{
    return path.endsWith(QLatin1String(".ghf"), Qt::CaseInsensitive);
}

QString outFileProblem(const QString& path)
{
    if (isGraphFile(path))
        return {};
    const std::optional<QChar> separator = GraphExport::separatorForExtension(path);
    if (!separator)
        return QStringLiteral("--out needs a graph (.ghf), text (.txt) or CSV (.csv) file name");
    if (*separator == ExportText::Comma && !ExportText::csvOffered(QLocale()))
        return QStringLiteral("CSV is not offered where the decimal separator is a comma; use a "
                              ".txt file");
    return {};
}

} // namespace RecordArguments

namespace {

// Progress in normal mode: a line per this much recording time.
constexpr auto ProgressEvery = std::chrono::seconds(10);

// The graph side of the recording: keeps the samples for --out, tells the
// progress, and is full after --count samples, as a graph of that many
// points is.
class RecordingSink : public RealTimeSampleSink
{
public:
    RecordingSink(int capacity, Verbosity verbosity, QTextStream& err, MeterClock& clock)
        : capacity_(capacity), verbosity_(verbosity), err_(err), clock_(clock),
          lastProgress_(clock.now())
    {
    }

    bool appendSample(double time, float level, AcousticWeighting weighting) override
    {
        x_.push_back(time);
        y_.push_back(level);
        weighting_.push_back(weighting);
        const bool every = verbosity_ == Verbosity::Verbose;
        if (every ||
            (verbosity_ == Verbosity::Normal && clock_.now() - lastProgress_ >= ProgressEvery)) {
            lastProgress_ = clock_.now();
            err_ << "sample " << x_.size() << '\t' << GraphTexts::dateTimeText(time) << '\t'
                 << GraphTexts::levelText(level) << " dB" << Qt::endl;
        }
        return capacity_ > 0 && qsizetype(x_.size()) >= capacity_;
    }

    void finishRealTimeGraph() override {}

    [[nodiscard]] const std::vector<double>& x() const { return x_; }
    [[nodiscard]] const std::vector<float>& y() const { return y_; }
    [[nodiscard]] const std::vector<AcousticWeighting>& weighting() const { return weighting_; }

private:
    int capacity_;
    Verbosity verbosity_;
    QTextStream& err_;
    MeterClock& clock_;
    MeterClock::TimePoint lastProgress_;
    std::vector<double> x_;
    std::vector<float> y_;
    std::vector<AcousticWeighting> weighting_;
};

bool findMeter(MeterLink& link, const RecordOptions& options, QTextStream& err)
{
    QStringList ports = options.ports;
    if (ports.isEmpty())
        TComPort::EnumComPorts(ports);
    if (ports.isEmpty()) {
        err << "audimark-cli: no serial ports found" << Qt::endl;
        return false;
    }
    if (options.verbosity == Verbosity::Verbose)
        err << "Searching for the meter on " << ports.join(QStringLiteral(", ")) << Qt::endl;
    link.setPortList(ports);
    if (!link.searchPorts()) {
        PortSearchReport::write(err, ports);
        return false;
    }
    if (options.verbosity != Verbosity::Quiet)
        err << "Model " << link.MeterModel() << " on " << link.portName() << Qt::endl;
    return true;
}

QString untilText(const RecordOptions& options)
{
    if (options.count > 0)
        return QStringLiteral("%1 samples").arg(options.count);
    const qint64 seconds = std::chrono::ceil<std::chrono::seconds>(options.duration).count();
    return QStringLiteral("%1:%2:%3 have passed")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

int runRecordCommand(const RecordOptions& options)
{
    QTextStream err(stderr);
    const bool quiet = options.verbosity == Verbosity::Quiet;
    // Found out now rather than after hours of recording.
    if (!options.outFile.isEmpty()) {
        const QFileInfo directory(QFileInfo(options.outFile).absolutePath());
        if (!directory.isDir() || !directory.isWritable()) {
            err << "audimark-cli: cannot write " << options.outFile << ": "
                << (directory.isDir() ? "the directory is not writable" : "no such directory")
                << Qt::endl;
            return 1;
        }
    }
    // Ctrl-C from here on ends the recording, also before its first sample.
    InterruptWatcher interrupt;
    const std::unique_ptr<Archive> archive = CliArchive::openOrWarn(options.archive, err);

    MeterLink link;
    if (!findMeter(link, options, err))
        return 1;
    MeterClock& clock = link.clock();

    RealTimeRecorder recorder(clock);
    RecordingSink sink(options.count, options.verbosity, err, clock);
    recorder.setSink(&sink);
    RealTimeArchiver archiver(recorder, clock);
    archiver.setArchive([&archive] { return archive.get(); });
    archiver.setMeter([&link] {
        return RealTimeArchiver::Meter{LoggerImageArchiver::meterModelName(link.MeterModel()),
                                       link.portName()};
    });
    // One warning per run of failed writes; the samples are kept and tried
    // again with the next one.
    bool failureReported = false;
    QObject::connect(&archiver, &RealTimeArchiver::writeFailed, &archiver,
                     [&](const QString& error) {
                         if (std::exchange(failureReported, true))
                             return;
                         err << "audimark-cli: warning: " << CliArchive::oneLine(error) << Qt::endl;
                     });
    QObject::connect(&archiver, &RealTimeArchiver::writeSucceeded, &archiver,
                     [&] { failureReported = false; });
    // The graph file's X range runs from the start to the stop, as the
    // real-time graph's does.
    double startTime = 0.0;
    double endTime = 0.0;
    QObject::connect(&recorder, &RealTimeRecorder::runningChanged, &recorder, [&](bool running) {
        if (running)
            return;
        endTime = GraphTexts::fromDateTime(clock.currentDateTime());
        QCoreApplication::quit();
    });
    QObject::connect(&interrupt, &InterruptWatcher::interrupted, &recorder,
                     [&recorder] { recorder.stop(); });

    bool lossReported = false;
    QObject::connect(&link, &MeterLink::linkLost, &link, [&] {
        if (std::exchange(lossReported, true))
            return;
        err << "audimark-cli: meter stopped answering on " << link.portName()
            << "; recording goes on when it is back" << Qt::endl;
    });
    QObject::connect(&link, &MeterLink::statusChanged, &link,
                     [&](const QString&, const QString& status) {
                         if (status != LinkStatus::On || !std::exchange(lossReported, false))
                             return;
                         err << "audimark-cli: meter back on " << link.portName() << Qt::endl;
                     });

    const MeterClock::TimePoint started = clock.now();
    if (options.count == 0) {
        // Checked after every frame and every tick, so that a silent meter
        // does not keep the recording beyond its time.
        const auto checkDuration = [&] {
            if (clock.now() - started >= options.duration)
                recorder.stop();
        };
        QObject::connect(&link, &MeterLink::frameAnswered, &recorder, checkDuration);
        QObject::connect(&link.MainTimer(), &QTimer::timeout, &recorder, checkDuration);
    }

    link.setRecorder(&recorder);
    startTime = GraphTexts::fromDateTime(clock.currentDateTime());
    recorder.start(options.intervalSeconds);
    if (!quiet)
        err << "Recording every " << QLocale::c().toString(double(options.intervalSeconds))
            << " s until " << untilText(options) << " (Ctrl-C ends it)" << Qt::endl;
    link.startLiveLink();
    QCoreApplication::exec();
    link.setRecorder(nullptr);
    link.stopLiveLink();

    const qsizetype samples = qsizetype(sink.x().size());
    if (!quiet) {
        err << samples << " samples recorded";
        if (archiver.measurementId() > 0)
            err << ", measurement " << archiver.measurementId() << " in the archive "
                << archive->location().displayName();
        err << Qt::endl;
    }
    if (archive && samples > 0 && !archiver.inArchive())
        err << "audimark-cli: warning: the archive " << archive->location().displayName()
            << " does not hold every sample of this recording" << Qt::endl;

    if (options.outFile.isEmpty())
        return 0;
    if (RecordArguments::isGraphFile(options.outFile)) {
        const RealTimeGraphJob job{options.outFile,
                                   startTime,
                                   endTime,
                                   options.count > 0 ? options.count : int(samples),
                                   options.intervalSeconds,
                                   sink.x(),
                                   sink.y(),
                                   sink.weighting()};
        if (!job.runWriter(err))
            return 1;
        if (options.verbosity == Verbosity::Verbose)
            err << samples << " samples written to " << options.outFile << Qt::endl;
        return 0;
    }
    const std::optional<QChar> separator = GraphExport::separatorForExtension(options.outFile);
    const FileWriteOutcome outcome =
        GraphExport::write(options.outFile, sink.x(), sink.y(), ExportRange::all(int(samples)),
                           separator.value_or(ExportText::Tab), QLocale());
    if (!outcome.written()) {
        err << "audimark-cli: cannot write " << options.outFile << ": " << outcome.error
            << Qt::endl;
        return 1;
    }
    if (options.verbosity == Verbosity::Verbose)
        err << samples << " samples written to " << options.outFile << Qt::endl;
    return 0;
}
