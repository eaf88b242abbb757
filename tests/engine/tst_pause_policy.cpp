// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/PausePolicy.h"
#include "fakes/FakeSystemConditions.h"

#include <QTest>

using Command = PausePolicy::Command;
using Player = PausePolicy::PlayerState;
using Window = PausePolicy::WindowState;
using Reason = std::optional<QString>;

Q_DECLARE_METATYPE(ThermalLevel)
Q_DECLARE_METATYPE(Command)
Q_DECLARE_METATYPE(Player)
Q_DECLARE_METATYPE(Reason)

class TestPausePolicy : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void conditionReason_data() {
        QTest::addColumn<bool>("userPaused");
        QTest::addColumn<bool>("asleep");
        QTest::addColumn<bool>("locked");
        QTest::addColumn<bool>("inactive");
        QTest::addColumn<bool>("pauseOnBattery");
        QTest::addColumn<bool>("onBattery");
        QTest::addColumn<bool>("lowPower");
        QTest::addColumn<ThermalLevel>("thermal");
        QTest::addColumn<QString>("reason");
        const auto nominal = ThermalLevel::Nominal;
        // clang-format off
        QTest::newRow("nothing")                 << false << false << false << false << true  << false << false << nominal << "";
        QTest::newRow("user pause over sleep")   << true  << true  << false << false << true  << false << false << nominal << "by you";
        QTest::newRow("asleep")                  << false << true  << false << false << true  << true  << false << nominal << "screen off";
        QTest::newRow("locked")                  << false << false << true  << false << true  << false << false << nominal << "screen off";
        QTest::newRow("session inactive")        << false << false << false << true  << true  << false << true  << nominal << "screen off";
        QTest::newRow("battery over low power")  << false << false << false << false << true  << true  << true  << nominal << "on battery";
        QTest::newRow("battery not minded")      << false << false << false << false << false << true  << true  << nominal << "Low Power Mode";
        QTest::newRow("battery not minded only") << false << false << false << false << false << true  << false << nominal << "";
        QTest::newRow("fair is not hot")         << false << false << false << false << true  << false << false << ThermalLevel::Fair << "";
        QTest::newRow("serious")                 << false << false << false << false << true  << false << false << ThermalLevel::Serious << "Mac is hot";
        QTest::newRow("critical")                << false << false << false << false << true  << false << false << ThermalLevel::Critical << "Mac is hot";
        // clang-format on
    }
    void conditionReason() {
        QFETCH(bool, userPaused);
        QFETCH(bool, asleep);
        QFETCH(bool, locked);
        QFETCH(bool, inactive);
        QFETCH(bool, pauseOnBattery);
        QFETCH(bool, onBattery);
        QFETCH(bool, lowPower);
        QFETCH(ThermalLevel, thermal);
        QFETCH(QString, reason);
        FakeSystemConditions system;
        system.onBattery = onBattery;
        system.lowPowerMode = lowPower;
        system.thermal = thermal;
        const PausePolicy::Flags flags{.userPaused = userPaused,
                                       .screensAsleep = asleep,
                                       .locked = locked,
                                       .sessionInactive = inactive,
                                       .pauseOnBattery = pauseOnBattery};
        QCOMPARE(PausePolicy::conditionReason(flags, system), reason.isEmpty() ? Reason() : Reason(reason));
        if (!pauseOnBattery)
            QCOMPARE(system.batteryQueries, 0);
    }

    void decide_data() {
        QTest::addColumn<Reason>("condition");
        QTest::addColumn<bool>("pauseWhenCovered");
        QTest::addColumn<QList<Player>>("players");
        QTest::addColumn<QList<Command>>("commands");
        QTest::addColumn<Reason>("reason");
        const QList<Window> bothVisible{{"A", true}, {"B", true}};
        const QList<Window> oneHidden{{"A", false}, {"B", true}};
        const QList<Window> bothHidden{{"A", false}, {"B", false}};
        // "B" is the covered display in every row.
        QTest::newRow("shared player, one display covered, one visible")
            << Reason() << true << QList<Player>{{false, bothVisible}} << QList<Command>{Command::Play}
            << Reason();
        QTest::newRow("shared player, one hidden, the other covered")
            << Reason() << true << QList<Player>{{true, oneHidden}} << QList<Command>{Command::Pause}
            << Reason("covered");
        QTest::newRow("covered and hidden do not count when not minded")
            << Reason() << false << QList<Player>{{false, bothHidden}, {false, oneHidden}}
            << QList<Command>{Command::Play, Command::Play} << Reason();
        QTest::newRow("one player covered, another visible")
            << Reason() << true << QList<Player>{{true, {{"B", true}}}, {false, {{"A", true}}}}
            << QList<Command>{Command::Pause, Command::Play} << Reason();
        QTest::newRow("no players is never covered")
            << Reason() << true << QList<Player>{} << QList<Command>{} << Reason();
        QTest::newRow("a condition pauses what runs and leaves the rest")
            << Reason("screen off") << false << QList<Player>{{true, bothVisible}, {false, bothVisible}}
            << QList<Command>{Command::Pause, Command::None} << Reason("screen off");
        QTest::newRow("a running player is not told again")
            << Reason() << true << QList<Player>{{true, {{"A", true}}}} << QList<Command>{Command::None}
            << Reason();
        QTest::newRow("a paused covered player is not told again")
            << Reason() << true << QList<Player>{{false, {{"B", true}}}} << QList<Command>{Command::None}
            << Reason("covered");
    }
    void decide() {
        QFETCH(Reason, condition);
        QFETCH(bool, pauseWhenCovered);
        QFETCH(QList<Player>, players);
        QFETCH(QList<Command>, commands);
        QFETCH(Reason, reason);
        const PausePolicy::Decision decision =
            PausePolicy::decide(condition, pauseWhenCovered, players, {"B"});
        QCOMPARE(decision.commands, commands);
        QCOMPARE(decision.reason, reason);
    }
};

QTEST_GUILESS_MAIN(TestPausePolicy)
#include "tst_pause_policy.moc"
