// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/PreferenceKeys.h"
#include "fakes/EngineRig.h"

#include <QSignalSpy>
#include <QTest>

class TestApply : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void displaysWithOneFileShareOnePlayer() {
        EngineRig rig;
        rig.setStoredPreference(PreferenceKeys::assignments, QJsonObject{{"*", "a"}});
        rig.setScreens({"A", "B"});
        rig.addVideo("a");
        rig.addVideo("b");
        WallpaperEngine& engine = rig.build();
        engine.apply();
        QCOMPARE(rig.fakes.factory.windows().size(), 2);
        QCOMPARE(rig.fakes.factory.players().size(), 1);
        FakePlayer* shared = rig.playerOf("a");
        QCOMPARE(rig.fakes.factory.window("A")->player(), shared);
        QCOMPARE(rig.fakes.factory.window("B")->player(), shared);
        QVERIFY(shared->isPlaying());
        QVERIFY(rig.fakes.factory.window("A")->isShown());

        // Another wallpaper on one display: a second player; the first stays for the other display.
        engine.setAssignment("B", "b");
        engine.apply();
        QCOMPARE(rig.playerOf("a"), shared);
        QCOMPARE(rig.shownOn("A"), "a");
        QCOMPARE(rig.shownOn("B"), "b");
        QVERIFY(rig.playerOf("b")->isPlaying());
        QCOMPARE(rig.fakes.factory.playersReleased, 0);
    }

    void steadyApplyCreatesAndReleasesNothing() {
        EngineRig rig;
        rig.setStoredPreference(PreferenceKeys::assignments, QJsonObject{{"*", "a"}, {"C", "b"}});
        rig.setScreens({"A", "B", "C"});
        rig.addVideo("a");
        rig.addVideo("b");
        WallpaperEngine& engine = rig.build();
        engine.apply();
        rig.fakes.factory.resetCounters();
        const QList<FakeWindow*> windows = rig.fakes.factory.windows();
        QSignalSpy reason(&engine, &WallpaperEngine::pauseReasonChanged);

        engine.apply();
        QCOMPARE(rig.fakes.factory.windowsMade, 0);
        QCOMPARE(rig.fakes.factory.windowsReleased, 0);
        QCOMPARE(rig.fakes.factory.playersMade, 0);
        QCOMPARE(rig.fakes.factory.playersReleased, 0);
        QCOMPARE(rig.fakes.factory.journal, QStringList{}); // no play, pause or setPlayer
        for (FakeWindow* window : windows) {
            QCOMPARE(window->setFrameCalls, 0);
            QCOMPARE(window->setPlayerCalls, 1);
            QCOMPARE(window->orderFrontCalls, 2); // ordered front on every apply
        }
        QCOMPARE(reason.count(), 1);
    }

    void clearingTheMapReleasesEverythingInOrder() {
        EngineRig rig;
        rig.setStoredPreference(PreferenceKeys::assignments, QJsonObject{{"*", "a"}});
        rig.setScreens({"A"});
        rig.addVideo("a");
        WallpaperEngine& engine = rig.build();
        engine.apply();
        rig.fakes.factory.resetCounters();

        engine.setAssignments({});
        engine.apply();
        QVERIFY(rig.fakes.factory.windows().isEmpty());
        QVERIFY(rig.fakes.factory.players().isEmpty());
        const QString file = rig.store->localURL("a").value();
        QCOMPARE(rig.fakes.factory.journal,
                 (QStringList{"setPlayer A none", "orderOut A", "release window A", "pause " + file,
                              "unload " + file, "release " + file}));
        QCOMPARE(engine.pauseReason(), std::nullopt); // nothing to be covered
        QCOMPARE(engine.statusLine(), "No wallpaper set");
    }

    void unpluggingKeepsAPlayerOtherDisplaysStillShow() {
        EngineRig rig;
        rig.setStoredPreference(PreferenceKeys::assignments, QJsonObject{{"*", "a"}, {"C", "b"}});
        rig.setScreens({"A", "B", "C"});
        rig.addVideo("a");
        rig.addVideo("b");
        WallpaperEngine& engine = rig.build();
        engine.apply();
        FakePlayer* shared = rig.playerOf("a");

        rig.setScreens({"A"});
        engine.apply();
        QVERIFY(!rig.fakes.factory.window("B"));
        QVERIFY(!rig.fakes.factory.window("C"));
        QVERIFY(!rig.playerOf("b"));
        QCOMPARE(rig.playerOf("a"), shared);
        QVERIFY(shared->isPlaying());
    }

    void aResizedDisplayKeepsItsWindow() {
        EngineRig rig;
        rig.setStoredPreference(PreferenceKeys::assignments, QJsonObject{{"*", "a"}});
        rig.setScreens({"A"});
        rig.addVideo("a");
        WallpaperEngine& engine = rig.build();
        engine.apply();
        const int serial = rig.fakes.factory.window("A")->serial();

        const QRect bigger(0, 0, 2560, 1440);
        rig.fakes.screens.setScreens({FakeScreenSource::screen("A", bigger)});
        engine.apply();
        FakeWindow* window = rig.fakes.factory.window("A");
        QCOMPARE(window->serial(), serial);
        QCOMPARE(window->frame(), bigger);
        QCOMPARE(window->setFrameCalls, 1);
        QCOMPARE(rig.fakes.factory.windowsMade, 1);
    }

    // A missing file shows nothing and keeps the entry; a file that appears shows on the next apply,
    // and one that disappears is dropped by it.
    void onlyFilesOnDiskAreShown() {
        EngineRig rig;
        rig.setStoredPreference(PreferenceKeys::assignments, QJsonObject{{"*", "a"}});
        rig.setScreens({"A"});
        WallpaperEngine& engine = rig.build();
        engine.apply();
        QVERIFY(rig.fakes.factory.windows().isEmpty());
        QCOMPARE(engine.assignments().value("*"), "a");

        rig.addVideo("a");
        engine.apply();
        QCOMPARE(rig.shownOn("A"), "a");

        rig.removeVideo("a");
        engine.apply();
        QVERIFY(rig.fakes.factory.windows().isEmpty());
        QVERIFY(rig.fakes.factory.players().isEmpty());
        QCOMPARE(engine.assignments().value("*"), "a");
    }
};

QTEST_GUILESS_MAIN(TestApply)
#include "tst_apply.moc"
