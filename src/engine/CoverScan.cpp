// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/CoverScan.h"

#include <algorithm>

QList<QRect> CoverScan::candidates(const QList<WindowInfo>& windows) {
    QList<QRect> rects;
    for (const WindowInfo& window : windows) {
        if (window.layer != 0)
            continue;
        if (window.alpha && !(*window.alpha > 0.9))
            continue;
        if (!window.bounds)
            continue;
        rects.append(*window.bounds);
    }
    return rects;
}

QSet<QString> CoverScan::coveredDisplays(const QList<WindowInfo>& windows, const QList<ScreenInfo>& screens) {
    const QList<QRect> rects = candidates(windows);
    QSet<QString> covered;
    for (const ScreenInfo& screen : screens) {
        const bool isCovered = std::any_of(rects.cbegin(), rects.cend(), [&](const QRect& rect) {
            return rect.contains(screen.visibleFrame);
        });
        if (isCovered)
            covered.insert(displayKey(screen));
    }
    return covered;
}
