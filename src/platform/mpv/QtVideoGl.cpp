// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mpv/QtVideoGl.h"

#include "platform/mpv/VideoSurface.h"

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QWindow>

namespace {
[[nodiscard]] QWindow* windowOf(VideoSurface& surface) {
    return dynamic_cast<QWindow*>(&surface);
}
} // namespace

std::unique_ptr<QtVideoGl> QtVideoGl::create() {
    const QSurfaceFormat format = surfaceFormat();
    auto offscreen = std::make_unique<QOffscreenSurface>();
    offscreen->setFormat(format);
    offscreen->create();
    if (!offscreen->isValid())
        return nullptr;
    auto context = std::make_unique<QOpenGLContext>();
    context->setFormat(format);
    context->setShareContext(QOpenGLContext::globalShareContext());
    if (!context->create())
        return nullptr;
    return std::unique_ptr<QtVideoGl>(new QtVideoGl(std::move(offscreen), std::move(context)));
}

QSurfaceFormat QtVideoGl::surfaceFormat() {
    QSurfaceFormat format = QSurfaceFormat::defaultFormat();
    // Video needs colour only; a depth and stencil buffer would be megabytes per window for nothing.
    format.setDepthBufferSize(0);
    format.setStencilBufferSize(0);
    format.setAlphaBufferSize(0);
    return format;
}

QtVideoGl::QtVideoGl(std::unique_ptr<QOffscreenSurface> offscreen, std::unique_ptr<QOpenGLContext> context)
    : m_offscreen(std::move(offscreen)), m_context(std::move(context)) {}

QtVideoGl::~QtVideoGl() = default;

bool QtVideoGl::makeCurrentOffscreen() {
    return m_context->makeCurrent(m_offscreen.get());
}

bool QtVideoGl::makeCurrent(VideoSurface& surface) {
    QWindow* window = windowOf(surface);
    return window && m_context->makeCurrent(window);
}

bool QtVideoGl::isCurrent() const {
    return QOpenGLContext::currentContext() == m_context.get();
}

void QtVideoGl::release(VideoSurface& surface) {
    if (isCurrent() && m_context->surface() == windowOf(surface))
        m_context->doneCurrent();
}

void QtVideoGl::doneCurrent() {
    m_context->doneCurrent();
}

void QtVideoGl::swap(VideoSurface& surface) {
    if (QWindow* window = windowOf(surface))
        m_context->swapBuffers(window);
}

GLuint QtVideoGl::framebuffer() const {
    return m_context->defaultFramebufferObject();
}

void* QtVideoGl::procAddress(const char* name) const {
    return reinterpret_cast<void*>(m_context->getProcAddress(name));
}

bool QtVideoGl::isOpenGLES() const {
    return m_context->isOpenGLES();
}

bool QtVideoGl::canBlit() const {
    return m_context->format().majorVersion() >= 3;
}

mpv_render_param QtVideoGl::displayParam() const {
    // Lets hardware decoders hand frames to GL on X11.
    if (const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        x11 && x11->display())
        return {MPV_RENDER_PARAM_X11_DISPLAY, x11->display()};
    return {MPV_RENDER_PARAM_INVALID, nullptr};
}
