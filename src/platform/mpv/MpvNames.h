// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Every option and property name that crosses into libmpv, spelled once.
namespace MpvNames {

struct Option {
    const char* name;
    const char* value;
};

// Set on every core before it starts: muted with audio decoding off, looping without end, no
// configuration files, scripts or on-screen display. The video fills whatever it is drawn into,
// cropped where the aspect ratios differ (panscan=1 with the aspect ratio kept).
inline constexpr Option coreOptions[] = {
    {"config", "no"},
    {"terminal", "no"},
    {"vo", "libmpv"},
    {"loop-file", "inf"},
    {"mute", "yes"},
    {"aid", "no"},
    {"sid", "no"},
    {"keepaspect", "yes"},
    {"panscan", "1.0"},
    {"osd-level", "0"},
    {"osc", "no"},
    {"input-default-bindings", "no"},
    {"input-vo-keyboard", "no"},
    {"load-scripts", "no"},
    {"load-stats-overlay", "no"},
    {"load-osd-console", "no"},
    {"load-auto-profiles", "no"},
    {"ytdl", "no"},
};

// The wallpaper player's own: created paused, hardware decoding where it is safe, about two seconds
// of read-ahead, and frames handed over at their display time so that rendering never has to wait
// for it.
inline constexpr Option playerOptions[] = {
    {"hwdec", "auto-safe"},
    {"keep-open", "yes"},
    {"pause", "yes"},
    {"demuxer-readahead-secs", "2"},
    {"video-timing-offset", "0"},
    // Wallpapers are checked local video files: nothing they name is opened, nothing on the network.
    {"access-references", "no"},
    {"demuxer-lavf-o", "protocol_whitelist=file"},
};

// The hover preview's own: preview clips are small, so software decoding starts at once without
// probing hardware decoders on every hover; never holding off the screensaver.
inline constexpr Option previewOptions[] = {
    {"hwdec", "no"},
    {"stop-screensaver", "no"},
    {"network-timeout", "15"},
    // A clip may come over http(s) and nothing else, also what a playlist inside it names.
    {"load-unsafe-playlists", "no"},
    {"demuxer-lavf-o", "protocol_whitelist=[http,https,tcp,tls]"},
};

// Software decoding threads; each keeps a frame of its own in flight.
inline constexpr char decoderThreads[] = "vd-lavc-threads";
// Enough threads for 4K at 60 frames a second; mpv's default, one per core up to 16, holds frames in
// memory that a video playing at normal speed does not need.
inline constexpr int mostDecoderThreads = 4;
inline constexpr char pause[] = "pause";
inline constexpr char speed[] = "speed";
inline constexpr char videoParams[] = "video-params";
// The hardware decoding API in use, "no" for software decoding.
inline constexpr char hwdecCurrent[] = "hwdec-current";
inline constexpr char displayWidth[] = "dw";
inline constexpr char displayHeight[] = "dh";
inline constexpr char rotation[] = "rotate";
inline constexpr char loadfile[] = "loadfile";
inline constexpr char stop[] = "stop";
inline constexpr char seek[] = "seek";

} // namespace MpvNames
