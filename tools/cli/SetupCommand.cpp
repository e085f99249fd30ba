#include "tools/cli/SetupCommand.h"

#include "logger/DateTimeValue.h"
#include "logger/LoggerPort.h"
#include "logger/LoggerSetup.h"
#include "logger/LoggerSetupPort.h"
#include "logger/SetupFrames.h"
#include "logger/SetupTexts.h"
#include "meter/MeterLink.h"
#include "tools/cli/ConsoleSetupUi.h"
#include "tools/cli/IsoTime.h"
#include "tools/cli/LoggerMeterConnection.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>
#include <QTimer>

namespace {

// The "ti" reply as a date and time; invalid when the bytes are none.
QDateTime meterDateTime(const QByteArray& reply)
{
    // YY -- MM DD hh mm ss --
    const auto at = [&reply](int i) { return SetupFrames::fromBcd(std::uint8_t(reply.at(i))); };
    const QDate date(2000 + at(0), at(2), at(3));
    const QTime time(at(4), at(5), at(6));
    return date.isValid() && time.isValid() ? QDateTime(date, time) : QDateTime();
}

// The stored interval in seconds, or -1 when its bytes are not BCD.
int intervalSeconds(const ControlPage& page)
{
    const int minutes = SetupFrames::fromBcd(page.intervalMinutesBcd());
    const int seconds = SetupFrames::fromBcd(page.intervalSecondsBcd());
    return minutes < 0 || seconds < 0 ? -1 : minutes * 60 + seconds;
}

bool complete(const SetupInformation& read)
{
    const LoggerInformation& info = read.information;
    return info.firmware && info.meterClock && info.controlPage;
}

QString jsonText(const SetupInformation& read)
{
    const LoggerInformation& info = read.information;
    QJsonObject object;
    object[QStringLiteral("firmware")] =
        info.firmware ? QJsonValue(*info.firmware / 100.0) : QJsonValue();
    const QDateTime time = info.meterClock ? meterDateTime(*info.meterClock) : QDateTime();
    object[QStringLiteral("meter_time")] =
        time.isValid() ? QJsonValue(time.toString(Qt::ISODate)) : QJsonValue();
    // The meter's clock has no zone: the computer's offset at that time.
    object[QStringLiteral("meter_time_iso")] =
        time.isValid() ? QJsonValue(IsoTime::withOffset(time)) : QJsonValue();
    QJsonValue interval, sets, available, test;
    if (info.controlPage) {
        const int seconds = intervalSeconds(*info.controlPage);
        interval = seconds < 0 ? QJsonValue() : QJsonValue(seconds);
        sets = info.controlPage->dataSets();
        available = info.controlPage->memoryAvailable();
        test = memoryTestText(read.memoryTest);
    }
    object[QStringLiteral("interval_s")] = interval;
    object[QStringLiteral("data_sets")] = sets;
    object[QStringLiteral("memory_available")] = available;
    object[QStringLiteral("memory_test")] = test;
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Indented));
}

void writeText(QTextStream& out, const SetupInformation& read)
{
    const QLocale locale;
    const LoggerInformation& info = read.information;
    const QString unknown = QStringLiteral("-");
    out << "Firmware version:    "
        << (info.firmware ? SetupTexts::firmwareText(*info.firmware, locale) : unknown) << '\n';
    const QDateTime time = info.meterClock ? meterDateTime(*info.meterClock) : QDateTime();
    out << "Meter time:          "
        << (time.isValid() ? locale.toString(time.date(),
                                             DateTimeValue::fourDigitYearShortDateFormat(locale)) +
                                 QLatin1Char(' ') + time.time().toString(QStringLiteral("HH:mm:ss"))
                           : unknown)
        << '\n';
    const std::optional<ControlPage>& page = info.controlPage;
    out << "Recording interval:  "
        << (page ? SetupFrames::bcdText(page->intervalMinutesBcd()) + QLatin1Char(':') +
                       SetupFrames::bcdText(page->intervalSecondsBcd()) + QStringLiteral(" (mm:ss)")
                 : unknown)
        << '\n';
    out << "Data sets in memory: " << (page ? locale.toString(page->dataSets()) : unknown) << '\n';
    out << "Memory available:    "
        << (page ? locale.toString(page->memoryAvailable()) + QStringLiteral(" samples") : unknown)
        << '\n';
    out << "Memory test:         " << (page ? memoryTestText(read.memoryTest) : unknown) << '\n';
}

void printMessages(QTextStream& stream, const QStringList& messages)
{
    for (const QString& message : messages)
        stream << message << '\n';
}
} // namespace

int runSetupCommand(const SetupCommandOptions& options)
{
    QTextStream out(stdout);
    QTextStream err(stderr);

    QString minutes, seconds;
    if (options.operation == SetupCommandOptions::Operation::SetInterval) {
        const QStringList parts = options.interval.split(QLatin1Char(':'));
        if (parts.size() == 2) {
            minutes = parts.at(0);
            seconds = parts.at(1);
        }
        if (!LoggerSetup::parseInterval(minutes, seconds)) {
            err << "audimark-cli: set-interval needs MM:SS from 00:01 to 01:00 (the data sets "
                   "of longer intervals cannot be read back)\n";
            return 2;
        }
    }
    if (options.operation == SetupCommandOptions::Operation::Erase && !options.yes) {
        err << "audimark-cli: erase deletes every data set in the meter; run it with --yes\n";
        return 2;
    }

    MeterLink link;
    if (!LoggerMeterConnection::connect(link, options.ports, err))
        return 1;

    LoggerPort port(link);
    LoggerSetupPort setupPort(port);
    ConsoleSetupUi ui(options.yes);
    LoggerSetup setup(setupPort, ui);
    bool done = false;
    switch (options.operation) {
    case SetupCommandOptions::Operation::Info: {
        const SetupInformation read = setup.Button4Click();
        done = complete(read);
        if (options.json)
            out << jsonText(read);
        else
            writeText(out, read);
        if (!done)
            err << "audimark-cli: the meter did not answer the whole information read\n";
        break;
    }
    case SetupCommandOptions::Operation::SetClock:
        done = setup.Button1Click();
        break;
    case SetupCommandOptions::Operation::SetInterval:
        done = setup.Button2Click(minutes, seconds);
        break;
    case SetupCommandOptions::Operation::Erase:
        done = setup.Button3Click();
        break;
    }
    printMessages(done ? out : err, ui.messages());
    out.flush();
    link.stopLiveLink();
    return done ? 0 : SetupNotConfirmed;
}
