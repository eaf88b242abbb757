// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/display/DisplayIdentity.h"
#include "platform/display/EdidBlock.h"
#include "platform/x11/X11Dpms.h"
#include "platform/x11/X11ScreenSource.h"
#include "support/XvfbSession.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <cstdlib>
#include <xcb/randr.h>

namespace {
const QRect leftFrame(0, 0, 1920, 1080);
const QRect rightFrame(1920, 0, 1920, 1080);
const EdidBlock leftEdid{.serialNumber = 77};

XvfbSession& session() {
    return *XvfbSession::current();
}

// Xvfb's only output has no EDID; give it one, as a monitor's driver would.
bool setOutputEdid(const QByteArray& edid) {
    xcb_connection_t* c = session().connection();
    std::free(xcb_randr_query_version_reply(c, xcb_randr_query_version(c, 1, 5), nullptr));
    auto* resources = xcb_randr_get_screen_resources_current_reply(
        c, xcb_randr_get_screen_resources_current(c, session().root()), nullptr);
    const xcb_randr_output_t output =
        resources ? *xcb_randr_get_screen_resources_current_outputs(resources) : 0;
    std::free(resources);
    xcb_generic_error_t* error = xcb_request_check(
        c, xcb_randr_change_output_property_checked(c, output, session().atom("EDID"), XCB_ATOM_INTEGER, 8,
                                                    XCB_PROP_MODE_REPLACE, static_cast<uint32_t>(edid.size()),
                                                    edid.constData()));
    std::free(error);
    return output && !error;
}

int xrandr(const QStringList& arguments) {
    return session().run("xrandr", arguments).exitCode;
}

QList<QRect> visibleFrames(const X11ScreenSource& source) {
    QList<QRect> frames;
    for (const ScreenInfo& screen : source.screens())
        frames.append(screen.visibleFrame);
    return frames;
}
} // namespace

// The real screens of the X server: names, keys and frames, and the changes the engine hears of.
class TestX11ScreenSource : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(setOutputEdid(leftEdid.bytes())); }

    // LEFT shows Xvfb's output, which now has an EDID; RIGHT has no output at all.
    void keysNamesAndFrames() {
        const QList<ScreenInfo> screens = X11ScreenSource().screens();
        QCOMPARE(screens.size(), 2);
        QCOMPARE(screens[0].platformName, "LEFT");
        QCOMPARE(screens[0].frame, leftFrame);
        QCOMPARE(screens[0].localizedName, "DELL U2720Q");
        QCOMPARE(screens[0].uuid, DisplayIdentity::uuidText(Edid::parse(leftEdid.bytes())->identity()));
        QCOMPARE(screens[1].platformName, "RIGHT");
        QCOMPARE(screens[1].frame, rightFrame);
        QCOMPARE(screens[1].uuid, std::nullopt);
        QCOMPARE(X11Dpms().displaysOff(), std::nullopt); // Xvfb has no DPMS
    }

    // Whatever Qt reports in one turn of the event loop reaches the engine once. The primary screen
    // comes first; reserved space shrinks the visible frames.
    void changesOfTheScreens() {
        const X11ScreenSource source;
        QSignalSpy changed(&source, &ScreenSource::screensChanged);
        QScreen* primary = QGuiApplication::primaryScreen();
        Q_EMIT qGuiApp->primaryScreenChanged(primary);
        Q_EMIT primary->geometryChanged(primary->geometry());
        Q_EMIT QGuiApplication::screens().last()->geometryChanged(
            QGuiApplication::screens().last()->geometry());
        QCOMPARE(changed.count(), 0);
        QTRY_COMPARE(changed.count(), 1);
        QCoreApplication::processEvents();
        QCOMPARE(changed.count(), 1);

        QCOMPARE(
            xrandr({"--delmonitor", "RIGHT", "--setmonitor", "*RIGHT", "1920/508x1080/286+1920+0", "none"}),
            0);
        QTRY_VERIFY(changed.count() > 1);
        QTRY_COMPARE(source.screens().value(0).platformName, "RIGHT");
        QCOMPARE(source.screens().value(1).platformName, "LEFT");
        QCOMPARE(xrandr({"--delmonitor", "LEFT", "--setmonitor", "*LEFT", "1920/508x1080/286+0+0", "screen"}),
                 0);
        QTRY_COMPARE(source.screens().value(0).platformName, "LEFT");
        QTRY_COMPARE(source.screens().size(), 2);

        // A panel's strut leaves its part of its own display out; GTK's work areas, when a desktop
        // publishes them, win over the struts.
        changed.clear();
        const auto panel = session().createWindow({.bounds = QRect(1920, 0, 1920, 30),
                                                   .type = "_NET_WM_WINDOW_TYPE_DOCK",
                                                   .strut = {0, 0, 30, 0, 0, 0, 0, 0, 1920, 3839, 0, 0},
                                                   .decorated = false});
        QVERIFY(panel);
        QTRY_VERIFY(!changed.isEmpty());
        QTRY_COMPARE(visibleFrames(source), (QList<QRect>{leftFrame, QRect(1920, 30, 1920, 1050)}));

        changed.clear();
        const QStringList workAreas{"-root", "-f", "_GTK_WORKAREAS_D0", "32c", "-set", "_GTK_WORKAREAS_D0"};
        QCOMPARE(session()
                     .run("xprop", workAreas + QStringList{"0, 0, 1920, 1000, 1920, 40, 1920, 1040"})
                     .exitCode,
                 0);
        QTRY_VERIFY(!changed.isEmpty());
        QCOMPARE(visibleFrames(source), (QList<QRect>{QRect(0, 0, 1920, 1000), QRect(1920, 40, 1920, 1040)}));

        QCOMPARE(session().run("xprop", {"-root", "-remove", "_GTK_WORKAREAS_D0"}).exitCode, 0);
        QVERIFY(session().destroyWindow(*panel));
        QTRY_COMPARE(visibleFrames(source), (QList<QRect>{leftFrame, rightFrame}));
    }
};

LUMIVALE_X11_TEST_MAIN(TestX11ScreenSource)
#include "tst_x11screensource.moc"
