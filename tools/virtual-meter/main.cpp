// audimark-virtual-meter: a QV58M sound level meter on a pseudo-terminal, for
// tests and demonstrations. Prints the slave device path as the first line of
// standard output, then serves until "quit" on standard input, SIGINT or
// SIGTERM. Standard input takes one command per line: off, on, level <dB>,
// quit; its end does not stop the meter.

#include "tools/virtual-meter/VirtualMeter.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <unistd.h>

namespace {
vmeter::VirtualMeter* runningMeter = nullptr;

void stopOnSignal(int)
{
    if (runningMeter)
        runningMeter->requestStopFromSignal();
}

[[noreturn]] void failUsage(const QString& message)
{
    std::fprintf(stderr, "audimark-virtual-meter: %s\n", qPrintable(message));
    std::exit(2);
}

vmeter::VirtualMeterOptions parseOptions(const QCoreApplication& app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Virtual QV58M sound level meter on a pseudo-terminal. Prints the device path first; "
        "standard input takes the commands off, on, level <dB> and quit."));
    parser.addHelpOption();
    const QCommandLineOption model(QStringLiteral("model"),
                                   QStringLiteral("Meter model, 841 or 842 (default 842)."),
                                   QStringLiteral("model"), QStringLiteral("842"));
    const QCommandLineOption idReply(
        QStringLiteral("id-reply"),
        QStringLiteral("4-byte answer to \"K\" instead of the model's."), QStringLiteral("text"));
    const QCommandLineOption noIdReply(QStringLiteral("no-id-reply"),
                                       QStringLiteral("Do not answer \"K\"."));
    const QCommandLineOption interval(
        QStringLiteral("interval"),
        QStringLiteral("Frame spacing after \"X\" in ms (default 100)."), QStringLiteral("ms"),
        QStringLiteral("100"));
    const QCommandLineOption fast(QStringLiteral("fast"),
                                  QStringLiteral("Send without 9600-baud pacing."));
    const QCommandLineOption level(QStringLiteral("level"),
                                   QStringLiteral("Base sound level in dB (default 65)."),
                                   QStringLiteral("dB"), QStringLiteral("65"));
    const QCommandLineOption seed(QStringLiteral("seed"),
                                  QStringLiteral("Seed of the level and fault generators."),
                                  QStringLiteral("n"));
    const QCommandLineOption batteryLow(QStringLiteral("battery-low"),
                                        QStringLiteral("Show the low battery annunciator."));
    const QCommandLineOption noise(QStringLiteral("noise"),
                                   QStringLiteral("Send garbage bytes now and then."));
    const QCommandLineOption split(QStringLiteral("split"),
                                   QStringLiteral("Send frames in random fragments."));
    const QCommandLineOption corrupt(QStringLiteral("corrupt"),
                                     QStringLiteral("Send damaged frames now and then."));
    const QCommandLineOption corruptRate(
        QStringLiteral("corrupt-rate"),
        QStringLiteral("Share of frames preceded by a damaged one with --corrupt (default 0.1)."),
        QStringLiteral("share"), QStringLiteral("0.1"));
    const QCommandLineOption logFile(QStringLiteral("log"),
                                     QStringLiteral("Log received command frames to file."),
                                     QStringLiteral("file"));
    parser.addOptions({model, idReply, noIdReply, interval, fast, level, seed, batteryLow, noise,
                       split, corrupt, corruptRate, logFile});
    parser.process(app);

    vmeter::VirtualMeterOptions options;
    vmeter::ProtocolSettings& protocol = options.protocol;
    const QString modelText = parser.value(model);
    if (modelText == QLatin1String("841"))
        protocol.model = vmeter::MeterModel::Model841;
    else if (modelText != QLatin1String("842"))
        failUsage(QStringLiteral("--model must be 841 or 842"));
    protocol.idReply = "0" + modelText.toLatin1();
    if (parser.isSet(idReply)) {
        protocol.idReply = parser.value(idReply).toLatin1();
        if (protocol.idReply.size() != 4)
            failUsage(QStringLiteral("--id-reply needs exactly 4 bytes"));
    }
    if (parser.isSet(noIdReply))
        protocol.idReply.clear();

    bool ok = false;
    const int intervalMs = parser.value(interval).toInt(&ok);
    if (!ok || intervalMs < 0)
        failUsage(QStringLiteral("--interval needs a number of milliseconds"));
    protocol.frameSpacing = std::chrono::milliseconds(intervalMs);
    protocol.baseLevelDb = parser.value(level).toDouble(&ok);
    if (!ok || protocol.baseLevelDb < 0 || protocol.baseLevelDb > 140)
        failUsage(QStringLiteral("--level needs a level in dB, 0 to 140"));
    protocol.batteryLow = parser.isSet(batteryLow);
    if (parser.isSet(seed)) {
        protocol.seed = parser.value(seed).toUInt(&ok);
        if (!ok)
            failUsage(QStringLiteral("--seed needs a non-negative integer"));
    } else {
        protocol.seed = std::random_device{}();
    }

    options.faults.seed = protocol.seed;
    options.faults.noise = parser.isSet(noise);
    options.faults.split = parser.isSet(split);
    if (parser.isSet(corrupt)) {
        options.faults.corruptRate = parser.value(corruptRate).toDouble(&ok);
        if (!ok || options.faults.corruptRate < 0 || options.faults.corruptRate > 1)
            failUsage(QStringLiteral("--corrupt-rate needs a share from 0 to 1"));
    }
    options.fast = parser.isSet(fast);
    options.logPath = parser.value(logFile);
    return options;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("audimark-virtual-meter"));
    const vmeter::VirtualMeterOptions options = parseOptions(app);

    vmeter::VirtualMeter meter(options);
    if (!meter.open()) {
        std::fprintf(stderr, "audimark-virtual-meter: %s\n", qPrintable(meter.errorString()));
        return 1;
    }
    std::printf("%s\n", qPrintable(meter.slavePath()));
    std::fflush(stdout);

    runningMeter = &meter;
    struct sigaction action
    {
    };
    action.sa_handler = stopOnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    meter.setCommandInput(STDIN_FILENO);
    meter.run();
    runningMeter = nullptr;
    return 0;
}
