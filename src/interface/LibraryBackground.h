// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QObject>
#include <QtQml/qqmlregistration.h>

// The library window's background: the window shows it before its view has loaded, and the view's palette
// paints with it.
class LibraryBackground : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QColor color READ color CONSTANT)

public:
    [[nodiscard]] static QColor color() { return QColor::fromRgbF(0.043f, 0.047f, 0.063f, 1.0f); }
};
