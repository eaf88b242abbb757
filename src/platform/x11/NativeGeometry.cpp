// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/NativeGeometry.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <cmath>

NativeGeometry::NativeGeometry(QList<Screen> screens)
    : m_screens(std::move(screens)), m_identity(std::all_of(m_screens.cbegin(), m_screens.cend(),
                                                            [](const Screen& s) { return s.ratio == 1.0; })) {
}

NativeGeometry NativeGeometry::fromQt() {
    QList<Screen> screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens.append({screen->geometry(), screen->devicePixelRatio()});
    return NativeGeometry(std::move(screens));
}

QRect NativeGeometry::nativeRect(const Screen& screen) {
    return QRect(screen.logical.topLeft(),
                 QSize(static_cast<int>(std::lround(screen.logical.width() * screen.ratio)),
                       static_cast<int>(std::lround(screen.logical.height() * screen.ratio))));
}

QRect NativeGeometry::toLogical(const QRect& native) const {
    if (m_identity)
        return native;
    // The far corner is exclusive; the screen that holds the window's last pixel maps it.
    const QPoint end(native.x() + native.width(), native.y() + native.height());
    return QRect(toLogical(native.topLeft(), native.topLeft()), toLogical(end, native.bottomRight()))
        .adjusted(0, 0, -1, -1);
}

QPoint NativeGeometry::toLogical(const QPoint& native, const QPoint& probe) const {
    const Screen* holder = m_screens.isEmpty() ? nullptr : &m_screens.first();
    for (const Screen& screen : m_screens) {
        if (nativeRect(screen).contains(probe)) {
            holder = &screen;
            break;
        }
    }
    if (!holder || holder->ratio <= 0.0)
        return native;
    const QPoint origin = holder->logical.topLeft();
    const QPointF scaled = QPointF(native - origin) / holder->ratio;
    return origin +
           QPoint(static_cast<int>(std::lround(scaled.x())), static_cast<int>(std::lround(scaled.y())));
}
