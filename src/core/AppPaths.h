// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace AppPaths {
// $XDG_DATA_HOME/Lumivale (default ~/.local/share/Lumivale).
[[nodiscard]] QString libraryRoot();
// $XDG_CONFIG_HOME/Lumivale/preferences.json.
[[nodiscard]] QString preferencesFile();
} // namespace AppPaths
