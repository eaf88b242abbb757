// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/WaylandWallpaperFactory.h"

#include "platform/mpv/MpvLocale.h"
#include "platform/mpv/MpvSharedPlayer.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandEgl.h"
#include "platform/wayland/WaylandLog.h"
#include "platform/wayland/WaylandWallpaperWindow.h"

#include <QDir>
#include <QSet>
#include <unistd.h>

namespace {

// KWin puts the background layer beside Plasma's own opaque desktop, where it cannot be seen.
[[nodiscard]] WaylandWallpaperWindow::Layer desktopLayer() {
    const QString desktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
    if (desktop.contains(QLatin1String("KDE"), Qt::CaseInsensitive)) {
        qCInfo(lcWayland) << "On KDE Plasma the wallpaper goes in the bottom layer, over the desktop icons";
        return WaylandWallpaperWindow::Layer::Bottom;
    }
    return WaylandWallpaperWindow::Layer::Background;
}

// Other wallpaper programs of the same user: their surfaces share the background layer with ours.
void warnOfOtherBackgroundClients() {
    static const QSet<QString> known{"swaybg", "swww-daemon", "hyprpaper", "wpaperd",
                                     "wbg",    "mpvpaper",    "oguri",     "glpaper"};
    QSet<QString> running;
    for (const QFileInfo& process : QDir("/proc").entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(process.filePath() + "/comm");
        if (process.ownerId() == ::getuid() && comm.open(QIODevice::ReadOnly)) {
            const QString name = QString::fromUtf8(comm.readAll().trimmed());
            if (known.contains(name))
                running.insert(name);
        }
    }
    for (const QString& name : running)
        qCWarning(lcWayland).noquote() << name << "also draws a wallpaper in the background layer and may"
                                       << "cover Lumivale's; stop it to see the video";
}

} // namespace

WaylandWallpaperFactory::WaylandWallpaperFactory(WaylandConnection& connection)
    : m_connection(connection), m_egl(WaylandEgl::create(connection.display())) {
    MpvLocale::useCNumeric();
    warnOfOtherBackgroundClients();
}

WaylandWallpaperFactory::~WaylandWallpaperFactory() = default;

std::unique_ptr<WallpaperWindow>
WaylandWallpaperFactory::makeWindow(const ScreenInfo& screen, std::function<void()> visibilityChanged) {
    if (!m_egl || !m_connection.layerShell())
        return nullptr;
    static const WaylandWallpaperWindow::Layer layer = desktopLayer();
    auto window = std::make_unique<WaylandWallpaperWindow>(screen, std::move(visibilityChanged), m_connection,
                                                           *m_egl, layer);
    m_windows.add(window.get());
    return window;
}

std::unique_ptr<SharedPlayer> WaylandWallpaperFactory::makePlayer(const QString& file) {
    if (!m_egl)
        return nullptr;
    std::unique_ptr<MpvSharedPlayer> player = MpvSharedPlayer::create(file, m_egl->makeVideoGl());
    if (!player) {
        qCWarning(lcWayland) << "Cannot play" << file;
        return nullptr;
    }
    m_players.add(player.get());
    return player;
}

QList<WaylandWallpaperWindow*> WaylandWallpaperFactory::windows() const {
    return m_windows.live();
}

QList<MpvSharedPlayer*> WaylandWallpaperFactory::players() const {
    return m_players.live();
}
