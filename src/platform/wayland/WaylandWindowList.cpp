// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/WaylandWindowList.h"

#include "platform/wayland/WaylandConnection.h"

std::optional<QList<WindowInfo>> WaylandWindowList::onScreenWindows() const {
    if (!m_connection.hasToplevelList() || m_connection.isLost())
        return std::nullopt;
    const QSet<QString> covered = ToplevelCover::coveredOutputs(m_connection.toplevels());
    QList<WindowInfo> windows;
    for (const WaylandOutput* output : m_connection.outputs()) {
        if (covered.contains(output->name))
            windows.append({.layer = 0, .alpha = 1.0, .bounds = output->logicalFrame()});
    }
    return windows;
}
