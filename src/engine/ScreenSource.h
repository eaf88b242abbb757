// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/ScreenInfo.h"

#include <QList>
#include <QObject>

// The connected displays, primary first and then in the platform's order.
class ScreenSource : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    [[nodiscard]] virtual QList<ScreenInfo> screens() const = 0;

Q_SIGNALS:
    // Displays were added, removed, resized or rearranged, or their visible frames changed. A burst
    // of platform changes may arrive as one signal.
    void screensChanged();
};
