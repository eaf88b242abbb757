#include "shell/LinuxPlatform.h"

#include "platform/dbus/LinuxSystemConditions.h"
#include "platform/desktop/X11MpvWallpaperFactory.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandScreenSource.h"
#include "platform/wayland/WaylandWallpaperFactory.h"
#include "platform/wayland/WaylandWindowList.h"
#include "platform/x11/X11Dpms.h"
#include "platform/x11/X11ScreenSource.h"
#include "platform/x11/X11WindowList.h"

LinuxPlatform::LinuxPlatform(DisplayBackend::Kind backend) {
    LinuxSystemConditionsSetup setup;
    if (backend != DisplayBackend::Kind::Wayland || !useWayland()) {
        // Also without any display: players are made, windows are not.
        useX11();
        setup.displaysOff = [dpms = m_dpms.get()] { return dpms->displaysOff(); };
    }
    m_conditions = std::make_unique<LinuxSystemConditions>(setup);
}

LinuxPlatform::~LinuxPlatform() = default;

void LinuxPlatform::useX11() {
    m_dpms = std::make_unique<X11Dpms>();
    m_screens = std::make_unique<X11ScreenSource>();
    m_factory = std::make_unique<X11MpvWallpaperFactory>();
    m_windowList = std::make_unique<X11WindowList>();
}

bool LinuxPlatform::useWayland() {
    m_wayland = WaylandConnection::connect();
    if (!m_wayland)
        return false;
    m_screens = std::make_unique<WaylandScreenSource>(*m_wayland);
    m_factory = std::make_unique<WaylandWallpaperFactory>(*m_wayland);
    m_windowList = std::make_unique<WaylandWindowList>(*m_wayland);
    return true;
}

EnginePlatform LinuxPlatform::engine() const {
    return {.screens = *m_screens,
            .factory = *m_factory,
            .conditions = *m_conditions,
            .windowList = *m_windowList};
}
