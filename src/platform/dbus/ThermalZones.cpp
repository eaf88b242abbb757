// SPDX-License-Identifier: GPL-3.0-or-later
#include "ThermalZones.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <optional>

namespace {
// Millidegrees Celsius, as sysfs reports them.
constexpr qint64 placeholderTripBelow = 30'000;
constexpr qint64 nearTripMargin = 5'000;

QByteArray readTrimmed(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll().trimmed();
}

std::optional<qint64> readMillidegrees(const QString& file) {
    bool ok = false;
    const qint64 value = readTrimmed(file).toLongLong(&ok);
    return ok ? std::optional(value) : std::nullopt;
}

ThermalLevel zoneLevel(const QDir& zone) {
    if (readTrimmed(zone.filePath(QStringLiteral("mode"))) == "disabled")
        return ThermalLevel::Nominal;
    const std::optional<qint64> temperature = readMillidegrees(zone.filePath(QStringLiteral("temp")));
    if (!temperature)
        return ThermalLevel::Nominal;

    static const QRegularExpression tripType(QStringLiteral("^trip_point_(\\d+)_type$"));
    ThermalLevel level = ThermalLevel::Nominal;
    for (const QString& name : zone.entryList({QStringLiteral("trip_point_*_type")}, QDir::Files)) {
        const QRegularExpressionMatch match = tripType.match(name);
        if (!match.hasMatch())
            continue;
        const std::optional<qint64> trip =
            readMillidegrees(zone.filePath(QStringLiteral("trip_point_%1_temp").arg(match.captured(1))));
        if (!trip || *trip < placeholderTripBelow)
            continue;
        const QByteArray type = readTrimmed(zone.filePath(name));
        ThermalLevel tripLevel = ThermalLevel::Nominal;
        if (type == "critical" && *temperature >= *trip)
            tripLevel = ThermalLevel::Critical;
        else if ((type == "critical" || type == "hot") && *temperature >= *trip - nearTripMargin)
            tripLevel = ThermalLevel::Serious;
        else if (type == "passive" && *temperature >= *trip)
            tripLevel = ThermalLevel::Serious;
        level = std::max(level, tripLevel);
    }
    return level;
}
} // namespace

ThermalLevel ThermalZones::level(const QString& root) {
    const QDir dir(root);
    ThermalLevel level = ThermalLevel::Nominal;
    for (const QString& zone :
         dir.entryList({QStringLiteral("thermal_zone*")}, QDir::Dirs | QDir::NoDotAndDotDot))
        level = std::max(level, zoneLevel(QDir(dir.filePath(zone))));
    return level;
}
