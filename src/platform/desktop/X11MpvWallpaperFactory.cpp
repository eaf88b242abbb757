// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/desktop/X11MpvWallpaperFactory.h"

#include "platform/desktop/X11DesktopHints.h"
#include "platform/desktop/X11WallpaperWindow.h"
#include "platform/desktop/X11WindowEvents.h"
#include "platform/mpv/MpvSharedPlayer.h"

X11MpvWallpaperFactory::X11MpvWallpaperFactory() : m_hints(X11DesktopHints::create()) {
    if (m_hints)
        m_events = std::make_unique<X11WindowEvents>();
}

X11MpvWallpaperFactory::~X11MpvWallpaperFactory() = default;

std::unique_ptr<WallpaperWindow> X11MpvWallpaperFactory::makeWindow(const ScreenInfo& screen,
                                                                    std::function<void()> visibilityChanged) {
    if (!m_hints)
        return nullptr;
    auto window =
        std::make_unique<X11WallpaperWindow>(screen, std::move(visibilityChanged), *m_hints, *m_events);
    m_windows.add(window.get());
    // The window's QPointer is already cleared when it announces its end.
    QObject::connect(window.get(), &QObject::destroyed, [this] { updateWindowsExist(); });
    updateWindowsExist();
    return window;
}

std::unique_ptr<SharedPlayer> X11MpvWallpaperFactory::makePlayer(const QString& file) {
    std::unique_ptr<MpvSharedPlayer> player = MpvSharedPlayer::create(file);
    if (player) {
        m_players.add(player.get());
    }
    return player;
}

QList<X11WallpaperWindow*> X11MpvWallpaperFactory::windows() const {
    return m_windows.live();
}

QList<MpvSharedPlayer*> X11MpvWallpaperFactory::players() const {
    return m_players.live();
}

void X11MpvWallpaperFactory::setWindowsExistChanged(std::function<void(bool)> changed) {
    m_windowsExistChanged = std::move(changed);
}

void X11MpvWallpaperFactory::updateWindowsExist() {
    const bool exist = !windows().isEmpty();
    if (exist == m_windowsExist)
        return;
    m_windowsExist = exist;
    if (m_windowsExistChanged)
        m_windowsExistChanged(exist);
}
