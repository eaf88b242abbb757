// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/LinuxPlatform.h"

#include "engine/WallpaperEngine.h"
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
    X11MpvWallpaperFactory* x11Factory = nullptr;
    if (backend != DisplayBackend::Kind::Wayland || !useWayland()) {
        // Also without any display: players are made, windows are not.
        x11Factory = useX11();
        setup.displaysOff = [dpms = m_dpms.get()] { return dpms->displaysOff(); };
    }
    auto conditions = std::make_unique<LinuxSystemConditions>(setup);
    // Whether the displays sleep matters only to a wallpaper on them.
    if (x11Factory)
        x11Factory->setWindowsExistChanged(
            [watched = conditions.get()](bool exist) { watched->setDisplaysWatched(exist); });
    m_conditions = std::move(conditions);
}

LinuxPlatform::~LinuxPlatform() = default;

X11MpvWallpaperFactory* LinuxPlatform::useX11() {
    m_dpms = std::make_unique<X11Dpms>();
    m_screens = std::make_unique<X11ScreenSource>();
    auto factory = std::make_unique<X11MpvWallpaperFactory>();
    X11MpvWallpaperFactory* made = factory.get();
    m_factory = std::move(factory);
    m_windowList = std::make_unique<X11WindowList>();
    return made;
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

void LinuxPlatform::followWindowChanges(WallpaperEngine& engine) const {
    if (m_wayland)
        QObject::connect(m_wayland.get(), &WaylandConnection::toplevelsChanged, &engine,
                         &WallpaperEngine::refreshCover, Qt::QueuedConnection);
}
