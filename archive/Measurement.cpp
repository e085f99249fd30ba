#include "archive/Measurement.h"

#include <array>

namespace {
constexpr std::array<std::pair<MeasurementKind, const char*>, 4> kKindNames{{
    {MeasurementKind::RealTime, "realtime"},
    {MeasurementKind::Logger, "logger"},
    {MeasurementKind::AutoLoad, "autoload"},
    {MeasurementKind::Import, "import"},
}};
} // namespace

QString measurementKindName(MeasurementKind kind)
{
    for (const auto& [k, name] : kKindNames) {
        if (k == kind)
            return QString::fromLatin1(name);
    }
    return QString();
}

std::optional<MeasurementKind> measurementKindFromName(const QString& name)
{
    for (const auto& [k, n] : kKindNames) {
        if (name == QLatin1String(n))
            return k;
    }
    return std::nullopt;
}
