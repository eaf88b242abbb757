#pragma once

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
};
