// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLatin1StringView>

// Names that the shell shares with the session bus, the file system and the catalog host, spelled once.
namespace ShellNames {
inline constexpr QLatin1StringView applicationName{"Lumivale"};
// The reverse-DNS application id: the desktop file, the bus name and the icon are named after it.
inline constexpr QLatin1StringView applicationId{"org.lumivale.Lumivale"};
inline constexpr QLatin1StringView desktopFileName{"org.lumivale.Lumivale.desktop"};
inline constexpr QLatin1StringView iconName{"org.lumivale.Lumivale"};

inline constexpr QLatin1StringView busName{"org.lumivale.Lumivale"};
inline constexpr QLatin1StringView objectPath{"/org/lumivale/Lumivale"};
inline constexpr QLatin1StringView applicationInterface{"org.freedesktop.Application"};
inline constexpr QLatin1StringView controlInterface{"org.lumivale.Lumivale.Control"};
inline constexpr QLatin1StringView errorUnknownWallpaper{"org.lumivale.Lumivale.Error.UnknownWallpaper"};
inline constexpr QLatin1StringView errorUnknownDisplay{"org.lumivale.Lumivale.Error.UnknownDisplay"};
inline constexpr QLatin1StringView errorNotUsed{"org.lumivale.Lumivale.Error.NotUsed"};
inline constexpr QLatin1StringView errorInvalidArgs{"org.freedesktop.DBus.Error.InvalidArgs"};

inline constexpr QLatin1StringView statusNotifierWatcher{"org.kde.StatusNotifierWatcher"};
inline constexpr QLatin1StringView statusNotifierWatcherPath{"/StatusNotifierWatcher"};
inline constexpr QLatin1StringView statusNotifierHostRegistered{"IsStatusNotifierHostRegistered"};
inline constexpr QLatin1StringView statusNotifierHostSignal{"StatusNotifierHostRegistered"};
inline constexpr QLatin1StringView xembedTraySelectionPrefix{"_NET_SYSTEM_TRAY_S"};

inline constexpr QLatin1StringView pingPath{"/v1/ping"};
inline constexpr QLatin1StringView updatePath{"/v1/update"};
inline constexpr QLatin1StringView firstRunEvent{"first_run"};

// Keys of the update feed and of the status report that the control interface returns.
inline constexpr QLatin1StringView feedVersion{"version"};
inline constexpr QLatin1StringView feedUrl{"url"};
inline constexpr QLatin1StringView feedNotes{"notes"};

inline constexpr QLatin1StringView statusLine{"statusLine"};
inline constexpr QLatin1StringView pauseReason{"pauseReason"};
inline constexpr QLatin1StringView userPaused{"userPaused"};
inline constexpr QLatin1StringView assignments{"assignments"};
inline constexpr QLatin1StringView displays{"displays"};
inline constexpr QLatin1StringView displayKey{"key"};
inline constexpr QLatin1StringView displayName{"name"};
inline constexpr QLatin1StringView displayWallpaper{"wallpaper"};
inline constexpr QLatin1StringView displayRunning{"running"};
inline constexpr QLatin1StringView displayDecoder{"decoder"};
inline constexpr QLatin1StringView rotation{"rotation"};
inline constexpr QLatin1StringView rotationInterval{"interval"};
inline constexpr QLatin1StringView rotationOrder{"order"};
inline constexpr QLatin1StringView rotationTimeLeft{"timeLeft"};
inline constexpr QLatin1StringView rotationCounting{"counting"};
inline constexpr QLatin1StringView rotationShuffled{"shuffled"};
inline constexpr QLatin1StringView rotationInOrder{"in-order"};
} // namespace ShellNames
