// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/PreferenceKeys.h"
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
#include "support/SwaySession.h"
#include "support/TempXdgHome.h"
#include "support/TestVideos.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QTest>

using namespace std::chrono_literals;

namespace {

// How many pixels differ by more than a little in some channel.
qsizetype differingPixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size())
        return std::max<qsizetype>(1, qsizetype(a.width()) * a.height());
    qsizetype count = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* left = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* right = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            const bool same = std::abs(qRed(left[x]) - qRed(right[x])) <= 8 &&
                              std::abs(qGreen(left[x]) - qGreen(right[x])) <= 8 &&
                              std::abs(qBlue(left[x]) - qBlue(right[x])) <= 8;
            count += same ? 0 : 1;
        }
    }
    return count;
}

} // namespace

// The engine on a headless sway with two 1280x720 outputs, the second at scale 2, through the real
// Wayland screens, window list, layer-shell windows and libmpv players.
class TestWaylandWallpaper : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<SwaySession> m_sway;
    std::unique_ptr<WaylandConnection> m_connection;
    std::unique_ptr<WaylandScreenSource> m_screens;
    std::unique_ptr<WaylandWindowList> m_windowList;
    std::unique_ptr<WaylandWallpaperFactory> m_factory;
    FakeSystemConditions m_conditions;
    TestVideos m_videos;
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
        QJsonObject stored;
        for (auto it = assignments.cbegin(); it != assignments.cend(); ++it)
            stored.insert(it.key(), it.value());
        m_preferences->setValue(PreferenceKeys::assignments, stored);
        m_store = std::make_unique<LibraryStore>(m_home->libraryRoot());
        m_engine = std::make_unique<WallpaperEngine>(*m_store, *m_preferences,
                                                     EnginePlatform{.screens = *m_screens,
                                                                    .factory = *m_factory,
                                                                    .conditions = m_conditions,
                                                                    .windowList = *m_windowList});
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

    [[nodiscard]] bool waitForFrames(const QString& output, quint64 frames = 5) const {
        return QTest::qWaitFor(
            [&] {
                const WaylandWallpaperWindow* shown = window(output);
                return shown && shown->framesShown() >= frames;
            },
            20'000);
    }

private Q_SLOTS:
    void init() {
        m_sway = std::make_unique<SwaySession>(
            QStringList{"output HEADLESS-1 resolution 1280x720 position 0 0",
                        "output HEADLESS-2 resolution 1280x720 position 1280 0 scale 2"});
        QVERIFY2(m_sway->isReady(), qPrintable(m_sway->error()));
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
        m_sway.reset();
    }

    void oneDecoderShowsOnBothOutputsInStep() {
        start({{"*", "long"}});
        QVERIFY(waitForFrames("HEADLESS-1") && waitForFrames("HEADLESS-2"));
        QCOMPARE(m_factory->players().size(), 1);
        // Full pixels on the scale-2 output: its logical half size is drawn at the output's size.
        QCOMPARE(window("HEADLESS-2")->frame().size(), QSize(640, 360));
        QCOMPARE(window("HEADLESS-2")->videoPixelSize(), QSize(1280, 720));

        const QImage before = m_sway->screenshot("HEADLESS-1");
        QTest::qWait(500);
        QVERIFY(differingPixels(before, m_sway->screenshot("HEADLESS-1")) > 1000);

        // Paused, both outputs keep the last frame: the same one.
        m_factory->players().first()->pause();
        QTest::qWait(1000);
        const QImage left = m_sway->screenshot("HEADLESS-1");
        const QImage right = m_sway->screenshot("HEADLESS-2");
        QCOMPARE(right.size(), QSize(1280, 720));
        QCOMPARE(differingPixels(left, right), 0);
    }

    void fullscreenWindowPausesOnlyItsOutput() {
        start({{"HEADLESS-1", "long"}, {"HEADLESS-2", "short"}});
        QVERIFY(waitForFrames("HEADLESS-1") && waitForFrames("HEADLESS-2"));
        QCOMPARE(m_factory->players().size(), 2);
        const auto playerOn = [&](const QString& output) { return window(output)->player(); };

        // sway puts the new window on the focused output.
        QVERIFY(m_sway->message({"focus", "output", "HEADLESS-1"}));
        QVERIFY(m_sway->startClient("mpv", {"--vo=wlshm", "--fs", "--loop-file=inf", "--no-audio",
                                            m_videos.path(TestVideo::Long10s)}));
        QVERIFY(QTest::qWaitFor([&] { return playerOn("HEADLESS-1")->rate() == 0.0; }, 20'000));
        QVERIFY(!window("HEADLESS-1")->isVisible() || m_engine->screensUnderAWindow().contains("HEADLESS-1"));
        QCOMPARE(playerOn("HEADLESS-2")->rate(), 1.0);

        m_sway->stopClients();
        QVERIFY(QTest::qWaitFor([&] { return playerOn("HEADLESS-1")->rate() == 1.0; }, 20'000));
    }

    void outputAddedAtRuntimeGetsItsWallpaper() {
        start({{"*", "long"}});
        QVERIFY(waitForFrames("HEADLESS-1"));
        QVERIFY(m_sway->message({"create_output"}));
        QVERIFY(waitForFrames("HEADLESS-3"));
        QCOMPARE(m_factory->players().size(), 1);
        const QImage shot = m_sway->screenshot("HEADLESS-3");
        QVERIFY(!shot.isNull());
        QImage black(shot.size(), QImage::Format_RGB32);
        black.fill(Qt::black);
        QVERIFY(differingPixels(shot, black) > shot.width() * shot.height() / 2);
    }
};

QTEST_GUILESS_MAIN(TestWaylandWallpaper)
#include "tst_waylandwallpaper.moc"
