// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QPoint>
#include <QRect>

// Maps root window pixels to Qt's global coordinates. With a device pixel ratio of 1 they are the
// same. Otherwise Qt keeps each screen's top-left corner and scales what lies inside it, so a point
// is mapped through the screen that holds it.
class NativeGeometry {
public:
    struct Screen {
        QRect logical;
        double ratio = 1.0;
    };

    explicit NativeGeometry(QList<Screen> screens);
    // From QGuiApplication's screens.
    [[nodiscard]] static NativeGeometry fromQt();

    [[nodiscard]] static QRect nativeRect(const Screen& screen);
    [[nodiscard]] QRect toLogical(const QRect& native) const;
    [[nodiscard]] bool isIdentity() const { return m_identity; }

private:
    [[nodiscard]] QPoint toLogical(const QPoint& native, const QPoint& probe) const;

    QList<Screen> m_screens;
    bool m_identity = true;
};
