#pragma once

#include <QLatin1StringView>

// Texts of the engine that reach the user or the preferences file, spelled once.
namespace EngineTexts {
inline constexpr QLatin1StringView byYou{"by you"};
inline constexpr QLatin1StringView screenOff{"screen off"};
inline constexpr QLatin1StringView onBattery{"on battery"};
inline constexpr QLatin1StringView lowPowerMode{"Low Power Mode"};
inline constexpr QLatin1StringView hot{"Mac is hot"};
inline constexpr QLatin1StringView covered{"covered"};

inline constexpr QLatin1StringView noWallpaperSet{"No wallpaper set"};
inline constexpr QLatin1StringView pausedPrefix{"Paused: "};
inline constexpr QLatin1StringView playing{"Playing"};
} // namespace EngineTexts
