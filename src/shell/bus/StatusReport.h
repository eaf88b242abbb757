// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QVariantMap>

class WallpaperEngine;

// What the control interface's Status returns: the status line, the pause reason, the assignments,
// per connected display the wallpaper it shows and whether its player runs, as the engine knows them,
// the rotation and the display backend. The same map travels over the bus and is printed by the command
// line as text or JSON.
namespace StatusReport {

[[nodiscard]] QVariantMap collect(const WallpaperEngine& engine);

// Maps and lists that arrive from the bus as QDBusArgument become plain QVariantMap and QVariantList.
[[nodiscard]] QVariant fromBus(const QVariant& value);

[[nodiscard]] QString toText(const QVariantMap& report);
// "rotation: every 5m, in order, next change in 4m12s", or "rotation: off".
[[nodiscard]] QString rotationText(const QVariantMap& report);
[[nodiscard]] QByteArray toJson(const QVariantMap& report);

} // namespace StatusReport
