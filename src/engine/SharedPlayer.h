// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// One muted player that loops one video file without end, shown by every wallpaper window whose
// display uses that file. It is created paused; only the engine plays and pauses it.
class SharedPlayer {
public:
    virtual ~SharedPlayer() = default;

    virtual void play() = 0;
    virtual void pause() = 0;
    // 0 while paused; the playback speed while running.
    [[nodiscard]] virtual double rate() const = 0;
    // Drops the file so that nothing more is read or decoded; the engine releases the player next.
    virtual void unload() = 0;
    // The decoder in use: a hardware decoding API's name, "software", or empty while not yet known.
    [[nodiscard]] virtual QString decoder() const { return {}; }
};
