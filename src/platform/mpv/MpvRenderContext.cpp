// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mpv/MpvRenderContext.h"

#include "platform/mpv/MpvLog.h"

#include <QGuiApplication>
#include <QOpenGLContext>
#include <QVarLengthArray>
#include <mpv/render_gl.h>

namespace {
void* getProcAddress(void* context, const char* name) {
    return reinterpret_cast<void*>(static_cast<QOpenGLContext*>(context)->getProcAddress(name));
}
} // namespace

mpv_render_context* MpvRenderContext::createOpenGL(mpv_handle* core, QOpenGLContext* context) {
    mpv_opengl_init_params glInit{&getProcAddress, context};
    QVarLengthArray<mpv_render_param, 4> params{
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_OPENGL)},
        {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &glInit},
    };
    // Lets hardware decoders hand frames to GL on X11.
    if (const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        x11 && x11->display())
        params.append({MPV_RENDER_PARAM_X11_DISPLAY, x11->display()});
    params.append({MPV_RENDER_PARAM_INVALID, nullptr});
    mpv_render_context* render = nullptr;
    if (const int error = mpv_render_context_create(&render, core, params.data()); error < 0) {
        qCWarning(lcMpv) << "libmpv cannot draw with OpenGL here:" << mpv_error_string(error);
        return nullptr;
    }
    return render;
}
