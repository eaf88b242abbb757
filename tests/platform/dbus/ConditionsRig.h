// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/Preferences.h"
#include "engine/WallpaperEngine.h"
#include "fakes/FakePlatform.h"
#include "library/LibraryStore.h"
#include "platform/dbus/LinuxSystemConditions.h"
#include "support/DBusSandbox.h"
#include "support/TempXdgHome.h"

#include <memory>

// The real engine on fake screens, windows and players, wired to LinuxSystemConditions on the
// sandbox's buses: one display showing one wallpaper. Mocks that should be there from the start are
// started before start().
class ConditionsRig {
public:
    ConditionsRig();

    // The sandbox's buses, a thermal root with no zones, no displays-off hook.
    [[nodiscard]] LinuxSystemConditionsSetup setup() const;
    void start() { start(setup()); }
    void start(const LinuxSystemConditionsSetup& setup);

    [[nodiscard]] bool playing() const;
    [[nodiscard]] QString pauseReason() const { return engine->pauseReasonText(); }

    DBusSandbox sandbox;
    TempXdgHome home;
    FakePlatform fakes;
    std::unique_ptr<LibraryStore> store;
    std::unique_ptr<Preferences> preferences;
    std::unique_ptr<LinuxSystemConditions> conditions;
    std::unique_ptr<WallpaperEngine> engine;
};
