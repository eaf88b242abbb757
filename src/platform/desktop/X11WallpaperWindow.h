// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/ScreenInfo.h"
#include "engine/WallpaperWindow.h"
#include "platform/mpv/VideoSurface.h"

#include <QWindow>
#include <functional>

class MpvSharedPlayer;
class X11DesktopHints;
class X11WindowEvents;

// A wallpaper window on X11: a frameless window of the desktop type, below everything, on every
// workspace, never focused and without an input region, black until its player draws into it. It is
// visible unless hidden, minimised, unmapped or fully covered.
class X11WallpaperWindow final : public QWindow, public WallpaperWindow, public VideoSurface {
    Q_OBJECT

public:
    // The hints and events must outlive the window.
    X11WallpaperWindow(const ScreenInfo& screen, std::function<void()> visibilityChanged,
                       const X11DesktopHints& hints, X11WindowEvents& events);
    ~X11WallpaperWindow() override;

    [[nodiscard]] QRect frame() const override;
    void setFrame(const QRect& frame) override;
    void orderFront() override;
    void orderOut() override;
    [[nodiscard]] SharedPlayer* player() const override { return m_player; }
    void setPlayer(SharedPlayer* player) override;
    [[nodiscard]] bool isVisible() const override;

    [[nodiscard]] QSize videoPixelSize() const override;
    [[nodiscard]] bool showsVideo() const override { return isVisible() && isExposed(); }
    void videoFrameShown() override { ++m_framesShown; }
    void videoPlayerGone() override;

    // From the X server, through X11WindowEvents.
    void setFullyObscured(bool obscured);
    void setMapped(bool mapped);

    // The platform name of the screen the window belongs on.
    [[nodiscard]] const QString& screenName() const { return m_screenName; }
    // How many frames its player has put on the window.
    [[nodiscard]] quint64 framesShown() const { return m_framesShown; }

protected:
    void exposeEvent(QExposeEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeOnScreen();
    void reportVisibility();

    QString m_screenName;
    QRect m_frame;
    std::function<void()> m_visibilityChanged;
    const X11DesktopHints& m_hints;
    X11WindowEvents& m_events;
    quint32 m_windowId = 0;

    SharedPlayer* m_player = nullptr;
    MpvSharedPlayer* m_mpvPlayer = nullptr;

    bool m_shown = false;
    bool m_mapped = true;
    bool m_obscured = false;
    bool m_lastVisible = false;
    bool m_inputShapeRefreshed = false;
    quint64 m_framesShown = 0;
};
