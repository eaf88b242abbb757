// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <mpv/client.h>
#include <mpv/render.h>

// Owners of libmpv's C objects. The render context must go before its core, and with the GL context
// it was made in current.
struct MpvCoreDeleter {
    void operator()(mpv_handle* core) const { mpv_terminate_destroy(core); }
};
struct MpvRenderDeleter {
    void operator()(mpv_render_context* render) const { mpv_render_context_free(render); }
};
using MpvCore = std::unique_ptr<mpv_handle, MpvCoreDeleter>;
using MpvRender = std::unique_ptr<mpv_render_context, MpvRenderDeleter>;
