// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/PreferenceKeys.h"
#include "engine/WallpaperRotation.h"
#include "fakes/EngineRig.h"

#include <QTest>

namespace {
constexpr qint64 fiveMinutes = 300;

// Pauses or resumes playback for one reason, as its source would.
void setPaused(EngineRig& rig, const QString& reason, bool paused) {
    FakeSystemConditions& system = rig.fakes.conditions;
    if (reason == "user") {
        rig.engine->setUserPaused(paused);
    } else if (reason == "lock") {
        Q_EMIT(paused ? system.screenLocked() : system.screenUnlocked());
    } else if (reason == "sleep") {
        Q_EMIT(paused ? system.screensDidSleep() : system.screensDidWake());
    } else if (reason == "session") {
        Q_EMIT(paused ? system.sessionDidResignActive() : system.sessionDidBecomeActive());
    } else if (reason == "battery") {
        system.onBattery = paused;
        Q_EMIT system.powerSourceChanged();
    } else if (reason == "lowpower") {
        system.lowPowerMode = paused;
        Q_EMIT system.lowPowerModeChanged();
    } else if (reason == "hot") {
        system.thermal = paused ? ThermalLevel::Serious : ThermalLevel::Nominal;
        Q_EMIT system.thermalStateChanged();
    } else if (reason == "covered") {
        for (FakeWindow* window : rig.fakes.factory.windows())
            window->setVisible(!paused);
    } else {
        QFAIL(qPrintable("unknown pause reason " + reason));
    }
    QCoreApplication::processEvents();
}

// "A=a B=b": what each display shows now.
QString shown(const EngineRig& rig, const QStringList& screens) {
    QStringList parts;
    for (const QString& key : screens)
        parts.append(key + '=' + rig.shownOn(key));
    return parts.join(' ');
}
} // namespace

class TestRotation : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Each row sets up stored preferences, then runs steps against the fake clock and checks as it goes:
    //   wait S              playing time passes (S seconds on the clock)
    //   pause R, resume R   R: user lock sleep session battery lowpower hot covered
    //   next, use ID, remove ID, download ID
    //   shows A=x B=y       what each display shows
    //   alarm on|off        whether a timer is armed
    //   stored KEY NUMBER   the preferences file holds that number under the key
    //   kept                every stored preference of the row is on disk as it was
    void countdown_data() {
        QTest::addColumn<QJsonObject>("stored");
        QTest::addColumn<QStringList>("screens");
        QTest::addColumn<QStringList>("downloaded");
        QTest::addColumn<QStringList>("steps");
        const QStringList one{"A"};
        const QStringList abc{"a", "b", "c"};
        const auto every = [](qint64 seconds, QJsonObject map = {{"*", "a"}}) {
            return QJsonObject{{"assignments", map}, {"rotationInterval", seconds}};
        };

        QTest::newRow("off by default") << QJsonObject{{"assignments", QJsonObject{{"*", "a"}}}} << one << abc
                                        << QStringList{"alarm off", "wait 100000", "shows A=a"};
        QTest::newRow("five minutes, in order, wrapping")
            << every(fiveMinutes) << one << abc
            << QStringList{"alarm on", "wait 299",  "shows A=a", "wait 1",   "shows A=b",
                           "wait 300", "shows A=c", "wait 300",  "shows A=a"};
        QTest::newRow("one day") << every(86400) << one << abc
                                 << QStringList{"wait 86399", "shows A=a", "wait 1", "shows A=b"};
        QTest::newRow("custom ten seconds")
            << every(10) << one << abc << QStringList{"wait 9", "shows A=a", "wait 1", "shows A=b"};
        for (const char* reason :
             {"user", "lock", "sleep", "session", "battery", "lowpower", "hot", "covered"}) {
            QTest::addRow("countdown stops while paused: %s", reason)
                << every(fiveMinutes) << one << abc
                << QStringList{"wait 200",
                               QString("pause ") + reason,
                               "alarm off",
                               "stored rotationTimeLeft 100",
                               "wait 100000",
                               "shows A=a",
                               QString("resume ") + reason,
                               "wait 99",
                               "shows A=a",
                               "wait 1",
                               "shows A=b"};
        }
        QTest::newRow("next wallpaper restarts the countdown")
            << every(fiveMinutes) << one << abc
            << QStringList{"wait 200", "next", "shows A=b", "wait 299", "shows A=b", "wait 1", "shows A=c"};
        QTest::newRow("choosing by hand restarts it and keeps it on")
            << every(fiveMinutes) << one << abc
            << QStringList{"wait 200", "use c", "shows A=c", "wait 299", "shows A=c", "wait 1", "shows A=a"};
        QTest::newRow("displays rotate each on their own")
            << every(fiveMinutes, {{"A", "a"}, {"B", "b"}}) << QStringList{"A", "B"} << abc
            << QStringList{"wait 300", "shows A=b B=c", "wait 300", "shows A=c B=a"};
        QTest::newRow("all displays change together")
            << every(fiveMinutes) << QStringList{"A", "B"} << abc
            << QStringList{"wait 300", "shows A=b B=b", "players 1"};
        QTest::newRow("a removed wallpaper leaves the cycle")
            << every(fiveMinutes) << one << abc
            << QStringList{"remove b", "wait 300", "shows A=c", "wait 300", "shows A=a"};
        QTest::newRow("fewer than two waits, then goes on")
            << every(fiveMinutes) << one << QStringList{"a"}
            << QStringList{"wait 300", "shows A=a", "alarm on", "download b", "wait 300", "shows A=b"};
        QJsonObject resumed = every(fiveMinutes);
        resumed.insert("rotationTimeLeft", 42);
        QTest::newRow("time left survives a restart")
            << resumed << one << abc << QStringList{"wait 41", "shows A=a", "wait 1", "shows A=b"};
        // Unreadable values read as off and stay on disk as they were.
        const QList<std::pair<const char*, QJsonObject>> bad{
            {"interval as text", {{"rotationInterval", "5m"}}},
            {"interval too short", {{"rotationInterval", 5}}},
            {"interval negative", {{"rotationInterval", -300}}},
            {"interval fractional", {{"rotationInterval", 300.5}}},
            {"negative time left", {{"rotationInterval", 300}, {"rotationTimeLeft", -1}}},
            {"time left as text", {{"rotationInterval", 300}, {"rotationTimeLeft", "soon"}}},
        };
        for (const auto& [name, values] : bad) {
            QJsonObject stored = values;
            stored.insert("assignments", QJsonObject{{"*", "a"}});
            QTest::addRow("bad stored value: %s", name)
                << stored << one << abc << QStringList{"alarm off", "wait 100000", "shows A=a", "kept"};
        }
    }
    void countdown() {
        QFETCH(QJsonObject, stored);
        QFETCH(QStringList, screens);
        QFETCH(QStringList, downloaded);
        QFETCH(QStringList, steps);
        EngineRig rig;
        rig.setCatalog({"a", "b", "c"});
        for (auto it = stored.begin(); it != stored.end(); ++it)
            rig.setStoredPreference(QLatin1StringView(it.key().toLatin1()), *it);
        rig.setScreens(screens);
        for (const QString& id : downloaded)
            rig.addVideo(id);
        rig.build().start();

        for (const QString& step : steps) {
            const QStringList words = step.split(' ');
            const QString& verb = words[0];
            if (verb == "wait") {
                rig.fakes.clock.advance(words[1].toLongLong() * 1000);
            } else if (verb == "pause" || verb == "resume") {
                setPaused(rig, words[1], verb == "pause");
            } else if (verb == "next") {
                rig.engine->advance();
            } else if (verb == "use") {
                rig.store->useWallpaper(EngineRig::wallpaper(words[1]), "*");
            } else if (verb == "remove") {
                rig.store->remove(EngineRig::wallpaper(words[1]));
                QCoreApplication::processEvents();
            } else if (verb == "download") {
                rig.addVideo(words[1]);
            } else if (verb == "shows") {
                QCOMPARE(shown(rig, screens), step.mid(6));
            } else if (verb == "players") {
                QCOMPARE(rig.fakes.factory.players().size(), words[1].toInt());
            } else if (verb == "alarm") {
                QCOMPARE(rig.fakes.clock.alarmAt.has_value(), words[1] == "on");
            } else if (verb == "stored") {
                QCOMPARE(rig.storedPreferences().value(words[1]).toDouble(-1), words[2].toDouble());
            } else if (verb == "kept") {
                for (auto it = stored.begin(); it != stored.end(); ++it)
                    QCOMPARE(rig.storedPreferences().value(it.key()), *it);
            } else {
                QFAIL(qPrintable("unknown step " + step));
            }
        }
    }

    // Over several cycles: never the wallpaper a display shows, every wallpaper once before any repeats
    // (on one display), different wallpapers on different displays where there are enough, and a removed
    // wallpaper never again.
    void shuffled_data() {
        QTest::addColumn<QStringList>("screens");
        QTest::addColumn<int>("wallpapers");
        QTest::addColumn<bool>("removeOne");
        QTest::newRow("two wallpapers") << QStringList{"A"} << 2 << false;
        QTest::newRow("five wallpapers") << QStringList{"A"} << 5 << false;
        QTest::newRow("three displays, five wallpapers") << QStringList{"A", "B", "C"} << 5 << false;
        QTest::newRow("two displays, two wallpapers") << QStringList{"A", "B"} << 2 << false;
        QTest::newRow("one removed mid-cycle") << QStringList{"A"} << 6 << true;
    }
    void shuffled() {
        QFETCH(QStringList, screens);
        QFETCH(int, wallpapers);
        QFETCH(bool, removeOne);
        EngineRig rig;
        QStringList ids;
        for (int i = 0; i < wallpapers; ++i)
            ids.append("w" + QString::number(i));
        rig.setCatalog(ids);
        QJsonObject map;
        for (qsizetype i = 0; i < screens.size(); ++i)
            map.insert(screens[i], ids[i % ids.size()]);
        rig.setStoredPreference(PreferenceKeys::assignments, map);
        rig.setScreens(screens);
        for (const QString& id : ids)
            rig.addVideo(id);
        rig.build().start();
        QVERIFY(rig.engine->rotation().setChoice(fiveMinutes, true));

        // The wallpapers of the current cycle on the first display, starting with the one it shows.
        QSet<QString> cycle{rig.shownOn(screens[0])};
        for (int change = 0; change < 4 * wallpapers; ++change) {
            if (change == 2 && removeOne) {
                // One that is not on screen, so the assignments stay.
                const QString removed = ids[(ids.indexOf(rig.shownOn("A")) + 1) % ids.size()];
                rig.store->remove(EngineRig::wallpaper(removed));
                ids.removeOne(removed);
                cycle.remove(removed);
            }
            QStringList before;
            for (const QString& key : screens)
                before.append(rig.shownOn(key));
            rig.fakes.clock.advance(fiveMinutes * 1000);
            QSet<QString> now;
            for (qsizetype i = 0; i < screens.size(); ++i) {
                const QString id = rig.shownOn(screens[i]);
                QVERIFY(ids.contains(id));
                QVERIFY2(id != before[i], qPrintable(screens[i] + " kept " + id));
                now.insert(id);
            }
            QCOMPARE(now.size(), std::min(screens.size(), ids.size()));
            const QString first = rig.shownOn(screens[0]);
            if (screens.size() > 1)
                continue;
            // A repeat only once every wallpaper was shown.
            if (cycle.contains(first)) {
                QCOMPARE(cycle, QSet<QString>(ids.cbegin(), ids.cend()));
                cycle.clear();
            }
            cycle.insert(first);
        }
    }
};

QTEST_GUILESS_MAIN(TestRotation)
#include "tst_rotation.moc"
