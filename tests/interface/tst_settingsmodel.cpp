// SPDX-License-Identifier: GPL-3.0-or-later
#include "InterfaceRig.h"
#include "interface/SettingsModel.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>

class TestSettingsModel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void loginSwitchFallsBackToTheRealStateWithoutTryingAgain() {
        InterfaceRig rig;
        rig.build();
        rig.loginItem.enabled = true;
        SettingsModel settings(*rig.engine, rig.loginItem);
        QVERIFY(settings.launchAtLogin());

        settings.setLaunchAtLogin(false);
        QVERIFY(!settings.launchAtLogin());
        QVERIFY(!rig.loginItem.enabled);
        QCOMPARE(rig.loginItem.calls, 1);

        rig.loginItem.refuse = true;
        QSignalSpy changed(&settings, &SettingsModel::launchAtLoginChanged);
        settings.setLaunchAtLogin(true);
        QVERIFY(!settings.launchAtLogin());
        QCOMPARE(changed.size(), 1);
        QCOMPARE(rig.loginItem.calls, 2);

        // Setting what it already shows changes nothing.
        settings.setLaunchAtLogin(false);
        QCOMPARE(rig.loginItem.calls, 2);

        // Read again from the system each time the sheet is made.
        rig.loginItem.enabled = true;
        QVERIFY(SettingsModel(*rig.engine, rig.loginItem).launchAtLogin());
    }

    void versionAndHelp() {
        QCoreApplication::setApplicationVersion("1.2.3");
        QCOMPARE(SettingsModel::version(), QStringLiteral("1.2.3"));
        const QUrl help = SettingsModel::supportUrl();
        QCOMPARE(help.scheme(), QStringLiteral("mailto"));
        QCOMPARE(help.query(), QStringLiteral("subject=Lumivale"));
    }
};

QTEST_GUILESS_MAIN(TestSettingsModel)
#include "tst_settingsmodel.moc"
