// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QKeySequence>
#include <QList>
#include <QMap>
#include <QString>

class WallpaperEngine;

// The status menu as data: what it shows is computed from the engine each time it opens, and a QMenu
// only draws the list.
namespace StatusMenu {

enum class Command { None, ShowLibrary, TogglePause, NextWallpaper, StopWallpaper, CheckForUpdates, Quit };

struct Item {
    enum class Kind { Text, Separator, Action };

    Kind kind = Kind::Separator;
    QString title;
    bool enabled = false;
    Command command = Command::None;
    QKeySequence shortcut;

    friend bool operator==(const Item&, const Item&) = default;
};

// What the menu reads from the engine.
struct State {
    QString statusLine;
    bool hasAssignments = false;
    bool userPaused = false;
};

[[nodiscard]] State stateOf(const WallpaperEngine& engine);
[[nodiscard]] QList<Item> items(const State& state);

} // namespace StatusMenu
