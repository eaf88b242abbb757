// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Preferences.h"
#include "engine/WallpaperEngine.h"
#include "fakes/FakeSystemConditions.h"
#include "library/LibraryStore.h"
#include "platform/mpv/MpvSharedPlayer.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandScreenSource.h"
#include "platform/wayland/WaylandWallpaperFactory.h"
#include "platform/wayland/WaylandWallpaperWindow.h"
#include "platform/wayland/WaylandWindowList.h"
#include "support/TempXdgHome.h"
#include "support/TestVideos.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

namespace {
// Runs swaymsg or grim to its end.
bool run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished() && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// grim's picture of one output at its full pixel size; a null image when grim failed.
QImage screenshot(const QString& output) {
    const QString path = qEnvironmentVariable("XDG_RUNTIME_DIR") + "/" + output + ".png";
    return run("grim", {"-o", output, path}) ? QImage(path).convertToFormat(QImage::Format_RGB32) : QImage();
}

// How many pixels differ by more than a little in some channel.
qsizetype differingPixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size())
        return std::max<qsizetype>(1, qsizetype(a.width()) * a.height());
    qsizetype count = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            count += std::abs(qRed(p) - qRed(q)) > 8 || std::abs(qGreen(p) - qGreen(q)) > 8 ||
                     std::abs(qBlue(p) - qBlue(q)) > 8;
        }
    }
    return count;
}
} // namespace

// The engine on the headless sway of tests/support/on-sway (two 1280x720 outputs, the second at scale
// 2), through the real Wayland screens, window list, layer-shell windows and libmpv players.
class TestWaylandWallpaper : public QObject {
    Q_OBJECT

    TestVideos m_videos;
    FakeSystemConditions m_conditions;
    std::unique_ptr<WaylandConnection> m_connection;
    std::unique_ptr<WaylandScreenSource> m_screens;
    std::unique_ptr<WaylandWindowList> m_windowList;
    std::unique_ptr<WaylandWallpaperFactory> m_factory;
    std::unique_ptr<TempXdgHome> m_home;
    std::unique_ptr<Preferences> m_preferences;
    std::unique_ptr<LibraryStore> m_store;
    std::unique_ptr<WallpaperEngine> m_engine;

    void start(const QMap<QString, QString>& assignments) {
        m_home = std::make_unique<TempXdgHome>();
        QVERIFY(QDir().mkpath(m_home->libraryRoot() + "/Library"));
        QVERIFY(QDir().mkpath(QFileInfo(m_home->preferencesFile()).path()));
        QVERIFY(QFile::link(m_videos.path(TestVideo::Long10s), m_home->libraryRoot() + "/Library/long.mp4"));
        QVERIFY(
            QFile::link(m_videos.path(TestVideo::Short1_5s), m_home->libraryRoot() + "/Library/short.mp4"));
        m_preferences = std::make_unique<Preferences>(m_home->preferencesFile());
        m_store = std::make_unique<LibraryStore>(m_home->libraryRoot());
        m_engine = std::make_unique<WallpaperEngine>(*m_store, *m_preferences,
                                                     EnginePlatform{.screens = *m_screens,
                                                                    .factory = *m_factory,
                                                                    .conditions = m_conditions,
                                                                    .windowList = *m_windowList});
        m_engine->setAssignments(assignments);
        m_store->setWallpaperTarget(m_engine.get());
        m_engine->start();
    }

    [[nodiscard]] WaylandWallpaperWindow* window(const QString& output) const {
        for (WaylandWallpaperWindow* window : m_factory->windows()) {
            if (window->outputName() == output)
                return window;
        }
        return nullptr;
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
        if (m_store)
            m_store->setWallpaperTarget(nullptr);
        m_engine.reset();
        m_factory.reset();
        m_windowList.reset();
        m_screens.reset();
        m_connection.reset();
        m_store.reset();
        m_preferences.reset();
        m_home.reset();
    }

    void oneDecoderShowsOnBothOutputsInStep() {
        start({{"*", "long"}});
        QVERIFY(waitForFrames("HEADLESS-1") && waitForFrames("HEADLESS-2"));
        QCOMPARE(m_factory->players().size(), 1);
        // Full pixels on the scale-2 output: its logical half size is drawn at the output's size.
        QCOMPARE(window("HEADLESS-2")->frame().size(), QSize(640, 360));
        QCOMPARE(window("HEADLESS-2")->videoPixelSize(), QSize(1280, 720));

        const QImage before = screenshot("HEADLESS-1");
        QTest::qWait(500);
        QVERIFY(differingPixels(before, screenshot("HEADLESS-1")) > 1000);
        // Paused, both outputs keep the last frame: the same one.
        m_factory->players().first()->pause();
        QTest::qWait(1000);
        const QImage right = screenshot("HEADLESS-2");
        QCOMPARE(right.size(), QSize(1280, 720));
        QCOMPARE(differingPixels(screenshot("HEADLESS-1"), right), 0);
    }

    void fullscreenWindowPausesOnlyItsOutput() {
        start({{"HEADLESS-1", "long"}, {"HEADLESS-2", "short"}});
        QVERIFY(waitForFrames("HEADLESS-1") && waitForFrames("HEADLESS-2"));
        QCOMPARE(m_factory->players().size(), 2);
        const auto rateOn = [&](const QString& output) { return window(output)->player()->rate(); };

        // sway puts the new window on the focused output.
        QVERIFY(run("swaymsg", {"focus", "output", "HEADLESS-1"}));
        QProcess mpv;
        mpv.start("mpv",
                  {"--vo=wlshm", "--fs", "--loop-file=inf", "--no-audio", m_videos.path(TestVideo::Long10s)});
        QVERIFY(QTest::qWaitFor([&] { return rateOn("HEADLESS-1") == 0.0; }, 60'000));
        QVERIFY(!window("HEADLESS-1")->isVisible() || m_engine->screensUnderAWindow().contains("HEADLESS-1"));
        QCOMPARE(rateOn("HEADLESS-2"), 1.0);
        mpv.kill();
        mpv.waitForFinished();
        QVERIFY(QTest::qWaitFor([&] { return rateOn("HEADLESS-1") == 1.0; }, 60'000));
    }

    // Last: the new output stays.
    void outputAddedAtRuntimeGetsItsWallpaper() {
        start({{"*", "long"}});
        QVERIFY(waitForFrames("HEADLESS-1"));
        QVERIFY(run("swaymsg", {"create_output"}));
        QVERIFY(waitForFrames("HEADLESS-3"));
        QCOMPARE(m_factory->players().size(), 1);
        const QImage shot = screenshot("HEADLESS-3");
        QVERIFY(!shot.isNull());
        QImage black(shot.size(), QImage::Format_RGB32);
        black.fill(Qt::black);
        QVERIFY(differingPixels(shot, black) > shot.width() * shot.height() / 2);
    }
};

QTEST_GUILESS_MAIN(TestWaylandWallpaper)
#include "tst_waylandwallpaper.moc"
