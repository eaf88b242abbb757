// SPDX-License-Identifier: GPL-3.0-or-later
// The wallpaper on a real X server (openbox, monitors LEFT and RIGHT, each 1920x1080), driven by the
// engine through the real screens, window list, wallpaper windows and libmpv players; only the power
// and session conditions are faked. What reaches the screens is read back with screenshots.
#include "core/Preferences.h"
#include "engine/WallpaperEngine.h"
#include "fakes/EngineRig.h"
#include "library/LibraryStore.h"
#include "platform/desktop/DesktopGl.h"
#include "platform/desktop/X11MpvWallpaperFactory.h"
#include "platform/desktop/X11WallpaperWindow.h"
#include "platform/mpv/MpvLocale.h"
#include "platform/mpv/MpvSharedPlayer.h"
#include "platform/x11/X11ScreenSource.h"
#include "platform/x11/X11WindowList.h"
#include "support/TempXdgHome.h"
#include "support/TestVideos.h"
#include "support/XvfbSession.h"

#include <QDir>
#include <QHash>
#include <QTest>
#include <algorithm>
#include <cstring>
#include <dlfcn.h>
#include <link.h>

namespace {
const QRect leftDisplay(0, 0, 1920, 1080);
const QRect rightDisplay(1920, 0, 1920, 1080);

XvfbSession& session() {
    return *XvfbSession::current();
}

// The whole X screen, or a null image. A copy goes to $LUMIVALE_SCREENSHOT_DIR when that is set, for a
// person to look at.
QImage screenshot(const QString& name) {
    const QString path = session().tempPath() + QLatin1Char('/') + name;
    if (!session().screenshot(path))
        return {};
    if (const QString keep = qEnvironmentVariable("LUMIVALE_SCREENSHOT_DIR"); !keep.isEmpty()) {
        QFile::remove(keep + QLatin1Char('/') + name);
        QFile::copy(path, keep + QLatin1Char('/') + name);
    }
    return QImage(path).convertToFormat(QImage::Format_RGB32);
}

// Mean difference of the colour channels of two pixels, 0 to 255.
double difference(QRgb a, QRgb b) {
    return (std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b))) /
           3.0;
}

// How many pixels of two regions differ by more than the tolerance.
qsizetype differingPixels(const QImage& a, const QRect& inA, const QImage& b, const QRect& inB,
                          int tolerance = 8) {
    if (a.isNull() || b.isNull())
        return inA.width() * inA.height();
    qsizetype count = 0;
    for (int y = 0; y < inA.height(); ++y) {
        for (int x = 0; x < inA.width(); ++x)
            count +=
                difference(a.pixel(inA.x() + x, inA.y() + y), b.pixel(inB.x() + x, inB.y() + y)) > tolerance;
    }
    return count;
}

// Smooth scaling down to one pixel averages the whole region.
int meanBrightness(const QImage& image, const QRect& region) {
    return qGray(
        image.copy(region).scaled(1, 1, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).pixel(0, 0));
}

// Mean difference of one pixel column of a screenshot and a reference picture of the display's height.
double columnDifference(const QImage& shot, int shotX, const QImage& reference, int referenceX) {
    double sum = 0;
    for (int y = 0; y < reference.height(); ++y)
        sum += difference(shot.pixel(shotX, y), reference.pixel(referenceX, y));
    return sum / reference.height();
}

// Mesa unloads its GL driver when Qt closes the X connection at exit, and LeakSanitizer then cannot
// tell that the driver's own small leaks are the driver's (tests/lsan.supp names it). Keeping every
// loaded DRI driver mapped lets the suppression apply.
void keepGlDriversLoaded() {
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void*) {
            if (info->dlpi_name && std::strstr(info->dlpi_name, "_dri.so"))
                dlopen(info->dlpi_name, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
            return 0;
        },
        nullptr);
}
} // namespace

// The engine with the videos a (10 s), b (1.5 s) and bars (4:3) in a temporary home. The monitors
// have no EDID, so their names are their keys.
class Rig : public EngineRig {
public:
    Rig(TestVideos& videos, const QMap<QString, QString>& assignments) {
        MpvLocale::useCNumeric();
        for (const auto& [id, video] : {std::pair("a", TestVideo::Long10s),
                                        {"b", TestVideo::Short1_5s},
                                        {"bars", TestVideo::FourByThree}})
            QFile::link(videos.path(video), home.libraryRoot() + "/Library/" + id + ".mp4");
        build(EnginePlatform{screens, factory, fakes.conditions, windowList});
        engine->setAssignments(assignments);
        engine->start();
    }
    ~Rig() {
        engine.reset(); // before the windows' factory
        keepGlDriversLoaded();
    }

    [[nodiscard]] X11WallpaperWindow* window(const QString& screenName) const {
        const QList<X11WallpaperWindow*> windows = factory.windows();
        const auto found = std::ranges::find(windows, screenName, &X11WallpaperWindow::screenName);
        return found == windows.end() ? nullptr : *found;
    }
    // Waits until the windows on these screens each show a new frame.
    [[nodiscard]] bool newFrames(const QStringList& screenNames) const {
        QHash<QString, quint64> before;
        for (const QString& name : screenNames)
            before.insert(name, window(name) ? window(name)->framesShown() : 0);
        return QTest::qWaitFor([&] {
            return std::ranges::all_of(screenNames, [&](const QString& name) {
                return window(name) && window(name)->framesShown() > before.value(name);
            });
        });
    }

    X11ScreenSource screens;
    X11WindowList windowList;
    X11MpvWallpaperFactory factory;
};

class TestWallpaperDesktop : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // One decoder for a file on both displays: the picture moves, in step, and stands still when paused.
    void oneDecoderForAFileOnBothDisplays() {
        Rig rig(m_videos, {{"*", "a"}});
        QCOMPARE(rig.factory.players().size(), 1);
        QVERIFY(rig.newFrames({"LEFT", "RIGHT"}));

        const QImage first = screenshot("moving-1.png");
        QTest::qWait(1000);
        const QImage second = screenshot("moving-2.png");
        QVERIFY(!first.isNull() && !second.isNull());
        QVERIFY(meanBrightness(first, leftDisplay) > 40);
        QVERIFY(differingPixels(first, leftDisplay, second, leftDisplay) > 10'000);
        // Both windows get each frame one right after the other (so the right one moves too); should a
        // screenshot fall in between, take another. Two decoders would hardly ever agree.
        bool inStep = false;
        for (int attempt = 0; attempt < 10 && !inStep; ++attempt) {
            const QImage shot = screenshot("in-step.png");
            inStep = differingPixels(shot, leftDisplay, shot, rightDisplay, 2) == 0;
        }
        QVERIFY(inStep);
        rig.engine->setUserPaused(true);
        QTest::qWait(300);
        const QImage still = screenshot("paused-1.png");
        QTest::qWait(700);
        QCOMPARE(differingPixels(still, still.rect(), screenshot("paused-2.png"), still.rect(), 2), 0);
    }

    // What the window manager and other clients see: a sticky, undecorated desktop window under an
    // ordinary one, that takes neither focus nor clicks. A window over its display hides it: the
    // engine pauses the player that only that display shows, and nothing is drawn there.
    void desktopWindowsUnderOthersAndAcrossHotplugs() {
        Rig rig(m_videos, {{"*", "a"}, {"RIGHT", "b"}});
        X11WallpaperWindow* left = rig.window("LEFT");
        QVERIFY(rig.newFrames({"LEFT", "RIGHT"}));
        const auto id = quint32(left->winId());
        const QString properties =
            QString::fromLocal8Bit(session()
                                       .run("xprop", {"-id", QString::number(id), "_NET_WM_WINDOW_TYPE",
                                                      "_NET_WM_STATE", "_NET_WM_DESKTOP", "WM_HINTS"})
                                       .output);
        // Every workspace: openbox has no sticky state and shows this instead.
        for (const char* expected :
             {"_NET_WM_WINDOW_TYPE(ATOM) = _NET_WM_WINDOW_TYPE_DESKTOP", "_NET_WM_STATE_BELOW",
              "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER",
              "_NET_WM_DESKTOP(CARDINAL) = 4294967295", "accepts input or input focus: False"})
            QVERIFY2(properties.contains(expected), qPrintable(properties));

        const std::optional<XvfbSession::Window> other = session().createWindow({});
        QVERIFY(other);
        rig.engine->apply(); // orders the wallpaper front again
        QTest::qWait(200);
        const QList<quint32> stacking = session().atoms(session().root(), "_NET_CLIENT_LIST_STACKING");
        QVERIFY(stacking.contains(id));
        QVERIFY(stacking.indexOf(id) < stacking.indexOf(*other));
        // A click on the wallpaper, outside the other window, lands on the root window.
        QCOMPARE(session().run("xdotool", {"mousemove", "960", "900", "click", "1"}).exitCode, 0);
        const QByteArray pointer = session().run("xdotool", {"getmouselocation", "--shell"}).output;
        QVERIFY2(pointer.contains("WINDOW=" + QByteArray::number(session().root())), pointer.constData());

        QVERIFY(session().maximize(*other));
        QTRY_COMPARE(left->player()->rate(), 0.0);
        QTRY_COMPARE(rig.engine->screensUnderAWindow(), QSet<QString>{"LEFT"});
        QTRY_VERIFY(!left->isVisible());
        const quint64 shown = left->framesShown();
        QTest::qWait(300);
        QCOMPARE(left->framesShown(), shown);
        QVERIFY(session().minimize(*other));
        QTRY_COMPARE(left->player()->rate(), 1.0);
        QVERIFY(rig.newFrames({"LEFT"}));
        QVERIFY(session().destroyWindow(*other));

        // Qt moves the window of a vanished screen elsewhere; when the monitor returns, its wallpaper
        // returns on it. Monitors come and go many times with two wallpapers playing (more rounds with
        // LUMIVALE_HOTPLUG_ROUNDS, as under the sanitizers, where a fault would show as a crash or a leak).
        // LEFT holds Xvfb's only output, which Qt would keep as a screen of its own.
        for (int round = 0; round < std::max(qEnvironmentVariableIntValue("LUMIVALE_HOTPLUG_ROUNDS"), 3);
             ++round) {
            QCOMPARE(session().run("xrandr", {"--delmonitor", "RIGHT"}).exitCode, 0);
            QTRY_COMPARE(rig.factory.windows().size(), 1);
            QVERIFY(!rig.window("RIGHT"));
            QCOMPARE(session()
                         .run("xrandr", {"--setmonitor", "RIGHT", "1920/508x1080/286+1920+0", "none"})
                         .exitCode,
                     0);
            QTRY_VERIFY(rig.window("RIGHT"));
        }
        QCOMPARE(rig.window("RIGHT")->geometry(), rightDisplay);
        QVERIFY(rig.newFrames({"LEFT", "RIGHT"}));
        QVERIFY(meanBrightness(screenshot("monitor-back.png"), rightDisplay) > 40); // video, not black
    }

    // A 640x480 video on a 1920x1080 display: scaled to 1920x1440 and cropped by 180 rows at the top
    // and at the bottom, like ffmpeg's scale and crop make it; a letterboxed picture would differ at
    // its black sides, a stretched one less, but more than the cropped. Drawn both ways: copied from the
    // shared texture onto two displays, and rendered straight into the only display that shows it.
    void otherAspectRatioFillsTheDisplayCropped() {
        Rig rig(m_videos, {{"*", "bars"}});
        QVERIFY(rig.newFrames({"LEFT", "RIGHT"}));
        const auto reference = [&](const QString& name, const QString& filter) {
            const QString path = session().tempPath() + QLatin1Char('/') + name;
            const QStringList arguments{
                "-loglevel", "error", "-y",  "-i",   m_videos.path(TestVideo::FourByThree),
                "-frames:v", "1",     "-vf", filter, path};
            const bool made = session().run("ffmpeg", arguments, std::chrono::seconds(30)).exitCode == 0;
            return made ? QImage(path).convertToFormat(QImage::Format_RGB32) : QImage();
        };
        const QImage cropped = reference("cropped.png", "scale=1920:1440,crop=1920:1080");
        const QImage stretched = reference("stretched.png", "scale=1920:1080");
        QCOMPARE(cropped.size(), QSize(1920, 1080));
        const auto fillsCropped = [&](const QImage& shot, int left) {
            double croppedTotal = 0;
            double stretchedTotal = 0;
            // Columns at the edges and in the middle of the bars, away from their borders.
            for (const int x : {4, 137, 411, 686, 960, 1234, 1509, 1783, 1915}) {
                const double crop = columnDifference(shot, left + x, cropped, x);
                if (crop >= 6)
                    return false;
                croppedTotal += crop;
                stretchedTotal += columnDifference(shot, left + x, stretched, x);
            }
            return stretchedTotal > 3 * croppedTotal;
        };
        const QImage shared = screenshot("four-by-three-shared.png");
        QVERIFY(fillsCropped(shared, leftDisplay.left()));
        QVERIFY(fillsCropped(shared, rightDisplay.left()));

        rig.engine->setAssignments({{"LEFT", "bars"}});
        rig.engine->apply();
        QVERIFY(!rig.window("RIGHT"));
        QVERIFY(rig.newFrames({"LEFT"}));
        const QImage alone = screenshot("four-by-three.png");
        QVERIFY(fillsCropped(alone, leftDisplay.left()));
        QVERIFY(meanBrightness(alone, rightDisplay) < 1); // no window there: the black root
    }

private:
    TestVideos m_videos;
};

int main(int argc, char** argv) {
    DesktopGl::prepareApplication();
    return XvfbSession::exec(argc, argv, [] { return std::make_unique<TestWallpaperDesktop>(); });
}
#include "tst_wallpaperdesktop.moc"
