// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakes/FakeScreenSource.h"

ScreenInfo FakeScreenSource::screen(const QString& uuid, const QRect& frame) {
    return ScreenInfo{.uuid = uuid,
                      .localizedName = uuid,
                      .frame = frame,
                      .visibleFrame = frame.adjusted(0, 32, 0, 0),
                      .platformName = uuid};
}

void FakeScreenSource::setScreens(QList<ScreenInfo> screens, bool notify) {
    m_screens = std::move(screens);
    if (notify)
        Q_EMIT screensChanged();
}
