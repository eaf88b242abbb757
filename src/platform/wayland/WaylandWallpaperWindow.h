// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/ScreenInfo.h"
#include "engine/WallpaperWindow.h"
#include "platform/mpv/VideoSurface.h"
#include "platform/wayland/FrameVisibility.h"

#include <EGL/egl.h>
#include <QObject>
#include <QTimer>
#include <functional>

class MpvSharedPlayer;
class WaylandConnection;
class WaylandEgl;
struct WaylandOutput;
struct wl_callback;
struct wl_egl_window;
struct wl_surface;
struct zwlr_layer_surface_v1;

// A wallpaper window on Wayland: a layer surface on one output, below every window, anchored to all
// four edges over panels' reserved space, without keyboard focus or input region, drawn by its
// player with EGL at the output's scale. It is visible while the compositor answers its frame
// callbacks. The Wayland objects exist while the window is shown and its output is there; they are
// made anew when it is shown again or the output returns.
class WaylandWallpaperWindow final : public QObject, public WallpaperWindow, public VideoSurface {
    Q_OBJECT

public:
    enum class Layer { Background, Bottom };

    // The connection and EGL must outlive the window.
    WaylandWallpaperWindow(const ScreenInfo& screen, std::function<void()> visibilityChanged,
                           WaylandConnection& connection, const WaylandEgl& egl, Layer layer);
    ~WaylandWallpaperWindow() override;

    [[nodiscard]] QRect frame() const override { return m_frame; }
    void setFrame(const QRect& frame) override { m_frame = frame; }
    void orderFront() override;
    void orderOut() override;
    [[nodiscard]] SharedPlayer* player() const override { return m_player; }
    void setPlayer(SharedPlayer* player) override;
    [[nodiscard]] bool isVisible() const override;
    void setVisibilityWatched(bool watched) override;

    [[nodiscard]] QSize videoPixelSize() const override;
    [[nodiscard]] bool showsVideo() const override;
    [[nodiscard]] bool readyForFrame() const override { return !m_frames.pending(); }
    void videoFrameShown() override { ++m_framesShown; }
    void videoPlayerGone() override;

    // For the player's GL.
    [[nodiscard]] EGLSurface eglSurface() const { return m_eglSurface; }
    [[nodiscard]] bool swapIntervalSet() const { return m_swapIntervalSet; }
    void setSwapIntervalSet() { m_swapIntervalSet = true; }
    // Asks for a frame callback with the next commit.
    void requestFrame();
    // A buffer was just presented.
    void presented();

    [[nodiscard]] const QString& outputName() const { return m_outputName; }
    [[nodiscard]] quint64 framesShown() const { return m_framesShown; }
    // Whether the compositor has given the surface its size and it can be drawn into.
    [[nodiscard]] bool isConfigured() const { return m_eglSurface != EGL_NO_SURFACE; }

private:
    struct Listeners;

    void createSurface();
    void destroySurface();
    void configure(quint32 serial, QSize size);
    void frameDone();
    void check();
    void scheduleCheck();
    void updateScale();
    void attachPlayer();
    void reportVisibility();

    WaylandConnection& m_connection;
    const WaylandEgl& m_egl;
    Layer m_layer;
    QString m_outputName;
    const WaylandOutput* m_output = nullptr;
    QRect m_frame;
    std::function<void()> m_visibilityChanged;

    wl_surface* m_surface = nullptr;
    zwlr_layer_surface_v1* m_layerSurface = nullptr;
    wl_egl_window* m_eglWindow = nullptr;
    EGLSurface m_eglSurface = EGL_NO_SURFACE;
    wl_callback* m_frameCallback = nullptr;
    QSize m_size;
    int m_scale = 1;
    bool m_swapIntervalSet = false;
    // A compositor answers no callback for a surface without a buffer: no probes before the first.
    bool m_hasBuffer = false;
    // Probes go out only while the engine reads the answer.
    bool m_watched = true;

    FrameVisibility m_frames;
    QTimer m_checkTimer;

    SharedPlayer* m_player = nullptr;
    MpvSharedPlayer* m_mpvPlayer = nullptr;
    bool m_attached = false;

    bool m_shown = false;
    bool m_lastVisible = false;
    quint64 m_framesShown = 0;
};
