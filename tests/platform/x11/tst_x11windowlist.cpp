// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/CoverScan.h"
#include "platform/x11/X11ScreenSource.h"
#include "platform/x11/X11WindowList.h"
#include "support/XvfbSession.h"

#include <QTest>
#include <memory>

using Keys = QSet<QString>;
using Window = XvfbSession::Window;

namespace {
const QRect leftFrame = XvfbMonitor::left().geometry;
const QRect rightFrame = XvfbMonitor::right().geometry;

XvfbSession& session() {
    return *XvfbSession::current();
}
} // namespace

// The real window list and screens under openbox, fed to the engine's cover test.
class TestX11WindowList : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        m_screens = std::make_unique<X11ScreenSource>();
        m_windows = std::make_unique<X11WindowList>();
    }

    void cleanup() {
        for (const Window window : std::exchange(m_made, {}))
            session().destroyWindow(window);
    }

    void maximizedXtermCoversItsDisplay() {
        const auto xterm =
            session().startXterm(QStringLiteral("80x24+100+100"), QStringLiteral("cover-xterm"));
        QVERIFY(xterm);
        QTRY_COMPARE(covered(), Keys{});
        QVERIFY(session().maximize(xterm->window));
        QTRY_COMPARE(covered(), Keys{"LEFT"});
        const WindowInfo front = m_windows->onScreenWindows()->value(0);
        QCOMPARE(front.bounds.value_or(QRect()), leftFrame);
        QCOMPARE(front.layer, 0);
        QCOMPARE(front.alpha, std::nullopt);

        session().stop(xterm->pid);
        QVERIFY(session().waitUntil([&] { return !session().clients().contains(xterm->window); }));
        QTRY_COMPARE(covered(), Keys{});
    }

    void exactlyTheDisplayCoversOnePixelLessDoesNot() {
        const Window window = make({.bounds = leftFrame});
        QTRY_COMPARE(covered(), Keys{"LEFT"});
        for (const QRect& smaller : {leftFrame.adjusted(1, 0, 0, 0), leftFrame.adjusted(0, 1, 0, 0),
                                     leftFrame.adjusted(0, 0, -1, 0), leftFrame.adjusted(0, 0, 0, -1)}) {
            QVERIFY(session().moveResize(window, smaller));
            QTRY_COMPARE(covered(), Keys{});
        }
    }

    void aWindowAcrossBothDisplaysCoversBoth() {
        make({.bounds = QRect(0, 0, 3840, 1080)});
        QTRY_COMPARE(covered(), (Keys{"LEFT", "RIGHT"}));
    }

    void translucentWindowsDoNotCover() {
        const Window window = make({.bounds = leftFrame, .opacity = 0.9});
        QTRY_COMPARE(covered(), Keys{});
        QVERIFY(session().setCardinals(window, "_NET_WM_WINDOW_OPACITY", {quint32(0.95 * 0xFFFFFFFFu)}));
        QTRY_COMPARE(covered(), Keys{"LEFT"});
        QVERIFY(qAbs(*m_windows->onScreenWindows()->value(0).alpha - 0.95) < 1e-6);
    }

    void hiddenWindowsDoNotCover() {
        const Window minimised = make({.bounds = leftFrame});
        const Window elsewhere = make({.bounds = leftFrame});
        QVERIFY(session().minimize(minimised));
        QVERIFY(session().setDesktop(elsewhere, 1));
        QTRY_COMPARE(covered(), Keys{});
        QVERIFY(session().setDesktop(elsewhere, 0xFFFFFFFF)); // on every desktop
        QTRY_COMPARE(covered(), Keys{"LEFT"});
    }

    void frontToBack() {
        const QRect first(100, 100, 300, 200), second(200, 150, 300, 200), third(2000, 100, 300, 200);
        const Window bottom = make({.bounds = first});
        make({.bounds = second});
        const Window top = make({.bounds = third});
        QVERIFY(session().activate(top));
        QCOMPARE(boundsOfAll(), (QList<QRect>{third, second, first}));
        QVERIFY(session().activate(bottom));
        QCOMPARE(boundsOfAll(), (QList<QRect>{first, third, second}));
    }

    void layers_data() {
        QTest::addColumn<QByteArray>("type");
        QTest::addColumn<bool>("ordinary");
        QTest::newRow("normal") << QByteArray("_NET_WM_WINDOW_TYPE_NORMAL") << true;
        QTest::newRow("dialog") << QByteArray("_NET_WM_WINDOW_TYPE_DIALOG") << true;
        QTest::newRow("utility") << QByteArray("_NET_WM_WINDOW_TYPE_UTILITY") << true;
        QTest::newRow("no type") << QByteArray() << true;
        QTest::newRow("splash") << QByteArray("_NET_WM_WINDOW_TYPE_SPLASH") << false;
        QTest::newRow("notification") << QByteArray("_NET_WM_WINDOW_TYPE_NOTIFICATION") << false;
    }
    void layers() {
        QFETCH(QByteArray, type);
        QFETCH(bool, ordinary);
        make({.bounds = leftFrame, .type = type});
        const QList<WindowInfo> windows = *m_windows->onScreenWindows();
        QCOMPARE(windows.size(), 1);
        QCOMPARE(windows.at(0).layer == 0, ordinary);
        QTRY_COMPARE(covered(), ordinary ? Keys{"LEFT"} : Keys{});
    }

    void desktopWindowsAreLeftOut() {
        make({.bounds = rightFrame, .type = "_NET_WM_WINDOW_TYPE_DESKTOP", .decorated = false});
        QCOMPARE(m_windows->onScreenWindows()->size(), 0);
    }

    // A maximized window next to a panel covers its display: the panel is no occluder, and the
    // display's visible frame leaves the panel out.
    void dockShrinksTheDisplayAndIsNoOccluder() {
        const QRect panel(1920, 0, 1920, 30);
        const auto dock = session().createDock(panel, Qt::TopEdge);
        QVERIFY(dock);
        m_made.append(*dock);
        QTRY_COMPARE(m_screens->screens().value(1).visibleFrame, QRect(1920, 30, 1920, 1050));
        const QList<WindowInfo> windows = *m_windows->onScreenWindows();
        QCOMPARE(boundsOfAll(), QList<QRect>{panel});
        QVERIFY(windows.at(0).layer != 0);

        const Window window = make({.bounds = QRect(2000, 100, 800, 600)});
        QTRY_COMPARE(covered(), Keys{});
        QVERIFY(session().maximize(window));
        QCOMPARE(session().outerBounds(window), QRect(1920, 30, 1920, 1050));
        QTRY_COMPARE(covered(), Keys{"RIGHT"});

        cleanup();
        QTRY_COMPARE(m_screens->screens().value(1).visibleFrame, rightFrame);
    }

private:
    Keys covered() const {
        const std::optional<QList<WindowInfo>> windows = m_windows->onScreenWindows();
        return windows ? CoverScan::coveredDisplays(*windows, m_screens->screens()) : Keys{"no window list"};
    }

    QList<QRect> boundsOfAll() const {
        QList<QRect> all;
        for (const WindowInfo& window : m_windows->onScreenWindows().value_or(QList<WindowInfo>{}))
            all.append(window.bounds.value_or(QRect()));
        return all;
    }

    Window make(const XvfbWindowSpec& wanted) {
        const std::optional<Window> window = session().createWindow(wanted);
        if (!window)
            qFatal("cannot make a test window");
        m_made.append(*window);
        return *window;
    }

    std::unique_ptr<X11ScreenSource> m_screens;
    std::unique_ptr<X11WindowList> m_windows;
    QList<Window> m_made;
};

LUMIVALE_X11_TEST_MAIN(TestX11WindowList)
#include "tst_x11windowlist.moc"
