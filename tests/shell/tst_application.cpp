// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/DBusMock.h"
#include "support/FileContents.h"
#include "support/HttpTestServer.h"
#include "support/TempXdgHome.h"
#include "support/TestVideos.h"
#include "support/XvfbSession.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>
#include <csignal>
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

QList<Window> clientsOfType(const QByteArray& type) {
    QList<Window> found = session().clients();
    found.removeIf([&](Window window) {
        return !session().atoms(window, "_NET_WM_WINDOW_TYPE").contains(session().atom(type));
    });
    return found;
}

QList<Window> libraryWindows() {
    QList<Window> found = clientsOfType("_NET_WM_WINDOW_TYPE_NORMAL");
    found.removeIf([](Window window) { return session().outerBounds(window).width() < 760; });
    return found;
}

// Our viewable windows, in root coordinates, and whether each is a popup (override-redirect, so
// outside the window manager's list).
QList<std::pair<QRect, bool>> ourWindows() {
    QList<std::pair<QRect, bool>> found;
    const QString ids = QString::fromUtf8(
        session().run("xdotool", {"search", "--onlyvisible", "--class", "lumivale"}).output);
    for (const QString& id : ids.split('\n', Qt::SkipEmptyParts)) {
        const QString info = QString::fromUtf8(session().run("xwininfo", {"-id", id}).output);
        const auto field = [&](const QString& name) {
            return QRegularExpression(name + ": +(-?\\d+)").match(info).captured(1).toInt();
        };
        found.append({QRect(field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"),
                            field("Height")),
                      info.contains("Override Redirect State: yes")});
    }
    return found;
}

// Our icon, embedded by trayer (Qt makes it override-redirect too); null when there is none.
QRect trayIcon() {
    for (const auto& [bounds, popup] : ourWindows())
        if (!bounds.isEmpty() && bounds.width() <= 32 && bounds.height() <= 32)
            return bounds;
    return {};
}

// The displays that `--status --json` lists, by name.
QHash<QString, QJsonObject> displaysByName() {
    QHash<QString, QJsonObject> found;
    const QJsonDocument status = QJsonDocument::fromJson(lumivale({"--status", "--json"}).out.toUtf8());
    for (const QJsonValue display : status["displays"].toArray())
        found.insert(display["name"].toString(), display.toObject());
    return found;
}

QDBusMessage control(const QString& method, const QVariantList& arguments = {}) {
    QDBusMessage message = QDBusMessage::createMethodCall("org.lumivale.Lumivale", "/org/lumivale/Lumivale",
                                                          "org.lumivale.Lumivale.Control", method);
    message.setArguments(arguments);
    return message;
}

// A spot of the desktop that the library window and the tray leave free.
QRgb desktopPixel() {
    const QString path = session().tempPath() + QStringLiteral("/desktop.png");
    return session().screenshot(path) ? QImage(path).pixel(120, 1000) : 0;
}
} // namespace

// The built program under Xvfb, openbox and trayer, against a catalog on loopback, with empty folders.
class TestApplication : public QObject {
    Q_OBJECT

    TempXdgHome m_home;
    HttpTestServer m_server;
    TestVideos m_videos;
    QProcess m_app; // killed with the test object if a test leaves it running
    [[nodiscard]] QString root() const { return m_home.libraryRoot(); }

    // What the application keeps on disk.
    [[nodiscard]] QStringList stored() const {
        return {root() + "/catalog.json", root() + "/imported.json", m_home.preferencesFile()};
    }

    // The stored files that are there but do not decode.
    [[nodiscard]] QStringList undecodable() const {
        QStringList broken = stored();
        broken.removeIf([](const QString& path) {
            return !QFile::exists(path) || !QJsonDocument::fromJson(fileContents(path)).isNull();
        });
        return broken;
    }

    // Files other than the stored ones and the two downloads: anything a write left behind.
    [[nodiscard]] QStringList leftovers() const {
        const QStringList named =
            stored() + QStringList{root() + "/Library/hue.mp4", root() + "/Library/other.mp4"};
        QStringList extra;
        for (const QString& folder : {root(), m_home.configHome()}) {
            QDirIterator files(folder, QDir::Files | QDir::Hidden | QDir::System,
                               QDirIterator::Subdirectories);
            while (files.hasNext())
                if (const QString file = files.next(); !named.contains(file))
                    extra.append(file);
        }
        return extra;
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(DBusMock::onPrivateBuses());

        for (const auto& [id, video] :
             {std::pair("hue", TestVideo::Short1_5s), {"other", TestVideo::FourByThree}})
            m_server.setResponse(QString("/media/%1.mp4").arg(id),
                                 {.body = fileContents(m_videos.path(video))});
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

    void launchReachesTheCatalogAndPings() {
        QTRY_COMPARE_WITH_TIMEOUT(m_server.requestCount("/v1/catalog"), 1, 20'000);
        QTRY_VERIFY(m_server.requests().contains({"/v1/ping?e=first_run&v=" LUMIVALE_VERSION, "/v1/ping"}));
        // Not a login launch: the library window opens.
        QVERIFY(session().waitUntil([] { return libraryWindows().size() == 1; }, std::chrono::seconds(20)));
        // A tray that starts later still gets the icon.
        QVERIFY(!trayIcon().isValid());
        QVERIFY(session().start("trayer", {"--SetDockType", "true", "--edge", "top", "--align", "right",
                                           "--widthtype", "pixel", "--width", "120", "--height", "24"}));
        QVERIFY(session().waitUntil([] { return trayIcon().isValid(); }, std::chrono::seconds(20)));
    }

    void useDownloadsAndShowsTheWallpaper() {
        const QRgb before = desktopPixel();
        const Run use = lumivale({"--use", "hue"});
        QCOMPARE(use.exitCode, 0);
        QCOMPARE(use.out, QString("Playing\n"));
        QVERIFY(session().waitUntil([] { return clientsOfType("_NET_WM_WINDOW_TYPE_DESKTOP").size() == 2; }));
        // The video plays: the desktop changes, and keeps changing.
        QRgb seen = before;
        for (int change = 0; change < 2; ++change) {
            const QRgb from = seen;
            QVERIFY(session().waitUntil([&] { return (seen = desktopPixel()) != from; },
                                        std::chrono::seconds(15)));
        }
    }

    // A window over one display pauses the player that only this display shows.
    void coverShowsInTheStatus() {
        const QString right = displaysByName().value("RIGHT").value("key").toString();
        QCOMPARE(lumivale({"--use", "other", "--display", right}).exitCode, 0);
        QCOMPARE(displaysByName().value("LEFT").value("running"), QJsonValue(true));
        const std::optional<Window> window = session().createWindow({});
        QVERIFY(window && session().maximize(*window));
        QVERIFY(session().waitUntil(
            [] { return displaysByName().value("LEFT").value("running") == QJsonValue(false); },
            std::chrono::seconds(20)));
        QVERIFY(session().destroyWindow(*window));
        QCOMPARE(lumivale({"--use", "hue"}).exitCode, 0);
    }

    void pauseShowsInTheStatus() {
        QCOMPARE(lumivale({"--pause"}).out, QString("Paused: by you\n"));
        const Run status = lumivale({"--status"});
        QVERIFY2(status.out.startsWith("Paused: by you\nassigned: hue on all displays\ndisplay LEFT"),
                 qPrintable(status.out));
        // Text from elsewhere, here an id echoed in the error, reaches the terminal with its escapes shown.
        const Run hostile = lumivale({"--use", "x\x1b]52;c;aGk=\x07"});
        QCOMPARE(hostile.exitCode, 1);
        QVERIFY2(hostile.err.contains("x\\x1b]52;c;aGk=\\x07."), qPrintable(hostile.err));
    }

    // The rotation moves on after ten seconds of playing.
    void rotationChangesTheWallpaper() {
        QCOMPARE(lumivale({"--use", "other"}).exitCode, 0);
        const Run rotate = lumivale({"--rotate", "10s"});
        QVERIFY2(rotate.out.startsWith("rotation: every 10s, in order, next change in "),
                 qPrintable(rotate.out));
        QVERIFY(session().waitUntil(
            [&] { return lumivale({"--status"}).out.contains("assigned: hue on all displays"); },
            std::chrono::seconds(60)));
        const QJsonDocument status = QJsonDocument::fromJson(lumivale({"--status", "--json"}).out.toUtf8());
        QCOMPARE(status["rotation"]["interval"], QJsonValue(10));
        QVERIFY(status["rotation"]["timeLeft"].toInteger(-1) >= 0);
        QCOMPARE(lumivale({"--rotate", "off"}).out, QString("rotation: off\n"));
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

        // Without a bus the lock tells the second one apart.
        const QByteArray bus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
        const Run second = lumivale({});
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus);
        QCOMPARE(second.exitCode, 0);
        QVERIFY2(second.err.endsWith("Lumivale is already running.\n"), qPrintable(second.err));
    }

    void stopLeavesNoWallpaperWindow() {
        QCOMPARE(lumivale({"--stop"}).out, QString("No wallpaper set\n"));
        QVERIFY(session().waitUntil([] { return clientsOfType("_NET_WM_WINDOW_TYPE_DESKTOP").isEmpty(); }));
    }

    // Ctrl+Q in the open tray menu.
    void quitLeavesThePreferencesComplete() {
        const QPoint icon = trayIcon().center();
        QVERIFY(!icon.isNull());
        QCOMPARE(session()
                     .run("xdotool", {"mousemove", "--sync", QString::number(icon.x()),
                                      QString::number(icon.y()), "click", "1"})
                     .exitCode,
                 0);
        // Our menu: a popup tall enough for the items.
        const auto menuOpen = [] {
            const auto windows = ourWindows();
            return std::any_of(windows.cbegin(), windows.cend(), [](const auto& window) {
                return window.second && window.first.height() >= 60;
            });
        };
        QVERIFY(session().waitUntil(menuOpen, std::chrono::seconds(10)));
        QCOMPARE(session().run("xdotool", {"key", "ctrl+q"}).exitCode, 0);
        QVERIFY(QTest::qWaitFor([&] { return m_app.state() == QProcess::NotRunning; }, 20'000));
        QCOMPARE(m_app.exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_app.exitCode(), 0);

        const QJsonObject preferences =
            QJsonDocument::fromJson(fileContents(m_home.preferencesFile())).object();
        QCOMPARE(preferences.value("firstRunSent"), QJsonValue(true));
        QCOMPARE(preferences.value("userPaused"), QJsonValue(true));
        QCOMPARE(preferences.value("assignments"), QJsonValue(QJsonObject{}));
        QCOMPARE(preferences.value("rotationInterval"), QJsonValue(0));
        QVERIFY(preferences.value("LumivaleLibrary").isObject());
    }

    // Runs without a running Lumivale. A second launch whose first does not answer has done what it
    // could: here the name is held by a connection without the application's object.
    void exitCodes_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("nameHeld");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("errStart");
        const QString usage = "Usage: lumivale [command]\n";
        QTest::newRow("help") << QStringList{"--help"} << false << 0 << usage << "";
        QTest::newRow("version") << QStringList{"--version"} << false << 0
                                 << "Lumivale " LUMIVALE_VERSION "\n"
                                 << "";
        QTest::newRow("unknown option") << QStringList{"--bogus"} << false << 2 << ""
                                        << "Unknown argument: --bogus\n\n" + usage;
        QTest::newRow("command, nothing running") << QStringList{"--next"} << false << 1 << ""
                                                  << "Lumivale is not running.\n";
        QTest::newRow("second launch, no answer") << QStringList{} << true << 0 << ""
                                                  << "";
    }
    void exitCodes() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, nameHeld);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, errStart);
        QDBusConnection bus = QDBusConnection::sessionBus();
        const QString name = "org.lumivale.Lumivale";
        if (nameHeld)
            QVERIFY(bus.registerService(name));
        const Run run = lumivale(arguments);
        if (nameHeld)
            bus.unregisterService(name);
        QCOMPARE(run.exitCode, exitCode);
        // --help's usage is printed whole, ending with its newline.
        QVERIFY2(out.isEmpty() ? run.out.isEmpty() : run.out.startsWith(out.section('\n', 0, 0)),
                 qPrintable(run.out));
        QVERIFY(run.out.isEmpty() || run.out.endsWith('\n'));
        QVERIFY2(errStart.isEmpty() || run.err.startsWith(errStart), qPrintable(run.err));
    }

    // SIGKILL at random moments while it downloads and changes its preferences (LUMIVALE_KILL_ROUNDS
    // kills). After every kill each JSON file still decodes; after the next start no temporary or
    // orphan file is left.
    void killedAtAnyMoment() {
        // Downloads trickle in so that kills land in the middle of them.
        for (const QString id : {"hue", "other"})
            m_server.setResponse("/media/" + id + ".mp4",
                                 {.body = fileContents(m_videos.path(TestVideo::Short1_5s)),
                                  .chunkSize = 4096,
                                  .intervalMs = 40});
        const int rounds = std::max(qEnvironmentVariableIntValue("LUMIVALE_KILL_ROUNDS"), 6);
        const quint32 seed = QRandomGenerator::global()->generate();
        qInfo("seed %u", seed);
        QRandomGenerator random(seed);
        QDBusConnection bus = QDBusConnection::sessionBus();
        for (int round = 0; round <= rounds; ++round) {
            QProcess app;
            app.setProcessEnvironment(m_app.processEnvironment());
            app.start(QStringLiteral(LUMIVALE_BINARY), {});
            QVERIFY(QTest::qWaitFor(
                [&] { return bus.interface()->isServiceRegistered("org.lumivale.Lumivale").value(); },
                60'000));
            QCOMPARE(bus.call(control("Status"), QDBus::BlockWithGui, 60'000).type(),
                     QDBusMessage::ReplyMessage);

            // What the start left: the files of a kill in the middle of writing are gone by now.
            QCOMPARE(undecodable(), QStringList());
            QTRY_COMPARE_WITH_TIMEOUT(leftovers(), QStringList(), 20'000);
            if (round == rounds) {
                app.terminate();
                QVERIFY(app.waitForFinished());
                break;
            }

            bus.asyncCall(control("Use", {round % 2 ? "hue" : "other", "*"}));
            bus.asyncCall(control(round % 2 ? "Pause" : "Resume"));
            QTest::qWait(int(random.bounded(1500)));
            ::kill(pid_t(app.processId()), SIGKILL);
            QVERIFY(app.waitForFinished());
            QTRY_VERIFY(!bus.interface()->isServiceRegistered("org.lumivale.Lumivale").value());
            QCOMPARE(undecodable(), QStringList());
        }
    }
};

LUMIVALE_X11_TEST_MAIN(TestApplication)
#include "tst_application.moc"
