// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/Preferences.h"
#include "engine/WallpaperEngine.h"
#include "fakes/FakePlatform.h"
#include "library/LibraryStore.h"
#include "support/TempXdgHome.h"

#include <QJsonObject>
#include <QStringList>
#include <memory>

// A real store and preferences file in a temporary home, fake platform services, and the engine.
// Files and preferences that must exist when the engine is made are set up before build().
class EngineRig {
public:
    EngineRig();

    // Writes the cached catalog, one record per id, in that order. Before build().
    void setCatalog(const QStringList& ids) const;
    // Writes one stored preference. Before build().
    void setStoredPreference(QLatin1StringView key, const QJsonValue& value) const;
    // The engine over the fakes, or over the given platform.
    WallpaperEngine& build(const std::optional<EnginePlatform>& platform = std::nullopt);

    // Puts a video file for the id in the library folder, as a finished download would.
    void addVideo(const QString& id) const;
    // The preferences file as it is on disk now.
    [[nodiscard]] QJsonObject storedPreferences() const;
    // Screens laid out left to right, 1920x1080 each, with UUID keys.
    void setScreens(const QStringList& keys, bool notify = false);
    // The wallpaper id whose file the display's window shows; empty when it has no window or player.
    [[nodiscard]] QString shownOn(const QString& key) const;

    TempXdgHome home;
    FakePlatform fakes;
    std::unique_ptr<LibraryStore> store;
    std::unique_ptr<Preferences> preferences;
    std::unique_ptr<WallpaperEngine> engine;
};
