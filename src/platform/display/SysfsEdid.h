// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace SysfsEdid {

inline constexpr char drmRoot[] = "/sys/class/drm";

// The raw EDID of the display on a connector such as "DP-1", as the kernel exposes it in
// <root>/card<N>-<connector>/edid; empty when there is none (no such connector, nothing connected,
// or a virtual output).
[[nodiscard]] QByteArray read(const QString& connector, const QString& root = QString::fromLatin1(drmRoot));

} // namespace SysfsEdid
