// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/AtomicFile.h"
#include "core/Preferences.h"
#include "core/StallTimeout.h"
#include "engine/WallpaperEngine.h"
#include "fakes/FakePlatform.h"
#include "library/LibraryStore.h"
#include "platform/media/FfmpegMediaInspector.h"
#include "shell/AppDelegate.h"
#include "shell/LibraryWindow.h"
#include "shell/ShellNames.h"
#include "shell/bus/BusService.h"
#include "shell/bus/CommandLine.h"
#include "shell/bus/StatusReport.h"
#include "shell/bus/TerminalText.h"
#include "shell/tray/StatusItem.h"
#include "shell/tray/TrayHostWatcher.h"
#include "support/DBusMock.h"
#include "support/DBusSandbox.h"
#include "support/HttpTestServer.h"
#include "support/TempXdgHome.h"
#include "support/TestVideos.h"

#include <QApplication>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using Action = CommandLine::Action;
Q_DECLARE_METATYPE(CommandLine::Action)

class TestSessionBus : public QObject {
    Q_OBJECT

    TempXdgHome m_home;
    HttpTestServer m_server;
    TestVideos m_videos;
    std::unique_ptr<DBusSandbox> m_buses;
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
    QVariantMap status() {
        const QDBusMessage reply = call("Status");
        return reply.arguments().isEmpty() ? QVariantMap{}
                                           : StatusReport::fromBus(reply.arguments().first()).toMap();
    }

private Q_SLOTS:
    void initTestCase() {
        QApplication::setQuitOnLastWindowClosed(false);
        // The shared store reads its cached catalog on first use: one wallpaper on disk, one to download,
        // one whose download fails, one whose server goes silent.
        const auto record = [&](const QString& id) {
            return QJsonObject{{"id", id},
                               {"title", id},
                               {"category", "Tests"},
                               {"video", m_server.url("/media/" + id + ".mp4").toString()}};
        };
        QVERIFY(AtomicFile::write(
            m_home.libraryRoot() + "/catalog.json",
            QJsonDocument(QJsonObject{{"wallpapers", QJsonArray{record("local"), record("remote"),
                                                                record("broken"), record("stalled")}}})
                .toJson()));
        QVERIFY(AtomicFile::write(m_home.libraryRoot() + "/Library/local.mp4", "video"));
        QFile video(m_videos.path(TestVideo::TinySilent));
        QVERIFY(video.open(QIODevice::ReadOnly));
        m_server.setResponse("/media/remote.mp4", {.status = 200, .body = video.readAll()});
        m_server.setResponse("/media/broken.mp4", {.status = 404});
        m_server.setResponse("/media/stalled.mp4", {.body = "stalled", .chunkSize = 1, .intervalMs = 60'000});
        LibraryStore::shared().setMediaInspector(std::make_shared<FfmpegMediaInspector>());
        StallTimeout::set(std::chrono::milliseconds(300));
        qputenv("LUMIVALE_CATALOG_URL", m_server.baseUrl().toString().toUtf8());

        m_buses = std::make_unique<DBusSandbox>();
        QVERIFY(m_buses->isReady());
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
    }
    void cleanupTestCase() {
        m_service.reset();
        m_delegate.reset();
        LibraryStore::shared().setWallpaperTarget(nullptr);
        WallpaperEngine::setShared(nullptr);
        m_engine.reset();
        QDBusConnection::disconnectFromBus("client");
        m_client = QDBusConnection(QString());
        m_buses.reset();
    }

    void commandLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<Action>("action");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("display");
        QTest::addColumn<bool>("json");
        QTest::addColumn<bool>("fails");
        QTest::newRow("launch") << QStringList{} << Action::Launch << ""
                                << "" << false << false;
        QTest::newRow("launch, Qt's own options")
            << QStringList{"-platform", "xcb", "-reverse"} << Action::Launch << ""
            << "" << false << false;
        QTest::newRow("launch, unknown option") << QStringList{"--bogus"} << Action::Launch << ""
                                                << "" << false << true;
        QTest::newRow("status") << QStringList{"--status"} << Action::Status << ""
                                << "" << false << false;
        QTest::newRow("status as JSON") << QStringList{"--json", "--status"} << Action::Status << ""
                                        << "" << true << false;
        QTest::newRow("pause") << QStringList{"--pause"} << Action::Pause << ""
                               << "" << false << false;
        QTest::newRow("use everywhere") << QStringList{"--use", "aurora"} << Action::Use << "aurora"
                                        << "*" << false << false;
        QTest::newRow("use on one") << QStringList{"--use=aurora", "--display", "KEY"} << Action::Use
                                    << "aurora"
                                    << "KEY" << false << false;
        QTest::newRow("use without id") << QStringList{"--use"} << Action::Use << ""
                                        << "" << false << true;
        QTest::newRow("two commands") << QStringList{"--pause", "--next"} << Action::Next << ""
                                      << "" << false << true;
        QTest::newRow("display alone") << QStringList{"--display", "KEY"} << Action::Launch << ""
                                       << "KEY" << false << true;
        QTest::newRow("json alone") << QStringList{"--json"} << Action::Launch << ""
                                    << "" << true << true;
        QTest::newRow("rotate") << QStringList{"--rotate", "1h30m", "--shuffle"} << Action::Rotate << ""
                                << "" << false << false;
        QTest::newRow("rotate off") << QStringList{"--rotate=off", "--json"} << Action::Rotate << ""
                                    << "" << true << false;
        QTest::newRow("rotate too often") << QStringList{"--rotate", "9s"} << Action::Rotate << ""
                                          << "" << false << true;
        QTest::newRow("rotate without a unit") << QStringList{"--rotate", "300"} << Action::Rotate << ""
                                               << "" << false << true;
        QTest::newRow("order alone") << QStringList{"--in-order"} << Action::Launch << ""
                                     << "" << false << true;
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
        DBusMock* host =
            m_buses->startObject(DBusSandbox::Bus::Session, {name, path, name}, {{registered, false}});
        QVERIFY(host);
        QVERIFY(host->setProperty(path, name, registered, true));
        QVERIFY(host->emitSignal(path, name, QString(ShellNames::statusNotifierHostSignal), "", {}));
        QTRY_VERIFY(watcher.hostPresent());
        QVERIFY(!m_delegate->waitingForTrayHost());
        QVERIFY(!m_delegate->libraryWindow());
        QVERIFY(host->stop());
        QTRY_VERIFY(!watcher.hostPresent());

        // A host that is there before the application starts.
        QVERIFY(m_buses->startObject(DBusSandbox::Bus::Session, {name, path, name}, {{registered, true}}));
        TrayHostWatcher later;
        QTRY_VERIFY(later.hostPresent());
        QVERIFY(later.settled());
    }

    // The first process owns the name; a second one finds it taken and reopens the first.
    void oneInstance() {
        m_service = std::make_unique<BusService>(m_buses->sessionBus());
        QCOMPARE(m_service->claim(), BusService::Claim::Owned);
        m_service->serve(*m_delegate, m_fakes.screens);
        BusService second(m_client);
        QCOMPARE(second.claim(), BusService::Claim::Taken);

        QVERIFY(!m_delegate->libraryWindow());
        const QDBusMessage reply = call("Activate", {QVariantMap{}}, ShellNames::applicationInterface);
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        QVERIFY(m_delegate->libraryWindow() && m_delegate->libraryWindow()->isVisible());
    }

    void controlsDoWhatTheMenuDoes() {
        QCOMPARE(call("Use", {"local", "*"}).type(), QDBusMessage::ReplyMessage);
        QCOMPARE(m_engine->assignments(), (WallpaperEngine::AssignmentMap{{"*", "local"}}));
        QCOMPARE(status().value("statusLine").toString(), QString("Playing"));

        QCOMPARE(call("Pause").type(), QDBusMessage::ReplyMessage);
        QVERIFY(m_engine->userPaused());
        QVariantMap report = status();
        QCOMPARE(report.value("statusLine").toString(), QString("Paused: by you"));
        QCOMPARE(report.value("pauseReason").toString(), QString("by you"));
        QCOMPARE(report.value("assignments").toMap(), (QVariantMap{{"*", "local"}}));
        const QVariantList displays = report.value("displays").toList();
        QCOMPARE(displays.size(), 2);
        QCOMPARE(displays.at(0).toMap(), (QVariantMap{{"key", "LEFT-KEY"},
                                                      {"name", "LEFT-KEY"},
                                                      {"wallpaper", "local"},
                                                      {"running", false},
                                                      {"decoder", ""}}));
        QCOMPARE(StatusReport::toText(report), QString("Paused: by you\n"
                                                       "assigned: local on all displays\n"
                                                       "display LEFT-KEY [LEFT-KEY]: local, paused\n"
                                                       "display RIGHT-KEY [RIGHT-KEY]: local, paused\n"
                                                       "rotation: off\n"
                                                       "backend: none\n"));
        const QJsonObject json = QJsonDocument::fromJson(StatusReport::toJson(report)).object();
        QCOMPARE(json.value("statusLine").toString(), QString("Paused: by you"));
        QCOMPARE(json.value("displays").toArray().at(1).toObject().value("running"), QJsonValue(false));
        // Printed JSON shows no control character raw, and still holds the same values.
        const QString odd = QString::fromUtf16(u"a\x1b]52;\u009b\u202e\u007f");
        const QString printed = TerminalText::printableJson(QJsonDocument(QJsonObject{{"id", odd}}).toJson());
        QCOMPARE(TerminalText::printable(printed), printed);
        QCOMPARE(QJsonDocument::fromJson(printed.toUtf8()).object().value("id").toString(), odd);

        QCOMPARE(call("TogglePause").type(), QDBusMessage::ReplyMessage);
        QVERIFY(!m_engine->userPaused());
        QCOMPARE(status().value("displays").toList().at(0).toMap().value("running"), QVariant(true));
        QCOMPARE(call("Pause").type(), QDBusMessage::ReplyMessage);
        QCOMPARE(call("Resume").type(), QDBusMessage::ReplyMessage);
        QVERIFY(!m_engine->userPaused());

        QCOMPARE(call("Stop").type(), QDBusMessage::ReplyMessage);
        QVERIFY(m_engine->assignments().isEmpty());
        QCOMPARE(status().value("statusLine").toString(), QString("No wallpaper set"));
        QCOMPARE(status().value("displays").toList().at(0).toMap().value("wallpaper").toString(), QString());
    }

    // Like a card's click: downloaded first, then put on the displays; the reply waits for both.
    void useDownloadsFirst() {
        QCOMPARE(call("Use", {"remote", "RIGHT-KEY"}).type(), QDBusMessage::ReplyMessage);
        QCOMPARE(m_server.requestCount("/media/remote.mp4"), 1);
        QVERIFY(QFile::exists(m_home.libraryRoot() + "/Library/remote.mp4"));
        QCOMPARE(m_engine->assignments(), (WallpaperEngine::AssignmentMap{{"RIGHT-KEY", "remote"}}));

        QCOMPARE(call("Next").type(), QDBusMessage::ReplyMessage);
        QCOMPARE(m_engine->assignments(), (WallpaperEngine::AssignmentMap{{"*", "local"}}));
    }

    void useFailures_data() {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("error");
        QTest::newRow("unknown wallpaper") << "nope"
                                           << "*" << QString(ShellNames::errorUnknownWallpaper);
        QTest::newRow("unknown display") << "local"
                                         << "NOWHERE" << QString(ShellNames::errorUnknownDisplay);
        QTest::newRow("download fails") << "broken"
                                        << "*" << QString(ShellNames::errorNotUsed);
        QTest::newRow("download stalls") << "stalled"
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

QTEST_MAIN(TestSessionBus)
#include "tst_sessionbus.moc"
