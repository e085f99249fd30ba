#include "app/AppSettings.h"

#include <cmath>

namespace {
// A list, a byte array or a text that is not a number is unreadable.
bool isScalar(const QVariant& value)
{
    const int type = value.metaType().id();
    return type != QMetaType::QVariantList && type != QMetaType::QStringList &&
           type != QMetaType::QByteArray && type != QMetaType::QVariantMap;
}

int readInt(const QSettings& store, const QString& key, int fallback)
{
    const QVariant value = store.value(key);
    if (!value.isValid() || !isScalar(value))
        return fallback;
    bool ok = false;
    const int result = value.toInt(&ok);
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
    // A sampling interval has to be a positive, finite number of seconds;
    // anything else would stall or flood the real-time recording.
    if (!ok || !std::isfinite(result) || result <= 0.0)
        return fallback;
    return result;
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
