// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/mpv/VideoGl.h"

#include <QSurfaceFormat>
#include <memory>

class QOffscreenSurface;
class QOpenGLContext;

// A player's GL through Qt: a context shared with the application's global share context, an
// offscreen surface, and QWindows as the surfaces (the VideoSurface must be a QWindow).
class QtVideoGl final : public VideoGl {
public:
    // Nothing when Qt cannot make the context. The application must exist.
    [[nodiscard]] static std::unique_ptr<QtVideoGl> create();
    // The format of the context, which the windows drawn into must have too.
    [[nodiscard]] static QSurfaceFormat surfaceFormat();
    ~QtVideoGl() override;
    QtVideoGl(const QtVideoGl&) = delete;
    QtVideoGl& operator=(const QtVideoGl&) = delete;

    [[nodiscard]] bool makeCurrentOffscreen() override;
    [[nodiscard]] bool makeCurrent(VideoSurface& surface) override;
    [[nodiscard]] bool isCurrent() const override;
    void release(VideoSurface& surface) override;
    void doneCurrent() override;
    void swap(VideoSurface& surface) override;
    [[nodiscard]] GLuint framebuffer() const override;
    [[nodiscard]] void* procAddress(const char* name) const override;
    [[nodiscard]] bool isOpenGLES() const override;
    [[nodiscard]] bool canBlit() const override;
    [[nodiscard]] mpv_render_param displayParam() const override;

private:
    QtVideoGl(std::unique_ptr<QOffscreenSurface> offscreen, std::unique_ptr<QOpenGLContext> context);

    std::unique_ptr<QOffscreenSurface> m_offscreen;
    std::unique_ptr<QOpenGLContext> m_context;
};
