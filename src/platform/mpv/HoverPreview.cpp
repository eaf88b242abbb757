// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mpv/HoverPreview.h"

#include "platform/mpv/MpvClient.h"
#include "platform/mpv/MpvRenderContext.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>
#include <mpv/render_gl.h>
#include <mutex>

struct HoverPreview::Core {
    MpvCore handle;
    std::mutex mutex;
    // Cleared by the item before it goes; guarded by the mutex because mpv reads it from its thread.
    HoverPreview* item = nullptr;

    Core() = default;
    Core(const Core&) = delete;
    Core& operator=(const Core&) = delete;
    // No wakeup may reach the mutex once it is gone; the core ends after it.
    ~Core() {
        if (handle)
            mpv_set_wakeup_callback(handle.get(), nullptr, nullptr);
    }

    // mpv's threads: only schedule work for the item, never call mpv.
    static void frameReady(void* context) {
        auto* core = static_cast<Core*>(context);
        const std::lock_guard lock(core->mutex);
        if (core->item)
            QMetaObject::invokeMethod(core->item, &QQuickItem::update, Qt::QueuedConnection);
    }
    static void eventsReady(void* context) {
        auto* core = static_cast<Core*>(context);
        const std::lock_guard lock(core->mutex);
        if (core->item)
            QMetaObject::invokeMethod(core->item, &HoverPreview::readEvents, Qt::QueuedConnection);
    }
};

namespace {
class PreviewRenderer : public QQuickFramebufferObject::Renderer {
public:
    explicit PreviewRenderer(std::shared_ptr<HoverPreview::Core> core) : m_core(std::move(core)) {}

    ~PreviewRenderer() override {
        // On the render thread with the scene graph's context current, before the core.
        m_render.reset();
        // libmpv's ordinary calls belong off the render thread: the core ends on the main thread.
        if (QCoreApplication* app = QCoreApplication::instance())
            QMetaObject::invokeMethod(
                app, [core = std::move(m_core)] { Q_UNUSED(core); }, Qt::QueuedConnection);
    }

    QOpenGLFramebufferObject* createFramebufferObject(const QSize& size) override {
        QOpenGLFramebufferObjectFormat format;
        format.setAttachment(QOpenGLFramebufferObject::NoAttachment);
        return new QOpenGLFramebufferObject(size, format);
    }

    void synchronize(QQuickFramebufferObject* item) override {
        if (!m_core)
            m_core = static_cast<HoverPreview*>(item)->core();
    }

    void render() override {
        if (!m_render)
            createRenderContext();
        if (m_render && (mpv_render_context_update(m_render.get()) & MPV_RENDER_UPDATE_FRAME))
            m_hasFrame = true;
        QOpenGLFramebufferObject* fbo = framebufferObject();
        if (!m_render || !m_hasFrame) {
            // Until the first frame the poster shows through.
            QOpenGLFunctions* gl = QOpenGLContext::currentContext()->functions();
            gl->glClearColor(0, 0, 0, 0);
            gl->glClear(GL_COLOR_BUFFER_BIT);
            return;
        }
        mpv_opengl_fbo target{int(fbo->handle()), fbo->width(), fbo->height(), 0};
        int flipY = 0;
        mpv_render_param params[] = {
            {MPV_RENDER_PARAM_OPENGL_FBO, &target},
            {MPV_RENDER_PARAM_FLIP_Y, &flipY},
            {MPV_RENDER_PARAM_INVALID, nullptr},
        };
        mpv_render_context_render(m_render.get(), params);
    }

private:
    void createRenderContext() {
        QOpenGLContext* context = QOpenGLContext::currentContext();
        if (!context || !m_core || !m_core->handle)
            return;
        mpv_render_context* render = MpvRenderContext::createOpenGL(m_core->handle.get(), context);
        if (!render)
            return;
        m_render.reset(render);
        mpv_render_context_set_update_callback(render, &HoverPreview::Core::frameReady, m_core.get());
    }

    std::shared_ptr<HoverPreview::Core> m_core;
    MpvRender m_render;
    bool m_hasFrame = false;
};
} // namespace

HoverPreview::HoverPreview(QQuickItem* parent) : QQuickFramebufferObject(parent) {
    setTextureFollowsItemSize(true);
}

HoverPreview::~HoverPreview() {
    if (!m_core)
        return;
    {
        const std::lock_guard lock(m_core->mutex);
        m_core->item = nullptr;
    }
    // Stop decoding now; the renderer may hold the core a little longer.
    if (m_core->handle)
        MpvClient::command(m_core->handle.get(), {MpvNames::stop});
}

void HoverPreview::componentComplete() {
    QQuickFramebufferObject::componentComplete();
    startCore();
}

void HoverPreview::startCore() {
    if (m_core || m_source.isEmpty())
        return;
    auto core = std::make_shared<Core>();
    core->handle = MpvClient::create(MpvNames::previewOptions);
    if (!core->handle)
        return;
    if (!m_playing)
        MpvClient::setPaused(core->handle.get(), true);
    core->item = this;
    mpv_set_wakeup_callback(core->handle.get(), &Core::eventsReady, core.get());
    m_core = std::move(core);
    loadSource();
}

void HoverPreview::loadSource() {
    if (!m_core || !m_core->handle)
        return;
    MpvClient::load(m_core->handle.get(), m_source.isLocalFile() ? m_source.toLocalFile()
                                                                 : QString::fromUtf8(m_source.toEncoded()));
}

void HoverPreview::readEvents() {
    if (!m_core || !m_core->handle)
        return;
    for (const mpv_event* event = mpv_wait_event(m_core->handle.get(), 0); event->event_id != MPV_EVENT_NONE;
         event = mpv_wait_event(m_core->handle.get(), 0))
        MpvClient::logEvent(*event, m_source.toString());
}

void HoverPreview::setSource(const QUrl& source) {
    if (source == m_source)
        return;
    m_source = source;
    Q_EMIT sourceChanged();
    if (!isComponentComplete())
        return;
    if (m_core)
        loadSource();
    else
        startCore();
}

void HoverPreview::setPlaying(bool playing) {
    if (playing == m_playing)
        return;
    m_playing = playing;
    Q_EMIT playingChanged();
    if (!m_core)
        return;
    MpvClient::setPaused(m_core->handle.get(), !playing);
}

void HoverPreview::restart() {
    if (!m_core)
        return;
    MpvClient::command(m_core->handle.get(), {MpvNames::seek, "0", "absolute"});
    setPlaying(true);
}

QQuickFramebufferObject::Renderer* HoverPreview::createRenderer() const {
    return new PreviewRenderer(m_core);
}
