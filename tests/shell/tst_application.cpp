#include "support/DBusSandbox.h"
#include "support/HttpTestServer.h"
#include "support/TempXdgHome.h"
#include "support/TestVideos.h"
#include "support/XvfbSession.h"

#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <utility>

using Window = XvfbSession::Window;

namespace {
XvfbSession& session() {
    return *XvfbSession::current();
}

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

// One run of the built program as a user would type it; the test's own loop keeps serving meanwhile.
Run lumivale(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral(LUMIVALE_BINARY), arguments);
    if (!process.waitForStarted() ||
        !QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 120'000))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

bool hasType(Window window, const QByteArray& type) {
    return session().atoms(window, "_NET_WM_WINDOW_TYPE").contains(session().atom(type));
}

QList<Window> clientsOfType(const QByteArray& type) {
    QList<Window> found;
    for (const Window window : session().clients())
        if (hasType(window, type))
            found.append(window);
    return found;
}

QList<Window> libraryWindows() {
    QList<Window> found;
    for (const Window window : clientsOfType("_NET_WM_WINDOW_TYPE_NORMAL"))
        if (session().outerBounds(window).width() >= 760)
            found.append(window);
    return found;
}

// Our window inside trayer's panel (deeper in xwininfo's tree than the panel), icon-sized.
bool trayIconEmbedded() {
    const QStringList lines =
        QString::fromUtf8(session().run("xwininfo", {"-root", "-tree"}).output).split('\n');
    const auto depth = [](const QString& line) { return line.size() - line.trimmed().size(); };
    static const QRegularExpression icon("\\(\"lumivale\" \"Lumivale\"\\)\\s+(\\d+)x(\\d+)");
    qsizetype panelDepth = -1;
    for (const QString& line : lines) {
        if (line.contains("(\"panel\" \"trayer\")")) {
            panelDepth = depth(line);
            continue;
        }
        if (panelDepth < 0 || line.trimmed().isEmpty())
            continue;
        if (depth(line) <= panelDepth)
            panelDepth = -1;
        else if (const QRegularExpressionMatch found = icon.match(line);
                 found.hasMatch() && found.captured(1).toInt() <= 32 && found.captured(2).toInt() <= 32)
            return true;
    }
    return false;
}

// A spot of the desktop that the library window and the tray leave free.
QRgb desktopPixel() {
    const QString path = session().tempPath() + QStringLiteral("/desktop.png");
    if (!session().screenshot(path))
        return 0;
    return QImage(path).pixel(120, 1000);
}
} // namespace

// The built program under Xvfb, openbox and trayer, against a catalog on loopback, with empty folders.
class TestApplication : public QObject {
    Q_OBJECT

    TempXdgHome m_home;
    HttpTestServer m_server;
    TestVideos m_videos;
    std::unique_ptr<DBusSandbox> m_buses;
    QProcess m_app;

private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(session().isReady(), qPrintable(session().error()));
        m_buses = std::make_unique<DBusSandbox>();
        QVERIFY(m_buses->isReady());

        QFile hue(m_videos.path(TestVideo::Short1_5s));
        QVERIFY(hue.open(QIODevice::ReadOnly));
        m_server.setResponse("/media/hue.mp4", {.status = 200, .body = hue.readAll()});
        QFile bars(m_videos.path(TestVideo::FourByThree));
        QVERIFY(bars.open(QIODevice::ReadOnly));
        m_server.setResponse("/media/other.mp4", {.status = 200, .body = bars.readAll()});
        const auto record = [&](const QString& id, const QString& category) {
            return QJsonObject{{"id", id},
                               {"title", id.toUpper()},
                               {"category", category},
                               {"video", m_server.url("/media/" + id + ".mp4").toString()}};
        };
        const QJsonObject catalog{
            {"wallpapers", QJsonArray{record("hue", "Colour"), record("other", "Other")}}};
        m_server.setResponse("/v1/catalog", {.status = 200, .body = QJsonDocument(catalog).toJson()});
        qputenv("LUMIVALE_CATALOG_URL", m_server.baseUrl().toString().toUtf8());

        m_app.setProcessChannelMode(QProcess::ForwardedChannels);
        // Under the sanitizers: the GL driver is unloaded before the leak check runs, so its allocations
        // can be neither attributed nor suppressed. The shell's own code is leak-checked in-process.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("ASAN_OPTIONS", environment.value("ASAN_OPTIONS") + ":detect_leaks=0");
        m_app.setProcessEnvironment(environment);
        m_app.start(QStringLiteral(LUMIVALE_BINARY), {});
        QVERIFY(m_app.waitForStarted());
    }

    void cleanupTestCase() {
        if (m_app.state() != QProcess::NotRunning) {
            m_app.terminate();
            m_app.waitForFinished();
        }
        m_buses.reset();
    }

    void launchReachesTheCatalogAndPings() {
        QTRY_COMPARE_WITH_TIMEOUT(m_server.requestCount("/v1/catalog"), 1, 20'000);
        QTRY_COMPARE(m_server.requestCount("/v1/ping"), 1);
        const QList<HttpTestServer::Request> requests = m_server.requests();
        const auto ping = std::find_if(requests.cbegin(), requests.cend(),
                                       [](const auto& request) { return request.path == "/v1/ping"; });
        QCOMPARE(ping->target, QByteArray("/v1/ping?e=first_run&v=" LUMIVALE_VERSION));
        // Not a login launch: the library window opens.
        QVERIFY(session().waitUntil([] { return libraryWindows().size() == 1; }, std::chrono::seconds(20)));
        // A tray that starts later still gets the icon.
        QVERIFY(!trayIconEmbedded());
        QVERIFY(session().start("trayer", {"--SetDockType", "true", "--edge", "top", "--align", "right",
                                           "--widthtype", "pixel", "--width", "120", "--height", "24"}));
        QVERIFY(session().waitUntil(trayIconEmbedded, std::chrono::seconds(20)));
    }

    void useDownloadsAndShowsTheWallpaper() {
        const QRgb before = desktopPixel();
        const Run use = lumivale({"--use", "hue"});
        QCOMPARE(use.exitCode, 0);
        QCOMPARE(use.out, QString("Playing\n"));
        QCOMPARE(m_server.requestCount("/media/hue.mp4"), 1);
        QVERIFY(QFile::exists(m_home.libraryRoot() + "/Library/hue.mp4"));
        QVERIFY(session().waitUntil([] { return clientsOfType("_NET_WM_WINDOW_TYPE_DESKTOP").size() == 1; }));
        // The video plays: the desktop changes, and keeps changing.
        QRgb seen = before;
        for (int change = 0; change < 2; ++change) {
            const QRgb from = seen;
            QVERIFY(session().waitUntil([&] { return (seen = desktopPixel()) != from; },
                                        std::chrono::seconds(15)));
        }
        QVERIFY(session().screenshot(session().tempPath() + "/playing.png"));
    }

    void pauseShowsInTheStatus() {
        const Run pause = lumivale({"--pause"});
        QCOMPARE(pause.exitCode, 0);
        QCOMPARE(pause.out, QString("Paused: by you\n"));
        const Run status = lumivale({"--status"});
        QCOMPARE(status.exitCode, 0);
        QCOMPARE(status.out.section('\n', 0, 0), QString("Paused: by you"));
        QVERIFY(status.out.contains("assigned: hue on all displays"));
        QVERIFY(status.out.contains("display LEFT"));
        QVERIFY(status.out.contains(": hue, paused"));
        const QJsonObject json =
            QJsonDocument::fromJson(lumivale({"--status", "--json"}).out.toUtf8()).object();
        QCOMPARE(json.value("pauseReason").toString(), QString("by you"));
        QCOMPARE(json.value("assignments").toObject(), (QJsonObject{{"*", "hue"}}));
        QCOMPARE(lumivale({"--use", "missing"}).exitCode, 1);
    }

    // Still colour bars, then the changing hue clip: the rotation moves on after ten seconds of playing.
    void rotationChangesTheWallpaper() {
        QCOMPARE(lumivale({"--use", "other"}).exitCode, 0);
        QRgb bars = 0;
        QVERIFY(session().waitUntil([&] { return std::exchange(bars, desktopPixel()) == bars && bars; },
                                    std::chrono::seconds(20)));
        const Run rotate = lumivale({"--rotate", "10s"});
        QCOMPARE(rotate.exitCode, 0);
        QVERIFY2(rotate.out.startsWith("rotation: every 10s, in order, next change in "),
                 qPrintable(rotate.out));
        QVERIFY(session().waitUntil(
            [&] { return lumivale({"--status"}).out.contains("assigned: hue on all displays"); },
            std::chrono::seconds(60)));
        QVERIFY(session().waitUntil([&] { return desktopPixel() != bars; }, std::chrono::seconds(20)));
        const QJsonObject rotation =
            QJsonDocument::fromJson(lumivale({"--status", "--json"}).out.toUtf8())["rotation"].toObject();
        QCOMPARE(rotation.value("interval"), QJsonValue(10));
        QVERIFY(rotation.value("timeLeft").toInteger(-1) >= 0);
        QCOMPARE(lumivale({"--rotate", "off"}).out, QString("rotation: off\n"));
        QVERIFY(lumivale({"--rotate", "5s"}).exitCode != 0);
        QCOMPARE(lumivale({"--pause"}).exitCode, 0);
    }

    void secondLaunchShowsTheLibrary() {
        const QList<Window> windows = libraryWindows();
        QCOMPARE(windows.size(), 1);
        QCOMPARE(session().run("wmctrl", {"-i", "-c", QString::number(windows.first())}).exitCode, 0);
        QVERIFY(session().waitUntil([] { return libraryWindows().isEmpty(); }));
        QCOMPARE(m_app.state(), QProcess::Running);

        QCOMPARE(lumivale({}).exitCode, 0);
        QVERIFY(session().waitUntil([] { return libraryWindows().size() == 1; }));
        QCOMPARE(m_app.state(), QProcess::Running);
    }

    void stopLeavesNoWallpaperWindow() {
        const Run stop = lumivale({"--stop"});
        QCOMPARE(stop.exitCode, 0);
        QCOMPARE(stop.out, QString("No wallpaper set\n"));
        QVERIFY(session().waitUntil([] { return clientsOfType("_NET_WM_WINDOW_TYPE_DESKTOP").isEmpty(); }));
    }

    void quitLeavesThePreferencesComplete() {
        const Window library = libraryWindows().value(0);
        QVERIFY(library);
        QCOMPARE(session()
                     .run("xdotool", {"windowactivate", "--sync", QString::number(library), "key", "ctrl+q"})
                     .exitCode,
                 0);
        QVERIFY(QTest::qWaitFor([&] { return m_app.state() == QProcess::NotRunning; }, 20'000));
        QCOMPARE(m_app.exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_app.exitCode(), 0);

        QFile file(m_home.preferencesFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QJsonObject preferences = QJsonDocument::fromJson(file.readAll()).object();
        QCOMPARE(preferences.value("firstRunSent"), QJsonValue(true));
        QCOMPARE(preferences.value("userPaused"), QJsonValue(true));
        QCOMPARE(preferences.value("assignments"), QJsonValue(QJsonObject{}));
        QCOMPARE(preferences.value("rotationInterval"), QJsonValue(0));
        QVERIFY(preferences.value("LumivaleLibrary").isObject());
    }
};

LUMIVALE_X11_TEST_MAIN_WITH(TestApplication, (XvfbSession::Options{.rootSize = {1920, 1080},
                                                                   .monitors = {XvfbMonitor::left()}}))
#include "tst_application.moc"
