// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace SystemUptime {
// Seconds since the system started, time spent suspended included; 0 when the clock cannot be read.
[[nodiscard]] double seconds();
} // namespace SystemUptime
