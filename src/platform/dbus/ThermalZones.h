// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/SystemConditions.h"

#include <QString>

// Reads the kernel's thermal zones (the layout of /sys/class/thermal) under a root folder.
namespace ThermalZones {
// Zones at or above a passive trip, or within 5 °C of a hot or critical one, are Serious; at or above
// a critical trip, Critical; the worst zone counts. Disabled zones and trips under 30 °C (placeholders
// that some firmware reports) are ignored; a missing or unreadable tree is Nominal. Reads files, so
// it may block: call it off the main thread.
[[nodiscard]] ThermalLevel level(const QString& root);
} // namespace ThermalZones
