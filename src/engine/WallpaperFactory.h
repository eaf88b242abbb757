// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/ScreenInfo.h"

#include <QString>
#include <functional>
#include <memory>

class SharedPlayer;
class WallpaperWindow;

// Makes the platform objects that the engine owns.
class WallpaperFactory {
public:
    virtual ~WallpaperFactory() = default;

    // A hidden wallpaper window for the screen. The window calls visibilityChanged on the main
    // thread whenever its isVisible() may have changed, for as long as it exists.
    // Nothing when the platform cannot make one; the display then shows nothing.
    [[nodiscard]] virtual std::unique_ptr<WallpaperWindow>
    makeWindow(const ScreenInfo& screen, std::function<void()> visibilityChanged) = 0;

    // A paused player of the local video file at the path. Nothing when the platform cannot make one.
    [[nodiscard]] virtual std::unique_ptr<SharedPlayer> makePlayer(const QString& file) = 0;
};
