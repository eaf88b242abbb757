// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/UiText.h"

// Texts of the shell that reach the user, spelled once.
namespace ShellTexts {
inline constexpr UiText openLumivale{"ShellTexts", QT_TRANSLATE_NOOP("ShellTexts", "Open Lumivale")};
inline constexpr UiText pause{"ShellTexts", QT_TRANSLATE_NOOP("ShellTexts", "Pause")};
inline constexpr UiText resume{"ShellTexts", QT_TRANSLATE_NOOP("ShellTexts", "Resume")};
inline constexpr UiText nextWallpaper{"ShellTexts", QT_TRANSLATE_NOOP("ShellTexts", "Next wallpaper")};
inline constexpr UiText stopWallpaper{"ShellTexts", QT_TRANSLATE_NOOP("ShellTexts", "Stop wallpaper")};
inline constexpr UiText checkForUpdates{"ShellTexts", QT_TRANSLATE_NOOP("ShellTexts", "Check for updates")};
inline constexpr UiText quitLumivale{"ShellTexts", QT_TRANSLATE_NOOP("ShellTexts", "Quit Lumivale")};

inline constexpr UiText windowTitle{"ShellTexts", QT_TRANSLATE_NOOP("ShellTexts", "Lumivale")};
inline constexpr UiText aboutLumivale{"ShellTexts", QT_TRANSLATE_NOOP("ShellTexts", "About Lumivale")};
inline constexpr UiText aboutSummary{
    "ShellTexts", QT_TRANSLATE_NOOP("ShellTexts", "Live video wallpapers for your desktop.")};
inline constexpr UiText licence{
    "ShellTexts", QT_TRANSLATE_NOOP("ShellTexts", "GNU General Public License, version 3 or later")};

inline constexpr UiText updateWindowTitle{"ShellTexts", QT_TRANSLATE_NOOP("ShellTexts", "Software Update")};
inline constexpr UiText checkingForUpdates{"ShellTexts",
                                           QT_TRANSLATE_NOOP("ShellTexts", "Checking for updates…")};
inline constexpr UiText upToDate{"ShellTexts", QT_TRANSLATE_NOOP("ShellTexts", "Lumivale is up to date.")};
//: %1 is the new version.
inline constexpr UiText versionAvailable{"ShellTexts",
                                         QT_TRANSLATE_NOOP("ShellTexts", "Version %1 is available.")};
inline constexpr UiText couldNotCheck{
    "ShellTexts", QT_TRANSLATE_NOOP("ShellTexts", "Lumivale couldn't check for updates.")};
inline constexpr UiText openDownloadPage{"ShellTexts", QT_TRANSLATE_NOOP("ShellTexts", "Open Download Page")};
inline constexpr UiText close{"ShellTexts", QT_TRANSLATE_NOOP("ShellTexts", "Close")};

inline constexpr UiText notRunning{"ShellTexts", QT_TRANSLATE_NOOP("ShellTexts", "Lumivale is not running.")};
inline constexpr UiText alreadyRunning{"ShellTexts",
                                       QT_TRANSLATE_NOOP("ShellTexts", "Lumivale is already running.")};
} // namespace ShellTexts
