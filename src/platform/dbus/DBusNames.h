// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLatin1StringView>

// Every D-Bus name the condition monitors use, spelled once.
namespace DBusNames {
struct Object {
    QLatin1StringView service;
    QLatin1StringView path;
    QLatin1StringView interface;
};

inline constexpr Object bus{QLatin1StringView("org.freedesktop.DBus"),
                            QLatin1StringView("/org/freedesktop/DBus"),
                            QLatin1StringView("org.freedesktop.DBus")};
inline constexpr QLatin1StringView getNameOwner{"GetNameOwner"};

inline constexpr QLatin1StringView properties{"org.freedesktop.DBus.Properties"};
inline constexpr QLatin1StringView getAll{"GetAll"};
inline constexpr QLatin1StringView propertiesChanged{"PropertiesChanged"};

inline constexpr Object upower{QLatin1StringView("org.freedesktop.UPower"),
                               QLatin1StringView("/org/freedesktop/UPower"),
                               QLatin1StringView("org.freedesktop.UPower")};
inline constexpr QLatin1StringView onBattery{"OnBattery"};

// power-profiles-daemon: the newer name first; Debian 12 ships only the older one.
inline constexpr Object powerProfiles{QLatin1StringView("org.freedesktop.UPower.PowerProfiles"),
                                      QLatin1StringView("/org/freedesktop/UPower/PowerProfiles"),
                                      QLatin1StringView("org.freedesktop.UPower.PowerProfiles")};
inline constexpr Object powerProfilesLegacy{QLatin1StringView("net.hadess.PowerProfiles"),
                                            QLatin1StringView("/net/hadess/PowerProfiles"),
                                            QLatin1StringView("net.hadess.PowerProfiles")};
inline constexpr QLatin1StringView activeProfile{"ActiveProfile"};
inline constexpr QLatin1StringView powerSaver{"power-saver"};
inline constexpr QLatin1StringView performanceDegraded{"PerformanceDegraded"};
inline constexpr QLatin1StringView highOperatingTemperature{"high-operating-temperature"};

inline constexpr Object logindManager{QLatin1StringView("org.freedesktop.login1"),
                                      QLatin1StringView("/org/freedesktop/login1"),
                                      QLatin1StringView("org.freedesktop.login1.Manager")};
inline constexpr QLatin1StringView getSession{"GetSession"};
// Our own session, or the user's graphical one when the process runs outside any session.
inline constexpr QLatin1StringView autoSession{"auto"};
inline constexpr QLatin1StringView prepareForSleep{"PrepareForSleep"};
inline constexpr QLatin1StringView sessionInterface{"org.freedesktop.login1.Session"};
inline constexpr QLatin1StringView lockedHint{"LockedHint"};
inline constexpr QLatin1StringView active{"Active"};

inline constexpr Object freedesktopScreenSaver{QLatin1StringView("org.freedesktop.ScreenSaver"),
                                               QLatin1StringView("/org/freedesktop/ScreenSaver"),
                                               QLatin1StringView("org.freedesktop.ScreenSaver")};
inline constexpr Object gnomeScreenSaver{QLatin1StringView("org.gnome.ScreenSaver"),
                                         QLatin1StringView("/org/gnome/ScreenSaver"),
                                         QLatin1StringView("org.gnome.ScreenSaver")};
inline constexpr QLatin1StringView getActive{"GetActive"};
inline constexpr QLatin1StringView activeChanged{"ActiveChanged"};

inline constexpr Object mutterDisplayConfig{QLatin1StringView("org.gnome.Mutter.DisplayConfig"),
                                            QLatin1StringView("/org/gnome/Mutter/DisplayConfig"),
                                            QLatin1StringView("org.gnome.Mutter.DisplayConfig")};
inline constexpr QLatin1StringView powerSaveMode{"PowerSaveMode"};
} // namespace DBusNames
