// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>

class SharedPlayer;

// The wallpaper window of one display: undecorated, behind every application window and the
// desktop icons, on every workspace, never focused and transparent to input, black, filled edge to
// edge by its player's video with aspect-fill cropping. Created hidden.
class WallpaperWindow {
public:
    virtual ~WallpaperWindow() = default;

    [[nodiscard]] virtual QRect frame() const = 0;
    virtual void setFrame(const QRect& frame) = 0;

    // Shows the window and brings it to the front of the desktop level, whether or not the
    // application is active.
    virtual void orderFront() = 0;
    // Hides the window without destroying it.
    virtual void orderOut() = 0;

    // The player whose video the window shows; none shows black. Not owned: the engine sets it to
    // none or to another player before it releases a player.
    [[nodiscard]] virtual SharedPlayer* player() const = 0;
    virtual void setPlayer(SharedPlayer* player) = 0;

    // Whether at least part of the window can be seen. Hidden, minimised or fully obscured windows
    // are not visible; a platform that cannot tell says visible.
    [[nodiscard]] virtual bool isVisible() const = 0;
    // Whether isVisible() can change what plays now. A platform that has to keep asking to know (a
    // probe on Wayland) stops asking while it cannot, and asks again at once when it can.
    virtual void setVisibilityWatched(bool /*watched*/) {}
};
