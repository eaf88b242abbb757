// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakes/EngineRig.h"
#include "platform/mpv/MpvSharedPlayer.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandScreenSource.h"
#include "platform/wayland/WaylandWallpaperFactory.h"
#include "platform/wayland/WaylandWallpaperWindow.h"
#include "platform/wayland/WaylandWindowList.h"
#include "support/TestVideos.h"

#include <QFile>
#include <QProcess>
#include <QTest>

namespace {
// Runs swaymsg or grim to its end.
bool run(const QString& program, const QStringList& arguments) {
    return QProcess::execute(program, arguments) == 0;
}

// grim's picture of one output at its full pixel size; a null image when grim failed.
QImage screenshot(const QString& output) {
    const QString path = qEnvironmentVariable("XDG_RUNTIME_DIR") + "/" + output + ".png";
    return run("grim", {"-o", output, path}) ? QImage(path).convertToFormat(QImage::Format_RGB32) : QImage();
}
} // namespace

// The engine on the headless sway of tests/support/on-sway (two 1280x720 outputs, the second at scale
// 2), through the real Wayland screens, window list, layer-shell windows and libmpv players.
class TestWaylandWallpaper : public QObject {
    Q_OBJECT

    TestVideos m_videos;
    std::unique_ptr<WaylandConnection> m_connection;
    std::unique_ptr<WaylandScreenSource> m_screens;
    std::unique_ptr<WaylandWindowList> m_windowList;
    std::unique_ptr<WaylandWallpaperFactory> m_factory;
    std::unique_ptr<EngineRig> m_rig;

    void start(const QMap<QString, QString>& assignments) {
        m_rig = std::make_unique<EngineRig>();
        const QString library = m_rig->home.libraryRoot() + "/Library/";
        QVERIFY(QFile::link(m_videos.path(TestVideo::Long10s), library + "long.mp4"));
        QVERIFY(QFile::link(m_videos.path(TestVideo::Short1_5s), library + "short.mp4"));
        m_rig->build(EnginePlatform{*m_screens, *m_factory, m_rig->fakes.conditions, *m_windowList});
        m_rig->engine->setAssignments(assignments);
        m_rig->engine->start();
    }

    [[nodiscard]] WaylandWallpaperWindow* window(const QString& output) const {
        const QList<WaylandWallpaperWindow*> windows = m_factory->windows();
        const auto found = std::ranges::find(windows, output, &WaylandWallpaperWindow::outputName);
        return found == windows.end() ? nullptr : *found;
    }

    [[nodiscard]] bool waitForFrames(const QString& output) const {
        return QTest::qWaitFor([&] { return window(output) && window(output)->framesShown() >= 5; }, 60'000);
    }

private Q_SLOTS:
    void init() {
        m_connection = WaylandConnection::connect();
        QVERIFY(m_connection);
        m_screens = std::make_unique<WaylandScreenSource>(*m_connection);
        m_windowList = std::make_unique<WaylandWindowList>(*m_connection);
        m_factory = std::make_unique<WaylandWallpaperFactory>(*m_connection);
    }

    void cleanup() {
        m_rig.reset();
        m_factory.reset();
        m_windowList.reset();
        m_screens.reset();
        m_connection.reset();
    }

    void oneDecoderInStepThenAFullscreenWindowPausesItsOutput() {
        start({{"*", "long"}});
        QVERIFY(waitForFrames("HEADLESS-1") && waitForFrames("HEADLESS-2"));
        QCOMPARE(m_factory->players().size(), 1);
        // Full pixels on the scale-2 output: its logical half size is drawn at the output's size.
        QCOMPARE(window("HEADLESS-2")->frame().size(), QSize(640, 360));
        QCOMPARE(window("HEADLESS-2")->videoPixelSize(), QSize(1280, 720));

        const QImage before = screenshot("HEADLESS-1");
        QTest::qWait(500);
        QVERIFY(screenshot("HEADLESS-1") != before);
        // Paused, both outputs keep the last frame: the same one.
        m_factory->players().first()->pause();
        QTest::qWait(1000);
        const QImage right = screenshot("HEADLESS-2");
        QCOMPARE(right.size(), QSize(1280, 720));
        QCOMPARE(screenshot("HEADLESS-1"), right);

        // A full-screen window pauses only the player of its output.
        m_rig->engine->setAssignments({{"HEADLESS-1", "long"}, {"HEADLESS-2", "short"}});
        m_rig->engine->apply();
        QCOMPARE(m_factory->players().size(), 2);
        const auto rateOn = [&](const QString& output) { return window(output)->player()->rate(); };

        // sway puts the new window on the focused output.
        QVERIFY(run("swaymsg", {"focus", "output", "HEADLESS-1"}));
        QProcess mpv;
        mpv.start("mpv",
                  {"--vo=wlshm", "--fs", "--loop-file=inf", "--no-audio", m_videos.path(TestVideo::Long10s)});
        QVERIFY(QTest::qWaitFor([&] { return rateOn("HEADLESS-1") == 0.0; }, 60'000));
        QVERIFY(!window("HEADLESS-1")->isVisible() ||
                m_rig->engine->screensUnderAWindow().contains("HEADLESS-1"));
        QCOMPARE(rateOn("HEADLESS-2"), 1.0);
        mpv.kill();
        QVERIFY(QTest::qWaitFor([&] { return rateOn("HEADLESS-1") == 1.0; }, 60'000));
    }

    // On a sway of its own, nested in the tests' one, with swaybg beside it: an output unplugged while
    // it plays, one plugged in, then the compositor gone.
    void outputsComeAndGoThenTheCompositorDies() {
        cleanup();
        qputenv("SWAY_PARENT", qgetenv("WAYLAND_DISPLAY"));
        QProcess nested;
        nested.start(qEnvironmentVariable("ON_SWAY"), {"sh", "-c", "echo $WAYLAND_DISPLAY $SWAYSOCK; cat"});
        QVERIFY(nested.waitForReadyRead(60'000));
        const QList<QByteArray> sockets = nested.readLine().trimmed().split(' ');
        qputenv("WAYLAND_DISPLAY", sockets.first());
        // It goes with its compositor.
        QVERIFY(QProcess::startDetached("swaybg", {"-c", "#ff0000"}));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^swaybg also draws a wallpaper"));
        init();
        qputenv("WAYLAND_DISPLAY", qgetenv("SWAY_PARENT"));

        start({{"*", "long"}});
        QVERIFY(waitForFrames("WL-1") && waitForFrames("WL-2"));
        QVERIFY(run("swaymsg", {"[title=\"wlroots - WL-2\"]", "kill"}));
        QVERIFY(QTest::qWaitFor([&] { return m_screens->screens().size() == 1; }, 60'000));
        QCOMPARE(m_screens->screens().first().platformName, "WL-1");
        const quint64 shown = window("WL-1")->framesShown();
        QVERIFY(QTest::qWaitFor([&] { return window("WL-1")->framesShown() > shown + 5; }, 60'000));
        QVERIFY(run("swaymsg", {"-s", QString::fromUtf8(sockets.last()), "create_output"}));
        QVERIFY(waitForFrames("WL-3"));
        QCOMPARE(m_factory->players().size(), 1);

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Lost the connection to the compositor"));
        nested.closeWriteChannel();
        QVERIFY(nested.waitForFinished());
        QVERIFY(QTest::qWaitFor([&] { return m_connection->isLost(); }, 60'000));
        for (const WaylandWallpaperWindow* window : m_factory->windows())
            QVERIFY(!window->isVisible());
        QVERIFY(QTest::qWaitFor([&] { return m_factory->players().first()->rate() == 0.0; }, 60'000));
    }
};

QTEST_GUILESS_MAIN(TestWaylandWallpaper)
#include "tst_waylandwallpaper.moc"
