// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/CoverScan.h"
#include "engine/WallpaperRotation.h"
#include "fakes/EngineRig.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

using Windows = QList<WindowInfo>;

namespace {
// JSON written with single quotes.
QJsonValue json(QString text) {
    text.replace('\'', '"');
    return QJsonDocument::fromJson(("[" + text + "]").toUtf8()).array().at(0);
}

QString sorted(QStringList words) {
    words.sort();
    return words.isEmpty() ? QStringLiteral("-") : words.join(' ');
}

Wallpaper record(const QString& id) {
    Wallpaper wallpaper;
    wallpaper.id = id;
    return wallpaper;
}

WindowInfo opaque(const QRect& bounds) {
    return {.layer = 0, .alpha = 1.0, .bounds = bounds};
}

// Runs the steps of a scenario (see scenario_data) on a rig.
class Script : public QObject {
public:
    explicit Script(EngineRig& rig) : m_rig(rig), m_journal(rig.fakes.factory.journal) {
        m_rig.setCatalog({"a", "b", "c", "d", "e", "f"});
    }

    void run(const QString& steps) {
        for (const QString& step : steps.split(';', Qt::SkipEmptyParts)) {
            const bool deferred = step.trimmed().endsWith('!');
            const QString words = step.trimmed().remove('!');
            m_verb = words.section(' ', 0, 0);
            m_arg = words.section(' ', 1);
            m_words = m_arg.split(' ', Qt::SkipEmptyParts);
            if (m_verb == "covered") {
                QTRY_COMPARE(sorted(engine().screensUnderAWindow().values()), m_arg);
            } else if (const std::optional<QString> found = seen()) {
                QCOMPARE(*found, m_arg);
            } else {
                m_journal.clear();
                act();
                if (!deferred)
                    QCoreApplication::processEvents();
                noteWrites();
            }
            if (QTest::currentTestFailed()) {
                qInfo().noquote() << "The failure was at step" << step;
                return;
            }
        }
    }

private:
    WallpaperEngine& engine() const { return *m_rig.engine; }

    void build() {
        m_rig.build();
        m_written = m_rig.storedPreferences();
        const auto note = [&](auto signal, const char* name) {
            connect(&engine(), signal, this, [this, name] {
                noteWrites();
                m_journal.append(QLatin1String(name));
            });
        };
        note(&WallpaperEngine::assignmentsChanged, "map");
        note(&WallpaperEngine::userPausedChanged, "userPaused");
        note(&WallpaperEngine::pauseOnBatteryChanged, "pauseOnBattery");
        note(&WallpaperEngine::pauseWhenCoveredChanged, "pauseWhenCovered");
        note(&WallpaperEngine::pauseReasonChanged, "reason");
        note(&WallpaperEngine::statusLineChanged, "status");
    }

    // Preferences written since the last look go in the journal.
    void noteWrites() {
        const QJsonObject now = m_rig.storedPreferences();
        QStringList keys = now.keys() + m_written.keys();
        keys.removeDuplicates();
        for (const QString& key : keys) {
            if (now.value(key) != m_written.value(key))
                m_journal.append("wrote " + key);
        }
        m_written = now;
    }

    // A report from the platform; the engine handles it later, as a task of its own.
    void report(const std::function<void()>& emitIt) {
        const std::optional<QString> before = engine().pauseReason();
        emitIt();
        QCOMPARE(engine().pauseReason(), before);
    }

    void act() {
        FakeSystemConditions& system = m_rig.fakes.conditions;
        const bool on = m_arg == "on";
        WallpaperEngine::AssignmentMap map;
        QVariantMap stored;
        for (const QString& pair : m_words) {
            map.insert(pair.section('=', 0, 0), pair.section('=', 1));
            stored.insert(pair.section('=', 0, 0), pair.section('=', 1));
        }
        const QHash<QString, void (WallpaperEngine::*)()> calls{
            {"apply", &WallpaperEngine::apply},
            {"stop", &WallpaperEngine::stop},
            {"refreshCover", &WallpaperEngine::refreshCover},
            {"next", &WallpaperEngine::advance},
            {"save", &WallpaperEngine::saveAssignments}};
        if (m_verb == "pref") {
            const QByteArray key = m_arg.section('=', 0, 0).toLatin1();
            m_rig.setStoredPreference(QLatin1StringView(key), json(m_arg.section('=', 1)));
        } else if (m_verb == "map" && !m_rig.engine) {
            m_rig.setStoredPreference(QLatin1StringView("assignments"), QJsonObject::fromVariantMap(stored));
        } else if (m_verb == "map") {
            engine().setAssignments(map);
        } else if (m_verb == "screens") {
            QList<ScreenInfo> screens;
            for (const QString& word : m_words) {
                const QRect frame(int(screens.size()) * 1920, 0, 1920, 1080);
                screens.append(FakeScreenSource::screen(word.section(':', 0, 0), frame));
                screens.last().localizedName = word.section(':', -1);
                if (word.startsWith("name:") || word.startsWith("blank:"))
                    screens.last().uuid = word.startsWith("name:") ? std::nullopt : std::optional(QString());
            }
            m_rig.fakes.screens.setScreens(screens, m_rig.engine != nullptr);
        } else if (m_verb == "videos") {
            for (const QString& id : m_words)
                m_rig.addVideo(id);
        } else if (m_verb == "delete") {
            QVERIFY(QFile::remove(m_rig.store->localURL(m_arg).value()));
        } else if (m_verb == "build" || m_verb == "start") {
            build();
            if (m_verb == "start")
                engine().start();
        } else if (calls.contains(m_verb)) {
            (engine().*calls[m_verb])();
        } else if (m_verb == "use") {
            m_rig.store->useWallpaper(record(m_words[0]), m_words[1]);
        } else if (m_verb == "remove") {
            m_rig.store->remove(record(m_arg));
        } else if (m_verb == "userPaused" || m_verb == "pauseOnBattery" || m_verb == "pauseWhenCovered") {
            QVERIFY(engine().setProperty(m_verb.toLatin1(), on));
        } else if (m_verb == "battery") {
            system.onBattery = on;
            report([&] { Q_EMIT system.powerSourceChanged(); });
        } else if (m_verb == "lowpower") {
            system.lowPowerMode = on;
            report([&] { Q_EMIT system.lowPowerModeChanged(); });
        } else if (m_verb == "thermal") {
            system.thermal =
                ThermalLevel(QStringList{"nominal", "fair", "serious", "critical"}.indexOf(m_arg));
            report([&] { Q_EMIT system.thermalStateChanged(); });
        } else if (m_verb == "hide" || m_verb == "show") {
            FakeWindow* window = m_rig.fakes.factory.window(m_arg);
            QVERIFY(window);
            report([&] { window->setVisible(m_verb == "show"); });
        } else if (m_verb == "list") {
            Windows windows;
            for (const ScreenInfo& screen : m_rig.fakes.screens.screens()) {
                if (m_words.contains(displayKey(screen)))
                    windows.append(opaque(screen.frame));
            }
            m_rig.fakes.windowList.windows = m_arg == "none" ? std::nullopt : std::optional(windows);
        } else if (m_verb == "wait") {
            m_rig.fakes.clock.advance(m_arg.toLongLong() * 1000);
        } else if (m_verb == "destroy") {
            m_rig.engine.reset();
        } else {
            report([&] { QVERIFY2(QMetaObject::invokeMethod(&system, m_verb.toLatin1()), "unknown step"); });
        }
    }

    // What the check named by the verb finds; nothing for a verb that is not a check.
    std::optional<QString> seen() const {
        const FakeWallpaperFactory& factory = m_rig.fakes.factory;
        QStringList found;
        if (m_verb == "shows") {
            for (const QString& pair : m_words)
                found.append(pair.section('=', 0, 0) + '=' + m_rig.shownOn(pair.section('=', 0, 0)));
            return found.join(' ');
        }
        if (m_verb == "windows" || m_verb == "watched") {
            for (const FakeWindow* window : factory.windows()) {
                if (m_verb == "windows" || window->isWatched())
                    found.append(window->key());
            }
            return sorted(found);
        }
        if (m_verb == "players" || m_verb == "running") {
            for (const FakePlayer* player : factory.players()) {
                if (m_verb == "players" || player->isPlaying())
                    found.append(player->id());
            }
            return sorted(found);
        }
        if (m_verb == "assigned") {
            for (auto [key, id] : engine().assignments().asKeyValueRange())
                found.append(key + '=' + id);
            return sorted(found);
        }
        if (m_verb == "frame")
            return m_words[0] + ' ' + QString::number(factory.window(m_words[0])->frame().x());
        if (m_verb == "reason")
            return engine().pauseReason().value_or("-");
        if (m_verb == "status")
            return engine().statusLine();
        if (m_verb == "stored") {
            const QJsonValue value = m_rig.storedPreferences().value(m_words[0]);
            return value == json(m_words[1]) ? m_arg
                                             : m_words[0] + ' ' + QJsonDocument(QJsonArray{value}).toJson();
        }
        if (m_verb == "alarm")
            return m_rig.fakes.clock.alarmAt ? "on" : "off";
        if (m_verb == "journal")
            return m_journal.isEmpty() ? "-" : m_journal.join(", ");
        return std::nullopt;
    }

    EngineRig& m_rig;
    QStringList& m_journal;
    QJsonObject m_written;
    QString m_verb;
    QString m_arg;
    QStringList m_words;
};
} // namespace

class TestEngine : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Steps, separated by ";". The catalog lists a to f; the fake clock moves only when told.
    // Setting up: pref KEY=JSON (before build), screens A B (left to right, 1920 wide; U:X has UUID U
    // and name X, name:X no UUID, blank:X an empty one; a hot-plug once built), map K=id (stored before
    // build, else set), videos a b, delete a, build, start.
    // Acting: apply, stop, refreshCover, next, save, use ID KEY, remove ID, userPaused|pauseOnBattery|
    // pauseWhenCovered|battery|lowpower on|off, thermal nominal|fair|serious|critical, a signal of the
    // system conditions (screenLocked...), hide A, show A, list A B (opaque windows over those screens;
    // none: no list), wait SECONDS, destroy. Queued work runs after each, unless it ends in "!".
    // Checking: shows A=a B=, windows A B, watched A B (windows told their visibility matters), players a b,
    // running a, frame KEY X, reason TEXT, status TEXT, covered A, assigned K=id,
    // stored KEY JSON, alarm on|off, journal (the fakes' calls, the engine's signals and the preferences
    // written by the latest step). "-" is nothing.
    void scenario_data() {
        QTest::addColumn<QString>("steps");
        const QString one = "screens A; map *=a; videos a; start; ";
        const QString two = "screens A B; map *=a; videos a b; start; ";
        const QString every5 = "pref rotationInterval=300; screens A; map *=a; videos a b c; start; ";
        // clang-format off
        QTest::newRow("what plays and why not") << one + "status Playing; battery on; lowpower on;"
            "thermal serious; screenLocked; userPaused on; reason by you; status Paused: by you;"
            "userPaused off; reason screen off; screenUnlocked; reason on battery; battery off;"
            "reason Low Power Mode; lowpower off; reason Mac is hot; thermal fair; reason -; running a";
        QTest::newRow("stored flags, battery not minded") <<
            "pref userPaused=true; pref pauseOnBattery=false; pref pauseWhenCovered='false';" + one +
            "reason by you; userPaused off; battery on; reason -; lowpower on; reason Low Power Mode;"
            "lowpower off; hide A; reason covered";
        QTest::newRow("locked, asleep, another user's") << one + "screenLocked; screensDidSleep;"
            "sessionDidResignActive; screensDidWake; screenUnlocked; reason screen off; running -;"
            "sessionDidBecomeActive; reason -; running a";
        QTest::newRow("a flag is stored before playback is re-evaluated") << "build; userPaused off;"
            "journal userPaused, wrote userPaused, reason; pauseOnBattery on; journal pauseOnBattery,"
            " wrote pauseOnBattery, reason; pauseWhenCovered on; journal pauseWhenCovered,"
            " wrote pauseWhenCovered, reason; stored userPaused false; stored pauseOnBattery true;"
            "stored pauseWhenCovered true";
        QTest::newRow("no file or no display") << "pref rotationInterval=300; screens A B; map A=gone Z=a;"
            "videos a; start; reason -; status No wallpaper set; windows -; alarm off";

        QTest::newRow("a shared player runs while one display can be seen") << two +
            "hide A; hide B; reason covered; running -; status Paused: covered; show B; reason -; running a;"
            "list B; refreshCover; reason covered; show A; reason -; hide A; reason covered;"
            "pauseWhenCovered off; reason -; running a";
        QTest::newRow("the scan pauses covered displays only") << "screens A B; map *=a B=b; videos a b;"
            "start; list A; refreshCover; covered A; running b; reason -; journal pause a, reason;"
            "refreshCover; journal -; apply; journal front A, front B, reason; screenLocked;"
            "journal pause b, reason, status; screenUnlocked; list; refreshCover; covered -; running a b";
        QTest::newRow("nothing to scan keeps the set") << "screens A; map *=a; videos a; build; apply;"
            "list A; refreshCover; covered A; list none; refreshCover; covered A; journal -; stop; list;"
            "refreshCover; covered A";
        QTest::newRow("the timer scans") << one + "list A; covered A; reason covered";
        QTest::newRow("visibility is watched while it can pause") << two + "watched A B; userPaused on;"
            "watched -; userPaused off; hide A; watched A B; pauseWhenCovered off; watched -";

        for (const char* bad : {"['a']", "{'*':'a','K':3}"}) {
            QTest::addRow("stored map %s is rejected whole", bad) << QString("pref assignments=%1;"
                "screens A; videos a; build; assigned -; apply; windows -; pauseOnBattery on;"
                "stored assignments %1; save; stored assignments {}").arg(bad);
        }
        // It saves and clears the pause before applying.
        QTest::newRow("using a wallpaper on all or one display") << "pref userPaused=true; screens A B;"
            "map A=a B=b; videos a b c d; build; use c *; journal map, map, wrote assignments, userPaused,"
            " wrote userPaused, reason, new A, new c, A>c, front A, new B, B>c, front B, play c, reason,"
            " status; assigned *=c; stored assignments {'*':'c'}; stored userPaused false; use d B;"
            "assigned *=c B=d; shows A=c B=d; players c d; status Playing";
        QTest::newRow("removing a shown wallpaper, or stop, clears every display") << "pref userPaused=true;"
            "screens A B; map A=a B=b; videos a b c; start; remove c; assigned A=a B=b; remove b;"
            "assigned -; stored assignments {}; windows -; map *=a; save; apply; windows A B; stop;"
            "assigned -; stored assignments {}; windows -; players -; reason by you; status No wallpaper set";
        const QList<std::array<const char*, 4>> advances{
            {"empty map takes the first", "", "a b c", "a"}, {"next after the current", "*=a", "a b c", "b"},
            {"wraps from the last", "*=c", "a b c", "a"}, {"current file deleted", "*=c", "a b", "a"},
            {"a display's entry counts", "K=b", "a b c", "c"},
            {"all displays win over one", "*=b A=a", "a b c", "c"}};
        for (const auto& [name, map, videos, next] : advances) {
            QTest::addRow("next: %s", name) << QString("pref userPaused=true; screens A B; map %1;"
                "videos %2; build; next; assigned *=%3; stored assignments {'*':'%3'}; reason -;"
                "shows A=%3 B=%3").arg(map, videos, next);
        }
        QTest::newRow("next with nothing playable changes nothing") <<
            "pref userPaused=true; map *=a; build; next; journal -";

        QTest::newRow("hot-plug keeps each display's wallpaper") << "screens A B; map *=x B=y; videos x y;"
            "start; shows A=x B=y; screens A; windows A; players x; stored assignments {'*':'x','B':'y'};"
            "screens C B A; journal new C, C>x, front C, new B, new y, B>y, front B,"
            " frame A 3840, front A, play y, reason; shows A=x B=y C=x";
        QTest::newRow("display keys: the UUID, else the name") << "screens name:M name:M blank:HDMI U1:Dell;"
            "map *=a; videos a; start; windows HDMI M U1; frame M 1920; shows M=a";
        QTest::newRow("one player per file, kept while shown") << two +
            "players a; shows A=a B=a; apply; journal front A, front B, reason; map *=a B=b; apply;"
            "journal front A, new b, B>b, front B, play b, reason; running a b; screens A;"
            "journal B>none, out B, gone B, front A, pause b, unload b, gone b, reason; map; apply;"
            "journal A>none, out A, gone A, pause a, unload a, gone a, reason; reason -";
        // A change to the library applies the map again.
        QTest::newRow("only files on disk are shown") << "screens A; map *=a; videos b; start; windows -;"
            "videos a; remove b; shows A=a; running a; delete a; apply; windows -; players -; assigned *=a";
        QTest::newRow("handlers hold the engine weakly") <<
            one + "hide A!; screenLocked!; screens A!; destroy; windows -; players -";

        QTest::newRow("rotation is off by default") << one + "alarm off; wait 100000; shows A=a";
        QTest::newRow("rotation every ten seconds, in order, wrapping") << "pref rotationInterval=10;"
            "screens A; map *=a; videos a b c; start; alarm on; wait 9; shows A=a; wait 1; shows A=b;"
            "wait 10; shows A=c; wait 10; shows A=a";
        // Any reason to pause does, as any other would.
        QTest::newRow("a pause holds the countdown") << every5 + "wait 200; screenLocked; running -;"
            "alarm off; stored rotationTimeLeft 100; wait 100000; shows A=a; screenUnlocked; running a;"
            "wait 99; shows A=a; wait 1; shows A=b";
        QTest::newRow("next or a choice by hand restarts the countdown") << every5 + "wait 200; next;"
            "shows A=b; stored rotationTimeLeft 300; wait 299; shows A=b; wait 1; shows A=c; wait 200;"
            "use a *; wait 299; shows A=a; wait 1; shows A=b";
        QTest::newRow("displays rotate each on their own") << "pref rotationInterval=300; screens A B;"
            "map A=a B=b; videos a b c; start; wait 300; shows A=b B=c; wait 300; shows A=c B=a";
        QTest::newRow("a removed wallpaper leaves the cycle") << every5 +
            "remove b; wait 300; shows A=c; wait 300; shows A=a";
        QTest::newRow("fewer than two waits, then goes on") << "pref rotationInterval=300; screens A;"
            "map *=a; videos a; start; wait 300; shows A=a; alarm on; videos b; wait 300; shows A=b";
        QTest::newRow("time left survives a restart") <<
            "pref rotationTimeLeft=42;" + every5 + "wait 41; shows A=a; wait 1; shows A=b";
        // Unreadable values read as off and stay on disk as they were.
        for (const char* bad : {"rotationInterval='5m'", "rotationInterval=5", "rotationInterval=300.5",
                                "rotationTimeLeft=-1", "rotationTimeLeft='soon'"}) {
            QTest::addRow("rotation off for %s", bad) << "pref rotationInterval=300; pref " + QString(bad) +
                "; screens A; map *=a; videos a b c; start; alarm off; wait 100000; shows A=a; stored " +
                QString(bad).replace('=', ' ');
        }
        // clang-format on
    }
    void scenario() {
        QFETCH(QString, steps);
        EngineRig rig;
        Script script(rig);
        script.run(steps);
    }

    void coveredDisplays_data() {
        QTest::addColumn<Windows>("windows");
        QTest::addColumn<QString>("covered");
        // Left display 1920x1080 and right display 2560x1440, each with a 32-pixel top panel.
        const QRect left(0, 32, 1920, 1048);
        // clang-format off
        QTest::newRow("exactly the visible frame") << Windows{opaque(left)} << "L";
        QTest::newRow("one short on the left") << Windows{opaque(left.adjusted(1, 0, 0, 0))} << "-";
        QTest::newRow("one short at the bottom") << Windows{opaque(left.adjusted(0, 0, 0, -1))} << "-";
        QTest::newRow("across both") << Windows{opaque(QRect(0, 0, 4480, 1440))} << "L R";
        QTest::newRow("two halves do not cover")
            << Windows{opaque(QRect(0, 32, 960, 1048)), opaque(QRect(960, 32, 960, 1048))} << "-";
        QTest::newRow("a window behind another counts")
            << Windows{opaque(QRect(10, 10, 100, 100)), opaque(left)} << "L";
        QTest::newRow("alpha 0.9 is ignored") << Windows{{0, 0.9, left}} << "-";
        QTest::newRow("alpha 0.95 counts") << Windows{{0, 0.95, left}} << "L";
        QTest::newRow("no alpha counts") << Windows{{0, std::nullopt, left}} << "L";
        QTest::newRow("another layer is ignored") << Windows{{3, 1.0, left}} << "-";
        QTest::newRow("no layer is ignored") << Windows{{std::nullopt, 1.0, left}} << "-";
        QTest::newRow("no bounds is ignored") << Windows{{0, 1.0, std::nullopt}} << "-";
        // clang-format on
    }
    void coveredDisplays() {
        QFETCH(Windows, windows);
        QFETCH(QString, covered);
        const QList<ScreenInfo> screens{FakeScreenSource::screen("L", QRect(0, 0, 1920, 1080)),
                                        FakeScreenSource::screen("R", QRect(1920, 0, 2560, 1440))};
        QCOMPARE(sorted(CoverScan::coveredDisplays(windows, screens).values()), covered);
    }

    // Over several cycles: never the wallpaper a display shows, every wallpaper once before any repeats
    // (on one display), and different wallpapers on different displays where there are enough.
    void shuffled_data() {
        QTest::addColumn<QString>("setup");
        QTest::newRow("five wallpapers") << "screens A; map A=a; videos a b c d e";
        QTest::newRow("three displays") << "screens A B C; map A=a B=b C=c; videos a b c d e";
    }
    void shuffled() {
        QFETCH(QString, setup);
        EngineRig rig;
        Script script(rig);
        script.run(setup + "; start");
        QVERIFY(rig.engine->rotation().setChoice(300, true));
        const QStringList keys = rig.engine->assignments().keys();
        const QStringList ids = setup.section("videos ", 1).split(' ');

        // The wallpapers of the current cycle on the first display, starting with the one it shows.
        QSet<QString> cycle{"a"};
        for (qsizetype change = 0; change < 4 * ids.size(); ++change) {
            const WallpaperEngine::AssignmentMap before = rig.engine->assignments();
            rig.fakes.clock.advance(300'000);
            QSet<QString> now;
            for (const QString& key : keys) {
                const QString id = rig.shownOn(key);
                QVERIFY2(ids.contains(id) && id != before[key], qPrintable(key + " shows " + id));
                now.insert(id);
            }
            QCOMPARE(now.size(), std::min(keys.size(), ids.size()));
            // A repeat only once every wallpaper was shown.
            if (keys.size() == 1 && cycle.contains(*now.cbegin())) {
                QCOMPARE(cycle, QSet<QString>(ids.cbegin(), ids.cend()));
                cycle.clear();
            }
            cycle.unite(now);
        }
    }
};

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"
