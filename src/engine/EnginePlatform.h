// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class RotationClock;
class ScreenSource;
class SystemConditions;
class WallpaperFactory;
class WindowList;

// What the engine needs from the system. Not owned: each must outlive the engine.
struct EnginePlatform {
    ScreenSource& screens;
    WallpaperFactory& factory;
    SystemConditions& conditions;
    WindowList& windowList;
    // The rotation's clock; the engine uses a steady clock of its own when none is given.
    RotationClock* clock = nullptr;
};
