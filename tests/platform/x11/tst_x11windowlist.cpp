// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/X11WindowList.h"
#include "support/XvfbSession.h"

#include <QTest>

using Window = XvfbSession::Window;
Q_DECLARE_METATYPE(XvfbWindowPlan)

namespace {
XvfbSession& session() {
    return *XvfbSession::current();
}

XvfbWindowPlan typed(const QByteArray& type, bool decorated = true) {
    return {.type = type.isEmpty() ? type : "_NET_WM_WINDOW_TYPE_" + type, .decorated = decorated};
}
} // namespace

// What the real window list reports of the windows under openbox. Their order is no concern: a window
// covers its display wherever it is in the stack.
class TestX11WindowList : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() {
        for (const Window window : std::exchange(m_made, {}))
            session().destroyWindow(window);
    }

    void eachKindOfWindow_data() {
        QTest::addColumn<XvfbWindowPlan>("plan");
        QTest::addColumn<QString>("then");
        QTest::addColumn<int>("layer"); // -1: left out
        QTest::addColumn<double>("alpha");
        QTest::newRow("normal") << typed("NORMAL") << "" << 0 << 1.0;
        QTest::newRow("dialog") << typed("DIALOG") << "" << 0 << 1.0;
        QTest::newRow("utility") << typed("UTILITY") << "" << 0 << 1.0;
        QTest::newRow("no type") << typed("") << "" << 0 << 1.0;
        QTest::newRow("toolbar") << typed("TOOLBAR") << "" << int(X11WindowList::Toolbar) << 1.0;
        QTest::newRow("dock") << typed("DOCK", false) << "" << int(X11WindowList::Dock) << 1.0;
        QTest::newRow("splash") << typed("SPLASH") << "" << int(X11WindowList::Popup) << 1.0;
        QTest::newRow("notification")
            << typed("NOTIFICATION") << "" << int(X11WindowList::Notification) << 1.0;
        QTest::newRow("desktop") << typed("DESKTOP", false) << "" << -1 << 1.0;
        QTest::newRow("translucent") << XvfbWindowPlan{.opacity = 0.9} << "" << 0 << 0.9;
        QTest::newRow("minimised") << typed("NORMAL") << "minimise" << -1 << 1.0;
        QTest::newRow("on another desktop") << typed("NORMAL") << "desktop 1" << -1 << 1.0;
        QTest::newRow("on every desktop") << typed("NORMAL") << "every desktop" << 0 << 1.0;
    }
    // Outer bounds with the frame; hidden windows, desktop windows and those of other desktops left out.
    void eachKindOfWindow() {
        QFETCH(XvfbWindowPlan, plan);
        QFETCH(QString, then);
        QFETCH(int, layer);
        QFETCH(double, alpha);
        const std::optional<Window> window = session().createWindow(plan);
        QVERIFY(window);
        m_made.append(*window);
        if (then == "minimise")
            QVERIFY(session().minimize(*window));
        else if (!then.isEmpty())
            QVERIFY(session().setDesktop(*window, then == "desktop 1" ? 1 : 0xFFFFFFFF));
        const QList<WindowInfo> windows = X11WindowList().onScreenWindows().value();
        QCOMPARE(windows.size(), layer < 0 ? 0 : 1);
        if (layer < 0)
            return;
        QCOMPARE(windows[0].bounds, plan.bounds);
        QCOMPARE(windows[0].layer, layer);
        QVERIFY(qAbs(windows[0].alpha.value_or(1) - alpha) < 1e-6);
    }

private:
    QList<Window> m_made;
};

LUMIVALE_X11_TEST_MAIN(TestX11WindowList)
#include "tst_x11windowlist.moc"
