// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <mpv/client.h>
#include <mpv/render.h>

class QOpenGLContext;

namespace MpvRenderContext {
// An OpenGL render context for the core, drawing with the given Qt context, which must be current.
// Nothing when mpv refuses.
[[nodiscard]] mpv_render_context* createOpenGL(mpv_handle* core, QOpenGLContext* context);
} // namespace MpvRenderContext
