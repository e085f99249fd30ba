#include "files/formats/ReportDetails.h"

#include "data/GraphTexts.h"
#include "files/formats/NoiseReport.h"

#include "acoustics/PeriodLevels.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QSettings>

#include <cmath>
#include <tuple>

namespace {
constexpr double kMaxLevel = 200.0;
const QString kGroup = QStringLiteral("ReportDetails");
const QString kLastGroup = QStringLiteral("last");
const QString kTitleKey = QStringLiteral("title");
// Offered to a measurement that has nothing stored yet.
const QStringList kCarriedOver = {QStringLiteral("operator"), QStringLiteral("instrument-model"),
                                  QStringLiteral("instrument-serial"),
                                  QStringLiteral("instrument-class")};

QString* textField(ReportDetails& d, const QString& name)
{
    if (name == QLatin1String("site"))
        return &d.site;
    if (name == QLatin1String("position"))
        return &d.position;
    if (name == QLatin1String("client"))
        return &d.client;
    if (name == QLatin1String("operator"))
        return &d.operatorName;
    if (name == QLatin1String("instrument-model"))
        return &d.instrumentModel;
    if (name == QLatin1String("instrument-serial"))
        return &d.instrumentSerial;
    if (name == QLatin1String("instrument-class"))
        return &d.instrumentClass;
    if (name == QLatin1String("weather"))
        return &d.weather;
    if (name == QLatin1String("notes"))
        return &d.notes;
    return nullptr;
}

std::optional<double>* levelField(ReportDetails& d, const QString& name)
{
    if (name == QLatin1String("calibration-before"))
        return &d.calibrationBefore;
    if (name == QLatin1String("calibration-after"))
        return &d.calibrationAfter;
    return nullptr;
}

QString levelText(double value, const QLocale& locale)
{
    QLocale plain = locale;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    // One decimal as the meter shows levels, two when typed with two.
    const double hundredths = std::round(value * 100.0);
    return plain.toString(hundredths / 100.0, 'f', std::fmod(hundredths, 10.0) == 0.0 ? 1 : 2);
}

QString decibels(double value, const QLocale& locale)
{
    return GraphTexts::levelText(value, locale) + QStringLiteral(" dB");
}
} // namespace

const QList<ReportDetails::Field>& ReportDetails::fields()
{
    static const QList<Field> list = {
        {QStringLiteral("site"), QStringLiteral("Site:")},
        {QStringLiteral("position"), QStringLiteral("Measurement position:")},
        {QStringLiteral("client"), QStringLiteral("Client:")},
        {QStringLiteral("operator"), QStringLiteral("Operator:")},
        {QStringLiteral("instrument-model"), QStringLiteral("Instrument model:")},
        {QStringLiteral("instrument-serial"), QStringLiteral("Serial number:")},
        {QStringLiteral("instrument-class"), QStringLiteral("Class:")},
        {QStringLiteral("calibration-before"), QStringLiteral("Calibration before (dB):"), true},
        {QStringLiteral("calibration-after"), QStringLiteral("Calibration after (dB):"), true},
        {QStringLiteral("weather"), QStringLiteral("Weather:")},
        {QStringLiteral("notes"), QStringLiteral("Notes:"), false, true},
    };
    return list;
}

QString ReportDetails::value(const QString& name, const QLocale& locale) const
{
    auto& self = const_cast<ReportDetails&>(*this);
    if (const QString* text = textField(self, name))
        return *text;
    if (const std::optional<double>* level = levelField(self, name))
        return *level ? levelText(**level, locale) : QString();
    return {};
}

bool ReportDetails::setValue(const QString& name, const QString& text, const QLocale& locale)
{
    if (QString* field = textField(*this, name)) {
        *field = text.trimmed();
        return true;
    }
    std::optional<double>* level = levelField(*this, name);
    if (!level)
        return false;
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        level->reset();
        return true;
    }
    bool ok = false;
    double value = locale.toDouble(trimmed, &ok);
    if (!ok)
        value = QLocale::c().toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(value) || value < 0.0 || value > kMaxLevel)
        return false;
    *level = value;
    return true;
}

std::optional<double> ReportDetails::drift() const
{
    if (!calibrationBefore || !calibrationAfter)
        return std::nullopt;
    // To the hundredth, so that 94.2 - 94.0 is 0.2 and not 0.2000000000000028.
    return std::round((*calibrationAfter - *calibrationBefore) * 100.0) / 100.0;
}

bool ReportDetails::isEmpty() const
{
    return *this == ReportDetails{};
}

QList<ReportDetails::Line> ReportDetails::pageLines(const QLocale& locale) const
{
    QList<Line> lines;
    const auto add = [&lines](const QString& label, const QString& text) {
        if (!text.isEmpty())
            lines.append({label, text});
    };
    add(QStringLiteral("Site"), site);
    add(QStringLiteral("Position"), position);
    add(QStringLiteral("Client"), client);
    add(QStringLiteral("Operator"), operatorName);
    QStringList instrument;
    if (!instrumentModel.isEmpty())
        instrument << instrumentModel;
    if (!instrumentSerial.isEmpty())
        instrument << QStringLiteral("serial ") + instrumentSerial;
    if (!instrumentClass.isEmpty())
        instrument << QStringLiteral("class ") + instrumentClass;
    add(QStringLiteral("Instrument"), instrument.join(QStringLiteral(", ")));

    QStringList calibration;
    if (calibrationBefore)
        calibration << decibels(*calibrationBefore, locale) + QStringLiteral(" before");
    if (calibrationAfter)
        calibration << decibels(*calibrationAfter, locale) + QStringLiteral(" after");
    if (const std::optional<double> d = drift()) {
        const QString sign = *d > 0.0 ? QStringLiteral("+") : QString();
        calibration << QStringLiteral("drift ") + sign + decibels(*d, locale);
    }
    lines.append({QStringLiteral("Calibration"), calibration.isEmpty()
                                                     ? QStringLiteral("not stated")
                                                     : calibration.join(QStringLiteral(", "))});
    add(QStringLiteral("Weather"), weather);
    add(QStringLiteral("Notes"), notes);
    return lines;
}

namespace {
const QString kPeriod = QStringLiteral("period");
const QString kMinDuration = QStringLiteral("min-duration");
const QString kHysteresis = QStringLiteral("hysteresis");
const QString kDenHours = QStringLiteral("den-hours");
const QString kDenPenalties = QStringLiteral("den-penalties");
const QString kTablesOver = QStringLiteral("tables-over");
constexpr qint64 kMinuteMs = 60'000;
constexpr qint64 kHourMs = 3'600'000;

QString clockText(int minute)
{
    return QStringLiteral("%1:%2")
        .arg(minute / 60, 2, 10, QLatin1Char('0'))
        .arg(minute % 60, 2, 10, QLatin1Char('0'));
}

QString plainNumber(double value)
{
    return QLocale::c().toString(value, 'g', 10);
}
} // namespace

const QStringList& ReportSettings::names()
{
    static const QStringList list = {kPeriod,   kMinDuration,  kHysteresis,
                                     kDenHours, kDenPenalties, kTablesOver};
    return list;
}

QString ReportSettings::value(const QString& name) const
{
    if (name == kPeriod) {
        if (periodMs <= 0)
            return {};
        if (periodMs % kHourMs == 0)
            return QString::number(periodMs / kHourMs) + QLatin1Char('h');
        if (periodMs % kMinuteMs == 0)
            return QString::number(periodMs / kMinuteMs) + QLatin1Char('m');
        return QString::number(periodMs / 1000) + QLatin1Char('s');
    }
    if (name == kMinDuration)
        return plainNumber(minDurationSeconds) + QLatin1Char('s');
    if (name == kHysteresis)
        return plainNumber(hysteresisDb);
    if (name == kDenHours)
        return QStringList{clockText(den.dayStartMinute), clockText(den.eveningStartMinute),
                           clockText(den.nightStartMinute)}
            .join(QLatin1Char(','));
    if (name == kDenPenalties)
        return plainNumber(den.eveningPenaltyDb) + QLatin1Char(',') +
               plainNumber(den.nightPenaltyDb);
    if (name == kTablesOver)
        return tablesOverSpan ? QStringLiteral("span") : QStringLiteral("whole");
    return {};
}

bool ReportSettings::setValue(const QString& name, const QString& text)
{
    const QString trimmed = text.trimmed();
    if (name == kPeriod) {
        if (trimmed.isEmpty() || trimmed == QLatin1String("auto")) {
            periodMs = 0;
            return true;
        }
        const std::optional<qint64> ms = PeriodLevels::lengthOf(trimmed);
        if (ms)
            periodMs = *ms;
        return ms.has_value();
    }
    if (name == kMinDuration) {
        const std::optional<double> seconds = durationOf(trimmed);
        if (seconds)
            minDurationSeconds = *seconds;
        return seconds.has_value();
    }
    if (name == kHysteresis) {
        const std::optional<double> db = decibelsOf(trimmed);
        if (!db || *db < 0.0)
            return false;
        hysteresisDb = *db;
        return true;
    }
    if (name == kDenHours)
        return den.readStarts(trimmed);
    if (name == kDenPenalties)
        return den.readPenalties(trimmed);
    if (name == kTablesOver) {
        if (trimmed != QLatin1String("whole") && trimmed != QLatin1String("span"))
            return false;
        tablesOverSpan = trimmed == QLatin1String("span");
        return true;
    }
    return false;
}

qint64 ReportSettings::periodFor(qint64 spanMs) const
{
    if (periodMs > 0)
        return periodMs;
    if (spanMs <= 2 * kHourMs)
        return 5 * kMinuteMs;
    if (spanMs <= 12 * kHourMs)
        return 15 * kMinuteMs;
    if (spanMs <= 14 * 24 * kHourMs)
        return kHourMs;
    return 24 * kHourMs;
}

QString ReportSettings::periodText(qint64 ms)
{
    if (ms > 0 && ms % (24 * kHourMs) == 0)
        return QStringLiteral("%1 d").arg(ms / (24 * kHourMs));
    if (ms > 0 && ms % kHourMs == 0)
        return QStringLiteral("%1 h").arg(ms / kHourMs);
    if (ms > 0 && ms % kMinuteMs == 0)
        return QStringLiteral("%1 min").arg(ms / kMinuteMs);
    return QStringLiteral("%1 s").arg(ms / 1000);
}

std::optional<double> ReportSettings::durationOf(const QString& text)
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*(\\d+(?:\\.\\d+)?)\\s*([smh]?)\\s*$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    double seconds = match.captured(1).toDouble();
    if (match.captured(2) == QLatin1String("m"))
        seconds *= 60.0;
    else if (match.captured(2) == QLatin1String("h"))
        seconds *= 3600.0;
    return seconds > 0.0 && std::isfinite(seconds) ? std::optional<double>(seconds) : std::nullopt;
}

std::optional<double> ReportSettings::decibelsOf(const QString& text)
{
    bool ok = false;
    const double value = QLocale::c().toDouble(text.trimmed(), &ok);
    return ok && std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

bool operator==(const ReportSettings& a, const ReportSettings& b)
{
    const auto denOf = [](const DenSettings& d) {
        return std::tuple(d.dayStartMinute, d.eveningStartMinute, d.nightStartMinute,
                          d.eveningPenaltyDb, d.nightPenaltyDb);
    };
    return a.periodMs == b.periodMs && a.minDurationSeconds == b.minDurationSeconds &&
           a.hysteresisDb == b.hysteresisDb && denOf(a.den) == denOf(b.den) &&
           a.tablesOverSpan == b.tablesOverSpan;
}

namespace ReportDetailsStore {

namespace {
void readSettings(QSettings& store, ReportSettings& settings)
{
    for (const QString& name : ReportSettings::names())
        if (store.contains(name))
            (void)settings.setValue(name, store.value(name).toString());
}

void writeSettings(QSettings& store, const ReportSettings& settings)
{
    for (const QString& name : ReportSettings::names())
        store.setValue(name, settings.value(name));
}

void readGroup(QSettings& store, ReportDetails& details, const QStringList& names)
{
    for (const QString& name : names)
        (void)details.setValue(name, store.value(name).toString(), QLocale::c());
}

QStringList allNames()
{
    QStringList names;
    for (const ReportDetails::Field& field : ReportDetails::fields())
        names << field.name;
    return names;
}

void writeGroup(QSettings& store, const ReportDetails& details, const QStringList& names)
{
    for (const QString& name : names)
        store.setValue(name, details.value(name, QLocale::c()));
}
} // namespace

QString measurementKey(const ReportSeries& series)
{
    const QString first = series.times.empty()
                              ? QString()
                              : QString::number(std::llround(series.times.front() * 86400000.0));
    const QString identity =
        QStringList{series.meterModel,
                    series.weighting ? weightingText(*series.weighting) : QString(), first,
                    QString::number(std::llround(series.intervalSeconds * 1000.0))}
            .join(QLatin1Char('|'));
    return QString::fromLatin1(
        QCryptographicHash::hash(identity.toUtf8(), QCryptographicHash::Sha1).toHex());
}

Entry read(QSettings& store, const QString& measurementKey)
{
    Entry entry;
    store.beginGroup(kGroup);
    if (store.childGroups().contains(measurementKey)) {
        store.beginGroup(measurementKey);
        entry.title = store.value(kTitleKey).toString();
        readGroup(store, entry.details, allNames());
        readSettings(store, entry.settings);
        store.endGroup();
    } else {
        store.beginGroup(kLastGroup);
        readGroup(store, entry.details, kCarriedOver);
        readSettings(store, entry.settings);
        store.endGroup();
    }
    store.endGroup();
    return entry;
}

void write(QSettings& store, const QString& measurementKey, const Entry& entry)
{
    store.beginGroup(kGroup);
    store.beginGroup(measurementKey);
    store.setValue(kTitleKey, entry.title);
    writeGroup(store, entry.details, allNames());
    writeSettings(store, entry.settings);
    store.endGroup();
    store.beginGroup(kLastGroup);
    writeGroup(store, entry.details, kCarriedOver);
    writeSettings(store, entry.settings);
    store.endGroup();
    store.endGroup();
    store.sync();
}

} // namespace ReportDetailsStore
