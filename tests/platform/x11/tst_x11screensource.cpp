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
const QRect leftFrame = XvfbMonitor::left().geometry;
const QRect rightFrame = XvfbMonitor::right().geometry;
const EdidBlock leftEdid{.serialNumber = 77};

XvfbSession& session() {
    return *XvfbSession::current();
}

// Xvfb's only output has no EDID; give it one, as a monitor's driver would.
bool setOutputEdid(const QByteArray& edid) {
    xcb_connection_t* c = session().connection();
    std::free(xcb_randr_query_version_reply(c, xcb_randr_query_version(c, 1, 5), nullptr));
    xcb_randr_get_screen_resources_current_reply_t* resources = xcb_randr_get_screen_resources_current_reply(
        c, xcb_randr_get_screen_resources_current(c, session().root()), nullptr);
    if (!resources)
        return false;
    const bool hasOutput = xcb_randr_get_screen_resources_current_outputs_length(resources) > 0;
    const xcb_randr_output_t output =
        hasOutput ? xcb_randr_get_screen_resources_current_outputs(resources)[0] : 0;
    std::free(resources);
    if (!hasOutput)
        return false;
    xcb_generic_error_t* error = xcb_request_check(
        c, xcb_randr_change_output_property_checked(c, output, session().atom("EDID"), XCB_ATOM_INTEGER, 8,
                                                    XCB_PROP_MODE_REPLACE, static_cast<uint32_t>(edid.size()),
                                                    edid.constData()));
    std::free(error);
    return !error;
}
} // namespace

class TestX11ScreenSource : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(setOutputEdid(leftEdid.bytes())); }

    // LEFT shows Xvfb's output, which now has an EDID; RIGHT has no output at all.
    void keysNamesAndFrames() {
        const X11ScreenSource source;
        const QList<ScreenInfo> screens = source.screens();
        QCOMPARE(screens.size(), 2);

        const ScreenInfo& left = screens.at(0);
        QCOMPARE(left.platformName, "LEFT");
        QCOMPARE(left.frame, leftFrame);
        QCOMPARE(left.visibleFrame, leftFrame);
        QCOMPARE(left.localizedName, "DELL U2720Q");
        QCOMPARE(left.uuid, DisplayIdentity::uuidText(Edid::parse(leftEdid.bytes())->identity()));

        const ScreenInfo& right = screens.at(1);
        QCOMPARE(right.platformName, "RIGHT");
        QCOMPARE(right.frame, rightFrame);
        QCOMPARE(right.uuid, std::nullopt);
        QCOMPARE(displayKey(right), "RIGHT");
    }

    void primaryFirst() {
        const X11ScreenSource source;
        QSignalSpy changed(&source, &ScreenSource::screensChanged);
        QVERIFY(session().setMonitor({.name = "RIGHT", .geometry = rightFrame, .primary = true}));
        QTRY_VERIFY(!changed.isEmpty());
        QTRY_COMPARE(source.screens().value(0).platformName, "RIGHT");
        QCOMPARE(source.screens().value(1).platformName, "LEFT");

        QVERIFY(session().setMonitor({.name = "LEFT", .geometry = leftFrame, .primary = true}, "screen"));
        QTRY_COMPARE(source.screens().value(0).platformName, "LEFT");
        QTRY_COMPARE(source.screens().size(), 2);
    }

    void dockShrinksTheVisibleFrame() {
        const X11ScreenSource source;
        QSignalSpy changed(&source, &ScreenSource::screensChanged);
        const auto dock = session().createDock(QRect(1920, 0, 1920, 30), Qt::TopEdge);
        QVERIFY(dock);
        QTRY_VERIFY(!changed.isEmpty());
        QCOMPARE(source.screens().value(1).visibleFrame, QRect(1920, 30, 1920, 1050));
        QCOMPARE(source.screens().value(0).visibleFrame, leftFrame);

        changed.clear();
        QVERIFY(session().destroyWindow(*dock));
        QTRY_VERIFY(!changed.isEmpty());
        QCOMPARE(source.screens().value(1).visibleFrame, rightFrame);
    }

    void gtkWorkareasWinOverStruts() {
        const X11ScreenSource source;
        QSignalSpy changed(&source, &ScreenSource::screensChanged);
        const XvfbSession::Window root = session().root();
        QVERIFY(session().setCardinals(root, "_GTK_WORKAREAS_D0", {0, 0, 1920, 1000, 1920, 40, 1920, 1040}));
        QTRY_VERIFY(!changed.isEmpty());
        QCOMPARE(source.screens().value(0).visibleFrame, QRect(0, 0, 1920, 1000));
        QCOMPARE(source.screens().value(1).visibleFrame, QRect(1920, 40, 1920, 1040));

        changed.clear();
        QVERIFY(session().deleteProperty(root, "_GTK_WORKAREAS_D0"));
        QTRY_VERIFY(!changed.isEmpty());
        QCOMPARE(source.screens().value(0).visibleFrame, leftFrame);
    }

    void hotPlug() {
        const X11ScreenSource source;
        QSignalSpy changed(&source, &ScreenSource::screensChanged);
        QVERIFY(session().deleteMonitor("RIGHT"));
        QTRY_VERIFY(!changed.isEmpty());
        QCOMPARE(source.screens().size(), 1);

        changed.clear();
        QVERIFY(session().setMonitor(XvfbMonitor::right()));
        QTRY_VERIFY(!changed.isEmpty());
        QCOMPARE(source.screens().size(), 2);
        QCOMPARE(source.screens().value(1).frame, rightFrame);
    }

    // Whatever Qt reports in one turn of the event loop reaches the engine once.
    void changesAreCoalesced() {
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
    }

    void noDpmsOnXvfb() { QCOMPARE(X11Dpms().displaysOff(), std::nullopt); }
};

LUMIVALE_X11_TEST_MAIN(TestX11ScreenSource)
#include "tst_x11screensource.moc"
