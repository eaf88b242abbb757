// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLatin1StringView>

// Keys of the preferences file, spelled once.
namespace PreferenceKeys {
inline constexpr QLatin1StringView assignments{"assignments"};
inline constexpr QLatin1StringView userPaused{"userPaused"};
inline constexpr QLatin1StringView pauseOnBattery{"pauseOnBattery"};
inline constexpr QLatin1StringView pauseWhenCovered{"pauseWhenCovered"};
inline constexpr QLatin1StringView rotationInterval{"rotationInterval"};
inline constexpr QLatin1StringView rotationShuffled{"rotationShuffled"};
inline constexpr QLatin1StringView rotationTimeLeft{"rotationTimeLeft"};
inline constexpr QLatin1StringView firstRunSent{"firstRunSent"};
inline constexpr QLatin1StringView libraryWindowFrame{"LumivaleLibrary"};
} // namespace PreferenceKeys
