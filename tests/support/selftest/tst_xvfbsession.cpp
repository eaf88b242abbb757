// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/XvfbSession.h"

#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QTest>

// The fixture itself: the server, the window manager, the monitors and the window helpers that the
// X11 tests rely on.
class TestXvfbSession : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void twoMonitorsAsQtScreens() {
        const QList<QScreen*> screens = QGuiApplication::screens();
        QCOMPARE(screens.size(), 2);
        QCOMPARE(screens.at(0)->name(), "LEFT");
        QCOMPARE(screens.at(0)->geometry(), QRect(0, 0, 1920, 1080));
        QCOMPARE(screens.at(1)->name(), "RIGHT");
        QCOMPARE(screens.at(1)->geometry(), QRect(1920, 0, 1920, 1080));
        QCOMPARE(screens.at(0)->devicePixelRatio(), 1.0);
        QCOMPARE(qgetenv("DISPLAY"), session().display().toLocal8Bit());
    }

    void windowsAreManagedAndPlaced() {
        const QRect bounds(100, 50, 640, 480);
        const auto window = session().createWindow({.bounds = bounds});
        QVERIFY(window);
        QVERIFY(session().clients().contains(*window));
        QCOMPARE(session().outerBounds(*window), bounds);
        QVERIFY(session().cardinals(*window, "_NET_FRAME_EXTENTS"));

        QVERIFY(session().maximize(*window));
        QCOMPARE(session().outerBounds(*window), XvfbMonitor::left().geometry);
        QVERIFY(session().minimize(*window));
        QVERIFY(session().destroyWindow(*window));
        QVERIFY(!session().clients().contains(*window));
    }

    void dockReservesItsEdge() {
        const QRect bounds(1920, 0, 1920, 30);
        const auto dock = session().createDock(bounds, Qt::TopEdge);
        QVERIFY(dock);
        QCOMPARE(session().outerBounds(*dock), bounds);
        QCOMPARE(session().cardinals(*dock, "_NET_WM_STRUT_PARTIAL"),
                 (QList<quint32>{0, 0, 30, 0, 0, 0, 0, 0, 1920, 3839, 0, 0}));
        QVERIFY(session().destroyWindow(*dock));
    }

    void xtermAndScreenshot() {
        const auto xterm =
            session().startXterm(QStringLiteral("80x24+10+10"), QStringLiteral("selftest-xterm"));
        QVERIFY(xterm);
        QCOMPARE(session().outerBounds(xterm->window).topLeft(), QPoint(10, 10));
        const QString path = session().tempPath() + QStringLiteral("/root.png");
        QVERIFY(session().screenshot(path));
        QCOMPARE(QImage(path).size(), QSize(3840, 1080));
    }

    void monitorsComeAndGo() {
        QVERIFY(session().deleteMonitor(QStringLiteral("RIGHT")));
        QTRY_COMPARE(QGuiApplication::screens().size(), 1);
        QVERIFY(session().setMonitor(XvfbMonitor::right()));
        QTRY_COMPARE(QGuiApplication::screens().size(), 2);
        QCOMPARE(QGuiApplication::screens().at(1)->geometry(), XvfbMonitor::right().geometry);
    }

private:
    static XvfbSession& session() { return *XvfbSession::current(); }
};

LUMIVALE_X11_TEST_MAIN(TestXvfbSession)
#include "tst_xvfbsession.moc"
