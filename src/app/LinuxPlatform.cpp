#include "app/LinuxPlatform.h"

#include "platform/dbus/LinuxSystemConditions.h"
#include "platform/desktop/X11MpvWallpaperFactory.h"
#include "platform/x11/X11Dpms.h"
#include "platform/x11/X11ScreenSource.h"
#include "platform/x11/X11WindowList.h"

LinuxPlatform::LinuxPlatform()
    : m_dpms(std::make_unique<X11Dpms>()), m_screens(std::make_unique<X11ScreenSource>()),
      m_windowList(std::make_unique<X11WindowList>()) {
    LinuxSystemConditionsSetup setup;
    setup.displaysOff = [dpms = m_dpms.get()] { return dpms->displaysOff(); };
    auto conditions = std::make_unique<LinuxSystemConditions>(setup);
    auto factory = std::make_unique<X11MpvWallpaperFactory>();
    // Whether the displays sleep matters only to a wallpaper on them.
    factory->setWindowsExistChanged(
        [watched = conditions.get()](bool exist) { watched->setDisplaysWatched(exist); });
    m_conditions = std::move(conditions);
    m_factory = std::move(factory);
}

LinuxPlatform::~LinuxPlatform() = default;

EnginePlatform LinuxPlatform::engine() const {
    return {.screens = *m_screens,
            .factory = *m_factory,
            .conditions = *m_conditions,
            .windowList = *m_windowList};
}
