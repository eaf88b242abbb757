// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/SharedPlayer.h"
#include "platform/mpv/MpvHandles.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSize>
#include <QString>
#include <QSurfaceFormat>
#include <atomic>
#include <memory>
#include <qopengl.h>

class VideoGl;
class VideoSurface;

// One libmpv core per video file, drawn on every surface that shows the file. mpv decodes on its own
// threads; everything here runs on the GUI thread, to which mpv's callbacks only hand work. Each new
// frame is rendered once, in the player's own GL context, and only when a surface can see it: for a
// single visible surface mpv renders straight into it; for several, into one texture sized for the
// largest, which is then copied, cropped, onto each of them. All surfaces therefore show the same
// frame. A surface still presenting its previous frame is skipped and catches up when it is done.
class MpvSharedPlayer final : public QObject, public SharedPlayer {
    Q_OBJECT

public:
    // Nothing when libmpv or the GL context cannot be set up. The application must exist and use the
    // C numeric locale; its global share context, if any, is shared with.
    [[nodiscard]] static std::unique_ptr<MpvSharedPlayer> create(const QString& file);
    // The same, drawing through the given GL.
    [[nodiscard]] static std::unique_ptr<MpvSharedPlayer> create(const QString& file,
                                                                 std::unique_ptr<VideoGl> gl);
    // The format of the player's context, which the surfaces it draws into must have too.
    [[nodiscard]] static QSurfaceFormat surfaceFormat();
    ~MpvSharedPlayer() override;
    MpvSharedPlayer(const MpvSharedPlayer&) = delete;
    MpvSharedPlayer& operator=(const MpvSharedPlayer&) = delete;

    void play() override;
    void pause() override;
    [[nodiscard]] double rate() const override;
    void unload() override;
    [[nodiscard]] QString decoder() const override { return m_decoder; }

    [[nodiscard]] const QString& file() const { return m_file; }
    // How many frames mpv has rendered, whatever the number of surfaces.
    [[nodiscard]] quint64 framesRendered() const { return m_framesRendered; }

    void attach(VideoSurface* surface);
    void detach(VideoSurface* surface);
    // A surface was exposed, resized, shown or hidden: it may need the current frame again.
    void surfacesChanged();
    // A surface has presented its last frame and can take the next one.
    void surfaceReady(VideoSurface* surface);

private:
    MpvSharedPlayer(QString file, std::unique_ptr<VideoGl> gl);
    [[nodiscard]] bool start();
    void setPaused(bool paused);
    void handleEvents();
    void handleUpdate();
    void decoderChanged(const QString& api);
    enum class Redraw { None, Behind, All };
    void scheduleRedraw(Redraw redraw);
    void draw(Redraw redraw);
    void renderInto(VideoSurface* surface);
    void renderToTexture(const QSize& size);
    void copyTextureTo(VideoSurface* surface);
    [[nodiscard]] QList<VideoSurface*> visibleSurfaces() const;
    void shown(VideoSurface* surface);
    [[nodiscard]] bool loadGl();
    [[nodiscard]] QSize textureSize() const;
    void resizeTexture(const QSize& size);
    void releaseTexture();

    static void wakeup(void* player);
    static void renderUpdate(void* player);

    QString m_file;
    std::unique_ptr<VideoGl> m_gl;
    struct GlCalls;
    std::unique_ptr<GlCalls> m_calls;
    MpvCore m_core;
    MpvRender m_render;
    QList<VideoSurface*> m_surfaces;

    GLuint m_texture = 0;
    GLuint m_fbo = 0;
    QSize m_textureSize;
    // The texture holds the frame the surfaces should show.
    bool m_textureCurrent = false;
    // Frames went by unrendered while nothing showed them.
    bool m_stale = false;
    QSize m_videoSize;
    QString m_decoder;
    quint64 m_framesRendered = 0;
    // Counts the video frames mpv has handed over; each surface remembers the one it shows.
    quint64 m_frameSerial = 0;
    QHash<VideoSurface*, quint64> m_shownSerial;
    Redraw m_redrawQueued = Redraw::None;
    bool m_paused = true;
    bool m_unloaded = false;
    bool m_failed = false;
    std::atomic<bool> m_updateQueued = false;
    std::atomic<bool> m_eventsQueued = false;
};
