// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/WindowList.h"

class WaylandConnection;

// The cover scan's window list from the compositor's toplevel list. The list has no geometry: each
// window that covers outputs (see ToplevelCover) is reported as an ordinary window the size of each
// of them, which is all the scan needs. Unknown where the compositor offers no list (KWin).
class WaylandWindowList final : public WindowList {
public:
    // The connection must outlive the list.
    explicit WaylandWindowList(const WaylandConnection& connection) : m_connection(connection) {}

    [[nodiscard]] std::optional<QList<WindowInfo>> onScreenWindows() const override;

private:
    const WaylandConnection& m_connection;
};
