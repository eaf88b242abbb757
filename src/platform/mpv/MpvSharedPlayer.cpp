#include "platform/mpv/MpvSharedPlayer.h"

#include "platform/mpv/MpvClient.h"
#include "platform/mpv/MpvLog.h"
#include "platform/mpv/MpvNames.h"
#include "platform/mpv/MpvRenderContext.h"
#include "platform/mpv/VideoSurface.h"

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <QVarLengthArray>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <mpv/render_gl.h>
#include <utility>

namespace {

// glBlitFramebuffer came with OpenGL 3.0 and OpenGL ES 3.0.
[[nodiscard]] bool canBlit(const QSurfaceFormat& format) {
    return format.majorVersion() >= 3;
}

// The display size of the decoded video, rotation included; empty until mpv knows it.
[[nodiscard]] QSize videoSize(const mpv_node& params) {
    if (params.format != MPV_FORMAT_NODE_MAP)
        return {};
    qint64 width = 0;
    qint64 height = 0;
    qint64 rotation = 0;
    const mpv_node_list* map = params.u.list;
    for (int i = 0; i < map->num; ++i) {
        if (map->values[i].format != MPV_FORMAT_INT64)
            continue;
        const qint64 value = map->values[i].u.int64;
        if (std::strcmp(map->keys[i], MpvNames::displayWidth) == 0)
            width = value;
        else if (std::strcmp(map->keys[i], MpvNames::displayHeight) == 0)
            height = value;
        else if (std::strcmp(map->keys[i], MpvNames::rotation) == 0)
            rotation = value;
    }
    if (rotation % 180 == 90)
        std::swap(width, height);
    if (width <= 0 || height <= 0)
        return {};
    return QSize(int(width), int(height));
}

// The part of a texture that fills a target of the given size with its aspect ratio kept: centred,
// cropped on the sides that do not fit.
[[nodiscard]] QRect aspectFillSource(const QSize& texture, const QSize& target) {
    const double scale =
        std::max(double(target.width()) / texture.width(), double(target.height()) / texture.height());
    const int width = std::min(texture.width(), int(std::lround(target.width() / scale)));
    const int height = std::min(texture.height(), int(std::lround(target.height() / scale)));
    return QRect((texture.width() - width) / 2, (texture.height() - height) / 2, width, height);
}

} // namespace

std::unique_ptr<MpvSharedPlayer> MpvSharedPlayer::create(const QString& file) {
    const QSurfaceFormat format = surfaceFormat();
    auto offscreen = std::make_unique<QOffscreenSurface>();
    offscreen->setFormat(format);
    offscreen->create();
    if (!offscreen->isValid()) {
        qCWarning(lcMpv).noquote() << "No player for" << file << "- no offscreen OpenGL surface";
        return nullptr;
    }
    auto context = std::make_unique<QOpenGLContext>();
    context->setFormat(format);
    context->setShareContext(QOpenGLContext::globalShareContext());
    if (!context->create()) {
        qCWarning(lcMpv).noquote() << "No player for" << file << "- no OpenGL context";
        return nullptr;
    }

    std::unique_ptr<MpvSharedPlayer> player(
        new MpvSharedPlayer(file, std::move(offscreen), std::move(context)));
    if (!player->start()) {
        qCWarning(lcMpv).noquote() << "No player for" << file << "- libmpv did not start";
        return nullptr;
    }
    return player;
}

QSurfaceFormat MpvSharedPlayer::surfaceFormat() {
    QSurfaceFormat format = QSurfaceFormat::defaultFormat();
    // Video needs colour only; a depth and stencil buffer would be megabytes per window for nothing.
    format.setDepthBufferSize(0);
    format.setStencilBufferSize(0);
    format.setAlphaBufferSize(0);
    return format;
}

MpvSharedPlayer::MpvSharedPlayer(QString file, std::unique_ptr<QOffscreenSurface> surface,
                                 std::unique_ptr<QOpenGLContext> context)
    : m_file(std::move(file)), m_offscreen(std::move(surface)), m_context(std::move(context)) {}

MpvSharedPlayer::~MpvSharedPlayer() {
    for (VideoSurface* surface : std::exchange(m_surfaces, {}))
        surface->videoPlayerGone();
    // mpv frees its GL objects in the context they were made in, and wants the renderer gone before
    // the core; terminating the core also ends every callback, so no more work gets queued here.
    const bool current = m_context->makeCurrent(m_offscreen.get());
    m_render.reset();
    if (current) {
        releaseTexture();
        m_context->doneCurrent();
    }
    m_core.reset();
}

bool MpvSharedPlayer::start() {
    // Of mpv's own events, only the video's size is of interest.
    m_core = MpvClient::create(MpvNames::playerOptions, {MPV_EVENT_PROPERTY_CHANGE});
    if (!m_core)
        return false;
    mpv_handle* core = m_core.get();
    mpv_observe_property(core, 0, MpvNames::videoParams, MPV_FORMAT_NODE);
    mpv_set_wakeup_callback(core, &MpvSharedPlayer::wakeup, this);

    if (!m_context->makeCurrent(m_offscreen.get()))
        return false;
    mpv_render_context* render = MpvRenderContext::createOpenGL(core, m_context.get());
    m_context->doneCurrent();
    if (!render)
        return false;
    m_render.reset(render);
    mpv_render_context_set_update_callback(render, &MpvSharedPlayer::renderUpdate, this);

    return MpvClient::load(core, m_file);
}

void MpvSharedPlayer::play() {
    setPaused(false);
}

void MpvSharedPlayer::pause() {
    setPaused(true);
}

double MpvSharedPlayer::rate() const {
    return m_paused || m_failed ? 0.0 : 1.0;
}

void MpvSharedPlayer::unload() {
    if (m_unloaded)
        return;
    setPaused(true);
    m_unloaded = true;
    const char* command[] = {MpvNames::stop, nullptr};
    mpv_command_async(m_core.get(), 0, command);
}

void MpvSharedPlayer::setPaused(bool paused) {
    if (m_unloaded || paused == m_paused)
        return;
    m_paused = paused;
    int flag = paused ? 1 : 0;
    mpv_set_property_async(m_core.get(), 0, MpvNames::pause, MPV_FORMAT_FLAG, &flag);
}

void MpvSharedPlayer::attach(VideoSurface* surface) {
    if (!m_surfaces.contains(surface))
        m_surfaces.append(surface);
    surfacesChanged();
}

void MpvSharedPlayer::detach(VideoSurface* surface) {
    m_surfaces.removeAll(surface);
    if (QOpenGLContext::currentContext() == m_context.get() && m_context->surface() == surface->videoWindow())
        m_context->doneCurrent();
}

void MpvSharedPlayer::surfacesChanged() {
    if (!visibleSurfaces().isEmpty())
        scheduleRedraw();
}

void MpvSharedPlayer::wakeup(void* player) {
    auto* self = static_cast<MpvSharedPlayer*>(player);
    if (!self->m_eventsQueued.exchange(true))
        QMetaObject::invokeMethod(self, &MpvSharedPlayer::handleEvents, Qt::QueuedConnection);
}

void MpvSharedPlayer::renderUpdate(void* player) {
    auto* self = static_cast<MpvSharedPlayer*>(player);
    if (!self->m_updateQueued.exchange(true))
        QMetaObject::invokeMethod(self, &MpvSharedPlayer::handleUpdate, Qt::QueuedConnection);
}

void MpvSharedPlayer::handleEvents() {
    m_eventsQueued = false;
    for (;;) {
        const mpv_event* event = mpv_wait_event(m_core.get(), 0);
        if (event->event_id == MPV_EVENT_NONE)
            break;
        if (event->event_id != MPV_EVENT_PROPERTY_CHANGE) {
            // Nothing plays a file mpv could not open, whatever the pause flag says.
            if (MpvClient::logEvent(*event, m_file))
                m_failed = true;
            continue;
        }
        const auto* property = static_cast<const mpv_event_property*>(event->data);
        if (std::strcmp(property->name, MpvNames::videoParams) != 0)
            continue;
        const QSize size = property->format == MPV_FORMAT_NODE
                               ? videoSize(*static_cast<const mpv_node*>(property->data))
                               : QSize();
        if (size == m_videoSize)
            continue;
        m_videoSize = size;
        m_textureCurrent = false;
        surfacesChanged();
    }
}

void MpvSharedPlayer::handleUpdate() {
    m_updateQueued = false;
    draw(false);
}

void MpvSharedPlayer::scheduleRedraw() {
    if (m_redrawQueued)
        return;
    m_redrawQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_redrawQueued = false;
            draw(true);
        },
        Qt::QueuedConnection);
}

void MpvSharedPlayer::draw(bool redraw) {
    // mpv wants its context current, on whatever surface. The context stays on the window it last
    // drew into: on GLX, Mesa discards a window's buffers whenever no context is current on it, and
    // would allocate them afresh for every frame.
    if (!m_render ||
        (QOpenGLContext::currentContext() != m_context.get() && !m_context->makeCurrent(m_offscreen.get())))
        return;
    const bool newFrame = mpv_render_context_update(m_render.get()) & MPV_RENDER_UPDATE_FRAME;
    const QList<VideoSurface*> targets = visibleSurfaces();
    if (newFrame && (targets.isEmpty() || m_videoSize.isEmpty())) {
        // Nothing would show it: let mpv count the frame as shown without spending a render on it.
        int skip = 1;
        int block = 0;
        mpv_render_param params[] = {{MPV_RENDER_PARAM_SKIP_RENDERING, &skip},
                                     {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
                                     {MPV_RENDER_PARAM_INVALID, nullptr}};
        mpv_render_context_render(m_render.get(), params);
        m_stale = true;
        m_textureCurrent = false;
    } else if ((newFrame || redraw) && !targets.isEmpty() && !m_videoSize.isEmpty()) {
        const QSize size = textureSize();
        if (!newFrame && !m_stale && m_textureCurrent && m_textureSize == size) {
            for (VideoSurface* surface : targets)
                copyTextureTo(surface);
        } else if (targets.size() == 1 || !canBlit(m_context->format())) {
            // mpv itself crops the video to each surface: no copy in between.
            for (VideoSurface* surface : targets)
                renderInto(surface);
            m_textureCurrent = false;
        } else {
            renderToTexture(size);
            for (VideoSurface* surface : targets)
                copyTextureTo(surface);
        }
        m_stale = false;
    }
}

void MpvSharedPlayer::renderInto(VideoSurface* surface) {
    QWindow* window = surface->videoWindow();
    if (!m_context->makeCurrent(window))
        return;
    const QSize size = surface->videoPixelSize();
    mpv_opengl_fbo target{int(m_context->defaultFramebufferObject()), size.width(), size.height(), 0};
    int flip = 1;
    int block = 0;
    mpv_render_param params[] = {{MPV_RENDER_PARAM_OPENGL_FBO, &target},
                                 {MPV_RENDER_PARAM_FLIP_Y, &flip},
                                 {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    mpv_render_context_render(m_render.get(), params);
    m_context->swapBuffers(window);
    ++m_framesRendered;
    surface->videoFrameShown();
}

void MpvSharedPlayer::renderToTexture(const QSize& size) {
    if (!m_context->makeCurrent(m_offscreen.get()))
        return;
    resizeTexture(size);
    mpv_opengl_fbo target{int(m_fbo), size.width(), size.height(), 0};
    // Upright in GL's bottom-up convention, like a window's framebuffer, so the copy keeps it so.
    int flip = 1;
    int block = 0;
    mpv_render_param params[] = {{MPV_RENDER_PARAM_OPENGL_FBO, &target},
                                 {MPV_RENDER_PARAM_FLIP_Y, &flip},
                                 {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    mpv_render_context_render(m_render.get(), params);
    ++m_framesRendered;
    m_textureCurrent = true;
}

void MpvSharedPlayer::copyTextureTo(VideoSurface* surface) {
    QWindow* window = surface->videoWindow();
    if (!m_textureCurrent || !m_context->makeCurrent(window))
        return;
    QOpenGLExtraFunctions* gl = m_context->extraFunctions();
    const GLuint windowFramebuffer = m_context->defaultFramebufferObject();
    const QSize target = surface->videoPixelSize();
    const QRect source = aspectFillSource(m_textureSize, target);
    // The texture is sized for the largest surface, whose copy is then pixel for pixel.
    const GLenum filter = source.size() == target ? GL_NEAREST : GL_LINEAR;
    gl->glBindFramebuffer(GL_READ_FRAMEBUFFER, m_fbo);
    gl->glBindFramebuffer(GL_DRAW_FRAMEBUFFER, windowFramebuffer);
    gl->glBlitFramebuffer(source.left(), source.top(), source.left() + source.width(),
                          source.top() + source.height(), 0, 0, target.width(), target.height(),
                          GL_COLOR_BUFFER_BIT, filter);
    gl->glBindFramebuffer(GL_FRAMEBUFFER, windowFramebuffer);
    m_context->swapBuffers(window);
    surface->videoFrameShown();
}

QList<VideoSurface*> MpvSharedPlayer::visibleSurfaces() const {
    QList<VideoSurface*> visible;
    for (VideoSurface* surface : m_surfaces) {
        if (surface->showsVideo() && surface->videoWindow()->isExposed() &&
            !surface->videoPixelSize().isEmpty())
            visible.append(surface);
    }
    return visible;
}

// The whole video, scaled so that it covers the largest surface: every surface then crops it and
// none has to enlarge it.
QSize MpvSharedPlayer::textureSize() const {
    if (m_videoSize.isEmpty())
        return {};
    double scale = 0.0;
    for (const VideoSurface* surface : m_surfaces) {
        const QSize pixels = surface->videoPixelSize();
        if (pixels.isEmpty())
            continue;
        scale = std::max({scale, double(pixels.width()) / m_videoSize.width(),
                          double(pixels.height()) / m_videoSize.height()});
    }
    if (scale <= 0.0)
        return {};
    return QSize(std::max(1, int(std::lround(m_videoSize.width() * scale))),
                 std::max(1, int(std::lround(m_videoSize.height() * scale))));
}

void MpvSharedPlayer::resizeTexture(const QSize& size) {
    if (m_texture && m_textureSize == size)
        return;
    QOpenGLFunctions* gl = m_context->functions();
    if (!m_texture) {
        gl->glGenTextures(1, &m_texture);
        gl->glGenFramebuffers(1, &m_fbo);
    }
    gl->glBindTexture(GL_TEXTURE_2D, m_texture);
    gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    const GLint format = m_context->isOpenGLES() ? GL_RGBA : GL_RGBA8;
    gl->glTexImage2D(GL_TEXTURE_2D, 0, format, size.width(), size.height(), 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     nullptr);
    gl->glBindTexture(GL_TEXTURE_2D, 0);
    gl->glBindFramebuffer(GL_FRAMEBUFFER, m_fbo);
    gl->glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, m_texture, 0);
    gl->glBindFramebuffer(GL_FRAMEBUFFER, 0);
    m_textureSize = size;
}

void MpvSharedPlayer::releaseTexture() {
    QOpenGLFunctions* gl = m_context->functions();
    if (m_fbo)
        gl->glDeleteFramebuffers(1, &m_fbo);
    if (m_texture)
        gl->glDeleteTextures(1, &m_texture);
    m_fbo = 0;
    m_texture = 0;
    m_textureSize = {};
    m_textureCurrent = false;
}
