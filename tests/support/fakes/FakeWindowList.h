// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/WindowList.h"

// A window list a test fills in.
class FakeWindowList : public WindowList {
public:
    [[nodiscard]] std::optional<QList<WindowInfo>> onScreenWindows() const override { return windows; }

    std::optional<QList<WindowInfo>> windows = QList<WindowInfo>{};
};
