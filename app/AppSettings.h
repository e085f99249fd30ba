#pragma once

// The program's three saved settings: the real-time sampling interval, the
// port index and the meter model to fall back to when no meter answers at
// start-up. Each value is read and written on its own: a value that is
// missing or cannot be read as its type gives that value's default and never
// disturbs the others.

#include <QSettings>

struct SavedSettings
{
    static constexpr double DefaultRealTimeRate = 0.2;
    static constexpr int DefaultLastConnectedPort = 0;
    static constexpr int DefaultLastConnectedModel = 842;

    // Seconds between real-time samples ("RealTimeRate").
    double realTimeRate = DefaultRealTimeRate;
    // Index into the port list; -1 when no entry was selected ("LastConnectedPort").
    int lastConnectedPort = DefaultLastConnectedPort;
    // 841 or 842 as saved; other numbers are kept as read and replaced by the
    // start-up fall-back ("LastConnectedModel").
    int lastConnectedModel = DefaultLastConnectedModel;
    // Shows the logger setup and auto-loading commands ("logger-tools"); only
    // read, the user sets it.
    bool loggerTools = false;

    friend bool operator==(const SavedSettings&, const SavedSettings&) = default;
};

class AppSettings
{
public:
    static inline const QString RealTimeRateKey = QStringLiteral("RealTimeRate");
    static inline const QString LastConnectedPortKey = QStringLiteral("LastConnectedPort");
    static inline const QString LastConnectedModelKey = QStringLiteral("LastConnectedModel");
    static inline const QString LoggerToolsKey = QStringLiteral("logger-tools");

    [[nodiscard]] static SavedSettings read(const QSettings& store);
    // Writes all three values and flushes them; returns false when the store
    // reported an error (the values that could be written stay written).
    static bool write(QSettings& store, const SavedSettings& values);
};
