// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/EnginePlatform.h"
#include "shell/DisplayBackend.h"

#include <memory>

class ScreenSource;
class SystemConditions;
class WallpaperEngine;
class WallpaperFactory;
class WaylandConnection;
class WindowList;
class X11Dpms;
class X11MpvWallpaperFactory;

// The real system's adapters for the engine: screens, window list and wallpaper windows with libmpv
// players through X11 or the Wayland layer shell, and the conditions read from D-Bus services, the
// kernel and DPMS. Made after the Qt application and kept until the engine is gone.
class LinuxPlatform {
public:
    explicit LinuxPlatform(DisplayBackend::Kind backend = DisplayBackend::Kind::X11);
    ~LinuxPlatform();
    LinuxPlatform(const LinuxPlatform&) = delete;
    LinuxPlatform& operator=(const LinuxPlatform&) = delete;

    [[nodiscard]] EnginePlatform engine() const;
    [[nodiscard]] const ScreenSource& screens() const { return *m_screens; }
    // Where the window list announces its changes (the Wayland toplevel list), the engine checks the
    // cover at once instead of at its next scan.
    void followWindowChanges(WallpaperEngine& engine) const;

private:
    X11MpvWallpaperFactory* useX11();
    [[nodiscard]] bool useWayland();

    std::unique_ptr<X11Dpms> m_dpms;
    std::unique_ptr<WaylandConnection> m_wayland;
    std::unique_ptr<ScreenSource> m_screens;
    std::unique_ptr<WallpaperFactory> m_factory;
    std::unique_ptr<SystemConditions> m_conditions;
    std::unique_ptr<WindowList> m_windowList;
};
