// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QRect>
#include <QSize>
#include <cstdint>
#include <optional>
#include <span>

// The space that panels and docks reserve along the edges of the root window (EWMH struts).
struct Strut {
    uint32_t left = 0, right = 0, top = 0, bottom = 0;
    // The extent of each reservation along its edge, inclusive.
    uint32_t leftStartY = 0, leftEndY = 0, rightStartY = 0, rightEndY = 0;
    uint32_t topStartX = 0, topEndX = 0, bottomStartX = 0, bottomEndX = 0;

    // _NET_WM_STRUT_PARTIAL: 12 values.
    [[nodiscard]] static std::optional<Strut> fromPartial(std::span<const uint32_t> values);
    // _NET_WM_STRUT: 4 values, each reserving its whole edge of the root.
    [[nodiscard]] static std::optional<Strut> fromFull(std::span<const uint32_t> values, const QSize& root);
};

// Where a window's frame reaches on the root: its position and size, its border, and the frame the
// window manager drew around it (_NET_FRAME_EXTENTS: left, right, top, bottom). Extents that do not
// fit the X coordinate space are ignored; nothing when the window itself does not fit.
[[nodiscard]] std::optional<QRect> outerFrame(int x, int y, uint32_t width, uint32_t height, uint32_t border,
                                              std::span<const uint32_t> extents);

// The usable part of each monitor, in root window pixels.
class WorkArea {
public:
    // Each monitor less the struts that reach into it from the root's edges. A strut that would
    // swallow a whole monitor belongs to a panel on a farther one and is ignored for it; one that
    // reserves more than the root holds is ignored altogether.
    [[nodiscard]] static QList<QRect> fromStruts(const QList<QRect>& monitors, const QSize& root,
                                                 const QList<Strut>& struts);
    // From GNOME's _GTK_WORKAREAS_D<n> (x, y, width, height per monitor): for each monitor the
    // published area that overlaps it most, clipped to it; the whole monitor when none does. Areas
    // that do not fit the X coordinate space are ignored.
    [[nodiscard]] static QList<QRect> fromGtkWorkareas(const QList<QRect>& monitors,
                                                       std::span<const uint32_t> values);
};
