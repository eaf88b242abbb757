// SPDX-License-Identifier: GPL-3.0-or-later
// Wallpaper windows and shared players on a real X server (Xvfb, openbox, monitors LEFT and RIGHT),
// driven by the engine: how many there are, how the window manager sees them, what lies above and
// below them, and what happens when they are covered or their monitor goes and comes back.
#include "DesktopRig.h"
#include "platform/desktop/X11WallpaperWindow.h"
#include "platform/mpv/MpvSharedPlayer.h"
#include "support/TestVideos.h"
#include "support/XvfbSession.h"

#include <QMouseEvent>
#include <QScreen>
#include <QTest>

namespace {

// Counts the mouse and key events that reach a window.
class InputCounter : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::KeyPress:
        case QEvent::FocusIn:
            ++events;
            break;
        default:
            break;
        }
        return false;
    }
    int events = 0;
};

QString hex(quint32 window) {
    return QStringLiteral("0x%1").arg(window, 0, 16);
}

} // namespace

class TestWallpaperWindows : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void onePlayerPerFileAndNothingLeftWhenCleared() {
        DesktopRig rig;
        rig.addVideo("a", m_videos.path(TestVideo::Long10s));
        rig.addVideo("b", m_videos.path(TestVideo::Short1_5s));
        WallpaperEngine& engine = rig.start({{"*", "a"}});

        QCOMPARE(rig.factory.windows().size(), 2);
        QCOMPARE(rig.factory.players().size(), 1);
        X11WallpaperWindow* left = rig.window("LEFT");
        X11WallpaperWindow* right = rig.window("RIGHT");
        QVERIFY(left && right);
        MpvSharedPlayer* shared = rig.playerOf("a");
        QCOMPARE(left->player(), shared);
        QCOMPARE(right->player(), shared);
        QCOMPARE(shared->rate(), 1.0);
        QCOMPARE(left->geometry(), QRect(0, 0, 1920, 1080));
        QCOMPARE(right->geometry(), QRect(1920, 0, 1920, 1080));
        QCOMPARE(left->screen()->name(), "LEFT");
        QCOMPARE(right->screen()->name(), "RIGHT");
        QVERIFY(rig.waitForNewFrames({left, right}));

        // A second file on one display: a second player; the first stays for the other display.
        engine.setAssignment(rig.keyOf("RIGHT"), "b");
        engine.apply();
        QCOMPARE(rig.factory.players().size(), 2);
        QCOMPARE(rig.playerOf("a"), shared);
        QCOMPARE(left->player(), shared);
        QCOMPARE(right->player(), rig.playerOf("b"));
        QVERIFY(rig.waitForNewFrames({left, right}));

        engine.setAssignments({});
        engine.apply();
        QVERIFY(rig.factory.windows().isEmpty());
        QVERIFY(rig.factory.players().isEmpty());
        QCOMPARE(engine.statusLine(), "No wallpaper set");
    }

    // What the window manager and other clients see: a sticky, undecorated desktop window under an
    // ordinary one, that takes neither focus nor clicks.
    void desktopWindowBelowEverythingAndTransparentToInput() {
        XvfbSession& session = *XvfbSession::current();
        DesktopRig rig;
        rig.addVideo("a", m_videos.path(TestVideo::Long10s));
        WallpaperEngine& engine = rig.start({{"*", "a"}});
        X11WallpaperWindow* left = rig.window("LEFT");
        QVERIFY(rig.waitForNewFrames({left}));
        const quint32 id = quint32(left->winId());

        const QStringList names{"_NET_WM_WINDOW_TYPE", "_NET_WM_STATE", "_NET_WM_DESKTOP", "WM_HINTS"};
        const QString properties =
            QString::fromLocal8Bit(session.run("xprop", QStringList{"-id", hex(id)} + names).output);
        QVERIFY2(properties.contains("_NET_WM_WINDOW_TYPE(ATOM) = _NET_WM_WINDOW_TYPE_DESKTOP"),
                 qPrintable(properties));
        for (const char* state :
             {"_NET_WM_STATE_BELOW", "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"})
            QVERIFY2(properties.contains(state), qPrintable(properties));
        // Every workspace; openbox has no sticky state and shows this instead.
        QVERIFY2(properties.contains("_NET_WM_DESKTOP(CARDINAL) = 4294967295"), qPrintable(properties));
        QVERIFY2(properties.contains("accepts input or input focus: False"), qPrintable(properties));

        const std::optional<XvfbSession::Client> xterm = session.startXterm("80x24+100+100");
        QVERIFY(xterm);
        engine.apply(); // orders the wallpaper front again
        QTest::qWait(200);
        const QList<quint32> stacking =
            session.cardinals(session.root(), "_NET_CLIENT_LIST_STACKING").value();
        QVERIFY(stacking.contains(id));
        QVERIFY(stacking.indexOf(id) < stacking.indexOf(xterm->window));

        // A click on the wallpaper, outside the xterm, lands on the root window.
        InputCounter input;
        left->installEventFilter(&input);
        QCOMPARE(session.run("xdotool", {"mousemove", "960", "900", "click", "1"}).exitCode, 0);
        const QByteArray pointer = session.run("xdotool", {"getmouselocation", "--shell"}).output;
        QVERIFY2(pointer.contains("WINDOW=" + QByteArray::number(session.root())), pointer.constData());
        QTest::qWait(200);
        QCOMPARE(input.events, 0);
        QVERIFY(QGuiApplication::focusWindow() != left);
        session.stop(xterm->pid);
    }

    // A window that covers a display hides its wallpaper; the engine pauses the player that only
    // that display shows, and plays it again once the display is uncovered.
    void coveredDisplayIsNotVisible() {
        XvfbSession& session = *XvfbSession::current();
        DesktopRig rig;
        rig.addVideo("a", m_videos.path(TestVideo::Long10s));
        rig.addVideo("b", m_videos.path(TestVideo::Short1_5s));
        rig.start({{"*", "a"}, {rig.keyOf("RIGHT"), "b"}});
        X11WallpaperWindow* left = rig.window("LEFT");
        X11WallpaperWindow* right = rig.window("RIGHT");
        QVERIFY(rig.waitForNewFrames({left, right}));
        QVERIFY(left->isVisible());

        const std::optional<XvfbSession::Client> xterm = session.startXterm("80x24+100+100");
        QVERIFY(xterm);
        QVERIFY(session.maximize(xterm->window));
        QTRY_VERIFY(!left->isVisible());
        QVERIFY(right->isVisible());
        QTRY_COMPARE(rig.playerOf("a")->rate(), 0.0);
        QCOMPARE(rig.playerOf("b")->rate(), 1.0);
        const quint64 shown = left->framesShown();
        QTest::qWait(300);
        QCOMPARE(left->framesShown(), shown); // nothing is drawn where nobody can see it

        QVERIFY(session.minimize(xterm->window));
        QTRY_VERIFY(left->isVisible());
        QTRY_COMPARE(rig.playerOf("a")->rate(), 1.0);
        QVERIFY(rig.waitForNewFrames({left}));
        session.stop(xterm->pid);
    }

    // Qt moves the window of a vanished screen elsewhere; when the monitor returns, its wallpaper
    // returns on it. Monitors come and go many times with two wallpapers playing (more rounds with
    // LUMIVALE_HOTPLUG_ROUNDS, as under the sanitizers, where a fault would show as a crash or a leak).
    void monitorsRemovedAndAddedAgain() {
        XvfbSession& session = *XvfbSession::current();
        DesktopRig rig;
        rig.addVideo("a", m_videos.path(TestVideo::Long10s));
        rig.addVideo("b", m_videos.path(TestVideo::Short1_5s));
        rig.start({{"*", "a"}});
        rig.engine->setAssignment(rig.keyOf("RIGHT"), "b");
        rig.engine->apply();
        QVERIFY(rig.waitForNewFrames({rig.window("LEFT"), rig.window("RIGHT")}));

        const int rounds = qEnvironmentVariableIntValue("LUMIVALE_HOTPLUG_ROUNDS");
        for (int round = 0; round < std::max(rounds, 3); ++round) {
            // LEFT holds Xvfb's only output, which Qt would keep as a screen of its own.
            const XvfbMonitor monitor = XvfbMonitor::right();
            QVERIFY(session.deleteMonitor(monitor.name));
            QTRY_COMPARE(rig.factory.windows().size(), 1);
            QVERIFY(!rig.window(monitor.name));
            QCOMPARE(rig.factory.players().size(), 1);
            QVERIFY(session.setMonitor(monitor));
            QTRY_COMPARE(rig.factory.windows().size(), 2);
            QTRY_VERIFY(rig.window(monitor.name));
        }
        X11WallpaperWindow* right = rig.window("RIGHT");
        QCOMPARE(right->geometry(), QRect(1920, 0, 1920, 1080));
        QVERIFY(rig.waitForNewFrames({rig.window("LEFT"), right}));
        QCOMPARE(rig.factory.players().size(), 2);
        QCOMPARE(right->player(), rig.playerOf("b"));

        const QImage screen = screenshot("monitor-back.png");
        QVERIFY(!screen.isNull());
        QVERIFY(meanBrightness(screen, QRect(1920, 0, 1920, 1080)) > 40); // video, not black
    }

private:
    TestVideos m_videos;
};

LUMIVALE_X11_TEST_MAIN_WITH(TestWallpaperWindows, desktopSession())
#include "tst_wallpaperwindows.moc"
