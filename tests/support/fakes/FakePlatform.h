// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/EnginePlatform.h"
#include "fakes/FakeRotationClock.h"
#include "fakes/FakeScreenSource.h"
#include "fakes/FakeSystemConditions.h"
#include "fakes/FakeWallpaperFactory.h"
#include "fakes/FakeWindowList.h"

// Every platform service the engine needs, faked. Must outlive the engine that uses it.
struct FakePlatform {
    FakeScreenSource screens;
    FakeWallpaperFactory factory;
    FakeSystemConditions conditions;
    FakeWindowList windowList;
    FakeRotationClock clock;

    [[nodiscard]] EnginePlatform platform() { return {screens, factory, conditions, windowList, &clock}; }
};
