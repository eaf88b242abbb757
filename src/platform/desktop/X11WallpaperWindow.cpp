// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/desktop/X11WallpaperWindow.h"

#include "platform/desktop/X11DesktopHints.h"
#include "platform/desktop/X11WindowEvents.h"
#include "platform/mpv/MpvSharedPlayer.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace {

[[nodiscard]] QScreen* screenNamed(const QString& name) {
    const QList<QScreen*> screens = QGuiApplication::screens();
    for (QScreen* screen : screens) {
        if (screen->name() == name)
            return screen;
    }
    return nullptr;
}

} // namespace

X11WallpaperWindow::X11WallpaperWindow(const ScreenInfo& screen, std::function<void()> visibilityChanged,
                                       const X11DesktopHints& hints, X11WindowEvents& events)
    : m_screenName(screen.platformName), m_frame(screen.frame),
      m_visibilityChanged(std::move(visibilityChanged)), m_hints(hints), m_events(events) {
    // Players draw into the window with their own contexts, which need a matching format.
    setSurfaceType(QSurface::OpenGLSurface);
    setFormat(MpvSharedPlayer::surfaceFormat());
    setFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnBottomHint |
             Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput);
    setTitle(QStringLiteral("Lumivale"));
    placeOnScreen();
    create();
    m_windowId = quint32(winId());
    m_hints.prepare(m_windowId);
    m_events.watch(m_windowId, this);

    connect(this, &QWindow::windowStateChanged, this, &X11WallpaperWindow::reportVisibility);
    // Qt moves a window whose screen went away to another one; when its own comes back, return to it.
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen* added) {
        if (added->name() == m_screenName)
            placeOnScreen();
    });
}

X11WallpaperWindow::~X11WallpaperWindow() {
    // QWindow's own teardown emits signals that must not reach this half-destroyed object.
    disconnect(this, &QWindow::windowStateChanged, this, nullptr);
    disconnect(qGuiApp, nullptr, this, nullptr);
    m_events.unwatch(m_windowId);
    if (m_mpvPlayer)
        m_mpvPlayer->detach(this);
}

QRect X11WallpaperWindow::frame() const {
    return geometry();
}

void X11WallpaperWindow::setFrame(const QRect& frame) {
    m_frame = frame;
    placeOnScreen();
}

void X11WallpaperWindow::placeOnScreen() {
    if (QScreen* own = screenNamed(m_screenName); own && own != screen())
        setScreen(own);
    if (geometry() != m_frame)
        setGeometry(m_frame);
}

void X11WallpaperWindow::orderFront() {
    placeOnScreen();
    if (m_shown && !m_mapped) {
        // Someone else unmapped it: map it anew.
        hide();
        m_shown = false;
    }
    if (!m_shown) {
        m_shown = true;
        m_mapped = true;
        m_obscured = false;
        m_inputShapeRefreshed = false;
        m_hints.prepare(m_windowId);
        show();
    }
    // The bottom of the desktop level, so that a file manager's desktop icons stay above it.
    lower();
    reportVisibility();
}

void X11WallpaperWindow::orderOut() {
    if (!m_shown)
        return;
    m_shown = false;
    hide();
    reportVisibility();
}

void X11WallpaperWindow::setPlayer(SharedPlayer* player) {
    if (m_mpvPlayer)
        m_mpvPlayer->detach(this);
    m_player = player;
    m_mpvPlayer = dynamic_cast<MpvSharedPlayer*>(player);
    if (m_mpvPlayer)
        m_mpvPlayer->attach(this);
    else
        m_hints.clear(m_windowId);
}

bool X11WallpaperWindow::isVisible() const {
    return m_shown && m_mapped && !m_obscured && !(windowStates() & Qt::WindowMinimized);
}

QSize X11WallpaperWindow::videoPixelSize() const {
    const double ratio = devicePixelRatio();
    return QSize(int(std::lround(width() * ratio)), int(std::lround(height() * ratio)));
}

void X11WallpaperWindow::videoPlayerGone() {
    m_player = nullptr;
    m_mpvPlayer = nullptr;
    m_hints.clear(m_windowId);
}

void X11WallpaperWindow::setFullyObscured(bool obscured) {
    m_obscured = obscured;
    reportVisibility();
}

void X11WallpaperWindow::setMapped(bool mapped) {
    m_mapped = mapped;
    // The server reports the visibility again once the window is mapped.
    m_obscured = false;
    reportVisibility();
}

void X11WallpaperWindow::reportVisibility() {
    const bool visible = isVisible();
    if (visible == m_lastVisible)
        return;
    m_lastVisible = visible;
    if (m_mpvPlayer)
        m_mpvPlayer->surfacesChanged();
    if (m_visibilityChanged)
        m_visibilityChanged();
}

void X11WallpaperWindow::exposeEvent(QExposeEvent* event) {
    QWindow::exposeEvent(event);
    if (!isExposed())
        return;
    // Some window managers copy the input shape to their frame only once the window is on screen.
    if (!m_inputShapeRefreshed) {
        m_inputShapeRefreshed = true;
        m_hints.clearInputShape(m_windowId);
    }
    // Where no player draws, the server paints the black background by itself.
    if (m_mpvPlayer)
        m_mpvPlayer->surfacesChanged();
}

void X11WallpaperWindow::resizeEvent(QResizeEvent* event) {
    QWindow::resizeEvent(event);
    if (m_mpvPlayer)
        m_mpvPlayer->surfacesChanged();
}
