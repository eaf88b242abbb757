// SPDX-License-Identifier: GPL-3.0-or-later
#include "FuzzCheck.h"
#include "platform/x11/WorkArea.h"

#include <cstring>
#include <vector>

namespace {
int coordinate(uint32_t value) {
    return int(int16_t(value & 0xFFFF));
}
} // namespace

// Struts, GTK work areas and frame extents from any property values: no overflow (UBSan watches),
// and the usable area always lies within its monitor.
void fuzzOne(const QByteArray& input) {
    // Values as another client could set them: any 32 bits.
    std::vector<uint32_t> v(input.size() / 4);
    if (v.size() < 10)
        return;
    std::memcpy(v.data(), input.constData(), v.size() * 4);
    // The root and two monitors come from the input too, within what X allows.
    const QSize root(int(v[0] & 0x7FFF), int(v[1] & 0x7FFF));
    const QList<QRect> monitors{
        QRect(coordinate(v[2]), coordinate(v[3]), int(v[4] & 0x7FFF), int(v[5] & 0x7FFF)),
        QRect(0, 0, root.width(), root.height())};
    const std::span<const uint32_t> rest = std::span(v).subspan(6);
    QList<Strut> struts;
    for (std::size_t i = 0; i + 12 <= rest.size(); i += 12)
        struts.append(*Strut::fromPartial(rest.subspan(i, 12)));
    if (const std::optional<Strut> full = Strut::fromFull(rest, root))
        struts.append(*full);
    const QList<QRect> areas = WorkArea::fromStruts(monitors, root, struts);
    const QList<QRect> gtk = WorkArea::fromGtkWorkareas(monitors, rest);
    require(areas.size() == monitors.size() && gtk.size() == monitors.size(), "one area per monitor");
    for (qsizetype i = 0; i < monitors.size(); ++i) {
        const QRect& m = monitors[i];
        for (const QRect& a : {areas[i], gtk[i]})
            require(a.left() >= m.left() && a.top() >= m.top() && a.right() <= m.right() &&
                        a.bottom() <= m.bottom(),
                    "work area within its monitor");
    }
    if (const std::optional<QRect> frame =
            outerFrame(coordinate(v[0]), coordinate(v[1]), v[2], v[3], v[4], rest.first(4)))
        require(frame->width() >= 0 && frame->height() >= 0, "a frame has a size");
}
