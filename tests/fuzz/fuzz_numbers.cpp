// Every number read from the settings or typed into a field that becomes a
// time, an interval or a count. The input is text; its first line is the
// value each reader gets first and its second line the value a reader with
// two fields gets next:
// - the saved settings (RealTimeRate, then LastConnectedPort and
//   LastConnectedModel) read from an INI file, the saved interval taken as
//   the start-up does, the real-time graph made for it and Run's setup
//   dialog opened on it;
// - "Real-Time Setup" typed: the rate (first line) and the point count
//   (second), under the C and the German locale, then a few readings
//   recorded at that interval;
// - the logger setup's interval edits (minutes, seconds) and the
//   `audimark-cli set-interval MM:SS` text, the auto-loading hours;
// - the program's --sample-graph=N and --demo=MODEL options;
// - the meter's clock and interval replies as the setup window shows them.

#include "FuzzInput.h"

#include "realtime/RealTimeRig.h"

#include "app/AppSettings.h"
#include "app/CommandLineOptions.h"
#include "graph/PESGraph.h"
#include "logger/AutoLoadSchedule.h"
#include "logger/LoggerSetup.h"
#include "logger/SetupTexts.h"

#include <QApplication>
#include <QSettings>

#include <cmath>
#include <memory>

using FuzzInput::require;

namespace {
struct Program
{
    Program()
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        // The chart's painter warnings about charts no window could show would
        // fill the run's log; a crash still reports itself.
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        static int argc = 1;
        static char name[] = "fuzz_numbers";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QApplication>(argc, argv);
        rig = std::make_unique<RealTimeRig>();
        rig->answer = QMessageBox::No;
    }
    std::unique_ptr<QApplication> app;
    std::unique_ptr<RealTimeRig> rig;
};

// The period "h:mm:ss" the setup dialog shows: never a negative part.
void checkPeriod(const QString& period)
{
    require(!period.contains(QLatin1Char('-')), "a recording period with a negative part");
}

void checkTimeAxis(const PESGraph& chart)
{
    const double from = chart.manualMinX();
    const double to = chart.manualMaxX();
    require(std::isfinite(from) && std::isfinite(to) && to >= from,
            "a real-time axis turned around or off the calendar");
}

void recordSomeReadings(RealTimeRig& rig)
{
    for (int i = 0; i < 3; ++i)
        rig.feed(65.0f + float(i), 700);
    rig.commands.btnStopClick();
}

void savedSettings(Program& program, const QString& first, const QString& second)
{
    static const FuzzInput::ScratchFile file(QStringLiteral("Audimark.ini"));
    file.write(QStringLiteral("[General]\nRealTimeRate=%1\nLastConnectedPort=%2\nLastConnectedModel=%2\n")
                   .arg(first, second)
                   .toUtf8());
    const QSettings store(file.path(), QSettings::IniFormat);
    const SavedSettings saved = AppSettings::read(store);

    // As the start-up takes it, then a new real-time graph and Run's dialog on it.
    RealTimeRig& rig = *program.rig;
    rig.state.RealTimeInterval = float(saved.realTimeRate);
    rig.createGraph();
    checkTimeAxis(*rig.window->graph());
    rig.setup = [](TfrmSetupRealTime& form) {
        checkPeriod(form.periodText());
        return false;
    };
    rig.commands.btnRunClick();
}

void typedSetup(Program& program, const QString& rate, const QString& count)
{
    RealTimeRig& rig = *program.rig;
    for (const QLocale& locale : {QLocale::c(), QLocale(QLocale::German, QLocale::Germany)}) {
        QLocale::setDefault(locale);
        rig.state.RealTimeInterval = 0.2f;
        rig.createGraph();
        rig.setup = [&](TfrmSetupRealTime& form) {
            form.findChild<QLineEdit*>(QStringLiteral("edtRealTimeNo"))->setText(count);
            form.setRateText(rate);
            checkPeriod(form.periodText());
            return true;
        };
        rig.messages.clear();
        rig.commands.btnRunClick();
        if (rig.commands.recorder().isRunning()) {
            const float interval = rig.commands.recorder().interval();
            require(interval > 0.0f && std::isfinite(interval), "recording at an unusable interval");
            checkTimeAxis(*rig.window->graph());
            recordSomeReadings(rig);
        }
    }
    QLocale::setDefault(QLocale::c());
}

void loggerNumbers(const QString& first, const QString& second)
{
    if (const auto interval = LoggerSetup::parseInterval(first, second))
        require(interval->seconds >= 1 && interval->seconds <= 60, "an interval out of 00:01..01:00");
    const QStringList parts = first.split(QLatin1Char(':'));
    if (parts.size() == 2)
        (void)LoggerSetup::parseInterval(parts.at(0), parts.at(1));

    if (const auto hours = AutoLoadSchedule::parseHours(first)) {
        static const QDateTime now(QDate(2026, 12, 7), QTime(14, 0));
        AutoLoadSchedule schedule;
        schedule.start(*hours, now);
        require(schedule.NextAutoLoad() > now, "an auto-load that is not ahead");
        (void)schedule.takeDue(now.addSecs(qint64(*hours) * 3600 + 1), true);
    }
}

void commandLine(const QString& first, const QString& second)
{
    const CommandLineOptions options = CommandLineOptions::parse(
        {QStringLiteral("audimark"), QStringLiteral("--sample-graph=") + first,
         QStringLiteral("--demo=") + second});
    require(options.sampleGraphPoints >= 0, "a negative number of sample graph points");
}

void meterReplies(const QByteArray& bytes)
{
    for (int order = 1; order <= 5; ++order)
        (void)SetupTexts::meterTimeText(bytes, order, QStringLiteral("/"));
    if (bytes.size() >= 2)
        (void)SetupTexts::intervalText(std::uint8_t(bytes.at(0)), std::uint8_t(bytes.at(1)));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Kept to the end of the process: windows are not taken down at exit.
    static Program& program = *new Program;
    const QByteArray bytes = FuzzInput::Reader(data, size).rest();
    const QStringList lines = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
    const QString first = lines.value(0);
    const QString second = lines.value(1);

    savedSettings(program, first, second);
    typedSetup(program, first, second);
    loggerNumbers(first, second);
    commandLine(first, second);
    meterReplies(bytes);
    return 0;
}
