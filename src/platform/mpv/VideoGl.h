// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSize>
#include <mpv/render.h>
#include <qopengl.h>

class VideoSurface;

// Where a shared player's GL work happens: its own context, current either on no surface (for the
// texture it renders into) or on one of the surfaces it shows. One implementation per windowing
// system, so that the player itself does not depend on any.
class VideoGl {
public:
    virtual ~VideoGl() = default;

    [[nodiscard]] virtual bool makeCurrentOffscreen() = 0;
    [[nodiscard]] virtual bool makeCurrent(VideoSurface& surface) = 0;
    // Whether the context is current on this thread, on any surface.
    [[nodiscard]] virtual bool isCurrent() const = 0;
    // The surface goes away: the context must not stay current on it.
    virtual void release(VideoSurface& surface) = 0;
    virtual void doneCurrent() = 0;
    // Presents what was drawn into the surface.
    virtual void swap(VideoSurface& surface) = 0;
    // The framebuffer that draws into the surface the context is current on.
    [[nodiscard]] virtual GLuint framebuffer() const = 0;
    [[nodiscard]] virtual void* procAddress(const char* name) const = 0;
    [[nodiscard]] virtual bool isOpenGLES() const = 0;
    // glBlitFramebuffer came with OpenGL 3.0 and OpenGL ES 3.0.
    [[nodiscard]] virtual bool canBlit() const = 0;
    // The windowing system's display for mpv's hardware decoding interop, as a render parameter;
    // MPV_RENDER_PARAM_INVALID when there is none.
    [[nodiscard]] virtual mpv_render_param displayParam() const = 0;
};
