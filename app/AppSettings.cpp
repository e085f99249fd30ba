#include "app/AppSettings.h"

#include "realtime/SamplingInterval.h"

#include <limits>

namespace {
// A list, a byte array or a text that is not a number is unreadable.
bool isScalar(const QVariant& value)
{
    const int type = value.metaType().id();
    return type != QMetaType::QVariantList && type != QMetaType::QStringList &&
           type != QMetaType::QByteArray && type != QMetaType::QVariantMap;
}

// A whole number within int. A floating-point value (a store of another
// kind may hand one over) is checked before it is converted: 1e39 has no int.
int readInt(const QSettings& store, const QString& key, int fallback)
{
    const QVariant value = store.value(key);
    if (!value.isValid() || !isScalar(value))
        return fallback;
    const int type = value.metaType().id();
    if (type == QMetaType::Double || type == QMetaType::Float) {
        const double number = value.toDouble();
        const bool whole = number >= double(std::numeric_limits<int>::min()) &&
                           number <= double(std::numeric_limits<int>::max()) &&
                           number == double(qint64(number));
        return whole ? int(number) : fallback;
    }
    // As text, so that a 64-bit number out of int is refused, not cut.
    bool ok = false;
    const int result = value.toString().toInt(&ok);
    return ok ? result : fallback;
}

// true/false, 1/0, yes/no; anything else is the fallback.
bool readSwitch(const QSettings& store, const QString& key, bool fallback)
{
    const QVariant value = store.value(key);
    if (!value.isValid() || !isScalar(value))
        return fallback;
    const QString text = value.toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1") || text == QLatin1String("yes"))
        return true;
    if (text == QLatin1String("false") || text == QLatin1String("0") || text == QLatin1String("no"))
        return false;
    return fallback;
}

double readRate(const QSettings& store, const QString& key, double fallback)
{
    const QVariant value = store.value(key);
    if (!value.isValid() || !isScalar(value))
        return fallback;
    bool ok = false;
    const double result = value.toDouble(&ok);
    // Out of range counts as unreadable: the interval becomes a float.
    return ok && SamplingInterval::usable(result) ? result : fallback;
}
} // namespace

SavedSettings AppSettings::read(const QSettings& store)
{
    SavedSettings s;
    s.realTimeRate = readRate(store, RealTimeRateKey, SavedSettings::DefaultRealTimeRate);
    s.lastConnectedPort =
        readInt(store, LastConnectedPortKey, SavedSettings::DefaultLastConnectedPort);
    s.lastConnectedModel =
        readInt(store, LastConnectedModelKey, SavedSettings::DefaultLastConnectedModel);
    s.loggerTools = readSwitch(store, LoggerToolsKey, false);
    return s;
}

bool AppSettings::write(QSettings& store, const SavedSettings& values)
{
    store.setValue(RealTimeRateKey, values.realTimeRate);
    store.setValue(LastConnectedPortKey, values.lastConnectedPort);
    store.setValue(LastConnectedModelKey, values.lastConnectedModel);
    store.sync();
    return store.status() == QSettings::NoError;
}
