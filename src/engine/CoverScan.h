// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/ScreenInfo.h"
#include "engine/WindowList.h"

#include <QList>
#include <QSet>
#include <QString>

// Which displays have their whole visible frame hidden behind one single ordinary window.
class CoverScan {
public:
    // The bounds of the windows that can cover a display: layer 0, opaque (alpha above 0.9, or no
    // alpha given) and with bounds, front to back.
    [[nodiscard]] static QList<QRect> candidates(const QList<WindowInfo>& windows);

    // The display keys of the screens whose visible frame lies entirely inside one of the windows;
    // edges may coincide. Several windows that only together cover a display do not count.
    [[nodiscard]] static QSet<QString> coveredDisplays(const QList<WindowInfo>& windows,
                                                       const QList<ScreenInfo>& screens);
};
