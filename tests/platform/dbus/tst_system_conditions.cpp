// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/dbus/DBusNames.h"
#include "platform/dbus/LinuxSystemConditions.h"
#include "platform/dbus/ThermalZones.h"
#include "support/DBusMock.h"

#include <QDir>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;
using Bus = DBusMock::Bus;
using Trips = QList<std::pair<QByteArray, qint64>>;

// A service that makes one condition hold: the member of its object `path` (the main one when empty)
// changes from `off` to `on`.
struct Source {
    enum Change { Property, Signal, Method };
    Bus bus;
    DBusNames::Object names;
    QString templateName; // empty: a bare object with the properties
    QString member;
    QVariant on, off;
    QString condition;
    Change change = Property;
    QVariantMap properties{};
    QString path{};
    QString interface {};
};
Q_DECLARE_METATYPE(Source)
Q_DECLARE_METATYPE(ThermalLevel)

namespace {
const QString sessionPath = QStringLiteral("/org/freedesktop/login1/session/auto");

std::unique_ptr<DBusMock> start(const Source& source) {
    const DBusNames::Object& n = source.names;
    if (source.templateName.isEmpty())
        return DBusMock::startObject(source.bus, {n.service, n.path, n.interface}, source.properties);
    std::unique_ptr<DBusMock> mock = DBusMock::startTemplate(source.bus, n.service, source.templateName);
    // The stock logind answers GetSession("auto") with this session's path.
    if (mock && source.templateName == "logind")
        mock->call(n.path, "org.freedesktop.DBus.Mock", "AddSession", {"auto", "seat0", 1000u, "user", true});
    return mock;
}

bool change(const std::unique_ptr<DBusMock>& mock, const Source& source, bool on) {
    const QString path = source.path.isEmpty() ? QString(source.names.path) : source.path;
    const QString interface = source.interface.isEmpty() ? QString(source.names.interface) : source.interface;
    const QVariant value = on ? source.on : source.off;
    if (source.change == Source::Signal)
        return mock->emitSignal(path, interface, source.member, "b", {value});
    if (source.change == Source::Method)
        return mock->call(path, interface, source.member, {value}).type() == QDBusMessage::ReplyMessage;
    return mock->setProperty(path, interface, source.member, value);
}

// The buses of the test, and no thermal zones.
LinuxSystemConditionsSetup setup() {
    LinuxSystemConditionsSetup setup;
    setup.thermalRoot = "/nonexistent";
    return setup;
}

// A file replaced whole, so that a scan running meanwhile never reads half a value.
void write(const QString& path, const QByteArray& value) {
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(value + '\n') > 0)
        file.commit();
}

// A zone folder as in /sys/class/thermal.
void writeZone(const QString& root, int zone, qint64 temperature, const Trips& trips, bool enabled = true) {
    const QString folder = root + QStringLiteral("/thermal_zone%1/").arg(zone);
    QDir().mkpath(folder);
    write(folder + "mode", enabled ? "enabled" : "disabled");
    for (qsizetype i = 0; i < trips.size(); ++i) {
        write(folder + QStringLiteral("trip_point_%1_type").arg(i), trips[i].first);
        write(folder + QStringLiteral("trip_point_%1_temp").arg(i), QByteArray::number(trips[i].second));
    }
    write(folder + "temp", QByteArray::number(temperature));
}
} // namespace

// The conditions that hold as the engine learns them: from the signals, reading the queries then.
class Heard : public QObject {
public:
    explicit Heard(const SystemConditions& c) {
        const auto pair = [this, &c](auto set, auto unset, const QString& name) {
            connect(&c, set, this, [this, name] { flag(name, true); });
            connect(&c, unset, this, [this, name] { flag(name, false); });
        };
        pair(&SystemConditions::screenLocked, &SystemConditions::screenUnlocked, "locked");
        pair(&SystemConditions::screensDidSleep, &SystemConditions::screensDidWake, "asleep");
        pair(&SystemConditions::sessionDidResignActive, &SystemConditions::sessionDidBecomeActive,
             "inactive");
        connect(&c, &SystemConditions::powerSourceChanged, this, [&] { flag("battery", c.isOnBattery()); });
        connect(&c, &SystemConditions::lowPowerModeChanged, this,
                [&] { flag("low power", c.isLowPowerModeEnabled()); });
        connect(&c, &SystemConditions::thermalStateChanged, this,
                [&] { flag("hot", c.thermalLevel() >= ThermalLevel::Serious); });
    }
    [[nodiscard]] QString text() const { return m_holding.join(", "); }

private:
    void flag(const QString& name, bool holds) {
        m_holding.removeAll(name);
        if (holds)
            m_holding.append(name);
    }
    QStringList m_holding;
};

class TestSystemConditions : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void eachSourceFeedsItsCondition_data() {
        QTest::addColumn<Source>("source");
        const Bus system = Bus::System;
        const Bus session = Bus::Session;
        const DBusNames::Object& logind = DBusNames::logindManager;
        const DBusNames::Object& hadess = DBusNames::powerProfilesLegacy;
        const QString ppd = "power_profiles_daemon";
        const QString user = DBusNames::sessionInterface;
        QTest::newRow("UPower") << Source(system, DBusNames::upower, "upower", DBusNames::onBattery, true,
                                          false, "battery");
        QTest::newRow("power saver, net.hadess")
            << Source(system, hadess, ppd, DBusNames::activeProfile, "power-saver", "balanced", "low power");
        QTest::newRow("performance degraded by heat") << Source(
            system, hadess, ppd, DBusNames::performanceDegraded, "high-operating-temperature", "", "hot");
        QTest::newRow("logind locked hint")
            << Source(system, logind, "logind", DBusNames::lockedHint, true, false, "locked",
                      Source::Property, QVariantMap(), sessionPath, user);
        QTest::newRow("logind session inactive")
            << Source(system, logind, "logind", DBusNames::active, false, true, "inactive", Source::Property,
                      QVariantMap(), sessionPath, user);
        QTest::newRow("logind prepares for sleep") << Source(
            system, logind, "logind", DBusNames::prepareForSleep, true, false, "asleep", Source::Signal);
        QTest::newRow("org.freedesktop.ScreenSaver")
            << Source(session, DBusNames::freedesktopScreenSaver, "", DBusNames::activeChanged, true, false,
                      "locked", Source::Signal);
        QTest::newRow("org.gnome.ScreenSaver")
            << Source(session, DBusNames::gnomeScreenSaver, "gnome_screensaver", "SetActive", true, false,
                      "locked", Source::Method);
        QTest::newRow("Mutter power saving")
            << Source(session, DBusNames::mutterDisplayConfig, "", DBusNames::powerSaveMode, 3, 0, "asleep",
                      Source::Property, QVariantMap{{DBusNames::powerSaveMode, 0}});
    }
    // Read at the start (a signal cannot be), followed while it changes, forgotten when the service
    // leaves and followed again when it is back.
    void eachSourceFeedsItsCondition() {
        QFETCH(Source, source);
        std::unique_ptr<DBusMock> mock = start(source);
        QVERIFY(mock && change(mock, source, true));
        LinuxSystemConditions conditions(setup());
        Heard heard(conditions);
        QTRY_COMPARE(heard.text(), source.change == Source::Signal ? "" : source.condition);
        QVERIFY(change(mock, source, false));
        QTRY_COMPARE(heard.text(), "");
        QVERIFY(change(mock, source, true));
        QTRY_COMPARE(heard.text(), source.condition);

        QVERIFY(mock->stop());
        QTRY_COMPARE(heard.text(), "");
        mock = start(source);
        QVERIFY(mock && change(mock, source, true));
        QTRY_COMPARE(heard.text(), source.condition);
    }

    // When both names of power-profiles-daemon answer, the newer one speaks; when it goes, the older
    // one does.
    void newerPowerProfilesNameWins() {
        const DBusNames::Object& newer = DBusNames::powerProfiles;
        const std::unique_ptr<DBusMock> mock =
            DBusMock::startObject(Bus::System, {newer.service, newer.path, newer.interface},
                                  {{DBusNames::activeProfile, "balanced"}});
        const std::unique_ptr<DBusMock> legacy =
            DBusMock::startTemplate(Bus::System, DBusNames::powerProfilesLegacy.service,
                                    "power_profiles_daemon", {{"ActiveProfile", "power-saver"}});
        QVERIFY(mock && legacy);
        LinuxSystemConditions conditions(setup());
        QVERIFY(mock->setProperty(newer.path, newer.interface, DBusNames::activeProfile, "power-saver"));
        QTRY_VERIFY(conditions.isLowPowerModeEnabled());
        QVERIFY(mock->setProperty(newer.path, newer.interface, DBusNames::activeProfile, "performance"));
        QTRY_VERIFY(!conditions.isLowPowerModeEnabled());
        QVERIFY(mock->stop());
        QTRY_VERIFY(conditions.isLowPowerModeEnabled());
    }

    // The thermal zones are scanned at every interval; the displays-off hook is polled while watched,
    // and one that cannot tell counts as on.
    void zonesAndDisplaysOffHook() {
        QTemporaryDir thermal;
        const Trips trips{{"passive", 80'000}};
        writeZone(thermal.path(), 0, 45'000, trips);
        std::optional<bool> off = true;
        LinuxSystemConditionsSetup fast = setup();
        fast.thermalRoot = thermal.path();
        fast.thermalInterval = fast.displaysOffInterval = 20ms;
        fast.displaysOff = [&off] { return off; };
        LinuxSystemConditions conditions(fast);
        Heard heard(conditions);

        writeZone(thermal.path(), 0, 85'000, trips);
        QTRY_COMPARE(heard.text(), "hot");
        writeZone(thermal.path(), 0, 60'000, trips);
        QTRY_COMPARE(heard.text(), "");

        conditions.setDisplaysWatched(true);
        QTRY_COMPARE(heard.text(), "asleep");
        off = std::nullopt;
        QTRY_COMPARE(heard.text(), "");
        off = true;
        QTRY_COMPARE(heard.text(), "asleep");
        conditions.setDisplaysWatched(false);
        QCOMPARE(heard.text(), "");
    }

    void zoneLevels_data() {
        QTest::addColumn<qint64>("temperature");
        QTest::addColumn<Trips>("trips");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<ThermalLevel>("level");
        const Trips laptop{{"passive", 80'000}, {"hot", 95'000}, {"critical", 105'000}};
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
    }
    // The hottest of the zones; a missing tree is nominal.
    void zoneLevels() {
        QFETCH(qint64, temperature);
        QFETCH(Trips, trips);
        QFETCH(bool, enabled);
        QFETCH(ThermalLevel, level);
        QTemporaryDir tree;
        writeZone(tree.path(), 0, 40'000, {{"critical", 105'000}});
        writeZone(tree.path(), 1, temperature, trips, enabled);
        QCOMPARE(ThermalZones::level(tree.path()), level);
        QCOMPARE(ThermalZones::level(tree.path() + "/missing"), ThermalLevel::Nominal);
    }
};

QTEST_GUILESS_MAIN(TestSystemConditions)
#include "tst_system_conditions.moc"
