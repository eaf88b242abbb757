#pragma once

#include <QSize>

class QWindow;

// A window that shows an MpvSharedPlayer's frames. The player draws into it with its own GL
// context, so the window needs an OpenGL surface but no context.
class VideoSurface {
public:
    // The GL surface to draw into; it has a platform window for as long as it is attached.
    [[nodiscard]] virtual QWindow* videoWindow() = 0;
    // Size in device pixels; empty while the surface has none.
    [[nodiscard]] virtual QSize videoPixelSize() const = 0;
    // Whether what is drawn into the surface can be seen now.
    [[nodiscard]] virtual bool showsVideo() const = 0;
    // A frame has just been put on the surface.
    virtual void videoFrameShown() = 0;
    // The player is going away while the surface still shows it.
    virtual void videoPlayerGone() = 0;

protected:
    ~VideoSurface() = default;
};
