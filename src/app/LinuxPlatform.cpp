#include "app/LinuxPlatform.h"

#include "platform/dbus/LinuxSystemConditions.h"
#include "platform/desktop/X11MpvWallpaperFactory.h"
#include "platform/x11/X11Dpms.h"
#include "platform/x11/X11ScreenSource.h"
#include "platform/x11/X11WindowList.h"

LinuxPlatform::LinuxPlatform()
    : m_dpms(std::make_unique<X11Dpms>()), m_screens(std::make_unique<X11ScreenSource>()),
      m_factory(std::make_unique<X11MpvWallpaperFactory>()), m_windowList(std::make_unique<X11WindowList>()) {
    LinuxSystemConditionsSetup setup;
    setup.displaysOff = [dpms = m_dpms.get()] { return dpms->displaysOff(); };
    m_conditions = std::make_unique<LinuxSystemConditions>(setup);
}

LinuxPlatform::~LinuxPlatform() = default;

EnginePlatform LinuxPlatform::engine() const {
    return {.screens = *m_screens,
            .factory = *m_factory,
            .conditions = *m_conditions,
            .windowList = *m_windowList};
}
