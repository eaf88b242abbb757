// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/WaylandWallpaperWindow.h"

#include "platform/mpv/MpvSharedPlayer.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandEgl.h"
#include "platform/wayland/WaylandLog.h"
#include "platform/wayland/WaylandProtocols.h"

#include <wayland-egl.h>

namespace {
constexpr char layerNamespace[] = "wallpaper";

[[nodiscard]] FrameVisibility::TimePoint now() {
    return FrameVisibility::Clock::now();
}
} // namespace

struct WaylandWallpaperWindow::Listeners {
    static void configure(void* data, zwlr_layer_surface_v1*, uint32_t serial, uint32_t width,
                          uint32_t height) {
        static_cast<WaylandWallpaperWindow*>(data)->configure(serial, QSize(int(width), int(height)));
    }
    static void closed(void* data, zwlr_layer_surface_v1*) {
        auto* window = static_cast<WaylandWallpaperWindow*>(data);
        qCInfo(lcWayland) << "The compositor closed the wallpaper on" << window->m_outputName;
        window->destroySurface();
        window->reportVisibility();
    }
    static constexpr zwlr_layer_surface_v1_listener layerSurface{&configure, &closed};

    static void done(void* data, wl_callback*, uint32_t) {
        static_cast<WaylandWallpaperWindow*>(data)->frameDone();
    }
    static constexpr wl_callback_listener frame{&done};
};

WaylandWallpaperWindow::WaylandWallpaperWindow(const ScreenInfo& screen,
                                               std::function<void()> visibilityChanged,
                                               WaylandConnection& connection, const WaylandEgl& egl,
                                               Layer layer)
    : m_connection(connection), m_egl(egl), m_layer(layer), m_outputName(screen.platformName),
      m_output(connection.output(screen.platformName)), m_frame(screen.frame),
      m_visibilityChanged(std::move(visibilityChanged)) {
    m_checkTimer.setSingleShot(true);
    m_checkTimer.setTimerType(Qt::CoarseTimer);
    connect(&m_checkTimer, &QTimer::timeout, this, &WaylandWallpaperWindow::check);
    connect(&connection, &WaylandConnection::outputRemoved, this, [this](const WaylandOutput* output) {
        if (output != m_output)
            return;
        destroySurface();
        m_output = nullptr;
        reportVisibility();
    });
    connect(&connection, &WaylandConnection::outputsChanged, this, &WaylandWallpaperWindow::updateScale);
    connect(&connection, &WaylandConnection::lost, this, &WaylandWallpaperWindow::reportVisibility);
}

WaylandWallpaperWindow::~WaylandWallpaperWindow() {
    destroySurface();
    if (m_mpvPlayer)
        m_mpvPlayer->detach(this);
}

void WaylandWallpaperWindow::orderFront() {
    m_shown = true;
    if (!m_output)
        m_output = m_connection.output(m_outputName);
    if (!m_surface)
        createSurface();
    reportVisibility();
}

void WaylandWallpaperWindow::orderOut() {
    m_shown = false;
    destroySurface();
    reportVisibility();
}

void WaylandWallpaperWindow::createSurface() {
    if (!m_output || m_connection.isLost() || !m_connection.compositor() || !m_connection.layerShell())
        return;
    m_scale = m_output->scale;
    m_surface = wl_compositor_create_surface(m_connection.compositor());
    // Every click and touch goes to what lies beneath.
    wl_region* empty = wl_compositor_create_region(m_connection.compositor());
    wl_surface_set_input_region(m_surface, empty);
    wl_region_destroy(empty);
    wl_surface_set_buffer_scale(m_surface, m_scale);

    const uint32_t layer =
        m_layer == Layer::Bottom ? ZWLR_LAYER_SHELL_V1_LAYER_BOTTOM : ZWLR_LAYER_SHELL_V1_LAYER_BACKGROUND;
    m_layerSurface = zwlr_layer_shell_v1_get_layer_surface(m_connection.layerShell(), m_surface,
                                                           m_output->output, layer, layerNamespace);
    zwlr_layer_surface_v1_set_size(m_layerSurface, 0, 0);
    zwlr_layer_surface_v1_set_anchor(
        m_layerSurface, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                            ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    zwlr_layer_surface_v1_set_exclusive_zone(m_layerSurface, -1);
    zwlr_layer_surface_v1_set_keyboard_interactivity(m_layerSurface,
                                                     ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE);
    zwlr_layer_surface_v1_add_listener(m_layerSurface, &Listeners::layerSurface, this);
    wl_surface_commit(m_surface);
    m_connection.flush();
}

void WaylandWallpaperWindow::destroySurface() {
    if (!m_surface)
        return;
    m_checkTimer.stop();
    // Callbacks first, then what draws into the surface, then the surface's roles and itself.
    if (m_frameCallback) {
        wl_callback_destroy(m_frameCallback);
        m_frameCallback = nullptr;
    }
    if (m_mpvPlayer && m_attached)
        m_mpvPlayer->detach(this);
    m_attached = false;
    if (m_eglSurface != EGL_NO_SURFACE)
        eglDestroySurface(m_egl.display(), m_eglSurface);
    m_eglSurface = EGL_NO_SURFACE;
    m_swapIntervalSet = false;
    if (m_eglWindow)
        wl_egl_window_destroy(m_eglWindow);
    m_eglWindow = nullptr;
    zwlr_layer_surface_v1_destroy(m_layerSurface);
    m_layerSurface = nullptr;
    wl_surface_destroy(m_surface);
    m_surface = nullptr;
    m_size = {};
    m_hasBuffer = false;
    m_frames.reset();
    m_connection.flush();
}

void WaylandWallpaperWindow::configure(quint32 serial, QSize size) {
    zwlr_layer_surface_v1_ack_configure(m_layerSurface, serial);
    if (size.isEmpty() && m_output)
        size = m_output->logicalFrame().size();
    m_size = size;
    const QSize pixels = videoPixelSize();
    if (!m_eglWindow) {
        m_eglWindow = wl_egl_window_create(m_surface, pixels.width(), pixels.height());
        m_eglSurface = eglCreateWindowSurface(m_egl.display(), m_egl.config(),
                                              reinterpret_cast<EGLNativeWindowType>(m_eglWindow), nullptr);
        if (m_eglSurface == EGL_NO_SURFACE)
            qCWarning(lcWayland) << "EGL refused a surface for the wallpaper on" << m_outputName << "(error"
                                 << Qt::hex << eglGetError() << ")";
    } else {
        wl_egl_window_resize(m_eglWindow, pixels.width(), pixels.height(), 0, 0);
    }
    attachPlayer();
    reportVisibility();
    if (m_mpvPlayer)
        m_mpvPlayer->surfacesChanged();
    scheduleCheck();
    m_connection.serviceSoon();
}

void WaylandWallpaperWindow::updateScale() {
    if (!m_surface || !m_output || m_output->scale == m_scale)
        return;
    m_scale = m_output->scale;
    wl_surface_set_buffer_scale(m_surface, m_scale);
    if (m_eglWindow) {
        const QSize pixels = videoPixelSize();
        wl_egl_window_resize(m_eglWindow, pixels.width(), pixels.height(), 0, 0);
    }
    if (m_mpvPlayer)
        m_mpvPlayer->surfacesChanged();
}

void WaylandWallpaperWindow::setPlayer(SharedPlayer* player) {
    if (m_mpvPlayer && m_attached)
        m_mpvPlayer->detach(this);
    m_attached = false;
    m_player = player;
    m_mpvPlayer = dynamic_cast<MpvSharedPlayer*>(player);
    attachPlayer();
}

void WaylandWallpaperWindow::attachPlayer() {
    if (m_mpvPlayer && !m_attached && isConfigured()) {
        m_attached = true;
        m_mpvPlayer->attach(this);
    }
}

void WaylandWallpaperWindow::videoPlayerGone() {
    m_player = nullptr;
    m_mpvPlayer = nullptr;
    m_attached = false;
}

bool WaylandWallpaperWindow::isVisible() const {
    return m_shown && m_surface && !m_connection.isLost() && m_frames.visible(now());
}

QSize WaylandWallpaperWindow::videoPixelSize() const {
    return m_size * m_scale;
}

bool WaylandWallpaperWindow::showsVideo() const {
    return isConfigured() && isVisible();
}

void WaylandWallpaperWindow::requestFrame() {
    if (!m_surface || m_frameCallback)
        return;
    m_frameCallback = wl_surface_frame(m_surface);
    wl_callback_add_listener(m_frameCallback, &Listeners::frame, this);
    m_frames.requested(now());
    scheduleCheck();
}

void WaylandWallpaperWindow::presented() {
    m_hasBuffer = true;
    m_connection.serviceSoon();
}

void WaylandWallpaperWindow::frameDone() {
    if (m_frameCallback) {
        wl_callback_destroy(m_frameCallback);
        m_frameCallback = nullptr;
    }
    m_frames.answered(now());
    reportVisibility();
    if (m_mpvPlayer && m_attached)
        m_mpvPlayer->surfaceReady(this);
    scheduleCheck();
}

void WaylandWallpaperWindow::setVisibilityWatched(bool watched) {
    if (watched == m_watched)
        return;
    m_watched = watched;
    if (watched)
        check();
    else
        m_checkTimer.stop();
}

void WaylandWallpaperWindow::check() {
    reportVisibility();
    if (m_watched && m_frames.probeDue(now()) && m_hasBuffer) {
        // Nothing new was drawn for a while: an empty commit with a callback keeps the answer coming.
        requestFrame();
        wl_surface_commit(m_surface);
        m_connection.flush();
    }
    scheduleCheck();
}

void WaylandWallpaperWindow::scheduleCheck() {
    if (!m_surface || !m_watched)
        return;
    const auto wait = m_frames.nextChange() - now();
    // A late callback has already been reported; only its answer can change anything now.
    if (wait <= wait.zero() && m_frames.pending())
        return;
    const auto milliseconds = std::chrono::ceil<std::chrono::milliseconds>(wait);
    m_checkTimer.start(std::max(milliseconds, std::chrono::milliseconds(1)));
}

void WaylandWallpaperWindow::reportVisibility() {
    const bool visible = isVisible();
    if (visible == m_lastVisible)
        return;
    m_lastVisible = visible;
    qCDebug(lcWayland) << "Wallpaper on" << m_outputName << (visible ? "visible" : "hidden");
    if (m_mpvPlayer && m_attached)
        m_mpvPlayer->surfacesChanged();
    if (m_visibilityChanged)
        m_visibilityChanged();
}
