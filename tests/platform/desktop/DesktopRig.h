// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/Preferences.h"
#include "engine/WallpaperEngine.h"
#include "fakes/FakeSystemConditions.h"
#include "library/LibraryStore.h"
#include "platform/desktop/X11MpvWallpaperFactory.h"
#include "platform/x11/X11ScreenSource.h"
#include "platform/x11/X11WindowList.h"
#include "support/TempXdgHome.h"
#include "support/XvfbSession.h"

#include <QImage>
#include <memory>

class MpvSharedPlayer;
class X11WallpaperWindow;

// The engine on the real X11 screens and window list of the test's X server, with this folder's
// wallpaper windows and libmpv players; a real store and preferences in a temporary home. Only the
// power and session conditions are faked.
class DesktopRig {
public:
    DesktopRig();
    ~DesktopRig();

    // Puts the video file in the library under the id, as a finished download would.
    void addVideo(const QString& id, const QString& file);
    // Stores the assignments, makes the engine and starts it, which applies them.
    WallpaperEngine& start(const QMap<QString, QString>& assignments);

    // The display key of the screen with the platform name ("LEFT", "RIGHT").
    [[nodiscard]] QString keyOf(const QString& screenName) const;
    // The live wallpaper window on that screen, or null.
    [[nodiscard]] X11WallpaperWindow* window(const QString& screenName) const;
    [[nodiscard]] MpvSharedPlayer* playerOf(const QString& id) const;
    // Waits until each window has shown more frames than it had.
    [[nodiscard]] bool waitForNewFrames(const QList<X11WallpaperWindow*>& windows) const;

    TempXdgHome home;
    X11ScreenSource screens;
    FakeSystemConditions conditions;
    X11WindowList windowList;
    X11MpvWallpaperFactory factory;
    std::unique_ptr<LibraryStore> store;
    std::unique_ptr<Preferences> preferences;
    std::unique_ptr<WallpaperEngine> engine;
};

// The default session (openbox, monitors LEFT and RIGHT), with the application prepared as the
// wallpaper's GL wants it.
[[nodiscard]] XvfbSession::Options desktopSession();

// The whole X screen, or nothing when `import` failed. A copy goes to $LUMIVALE_SCREENSHOT_DIR/name
// when that variable is set, for a person to look at.
[[nodiscard]] QImage screenshot(const QString& name);
// How many pixels differ by more than the tolerance in some channel.
[[nodiscard]] qsizetype differingPixels(const QImage& a, const QImage& b, int tolerance = 8);
// The mean brightness (0 to 255) of a region.
[[nodiscard]] double meanBrightness(const QImage& image, const QRect& region);
