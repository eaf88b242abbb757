#pragma once

#include <QStringView>

// Texts of the shell that reach the user, spelled once.
namespace ShellTexts {
inline constexpr QStringView openLumivale{u"Open Lumivale"};
inline constexpr QStringView pause{u"Pause"};
inline constexpr QStringView resume{u"Resume"};
inline constexpr QStringView nextWallpaper{u"Next wallpaper"};
inline constexpr QStringView stopWallpaper{u"Stop wallpaper"};
inline constexpr QStringView checkForUpdates{u"Check for updates"};
inline constexpr QStringView quitLumivale{u"Quit Lumivale"};

inline constexpr QStringView windowTitle{u"Lumivale"};
inline constexpr QStringView aboutLumivale{u"About Lumivale"};
inline constexpr QStringView aboutSummary{u"Live video wallpapers for your desktop."};
inline constexpr QStringView licence{u"GNU General Public License, version 3 or later"};

inline constexpr QStringView updateWindowTitle{u"Software Update"};
inline constexpr QStringView checkingForUpdates{u"Checking for updates…"};
inline constexpr QStringView upToDate{u"Lumivale is up to date."};
// "%1" is the new version.
inline constexpr QStringView versionAvailable{u"Version %1 is available."};
inline constexpr QStringView couldNotCheck{u"Lumivale couldn't check for updates."};
inline constexpr QStringView openDownloadPage{u"Open Download Page"};
inline constexpr QStringView close{u"Close"};

inline constexpr QStringView notRunning{u"Lumivale is not running."};
inline constexpr QStringView alreadyRunning{u"Lumivale is already running."};
} // namespace ShellTexts
