// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/WallpaperFactory.h"
#include "platform/mpv/MadeObjects.h"

#include <QList>

class MpvSharedPlayer;
class X11DesktopHints;
class X11WallpaperWindow;
class X11WindowEvents;

// Wallpaper windows on X11 and the libmpv players that draw into them. Make it after the Qt
// application and keep it until the engine is gone. Off X11 it makes players but no windows.
class X11MpvWallpaperFactory final : public WallpaperFactory {
public:
    X11MpvWallpaperFactory();
    ~X11MpvWallpaperFactory() override;
    X11MpvWallpaperFactory(const X11MpvWallpaperFactory&) = delete;
    X11MpvWallpaperFactory& operator=(const X11MpvWallpaperFactory&) = delete;

    [[nodiscard]] std::unique_ptr<WallpaperWindow>
    makeWindow(const ScreenInfo& screen, std::function<void()> visibilityChanged) override;
    [[nodiscard]] std::unique_ptr<SharedPlayer> makePlayer(const QString& file) override;

    // The live windows and players this factory made, oldest first.
    [[nodiscard]] QList<X11WallpaperWindow*> windows() const;
    [[nodiscard]] QList<MpvSharedPlayer*> players() const;
    // Told whether any window exists, each time the first one is made or the last one goes.
    void setWindowsExistChanged(std::function<void(bool)> changed);

private:
    void updateWindowsExist();

    std::unique_ptr<X11DesktopHints> m_hints;
    std::unique_ptr<X11WindowEvents> m_events;
    MadeObjects<X11WallpaperWindow> m_windows;
    MadeObjects<MpvSharedPlayer> m_players;
    std::function<void(bool)> m_windowsExistChanged;
    bool m_windowsExist = false;
};
