// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/WaylandEgl.h"

#include "platform/wayland/WaylandLog.h"
#include "platform/wayland/WaylandWallpaperWindow.h"

#include <EGL/eglext.h>
#include <wayland-client.h>

namespace {
[[nodiscard]] EGLDisplay waylandEglDisplay(wl_display* wayland) {
    const auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (getPlatformDisplay)
        return getPlatformDisplay(EGL_PLATFORM_WAYLAND_KHR, wayland, nullptr);
    return eglGetDisplay(reinterpret_cast<EGLNativeDisplayType>(wayland));
}

[[nodiscard]] WaylandWallpaperWindow* windowOf(VideoSurface& surface) {
    return dynamic_cast<WaylandWallpaperWindow*>(&surface);
}
} // namespace

std::unique_ptr<WaylandEgl> WaylandEgl::create(wl_display* wayland) {
    EGLDisplay display = waylandEglDisplay(wayland);
    EGLint major = 0;
    EGLint minor = 0;
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, &major, &minor)) {
        qCWarning(lcWayland) << "EGL cannot draw on this Wayland compositor (error" << Qt::hex
                             << eglGetError() << "); wallpapers stay empty";
        return nullptr;
    }
    std::unique_ptr<WaylandEgl> egl(new WaylandEgl(wayland, display));
    if (!egl->choose()) {
        qCWarning(lcWayland) << "EGL offers no opaque window config with OpenGL; wallpapers stay empty";
        return nullptr;
    }
    return egl;
}

WaylandEgl::WaylandEgl(wl_display* wayland, EGLDisplay display) : m_wayland(wayland), m_display(display) {}

WaylandEgl::~WaylandEgl() {
    eglMakeCurrent(m_display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglTerminate(m_display);
}

bool WaylandEgl::choose() {
    for (const EGLenum api : {EGLenum(EGL_OPENGL_API), EGLenum(EGL_OPENGL_ES_API)}) {
        // Video needs colour only: no alpha (the compositor then knows the surface is opaque), no
        // depth or stencil.
        const EGLint renderable = api == EGL_OPENGL_API ? EGL_OPENGL_BIT : EGL_OPENGL_ES3_BIT;
        const EGLint attributes[] = {EGL_SURFACE_TYPE,
                                     EGL_WINDOW_BIT,
                                     EGL_RENDERABLE_TYPE,
                                     renderable,
                                     EGL_RED_SIZE,
                                     8,
                                     EGL_GREEN_SIZE,
                                     8,
                                     EGL_BLUE_SIZE,
                                     8,
                                     EGL_ALPHA_SIZE,
                                     0,
                                     EGL_NONE};
        EGLint count = 0;
        if (eglBindAPI(api) && eglChooseConfig(m_display, attributes, &m_config, 1, &count) && count > 0) {
            m_api = api;
            return true;
        }
    }
    return false;
}

std::unique_ptr<VideoGl> WaylandEgl::makeVideoGl() const {
    eglBindAPI(m_api);
    const EGLint esAttributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_NONE};
    const EGLint glAttributes[] = {EGL_NONE};
    EGLContext context =
        eglCreateContext(m_display, m_config, EGL_NO_CONTEXT, isOpenGLES() ? esAttributes : glAttributes);
    if (context == EGL_NO_CONTEXT) {
        qCWarning(lcWayland) << "EGL refused a context (error" << Qt::hex << eglGetError() << ")";
        return nullptr;
    }
    return std::make_unique<WaylandVideoGl>(*this, context);
}

WaylandVideoGl::WaylandVideoGl(const WaylandEgl& egl, EGLContext context) : m_egl(egl), m_context(context) {}

WaylandVideoGl::~WaylandVideoGl() {
    if (isCurrent())
        doneCurrent();
    eglDestroyContext(m_egl.display(), m_context);
}

bool WaylandVideoGl::makeCurrentOffscreen() {
    // Mesa and the other Wayland drivers offer surfaceless contexts; the texture is all that is drawn.
    if (eglMakeCurrent(m_egl.display(), EGL_NO_SURFACE, EGL_NO_SURFACE, m_context))
        return true;
    qCWarning(lcWayland) << "EGL cannot make the player's context current (error" << Qt::hex << eglGetError()
                         << ")";
    return false;
}

bool WaylandVideoGl::makeCurrent(VideoSurface& surface) {
    WaylandWallpaperWindow* window = windowOf(surface);
    const EGLSurface target = window ? window->eglSurface() : EGL_NO_SURFACE;
    if (target == EGL_NO_SURFACE)
        return false;
    if (!eglMakeCurrent(m_egl.display(), target, target, m_context)) {
        qCWarning(lcWayland) << "EGL cannot draw into the wallpaper on" << window->outputName() << "(error"
                             << Qt::hex << eglGetError() << ")";
        return false;
    }
    // Presenting must never wait for the compositor: it stops answering for hidden surfaces. The
    // window paces itself with its own frame callbacks.
    if (!window->swapIntervalSet()) {
        eglSwapInterval(m_egl.display(), 0);
        window->setSwapIntervalSet();
    }
    return true;
}

bool WaylandVideoGl::isCurrent() const {
    return eglGetCurrentContext() == m_context;
}

void WaylandVideoGl::release(VideoSurface& surface) {
    WaylandWallpaperWindow* window = windowOf(surface);
    if (window && isCurrent() && eglGetCurrentSurface(EGL_DRAW) == window->eglSurface() &&
        !makeCurrentOffscreen())
        doneCurrent();
}

void WaylandVideoGl::doneCurrent() {
    eglMakeCurrent(m_egl.display(), EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
}

void WaylandVideoGl::swap(VideoSurface& surface) {
    WaylandWallpaperWindow* window = windowOf(surface);
    if (!window)
        return;
    // The callback must be asked for before the commit that eglSwapBuffers makes.
    window->requestFrame();
    eglSwapBuffers(m_egl.display(), window->eglSurface());
    window->presented();
}

void* WaylandVideoGl::procAddress(const char* name) const {
    return reinterpret_cast<void*>(eglGetProcAddress(name));
}

mpv_render_param WaylandVideoGl::displayParam() const {
    return {MPV_RENDER_PARAM_WL_DISPLAY, m_egl.waylandDisplay()};
}
