// SPDX-License-Identifier: GPL-3.0-or-later
#include "ConditionsRig.h"
#include "platform/dbus/DBusNames.h"

#include <QTest>

using Bus = DBusSandbox::Bus;

namespace {
const QString sessionPath = QStringLiteral("/org/freedesktop/login1/session/c1");
const QString managerPath = DBusNames::logindManager.path;
const QString managerInterface = DBusNames::logindManager.interface;
const QString sessionInterface = DBusNames::sessionInterface;

// logind with one active session, c1, which GetSession("auto") names (the stock template answers
// with the literal path ".../session/auto").
DBusMock* startLogind(ConditionsRig& rig) {
    return rig.sandbox.startTemplate(Bus::System, DBusNames::logindManager.service, "logind", R"(
mock.AddMethod(MAIN_IFACE, 'GetSession', 's', 'o',
               'ret = "/org/freedesktop/login1/session/" + ("c1" if args[0] == "auto" else args[0])')
mock.AddSession('c1', 'seat0', dbus.UInt32(1000), 'user', True))");
}

bool setLockedHint(DBusMock* logind, bool locked) {
    return logind->call(sessionPath, sessionInterface, "SetLockedHint", {locked}).type() ==
           QDBusMessage::ReplyMessage;
}

bool prepareForSleep(DBusMock* logind, bool sleeping) {
    return logind->emitSignal(managerPath, managerInterface, DBusNames::prepareForSleep, "b", {sleeping});
}

DBusMock* startScreenSaver(ConditionsRig& rig, bool gnome) {
    if (gnome)
        return rig.sandbox.startTemplate(Bus::Session, DBusNames::gnomeScreenSaver.service,
                                         "gnome_screensaver");
    const DBusNames::Object& names = DBusNames::freedesktopScreenSaver;
    return rig.sandbox.startObject(Bus::Session, {names.service, names.path, names.interface}, {}, R"(
mock.is_active = False
mock.AddMethods(MAIN_IFACE, [
    ('GetActive', '', 'b', 'ret = self.is_active'),
    ('SetActive', 'b', '', 'self.is_active = args[0]; self.EmitSignal("", "ActiveChanged", "b", [self.is_active])'),
]))");
}

bool setScreenSaverActive(DBusMock* screenSaver, bool gnome, bool active) {
    const DBusNames::Object& names = gnome ? DBusNames::gnomeScreenSaver : DBusNames::freedesktopScreenSaver;
    return screenSaver->call(names.path, names.interface, "SetActive", {active}).type() ==
           QDBusMessage::ReplyMessage;
}
} // namespace

class TestSessionConditions : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void lockAndUnlockThroughLockedHint() {
        ConditionsRig rig;
        DBusMock* logind = startLogind(rig);
        QVERIFY(logind);
        rig.start();
        QVERIFY(rig.playing());

        QVERIFY(setLockedHint(logind, true));
        QTRY_COMPARE(rig.pauseReason(), "screen off");
        QVERIFY(!rig.playing());
        QVERIFY(rig.conditions->locked());

        QVERIFY(setLockedHint(logind, false));
        QTRY_COMPARE(rig.pauseReason(), "");
        QVERIFY(rig.playing());
    }

    // Either screen saver locks; one that goes away while active no longer does.
    void lockAndUnlockThroughScreenSaver_data() {
        QTest::addColumn<bool>("gnome");
        QTest::newRow("org.freedesktop.ScreenSaver") << false;
        QTest::newRow("org.gnome.ScreenSaver") << true;
    }
    void lockAndUnlockThroughScreenSaver() {
        QFETCH(bool, gnome);
        ConditionsRig rig;
        DBusMock* screenSaver = startScreenSaver(rig, gnome);
        QVERIFY(screenSaver);
        rig.start();

        QVERIFY(setScreenSaverActive(screenSaver, gnome, true));
        QTRY_COMPARE(rig.pauseReason(), "screen off");
        QVERIFY(!rig.playing());
        QVERIFY(setScreenSaverActive(screenSaver, gnome, false));
        QTRY_COMPARE(rig.pauseReason(), "");
        QVERIFY(rig.playing());

        QVERIFY(setScreenSaverActive(screenSaver, gnome, true));
        QTRY_COMPARE(rig.pauseReason(), "screen off");
        QVERIFY(screenSaver->stop());
        QTRY_COMPARE(rig.pauseReason(), "");
        QVERIFY(rig.playing());
    }

    // Waking while locked leaves the screen off until the unlock.
    void sleepAndWakeWhileLocked() {
        ConditionsRig rig;
        DBusMock* logind = startLogind(rig);
        QVERIFY(logind);
        rig.start();
        QVERIFY(setLockedHint(logind, true));
        QTRY_VERIFY(rig.conditions->locked());

        QVERIFY(prepareForSleep(logind, true));
        QTRY_VERIFY(rig.conditions->screensAsleep());
        QCOMPARE(rig.pauseReason(), "screen off");
        QVERIFY(prepareForSleep(logind, false));
        QTRY_VERIFY(!rig.conditions->screensAsleep());
        QCOMPARE(rig.pauseReason(), "screen off");
        QVERIFY(!rig.playing());

        QVERIFY(setLockedHint(logind, false));
        QTRY_COMPARE(rig.pauseReason(), "");
        QVERIFY(rig.playing());
    }

    void sessionSwitchedAwayAndBack() {
        ConditionsRig rig;
        DBusMock* logind = startLogind(rig);
        QVERIFY(logind);
        rig.start();

        QVERIFY(logind->setProperty(sessionPath, sessionInterface, DBusNames::active, false));
        QTRY_COMPARE(rig.pauseReason(), "screen off");
        QVERIFY(!rig.playing());
        QVERIFY(rig.conditions->sessionInactive());

        QVERIFY(logind->setProperty(sessionPath, sessionInterface, DBusNames::active, true));
        QTRY_COMPARE(rig.pauseReason(), "");
        QVERIFY(rig.playing());
    }

    // While logind is gone nothing is locked; when it is back, our session is found and followed again.
    void logindGoesAndComesBack() {
        ConditionsRig rig;
        DBusMock* logind = startLogind(rig);
        QVERIFY(logind);
        rig.start();
        QVERIFY(setLockedHint(logind, true));
        QTRY_COMPARE(rig.pauseReason(), "screen off");

        QVERIFY(logind->stop());
        QTRY_COMPARE(rig.pauseReason(), "");
        QVERIFY(rig.playing());

        QVERIFY(logind->start());
        QVERIFY(setLockedHint(logind, true));
        QTRY_COMPARE(rig.pauseReason(), "screen off");
        QVERIFY(!rig.playing());
    }

    // Mutter's power saving and the displays-off hook each put the screens to sleep; they wake when
    // neither holds.
    void displaysOffFromMutterAndDpms() {
        ConditionsRig rig;
        const DBusNames::Object& names = DBusNames::mutterDisplayConfig;
        DBusMock* mutter = rig.sandbox.startObject(Bus::Session, {names.service, names.path, names.interface},
                                                   {{"PowerSaveMode", 0}});
        QVERIFY(mutter);
        std::optional<bool> dpmsOff;
        LinuxSystemConditionsSetup setup = rig.setup();
        setup.displaysOff = [&dpmsOff] { return dpmsOff; };
        setup.displaysOffInterval = std::chrono::milliseconds(20);
        rig.start(setup);
        rig.conditions->setDisplaysWatched(true);

        const auto powerSaveMode = [&](int mode) {
            return mutter->setProperty(names.path, names.interface, DBusNames::powerSaveMode, mode);
        };

        dpmsOff = true;
        QTRY_COMPARE(rig.pauseReason(), "screen off");
        QVERIFY(!rig.playing());
        // The mock emits PropertiesChanged before it answers, so one pass of the event loop delivers it.
        QVERIFY(powerSaveMode(3));
        QVERIFY(powerSaveMode(0));
        QCoreApplication::processEvents();
        QVERIFY(rig.conditions->screensAsleep());

        dpmsOff = std::nullopt; // cannot tell: not off
        QTRY_COMPARE(rig.pauseReason(), "");
        QVERIFY(rig.playing());

        QVERIFY(powerSaveMode(3));
        QTRY_COMPARE(rig.pauseReason(), "screen off");
        QVERIFY(!rig.playing());
        QVERIFY(powerSaveMode(0));
        QTRY_COMPARE(rig.pauseReason(), "");
        QVERIFY(rig.playing());

        // Unwatched, the displays count as on.
        dpmsOff = true;
        QTRY_VERIFY(rig.conditions->screensAsleep());
        rig.conditions->setDisplaysWatched(false);
        QVERIFY(!rig.conditions->screensAsleep());
    }
};

QTEST_GUILESS_MAIN(TestSessionConditions)
#include "tst_session_conditions.moc"
