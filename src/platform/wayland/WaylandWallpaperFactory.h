// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/WallpaperFactory.h"
#include "platform/mpv/MadeObjects.h"

#include <QList>

class MpvSharedPlayer;
class WaylandConnection;
class WaylandEgl;
class WaylandWallpaperWindow;

// Layer-shell wallpaper windows and the libmpv players that draw into them with EGL. Make it after the
// Qt application and keep it until the engine is gone; the connection must outlive it. Without a
// usable EGL it makes neither.
class WaylandWallpaperFactory final : public WallpaperFactory {
public:
    explicit WaylandWallpaperFactory(WaylandConnection& connection);
    ~WaylandWallpaperFactory() override;
    WaylandWallpaperFactory(const WaylandWallpaperFactory&) = delete;
    WaylandWallpaperFactory& operator=(const WaylandWallpaperFactory&) = delete;

    [[nodiscard]] std::unique_ptr<WallpaperWindow>
    makeWindow(const ScreenInfo& screen, std::function<void()> visibilityChanged) override;
    [[nodiscard]] std::unique_ptr<SharedPlayer> makePlayer(const QString& file) override;

    // The live windows and players this factory made, oldest first.
    [[nodiscard]] QList<WaylandWallpaperWindow*> windows() const;
    [[nodiscard]] QList<MpvSharedPlayer*> players() const;

private:
    WaylandConnection& m_connection;
    std::unique_ptr<WaylandEgl> m_egl;
    MadeObjects<WaylandWallpaperWindow> m_windows;
    MadeObjects<MpvSharedPlayer> m_players;
};
