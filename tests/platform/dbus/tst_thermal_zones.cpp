// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeThermalTree.h"
#include "platform/dbus/ThermalZones.h"

#include <QTest>

Q_DECLARE_METATYPE(ThermalLevel)

using Trips = QList<FakeThermalTree::Trip>;

class TestThermalZones : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void level_data() {
        QTest::addColumn<qint64>("temperature");
        QTest::addColumn<Trips>("trips");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<ThermalLevel>("level");
        const Trips laptop{{"passive", 80'000}, {"hot", 95'000}, {"critical", 105'000}};
        QTest::newRow("cool") << qint64(45'000) << laptop << true << ThermalLevel::Nominal;
        QTest::newRow("just below passive") << qint64(79'999) << laptop << true << ThermalLevel::Nominal;
        QTest::newRow("at passive") << qint64(80'000) << laptop << true << ThermalLevel::Serious;
        QTest::newRow("at critical") << qint64(105'000) << laptop << true << ThermalLevel::Critical;
        QTest::newRow("disabled zone") << qint64(105'000) << laptop << false << ThermalLevel::Nominal;
        const Trips noPassive{{"hot", 95'000}, {"critical", 105'000}};
        QTest::newRow("6 degrees below hot") << qint64(89'000) << noPassive << true << ThermalLevel::Nominal;
        QTest::newRow("5 degrees below hot") << qint64(90'000) << noPassive << true << ThermalLevel::Serious;
        const Trips criticalOnly{{"critical", 105'000}};
        QTest::newRow("5 degrees below critical")
            << qint64(100'000) << criticalOnly << true << ThermalLevel::Serious;
        // Firmware that reports an unset trip as 0 or 20 °C must not make every machine hot.
        const Trips placeholders{{"passive", 0}, {"critical", 20'000}, {"active", 50'000}};
        QTest::newRow("placeholder trips") << qint64(45'000) << placeholders << true << ThermalLevel::Nominal;
        QTest::newRow("no trips") << qint64(120'000) << Trips{} << true << ThermalLevel::Nominal;
    }
    void level() {
        QFETCH(qint64, temperature);
        QFETCH(Trips, trips);
        QFETCH(bool, enabled);
        QFETCH(ThermalLevel, level);
        FakeThermalTree tree;
        tree.addZone(0, 40'000, {{"critical", 105'000}});
        tree.addZone(1, temperature, trips, enabled);
        QCOMPARE(ThermalZones::level(tree.root()), level);
    }

    void missingTreeIsNominal() {
        QCOMPARE(ThermalZones::level(QStringLiteral("/nonexistent")), ThermalLevel::Nominal);
    }
};

QTEST_GUILESS_MAIN(TestThermalZones)
#include "tst_thermal_zones.moc"
