#include "files/formats/ReportDetails.h"

#include "data/GraphTexts.h"
#include "files/formats/NoiseReport.h"

#include <QCryptographicHash>
#include <QSettings>

#include <cmath>

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

namespace ReportDetailsStore {

namespace {
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
        store.endGroup();
    } else {
        store.beginGroup(kLastGroup);
        readGroup(store, entry.details, kCarriedOver);
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
    store.endGroup();
    store.beginGroup(kLastGroup);
    writeGroup(store, entry.details, kCarriedOver);
    store.endGroup();
    store.endGroup();
    store.sync();
}

} // namespace ReportDetailsStore
