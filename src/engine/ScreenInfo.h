// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>
#include <QString>
#include <optional>

// One connected display as the platform reports it.
//
// Coordinates: every rectangle the engine handles (screen frames, visible frames, wallpaper window
// frames and the window list's bounds) lies in one global space whose origin is the top-left corner
// of the virtual desktop, y growing downwards; Qt's global screen coordinates on X11 are that space.
// Because the window list shares it, the cover scan compares rectangles without any conversion.
struct ScreenInfo {
    // The display's stable identity as 36 uppercase hexadecimal characters in 8-4-4-4-12 groups,
    // the same across restarts and reconnections; nothing when the platform cannot identify it.
    std::optional<QString> uuid;
    // The name the system shows for the display.
    QString localizedName;
    // The whole screen.
    QRect frame;
    // The screen less the panels and docks that reserve space on it.
    QRect visibleFrame;
    // The platform's own name for the output (on X11 the RandR output), so that an adapter can find
    // its screen again when asked for a window on it. The engine does not read it.
    QString platformName;

    friend bool operator==(const ScreenInfo&, const ScreenInfo&) = default;
};

// The text that names a display in the assignments: its UUID, else its localized name.
[[nodiscard]] inline QString displayKey(const ScreenInfo& screen) {
    if (screen.uuid && !screen.uuid->isEmpty())
        return *screen.uuid;
    return screen.localizedName;
}
