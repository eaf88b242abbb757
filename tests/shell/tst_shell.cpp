// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/AtomicFile.h"
#include "core/PreferenceKeys.h"
#include "core/Preferences.h"
#include "engine/WallpaperEngine.h"
#include "fakes/FakePlatform.h"
#include "library/LibraryStore.h"
#include "platform/media/FfmpegMediaInspector.h"
#include "shell/AppDelegate.h"
#include "shell/LibraryWindow.h"
#include "shell/ShellNames.h"
#include "shell/WindowFrame.h"
#include "shell/bus/BusService.h"
#include "shell/bus/CommandLine.h"
#include "shell/bus/StatusReport.h"
#include "shell/bus/TerminalText.h"
#include "shell/tray/StatusItem.h"
#include "shell/tray/TrayHostWatcher.h"
#include "support/DBusMock.h"
#include "support/FileContents.h"
#include "support/HttpTestServer.h"
#include "support/TempXdgHome.h"
#include "support/TestVideos.h"

#include <QAction>
#include <QApplication>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QTest>

using Action = CommandLine::Action;
using Assignments = WallpaperEngine::AssignmentMap;
using Frame = std::optional<QRect>;
Q_DECLARE_METATYPE(CommandLine::Action)

namespace {
// The menu as drawn: disabled items in brackets, shortcuts after the title.
QStringList describe(const QMenu& menu) {
    QStringList lines;
    for (const QAction* action : menu.actions()) {
        const QString shortcut = action->shortcut().toString();
        if (action->isSeparator())
            lines.append("---");
        else if (!action->isEnabled())
            lines.append("[" + action->text() + "]");
        else
            lines.append(action->text() + (shortcut.isEmpty() ? "" : " " + shortcut));
    }
    return lines;
}
} // namespace

// The shell in one process: launches, the tray menu and the control interface over a private session
// bus, against a real store and a catalog on loopback, with fake platform services under the engine.
class TestShell : public QObject {
    Q_OBJECT

    TempXdgHome m_home;
    HttpTestServer m_server;
    HttpTestServer m_pingServer;
    TestVideos m_videos;
    FakePlatform m_fakes;
    std::unique_ptr<Preferences> m_preferences;
    std::unique_ptr<WallpaperEngine> m_engine;
    std::unique_ptr<AppDelegate> m_delegate;
    std::unique_ptr<BusService> m_service;
    QDBusConnection m_client{QString()};

    // A call from another connection, as the command line makes it, answered by this process's loop.
    QDBusMessage call(const QString& method, const QVariantList& arguments = {},
                      QLatin1StringView interface = ShellNames::controlInterface) {
        QDBusMessage message = QDBusMessage::createMethodCall(
            QString(ShellNames::busName), QString(ShellNames::objectPath), interface, method);
        message.setArguments(arguments);
        QDBusPendingCall pending = m_client.asyncCall(message);
        if (!QTest::qWaitFor([&] { return pending.isFinished(); }, 20'000))
            return {};
        return pending.reply();
    }
    QVariantMap status() { return StatusReport::fromBus(call("Status").arguments().value(0)).toMap(); }
    // Opens the menu as the tray would and chooses the item with this title.
    static void choose(StatusItem& item, const QString& title) {
        item.rebuildMenu();
        const QList<QAction*> actions = item.menu()->actions();
        const auto found = std::find_if(actions.cbegin(), actions.cend(),
                                        [&](const QAction* action) { return action->text() == title; });
        QVERIFY2(found != actions.cend(), qPrintable(title));
        (*found)->trigger();
        QCoreApplication::processEvents();
    }

private Q_SLOTS:
    void initTestCase() {
        QApplication::setQuitOnLastWindowClosed(false);
        // The shared store reads its cached catalog on first use: two wallpapers on disk, one to
        // download, one whose download fails.
        QJsonArray records;
        for (const QString id : {"a", "b", "remote", "broken"})
            records.append(QJsonObject{{"id", id},
                                       {"title", id},
                                       {"category", "Tests"},
                                       {"video", m_server.url("/media/" + id + ".mp4").toString()}});
        const QString root = m_home.libraryRoot();
        QVERIFY(AtomicFile::write(root + "/catalog.json",
                                  QJsonDocument(QJsonObject{{"wallpapers", records}}).toJson()));
        QVERIFY(AtomicFile::write(root + "/Library/a.mp4", "video"));
        QVERIFY(AtomicFile::write(root + "/Library/b.mp4", "video"));
        m_server.setResponse("/media/remote.mp4",
                             {.body = fileContents(m_videos.path(TestVideo::TinySilent))});
        m_server.setResponse("/media/broken.mp4", {.status = 404});
        m_pingServer.setResponse("/v1/ping",
                                 {.generatedBodySize = qint64(1) << 40, .omitContentLength = true});
        LibraryStore::shared().setMediaInspector(std::make_shared<FfmpegMediaInspector>());
        qputenv("LUMIVALE_CATALOG_URL", m_server.baseUrl().toString().toUtf8());

        QVERIFY(DBusMock::onPrivateBuses());
        m_client = QDBusConnection::connectToBus(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"), "client");

        m_fakes.screens.setScreens({FakeScreenSource::screen("LEFT-KEY", QRect(0, 0, 1920, 1080)),
                                    FakeScreenSource::screen("RIGHT-KEY", QRect(1920, 0, 1920, 1080))});
        m_preferences = std::make_unique<Preferences>(m_home.preferencesFile());
        m_engine =
            std::make_unique<WallpaperEngine>(LibraryStore::shared(), *m_preferences, m_fakes.platform());
        WallpaperEngine::setShared(m_engine.get());
        LibraryStore::shared().setWallpaperTarget(m_engine.get());
        LoginItem atLogin(m_home.configHome(), {}, {}, "lumivale");
        QVERIFY(atLogin.registerItem());
        m_delegate = std::make_unique<AppDelegate>(AppDelegate::Environment{.preferences = *m_preferences,
                                                                            .loginItem = atLogin,
                                                                            .uptime = [] { return 10.0; },
                                                                            .pingEndpoint = {},
                                                                            .updateFeed = {},
                                                                            .version = "1.0"});
        m_service = std::make_unique<BusService>(QDBusConnection::sessionBus());
        QCOMPARE(m_service->claim(), BusService::Claim::Owned);
        m_service->serve(*m_delegate, m_fakes.screens);
    }
    void cleanupTestCase() {
        m_service.reset();
        m_delegate.reset();
        LibraryStore::shared().setWallpaperTarget(nullptr);
        WallpaperEngine::setShared(nullptr);
        m_engine.reset();
        QDBusConnection::disconnectFromBus("client");
        m_client = QDBusConnection(QString());
    }

    void commandLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<Action>("action");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("display");
        QTest::addColumn<bool>("json");
        QTest::addColumn<bool>("fails");
        const auto row = [](const char* name, const QStringList& arguments, Action action, bool fails,
                            const QString& id = {}, const QString& display = {}, bool json = false) {
            QTest::newRow(name) << arguments << action << id << display << json << fails;
        };
        row("launch, Qt's own options", {"-platform", "xcb", "-reverse"}, Action::Launch, false);
        row("use everywhere", {"--use", "aurora"}, Action::Use, false, "aurora", "*");
        row("use on one", {"--use=aurora", "--display", "KEY"}, Action::Use, false, "aurora", "KEY");
        row("use without id", {"--use"}, Action::Use, true);
        row("two commands", {"--pause", "--next"}, Action::Next, true);
        row("display alone", {"--display", "KEY"}, Action::Launch, true);
        row("json alone", {"--json"}, Action::Launch, true);
        row("rotate", {"--rotate", "1h30m", "--shuffle", "--json"}, Action::Rotate, false, "", "", true);
        row("rotate too often", {"--rotate", "9s"}, Action::Rotate, true);
        row("rotate without a unit", {"--rotate", "300"}, Action::Rotate, true);
        row("order alone", {"--in-order"}, Action::Launch, true);
    }
    void commandLine() {
        QFETCH(QStringList, arguments);
        QFETCH(Action, action);
        QFETCH(QString, id);
        QFETCH(QString, display);
        QFETCH(bool, json);
        QFETCH(bool, fails);
        const CommandLine command = CommandLine::parse(arguments);
        QCOMPARE(command.action, action);
        QCOMPARE(command.error.isEmpty(), !fails);
        if (fails)
            return;
        QCOMPARE(command.wallpaperId, id);
        QCOMPARE(command.display, display);
        QCOMPARE(command.json, json);
    }

    // The window opens at launch unless the session started Lumivale at login less than 240 s after
    // boot; the uptime is read only then. Without a tray to hold the menu it opens anyway in the end.
    void launch_data() {
        QTest::addColumn<bool>("atLogin");
        QTest::addColumn<double>("uptime");
        QTest::addColumn<bool>("opens");
        QTest::newRow("not at login") << false << 10.0 << true;
        QTest::newRow("at login, just booted") << true << 239.999 << false;
        QTest::newRow("at login, 240 s") << true << 240.0 << true;
    }
    void launch() {
        QFETCH(bool, atLogin);
        QFETCH(double, uptime);
        QFETCH(bool, opens);
        m_server.clearRequests();
        Preferences preferences(m_home.configHome() + "/launches.json");
        LoginItem loginItem(m_home.configHome() + "/launches", {}, {}, "lumivale");
        QVERIFY(atLogin ? loginItem.registerItem() : loginItem.unregisterItem());
        int uptimeReads = 0;
        AppDelegate delegate({.preferences = preferences,
                              .loginItem = loginItem,
                              .uptime =
                                  [&] {
                                      ++uptimeReads;
                                      return uptime;
                                  },
                              .pingEndpoint = m_pingServer.url("/v1/ping"),
                              .updateFeed = m_server.url("/v1/update"),
                              .version = QString(),
                              .trayHostWaitAtLogin = std::chrono::milliseconds(100)});
        delegate.applicationDidFinishLaunching();
        QCOMPARE(uptimeReads, atLogin ? 1 : 0);
        QCOMPARE(delegate.libraryWindow() != nullptr, opens);
        QTRY_VERIFY(delegate.libraryWindow() && delegate.libraryWindow()->isVisible());
        // Every request of the launch has been made once the updater's has.
        QTRY_COMPARE(m_server.requestCount("/v1/update"), 1);
        // One first-run ping per user, "?" for an unknown version; whatever the service answers, it reads
        // no body.
        QTRY_COMPARE(m_pingServer.requestCount("/v1/ping"), 1);
        QCOMPARE(m_pingServer.requests().constFirst().target, QByteArray("/v1/ping?e=first_run&v=?"));
        QTRY_COMPARE(m_pingServer.openConnectionCount(), 0);
    }

    // The window comes back where the user left it, moved and shrunk onto the connected screen it
    // overlaps most, and no smaller than its minimum. Here a primary screen with a 30-pixel panel along
    // its bottom, and a smaller one to its right.
    void windowFrame_data() {
        QTest::addColumn<Frame>("remembered");
        QTest::addColumn<QRect>("placed");
        QTest::newRow("first time: centred") << Frame() << QRect(400, 155, 1120, 740);
        QTest::newRow("over the panel") << Frame(QRect(200, 700, 800, 600)) << QRect(200, 450, 800, 600);
        QTest::newRow("mostly on the second")
            << Frame(QRect(1700, 100, 900, 600)) << QRect(1920, 100, 900, 600);
        QTest::newRow("screen gone") << Frame(QRect(5000, -200, 900, 600)) << QRect(2300, 0, 900, 600);
        QTest::newRow("larger than the screen")
            << Frame(QRect(100, 100, 3000, 2000)) << QRect(0, 0, 1920, 1050);
        QTest::newRow("below the minimum") << Frame(QRect(10, 10, 200, 100)) << QRect(10, 10, 760, 520);
    }
    void windowFrame() {
        QFETCH(Frame, remembered);
        QFETCH(QRect, placed);
        Preferences preferences(m_home.configHome() + "/frame.json");
        preferences.setValue(PreferenceKeys::libraryWindowFrame,
                             remembered ? WindowFrame::toJson(*remembered) : QJsonValue());
        const auto screens = [] { return QList<QRect>{QRect(0, 0, 1920, 1050), QRect(1920, 0, 1280, 1024)}; };
        LibraryWindow window(preferences, {}, screens);
        QCOMPARE(window.geometry(), placed);
        QCOMPARE(window.minimumSize(), QSize(760, 520));
    }

    // Where the user puts the window is remembered; a stored frame that is not one is ignored.
    void windowFrameStored() {
        Preferences preferences(m_home.configHome() + "/frame.json");
        LibraryWindow window(preferences);
        window.present();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.setGeometry(10, 20, 770, 530);
        QTRY_COMPARE(WindowFrame::fromJson(preferences.value(PreferenceKeys::libraryWindowFrame)),
                     Frame(QRect(10, 20, 770, 530)));
        // A small screen takes the window whole, below its minimum.
        QCOMPARE(WindowFrame::place({}, {QRect(0, 0, 1024, 600)}, {1120, 740}, {760, 520}),
                 QRect(0, 0, 1024, 600));
        for (const QJsonObject& bad : {QJsonObject{{"x", 1}, {"y", 2}, {"width", 3}},
                                       QJsonObject{{"x", 1.5}, {"y", 2}, {"width", 3}, {"height", 4}},
                                       QJsonObject{{"x", 1}, {"y", 2}, {"width", 0}, {"height", 4}}})
            QVERIFY(!WindowFrame::fromJson(bad));
    }

    // A login launch while the panel is still starting: the window stays closed while the launch waits
    // for a tray host, and for good once one registers (here after 3 s). The watcher service alone is
    // not a host.
    void loginLaunchWithALateTrayHost() {
        const QString name(ShellNames::statusNotifierWatcher);
        const QString path(ShellNames::statusNotifierWatcherPath);
        const QString registered(ShellNames::statusNotifierHostRegistered);
        m_delegate->applicationDidFinishLaunching();
        const TrayHostWatcher& watcher = m_delegate->statusItem()->hostWatcher();
        QTRY_VERIFY(watcher.settled());
        QVERIFY(!watcher.hostPresent());
        QVERIFY(m_delegate->waitingForTrayHost());

        QTest::qWait(3'000);
        std::unique_ptr<DBusMock> host =
            DBusMock::startObject(DBusMock::Bus::Session, {name, path, name}, {{registered, false}});
        QVERIFY(host);
        QVERIFY(host->setProperty(path, name, registered, true));
        QVERIFY(host->emitSignal(path, name, QString(ShellNames::statusNotifierHostSignal), "", {}));
        QTRY_VERIFY(watcher.hostPresent());
        QVERIFY(!m_delegate->waitingForTrayHost());
        QVERIFY(!m_delegate->libraryWindow());
        QVERIFY(host->stop());
        QTRY_VERIFY(!watcher.hostPresent());

        // A host that is there before the application starts.
        host = DBusMock::startObject(DBusMock::Bus::Session, {name, path, name}, {{registered, true}});
        QVERIFY(host);
        TrayHostWatcher later;
        QTRY_VERIFY(later.hostPresent());
        QVERIFY(later.settled());
    }

    // The tray draws the items the engine's state calls for, each time it opens; the pause item
    // follows the user's own pause only.
    void menu_data() {
        QTest::addColumn<bool>("assigned");
        QTest::addColumn<bool>("userPaused");
        QTest::addColumn<bool>("onBattery");
        QTest::addColumn<QStringList>("middle");
        QTest::newRow("no wallpaper") << false << false << false << QStringList{"[No wallpaper set]"};
        QTest::newRow("paused by the user")
            << true << true << false << QStringList{"[Paused: by you]", "Resume"};
        QTest::newRow("on battery") << true << false << true << QStringList{"[Paused: on battery]", "Pause"};
    }
    void menu() {
        QFETCH(bool, assigned);
        QFETCH(bool, userPaused);
        QFETCH(bool, onBattery);
        QFETCH(QStringList, middle);
        QCOMPARE(call(assigned ? "Use" : "Stop", assigned ? QVariantList{"a", "*"} : QVariantList{}).type(),
                 QDBusMessage::ReplyMessage);
        m_engine->setUserPaused(userPaused);
        m_fakes.conditions.onBattery = onBattery;
        Q_EMIT m_fakes.conditions.powerSourceChanged();
        QCoreApplication::processEvents();
        QStringList expected{middle.takeFirst(), "---", "Open Lumivale"};
        if (assigned)
            expected << middle << "Next wallpaper"
                     << "Stop wallpaper";
        expected << "---"
                 << "Check for updates"
                 << "Quit Lumivale Ctrl+Q";
        StatusItem item([&] { return StatusMenu::stateOf(*m_engine); });
        item.rebuildMenu();
        item.rebuildMenu();
        QCOMPARE(describe(*item.menu()), expected);
        m_fakes.conditions.onBattery = false;
        Q_EMIT m_fakes.conditions.powerSourceChanged();
        m_engine->setUserPaused(false);
    }

    // The calls on the bus change the engine, and so does choosing the same items in the tray's menu;
    // the status tells.
    void busAndMenuControls() {
        QCOMPARE(call("Use", {"a", "*"}).type(), QDBusMessage::ReplyMessage);
        QCOMPARE(call("Next").type(), QDBusMessage::ReplyMessage);
        QCOMPARE(m_engine->assignments(), (Assignments{{"*", "b"}}));
        for (const auto& [method, paused] : {std::pair("TogglePause", true),
                                             {"TogglePause", false},
                                             {"Resume", false},
                                             {"Pause", true},
                                             {"Pause", true}}) {
            QCOMPARE(call(method).type(), QDBusMessage::ReplyMessage);
            QCOMPARE(m_engine->userPaused(), paused);
        }
        const QVariantMap report = status();
        QCOMPARE(report.value("pauseReason").toString(), QString("by you"));
        QCOMPARE(StatusReport::toText(report), QString("Paused: by you\n"
                                                       "assigned: b on all displays\n"
                                                       "display LEFT-KEY [LEFT-KEY]: b, paused\n"
                                                       "display RIGHT-KEY [RIGHT-KEY]: b, paused\n"
                                                       "rotation: off\n"
                                                       "backend: none\n"));
        const QJsonObject json = QJsonDocument::fromJson(StatusReport::toJson(report)).object();
        QCOMPARE(json.value("displays").toArray().at(1).toObject().value("running"), QJsonValue(false));
        QCOMPARE(call("Resume").type(), QDBusMessage::ReplyMessage);
        QCOMPARE(status().value("displays").toList().at(0).toMap().value("running"), QVariant(true));

        StatusItem item([&] { return StatusMenu::stateOf(*m_engine); });
        connect(&item, &StatusItem::commandChosen, m_delegate.get(), &AppDelegate::perform);
        choose(item, "Pause");
        QVERIFY(m_engine->userPaused());
        choose(item, "Resume");
        QVERIFY(!m_engine->userPaused());
        choose(item, "Next wallpaper");
        QCOMPARE(m_engine->assignments(), (Assignments{{"*", "a"}}));
        choose(item, "Stop wallpaper");
        QVERIFY(m_engine->assignments().isEmpty());
        // Printed JSON shows no control character raw, and still holds the same values.
        const QString odd = QString::fromUtf16(u"a\x1b]52;\u009b\u202e\u007f");
        const QString printed = TerminalText::printableJson(QJsonDocument(QJsonObject{{"id", odd}}).toJson());
        QCOMPARE(TerminalText::printable(printed), printed);
        QVERIFY(!printed.contains(QChar(0x9b)) && !printed.contains(QChar(0x7f)));
        QCOMPARE(QJsonDocument::fromJson(printed.toUtf8()).object().value("id").toString(), odd);
    }

    // Like a card's click: downloaded first, then put on the displays; the reply waits for both.
    void useDownloadsFirst() {
        QCOMPARE(call("Use", {"remote", "RIGHT-KEY"}).type(), QDBusMessage::ReplyMessage);
        QCOMPARE(m_server.requestCount("/media/remote.mp4"), 1);
        QVERIFY(QFile::exists(m_home.libraryRoot() + "/Library/remote.mp4"));
        QCOMPARE(m_engine->assignments(), (Assignments{{"RIGHT-KEY", "remote"}}));
    }

    void useFailures_data() {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("error");
        QTest::newRow("unknown wallpaper") << "nope"
                                           << "*" << QString(ShellNames::errorUnknownWallpaper);
        QTest::newRow("unknown display") << "a"
                                         << "NOWHERE" << QString(ShellNames::errorUnknownDisplay);
        QTest::newRow("download fails") << "broken"
                                        << "*" << QString(ShellNames::errorNotUsed);
    }
    void useFailures() {
        QFETCH(QString, id);
        QFETCH(QString, display);
        QFETCH(QString, error);
        const auto before = m_engine->assignments();
        const QDBusMessage reply = call("Use", {id, display});
        QCOMPARE(reply.type(), QDBusMessage::ErrorMessage);
        QCOMPARE(reply.errorName(), error);
        QVERIFY(!reply.errorMessage().isEmpty());
        QCOMPARE(m_engine->assignments(), before);
    }
};

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
