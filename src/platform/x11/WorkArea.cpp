// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/WorkArea.h"

#include <algorithm>
#include <array>

namespace {
int toInt(uint32_t value) {
    return static_cast<int>(std::min<uint32_t>(value, 1u << 30));
}

// X coordinates are 16 bits wide; a property value beyond that comes from a confused or hostile client.
constexpr uint32_t coordinateLimit = 0xFFFF;

bool fits(std::span<const uint32_t> values) {
    return std::all_of(values.begin(), values.end(), [](uint32_t v) { return v <= coordinateLimit; });
}

bool spanMeets(uint32_t start, uint32_t end, int low, int high) {
    return toInt(start) <= high && toInt(end) >= low;
}
} // namespace

std::optional<Strut> Strut::fromPartial(std::span<const uint32_t> v) {
    if (v.size() < 12)
        return std::nullopt;
    return Strut{v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], v[10], v[11]};
}

std::optional<Strut> Strut::fromFull(std::span<const uint32_t> v, const QSize& root) {
    if (v.size() < 4)
        return std::nullopt;
    const auto lastY = static_cast<uint32_t>(std::max(root.height() - 1, 0));
    const auto lastX = static_cast<uint32_t>(std::max(root.width() - 1, 0));
    return Strut{v[0], v[1], v[2], v[3], 0, lastY, 0, lastY, 0, lastX, 0, lastX};
}

QList<QRect> WorkArea::fromStruts(const QList<QRect>& monitors, const QSize& root,
                                  const QList<Strut>& struts) {
    QList<QRect> result;
    result.reserve(monitors.size());
    for (const QRect& monitor : monitors) {
        int left = monitor.left(), right = monitor.right(), top = monitor.top(), bottom = monitor.bottom();
        for (const Strut& s : struts) {
            if (s.left > uint32_t(root.width()) || s.right > uint32_t(root.width()) ||
                s.top > uint32_t(root.height()) || s.bottom > uint32_t(root.height()))
                continue;
            // Each edge: where the reservation ends inside the root, and whether that lies within
            // this monitor (beyond its near edge, short of its far edge).
            if (s.left > 0 && spanMeets(s.leftStartY, s.leftEndY, monitor.top(), monitor.bottom())) {
                const int edge = toInt(s.left);
                if (edge > monitor.left() && edge <= monitor.right())
                    left = std::max(left, edge);
            }
            if (s.right > 0 && spanMeets(s.rightStartY, s.rightEndY, monitor.top(), monitor.bottom())) {
                const int edge = root.width() - toInt(s.right);
                if (edge > monitor.left() && edge <= monitor.right())
                    right = std::min(right, edge - 1);
            }
            if (s.top > 0 && spanMeets(s.topStartX, s.topEndX, monitor.left(), monitor.right())) {
                const int edge = toInt(s.top);
                if (edge > monitor.top() && edge <= monitor.bottom())
                    top = std::max(top, edge);
            }
            if (s.bottom > 0 && spanMeets(s.bottomStartX, s.bottomEndX, monitor.left(), monitor.right())) {
                const int edge = root.height() - toInt(s.bottom);
                if (edge > monitor.top() && edge <= monitor.bottom())
                    bottom = std::min(bottom, edge - 1);
            }
        }
        result.append(QRect(QPoint(left, top), QPoint(right, bottom)));
    }
    return result;
}

QList<QRect> WorkArea::fromGtkWorkareas(const QList<QRect>& monitors, std::span<const uint32_t> values) {
    QList<QRect> areas;
    for (std::size_t i = 0; i + 4 <= values.size(); i += 4) {
        if (!fits(values.subspan(i, 4)))
            continue;
        areas.append(
            QRect(toInt(values[i]), toInt(values[i + 1]), toInt(values[i + 2]), toInt(values[i + 3])));
    }
    QList<QRect> result;
    result.reserve(monitors.size());
    for (const QRect& monitor : monitors) {
        QRect best;
        qint64 bestArea = 0;
        for (const QRect& area : areas) {
            const QRect overlap = area.intersected(monitor);
            const qint64 size = qint64(overlap.width()) * overlap.height();
            if (size > bestArea) {
                best = overlap;
                bestArea = size;
            }
        }
        result.append(bestArea > 0 ? best : monitor);
    }
    return result;
}

std::optional<QRect> outerFrame(int x, int y, uint32_t width, uint32_t height, uint32_t border,
                                std::span<const uint32_t> extents) {
    const std::array<uint32_t, 3> own{width, height, border};
    const auto inRange = [](int v) { return v >= -int(coordinateLimit) && v <= int(coordinateLimit); };
    if (!fits(own) || !inRange(x) || !inRange(y))
        return std::nullopt;
    std::array<int, 4> frame{};
    if (extents.size() >= 4 && fits(extents.first(4)))
        std::copy_n(extents.begin(), 4, frame.begin());
    const auto [left, right, top, bottom] = frame;
    const int b = int(border);
    // Every term is at most 16 bits, so none of these sums can overflow.
    return QRect(x - b - left, y - b - top, int(width) + 2 * b + left + right,
                 int(height) + 2 * b + top + bottom);
}
