// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/FrameVisibility.h"
#include "platform/wayland/ToplevelCover.h"

#include <QTest>

using namespace std::chrono_literals;

namespace {
ToplevelState toplevel(const QString& flags, QSet<QString> outputs = {"DP-1"}) {
    return {.maximized = flags.contains('M'),
            .minimized = flags.contains('m'),
            .activated = flags.contains('a'),
            .fullscreen = flags.contains('F'),
            .outputs = std::move(outputs)};
}
} // namespace

class TestWaylandRules : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Flags: F fullscreen, M maximized, a activated, m minimized.
    void coveredOutputs_data() {
        QTest::addColumn<QList<ToplevelState>>("toplevels");
        QTest::addColumn<QSet<QString>>("covered");
        QTest::newRow("fullscreen or maximized, and activated")
            << QList{toplevel("Fa"), toplevel("Ma", {"DP-2"})} << QSet<QString>{"DP-1", "DP-2"};
        QTest::newRow("fullscreen on a hidden workspace") << QList{toplevel("F")} << QSet<QString>{};
        QTest::newRow("minimized") << QList{toplevel("Fam")} << QSet<QString>{};
        QTest::newRow("ordinary window") << QList{toplevel("a")} << QSet<QString>{};
        QTest::newRow("one of two windows, across two outputs")
            << QList{toplevel("F"), toplevel("Ma", {"DP-2", "DP-3"})} << QSet<QString>{"DP-2", "DP-3"};
    }
    void coveredOutputs() {
        QFETCH(QList<ToplevelState>, toplevels);
        QFETCH(QSet<QString>, covered);
        QCOMPARE(ToplevelCover::coveredOutputs(toplevels), covered);
    }

    // Events at milliseconds: "r" a callback asked for, "d" answered, "?" visible wanted,
    // "h" hidden wanted, "p" a probe due, "n" none due, "x" reset.
    void frameVisibility_data() {
        QTest::addColumn<QString>("events");
        QTest::newRow("answered in time") << "0r 16d 16? 33r 400? 999?";
        QTest::newRow("late callback hides, its answer shows") << "0r 999? 1000h 3000h 3100d 3100?";
        QTest::newRow("probe while idle") << "0r 16d 1015n 1015? 1016p";
        QTest::newRow("no probe while pending") << "0r 16d 1016r 1100? 2100n 2100h";
        QTest::newRow("reset forgets") << "0r 1100h 1100x 1100? 2100p";
    }
    void frameVisibility() {
        QFETCH(QString, events);
        FrameVisibility frames;
        const FrameVisibility::TimePoint start{};
        for (const QString& event : events.split(' ')) {
            const FrameVisibility::TimePoint at = start + std::chrono::milliseconds(event.chopped(1).toInt());
            const QChar what = event.back();
            if (what == 'r')
                frames.requested(at);
            else if (what == 'd')
                frames.answered(at);
            else if (what == 'x')
                frames.reset();
            else if (what == 'p' || what == 'n')
                QVERIFY2(frames.probeDue(at) == (what == 'p'), qPrintable(event));
            else
                QVERIFY2(frames.visible(at) == (what == '?'), qPrintable(event));
        }
    }
};

QTEST_GUILESS_MAIN(TestWaylandRules)
#include "tst_waylandrules.moc"
