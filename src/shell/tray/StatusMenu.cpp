// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/tray/StatusMenu.h"

#include "engine/WallpaperEngine.h"
#include "shell/ShellTexts.h"

namespace StatusMenu {

namespace {
Item action(const UiText& title, Command command, QKeySequence shortcut = {}) {
    return {.kind = Item::Kind::Action,
            .title = title.toString(),
            .enabled = true,
            .command = command,
            .shortcut = shortcut};
}

Item separator() {
    return {};
}
} // namespace

State stateOf(const WallpaperEngine& engine) {
    return {.statusLine = engine.statusLine(),
            .hasAssignments = !engine.assignments().isEmpty(),
            .userPaused = engine.userPaused()};
}

QList<Item> items(const State& state) {
    QList<Item> menu;
    menu.append({.kind = Item::Kind::Text,
                 .title = state.statusLine,
                 .enabled = false,
                 .command = Command::None,
                 .shortcut = {}});
    menu.append(separator());
    menu.append(action(ShellTexts::openLumivale, Command::ShowLibrary));
    if (state.hasAssignments) {
        // The item follows the user's own pause only, not the overall pause state.
        menu.append(action(state.userPaused ? ShellTexts::resume : ShellTexts::pause, Command::TogglePause));
        menu.append(action(ShellTexts::nextWallpaper, Command::NextWallpaper));
        menu.append(action(ShellTexts::stopWallpaper, Command::StopWallpaper));
    }
    menu.append(separator());
    menu.append(action(ShellTexts::checkForUpdates, Command::CheckForUpdates));
    menu.append(action(ShellTexts::quitLumivale, Command::Quit, QKeySequence(Qt::CTRL | Qt::Key_Q)));
    return menu;
}

} // namespace StatusMenu
