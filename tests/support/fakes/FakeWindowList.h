// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/WindowList.h"

// A window list a test fills in; counts how often it is asked.
class FakeWindowList : public WindowList {
public:
    [[nodiscard]] std::optional<QList<WindowInfo>> onScreenWindows() const override {
        ++queries;
        return windows;
    }

    // An ordinary opaque window with the given bounds.
    [[nodiscard]] static WindowInfo window(const QRect& bounds) {
        return {.layer = 0, .alpha = 1.0, .bounds = bounds};
    }

    std::optional<QList<WindowInfo>> windows = QList<WindowInfo>{};
    mutable int queries = 0;
};
