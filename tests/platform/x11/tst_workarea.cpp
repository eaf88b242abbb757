// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/NativeGeometry.h"
#include "platform/x11/WorkArea.h"

#include <QTest>

using Rects = QList<QRect>;
using Struts = QList<Strut>;

namespace {
// Two 1920x1080 monitors side by side on a 3840x1080 root.
const QRect left(0, 0, 1920, 1080);
const QRect right(1920, 0, 1920, 1080);
const Rects monitors{left, right};
const QSize root(3840, 1080);

Strut top(uint32_t height, uint32_t startX, uint32_t endX) {
    return {.top = height, .topStartX = startX, .topEndX = endX};
}
} // namespace

class TestWorkArea : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void struts_data() {
        QTest::addColumn<Struts>("struts");
        QTest::addColumn<Rects>("visible");
        QTest::newRow("none") << Struts{} << monitors;
        QTest::newRow("bottom panel across both")
            << Struts{{.bottom = 40, .bottomStartX = 0, .bottomEndX = 3839}}
            << Rects{QRect(0, 0, 1920, 1040), QRect(1920, 0, 1920, 1040)};
        QTest::newRow("left dock on the left monitor")
            << Struts{{.left = 64, .leftStartY = 100, .leftEndY = 900}}
            << Rects{QRect(64, 0, 1856, 1080), right};
        QTest::newRow("right dock on the right monitor")
            << Struts{{.right = 64, .rightStartY = 0, .rightEndY = 1079}}
            << Rects{left, QRect(1920, 0, 1856, 1080)};
        // A dock on the inner edge of the right monitor reserves everything left of it, the whole
        // left monitor included; only the monitor it stands on loses space.
        QTest::newRow("left dock on the right monitor")
            << Struts{{.left = 1920 + 48, .leftStartY = 0, .leftEndY = 1079}}
            << Rects{left, QRect(1968, 0, 1872, 1080)};
        QTest::newRow("legacy strut spans its whole edge")
            << Struts{*Strut::fromFull(std::array<uint32_t, 4>{0, 0, 25, 0}, root)}
            << Rects{QRect(0, 25, 1920, 1055), QRect(1920, 25, 1920, 1055)};
        QTest::newRow("reserving more than the root")
            << Struts{{.bottom = 0xFFFFFFF0, .bottomStartX = 0, .bottomEndX = 3839}} << monitors;
        QTest::newRow("two panels") << Struts{top(30, 1920, 3839), top(20, 0, 1919)}
                                    << Rects{QRect(0, 20, 1920, 1060), QRect(1920, 30, 1920, 1050)};
    }
    void struts() {
        QFETCH(Struts, struts);
        QFETCH(Rects, visible);
        QCOMPARE(WorkArea::fromStruts(monitors, root, struts), visible);
    }

    // What the real X server gives is checked in tst_x11screensource; here, malformed properties.
    void gtkWorkareasAndShortStruts() {
        QVERIFY(!Strut::fromPartial(std::array<uint32_t, 4>{0, 0, 30, 0}));
        const std::array<uint32_t, 12> areas{1920, 32, 1920, 1048, 0, 0, 1920, 1000, 0, 0, 0x7FFFFFFF, 9};
        QCOMPARE(WorkArea::fromGtkWorkareas(monitors, areas),
                 (Rects{QRect(0, 0, 1920, 1000), QRect(1920, 32, 1920, 1048)}));
        // A monitor that no area overlaps keeps its whole frame; an area beyond X's range is none.
        QCOMPARE(WorkArea::fromGtkWorkareas(monitors, std::span(areas).first(4)),
                 (Rects{left, QRect(1920, 32, 1920, 1048)}));
        QCOMPARE(WorkArea::fromGtkWorkareas(monitors, std::span(areas).last(4)), monitors);
    }

    void frames_data() {
        using Values = QList<uint32_t>;
        QTest::addColumn<int>("x");
        QTest::addColumn<uint32_t>("width");
        QTest::addColumn<Values>("extents");
        QTest::addColumn<QRect>("outer");
        QTest::newRow("frame beyond X's range")
            << 10 << 100u << Values{0xFFFFFFFF, 0x80000000, 0x7FFFFFFF, 1} << QRect(8, 18, 104, 54);
        QTest::newRow("window beyond X's range") << 10 << 0x80000000u << Values{} << QRect();
        QTest::newRow("position beyond X's range") << -0x7FFFFFFF << 100u << Values{} << QRect();
    }
    // The window at (x, 20), 50 high with a border of 2. Real frames are checked in tst_x11windowlist.
    void frames() {
        QFETCH(int, x);
        QFETCH(uint32_t, width);
        QFETCH(QList<uint32_t>, extents);
        QFETCH(QRect, outer);
        QCOMPARE(outerFrame(x, 20, width, 50, 2, extents).value_or(QRect()), outer);
    }

    void nativeToQtCoordinates() {
        // QT_SCALE_FACTOR=2: Qt keeps each screen's corner and halves what lies inside it.
        const NativeGeometry doubled({{QRect(0, 0, 960, 540), 2.0}, {QRect(1920, 0, 960, 540), 2.0}});
        QCOMPARE(NativeGeometry::nativeRect({QRect(1920, 0, 960, 540), 2.0}), right);
        // A frame ending on the border between two screens ends in the first.
        QCOMPARE(doubled.toLogical(left), QRect(0, 0, 960, 540));
        QCOMPARE(doubled.toLogical(QRect(0, 0, 3840, 1080)), QRect(0, 0, 2880, 540));
        QCOMPARE(doubled.toLogical(QRect(1920, 30, 1920, 1050)), QRect(1920, 15, 960, 525));
    }
};

QTEST_GUILESS_MAIN(TestWorkArea)
#include "tst_workarea.moc"
