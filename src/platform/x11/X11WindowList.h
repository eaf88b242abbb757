// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/WindowList.h"
#include "platform/x11/X11Atoms.h"
#include "platform/x11/X11Connection.h"

#include <cstdint>
#include <optional>
#include <span>

// The managed windows of the current desktop from EWMH, front to back, with frame-inclusive bounds
// in Qt's global coordinates. Normal, dialog and utility windows (or untyped ones) are layer 0;
// panels, menus, splashes and notifications get other layers; desktop windows, hidden (minimised or
// shaded) and unmapped windows and those of other desktops are left out.
class X11WindowList : public WindowList {
public:
    // Layers of the windows that are not ordinary application windows.
    enum Layer : int { Normal = 0, Toolbar = 3, Dock = 20, Popup = 101, Notification = 102 };

    X11WindowList();

    // All requests of a scan are sent before the first reply is awaited: two round trips in all.
    [[nodiscard]] std::optional<QList<WindowInfo>> onScreenWindows() const override;

private:
    // Nothing for a desktop window.
    [[nodiscard]] std::optional<int> layerOf(std::span<const uint32_t> types) const;

    std::optional<X11Connection> m_x;
    X11Atoms m_atoms;
};
