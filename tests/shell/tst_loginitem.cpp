// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/xdg/DesktopEntry.h"
#include "platform/xdg/LoginItem.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
constexpr auto entryName = "/autostart/org.lumivale.Lumivale.desktop";

void writeEntry(const QString& configDir, const QByteArray& body) {
    QVERIFY(QDir().mkpath(configDir + "/autostart"));
    QFile file(configDir + entryName);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("# written by hand\n[Desktop Entry]\n" + body + "\n[Desktop Action other]\nHidden=true\n");
}
} // namespace

class TestLoginItem : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString user() const { return m_dir.path() + "/user"; }
    QString system() const { return m_dir.path() + "/system"; }
    QString vendor() const { return m_dir.path() + "/vendor"; }
    LoginItem item(const QStringList& desktops = {"XFCE"}) const {
        return LoginItem(user(), {system(), vendor()}, desktops, "/opt/Lumi vale/bin/lumivale");
    }

private Q_SLOTS:
    void init() {
        for (const QString& dir : {user(), system(), vendor()})
            QDir(dir).removeRecursively();
    }

    void enabledRule_data() {
        QTest::addColumn<QByteArray>("userEntry");
        QTest::addColumn<QByteArray>("systemEntry");
        QTest::addColumn<QStringList>("desktops");
        QTest::addColumn<bool>("enabled");
        const auto row = [](const char* name, const QByteArray& user, const QByteArray& system, bool enabled,
                            const QStringList& desktops = {"XFCE"}) {
            QTest::newRow(name) << user << system << desktops << enabled;
        };
        const QByteArray app = "Type=Application\nName=Lumivale\nExec=lumivale\n";
        const QByteArray hidden = app + "Hidden=true\n";
        row("none", {}, {}, false);
        row("system entry", {}, app, true);
        row("not an application", "Type=Link\nURL=x\n", {}, false);
        row("hidden", hidden, {}, false);
        row("hidden false", app + "Hidden=false\n", {}, true);
        row("user hides system", hidden, app, false);
        // Only the most important entry counts, Hidden or not.
        row("user over hidden system", app, hidden, true);
        row("GNOME key off", app + "X-GNOME-Autostart-enabled=false\n", {}, false, {"GNOME"});
        row("GNOME key on", app + "X-GNOME-Autostart-enabled=true\n", {}, true, {"GNOME"});
        row("OnlyShowIn one of ours", app + "OnlyShowIn=KDE;XFCE;\n", {}, true, {"ubuntu", "XFCE"});
        row("OnlyShowIn another", app + "OnlyShowIn=KDE;\n", {}, false);
        row("OnlyShowIn, no desktop", app + "OnlyShowIn=KDE;\n", {}, false, {});
        row("NotShowIn this desktop", app + "NotShowIn=XFCE;\n", {}, false);
        row("NotShowIn another", app + "NotShowIn=KDE\n", {}, true);
    }
    void enabledRule() {
        QFETCH(QByteArray, userEntry);
        QFETCH(QByteArray, systemEntry);
        QFETCH(QStringList, desktops);
        QFETCH(bool, enabled);
        if (!userEntry.isEmpty())
            writeEntry(user(), userEntry);
        if (!systemEntry.isEmpty())
            writeEntry(vendor(), systemEntry);
        QCOMPARE(item(desktops).isEnabled(), enabled);
    }

    // A system-wide entry cannot be deleted by the user, only hidden; registering undoes that.
    void registerAndUnregister_data() {
        QTest::addColumn<bool>("systemEntry");
        QTest::newRow("alone") << false;
        QTest::newRow("over a system entry") << true;
    }
    void registerAndUnregister() {
        QFETCH(bool, systemEntry);
        if (systemEntry)
            writeEntry(system(), "Type=Application\nName=Lumivale\nExec=lumivale\n");
        LoginItem login = item();
        QCOMPARE(login.isEnabled(), systemEntry);
        QVERIFY(login.unregisterItem());
        QVERIFY(!login.isEnabled());
        QCOMPARE(QFile::exists(user() + entryName), systemEntry);

        QVERIFY(login.registerItem());
        QVERIFY(login.isEnabled());
        const std::optional<DesktopEntry> written = DesktopEntry::read(user() + entryName);
        QVERIFY(written);
        QCOMPARE(written->value("Exec"), QString("\"/opt/Lumi vale/bin/lumivale\""));
        QCOMPARE(written->value("Icon"), QString("org.lumivale.Lumivale"));
        QVERIFY(login.unregisterItem());
        QVERIFY(!login.isEnabled());
    }

    void failuresReturnFalse() {
        LoginItem login = item();
        // A file where the autostart folder should be.
        QVERIFY(QDir().mkpath(user()));
        QVERIFY(QFile(user() + "/autostart").open(QIODevice::WriteOnly));
        QVERIFY(!login.registerItem());

        // A folder where the entry should be cannot be removed as a file, whoever runs the test.
        QVERIFY(QFile::remove(user() + "/autostart"));
        QVERIFY(QDir().mkpath(user() + entryName + "/inside"));
        QVERIFY(!login.isEnabled());
        QVERIFY(!login.unregisterItem());
        QVERIFY(!login.registerItem());
    }

    void execArguments() {
        QCOMPARE(DesktopEntry::execArgument("/usr/bin/lumivale"), QString("/usr/bin/lumivale"));
        QCOMPARE(DesktopEntry::execArgument("/a\"$`\\b"), QString("\"/a\\\"\\$\\`\\\\b\""));
        QCOMPARE(DesktopEntry::execArgument("/100%"), QString("/100%%"));
        // The string rule doubles backslashes once more in the file.
        DesktopEntry entry;
        entry.setValue("Exec", DesktopEntry::execArgument("/a\\b"));
        QVERIFY(entry.toText().contains("Exec=\"/a\\\\\\\\b\""));
        QCOMPARE(DesktopEntry::parse(entry.toText()).value("Exec"), QString("\"/a\\\\b\""));
    }
};

QTEST_GUILESS_MAIN(TestLoginItem)
#include "tst_loginitem.moc"
