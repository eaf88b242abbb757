// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/PreferenceKeys.h"
#include "engine/CoverScan.h"
#include "fakes/EngineRig.h"

#include <QSignalSpy>
#include <QTest>

using Windows = QList<WindowInfo>;
using Keys = QSet<QString>;

namespace {
// Left display 1920x1080 and right display 2560x1440, each with a 32-pixel top panel.
const QList<ScreenInfo> screens{FakeScreenSource::screen("L", QRect(0, 0, 1920, 1080)),
                                FakeScreenSource::screen("R", QRect(1920, 0, 2560, 1440))};
const QRect leftVisible(0, 32, 1920, 1048);

WindowInfo opaque(const QRect& bounds) {
    return FakeWindowList::window(bounds);
}
} // namespace

class TestCoverScan : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void coveredDisplays_data() {
        QTest::addColumn<Windows>("windows");
        QTest::addColumn<Keys>("covered");
        QTest::newRow("exactly the visible frame") << Windows{opaque(leftVisible)} << Keys{"L"};
        QTest::newRow("the whole screen") << Windows{opaque(QRect(0, 0, 1920, 1080))} << Keys{"L"};
        QTest::newRow("one short on the left") << Windows{opaque(leftVisible.adjusted(1, 0, 0, 0))} << Keys{};
        QTest::newRow("one short on the top") << Windows{opaque(leftVisible.adjusted(0, 1, 0, 0))} << Keys{};
        QTest::newRow("one short on the right")
            << Windows{opaque(leftVisible.adjusted(0, 0, -1, 0))} << Keys{};
        QTest::newRow("one short at the bottom")
            << Windows{opaque(leftVisible.adjusted(0, 0, 0, -1))} << Keys{};
        QTest::newRow("across both displays") << Windows{opaque(QRect(0, 0, 4480, 1440))} << Keys{"L", "R"};
        QTest::newRow("two halves do not cover")
            << Windows{opaque(QRect(0, 32, 960, 1048)), opaque(QRect(960, 32, 960, 1048))} << Keys{};
        QTest::newRow("a window behind another still counts")
            << Windows{opaque(QRect(10, 10, 100, 100)), opaque(leftVisible)} << Keys{"L"};
        QTest::newRow("alpha 0.9 is ignored") << Windows{{0, 0.9, leftVisible}} << Keys{};
        QTest::newRow("alpha 0.95 counts") << Windows{{0, 0.95, leftVisible}} << Keys{"L"};
        QTest::newRow("no alpha counts") << Windows{{0, std::nullopt, leftVisible}} << Keys{"L"};
        QTest::newRow("another layer is ignored") << Windows{{3, 1.0, leftVisible}} << Keys{};
        QTest::newRow("no layer is ignored") << Windows{{std::nullopt, 1.0, leftVisible}} << Keys{};
        QTest::newRow("no bounds is ignored") << Windows{{0, 1.0, std::nullopt}} << Keys{};
    }
    void coveredDisplays() {
        QFETCH(Windows, windows);
        QFETCH(Keys, covered);
        QCOMPARE(CoverScan::coveredDisplays(windows, screens), covered);
    }

    // Covered displays pause their player and resume when the window moves away; the same result
    // on the next scan re-evaluates nothing.
    void scanPausesAndResumes() {
        EngineRig rig;
        rig.setStoredPreference(PreferenceKeys::assignments, QJsonObject{{"*", "a"}, {"R", "b"}});
        rig.fakes.screens.setScreens(screens);
        rig.addVideo("a");
        rig.addVideo("b");
        WallpaperEngine& engine = rig.build();
        engine.apply();
        QSignalSpy reevaluated(&engine, &WallpaperEngine::pauseReasonChanged);

        rig.fakes.windowList.windows = Windows{opaque(leftVisible)};
        engine.refreshCover();
        QCOMPARE(engine.screensUnderAWindow(), Keys{"L"});
        QVERIFY(!rig.playerOf("a")->isPlaying());
        QVERIFY(rig.playerOf("b")->isPlaying());
        QCOMPARE(engine.pauseReason(), std::nullopt);
        QCOMPARE(reevaluated.count(), 1);

        engine.refreshCover();
        QCOMPARE(reevaluated.count(), 1);

        rig.fakes.windowList.windows = Windows{opaque(QRect(0, 0, 4480, 1440))};
        engine.refreshCover();
        QCOMPARE(engine.pauseReason(), "covered");
        QVERIFY(!rig.playerOf("b")->isPlaying());

        rig.fakes.windowList.windows = Windows{opaque(QRect(500, 500, 400, 300))};
        engine.refreshCover();
        QCOMPARE(engine.screensUnderAWindow(), Keys{});
        QVERIFY(rig.playerOf("a")->isPlaying());
        QVERIFY(rig.playerOf("b")->isPlaying());
        QCOMPARE(engine.pauseReason(), std::nullopt);
    }

    // The scan runs whatever the preference; it records displays without a wallpaper too.
    void scanRecordsEvenWhenNotMinded() {
        EngineRig rig;
        rig.setStoredPreference(PreferenceKeys::assignments, QJsonObject{{"R", "b"}});
        rig.setStoredPreference(PreferenceKeys::pauseWhenCovered, false);
        rig.fakes.screens.setScreens(screens);
        rig.addVideo("b");
        WallpaperEngine& engine = rig.build();
        engine.apply();

        rig.fakes.windowList.windows = Windows{opaque(QRect(0, 0, 4480, 1440))};
        engine.refreshCover();
        QCOMPARE(engine.screensUnderAWindow(), (Keys{"L", "R"}));
        QVERIFY(rig.playerOf("b")->isPlaying());
        QCOMPARE(engine.pauseReason(), std::nullopt);
    }

    void nothingToScanLeavesTheSet() {
        EngineRig rig;
        rig.setStoredPreference(PreferenceKeys::assignments, QJsonObject{{"*", "a"}});
        rig.fakes.screens.setScreens(screens);
        rig.addVideo("a");
        WallpaperEngine& engine = rig.build();
        rig.fakes.windowList.windows = Windows{opaque(leftVisible)};

        // No wallpaper window: the window list is not even asked.
        engine.refreshCover();
        QCOMPARE(rig.fakes.windowList.queries, 0);
        QVERIFY(engine.screensUnderAWindow().isEmpty());

        engine.apply();
        engine.refreshCover();
        QCOMPARE(engine.screensUnderAWindow(), Keys{"L"});

        // The platform gives no list: the set stays as it was.
        rig.fakes.windowList.windows = std::nullopt;
        QSignalSpy reevaluated(&engine, &WallpaperEngine::pauseReasonChanged);
        engine.refreshCover();
        QCOMPARE(engine.screensUnderAWindow(), Keys{"L"});
        QCOMPARE(reevaluated.count(), 0);

        // With every window gone the set keeps its last value.
        engine.stop();
        rig.fakes.windowList.windows = Windows{};
        engine.refreshCover();
        QCOMPARE(engine.screensUnderAWindow(), Keys{"L"});
    }
};

QTEST_GUILESS_MAIN(TestCoverScan)
#include "tst_cover_scan.moc"
