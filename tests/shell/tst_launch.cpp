// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/PreferenceKeys.h"
#include "core/Preferences.h"
#include "engine/WallpaperEngine.h"
#include "fakes/FakePlatform.h"
#include "library/LibraryStore.h"
#include "shell/AppDelegate.h"
#include "shell/LibraryWindow.h"
#include "shell/tray/StatusItem.h"
#include "shell/tray/TrayHostWatcher.h"
#include "shell/update/UsagePing.h"
#include "support/HttpTestServer.h"
#include "support/TempXdgHome.h"

#include <QApplication>
#include <QTest>

class TestLaunch : public QObject {
    Q_OBJECT

    TempXdgHome m_home;
    HttpTestServer m_server;
    FakePlatform m_fakes;
    std::unique_ptr<Preferences> m_enginePreferences;
    std::unique_ptr<WallpaperEngine> m_engine;

    // A launch as the process makes it, with this login item, uptime and version.
    struct Launch {
        std::unique_ptr<Preferences> preferences;
        std::unique_ptr<AppDelegate> delegate;
        int uptimeReads = 0;
    };
    std::unique_ptr<Launch> launch(bool loginItemEnabled, double uptime, const QString& version = "1.4") {
        auto run = std::make_unique<Launch>();
        run->preferences = std::make_unique<Preferences>(m_home.preferencesFile());
        LoginItem loginItem(m_home.configHome(), {}, {}, "lumivale");
        if (loginItemEnabled)
            loginItem.registerItem();
        else
            loginItem.unregisterItem();
        run->delegate = std::make_unique<AppDelegate>(
            AppDelegate::Environment{.preferences = *run->preferences,
                                     .loginItem = loginItem,
                                     .uptime =
                                         [uptime, reads = &run->uptimeReads] {
                                             ++*reads;
                                             return uptime;
                                         },
                                     .pingEndpoint = m_server.url("/v1/ping"),
                                     .updateFeed = m_server.url("/v1/update"),
                                     .version = version,
                                     .trayHostWaitAtLogin = std::chrono::milliseconds(100)});
        run->delegate->applicationDidFinishLaunching();
        return run;
    }

    // The catalog request is made after the launch sequence returns, so once it has arrived every
    // request of the sequence has been made.
    void waitForLaunchRequests(int launches) {
        QTRY_COMPARE(m_server.requestCount("/v1/catalog"), launches);
        QTRY_COMPARE(m_server.requestCount("/v1/update"), launches);
    }

private Q_SLOTS:
    void initTestCase() {
        QApplication::setQuitOnLastWindowClosed(false);
        qputenv("LUMIVALE_CATALOG_URL", m_server.baseUrl().toString().toUtf8());
        m_server.setResponse("/v1/catalog", {.status = 200, .body = "{\"wallpapers\": []}"});
        m_server.setResponse("/v1/update", {.status = 404});
        m_enginePreferences = std::make_unique<Preferences>(m_home.configHome() + "/engine.json");
        m_engine = std::make_unique<WallpaperEngine>(LibraryStore::shared(), *m_enginePreferences,
                                                     m_fakes.platform());
        WallpaperEngine::setShared(m_engine.get());
    }
    void cleanupTestCase() { WallpaperEngine::setShared(nullptr); }

    void decisionTable_data() {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<double>("uptime");
        QTest::addColumn<bool>("shows");
        QTest::newRow("login item, just booted") << true << 100.0 << false;
        QTest::newRow("login item, just under") << true << 239.999 << false;
        QTest::newRow("login item, exactly 240 s") << true << 240.0 << true;
        QTest::newRow("login item, hours") << true << 4.0 * 3600 << true;
        QTest::newRow("no login item, just booted") << false << 10.0 << true;
        QTest::newRow("no login item, hours") << false << 4.0 * 3600 << true;
    }
    void decisionTable() {
        QFETCH(bool, enabled);
        QFETCH(double, uptime);
        QFETCH(bool, shows);
        QCOMPARE(AppDelegate::shouldShowLibraryAtLaunch(enabled, uptime), shows);
    }

    // "firstRunSent" is written before the ping, and the ping goes out once per user, in its exact form.
    void firstRunPingOnceAcrossLaunches() {
        QVERIFY(!Preferences(m_home.preferencesFile()).contains(PreferenceKeys::firstRunSent));
        auto first = launch(false, 1000.0);
        QCOMPARE(first->preferences->boolValue(PreferenceKeys::firstRunSent), std::optional<bool>(true));
        QCOMPARE(Preferences(m_home.preferencesFile()).boolValue(PreferenceKeys::firstRunSent),
                 std::optional(true));
        QTRY_COMPARE(m_server.requestCount("/v1/ping"), 1);
        const QList<HttpTestServer::Request> requests = m_server.requests();
        const HttpTestServer::Request ping =
            *std::find_if(requests.cbegin(), requests.cend(),
                          [](const auto& request) { return request.path == "/v1/ping"; });
        QCOMPARE(ping.method, QByteArray("GET"));
        QCOMPARE(ping.target, QByteArray("/v1/ping?e=first_run&v=1.4"));
        waitForLaunchRequests(1);
        first.reset();

        auto second = launch(false, 1000.0);
        waitForLaunchRequests(2);
        QCOMPARE(m_server.requestCount("/v1/ping"), 1);
    }

    // Whatever the service answers, the ping reads no body.
    void pingWithoutVersion() {
        HttpTestServer server;
        server.setResponse("/v1/ping", {.generatedBodySize = qint64(1) << 40, .omitContentLength = true});
        QNetworkAccessManager network;
        UsagePing ping(network, server.url("/v1/ping"), QString());
        QCOMPARE(ping.urlText("first_run"), server.url("/v1/ping").toString() + "?e=first_run&v=?");
        ping.send("first_run");
        QTRY_COMPARE(server.requestCount("/v1/ping"), 1);
        QCOMPARE(server.requests().constFirst().target, QByteArray("/v1/ping?e=first_run&v=?"));
        QTRY_COMPARE(server.openConnectionCount(), 0);
    }

    // The uptime is read only when the login item is enabled, and without a tray to hold the menu the
    // window opens anyway, at a login launch once the tray host has had its time to appear.
    void libraryWindowAtLaunch_data() {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<double>("uptime");
        QTest::addColumn<int>("uptimeReads");
        QTest::addColumn<bool>("decided");
        QTest::newRow("not registered") << false << 10.0 << 0 << true;
        QTest::newRow("registered, just booted") << true << 10.0 << 1 << false;
        QTest::newRow("registered, later") << true << 600.0 << 1 << true;
    }
    void libraryWindowAtLaunch() {
        QFETCH(bool, enabled);
        QFETCH(double, uptime);
        QFETCH(int, uptimeReads);
        QFETCH(bool, decided);
        auto run = launch(enabled, uptime);
        QCOMPARE(run->uptimeReads, uptimeReads);
        QVERIFY(run->delegate->statusItem());
        QCOMPARE(run->delegate->waitingForTrayHost(), !decided);
        if (decided)
            QVERIFY(run->delegate->libraryWindow());
        QTRY_VERIFY(run->delegate->statusItem()->hostWatcher().settled());
        // This test has no tray host, so the window is there in the end.
        QVERIFY(!run->delegate->statusItem()->hostWatcher().hostPresent());
        QTRY_VERIFY(run->delegate->libraryWindow() && run->delegate->libraryWindow()->isVisible());

        // Reopening shows the same window again, also after it was closed; closing it quits nothing.
        LibraryWindow* window = run->delegate->libraryWindow();
        window->close();
        QVERIFY(!window->isVisible());
        run->delegate->applicationShouldHandleReopen();
        QCOMPARE(run->delegate->libraryWindow(), window);
        QVERIFY(window->isVisible());
    }
};

QTEST_MAIN(TestLaunch)
#include "tst_launch.moc"
