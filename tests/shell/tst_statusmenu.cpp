// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/PreferenceKeys.h"
#include "fakes/EngineRig.h"
#include "shell/AppDelegate.h"
#include "shell/tray/StatusItem.h"
#include "shell/tray/StatusMenu.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>

using Item = StatusMenu::Item;
using Command = StatusMenu::Command;

namespace {
QStringList describe(const QList<Item>& items) {
    QStringList lines;
    for (const Item& item : items) {
        switch (item.kind) {
        case Item::Kind::Separator:
            lines.append("---");
            break;
        case Item::Kind::Text:
            lines.append("[" + item.title + "]");
            break;
        case Item::Kind::Action:
            lines.append(item.title + (item.shortcut.isEmpty() ? "" : " " + item.shortcut.toString()));
            break;
        }
    }
    return lines;
}

QStringList describe(const QMenu& menu) {
    QStringList lines;
    for (const QAction* action : menu.actions()) {
        if (action->isSeparator())
            lines.append("---");
        else if (!action->isEnabled())
            lines.append("[" + action->text() + "]");
        else
            lines.append(action->text() +
                         (action->shortcut().isEmpty() ? "" : " " + action->shortcut().toString()));
    }
    return lines;
}

// One display "A" with the wallpaper "a" on disk; assigned when asked.
WallpaperEngine& buildEngine(EngineRig& rig, bool assigned) {
    if (assigned)
        rig.setStoredPreference(PreferenceKeys::assignments, QJsonObject{{"*", "a"}});
    rig.setCatalog({"a", "b"});
    rig.setScreens({"A"});
    rig.addVideo("a");
    rig.addVideo("b");
    WallpaperEngine& engine = rig.build();
    engine.start();
    return engine;
}

const QStringList controls(const QString& status, const QString& pauseItem) {
    return {"[" + status + "]",
            "---",
            "Open Lumivale",
            pauseItem,
            "Next wallpaper",
            "Stop wallpaper",
            "---",
            "Check for updates",
            "Quit Lumivale Ctrl+Q"};
}
} // namespace

class TestStatusMenu : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void itemsFollowTheEngine_data() {
        QTest::addColumn<bool>("assigned");
        QTest::addColumn<bool>("userPaused");
        QTest::addColumn<bool>("onBattery");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("no wallpaper")
            << false << false << false
            << QStringList{"[No wallpaper set]",  "---", "Open Lumivale", "---", "Check for updates",
                           "Quit Lumivale Ctrl+Q"};
        QTest::newRow("no wallpaper, user pause")
            << false << true << false
            << QStringList{"[No wallpaper set]",  "---", "Open Lumivale", "---", "Check for updates",
                           "Quit Lumivale Ctrl+Q"};
        QTest::newRow("playing") << true << false << false << controls("Playing", "Pause");
        QTest::newRow("paused by the user") << true << true << false << controls("Paused: by you", "Resume");
        // The item follows the user's own pause only.
        QTest::newRow("paused on battery")
            << true << false << true << controls("Paused: on battery", "Pause");
    }
    void itemsFollowTheEngine() {
        QFETCH(bool, assigned);
        QFETCH(bool, userPaused);
        QFETCH(bool, onBattery);
        QFETCH(QStringList, expected);
        EngineRig rig;
        rig.fakes.conditions.onBattery = onBattery;
        rig.setStoredPreference(PreferenceKeys::userPaused, userPaused);
        WallpaperEngine& engine = buildEngine(rig, assigned);

        const QList<Item> items = StatusMenu::items(StatusMenu::stateOf(engine));
        QCOMPARE(describe(items), expected);
        for (const Item& item : items)
            QCOMPARE(item.enabled, item.kind == Item::Kind::Action);

        // The tray draws exactly the list, rebuilt each time it opens.
        StatusItem statusItem([&] { return StatusMenu::stateOf(engine); });
        statusItem.rebuildMenu();
        statusItem.rebuildMenu();
        QCOMPARE(describe(*statusItem.menu()), expected);
    }

    // Choosing the items changes the engine, and the next opening shows it.
    void actionsReachTheEngine() {
        EngineRig rig;
        WallpaperEngine& engine = buildEngine(rig, true);
        WallpaperEngine::setShared(&engine);
        AppDelegate delegate({.preferences = *rig.preferences,
                              .loginItem = LoginItem(rig.home.configHome(), {}, {}, "lumivale"),
                              .uptime = [] { return 1000.0; },
                              .pingEndpoint = {},
                              .updateFeed = {},
                              .version = "1.0"});
        StatusItem statusItem([&] { return StatusMenu::stateOf(engine); });
        connect(&statusItem, &StatusItem::commandChosen, &delegate, &AppDelegate::perform);
        const auto choose = [&](const QString& title) {
            statusItem.rebuildMenu();
            const QList<QAction*> actions = statusItem.menu()->actions();
            const auto found = std::find_if(actions.cbegin(), actions.cend(),
                                            [&](const QAction* action) { return action->text() == title; });
            QVERIFY2(found != actions.cend(), qPrintable(title));
            (*found)->trigger();
            QCoreApplication::processEvents();
        };

        choose("Pause");
        QVERIFY(engine.userPaused());
        QCOMPARE(rig.storedPreferences().value(PreferenceKeys::userPaused), QJsonValue(true));
        statusItem.rebuildMenu();
        QCOMPARE(describe(*statusItem.menu()), controls("Paused: by you", "Resume"));

        choose("Resume");
        QVERIFY(!engine.userPaused());

        choose("Next wallpaper");
        QCOMPARE(engine.assignments(), (WallpaperEngine::AssignmentMap{{"*", "b"}}));
        QCOMPARE(rig.shownOn("A"), QString("b"));

        choose("Stop wallpaper");
        QVERIFY(engine.assignments().isEmpty());
        QCOMPARE(rig.storedPreferences().value(PreferenceKeys::assignments), QJsonValue(QJsonObject{}));
        QVERIFY(rig.fakes.factory.windows().isEmpty());
        statusItem.rebuildMenu();
        QCOMPARE(describe(*statusItem.menu()).first(), QString("[No wallpaper set]"));
        QCOMPARE(describe(*statusItem.menu()).size(), 6);
        WallpaperEngine::setShared(nullptr);
    }
};

QTEST_MAIN(TestStatusMenu)
#include "tst_statusmenu.moc"
