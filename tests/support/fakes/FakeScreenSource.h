// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/ScreenSource.h"

// Screens that a test lays out by hand.
class FakeScreenSource : public ScreenSource {
    Q_OBJECT

public:
    using ScreenSource::ScreenSource;

    // A screen with a UUID key, a 32-pixel panel along its top and the key as its localized name.
    [[nodiscard]] static ScreenInfo screen(const QString& uuid, const QRect& frame) {
        return {.uuid = uuid,
                .localizedName = uuid,
                .frame = frame,
                .visibleFrame = frame.adjusted(0, 32, 0, 0),
                .platformName = uuid};
    }

    [[nodiscard]] QList<ScreenInfo> screens() const override { return m_screens; }
    // Replaces the layout; emits screensChanged when asked to, as a hot-plug would.
    void setScreens(QList<ScreenInfo> screens, bool notify = false) {
        m_screens = std::move(screens);
        if (notify)
            Q_EMIT screensChanged();
    }

private:
    QList<ScreenInfo> m_screens;
};
