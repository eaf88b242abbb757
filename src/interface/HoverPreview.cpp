#include "interface/HoverPreview.h"

#include "platform/mpv/MpvHandles.h"
#include "platform/mpv/MpvLocale.h"
#include "platform/mpv/MpvRenderContext.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>
#include <QVarLengthArray>
#include <clocale>
#include <cstring>
#include <mpv/render_gl.h>
#include <mutex>

namespace {
struct Option {
    const char* name;
    const char* value;
};

// Muted without decoding audio, looping, filling the item with the overflow cropped (keepaspect with
// full panscan), no configuration, scripts or on-screen display, and never holding off the screensaver.
// Preview clips are small: software decoding starts at once, without probing hardware decoders on
// every hover.
constexpr Option previewOptions[] = {
    {"config", "no"},
    {"terminal", "no"},
    {"vo", "libmpv"},
    {"hwdec", "no"},
    {"loop-file", "inf"},
    {"mute", "yes"},
    {"aid", "no"},
    {"sid", "no"},
    {"keepaspect", "yes"},
    {"panscan", "1.0"},
    {"stop-screensaver", "no"},
    {"osd-level", "0"},
    {"osc", "no"},
    {"input-default-bindings", "no"},
    {"input-vo-keyboard", "no"},
    {"load-scripts", "no"},
    {"load-stats-overlay", "no"},
    {"load-osd-console", "no"},
    {"load-auto-profiles", "no"},
    {"ytdl", "no"},
    {"network-timeout", "15"},
    // A clip may come over http(s) and nothing else, also what a playlist inside it names.
    {"load-unsafe-playlists", "no"},
    {"demuxer-lavf-o", "protocol_whitelist=[http,https,tcp,tls]"},
};

} // namespace

struct HoverPreview::Core {
    MpvCore handle;
    std::mutex mutex;
    // Cleared by the item before it goes; guarded by the mutex because mpv reads it from its thread.
    HoverPreview* item = nullptr;

    // mpv's thread: only schedules a redraw, never calls mpv.
    static void frameReady(void* context) {
        auto* core = static_cast<Core*>(context);
        const std::lock_guard lock(core->mutex);
        if (core->item)
            QMetaObject::invokeMethod(core->item, &QQuickItem::update, Qt::QueuedConnection);
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
    if (m_core->handle) {
        const char* stop[] = {"stop", nullptr};
        mpv_command_async(m_core->handle.get(), 0, stop);
    }
}

void HoverPreview::componentComplete() {
    QQuickFramebufferObject::componentComplete();
    startCore();
}

void HoverPreview::startCore() {
    if (m_core || m_source.isEmpty())
        return;
    if (std::strcmp(std::setlocale(LC_NUMERIC, nullptr), "C") != 0)
        MpvLocale::useCNumeric();
    auto core = std::make_shared<Core>();
    core->handle.reset(mpv_create());
    if (!core->handle)
        return;
    mpv_handle* handle = core->handle.get();
    for (const Option& option : previewOptions)
        mpv_set_option_string(handle, option.name, option.value);
    if (!m_playing)
        mpv_set_option_string(handle, "pause", "yes");
    if (mpv_initialize(handle) < 0)
        return;
    // Nothing reads mpv's events; asking for none keeps its queue empty.
    for (int id = MPV_EVENT_SHUTDOWN; id <= MPV_EVENT_HOOK; ++id)
        mpv_request_event(handle, mpv_event_id(id), 0);
    core->item = this;
    m_core = std::move(core);
    loadSource();
}

void HoverPreview::loadSource() {
    if (!m_core || !m_core->handle)
        return;
    const QByteArray location =
        m_source.isLocalFile() ? m_source.toLocalFile().toUtf8() : m_source.toEncoded();
    const char* command[] = {"loadfile", location.constData(), nullptr};
    mpv_command_async(m_core->handle.get(), 0, command);
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
    int paused = playing ? 0 : 1;
    mpv_set_property_async(m_core->handle.get(), 0, "pause", MPV_FORMAT_FLAG, &paused);
}

void HoverPreview::restart() {
    if (!m_core)
        return;
    const char* seek[] = {"seek", "0", "absolute", nullptr};
    mpv_command_async(m_core->handle.get(), 0, seek);
    setPlaying(true);
}

QQuickFramebufferObject::Renderer* HoverPreview::createRenderer() const {
    return new PreviewRenderer(m_core);
}
