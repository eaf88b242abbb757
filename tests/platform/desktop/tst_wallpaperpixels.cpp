// SPDX-License-Identifier: GPL-3.0-or-later
// What the wallpaper puts on a real X server's screens (Xvfb, openbox, monitors LEFT and RIGHT, each
// 1920x1080), read back with screenshots: the video moves, both displays show the same frame, and a
// video of another aspect ratio fills its display, cropped, never letterboxed.
#include "DesktopRig.h"
#include "platform/desktop/X11WallpaperWindow.h"
#include "support/TestVideos.h"
#include "support/XvfbSession.h"

#include <QTest>
#include <cmath>

namespace {

const QRect leftDisplay(0, 0, 1920, 1080);
const QRect rightDisplay(1920, 0, 1920, 1080);

// Mean difference of one channel-averaged pixel column of two same-height images.
double columnDifference(const QImage& shot, int shotX, const QImage& reference, int referenceX) {
    double sum = 0;
    for (int y = 0; y < reference.height(); ++y) {
        const QRgb a = shot.pixel(shotX, y);
        const QRgb b = reference.pixel(referenceX, y);
        sum +=
            (std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b))) /
            3.0;
    }
    return sum / reference.height();
}

} // namespace

class TestWallpaperPixels : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void videoMovesInStepOnBothDisplays() {
        DesktopRig rig;
        rig.addVideo("a", m_videos.path(TestVideo::Long10s));
        WallpaperEngine& engine = rig.start({{"*", "a"}});
        QVERIFY(rig.waitForNewFrames({rig.window("LEFT"), rig.window("RIGHT")}));

        const QImage first = screenshot("moving-1.png");
        QTest::qWait(1000);
        const QImage second = screenshot("moving-2.png");
        QVERIFY(!first.isNull() && !second.isNull());
        QVERIFY(meanBrightness(first, leftDisplay) > 40);
        QVERIFY(differingPixels(first.copy(leftDisplay), second.copy(leftDisplay)) > 10'000);
        QVERIFY(differingPixels(first.copy(rightDisplay), second.copy(rightDisplay)) > 10'000);

        // Both windows get each frame one right after the other; should a screenshot fall in
        // between, take another. Two decoders would hardly ever agree.
        bool inStep = false;
        for (int attempt = 0; attempt < 10 && !inStep; ++attempt) {
            QTest::qWait(150);
            const QImage shot = screenshot("in-step.png");
            inStep = differingPixels(shot.copy(leftDisplay), shot.copy(rightDisplay), 2) == 0;
        }
        QVERIFY(inStep);

        // Paused by the user: the picture stands still and is the same on both displays.
        engine.setUserPaused(true);
        QTest::qWait(300);
        const QImage still = screenshot("paused-1.png");
        QTest::qWait(700);
        const QImage later = screenshot("paused-2.png");
        QCOMPARE(differingPixels(still, later, 2), 0);
        QCOMPARE(differingPixels(still.copy(leftDisplay), still.copy(rightDisplay), 2), 0);
    }

    // A 640x480 video on a 1920x1080 display: scaled to 1920x1440 and cropped by 180 rows at the top
    // and at the bottom, like ffmpeg's scale and crop make it; a letterboxed or stretched picture
    // would differ. Drawn both ways: copied from the shared texture onto two displays, and rendered
    // straight into the only display that shows it.
    void otherAspectRatioFillsTheDisplayCropped() {
        XvfbSession& session = *XvfbSession::current();
        DesktopRig rig;
        const QString bars = m_videos.path(TestVideo::FourByThree);
        rig.addVideo("bars", bars);
        WallpaperEngine& engine = rig.start({{"*", "bars"}});
        QVERIFY(rig.waitForNewFrames({rig.window("LEFT"), rig.window("RIGHT")}));

        const auto reference = [&](const QString& name, const QString& filter) {
            const QString path = session.tempPath() + QLatin1Char('/') + name;
            const XvfbSession::RunResult made = session.run(
                "ffmpeg", {"-loglevel", "error", "-y", "-i", bars, "-frames:v", "1", "-vf", filter, path},
                std::chrono::seconds(30));
            return made.exitCode == 0 ? QImage(path).convertToFormat(QImage::Format_RGB32) : QImage();
        };
        const QImage cropped = reference("cropped.png", "scale=1920:1440,crop=1920:1080");
        const QImage letterboxed = reference("letterboxed.png", "scale=1440:1080,pad=1920:1080:240:0");
        const QImage stretched = reference("stretched.png", "scale=1920:1080");
        QCOMPARE(cropped.size(), QSize(1920, 1080));

        const auto fillsCropped = [&](const QImage& shot, int left) {
            double croppedTotal = 0;
            double stretchedTotal = 0;
            // Columns at the edges and in the middle of the bars, away from their borders.
            for (const int x : {4, 137, 411, 686, 960, 1234, 1509, 1783, 1915}) {
                const double crop = columnDifference(shot, left + x, cropped, x);
                if (crop >= 6) {
                    qWarning("column %d differs by %.1f", left + x, crop);
                    return false;
                }
                if ((x < 240 || x >= 1680) && columnDifference(shot, left + x, letterboxed, x) < 10 * crop)
                    return false;
                croppedTotal += crop;
                stretchedTotal += columnDifference(shot, left + x, stretched, x);
            }
            return stretchedTotal > 3 * croppedTotal;
        };

        const QImage shared = screenshot("four-by-three-shared.png");
        QVERIFY(!shared.isNull());
        QVERIFY(fillsCropped(shared, leftDisplay.left()));
        QVERIFY(fillsCropped(shared, rightDisplay.left()));

        engine.setAssignments({{rig.keyOf("LEFT"), "bars"}});
        engine.apply();
        QVERIFY(!rig.window("RIGHT"));
        QVERIFY(rig.waitForNewFrames({rig.window("LEFT")}));
        const QImage alone = screenshot("four-by-three.png");
        QVERIFY(!alone.isNull());
        QVERIFY(fillsCropped(alone, leftDisplay.left()));
        QVERIFY(meanBrightness(alone, rightDisplay) < 1); // no window there: the black root
    }

private:
    TestVideos m_videos;
};

LUMIVALE_X11_TEST_MAIN_WITH(TestWallpaperPixels, desktopSession())
#include "tst_wallpaperpixels.moc"
