// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/WindowFrame.h"

#include <QJsonObject>
#include <algorithm>
#include <cmath>
#include <limits>

namespace WindowFrame {

namespace {
std::optional<int> wholeNumber(const QJsonValue& value) {
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (number != std::floor(number) || std::abs(number) > 1e7)
        return std::nullopt;
    return int(number);
}

qint64 area(const QRect& rect) {
    return rect.isEmpty() ? 0 : qint64(rect.width()) * rect.height();
}

qint64 distanceSquared(const QPoint& point, const QRect& rect) {
    const qint64 dx =
        point.x() < rect.left() ? rect.left() - point.x() : std::max(0, point.x() - rect.right());
    const qint64 dy =
        point.y() < rect.top() ? rect.top() - point.y() : std::max(0, point.y() - rect.bottom());
    return dx * dx + dy * dy;
}

// Keeps [start, start + length) inside [low, low + room) where it fits, else starts at low.
int clampStart(int start, int length, int low, int room) {
    if (length >= room)
        return low;
    return std::clamp(start, low, low + room - length);
}
} // namespace

QJsonValue toJson(const QRect& frame) {
    return QJsonObject{
        {"x", frame.x()}, {"y", frame.y()}, {"width", frame.width()}, {"height", frame.height()}};
}

std::optional<QRect> fromJson(const QJsonValue& value) {
    const QJsonObject object = value.toObject();
    const auto x = wholeNumber(object.value(QLatin1String("x")));
    const auto y = wholeNumber(object.value(QLatin1String("y")));
    const auto width = wholeNumber(object.value(QLatin1String("width")));
    const auto height = wholeNumber(object.value(QLatin1String("height")));
    if (!x || !y || !width || !height || *width <= 0 || *height <= 0)
        return std::nullopt;
    return QRect(*x, *y, *width, *height);
}

QRect place(const std::optional<QRect>& remembered, const QList<QRect>& screens, QSize initial,
            QSize minimum) {
    if (screens.isEmpty())
        return remembered.value_or(QRect(QPoint(0, 0), initial.expandedTo(minimum)));

    if (!remembered) {
        const QRect& screen = screens.first();
        QRect frame(QPoint(0, 0), initial.boundedTo(screen.size()).expandedTo(minimum));
        frame.moveCenter(screen.center());
        frame.moveLeft(clampStart(frame.left(), frame.width(), screen.left(), screen.width()));
        frame.moveTop(clampStart(frame.top(), frame.height(), screen.top(), screen.height()));
        return frame;
    }

    const QRect& wanted = *remembered;
    const QRect* target = &screens.first();
    qint64 bestOverlap = 0;
    qint64 bestDistance = std::numeric_limits<qint64>::max();
    for (const QRect& screen : screens) {
        const qint64 overlap = area(screen.intersected(wanted));
        const qint64 distance = distanceSquared(wanted.center(), screen);
        if (overlap > bestOverlap || (bestOverlap == 0 && overlap == 0 && distance < bestDistance)) {
            target = &screen;
            bestOverlap = overlap;
            bestDistance = distance;
        }
    }

    const QSize size = wanted.size().boundedTo(target->size()).expandedTo(minimum);
    return QRect(clampStart(wanted.left(), size.width(), target->left(), target->width()),
                 clampStart(wanted.top(), size.height(), target->top(), target->height()), size.width(),
                 size.height());
}

} // namespace WindowFrame
