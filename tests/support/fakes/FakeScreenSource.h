// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/ScreenSource.h"

// Screens that a test lays out by hand.
class FakeScreenSource : public ScreenSource {
    Q_OBJECT

public:
    using ScreenSource::ScreenSource;

    // A screen with a UUID key, a 32-pixel panel along its top and the key as its localized name.
    [[nodiscard]] static ScreenInfo screen(const QString& uuid, const QRect& frame);

    [[nodiscard]] QList<ScreenInfo> screens() const override { return m_screens; }
    // Replaces the layout; emits screensChanged when asked to, as a hot-plug would.
    void setScreens(QList<ScreenInfo> screens, bool notify = false);

private:
    QList<ScreenInfo> m_screens;
};
