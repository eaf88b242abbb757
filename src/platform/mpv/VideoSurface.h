// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSize>

// A window that shows an MpvSharedPlayer's frames. The player draws into it with its own GL
// context (through its VideoGl), so the window needs a GL surface but no context.
class VideoSurface {
public:
    // Size in device pixels; empty while the surface has none.
    [[nodiscard]] virtual QSize videoPixelSize() const = 0;
    // Whether what is drawn into the surface can be seen now.
    [[nodiscard]] virtual bool showsVideo() const = 0;
    // Whether the surface can take a frame now: false while the compositor has not yet shown the
    // previous one, in which case the player calls again through surfaceReady().
    [[nodiscard]] virtual bool readyForFrame() const { return true; }
    // A frame has just been drawn into the surface and is about to be presented.
    virtual void videoFrameShown() = 0;
    // The player is going away while the surface still shows it.
    virtual void videoPlayerGone() = 0;

protected:
    ~VideoSurface() = default;
};
