// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/mpv/VideoGl.h"

#include <EGL/egl.h>
#include <memory>

struct wl_display;
class WaylandWallpaperWindow;

// EGL on our Wayland connection: one display and one opaque window config for every player and
// wallpaper window. OpenGL where the driver offers it, else OpenGL ES 3.
class WaylandEgl {
public:
    // Nothing when EGL cannot use the connection; the reason is logged.
    [[nodiscard]] static std::unique_ptr<WaylandEgl> create(wl_display* display);
    ~WaylandEgl();
    WaylandEgl(const WaylandEgl&) = delete;
    WaylandEgl& operator=(const WaylandEgl&) = delete;

    [[nodiscard]] EGLDisplay display() const { return m_display; }
    [[nodiscard]] EGLConfig config() const { return m_config; }
    [[nodiscard]] wl_display* waylandDisplay() const { return m_wayland; }
    [[nodiscard]] bool isOpenGLES() const { return m_api == EGL_OPENGL_ES_API; }
    // A player's GL: a context of its own, current without a surface for its texture.
    [[nodiscard]] std::unique_ptr<VideoGl> makeVideoGl() const;

private:
    WaylandEgl(wl_display* wayland, EGLDisplay display);
    [[nodiscard]] bool choose();

    wl_display* m_wayland;
    EGLDisplay m_display;
    EGLConfig m_config = nullptr;
    EGLenum m_api = EGL_OPENGL_API;
};

// The VideoGl of a player on Wayland. Its surfaces are WaylandWallpaperWindows.
class WaylandVideoGl final : public VideoGl {
public:
    WaylandVideoGl(const WaylandEgl& egl, EGLContext context);
    ~WaylandVideoGl() override;
    WaylandVideoGl(const WaylandVideoGl&) = delete;
    WaylandVideoGl& operator=(const WaylandVideoGl&) = delete;

    [[nodiscard]] bool makeCurrentOffscreen() override;
    [[nodiscard]] bool makeCurrent(VideoSurface& surface) override;
    [[nodiscard]] bool isCurrent() const override;
    void release(VideoSurface& surface) override;
    void doneCurrent() override;
    void swap(VideoSurface& surface) override;
    [[nodiscard]] GLuint framebuffer() const override { return 0; }
    [[nodiscard]] void* procAddress(const char* name) const override;
    [[nodiscard]] bool isOpenGLES() const override { return m_egl.isOpenGLES(); }
    [[nodiscard]] bool canBlit() const override { return true; }
    [[nodiscard]] mpv_render_param displayParam() const override;

private:
    const WaylandEgl& m_egl;
    EGLContext m_context;
};
