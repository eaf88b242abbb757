// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mpv/MpvSharedPlayer.h"

#include "platform/mpv/MpvClient.h"
#include "platform/mpv/MpvLog.h"
#include "platform/mpv/MpvNames.h"
#include "platform/mpv/QtVideoGl.h"
#include "platform/mpv/VideoGl.h"
#include "platform/mpv/VideoSurface.h"

#include <QRect>
#include <QThread>
#include <QVarLengthArray>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <mpv/render_gl.h>
#include <type_traits>
#include <utility>

namespace {

void* glProcAddress(void* gl, const char* name) {
    return static_cast<const VideoGl*>(gl)->procAddress(name);
}

[[nodiscard]] mpv_render_context* createRenderContext(mpv_handle* core, VideoGl& gl) {
    mpv_opengl_init_params glInit{&glProcAddress, &gl};
    QVarLengthArray<mpv_render_param, 4> params{
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_OPENGL)},
        {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &glInit},
    };
    // Lets hardware decoders hand frames to GL.
    if (const mpv_render_param display = gl.displayParam(); display.type != MPV_RENDER_PARAM_INVALID)
        params.append(display);
    params.append({MPV_RENDER_PARAM_INVALID, nullptr});
    mpv_render_context* render = nullptr;
    if (mpv_render_context_create(&render, core, params.data()) < 0)
        return nullptr;
    return render;
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

// The few GL entry points the texture and the copies need, from whichever GL the player draws with.
struct MpvSharedPlayer::GlCalls {
    void(QOPENGLF_APIENTRYP genTextures)(GLsizei, GLuint*) = nullptr;
    void(QOPENGLF_APIENTRYP deleteTextures)(GLsizei, const GLuint*) = nullptr;
    void(QOPENGLF_APIENTRYP bindTexture)(GLenum, GLuint) = nullptr;
    void(QOPENGLF_APIENTRYP texParameteri)(GLenum, GLenum, GLint) = nullptr;
    void(QOPENGLF_APIENTRYP texImage2D)(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum,
                                        const void*) = nullptr;
    void(QOPENGLF_APIENTRYP genFramebuffers)(GLsizei, GLuint*) = nullptr;
    void(QOPENGLF_APIENTRYP deleteFramebuffers)(GLsizei, const GLuint*) = nullptr;
    void(QOPENGLF_APIENTRYP bindFramebuffer)(GLenum, GLuint) = nullptr;
    void(QOPENGLF_APIENTRYP framebufferTexture2D)(GLenum, GLenum, GLenum, GLuint, GLint) = nullptr;
    void(QOPENGLF_APIENTRYP blitFramebuffer)(GLint, GLint, GLint, GLint, GLint, GLint, GLint, GLint,
                                             GLbitfield, GLenum) = nullptr;
};

std::unique_ptr<MpvSharedPlayer> MpvSharedPlayer::create(const QString& file) {
    std::unique_ptr<QtVideoGl> gl = QtVideoGl::create();
    if (!gl) {
        qCWarning(lcMpv).noquote() << "No player for" << file << "- no OpenGL context";
        return nullptr;
    }
    return create(file, std::move(gl));
}

std::unique_ptr<MpvSharedPlayer> MpvSharedPlayer::create(const QString& file, std::unique_ptr<VideoGl> gl) {
    if (!gl)
        return nullptr;
    std::unique_ptr<MpvSharedPlayer> player(new MpvSharedPlayer(file, std::move(gl)));
    if (!player->start()) {
        qCWarning(lcMpv).noquote() << "No player for" << file << "- libmpv did not start";
        return nullptr;
    }
    return player;
}

QSurfaceFormat MpvSharedPlayer::surfaceFormat() {
    return QtVideoGl::surfaceFormat();
}

MpvSharedPlayer::MpvSharedPlayer(QString file, std::unique_ptr<VideoGl> gl)
    : m_file(std::move(file)), m_gl(std::move(gl)), m_calls(std::make_unique<GlCalls>()) {}

MpvSharedPlayer::~MpvSharedPlayer() {
    for (VideoSurface* surface : std::exchange(m_surfaces, {})) {
        m_gl->release(*surface);
        surface->videoPlayerGone();
    }
    // mpv frees its GL objects in the context they were made in, and wants the renderer gone before
    // the core; terminating the core also ends every callback, so no more work gets queued here.
    const bool current = m_gl->makeCurrentOffscreen();
    m_render.reset();
    if (current) {
        releaseTexture();
        m_gl->doneCurrent();
    }
    m_core.reset();
}

bool MpvSharedPlayer::loadGl() {
    const auto load = [this](auto& entry, const char* name) {
        entry = reinterpret_cast<std::remove_reference_t<decltype(entry)>>(m_gl->procAddress(name));
        return entry != nullptr;
    };
    GlCalls& gl = *m_calls;
    const bool basics = load(gl.genTextures, "glGenTextures") & load(gl.deleteTextures, "glDeleteTextures") &
                        load(gl.bindTexture, "glBindTexture") & load(gl.texParameteri, "glTexParameteri") &
                        load(gl.texImage2D, "glTexImage2D") & load(gl.genFramebuffers, "glGenFramebuffers") &
                        load(gl.deleteFramebuffers, "glDeleteFramebuffers") &
                        load(gl.bindFramebuffer, "glBindFramebuffer") &
                        load(gl.framebufferTexture2D, "glFramebufferTexture2D");
    // Without the copy, each surface has mpv render into it.
    if (!m_gl->canBlit() || !load(gl.blitFramebuffer, "glBlitFramebuffer"))
        gl.blitFramebuffer = nullptr;
    return basics;
}

bool MpvSharedPlayer::start() {
    // Of mpv's own events, only the video's size and its decoder are of interest.
    m_core = MpvClient::create(MpvNames::playerOptions, {MPV_EVENT_PROPERTY_CHANGE});
    if (!m_core)
        return false;
    mpv_handle* core = m_core.get();
    const int threads = std::clamp(QThread::idealThreadCount(), 1, MpvNames::mostDecoderThreads);
    if (const int error =
            mpv_set_property_string(core, MpvNames::decoderThreads, QByteArray::number(threads).constData()))
        qCWarning(lcMpv) << "Decoding threads left to libmpv:" << mpv_error_string(error);
    mpv_observe_property(core, 0, MpvNames::videoParams, MPV_FORMAT_NODE);
    mpv_observe_property(core, 0, MpvNames::hwdecCurrent, MPV_FORMAT_STRING);
    mpv_set_wakeup_callback(core, &MpvSharedPlayer::wakeup, this);

    if (!m_gl->makeCurrentOffscreen())
        return false;
    mpv_render_context* render = loadGl() ? createRenderContext(core, *m_gl) : nullptr;
    m_gl->doneCurrent();
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
    m_shownSerial.remove(surface);
    m_gl->release(*surface);
}

void MpvSharedPlayer::surfacesChanged() {
    if (!visibleSurfaces().isEmpty())
        scheduleRedraw(Redraw::All);
}

void MpvSharedPlayer::surfaceReady(VideoSurface* surface) {
    if (m_surfaces.contains(surface) && m_shownSerial.value(surface) != m_frameSerial)
        scheduleRedraw(Redraw::Behind);
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
        if (std::strcmp(property->name, MpvNames::hwdecCurrent) == 0) {
            decoderChanged(property->format == MPV_FORMAT_STRING
                               ? QString::fromUtf8(*static_cast<const char* const*>(property->data))
                               : QString());
            continue;
        }
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

void MpvSharedPlayer::decoderChanged(const QString& api) {
    const QString decoder = api == QLatin1String("no") ? QStringLiteral("software") : api;
    if (decoder == m_decoder)
        return;
    m_decoder = decoder;
    // Which decoder a machine ends up with explains most of what playback costs on it.
    if (!m_decoder.isEmpty())
        qCInfo(lcMpv).noquote() << "Decoding" << m_file << "with" << m_decoder;
}

void MpvSharedPlayer::handleUpdate() {
    m_updateQueued = false;
    draw(Redraw::None);
}

void MpvSharedPlayer::scheduleRedraw(Redraw redraw) {
    const bool queued = m_redrawQueued != Redraw::None;
    m_redrawQueued = std::max(m_redrawQueued, redraw);
    if (queued)
        return;
    QMetaObject::invokeMethod(
        this, [this] { draw(std::exchange(m_redrawQueued, Redraw::None)); }, Qt::QueuedConnection);
}

void MpvSharedPlayer::draw(Redraw redraw) {
    // mpv wants its context current, on whatever surface. The context stays on the window it last
    // drew into: on GLX, Mesa discards a window's buffers whenever no context is current on it, and
    // would allocate them afresh for every frame.
    if (!m_render || (!m_gl->isCurrent() && !m_gl->makeCurrentOffscreen()))
        return;
    const bool newFrame = mpv_render_context_update(m_render.get()) & MPV_RENDER_UPDATE_FRAME;
    if (newFrame)
        ++m_frameSerial;
    const QList<VideoSurface*> visible = visibleSurfaces();
    if (newFrame && (visible.isEmpty() || m_videoSize.isEmpty())) {
        // Nothing would show it: let mpv count the frame as shown without spending a render on it.
        int skip = 1;
        int block = 0;
        mpv_render_param params[] = {{MPV_RENDER_PARAM_SKIP_RENDERING, &skip},
                                     {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
                                     {MPV_RENDER_PARAM_INVALID, nullptr}};
        mpv_render_context_render(m_render.get(), params);
        m_stale = true;
        m_textureCurrent = false;
        return;
    }
    if ((!newFrame && redraw == Redraw::None) || visible.isEmpty() || m_videoSize.isEmpty())
        return;
    // Surfaces still presenting wait for their turn; a catch-up draw serves only those behind.
    QList<VideoSurface*> targets;
    for (VideoSurface* surface : visible) {
        if (surface->readyForFrame() &&
            (newFrame || redraw == Redraw::All || m_shownSerial.value(surface) != m_frameSerial))
            targets.append(surface);
    }
    const bool someWait = targets.size() < visible.size();
    const QSize size = textureSize();
    if (!newFrame && !m_stale && m_textureCurrent && m_textureSize == size) {
        for (VideoSurface* surface : targets)
            copyTextureTo(surface);
    } else if ((visible.size() == 1 && !someWait) || !m_calls->blitFramebuffer) {
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
    if (newFrame && !targets.isEmpty())
        mpv_render_context_report_swap(m_render.get());
}

void MpvSharedPlayer::renderInto(VideoSurface* surface) {
    if (!m_gl->makeCurrent(*surface))
        return;
    const QSize size = surface->videoPixelSize();
    mpv_opengl_fbo target{int(m_gl->framebuffer()), size.width(), size.height(), 0};
    int flip = 1;
    int block = 0;
    mpv_render_param params[] = {{MPV_RENDER_PARAM_OPENGL_FBO, &target},
                                 {MPV_RENDER_PARAM_FLIP_Y, &flip},
                                 {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    mpv_render_context_render(m_render.get(), params);
    m_gl->swap(*surface);
    ++m_framesRendered;
    shown(surface);
}

void MpvSharedPlayer::renderToTexture(const QSize& size) {
    if (!m_gl->makeCurrentOffscreen())
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
    if (!m_textureCurrent || !m_gl->makeCurrent(*surface))
        return;
    const GlCalls& gl = *m_calls;
    const GLuint windowFramebuffer = m_gl->framebuffer();
    const QSize target = surface->videoPixelSize();
    const QRect source = aspectFillSource(m_textureSize, target);
    // The texture is sized for the largest surface, whose copy is then pixel for pixel.
    const GLenum filter = source.size() == target ? GL_NEAREST : GL_LINEAR;
    gl.bindFramebuffer(GL_READ_FRAMEBUFFER, m_fbo);
    gl.bindFramebuffer(GL_DRAW_FRAMEBUFFER, windowFramebuffer);
    gl.blitFramebuffer(source.left(), source.top(), source.left() + source.width(),
                       source.top() + source.height(), 0, 0, target.width(), target.height(),
                       GL_COLOR_BUFFER_BIT, filter);
    gl.bindFramebuffer(GL_FRAMEBUFFER, windowFramebuffer);
    m_gl->swap(*surface);
    shown(surface);
}

void MpvSharedPlayer::shown(VideoSurface* surface) {
    m_shownSerial.insert(surface, m_frameSerial);
    surface->videoFrameShown();
}

QList<VideoSurface*> MpvSharedPlayer::visibleSurfaces() const {
    QList<VideoSurface*> visible;
    for (VideoSurface* surface : m_surfaces) {
        if (surface->showsVideo() && !surface->videoPixelSize().isEmpty())
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
    const GlCalls& gl = *m_calls;
    if (!m_texture) {
        gl.genTextures(1, &m_texture);
        gl.genFramebuffers(1, &m_fbo);
    }
    gl.bindTexture(GL_TEXTURE_2D, m_texture);
    gl.texParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    gl.texParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    gl.texParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    gl.texParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    const GLint format = m_gl->isOpenGLES() ? GL_RGBA : GL_RGBA8;
    gl.texImage2D(GL_TEXTURE_2D, 0, format, size.width(), size.height(), 0, GL_RGBA, GL_UNSIGNED_BYTE,
                  nullptr);
    gl.bindTexture(GL_TEXTURE_2D, 0);
    gl.bindFramebuffer(GL_FRAMEBUFFER, m_fbo);
    gl.framebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, m_texture, 0);
    gl.bindFramebuffer(GL_FRAMEBUFFER, 0);
    m_textureSize = size;
}

void MpvSharedPlayer::releaseTexture() {
    const GlCalls& gl = *m_calls;
    if (m_fbo && gl.deleteFramebuffers)
        gl.deleteFramebuffers(1, &m_fbo);
    if (m_texture && gl.deleteTextures)
        gl.deleteTextures(1, &m_texture);
    m_fbo = 0;
    m_texture = 0;
    m_textureSize = {};
    m_textureCurrent = false;
}
