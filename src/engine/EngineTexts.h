// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/UiText.h"

// Texts of the engine that reach the user, spelled once.
namespace EngineTexts {
inline constexpr UiText byYou{"EngineTexts", QT_TRANSLATE_NOOP("EngineTexts", "by you")};
inline constexpr UiText screenOff{"EngineTexts", QT_TRANSLATE_NOOP("EngineTexts", "screen off")};
inline constexpr UiText onBattery{"EngineTexts", QT_TRANSLATE_NOOP("EngineTexts", "on battery")};
inline constexpr UiText lowPowerMode{"EngineTexts", QT_TRANSLATE_NOOP("EngineTexts", "Low Power Mode")};
inline constexpr UiText hot{"EngineTexts", QT_TRANSLATE_NOOP("EngineTexts", "Mac is hot")};
inline constexpr UiText covered{"EngineTexts", QT_TRANSLATE_NOOP("EngineTexts", "covered")};

inline constexpr UiText noWallpaperSet{"EngineTexts", QT_TRANSLATE_NOOP("EngineTexts", "No wallpaper set")};
inline constexpr UiText pausedPrefix{"EngineTexts", QT_TRANSLATE_NOOP("EngineTexts", "Paused: ")};
inline constexpr UiText playing{"EngineTexts", QT_TRANSLATE_NOOP("EngineTexts", "Playing")};
} // namespace EngineTexts
