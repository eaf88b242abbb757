// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// What the library asks of whatever puts wallpapers on the displays.
class WallpaperTarget {
public:
    // The display choice, and the assignment key, that stands for every display.
    static constexpr QLatin1StringView allDisplays{"*"};

    virtual ~WallpaperTarget() = default;

    // Puts the wallpaper on "*" (every display, replacing all entries) or on one display key,
    // saves the assignments, clears the user pause and applies.
    virtual void useWallpaper(const QString& id, const QString& displayChoice) = 0;

    // The wallpaper left the library: when any display shows it, every display is cleared.
    virtual void forgetWallpaper(const QString& id) = 0;
};
