// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/PreferenceKeys.h"
#include "fakes/EngineRig.h"

#include <QJsonArray>
#include <QSignalSpy>
#include <QTest>

using Map = WallpaperEngine::AssignmentMap;

class TestAssignments : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void freshEngineTakesTheDefaults() {
        EngineRig rig;
        WallpaperEngine& engine = rig.build();
        QVERIFY(engine.assignments().isEmpty());
        QCOMPARE(engine.userPaused(), false);
        QCOMPARE(engine.pauseOnBattery(), true);
        QCOMPARE(engine.pauseWhenCovered(), true);
        QCOMPARE(engine.pauseReason(), std::nullopt);
        QCOMPARE(engine.statusLine(), QStringLiteral("No wallpaper set"));
    }

    void storedValuesAreLoaded() {
        EngineRig rig;
        rig.setStoredPreference(PreferenceKeys::assignments, QJsonObject{{"*", "a"}, {"K", "b"}});
        rig.setStoredPreference(PreferenceKeys::userPaused, true);
        rig.setStoredPreference(PreferenceKeys::pauseOnBattery, false);
        rig.setStoredPreference(PreferenceKeys::pauseWhenCovered, "false"); // not a Boolean: default
        WallpaperEngine& engine = rig.build();
        QCOMPARE(engine.assignments(), (Map{{"*", "a"}, {"K", "b"}}));
        QCOMPARE(engine.userPaused(), true);
        QCOMPARE(engine.pauseOnBattery(), false);
        QCOMPARE(engine.pauseWhenCovered(), true);
    }

    void malformedStoredMapIsRejectedWhole_data() {
        QTest::addColumn<QJsonValue>("stored");
        QTest::newRow("array") << QJsonValue(QJsonArray{"a"});
        QTest::newRow("text") << QJsonValue("a");
        QTest::newRow("one number") << QJsonValue(QJsonObject{{"*", "a"}, {"K", 3}});
        QTest::newRow("one Boolean") << QJsonValue(QJsonObject{{"*", "a"}, {"K", true}});
        QTest::newRow("one null") << QJsonValue(QJsonObject{{"*", "a"}, {"K", QJsonValue::Null}});
        QTest::newRow("one object") << QJsonValue(QJsonObject{{"*", "a"}, {"K", QJsonObject{{"id", "b"}}}});
    }
    void malformedStoredMapIsRejectedWhole() {
        QFETCH(QJsonValue, stored);
        EngineRig rig;
        rig.setStoredPreference(PreferenceKeys::assignments, stored);
        rig.setScreens({"A"});
        rig.addVideo("a");
        WallpaperEngine& engine = rig.build();
        QVERIFY(engine.assignments().isEmpty());
        engine.apply();
        QVERIFY(rig.fakes.factory.windows().isEmpty());

        // The stored value stays until the map is saved.
        engine.setPauseOnBattery(true);
        QCOMPARE(rig.storedPreferences().value(PreferenceKeys::assignments), stored);
        engine.saveAssignments();
        QCOMPARE(rig.storedPreferences().value(PreferenceKeys::assignments), QJsonValue(QJsonObject{}));
    }

    // The store's useWallpaper reaches the engine: the map, the file, the user pause and the screens.
    void usingAWallpaperOnAllOrOneDisplay() {
        EngineRig rig;
        rig.setStoredPreference(PreferenceKeys::assignments, QJsonObject{{"A", "a"}, {"B", "b"}});
        rig.setStoredPreference(PreferenceKeys::userPaused, true);
        rig.setScreens({"A", "B"});
        for (const char* id : {"a", "b", "c", "d"})
            rig.addVideo(QString::fromLatin1(id));
        WallpaperEngine& engine = rig.build();

        rig.store->useWallpaper(EngineRig::wallpaper("c"), "*");
        QCOMPARE(engine.assignments(), (Map{{"*", "c"}}));
        QCOMPARE(assignmentsFrom(rig.storedPreferences().value(PreferenceKeys::assignments)),
                 engine.assignments());
        QCOMPARE(engine.userPaused(), false);
        QCOMPARE(rig.storedPreferences().value(PreferenceKeys::userPaused), QJsonValue(false));
        QCOMPARE(rig.shownOn("A"), "c");
        QCOMPARE(rig.shownOn("B"), "c");
        QVERIFY(rig.playerOf("c")->isPlaying());

        rig.store->useWallpaper(EngineRig::wallpaper("d"), "B");
        QCOMPARE(engine.assignments(), (Map{{"*", "c"}, {"B", "d"}}));
        QCOMPARE(rig.shownOn("A"), "c");
        QCOMPARE(rig.shownOn("B"), "d");
        QCOMPARE(engine.statusLine(), "Playing");
    }

    // What the design fixes, seen from outside: the map is on disk and the user pause is cleared
    // before the first player is made, and the published fields change in the design's order.
    void usingAWallpaperSavesAndClearsThePauseBeforeApplying() {
        EngineRig rig;
        rig.setStoredPreference(PreferenceKeys::userPaused, true);
        rig.setScreens({"A"});
        rig.addVideo("a");
        WallpaperEngine& engine = rig.build();

        QJsonValue storedWhenMade;
        bool pausedWhenMade = true;
        rig.fakes.factory.beforeMakePlayer = [&](const QString&) {
            storedWhenMade = rig.storedPreferences().value(PreferenceKeys::assignments);
            pausedWhenMade = engine.userPaused();
        };
        QStringList published;
        const auto record = [&](auto signal, const char* name) {
            connect(&engine, signal, this, [&published, name] {
                if (published.isEmpty() || published.last() != QLatin1String(name))
                    published.append(QLatin1String(name));
            });
        };
        record(&WallpaperEngine::assignmentsChanged, "assignments");
        record(&WallpaperEngine::userPausedChanged, "userPaused");
        record(&WallpaperEngine::pauseReasonChanged, "pauseReason");

        rig.store->useWallpaper(EngineRig::wallpaper("a"), "*");
        QCOMPARE(storedWhenMade, QJsonValue(QJsonObject{{"*", "a"}}));
        QCOMPARE(pausedWhenMade, false);
        QCOMPARE(published, (QStringList{"assignments", "userPaused", "pauseReason"}));
        QCOMPARE(rig.fakes.factory.playersMade, 1);
    }

    void stoppingClearsEveryDisplayButKeepsTheUserPause() {
        EngineRig rig;
        rig.setStoredPreference(PreferenceKeys::assignments, QJsonObject{{"*", "a"}, {"B", "b"}});
        rig.setStoredPreference(PreferenceKeys::userPaused, true);
        rig.setScreens({"A", "B"});
        rig.addVideo("a");
        rig.addVideo("b");
        WallpaperEngine& engine = rig.build();
        engine.apply();
        QCOMPARE(rig.fakes.factory.windows().size(), 2);

        engine.stop();
        QVERIFY(engine.assignments().isEmpty());
        QCOMPARE(rig.storedPreferences().value(PreferenceKeys::assignments), QJsonValue(QJsonObject{}));
        QVERIFY(rig.fakes.factory.windows().isEmpty());
        QVERIFY(rig.fakes.factory.players().isEmpty());
        QCOMPARE(engine.userPaused(), true);
        QCOMPARE(engine.pauseReason(), "by you");
        QCOMPARE(engine.statusLine(), "No wallpaper set");
    }

    void removingAnAssignedWallpaperClearsEveryDisplay() {
        EngineRig rig;
        rig.setCatalog({"a", "b", "c"});
        rig.setStoredPreference(PreferenceKeys::assignments, QJsonObject{{"A", "a"}, {"B", "b"}});
        rig.setStoredPreference(PreferenceKeys::userPaused, true);
        rig.setScreens({"A", "B"});
        for (const char* id : {"a", "b", "c"})
            rig.addVideo(QString::fromLatin1(id));
        WallpaperEngine& engine = rig.build();
        engine.apply();

        // Not shown anywhere: the map is not touched.
        rig.store->remove(EngineRig::wallpaper("c"));
        QCOMPARE(engine.assignments(), (Map{{"A", "a"}, {"B", "b"}}));

        rig.store->remove(EngineRig::wallpaper("b"));
        QVERIFY(engine.assignments().isEmpty());
        QCOMPARE(rig.storedPreferences().value(PreferenceKeys::assignments), QJsonValue(QJsonObject{}));
        QVERIFY(rig.fakes.factory.windows().isEmpty());
        QVERIFY(rig.fakes.factory.players().isEmpty());
        QCOMPARE(engine.userPaused(), true);
    }

    void advance_data() {
        QTest::addColumn<QStringList>("catalog");
        QTest::addColumn<QStringList>("onDisk");
        QTest::addColumn<QJsonObject>("stored");
        QTest::addColumn<QString>("expected");
        const QStringList abc{"a", "b", "c"};
        QTest::newRow("empty map takes the first") << abc << abc << QJsonObject{} << "a";
        QTest::newRow("next after the current") << abc << abc << QJsonObject{{"*", "a"}} << "b";
        QTest::newRow("wraps from the last") << abc << abc << QJsonObject{{"*", "c"}} << "a";
        QTest::newRow("current file deleted")
            << abc << QStringList{"a", "b"} << QJsonObject{{"*", "c"}} << "a";
        QTest::newRow("per-display entry counts") << abc << abc << QJsonObject{{"K", "b"}} << "c";
        QTest::newRow("star wins over a display") << abc << abc << QJsonObject{{"*", "b"}, {"A", "a"}} << "c";
        QTest::newRow("single wallpaper stays")
            << QStringList{"a"} << QStringList{"a"} << QJsonObject{{"*", "a"}, {"B", "a"}} << "a";
    }
    void advance() {
        QFETCH(QStringList, catalog);
        QFETCH(QStringList, onDisk);
        QFETCH(QJsonObject, stored);
        QFETCH(QString, expected);
        EngineRig rig;
        rig.setCatalog(catalog);
        rig.setStoredPreference(PreferenceKeys::assignments, stored);
        rig.setStoredPreference(PreferenceKeys::userPaused, true);
        rig.setScreens({"A", "B"});
        for (const QString& id : onDisk)
            rig.addVideo(id);
        WallpaperEngine& engine = rig.build();

        engine.advance();
        QCOMPARE(engine.assignments(), (Map{{"*", expected}}));
        QCOMPARE(assignmentsFrom(rig.storedPreferences().value(PreferenceKeys::assignments)),
                 engine.assignments());
        QCOMPARE(engine.userPaused(), false);
        QCOMPARE(rig.shownOn("A"), expected);
        QCOMPARE(rig.shownOn("B"), expected);
    }

    void advanceWithNothingPlayableChangesNothing() {
        EngineRig rig;
        rig.setCatalog({"a"});
        rig.setStoredPreference(PreferenceKeys::assignments, QJsonObject{{"*", "a"}});
        rig.setStoredPreference(PreferenceKeys::userPaused, true);
        WallpaperEngine& engine = rig.build();
        const QJsonObject before = rig.storedPreferences();
        QSignalSpy assignments(&engine, &WallpaperEngine::assignmentsChanged);
        QSignalSpy reason(&engine, &WallpaperEngine::pauseReasonChanged);

        engine.advance();
        QCOMPARE(assignments.count(), 0);
        QCOMPARE(reason.count(), 0);
        QCOMPARE(engine.userPaused(), true);
        QCOMPARE(rig.storedPreferences(), before);
    }

    // A display keeps its own wallpaper across unplugging and plugging back; a new display gets "*".
    void hotPlugKeepsEachDisplaysWallpaper() {
        EngineRig rig;
        rig.setStoredPreference(PreferenceKeys::assignments, QJsonObject{{"*", "x"}, {"B", "y"}});
        rig.setScreens({"A", "B"});
        rig.addVideo("x");
        rig.addVideo("y");
        WallpaperEngine& engine = rig.build();
        engine.start();
        QCOMPARE(rig.shownOn("A"), "x");
        QCOMPARE(rig.shownOn("B"), "y");

        rig.setScreens({"A"}, true);
        QTRY_VERIFY(!rig.fakes.factory.window("B"));
        QVERIFY(!rig.playerOf("y"));
        QCOMPARE(rig.shownOn("A"), "x");
        QCOMPARE(engine.assignments().value("B"), "y");
        QCOMPARE(rig.storedPreferences().value(PreferenceKeys::assignments)["B"], "y");

        rig.setScreens({"C", "B", "A"}, true);
        QTRY_COMPARE(rig.shownOn("B"), "y");
        QCOMPARE(rig.shownOn("A"), "x");
        QCOMPARE(rig.shownOn("C"), "x");
        QCOMPARE(rig.fakes.factory.window("C")->player(), rig.fakes.factory.window("A")->player());
        QCOMPARE(rig.fakes.factory.players().size(), 2);
        QVERIFY(rig.playerOf("x")->isPlaying());
        QVERIFY(rig.playerOf("y")->isPlaying());
    }

    void displayKeyIsTheUuidElseTheName() {
        const QRect frame(0, 0, 800, 600);
        QCOMPARE(displayKey({.uuid = "0A1B2C3D-0000-5000-8000-00000000000F",
                             .localizedName = "DELL U2720Q",
                             .frame = frame,
                             .visibleFrame = frame,
                             .platformName = "DP-1"}),
                 "0A1B2C3D-0000-5000-8000-00000000000F");
        QCOMPARE(displayKey({.uuid = std::nullopt,
                             .localizedName = "DP-1",
                             .frame = frame,
                             .visibleFrame = frame,
                             .platformName = "DP-1"}),
                 "DP-1");
        QCOMPARE(displayKey({.uuid = QString(),
                             .localizedName = "HDMI-1",
                             .frame = frame,
                             .visibleFrame = frame,
                             .platformName = "HDMI-1"}),
                 "HDMI-1");
    }

    // Two screens without UUIDs and with the same name share one key: one window, for the later one.
    void screensSharingAKeyShareOneWindow() {
        EngineRig rig;
        rig.setStoredPreference(PreferenceKeys::assignments, QJsonObject{{"Monitor", "a"}});
        rig.addVideo("a");
        const QRect left(0, 0, 1920, 1080);
        const QRect right(1920, 0, 1920, 1080);
        rig.fakes.screens.setScreens({{.uuid = {},
                                       .localizedName = "Monitor",
                                       .frame = left,
                                       .visibleFrame = left,
                                       .platformName = "DP-1"},
                                      {.uuid = {},
                                       .localizedName = "Monitor",
                                       .frame = right,
                                       .visibleFrame = right,
                                       .platformName = "DP-2"}});
        WallpaperEngine& engine = rig.build();
        engine.apply();
        QCOMPARE(rig.fakes.factory.windows().size(), 1);
        QCOMPARE(rig.fakes.factory.window("Monitor")->frame(), right);
        QCOMPARE(rig.shownOn("Monitor"), "a");
    }
};

QTEST_GUILESS_MAIN(TestAssignments)
#include "tst_assignments.moc"
