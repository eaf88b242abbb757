#pragma once

#include "engine/EnginePlatform.h"

#include <memory>

class ScreenSource;
class SystemConditions;
class WallpaperFactory;
class WindowList;
class X11Dpms;

// The real system's adapters for the engine: X11 screens and window list, wallpaper windows with
// libmpv players, and the conditions read from D-Bus services, the kernel and DPMS. Made after the
// Qt application and kept until the engine is gone.
class LinuxPlatform {
public:
    LinuxPlatform();
    ~LinuxPlatform();
    LinuxPlatform(const LinuxPlatform&) = delete;
    LinuxPlatform& operator=(const LinuxPlatform&) = delete;

    [[nodiscard]] EnginePlatform engine() const;
    [[nodiscard]] const ScreenSource& screens() const { return *m_screens; }

private:
    std::unique_ptr<X11Dpms> m_dpms;
    std::unique_ptr<ScreenSource> m_screens;
    std::unique_ptr<WallpaperFactory> m_factory;
    std::unique_ptr<SystemConditions> m_conditions;
    std::unique_ptr<WindowList> m_windowList;
};
