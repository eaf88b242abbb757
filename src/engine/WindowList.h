// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QRect>
#include <optional>

// One on-screen window of the current workspace, as the window list reports it. Each field is
// absent when the platform did not give it in the expected form.
struct WindowInfo {
    // Stacking layer: 0 for ordinary application windows (normal, dialog and utility windows),
    // anything else for panels, docks, desktop and notification windows.
    std::optional<int> layer;
    // Opacity from 0 to 1.
    std::optional<double> alpha;
    // Outer bounds, frame included, in the global space described in ScreenInfo.h.
    std::optional<QRect> bounds;
};

// The windows shown on screen, front to back, desktop elements excluded.
class WindowList {
public:
    virtual ~WindowList() = default;

    // Nothing when the platform cannot give the list.
    [[nodiscard]] virtual std::optional<QList<WindowInfo>> onScreenWindows() const = 0;
};
