#pragma once

// Every option and property name that crosses into libmpv, spelled once.
namespace MpvNames {

struct Option {
    const char* name;
    const char* value;
};

// Set before the core starts. Muted with audio decoding off, looping without end, about two seconds
// of read-ahead, no configuration files, scripts or on-screen display, and frames handed over at
// their display time so that rendering never has to wait for it. The video fills whatever it is
// drawn into, cropped where the aspect ratios differ (panscan=1 with the aspect ratio kept).
inline constexpr Option playerOptions[] = {
    {"config", "no"},
    {"terminal", "no"},
    {"vo", "libmpv"},
    {"hwdec", "auto-safe"},
    {"loop-file", "inf"},
    {"keep-open", "yes"},
    {"pause", "yes"},
    {"keepaspect", "yes"},
    {"panscan", "1.0"},
    {"mute", "yes"},
    {"aid", "no"},
    {"sid", "no"},
    {"demuxer-readahead-secs", "2"},
    {"osd-level", "0"},
    {"osc", "no"},
    {"input-default-bindings", "no"},
    {"input-vo-keyboard", "no"},
    {"load-scripts", "no"},
    {"load-stats-overlay", "no"},
    {"load-osd-console", "no"},
    {"load-auto-profiles", "no"},
    {"ytdl", "no"},
    {"video-timing-offset", "0"},
    // Wallpapers are checked local video files: nothing they name is opened, nothing on the network.
    {"access-references", "no"},
    {"demuxer-lavf-o", "protocol_whitelist=file"},
};

inline constexpr char pause[] = "pause";
inline constexpr char speed[] = "speed";
inline constexpr char videoParams[] = "video-params";
inline constexpr char displayWidth[] = "dw";
inline constexpr char displayHeight[] = "dh";
inline constexpr char rotation[] = "rotate";
inline constexpr char loadfile[] = "loadfile";
inline constexpr char stop[] = "stop";

} // namespace MpvNames
