// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/PreferenceKeys.h"
#include "fakes/EngineRig.h"

#include <QSignalSpy>
#include <QTest>

namespace {
// Two displays sharing one player of "a", after the first apply.
void twoDisplaysOnOneFile(EngineRig& rig) {
    rig.setStoredPreference(PreferenceKeys::assignments, QJsonObject{{"*", "a"}});
    rig.setScreens({"A", "B"});
    rig.addVideo("a");
    rig.build().start();
}
} // namespace

class TestPlayback : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Each preference is written and re-evaluated on every set, changed or not: the flag is published
    // and on disk before the re-evaluation publishes its reason.
    void settersPersistAndReevaluateEveryTime_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("current");
        QTest::newRow("userPaused") << QString(PreferenceKeys::userPaused) << false;
        QTest::newRow("pauseOnBattery") << QString(PreferenceKeys::pauseOnBattery) << true;
        QTest::newRow("pauseWhenCovered") << QString(PreferenceKeys::pauseWhenCovered) << true;
    }
    void settersPersistAndReevaluateEveryTime() {
        QFETCH(QString, key);
        QFETCH(bool, current);
        EngineRig rig;
        WallpaperEngine& engine = rig.build();
        QVERIFY(!rig.storedPreferences().contains(key));

        QStringList seen;
        connect(&engine, &WallpaperEngine::userPausedChanged, this, [&] { seen.append("flag"); });
        connect(&engine, &WallpaperEngine::pauseOnBatteryChanged, this, [&] { seen.append("flag"); });
        connect(&engine, &WallpaperEngine::pauseWhenCoveredChanged, this, [&] { seen.append("flag"); });
        connect(&engine, &WallpaperEngine::pauseReasonChanged, this, [&] {
            seen.append(rig.storedPreferences().value(key) == QJsonValue(current) ? "reason after write"
                                                                                  : "reason before write");
        });
        QVERIFY(engine.setProperty(key.toLatin1(), current));
        QCOMPARE(seen, (QStringList{"flag", "reason after write"}));
        QCOMPARE(engine.property(key.toLatin1()).toBool(), current);
    }

    void statusLine_data() {
        QTest::addColumn<QJsonObject>("stored");
        QTest::addColumn<bool>("userPaused");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("status");
        // What display A shows.
        QTest::addColumn<QString>("shown");
        QTest::newRow("playing") << QJsonObject{{"*", "a"}} << false << ""
                                 << "Playing"
                                 << "a";
        QTest::newRow("paused") << QJsonObject{{"*", "a"}} << true << "by you"
                                << "Paused: by you"
                                << "a";
        QTest::newRow("nothing assigned, user pause") << QJsonObject{} << true << "by you"
                                                      << "No wallpaper set"
                                                      << "";
        // Assigned, but nothing can play: saying "Playing" would be untrue.
        QTest::newRow("file missing") << QJsonObject{{"*", "gone"}} << false << ""
                                      << "No wallpaper set"
                                      << "";
        QTest::newRow("only an unplugged display") << QJsonObject{{"Z", "a"}} << false << ""
                                                   << "No wallpaper set"
                                                   << "";
    }
    void statusLine() {
        QFETCH(QJsonObject, stored);
        QFETCH(bool, userPaused);
        QFETCH(QString, reason);
        QFETCH(QString, status);
        QFETCH(QString, shown);
        EngineRig rig;
        rig.setStoredPreference(PreferenceKeys::assignments, stored);
        rig.setStoredPreference(PreferenceKeys::userPaused, userPaused);
        rig.setScreens({"A"});
        rig.addVideo("a");
        WallpaperEngine& engine = rig.build();
        QSignalSpy statusChanged(&engine, &WallpaperEngine::statusLineChanged);
        engine.start();
        QCOMPARE(engine.pauseReasonText(), reason);
        QCOMPARE(engine.statusLine(), status);
        QCOMPARE(engine.property("statusLine").toString(), status);
        QCOMPARE(statusChanged.isEmpty(), status == "No wallpaper set");
        const WallpaperEngine::DisplayState display{
            .key = "A", .name = "A", .wallpaperId = shown, .playing = status == "Playing", .decoder = {}};
        QVERIFY(engine.displayStates() == QList{display});
    }

    // A shared player runs while any one of its displays can be seen.
    void sharedPlayerRunsWhileOneDisplayIsVisible() {
        EngineRig rig;
        twoDisplaysOnOneFile(rig);
        WallpaperEngine& engine = *rig.engine;
        FakePlayer* player = rig.playerOf("a");
        QVERIFY(player->isPlaying());

        rig.fakes.factory.window("A")->setVisible(false);
        rig.fakes.factory.window("B")->setVisible(false);
        QTRY_COMPARE(engine.pauseReason(), "covered");
        QVERIFY(!player->isPlaying());
        QCOMPARE(engine.statusLine(), "Paused: covered");

        rig.fakes.factory.window("B")->setVisible(true);
        QTRY_VERIFY(player->isPlaying());
        QCOMPARE(engine.pauseReason(), std::nullopt);

        engine.setPauseWhenCovered(false);
        rig.fakes.factory.window("B")->setVisible(false);
        QCoreApplication::processEvents();
        QVERIFY(player->isPlaying());
        QCOMPARE(engine.pauseReason(), std::nullopt);
    }

    // Each pausing event and its opposite: the pause always ends.
    void anEventAndItsOppositeResume_data() {
        QTest::addColumn<QByteArray>("pausing");
        QTest::addColumn<QByteArray>("resuming");
        QTest::newRow("lock") << QByteArray("screenLocked") << QByteArray("screenUnlocked");
        QTest::newRow("sleep") << QByteArray("screensDidSleep") << QByteArray("screensDidWake");
        QTest::newRow("switch user") << QByteArray("sessionDidResignActive")
                                     << QByteArray("sessionDidBecomeActive");
    }
    void anEventAndItsOppositeResume() {
        QFETCH(QByteArray, pausing);
        QFETCH(QByteArray, resuming);
        EngineRig rig;
        twoDisplaysOnOneFile(rig);
        WallpaperEngine& engine = *rig.engine;
        FakePlayer* player = rig.playerOf("a");

        QVERIFY(QMetaObject::invokeMethod(&rig.fakes.conditions, pausing.constData()));
        QCOMPARE(engine.pauseReason(), std::nullopt); // the work runs as its own task, later
        QTRY_COMPARE(engine.pauseReason(), "screen off");
        QVERIFY(!player->isPlaying());

        QVERIFY(QMetaObject::invokeMethod(&rig.fakes.conditions, resuming.constData()));
        QTRY_COMPARE(engine.pauseReason(), std::nullopt);
        QVERIFY(player->isPlaying());
    }

    void wakingWhileLockedStaysPausedUntilUnlock() {
        EngineRig rig;
        twoDisplaysOnOneFile(rig);
        WallpaperEngine& engine = *rig.engine;
        FakePlayer* player = rig.playerOf("a");
        QSignalSpy reason(&engine, &WallpaperEngine::pauseReasonChanged);

        Q_EMIT rig.fakes.conditions.screenLocked();
        Q_EMIT rig.fakes.conditions.screensDidSleep();
        Q_EMIT rig.fakes.conditions.screensDidWake();
        QTRY_COMPARE(reason.count(), 3);
        QCOMPARE(engine.pauseReason(), "screen off");
        QVERIFY(!player->isPlaying());

        Q_EMIT rig.fakes.conditions.screenUnlocked();
        QTRY_VERIFY(player->isPlaying());
        QCOMPARE(engine.pauseReason(), std::nullopt);
    }

    void systemConditionsReevaluateAtOnce() {
        EngineRig rig;
        twoDisplaysOnOneFile(rig);
        WallpaperEngine& engine = *rig.engine;
        FakeSystemConditions& system = rig.fakes.conditions;

        system.onBattery = true;
        Q_EMIT system.powerSourceChanged();
        QTRY_COMPARE(engine.pauseReason(), "on battery");

        system.onBattery = false;
        system.lowPowerMode = true;
        Q_EMIT system.lowPowerModeChanged();
        QTRY_COMPARE(engine.pauseReason(), "Low Power Mode");

        system.lowPowerMode = false;
        system.thermal = ThermalLevel::Critical;
        Q_EMIT system.thermalStateChanged();
        QTRY_COMPARE(engine.pauseReason(), "Mac is hot");

        system.thermal = ThermalLevel::Fair;
        Q_EMIT system.thermalStateChanged();
        QTRY_COMPARE(engine.pauseReason(), std::nullopt);
        QVERIFY(rig.playerOf("a")->isPlaying());
    }

    // A later library change re-applies: a display waiting for its file shows it.
    void libraryChangesReapply() {
        EngineRig rig;
        rig.setCatalog({"a", "b"});
        rig.setStoredPreference(PreferenceKeys::assignments, QJsonObject{{"*", "a"}});
        rig.setScreens({"A"});
        rig.addVideo("b");
        rig.build().start();
        QVERIFY(rig.fakes.factory.windows().isEmpty());

        rig.addVideo("a");
        rig.store->remove(EngineRig::wallpaper("b")); // any change of the library's revision
        QTRY_COMPARE(rig.shownOn("A"), "a");
        QVERIFY(rig.playerOf("a")->isPlaying());
    }

    void theCoverTimerScans() {
        EngineRig rig;
        twoDisplaysOnOneFile(rig);
        QTRY_VERIFY(rig.fakes.windowList.queries > 0);
    }

    // Events and window reports that arrive for an engine already gone do nothing.
    void handlersHoldTheEngineWeakly() {
        EngineRig rig;
        twoDisplaysOnOneFile(rig);
        FakeWindow* window = rig.fakes.factory.window("A");
        window->setVisible(false);
        Q_EMIT rig.fakes.conditions.screenLocked();
        Q_EMIT rig.fakes.screens.screensChanged();
        rig.engine.reset();
        QCoreApplication::processEvents();
        QVERIFY(rig.fakes.factory.windows().isEmpty());
        QVERIFY(rig.fakes.factory.players().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPlayback)
#include "tst_playback.moc"
