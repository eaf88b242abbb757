// SPDX-License-Identifier: GPL-3.0-or-later
#include "ConditionsRig.h"
#include "FakeThermalTree.h"
#include "platform/dbus/DBusNames.h"

#include <QTest>

using Bus = DBusSandbox::Bus;

namespace {
const QString upowerPath = DBusNames::upower.path;
const QString upowerInterface = DBusNames::upower.interface;

DBusSandbox::Object profilesObject(const DBusNames::Object& names) {
    return {names.service, names.path, names.interface};
}

// power-profiles-daemon under one of its names, in the balanced profile.
DBusMock* startProfiles(ConditionsRig& rig, const DBusNames::Object& names) {
    return rig.sandbox.startObject(Bus::System, profilesObject(names),
                                   {{"ActiveProfile", "balanced"}, {"PerformanceDegraded", ""}});
}

bool setProfile(DBusMock* mock, const DBusNames::Object& names, const QString& profile) {
    return mock->setProperty(names.path, names.interface, DBusNames::activeProfile, profile);
}
} // namespace

class TestPowerConditions : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void onBatteryAndBack() {
        ConditionsRig rig;
        QVERIFY(rig.sandbox.isReady());
        DBusMock* upower = rig.sandbox.startTemplate(Bus::System, DBusNames::upower.service, "upower");
        QVERIFY(upower);
        rig.start();
        QVERIFY(rig.playing());

        QVERIFY(upower->setProperty(upowerPath, upowerInterface, DBusNames::onBattery, true));
        QTRY_COMPARE(rig.pauseReason(), "on battery");
        QVERIFY(!rig.playing());

        QVERIFY(upower->setProperty(upowerPath, upowerInterface, DBusNames::onBattery, false));
        QTRY_COMPARE(rig.pauseReason(), "");
        QVERIFY(rig.playing());
    }

    // Not there at start: mains power. Appearing on battery is read afresh; leaving again is mains.
    void upowerAbsentThenAppearing() {
        ConditionsRig rig;
        rig.start();
        QVERIFY(rig.playing());

        DBusMock* upower = rig.sandbox.startTemplate(Bus::System, DBusNames::upower.service, "upower", {},
                                                     {{"OnBattery", true}});
        QVERIFY(upower);
        QTRY_COMPARE(rig.pauseReason(), "on battery");
        QVERIFY(!rig.playing());

        QVERIFY(upower->stop());
        QTRY_COMPARE(rig.pauseReason(), "");
        QVERIFY(rig.playing());
        QVERIFY(!rig.conditions->isOnBattery());
    }

    void powerSaverOnAndOff_data() {
        QTest::addColumn<bool>("newerName");
        QTest::newRow("org.freedesktop.UPower.PowerProfiles") << true;
        QTest::newRow("net.hadess.PowerProfiles") << false;
    }
    void powerSaverOnAndOff() {
        QFETCH(bool, newerName);
        const DBusNames::Object names = newerName ? DBusNames::powerProfiles : DBusNames::powerProfilesLegacy;
        ConditionsRig rig;
        DBusMock* profiles = startProfiles(rig, names);
        QVERIFY(profiles);
        rig.start();

        QVERIFY(setProfile(profiles, names, "power-saver"));
        QTRY_COMPARE(rig.pauseReason(), "Low Power Mode");
        QVERIFY(!rig.playing());

        QVERIFY(setProfile(profiles, names, "balanced"));
        QTRY_COMPARE(rig.pauseReason(), "");
        QVERIFY(rig.playing());
    }

    // When both names answer, the newer one speaks; when it goes, the older one does.
    void newerNameWins() {
        ConditionsRig rig;
        DBusMock* newer = startProfiles(rig, DBusNames::powerProfiles);
        DBusMock* legacy = startProfiles(rig, DBusNames::powerProfilesLegacy);
        QVERIFY(newer && legacy);
        QVERIFY(setProfile(legacy, DBusNames::powerProfilesLegacy, "power-saver"));
        rig.start();

        QVERIFY(setProfile(newer, DBusNames::powerProfiles, "power-saver"));
        QTRY_COMPARE(rig.pauseReason(), "Low Power Mode");
        QVERIFY(setProfile(newer, DBusNames::powerProfiles, "performance"));
        QTRY_COMPARE(rig.pauseReason(), "");
        QVERIFY(rig.playing());

        QVERIFY(newer->stop());
        QTRY_COMPARE(rig.pauseReason(), "Low Power Mode");
        QVERIFY(!rig.playing());
    }

    // A zone crossing its passive trip and coming back, and the daemon's heat report, each make the
    // machine hot.
    void hotAndBack() {
        FakeThermalTree tree;
        tree.addZone(0, 45'000, {{"passive", 80'000}, {"critical", 105'000}});
        tree.addZone(1, 99'000, {{"passive", 50'000}}, false);
        ConditionsRig rig;
        DBusMock* profiles = startProfiles(rig, DBusNames::powerProfilesLegacy);
        QVERIFY(profiles);
        LinuxSystemConditionsSetup setup = rig.setup();
        setup.thermalRoot = tree.root();
        setup.thermalInterval = std::chrono::milliseconds(20);
        rig.start(setup);
        QVERIFY(rig.playing());

        tree.setTemperature(0, 85'000);
        QTRY_COMPARE(rig.pauseReason(), "Mac is hot");
        QVERIFY(!rig.playing());
        QCOMPARE(rig.conditions->thermalLevel(), ThermalLevel::Serious);
        tree.setTemperature(0, 60'000);
        QTRY_COMPARE(rig.pauseReason(), "");
        QVERIFY(rig.playing());

        const auto degraded = [&](const QString& reason) {
            return profiles->setProperty(DBusNames::powerProfilesLegacy.path,
                                         DBusNames::powerProfilesLegacy.interface,
                                         DBusNames::performanceDegraded, reason);
        };
        QVERIFY(degraded("high-operating-temperature"));
        QTRY_COMPARE(rig.pauseReason(), "Mac is hot");
        QVERIFY(!rig.playing());
        QVERIFY(degraded(""));
        QTRY_COMPARE(rig.pauseReason(), "");
        QVERIFY(rig.playing());
    }
};

QTEST_GUILESS_MAIN(TestPowerConditions)
#include "tst_power_conditions.moc"
