// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLatin1StringView>
#include <QString>

// Which windowing system the wallpapers go through, chosen once before the Qt application exists.
namespace DisplayBackend {

enum class Kind { X11, Wayland, None };

// The key of the choice in the status report.
inline constexpr QLatin1StringView reportKey{"backend"};

struct Environment {
    // LUMIVALE_BACKEND: "x11" or "wayland" to override; anything else is ignored.
    QString override;
    bool waylandDisplay = false;
    bool x11Display = false;
};

// LUMIVALE_BACKEND wins. Otherwise Wayland where the compositor offers the layer shell (asked only
// then), else X11 where an X server (XWayland on GNOME) is reachable, else none: players without
// windows.
[[nodiscard]] Kind choose(const Environment& environment, bool (*offersLayerShell)());

// Reads the environment, chooses, logs the choice and, for X11 under a Wayland session, points Qt at
// XWayland. Call before constructing the Qt application.
Kind prepare(bool (*offersLayerShell)());
// The choice prepare() made; None before.
[[nodiscard]] Kind current();
[[nodiscard]] QString name(Kind kind);

} // namespace DisplayBackend
